#include "tools/vorlanx-termsim/LatencyHistogram.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace vorlanx::tools {

int LatencyHistogram::bucketOf(std::uint64_t v) {
    if (v < kSub)
        return static_cast<int>(v);
    const int top = 63 - std::countl_zero(v); // >= kSubBits
    const int shift = top - kSubBits + 1;
    const auto sub = static_cast<int>(v >> shift); // 64 to 127
    return kSub + (shift - 1) * (kSub / 2) + (sub - kSub / 2);
}

std::uint64_t LatencyHistogram::upperValueOf(int bucket) {
    if (bucket < kSub)
        return static_cast<std::uint64_t>(bucket);
    const int shift = (bucket - kSub) / (kSub / 2) + 1;
    const int sub = (bucket - kSub) % (kSub / 2) + kSub / 2;
    return ((static_cast<std::uint64_t>(sub) + 1) << shift) - 1;
}

void LatencyHistogram::record(std::uint64_t micros) {
    ++m_buckets[static_cast<std::size_t>(bucketOf(micros))];
    ++m_count;
    m_max = std::max(m_max, micros);
}

void LatencyHistogram::merge(const LatencyHistogram& other) {
    for (std::size_t i = 0; i < m_buckets.size(); ++i)
        m_buckets[i] += other.m_buckets[i];
    m_count += other.m_count;
    m_max = std::max(m_max, other.m_max);
}

std::uint64_t LatencyHistogram::percentile(double q) const {
    if (m_count == 0)
        return 0;
    const auto rank = static_cast<std::uint64_t>(std::ceil(q * static_cast<double>(m_count)));
    std::uint64_t seen = 0;
    for (std::size_t i = 0; i < m_buckets.size(); ++i) {
        seen += m_buckets[i];
        if (seen >= std::max<std::uint64_t>(rank, 1))
            return std::min(upperValueOf(static_cast<int>(i)), m_max);
    }
    return m_max;
}

} // namespace vorlanx::tools
