#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vorlanx::link {

// Two upper-case hex digits for one byte (00 to FF).
std::string byteToHex(unsigned value);

// Upper-case hex text of a byte string, two digits per byte, no separators.
std::string bytesToHex(std::span<const std::uint8_t> bytes);

} // namespace vorlanx::link
