#include "link/FrameChecksum.h"

#include "link/FrameLayout.h"
#include "link/HexText.h"

#include <cctype>

namespace vorlanx::link {

std::uint16_t crc16Modbus(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t b : bytes) {
        crc ^= b;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1U) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001U)
                                  : static_cast<std::uint16_t>(crc >> 1);
    }
    return crc;
}

std::string frameChecksum(std::string_view hexText) {
    const auto bytes = hexToBytes(hexText.substr(0, hexText.size() - hexText.size() % 2));
    const std::uint16_t crc = crc16Modbus(bytes);
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
