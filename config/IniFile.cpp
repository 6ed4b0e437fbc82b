#include "config/IniFile.h"

#include "link/DebugLog.h"
#include "link/Gbk.h"
#include "config/IniText.h"

#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <system_error>

#ifndef _WIN32
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

#ifndef _WIN32
bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The file holds the database password: the new text gets the old file's owner and mode (a
// new file is for its owner alone), and it and the directory are on the disk before the save
// counts as done. A link put where the neighbour file goes is never followed.
bool writeNeighbour(const std::filesystem::path& temporary, const std::filesystem::path& path,
                    const std::string& bytes) {
    struct stat before {};
    const bool existed = ::stat(path.c_str(), &before) == 0 && S_ISREG(before.st_mode);
    const mode_t mode = existed ? static_cast<mode_t>(before.st_mode & 07777) : mode_t{0600};
    ::unlink(temporary.c_str());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0)
        return false;
    // Giving the file away works only for root; anyone else already owns what they write.
    if (existed && ::fchown(fd, before.st_uid, before.st_gid) != 0)
        link::debugLog("conf.ini", "cannot keep the owner of " + temporary.string());
    // The process's umask must not widen or narrow what the file had.
    const bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

void flushDirectory(const std::filesystem::path& path) {
    const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}
#endif

// The new text goes to a neighbour file first and then takes the old one's place, so a power
// cut during a save leaves either the old settings or the new ones, never half a file.
bool replaceFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::path temporary = path;
    temporary += ".new";
#ifdef _WIN32
    const bool written = writeBytes(temporary, bytes);
#else
    const bool written = writeNeighbour(temporary, path, bytes);
#endif
    if (written) {
        std::error_code error;
        std::filesystem::rename(temporary, path, error);
        if (!error) {
#ifndef _WIN32
            flushDirectory(path);
#endif
            return true;
        }
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
