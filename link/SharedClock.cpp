#include "link/SharedClock.h"

#include <utility>

namespace vorlanx::link {

SharedClock::SharedClock() : m_texts(currentClockTexts()) {}

ClockTexts SharedClock::tick() {
    ClockTexts now = currentClockTexts();
    set(now);
    return now;
}

void SharedClock::set(ClockTexts texts) {
    std::lock_guard lock(m_mutex);
    m_texts = std::move(texts);
}

ClockTexts SharedClock::get() const {
    std::lock_guard lock(m_mutex);
    return m_texts;
}

} // namespace vorlanx::link
