#include "link/HexText.h"

namespace vorlanx::link {

namespace {
constexpr char kDigits[] = "0123456789ABCDEF";
}

std::string byteToHex(unsigned value) {
    std::string out;
    // Upper-case digits without leading zeros, then one "0" in front when the count is odd.
    do {
        out.insert(out.begin(), kDigits[value % 16]);
        value /= 16;
    } while (value != 0);
    if (out.size() % 2 != 0)
        out.insert(out.begin(), '0');
    return out;
}

std::string bytesToHex(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 0x0F]);
    }
    return out;
}

} // namespace vorlanx::link
