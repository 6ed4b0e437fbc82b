#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

namespace vorlanx::db {

// The turn at the one SQL Server connection, taken by one call at a time in the order the calls
// came. Unlike a mutex, the wait for it can be given up: when it has lasted longer than a bound
// (the terminal has long sent the frame again, and the resend must not queue behind the original
// for good), and when a stop has given up the jobs of the calling worker that are not yet inside
// the database. A call given up never reaches the database: nothing is booked by it.
class ConnectionGate {
public:
    enum class Entry { Held, WaitedTooLong, Abandoned };

    // Waits for the turn at most maxWait. Held: the caller has it until leave(), and its call must
    // end by callTimeout from now.
    Entry enter(std::chrono::steady_clock::duration maxWait, std::chrono::steady_clock::duration callTimeout);
    void leave();
    // Whether the call that has the turn has run past its time-out: the driver did not give up
    // when it should have, and every call behind it waits for nothing.
    bool holderOverdue(std::chrono::steady_clock::time_point now) const;

private:
    std::mutex m_mutex;
    std::condition_variable m_turn;
    bool m_held = false;
    std::uint64_t m_nextTicket = 0;
    std::deque<std::uint64_t> m_waiting;
    std::atomic<std::chrono::steady_clock::rep> m_holderDeadline{0};
};

} // namespace vorlanx::db
