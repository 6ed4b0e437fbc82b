#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorlanx::link {

// Text inside the service is UTF-8; it becomes GBK (code page 936) only where bytes are fixed:
// display fields of frames, conf.ini, and byte counts that terminals define on GBK.

// GBK bytes of a UTF-8 text; nullopt when the text is not valid UTF-8 or has a character
// that GBK cannot hold.
std::optional<std::string> utf8ToGbk(std::string_view utf8);
// UTF-8 text of GBK bytes; nullopt when the bytes are not valid GBK.
std::optional<std::string> gbkToUtf8(std::string_view gbk);

// Lenient forms for display and files: characters that cannot be converted become "?".
std::string toGbk(std::string_view utf8);
std::string fromGbk(std::string_view gbk);

} // namespace vorlanx::link
