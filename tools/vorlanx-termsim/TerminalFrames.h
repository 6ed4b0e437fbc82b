#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The frames a terminal sends and the reading of the frames it receives, as bytes: a simulator
// that drives thousands of requests a second builds them without the service's hex text.
namespace vorlanx::tools {

using Bytes = std::vector<std::uint8_t>;

// Command codes as bytes, on the terminal's side of the conversation.
inline constexpr std::uint8_t kCommandReadClock = 0x11;
inline constexpr std::uint8_t kCommandSetClock = 0x30;
inline constexpr std::uint8_t kCommandWhitelistBlock = 0x31;
inline constexpr std::uint8_t kCommandDeleteWhitelist = 0x32;
inline constexpr std::uint8_t kCommandSetPeriod = 0x35;
inline constexpr std::uint8_t kCommandSetAmount = 0x36;
inline constexpr std::uint8_t kCommandSetMode = 0x3B;
inline constexpr std::uint8_t kCommandSetTitle = 0x48;
inline constexpr std::uint8_t kCommandSetListMode = 0x49;
inline constexpr std::uint8_t kCommandReadCount = 0x51;
inline constexpr std::uint8_t kCommandCardTransaction = 0x63;
inline constexpr std::uint8_t kCommandHeartbeat = 0x74;
inline constexpr std::uint8_t kCommandOfflineRecord = 0x76;
inline constexpr std::uint8_t kCommandOfflineAcknowledge = 0x77;
inline constexpr std::uint8_t kCommandAcknowledge = 0x81;

inline constexpr std::uint8_t kKindCardQuery = 0x06;
inline constexpr std::uint8_t kKindPayment = 0x00;

// Header, machine number, length and checksum around command and parameters.
inline constexpr std::size_t kFrameOverhead = 8;
// Bytes of the four display texts in a "63" reply; the result field follows them.
inline constexpr std::size_t kDisplayBytes = 64;

// "FE01" + machine + length (command and parameters) + command + parameters + checksum, low
// byte first as the terminals' Modbus-style checksum is read.
Bytes terminalFrame(std::uint16_t machine, std::uint8_t command, std::span<const std::uint8_t> parameters);

Bytes cardQueryFrame(std::uint16_t machine, std::uint32_t card);
Bytes onlinePaymentFrame(std::uint16_t machine, std::uint32_t card, std::uint32_t amountFen);
// recordTime: yyMMddhhmmss, twelve decimal digits, stored as six BCD bytes.
Bytes offlineUploadFrame(std::uint16_t machine, std::uint32_t card, const std::string& recordTime,
                         std::uint32_t amountFen);
// The keep-alive a terminal sends while idle; the service answers it with "81".
Bytes heartbeatFrame(std::uint16_t machine);
Bytes settingDoneFrame(std::uint16_t machine);
// clockCode: sixteen decimal digits, year to second with the weekday code, as BCD bytes.
Bytes clockAnswerFrame(std::uint16_t machine, const std::string& clockCode);
Bytes countAnswerFrame(std::uint16_t machine, std::uint32_t count);

// A received datagram read as a frame. valid is false when the header or the checksum is wrong
// or the datagram is too short to hold a frame; lengthMatches tells whether the length field
// agrees with the datagram's size.
struct ReceivedFrame {
    bool valid = false;
    bool lengthMatches = false;
    std::uint16_t machine = 0;
    std::uint16_t length = 0;
    std::uint8_t command = 0;
    std::span<const std::uint8_t> parameters;
};

ReceivedFrame readFrame(std::span<const std::uint8_t> datagram);

// The result field of a "63" reply as hex text ("01010" + col1 for a query, "0101" + col1 for a
// payment), or nullopt when the parameters are too short to hold the display texts.
std::optional<std::string> cardReplyResult(std::span<const std::uint8_t> parameters);

// Twelve or sixteen decimal digits as BCD bytes; any other character counts as 0.
Bytes bcdBytes(const std::string& digits);
std::string bcdDigits(std::span<const std::uint8_t> bytes);

} // namespace vorlanx::tools
