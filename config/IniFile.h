#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vorlanx::config {

// The settings file of the service, beside its executable (or in vorlanxd's --dir).
inline constexpr std::string_view kConfigFileName = "conf.ini";

std::filesystem::path configFilePath(const std::filesystem::path& serviceDir);

// One INI file read and written key by key, with the behaviour of GetPrivateProfileStringA and
// WritePrivateProfileStringA: the file holds GBK bytes, names and values cross this class as
// UTF-8. There is no in-memory copy; every read goes to the file and every write goes through
// at once, so two IniFile objects on one path always agree.
class IniFile {
public:
    explicit IniFile(std::filesystem::path path);

    const std::filesystem::path& path() const { return m_path; }
    bool exists() const;

    std::string readValue(std::string_view section, std::string_view key) const;
    // The same, but nullopt when the file is missing or cannot be read, where readValue gives "".
    std::optional<std::string> readValueIfReadable(std::string_view section, std::string_view key) const;

    // Creates the file and the section when needed. False when the file cannot be written, or
    // when a name or the value holds a line break or another character that would change the
    // file's structure.
    bool writeValue(std::string_view section, std::string_view key, std::string_view value) const;

private:
    std::filesystem::path m_path;
};

} // namespace vorlanx::config
