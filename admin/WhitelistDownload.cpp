#include "admin/WhitelistDownload.h"

#include "link/FrameBuilders.h"

#include <charconv>

namespace vorlanx::admin {

namespace {

constexpr std::size_t kBadCardsNamed = 20;

// A card the frame can carry: empty (dropped later as 00000000) or decimal digits up to 32 bits.
bool cardFits(const std::string& card) {
    if (card.empty())
        return true;
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(card.data(), card.data() + card.size(), value);
    return error == std::errc{} && end == card.data() + card.size() && value <= 0xFFFFFFFFu;
}

std::string badCardsLine(const std::string& who, const std::vector<std::string>& bad) {
    std::string line = who + "未下传的卡号(" + std::to_string(bad.size()) + ")：";
    for (std::size_t i = 0; i < bad.size() && i < kBadCardsNamed; ++i)
        line += (i == 0 ? "" : ",") + bad[i];
    if (bad.size() > kBadCardsNamed)
        line += ",…";
    return line + "\r\n";
}

std::string terminalName(const Destination& target) { return target.address + ":" + std::to_string(target.port); }

// Frames 1..F to one terminal with the given pause after each; the bad cards found on the way.
void downloadTo(CommandRunner::Context& context, const Destination& target, const std::vector<std::string>& cards,
                std::chrono::milliseconds pauseAfter, const std::string& captionPrefix, DownloadView& view,
                std::vector<std::string>& bad) {
    const std::size_t frames = whitelistFrameCount(cards.size());
    for (std::size_t k = 1; k <= frames; ++k) {
        if (context.stopped())
            return;
        view.downloadCaption(captionPrefix + std::to_string(frames) + "-" + std::to_string(k));
        WhitelistBlock block = whitelistBlock(cards, k - 1);
        bad.insert(bad.end(), block.badCards.begin(), block.badCards.end());
        context.send(target, link::whitelistBlockFrame(target.machine, block.entries));
        if (!context.pause(pauseAfter))
            return;
    }
}

} // namespace

std::size_t whitelistFrameCount(std::size_t rows) { return rows == 0 ? 0 : rows / kRowsPerBlock + 1; }

WhitelistBlock whitelistBlock(const std::vector<std::string>& cards, std::size_t index) {
    WhitelistBlock block;
    for (std::size_t row = index * kRowsPerBlock; row < (index + 1) * kRowsPerBlock; ++row) {
        const std::string card = row < cards.size() ? cards[row] : std::string();
        if (!cardFits(card)) {
            block.badCards.push_back(card);
            continue;
        }
        const std::string entry = link::whitelistEntry(card);
        if (entry != "00000000")
            block.entries += entry;
    }
    return block;
}

void runWhitelistDownload(CommandRunner::Context& context, DownloadMode mode, const std::vector<Destination>& targets,
                          const std::function<std::vector<std::string>()>& cards, DownloadView& view) {
    std::vector<std::string> bad;
    switch (mode) {
    case DownloadMode::Single: {
        view.downloadCaption("下传白名单");
        view.downloadResultsCleared();
        downloadTo(context, targets.front(), cards(), kSinglePause, "下传白名单", view, bad);
        if (!bad.empty())
            view.downloadResultLine(badCardsLine(terminalName(targets.front()) + "|", bad));
        return;
    }
    case DownloadMode::Run:
        for (const Destination& target : targets) {
            view.downloadTarget(target);
            view.downloadResultsCleared();
            bad.clear();
            if (!context.stopped())
                downloadTo(context, target, cards(), kRunPause, target.address + ":下传白名单", view, bad);
            if (!bad.empty())
                view.downloadResultLine(badCardsLine(terminalName(target) + "|", bad));
            view.downloadOperation(target.address + "：白名单已下载完成");
        }
        break;
    case DownloadMode::Parallel: {
        view.downloadResultsCleared();
        const std::vector<std::string> rows = cards();
        const std::size_t frames = whitelistFrameCount(rows.size());
        for (std::size_t k = 1; k <= frames && !context.stopped(); ++k) {
            view.downloadCaption("下传白名单" + std::to_string(frames) + "-" + std::to_string(k));
            WhitelistBlock block = whitelistBlock(rows, k - 1);
            bad.insert(bad.end(), block.badCards.begin(), block.badCards.end());
            for (const Destination& target : targets)
                context.send(target, link::whitelistBlockFrame(target.machine, block.entries));
            // Counted from the last frame of the round, so that no terminal gets its next frame
            // sooner than in a run to it alone.
            if (!context.pause(kRunPause))
                break;
        }
        if (!bad.empty())
            view.downloadResultLine(badCardsLine("", bad));
        break;
    }
    }
    view.downloadOperation("设备已下载完成");
    view.downloadCaption("下传白名单");
}

} // namespace vorlanx::admin
