#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

namespace vorlanx::link {

// The parameter-return box: what terminals and transaction workers answered to the last
// administration command. The success count is always derived from the text itself, so it
// counts exactly what the operator sees, lines of every writer included.
class ResultBox {
public:
    // Appends at the end and returns the success count of the box as it now stands.
    std::size_t append(std::string_view text);
    void clear();
    std::string text() const;
    std::size_t successCount() const;

private:
    mutable std::mutex m_mutex;
    std::string m_text;
};

} // namespace vorlanx::link
