#include "config/ConnectionSettings.h"

namespace vorlanx::config {

namespace {

// Names are UTF-8 inside the service; on Windows a path built from a plain string would read
// them in the ANSI code page instead.
std::filesystem::path pathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

bool endsWithDb(std::string_view name) {
    if (name.size() <= 3)
        return false;
    const std::string_view tail = name.substr(name.size() - 3);
    return tail[0] == '.' && (tail[1] == 'd' || tail[1] == 'D') && (tail[2] == 'b' || tail[2] == 'B');
}

} // namespace

std::string_view typeText(DatabaseKind kind) {
    switch (kind) {
    case DatabaseKind::None:
        return "0";
    case DatabaseKind::SqlServer:
        return "1";
    case DatabaseKind::Builtin:
        return "2";
    }
    return "0";
}

std::filesystem::path builtinDatabaseFile(const std::filesystem::path& serviceDir, std::string_view name) {
    if (endsWithDb(name))
        return serviceDir / pathFromUtf8(name);
    std::string fileName(name);
    fileName += ".db";
    return serviceDir / pathFromUtf8(fileName);
}

} // namespace vorlanx::config
