#include "db/BatchStats.h"

#include <array>
#include <cstdio>

namespace vorlanx::db {

std::string BatchStats::summary() const {
    std::array<char, 160> buffer{};
    const int n = std::snprintf(
        buffer.data(), buffer.size(), "%llu bookings in %llu batches, mean %.1f, largest %llu, failed %llu",
        static_cast<unsigned long long>(bookings), static_cast<unsigned long long>(batches), mean(),
        static_cast<unsigned long long>(largest), static_cast<unsigned long long>(failed));
    return std::string(buffer.data(), static_cast<std::size_t>(n > 0 ? n : 0));
}

} // namespace vorlanx::db
