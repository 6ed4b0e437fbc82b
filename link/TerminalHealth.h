#pragma once

#include "link/SilenceOrder.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vorlanx::link {

// What the service has heard from each terminal since it started, for the engineer who asks
// which terminals are alive: when first and last heard, how many frames of each kind, and the
// last answer to an administration command. The receive worker writes, anyone reads copies.
class TerminalHealth {
public:
    enum class FrameKind { Other, CardQuery, Payment, OfflineRecord };

    struct Terminal {
        std::string address;
        std::uint16_t port = 0; // of the last frame
        std::string machine;    // decimal, of the last frame
        std::time_t firstHeard = 0;
        std::time_t lastHeard = 0;
        std::uint64_t frames = 0;
        std::uint64_t queries = 0;
        std::uint64_t payments = 0;
        std::uint64_t offlineRecords = 0;
        std::uint64_t checkedFrames = 0; // frames whose checksum was right: a terminal, not noise
        std::string lastAnswer; // the result-box line, without its line end
    };

    struct Totals {
        std::uint64_t datagrams = 0;
        std::uint64_t queries = 0;
        std::uint64_t payments = 0;
        std::uint64_t offlineRecords = 0;
        std::uint64_t answers = 0; // answers of terminals to administration commands
        std::uint64_t refused = 0; // datagrams from senders the service does not serve
    };

    // Beyond this many addresses the one silent longest is forgotten, so that datagrams from
    // ever new addresses cannot grow the table without end; 10,000 terminals fit with room.
    static constexpr std::size_t kMaxTerminals = 16384;

    explicit TerminalHealth(std::size_t maxTerminals = kMaxTerminals);

    void heard(const std::string& address, std::uint16_t port, const std::string& machine, FrameKind kind,
               std::time_t now);
    void answered(const std::string& address, const std::string& line);
    void refused();
    // The last frame heard from address had a correct checksum.
    void checksumMatched(const std::string& address);

    std::vector<Terminal> terminals() const; // in the order first heard
    std::optional<Terminal> terminal(const std::string& address) const;
    Totals totals() const;

private:
    struct Heard {
        Terminal terminal;
        std::uint64_t sequence = 0; // of the first hearing, for listing in that order
    };

    mutable std::mutex m_mutex;
    SilenceOrder<Heard> m_terminals;
    std::uint64_t m_sequence = 0;
    Totals m_totals;
};

} // namespace vorlanx::link
