#include "db/ReconnectGate.h"

namespace vorlanx::db {

void ReconnectGate::connectionLost() {
    m_lost = true;
}

void ReconnectGate::reset() {
    m_lost = false;
    m_lastAttempt.reset();
}

bool ReconnectGate::attemptNow(Clock::time_point now) {
    if (!m_lost)
        return false;
    if (m_lastAttempt && now - *m_lastAttempt < m_spacing)
        return false;
    m_lastAttempt = now;
    return true;
}

} // namespace vorlanx::db
