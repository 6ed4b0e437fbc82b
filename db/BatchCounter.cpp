#include "db/BatchCounter.h"

#include <algorithm>

namespace vorlanx::db {

void BatchCounter::committed(std::size_t bookings) {
    std::lock_guard lock(m_mutex);
    ++m_stats.batches;
    m_stats.bookings += bookings;
    m_stats.largest = std::max<std::uint64_t>(m_stats.largest, bookings);
}

void BatchCounter::failed() {
    std::lock_guard lock(m_mutex);
    ++m_stats.failed;
}

BatchStats BatchCounter::stats() const {
    std::lock_guard lock(m_mutex);
    return m_stats;
}

} // namespace vorlanx::db
