#pragma once

#include <atomic>
#include <chrono>

namespace vorlanx::db {

// Where a worker thread stands with the database: inside a call, and until when that call's own
// time-out lets it wait. A worker pool gives each of its threads a slot, so that a watchdog can
// tell workers that wait on a locked or slow database (still within their time-out) from
// workers that hang.
struct DatabaseCallSlot {
    // steady_clock ticks at which the call under way passes its time-out; 0 outside a call.
    std::atomic<std::chrono::steady_clock::rep> deadline{0};
};

// Marks the calling thread as inside a database call for its lifetime. Does nothing on a thread
// that has no slot.
class DatabaseCall {
public:
    explicit DatabaseCall(std::chrono::steady_clock::duration timeout);
    ~DatabaseCall();
    DatabaseCall(const DatabaseCall&) = delete;
    DatabaseCall& operator=(const DatabaseCall&) = delete;

    // The slot of the calling thread from now on; nullptr for none.
    static void bindThread(DatabaseCallSlot* slot);

private:
    DatabaseCallSlot* m_slot;
    std::chrono::steady_clock::rep m_outer;
};

} // namespace vorlanx::db
