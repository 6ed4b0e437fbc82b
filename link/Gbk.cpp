#include "link/Gbk.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

namespace vorlanx::link {

namespace {

#ifdef _WIN32
// Code page 936 is named explicitly: the process's ANSI page is not GBK on every machine.
constexpr UINT kGbkCodePage = 936;

std::optional<std::wstring> toWide(std::string_view text, UINT codePage) {
    if (text.empty())
        return std::wstring();
    const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0);
    if (n <= 0)
        return std::nullopt;
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::optional<std::string> fromWide(const std::wstring& text, UINT codePage) {
    if (text.empty())
        return std::string();
    BOOL lossy = FALSE;
    BOOL* lossyFlag = codePage == CP_UTF8 ? nullptr : &lossy;
    // Without WC_NO_BEST_FIT_CHARS Windows writes a look-alike for a character that GBK lacks and
    // does not report it as lost.
    const DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    const int n = WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, lossyFlag);
    if (n <= 0 || lossy)
        return std::nullopt;
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::optional<std::string> convert(std::string_view text, UINT from, UINT to) {
    auto wide = toWide(text, from);
    if (!wide)
        return std::nullopt;
    return fromWide(*wide, to);
}
#else
std::optional<std::string> convert(std::string_view text, const char* from, const char* to) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out(text.size() * 2 + 8, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    bool ok = true;
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1))
            continue;
        if (errno != E2BIG) {
            ok = false;
            break;
        }
        const std::size_t used = out.size() - outLeft;
        out.resize(out.size() * 2);
        outPtr = out.data() + used;
        outLeft = out.size() - used;
    }
    iconv_close(cd);
    if (!ok)
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}
constexpr const char* kGbk = "GBK";
constexpr const char* kUtf8 = "UTF-8";
#endif

#ifdef _WIN32
#define VORLANX_GBK kGbkCodePage
#define VORLANX_UTF8 CP_UTF8
#else
#define VORLANX_GBK kGbk
#define VORLANX_UTF8 kUtf8
#endif

// Converts piece by piece so that one bad character costs one "?", not the whole text.
template <typename Converter>
std::string lenient(std::string_view text, Converter convertOne, bool utf8Input) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t len = 1;
        if (utf8Input)
            len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
        else
            len = c < 0x81 || c == 0xFF ? 1 : 2;
        len = std::min(len, text.size() - i);
        if (auto piece = convertOne(text.substr(i, len)))
            out += *piece;
        else
            out += '?';
        i += len;
    }
    return out;
}

} // namespace

std::optional<std::string> utf8ToGbk(std::string_view utf8) { return convert(utf8, VORLANX_UTF8, VORLANX_GBK); }

std::optional<std::string> gbkToUtf8(std::string_view gbk) { return convert(gbk, VORLANX_GBK, VORLANX_UTF8); }

std::string toGbk(std::string_view utf8) {
    if (auto whole = utf8ToGbk(utf8))
        return *whole;
    return lenient(utf8, utf8ToGbk, true);
}

std::string fromGbk(std::string_view gbk) {
    if (auto whole = gbkToUtf8(gbk))
        return *whole;
    return lenient(gbk, gbkToUtf8, false);
}

} // namespace vorlanx::link
