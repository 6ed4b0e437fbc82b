#include "db/ConnectionGate.h"

#include "db/DatabaseCall.h"

#include <algorithm>

namespace vorlanx::db {

namespace {

// How often a waiting call looks whether a stop has given it up; the stop does not know which
// connection its workers wait for.
constexpr std::chrono::milliseconds kAbandonCheck{50};

} // namespace

ConnectionGate::Entry ConnectionGate::enter(std::chrono::steady_clock::duration maxWait,
                                            std::chrono::steady_clock::duration callTimeout) {
    using Clock = std::chrono::steady_clock;
    DatabaseCallSlot* slot = DatabaseCall::threadSlot();
    const auto started = Clock::now();
    const auto giveUpAt = started + maxWait;
    std::unique_lock lock(m_mutex);
    const std::uint64_t ticket = m_nextTicket++;
    m_waiting.push_back(ticket);
    if (slot != nullptr)
        slot->waitingSince.store(started.time_since_epoch().count(), std::memory_order_relaxed);
    Entry entry = Entry::Held;
    for (;;) {
        if (slot != nullptr && slot->abandon.load(std::memory_order_relaxed)) {
            entry = Entry::Abandoned;
            break;
        }
        if (!m_held && m_waiting.front() == ticket)
            break;
        const auto now = Clock::now();
        if (now >= giveUpAt) {
            entry = Entry::WaitedTooLong;
            break;
        }
        m_turn.wait_until(lock, std::min(giveUpAt, now + kAbandonCheck));
    }
    m_waiting.erase(std::find(m_waiting.begin(), m_waiting.end(), ticket));
    if (slot != nullptr)
        slot->waitingSince.store(0, std::memory_order_relaxed);
    if (entry != Entry::Held) {
        // The call behind this one may be first now.
        lock.unlock();
        m_turn.notify_all();
        return entry;
    }
    m_held = true;
    m_holderDeadline.store((Clock::now() + callTimeout).time_since_epoch().count(), std::memory_order_relaxed);
    return entry;
}

void ConnectionGate::leave() {
    {
        std::lock_guard lock(m_mutex);
        m_held = false;
        m_holderDeadline.store(0, std::memory_order_relaxed);
    }
    m_turn.notify_all();
}

bool ConnectionGate::holderOverdue(std::chrono::steady_clock::time_point now) const {
    const auto deadline = m_holderDeadline.load(std::memory_order_relaxed);
    return deadline != 0 && now.time_since_epoch().count() > deadline;
}

} // namespace vorlanx::db
