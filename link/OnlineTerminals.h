#pragma once

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

    struct Update {
        Change change = Change::None;
        std::size_t rowCount = 0; // rows after the change
    };

    // A datagram came from `address`. A new address gets a row; a known address with another
    // machine number loses its row (the next datagram brings it back with the new number and
    // port); a known address with the same number keeps the port first seen.
    Update hear(const std::string& address, const std::string& portText, const std::string& machine);

    void clear();
    std::vector<TerminalRow> rows() const;
    std::size_t size() const;

private:
    mutable std::mutex m_mutex;
    std::vector<TerminalRow> m_rows;
};

} // namespace vorlanx::link
