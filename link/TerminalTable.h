#pragma once

#include "link/Peer.h"
#include "link/TerminalRow.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vorlanx::link {

// Every terminal heard on the listening port, found by its address as a number, once per
// datagram. It holds two things the service shows:
//  - the online list: one row per source address, as the window lists them; a known address that
//    reports another machine number loses its row (the next datagram brings it back with the new
//    number and port), and starting to listen empties it;
//  - what the service has heard from each terminal since it started, for the engineer who asks
//    which terminals are alive: when first and last heard, how many frames of each kind, and the
//    last answer to an administration command.
// Each part keeps at most its limit of addresses and forgets the one silent longest to make room,
// so that datagrams from ever new addresses cannot grow it without end. The receive worker writes,
// anyone reads copies.
class TerminalTable {
public:
    enum class FrameKind { Other, CardQuery, Payment, OfflineRecord };
    enum class Change { None, Added, Removed };

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
        std::string lastAnswer;          // the result-box line, without its line end
    };

    struct Totals {
        std::uint64_t datagrams = 0;
        std::uint64_t queries = 0;
        std::uint64_t payments = 0;
        std::uint64_t offlineRecords = 0;
        std::uint64_t answers = 0; // answers of terminals to administration commands
        std::uint64_t refused = 0; // datagrams from senders the service does not serve
    };

    // What a datagram did to the online list.
    struct Update {
        Change change = Change::None;
        std::size_t rowCount = 0; // rows after the change
        // The row that made room for an added one, silent longest; empty when none did.
        std::string forgotten;
    };

    // A canteen has up to 10,000 terminals; both parts fit them with room.
    static constexpr std::size_t kMaxRows = 16384;
    static constexpr std::size_t kMaxTerminals = 16384;

    explicit TerminalTable(std::size_t maxRows = kMaxRows, std::size_t maxTerminals = kMaxTerminals);

    // A datagram from a served sender: counted, and, when it carries a machine number (decimal,
    // empty for a one-byte datagram), the sender's row is added, kept or deleted.
    Update heard(const Peer& from, std::string_view machine, FrameKind kind, bool checksumMatched, std::time_t now);
    void answered(std::uint32_t address, const std::string& line);
    void refused();

    void clearRows();
    std::vector<TerminalRow> rows() const; // silent longest first
    std::size_t rowCount() const;

    std::vector<Terminal> terminals() const; // in the order first heard
    std::optional<Terminal> terminal(const std::string& address) const;
    Totals totals() const;

private:
    using Order = std::list<std::uint32_t>;
    struct Entry {
        bool known = false; // in the heard part
        bool listed = false;
        Terminal terminal;
        std::uint64_t sequence = 0; // of the first hearing, for listing in that order
        Order::iterator knownAt;
        TerminalRow row;
        Order::iterator listedAt;
    };

    void forgetIfUnused(std::uint32_t address);

    mutable std::mutex m_mutex;
    std::size_t m_maxRows;
    std::size_t m_maxTerminals;
    std::unordered_map<std::uint32_t, Entry> m_entries;
    Order m_known;  // heard part, silent longest first
    Order m_listed; // rows, silent longest first
    std::uint64_t m_sequence = 0;
    Totals m_totals;
};

} // namespace vorlanx::link
