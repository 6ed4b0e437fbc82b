#pragma once

#include "link/SilenceOrder.h"
#include "link/TerminalRow.h"

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace vorlanx::link {

// The terminals heard on the listening port, one row per source address. The receive worker
// updates it while the window reads it, so every call takes the lock and readers get copies.
class OnlineTerminals {
public:
    enum class Change { None, Added, Removed };

    // A canteen has up to 10,000 terminals; beyond this many addresses the one silent longest
    // leaves the list, so that datagrams from ever new addresses cannot grow it without end.
    static constexpr std::size_t kMaxRows = 16384;

    struct Update {
        Change change = Change::None;
        std::size_t rowCount = 0; // rows after the change
        // The row that made room for an added one, silent longest; empty when none did.
        std::string forgotten;
    };

    explicit OnlineTerminals(std::size_t maxRows = kMaxRows);

    // A datagram came from `address`. A new address gets a row; a known address with another
    // machine number loses its row (the next datagram brings it back with the new number and
    // port); a known address with the same number keeps the port first seen.
    Update hear(const std::string& address, const std::string& portText, const std::string& machine);

    void clear();
    std::vector<TerminalRow> rows() const; // silent longest first
    std::size_t size() const;

private:
    mutable std::mutex m_mutex;
    SilenceOrder<TerminalRow> m_rows;
};

} // namespace vorlanx::link
