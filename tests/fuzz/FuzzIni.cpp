// conf.ini text of any bytes through the reader and the writer of the private-profile rules. The
// input is cut into section, key, value and file text by its first three bytes. Beyond not
// crashing, a value written with plain names must read back.

#include "config/IniText.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

bool plain(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (!((u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z')))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3)
        return 0;
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    std::size_t at = 3;
    auto take = [&](std::size_t n) {
        n = std::min(n, size - at);
        const std::string_view piece = all.substr(at, n);
        at += n;
        return piece;
    };
    const std::string_view section = take(data[0] % 16);
    const std::string_view key = take(data[1] % 16);
    const std::string_view value = take(data[2] % 32);
    const std::string_view text = all.substr(at);

    (void)vorlanx::config::readIniValue(text, section, key);
    const std::string written = vorlanx::config::writeIniValue(text, section, key, value);
    const std::string back = vorlanx::config::readIniValue(written, section, key);
    if (plain(section) && plain(key) && plain(value) && back != value)
        std::abort();
    return 0;
}
