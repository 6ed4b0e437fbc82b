#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vorlanx::config {

// The rules of the Windows private-profile calls, applied to the bytes of an INI file. Names and
// values here are GBK bytes as the file holds them; IniFile converts at the file boundary.
// Names match without regard to ASCII case, and the second byte of a GBK character is never
// folded or taken for a bracket, as Windows works on characters, not bytes.

// The buffer a value is read into; the last byte holds the terminator, so a longer value is cut.
inline constexpr std::size_t kIniValueBufferSize = 10240;

// The value of key in the first section of that name; the empty text when the section or the
// key is missing. Blanks around the value and one pair of enclosing quotes are dropped.
std::string readIniValue(std::string_view text, std::string_view section, std::string_view key);

// The file text with key set to value: an existing key line is replaced where it stands, a new
// key goes after the last key of its section, a new section at the end. Every other byte stays.
std::string writeIniValue(std::string_view text, std::string_view section, std::string_view key,
                          std::string_view value);

} // namespace vorlanx::config
