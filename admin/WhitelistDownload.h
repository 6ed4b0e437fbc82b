#pragma once

#include "admin/CommandPlan.h"
#include "admin/CommandRunner.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// The white list of the personnel rows, sent to terminals in blocks of 50 rows, one frame per
// block, with a pause after every frame that gives the terminal time to store the block.
namespace vorlanx::admin {

inline constexpr std::size_t kRowsPerBlock = 50;
inline constexpr std::chrono::milliseconds kSinglePause{230};
inline constexpr std::chrono::milliseconds kRunPause{330};

// Frames for `rows` personnel rows: none for none, else one per started block of 50 and one more,
// so a multiple of 50 ends with an empty frame that terminals expect.
std::size_t whitelistFrameCount(std::size_t rows);

struct WhitelistBlock {
    std::string entries;                // 8 hex digits per card, in row order
    std::vector<std::string> badCards;  // cards that are no decimal number up to 4294967295
};

// Block `index` (0-based): the rows 50·index to 50·index+49, rows past the end taken as empty.
// An empty card, a zero card and a bad card are dropped, but use up their row.
WhitelistBlock whitelistBlock(const std::vector<std::string>& cards, std::size_t index);

// What a download shows, reported from the runner's worker in the order it happens.
class DownloadView {
public:
    virtual ~DownloadView() = default;
    virtual void downloadCaption(const std::string& caption) = 0;
    // The result box is emptied and the success count set to "0".
    virtual void downloadResultsCleared() = 0;
    // A run copies the terminal it turns to into the send fields.
    virtual void downloadTarget(const Destination& target) = 0;
    // One result line naming the cards that were not sent.
    virtual void downloadResultLine(const std::string& line) = 0;
    virtual void downloadOperation(const std::string& text) = 0;
};

enum class DownloadMode {
    Single,   // the send fields' terminal, 230 ms after each frame
    Run,      // every terminal of the list in turn, 330 ms after each frame
    Parallel, // frame k to every terminal, then frame k+1, each terminal's frames 330 ms apart at least
};

// The whole download, run on the command runner. cards gives the card column of the personnel
// rows held at that moment: each terminal of a run starts from the rows loaded by then. A stop
// ends the frames; a run still reports every remaining terminal as done, without frames.
void runWhitelistDownload(CommandRunner::Context& context, DownloadMode mode, const std::vector<Destination>& targets,
                          const std::function<std::vector<std::string>()>& cards, DownloadView& view);

} // namespace vorlanx::admin
