#include "link/HexText.h"

namespace vorlanx::link {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The base as Chinese money amounts write it, without currency words: 一十六 for 16, 二十 for 20.
std::string chineseNumeral(int value) {
    static constexpr const char* kNumerals[] = {"零", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
    std::string out;
    if (value >= 10) {
        out += kNumerals[value / 10];
        out += "十";
        if (value % 10 != 0)
            out += kNumerals[value % 10];
    } else {
        out += kNumerals[value];
    }
    return out;
}

// Full-width forms (U+FF01..U+FF5E and the ideographic space) become ASCII, then a..z become
// upper case, so that digits typed with a Chinese input method are read like any other.
std::string normaliseDigits(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        if (i + 2 < text.size()) {
            const auto b1 = static_cast<unsigned char>(text[i + 1]);
            const auto b2 = static_cast<unsigned char>(text[i + 2]);
            if (b0 == 0xEF && b1 == 0xBC && b2 >= 0x81 && b2 <= 0xBF) {
                out.push_back(static_cast<char>(b2 - 0x60));
                i += 2;
                continue;
            }
            if (b0 == 0xEF && b1 == 0xBD && b2 >= 0x80 && b2 <= 0x9E) {
                out.push_back(static_cast<char>(b2 - 0x20));
                i += 2;
                continue;
            }
            if (b0 == 0xE3 && b1 == 0x80 && b2 == 0x80) {
                out.push_back(' ');
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    for (char& c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

int digitValue(char c, int base) {
    const auto pos = kDigitAlphabet.substr(0, static_cast<std::size_t>(base)).find(c);
    return pos == std::string_view::npos ? -1 : static_cast<int>(pos);
}

int nibble(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::string convertBase(std::string_view text, int fromBase, int toBase) {
    if (fromBase < 2 || toBase < 2 || fromBase > 36 || toBase > 36)
        return "参数错误-进制只能在2-36之间";
    const std::string digits = normaliseDigits(text);
    for (char c : digits) {
        if (digitValue(c, fromBase) < 0)
            return "参数错误-" + digits + "不是一个有效的" + chineseNumeral(fromBase) + "进制数！";
    }
    if (fromBase == toBase)
        return digits;
    // Unsigned arithmetic: values past 2^64 - 1 wrap instead of failing, as no field is that wide.
    std::uint64_t value = 0;
    for (char c : digits)
        value = value * static_cast<std::uint64_t>(fromBase) + static_cast<std::uint64_t>(digitValue(c, fromBase));
    const auto base = static_cast<std::uint64_t>(toBase);
    std::string out;
    while (value >= base) {
        out.insert(out.begin(), kDigitAlphabet[value % base]);
        value /= base;
    }
    out.insert(out.begin(), kDigitAlphabet[value]);
    return out;
}

std::string zeroFill(std::string_view text, std::size_t width) {
    std::string out;
    if (text.size() < width)
        out.assign(width - text.size(), '0');
    out += text;
    return out;
}

std::vector<std::uint8_t> hexToBytes(std::string_view text) {
    std::vector<std::uint8_t> out;
    out.reserve((text.size() + 1) / 2);
    for (std::size_t i = 0; i < text.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(hexToUInt64(text.substr(i, 2)) & 0xFF));
    return out;
}

std::uint64_t hexToUInt64(std::string_view text) {
    std::uint64_t value = 0;
    unsigned shift = 0;
    for (auto it = text.rbegin(); it != text.rend() && shift < 64; ++it) {
        const int n = nibble(*it);
        if (n < 0)
            continue;
        value |= static_cast<std::uint64_t>(n) << shift;
        shift += 4;
    }
    return value;
}

std::string byteToHex(unsigned value) {
    std::string out;
    // Upper-case digits without leading zeros, then one "0" in front when the count is odd.
    do {
        out.insert(out.begin(), kHexDigits[value % 16]);
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
        out.push_back(kHexDigits[b >> 4]);
        out.push_back(kHexDigits[b & 0x0F]);
    }
    return out;
}

} // namespace vorlanx::link
