// Any text in any base through convertBase, the conversion every frame field goes through. The
// first two bytes choose the bases (some outside 2 to 36); a decimal number of up to nine digits
// must come back unchanged through any base.

#include "link/HexText.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const int from = data[0] % 40;
    const int to = data[1] % 40;
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::string converted = vorlanx::link::convertBase(text, from, to);
    (void)vorlanx::link::zeroFill(converted, 8);
    (void)vorlanx::link::hexToBytes(text);
    (void)vorlanx::link::hexToUInt64(text);

    if (from == 10 && to >= 2 && to <= 36 && !text.empty() && text.size() <= 9 && text[0] != '0' &&
        text.find_first_not_of("0123456789") == std::string_view::npos) {
        if (vorlanx::link::convertBase(converted, to, 10) != text)
            std::abort();
    }
    return 0;
}
