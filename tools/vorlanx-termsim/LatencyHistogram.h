#pragma once

#include <array>
#include <cstdint>

namespace vorlanx::tools {

// Latencies in microseconds, kept to better than 1 % in constant memory however long a run
// lasts: each power of two is cut into 128 equal buckets.
class LatencyHistogram {
public:
    void record(std::uint64_t micros);
    void merge(const LatencyHistogram& other);

    std::uint64_t count() const { return m_count; }
    std::uint64_t max() const { return m_max; }
    // The latency below which the share q (0 to 1) of the recorded values lies; 0 when empty.
    std::uint64_t percentile(double q) const;

private:
    static constexpr int kSubBits = 7;
    static constexpr int kSub = 1 << kSubBits;
    static constexpr int kBuckets = (64 - kSubBits + 1) * kSub;

    static int bucketOf(std::uint64_t v);
    static std::uint64_t upperValueOf(int bucket);

    std::array<std::uint64_t, kBuckets> m_buckets{};
    std::uint64_t m_count = 0;
    std::uint64_t m_max = 0;
};

} // namespace vorlanx::tools
