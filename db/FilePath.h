#pragma once

#include <filesystem>
#include <string_view>

namespace vorlanx::db {

// The database's file names are UTF-8, as SQLite takes them. On Windows a path made from a plain
// string does not read it as UTF-8 (each byte becomes a character of its own), and a name with
// Chinese in it would name another file; this one reads it as UTF-8 on every system.
std::filesystem::path filePath(std::string_view utf8);

} // namespace vorlanx::db
