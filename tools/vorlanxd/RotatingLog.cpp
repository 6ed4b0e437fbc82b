#include "tools/vorlanxd/RotatingLog.h"

#include "link/ClockTexts.h"

#include <ctime>
#include <system_error>

namespace vorlanx {

namespace fs = std::filesystem;

namespace {

std::string stamp() {
    const std::tm local = link::localTime(std::time(nullptr));
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S ", &local);
    return std::string(text, length);
}

fs::path numbered(const fs::path& file, unsigned n) {
    fs::path result = file;
    result += ".";
    result += std::to_string(n);
    return result;
}

} // namespace

RotatingLog::RotatingLog(fs::path file, std::uintmax_t limitBytes, unsigned keep)
    : m_path(std::move(file)), m_limit(limitBytes), m_keep(keep) {
    open();
}

RotatingLog::~RotatingLog() {
    const std::lock_guard lock(m_mutex);
    for (auto& [thread, line] : m_lines)
        if (!line.empty())
            writeLine(line);
}

void RotatingLog::open() {
    m_file.open(m_path, std::ios::binary | std::ios::app);
    std::error_code ec;
    const auto size = fs::file_size(m_path, ec);
    m_size = ec ? 0 : size;
}

RotatingLog::int_type RotatingLog::overflow(int_type ch) {
    if (traits_type::eq_int_type(ch, traits_type::eof()))
        return traits_type::not_eof(ch);
    const char c = traits_type::to_char_type(ch);
    const std::lock_guard lock(m_mutex);
    append(&c, 1);
    return ch;
}

std::streamsize RotatingLog::xsputn(const char* text, std::streamsize count) {
    const std::lock_guard lock(m_mutex);
    append(text, static_cast<std::size_t>(count));
    return count;
}

int RotatingLog::sync() {
    const std::lock_guard lock(m_mutex);
    m_file.flush();
    return m_file.good() ? 0 : -1;
}

void RotatingLog::append(const char* text, std::size_t count) {
    std::string& line = m_lines[std::this_thread::get_id()];
    for (std::size_t i = 0; i < count; ++i) {
        if (line.empty())
            line = stamp();
        line += text[i];
        if (text[i] == '\n')
            writeLine(line);
    }
    if (line.empty())
        m_lines.erase(std::this_thread::get_id());
}

void RotatingLog::writeLine(std::string& line) {
    // A line longer than the limit still goes whole, into a file of its own.
    if (m_size > 0 && m_size + line.size() > m_limit)
        rotate();
    m_file.write(line.data(), static_cast<std::streamsize>(line.size()));
    m_file.flush();
    m_size += line.size();
    line.clear();
}

void RotatingLog::rotate() {
    m_file.close();
    std::error_code ec;
    fs::remove(numbered(m_path, m_keep), ec);
    for (unsigned n = m_keep; n > 1; --n)
        fs::rename(numbered(m_path, n - 1), numbered(m_path, n), ec);
    if (m_keep > 0)
        fs::rename(m_path, numbered(m_path, 1), ec);
    else
        fs::remove(m_path, ec);
    // Should the renaming fail (a reader holding the file on Windows), the file starts again
    // rather than growing past its bound.
    m_file.open(m_path, std::ios::binary | std::ios::trunc);
    m_size = 0;
}

} // namespace vorlanx
