#pragma once

#include "link/FrameLayout.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vorlanx::link {

// A received frame read by the fixed positions of its hex text, straight from its bytes: every
// slice of the layout begins and ends on a byte, so a field is compared and converted without
// the frame ever becoming text. Nothing is checked (header, length and checksum are taken as they
// come); a slice that runs past the end yields the digits that exist, or empty text.
class FrameReader {
public:
    // Reads bytes the caller keeps alive for the reader's life.
    explicit FrameReader(std::span<const std::uint8_t> datagram) : m_bytes(datagram) {}
    explicit FrameReader(std::vector<std::uint8_t>&& datagram);
    explicit FrameReader(std::string_view frameText);

    std::span<const std::uint8_t> bytes() const { return m_bytes; }
    // The whole frame as upper-case hex text, for a log that shows it.
    std::string text() const;

    // The bytes a slice covers, fewer at the end of a short frame.
    std::span<const std::uint8_t> field(frame::Slice s) const;
    // Whether the slice is present in full and reads `hex` (upper-case digits).
    bool is(frame::Slice s, std::string_view hex) const;
    // The slice as hex text.
    std::string slice(frame::Slice s) const;
    // The slice's hex digits read as a number, as decimal text; "0" when the slice is empty.
    std::string decimal(frame::Slice s) const;

    std::string headerAndMachine() const { return slice(frame::kHeaderAndMachine); }
    std::string machine() const { return slice(frame::kMachine); }
    std::string acknowledgeKey() const { return slice(frame::kAcknowledgeKey); }
    std::string replyKey() const { return slice(frame::kReplyKey); }
    std::string command() const { return slice(frame::kCommand); }
    std::string cardNumber() const { return slice(frame::kCardNumber); }
    std::string count() const { return slice(frame::kCount); }
    std::string terminalClock() const { return slice(frame::kTerminalClock); }
    std::string kind() const { return slice(frame::kKind); }
    std::string paymentAmount() const { return slice(frame::kPaymentAmount); }
    std::string recordTime() const { return slice(frame::kRecordTime); }
    std::string offlineAmount() const { return slice(frame::kOfflineAmount); }

private:
    std::vector<std::uint8_t> m_owned;
    std::span<const std::uint8_t> m_bytes;
};

} // namespace vorlanx::link
