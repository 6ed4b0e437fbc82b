#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <streambuf>
#include <string>
#include <thread>
#include <unordered_map>

namespace vorlanx {

// vorlanxd's log when no one reads its output (as a Windows service): whole lines, each behind
// the local time, appended to FILE. Before a line would take FILE past `limitBytes`, FILE becomes
// FILE.1, FILE.1 becomes FILE.2 and so on up to FILE.`keep`, whose old content goes: the log never
// holds more than about (keep + 1) * limitBytes. Threads may write at once, each a line in as many
// pieces as it likes: every thread's unfinished line is its own, and each line goes whole.
class RotatingLog : public std::streambuf {
public:
    RotatingLog(std::filesystem::path file, std::uintmax_t limitBytes, unsigned keep);
    ~RotatingLog() override;

    RotatingLog(const RotatingLog&) = delete;
    RotatingLog& operator=(const RotatingLog&) = delete;

    bool isOpen() const { return m_file.is_open(); }
    const std::filesystem::path& path() const { return m_path; }

protected:
    int_type overflow(int_type ch) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    void append(const char* text, std::size_t count);
    void writeLine(std::string& line);
    void rotate();
    void open();

    std::mutex m_mutex;
    std::filesystem::path m_path;
    std::uintmax_t m_limit;
    unsigned m_keep;
    std::ofstream m_file;
    std::uintmax_t m_size = 0;
    // The line each thread has begun and not yet ended.
    std::unordered_map<std::thread::id, std::string> m_lines;
};

} // namespace vorlanx
