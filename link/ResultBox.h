#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>

namespace vorlanx::link {

// The parameter-return box: what terminals and transaction workers answered to the last
// administration command. The success count is the piece count of everything appended since the
// box was last cleared (lines of every writer included), kept up to date as text is appended
// rather than recounted. Nothing may clear the box for weeks (vorlanxd runs no commands of its
// own), so the text keeps only its last kLineLimit complete lines; the count goes on counting.
class ResultBox {
public:
    // One answer line of every terminal of a canteen of 10,000.
    static constexpr std::size_t kLineLimit = 10000;

    explicit ResultBox(std::size_t lineLimit = kLineLimit);

    // Appends at the end and returns the success count of the box as it now stands.
    std::size_t append(std::string_view text);
    void clear();
    // The lines kept: the last complete ones and the text after them.
    std::string text() const;
    std::size_t successCount() const;

private:
    std::size_t countLocked() const;

    mutable std::mutex m_mutex;
    std::size_t m_lineLimit;
    std::string m_text;
    std::size_t m_start = 0;               // where the kept text begins in m_text
    std::uint64_t m_dropped = 0;           // characters removed from the front of m_text
    std::deque<std::uint64_t> m_lineEndAt; // kept complete lines: where each ends, counting m_dropped
    std::size_t m_lineEnds = 0;
};

} // namespace vorlanx::link
