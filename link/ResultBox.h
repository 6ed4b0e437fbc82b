#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

namespace vorlanx::link {

// The parameter-return box: what terminals and transaction workers answered to the last
// administration command. The success count is the piece count of the text itself (lines of
// every writer included), kept up to date as text is appended rather than recounted.
class ResultBox {
public:
    // Appends at the end and returns the success count of the box as it now stands.
    std::size_t append(std::string_view text);
    void clear();
    std::string text() const;
    std::size_t successCount() const;

private:
    std::size_t countLocked() const;

    mutable std::mutex m_mutex;
    std::string m_text;
    std::size_t m_lineEnds = 0;
};

} // namespace vorlanx::link
