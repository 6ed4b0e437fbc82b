#pragma once

#include <atomic>
#include <chrono>

namespace vorlanx::db {

// Where a worker thread stands with the database: waiting for the connection, inside a call, and
// until when that call's own time-out lets it run. A worker pool gives each of its threads a slot,
// so that a watchdog can tell workers that wait on a locked or slow database (still within their
// time-out) from workers that hang, and so that a stop can give up the jobs still waiting for the
// connection.
struct DatabaseCallSlot {
    // steady_clock ticks at which the call under way passes its time-out; 0 outside a call.
    std::atomic<std::chrono::steady_clock::rep> deadline{0};
    // steady_clock ticks since which the thread waits for the connection; 0 when it does not.
    std::atomic<std::chrono::steady_clock::rep> waitingSince{0};
    // Set by a stop whose drain's time is up: a job not yet inside the database is dropped unbooked.
    std::atomic<bool> abandon{false};
    // Whether the job under way had a call dropped before it reached the database; the worker
    // itself resets it before each job and reads it after.
    std::atomic<bool> dropped{false};
};

// Marks the calling thread as inside a database call for its lifetime; the call's deadline counts
// from the moment it is made. Does nothing on a thread that has no slot.
class DatabaseCall {
public:
    explicit DatabaseCall(std::chrono::steady_clock::duration timeout);
    ~DatabaseCall();
    DatabaseCall(const DatabaseCall&) = delete;
    DatabaseCall& operator=(const DatabaseCall&) = delete;

    // The slot of the calling thread from now on; nullptr for none.
    static void bindThread(DatabaseCallSlot* slot);
    // The calling thread's slot, or nullptr.
    static DatabaseCallSlot* threadSlot();

private:
    DatabaseCallSlot* m_slot;
    std::chrono::steady_clock::rep m_outer;
};

} // namespace vorlanx::db
