#pragma once

#include <cstdint>
#include <string>

namespace vorlanx::db {

// How the built-in database has grouped its bookings into commits: each batch is one flush to
// disk, so bookings per batch is how far the payments outrun the disk.
struct BatchStats {
    std::uint64_t batches = 0;  // batches committed
    std::uint64_t bookings = 0; // bookings in them
    std::uint64_t largest = 0;  // most bookings in one batch
    std::uint64_t failed = 0;   // batches whose commit failed: nothing in them was booked or answered

    double mean() const { return batches > 0 ? static_cast<double>(bookings) / static_cast<double>(batches) : 0.0; }
    // "1234 bookings in 56 batches, mean 22.0, largest 64, failed 0", for the engineer.
    std::string summary() const;
};

} // namespace vorlanx::db
