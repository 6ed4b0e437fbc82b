#include "db/DatabaseCall.h"

namespace vorlanx::db {

namespace {

thread_local DatabaseCallSlot* t_slot = nullptr;

} // namespace

DatabaseCall::DatabaseCall(std::chrono::steady_clock::duration timeout) : m_slot(t_slot), m_outer(0) {
    if (m_slot == nullptr)
        return;
    // A call made inside another keeps the outer call's deadline once it returns.
    m_outer = m_slot->deadline.load(std::memory_order_relaxed);
    m_slot->deadline.store((std::chrono::steady_clock::now() + timeout).time_since_epoch().count(),
                           std::memory_order_relaxed);
}

DatabaseCall::~DatabaseCall() {
    if (m_slot != nullptr)
        m_slot->deadline.store(m_outer, std::memory_order_relaxed);
}

void DatabaseCall::bindThread(DatabaseCallSlot* slot) {
    t_slot = slot;
}

DatabaseCallSlot* DatabaseCall::threadSlot() {
    return t_slot;
}

} // namespace vorlanx::db
