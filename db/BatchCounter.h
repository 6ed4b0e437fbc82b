#pragma once

#include <cstddef>
#include <mutex>

#include "db/BatchStats.h"

namespace vorlanx::db {

// Counts the batches of bookings a database commits. Shared by the service database with each
// built-in database it opens, so the figures cover the whole run across reconnects.
class BatchCounter {
public:
    void committed(std::size_t bookings);
    void failed();
    BatchStats stats() const;

private:
    mutable std::mutex m_mutex;
    BatchStats m_stats;
};

} // namespace vorlanx::db
