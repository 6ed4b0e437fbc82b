#pragma once

#include <cstdint>

namespace vorlanx::db {

// How the built-in database has grouped its bookings into commits: each batch is one flush to
// disk, so bookings per batch is how far the payments outrun the disk.
struct BatchStats {
    std::uint64_t batches = 0;  // batches committed
    std::uint64_t bookings = 0; // bookings in them
    std::uint64_t largest = 0;  // most bookings in one batch
    std::uint64_t failed = 0;   // batches whose commit failed: nothing in them was booked or answered

    double mean() const { return batches > 0 ? static_cast<double>(bookings) / static_cast<double>(batches) : 0.0; }
};

} // namespace vorlanx::db
