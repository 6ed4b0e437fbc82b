#include "link/ResultBox.h"

#include "link/LogText.h"

namespace vorlanx::link {

std::size_t ResultBox::append(std::string_view text) {
    std::lock_guard lock(m_mutex);
    // Only the new text is counted, with the last character before it: a CRLF may straddle the
    // two. A box of 20,000 answer lines then costs no more per answer than an empty one.
    const std::size_t from = m_text.empty() ? 0 : m_text.size() - 1;
    m_text += text;
    for (std::size_t at = m_text.find(kLineEnd, from); at != std::string::npos; at = m_text.find(kLineEnd, at + 2))
        ++m_lineEnds;
    return countLocked();
}

void ResultBox::clear() {
    std::lock_guard lock(m_mutex);
    m_text.clear();
    m_lineEnds = 0;
}

std::string ResultBox::text() const {
    std::lock_guard lock(m_mutex);
    return m_text;
}

std::size_t ResultBox::successCount() const {
    std::lock_guard lock(m_mutex);
    return countLocked();
}

std::size_t ResultBox::countLocked() const {
    // Every CRLF ends a piece; text after the last one is one more piece.
    const bool tail = !m_text.empty() && !m_text.ends_with(kLineEnd);
    return m_lineEnds + (tail ? 1 : 0);
}

} // namespace vorlanx::link
