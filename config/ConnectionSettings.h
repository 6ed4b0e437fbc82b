#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace vorlanx::config {

// What "type" of section "sername" selects: "0" no database, "1" SQL Server, "2" the built-in
// SQLite database.
enum class DatabaseKind { None, SqlServer, Builtin };

std::string_view typeText(DatabaseKind kind);

// The database settings group: the four boxes and which check box is ticked (SqlServer ticks
// 选择框_数据库选择, Builtin ticks 选择框_内置库, None clears both). Member defaults are the
// boxes' initial texts.
struct ConnectionSettings {
    DatabaseKind kind = DatabaseKind::SqlServer;
    std::string server = "127.0.0.1";
    std::string name;
    std::string user = "sa";
    std::string password = "468";

    bool operator==(const ConnectionSettings&) const = default;
};

// Whether text is a SQL Server address as its clients write it: a host (a dotted IPv4 address,
// a host name, "." or "(local)"), optionally followed by a backslash and an instance name, and
// then by a comma and a port (1-65535); for example 192.168.10.5, db-host,14330 or
// HOST\SQLEXPRESS. No blanks anywhere.
bool isServerAddress(std::string_view text);

// Opens the service's database with the settings; true when connected. For Builtin the file is
// builtinDatabaseFile(serviceDir, settings.name); address, user and password are not used.
using ConnectFunction = std::function<bool(const ConnectionSettings&)>;

// The built-in database's file: a name ending in ".db" is the file itself (relative names from
// the service directory), any other name becomes name + ".db" in the service directory.
std::filesystem::path builtinDatabaseFile(const std::filesystem::path& serviceDir, std::string_view name);

} // namespace vorlanx::config
