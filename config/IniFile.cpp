#include "config/IniFile.h"

#include "link/DebugLog.h"
#include "link/Gbk.h"
#include "config/IniText.h"

#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <system_error>

namespace vorlanx::config {

namespace {

// The window's saves and a connect worker may both reach the file; a write reads, changes and
// replaces it, and two of those must not interleave or one change would be lost.
std::mutex& fileMutex() {
    static std::mutex mutex;
    return mutex;
}

std::optional<std::string> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return bytes;
}

bool writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    return static_cast<bool>(out);
}

// The new text goes to a neighbour file first and then takes the old one's place, so a power
// cut during a save leaves either the old settings or the new ones, never half a file.
bool replaceFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::path temporary = path;
    temporary += ".new";
    if (writeBytes(temporary, bytes)) {
        std::error_code error;
        std::filesystem::rename(temporary, path, error);
        if (!error)
            return true;
        std::filesystem::remove(temporary, error);
    }
    return writeBytes(path, bytes);
}

std::string pathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool hasAny(std::string_view text, std::string_view characters) {
    return text.find_first_of(characters) != std::string_view::npos;
}

} // namespace

std::filesystem::path configFilePath(const std::filesystem::path& serviceDir) {
    return serviceDir / kConfigFileName;
}

IniFile::IniFile(std::filesystem::path path) : m_path(std::move(path)) {}

bool IniFile::exists() const {
    std::error_code error;
    return std::filesystem::is_regular_file(m_path, error);
}

std::string IniFile::readValue(std::string_view section, std::string_view key) const {
    return readValueIfReadable(section, key).value_or(std::string());
}

std::optional<std::string> IniFile::readValueIfReadable(std::string_view section, std::string_view key) const {
    std::optional<std::string> bytes;
    {
        std::lock_guard lock(fileMutex());
        bytes = readBytes(m_path);
    }
    if (!bytes)
        return std::nullopt;
    return link::fromGbk(readIniValue(*bytes, link::toGbk(section), link::toGbk(key)));
}

bool IniFile::writeValue(std::string_view section, std::string_view key, std::string_view value) const {
    if (section.empty() || key.empty() || hasAny(section, "\r\n]") || hasAny(key, "\r\n=") || hasAny(value, "\r\n"))
        return false;
    std::lock_guard lock(fileMutex());
    const std::string before = readBytes(m_path).value_or(std::string());
    const std::string after = writeIniValue(before, link::toGbk(section), link::toGbk(key), link::toGbk(value));
    if (replaceFile(m_path, after))
        return true;
    link::debugLog("conf.ini", "cannot write " + pathText(m_path));
    return false;
}

} // namespace vorlanx::config
