#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vorlanx::db {

// The database's file names are UTF-8, as SQLite takes them. A path made from a plain string
// would read it in the process's ANSI code page on Windows (GBK on a Chinese Windows), and a
// name with Chinese in it would name another file; these two convert as UTF-8 on every system.
std::filesystem::path filePath(std::string_view utf8);
std::string fileText(const std::filesystem::path& path);

} // namespace vorlanx::db
