#include "db/FilePath.h"

#include <string>

namespace vorlanx::db {

std::filesystem::path filePath(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

} // namespace vorlanx::db
