#include "link/ResultBox.h"

#include "link/LogText.h"

namespace vorlanx::link {

ResultBox::ResultBox(std::size_t lineLimit) : m_lineLimit(lineLimit) {}

std::size_t ResultBox::append(std::string_view text) {
    std::lock_guard lock(m_mutex);
    // Only the new text is counted, with the last character before it: a CRLF may straddle the
    // two. A box of 20,000 answer lines then costs no more per answer than an empty one.
    const std::size_t from = m_text.size() > m_start ? m_text.size() - 1 : m_start;
    m_text += text;
    for (std::size_t at = m_text.find(kLineEnd, from); at != std::string::npos; at = m_text.find(kLineEnd, at + 2)) {
        ++m_lineEnds;
        m_lineEndAt.push_back(m_dropped + at + kLineEnd.size());
    }
    while (m_lineEndAt.size() > m_lineLimit) {
        m_start = static_cast<std::size_t>(m_lineEndAt.front() - m_dropped);
        m_lineEndAt.pop_front();
    }
    // The lines let go are removed once they are half the text, so that each character is moved
    // a bounded number of times.
    if (m_start > 0 && m_start >= m_text.size() / 2) {
        m_text.erase(0, m_start);
        m_dropped += m_start;
        m_start = 0;
    }
    return countLocked();
}

void ResultBox::clear() {
    std::lock_guard lock(m_mutex);
    m_text.clear();
    m_text.shrink_to_fit();
    m_start = 0;
    m_dropped = 0;
    m_lineEndAt.clear();
    m_lineEnds = 0;
}

std::string ResultBox::text() const {
    std::lock_guard lock(m_mutex);
    return m_text.substr(m_start);
}

std::size_t ResultBox::successCount() const {
    std::lock_guard lock(m_mutex);
    return countLocked();
}

std::size_t ResultBox::countLocked() const {
    // Every CRLF ends a piece; text after the last one is one more.
    const bool tail = m_text.size() > m_start && !std::string_view(m_text).substr(m_start).ends_with(kLineEnd);
    return m_lineEnds + (tail ? 1 : 0);
}

} // namespace vorlanx::link
