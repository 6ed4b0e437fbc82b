#pragma once

#include <string>
#include <string_view>

namespace vorlanx::winshell {

// The core speaks UTF-8; the window converts only where it meets the ...W functions.
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

} // namespace vorlanx::winshell
