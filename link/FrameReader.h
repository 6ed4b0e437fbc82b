#pragma once

#include "link/FrameLayout.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vorlanx::link {

// A received frame as hex text, read by its fixed positions. Nothing is checked (header,
// length and checksum are taken as they come); a slice that runs past the end yields the
// digits that exist, or empty text. The views returned live as long as the reader.
class FrameReader {
public:
    explicit FrameReader(std::string frameText);
    explicit FrameReader(std::span<const std::uint8_t> datagram);

    const std::string& text() const { return m_text; }

    std::string_view slice(frame::Slice s) const;

    std::string_view headerAndMachine() const { return slice(frame::kHeaderAndMachine); }
    std::string_view machine() const { return slice(frame::kMachine); }
    std::string_view acknowledgeKey() const { return slice(frame::kAcknowledgeKey); }
    std::string_view replyKey() const { return slice(frame::kReplyKey); }
    std::string_view command() const { return slice(frame::kCommand); }
    std::string_view cardNumber() const { return slice(frame::kCardNumber); }
    std::string_view count() const { return slice(frame::kCount); }
    std::string_view terminalClock() const { return slice(frame::kTerminalClock); }
    std::string_view kind() const { return slice(frame::kKind); }
    std::string_view paymentAmount() const { return slice(frame::kPaymentAmount); }
    std::string_view recordTime() const { return slice(frame::kRecordTime); }
    std::string_view offlineAmount() const { return slice(frame::kOfflineAmount); }

private:
    std::string m_text;
};

} // namespace vorlanx::link
