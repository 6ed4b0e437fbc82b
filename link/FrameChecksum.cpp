#include "link/FrameChecksum.h"

#include "link/HexText.h"

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

} // namespace vorlanx::link
