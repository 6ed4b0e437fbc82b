#pragma once

#include <string>
#include <string_view>

namespace vorlanx::link {

// ODBC's wide functions speak UTF-16 on both driver managers (unixODBC and Windows), while text
// inside the service is UTF-8. Invalid sequences become U+FFFD rather than failing a whole job.
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);

} // namespace vorlanx::link
