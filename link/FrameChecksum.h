#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vorlanx::link {

// CRC-16/MODBUS of a byte string (reflected polynomial 0xA001, start 0xFFFF, no final XOR).
std::uint16_t crc16Modbus(std::span<const std::uint8_t> bytes);

// Checksum field of a frame: 4 hex digits over the frame text after the header (machine number,
// length, command, parameters). A single digit left over at the end is ignored.
std::string frameChecksum(std::string_view hexText);

// A whole frame's text ("FE01" ... checksum) ends in the checksum of what lies between.
bool checksumMatches(std::string_view frameText);
// The same for a frame as received.
bool checksumMatches(std::span<const std::uint8_t> frame);

} // namespace vorlanx::link
