#include "link/FrameReader.h"

#include "link/HexText.h"

#include <algorithm>
#include <utility>

namespace vorlanx::link {

namespace {

constexpr bool onBytes(frame::Slice s) {
    return s.start % 2 == 1 && s.length % 2 == 0;
}
static_assert(onBytes(frame::kHeaderAndMachine) && onBytes(frame::kMachine) && onBytes(frame::kAcknowledgeKey) &&
              onBytes(frame::kReplyKey) && onBytes(frame::kCommand) && onBytes(frame::kCardNumber) &&
              onBytes(frame::kCount) && onBytes(frame::kTerminalClock) && onBytes(frame::kKind) &&
              onBytes(frame::kPaymentAmount) && onBytes(frame::kRecordTime) && onBytes(frame::kOfflineAmount));

int digitOf(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

FrameReader::FrameReader(std::vector<std::uint8_t>&& datagram) : m_owned(std::move(datagram)), m_bytes(m_owned) {}

FrameReader::FrameReader(std::string_view frameText) : m_owned(hexToBytes(frameText)), m_bytes(m_owned) {}

std::string FrameReader::text() const {
    return bytesToHex(m_bytes);
}

std::span<const std::uint8_t> FrameReader::field(frame::Slice s) const {
    const std::size_t first = (s.start - 1) / 2;
    if (first >= m_bytes.size())
        return {};
    return m_bytes.subspan(first, std::min(s.length / 2, m_bytes.size() - first));
}

bool FrameReader::is(frame::Slice s, std::string_view hex) const {
    const std::span<const std::uint8_t> bytes = field(s);
    if (bytes.size() * 2 != hex.size())
        return false;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (digitOf(hex[2 * i]) * 16 + digitOf(hex[2 * i + 1]) != bytes[i])
            return false;
    return true;
}

std::string FrameReader::slice(frame::Slice s) const {
    return bytesToHex(field(s));
}

std::string FrameReader::decimal(frame::Slice s) const {
    std::uint64_t value = 0;
    for (std::uint8_t b : field(s))
        value = value << 8 | b;
    return std::to_string(value);
}

} // namespace vorlanx::link
