#include "link/ResultBox.h"

#include "link/LogText.h"

namespace vorlanx::link {

std::size_t ResultBox::append(std::string_view text) {
    std::lock_guard lock(m_mutex);
    m_text += text;
    return countLinePieces(m_text);
}

void ResultBox::clear() {
    std::lock_guard lock(m_mutex);
    m_text.clear();
}

std::string ResultBox::text() const {
    std::lock_guard lock(m_mutex);
    return m_text;
}

std::size_t ResultBox::successCount() const {
    std::lock_guard lock(m_mutex);
    return countLinePieces(m_text);
}

} // namespace vorlanx::link
