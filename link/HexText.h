#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vorlanx::link {

// Digits of every base from 2 to 36; a base-N number uses the first N of them.
inline constexpr std::string_view kDigitAlphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// Text of the number `text` (written in base `fromBase`) in base `toBase`, upper case, no leading
// zeros. Full-width characters count as their half-width forms. On a bad base or a bad digit the
// result is the operator's error message in place of the number; callers do not test for it.
std::string convertBase(std::string_view text, int fromBase, int toBase);

// "0" characters in front until the text is `width` long; a longer text is never cut, so a
// machine number above 65535 still gives a five-digit field.
std::string zeroFill(std::string_view text, std::size_t width);

// Bytes of a hex text taken two characters at a time; an odd last character is a byte of its
// own, and a piece without hex digits gives 0.
std::vector<std::uint8_t> hexToBytes(std::string_view text);

// Value of the last 16 hex digits of a text; any other character is skipped.
std::uint64_t hexToUInt64(std::string_view text);

// Two upper-case hex digits for one byte (00 to FF).
std::string byteToHex(unsigned value);

// Upper-case hex text of a byte string, two digits per byte, no separators.
std::string bytesToHex(std::span<const std::uint8_t> bytes);

} // namespace vorlanx::link
