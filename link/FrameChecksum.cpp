#include "link/FrameChecksum.h"

#include "link/FrameLayout.h"
#include "link/HexText.h"

#include <array>
#include <cctype>

namespace vorlanx::link {

namespace {

// The CRC of every byte value, so that a frame costs one look-up per byte instead of eight shifts.
constexpr std::array<std::uint16_t, 256> kCrcTable = [] {
    std::array<std::uint16_t, 256> table{};
    for (unsigned value = 0; value < 256; ++value) {
        std::uint16_t crc = static_cast<std::uint16_t>(value);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1U) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001U)
                                  : static_cast<std::uint16_t>(crc >> 1);
        table[value] = crc;
    }
    return table;
}();

std::uint16_t crcStep(std::uint16_t crc, std::uint8_t b) {
    return static_cast<std::uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ b) & 0xFFU]);
}

} // namespace

std::uint16_t crc16Modbus(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t b : bytes)
        crc = crcStep(crc, b);
    return crc;
}

std::string frameChecksum(std::string_view hexText) {
    // Byte by byte as hexToBytes reads the text, without making the bytes.
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i + 1 < hexText.size(); i += 2)
        crc = crcStep(crc, static_cast<std::uint8_t>(hexToUInt64(hexText.substr(i, 2)) & 0xFFU));
    // The terminals read the checksum as Modbus devices do: low byte first on the wire.
    return byteToHex(crc & 0xFFU) + byteToHex(crc >> 8);
}

bool checksumMatches(std::string_view frameText) {
    using namespace frame;
    if (frameText.size() < kHeader.size() + kMachineDigits + kLengthDigits + 2 + kChecksumDigits ||
        !frameText.starts_with(kHeader))
        return false;
    const std::string_view body = frameText.substr(kHeader.size(), frameText.size() - kHeader.size() - kChecksumDigits);
    const std::string_view sent = frameText.substr(frameText.size() - kChecksumDigits);
    const std::string expected = frameChecksum(body);
    if (sent.size() != expected.size())
        return false;
    for (std::size_t i = 0; i < sent.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(sent[i])) != expected[i])
            return false;
    return true;
}

bool checksumMatches(std::span<const std::uint8_t> frame) {
    using namespace frame;
    constexpr std::size_t kShortest = (kHeader.size() + kMachineDigits + kLengthDigits + 2 + kChecksumDigits) / 2;
    if (frame.size() < kShortest || frame[0] != 0xFE || frame[1] != 0x01)
        return false;
    const std::uint16_t crc = crc16Modbus(frame.subspan(2, frame.size() - 4));
    return frame[frame.size() - 2] == (crc & 0xFFU) && frame[frame.size() - 1] == crc >> 8;
}

} // namespace vorlanx::link
