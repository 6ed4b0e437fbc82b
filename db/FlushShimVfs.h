#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include <sqlite3.h>

namespace vorlanx::db {

// An SQLite VFS in front of the default one that can slow down, hold or fail the flush to disk
// (xSync) of every file opened through it. A benchmark uses it to stand for a slow disk, the
// tests to make a commit wait or fail at the one moment that decides whether a booking is durable.
// Everything else goes straight to the default VFS.
class FlushShimVfs {
public:
    // Registers the VFS under name; it is used only by connections that ask for it by name.
    explicit FlushShimVfs(std::string name);
    // No connection may still have a file open through it.
    ~FlushShimVfs();
    FlushShimVfs(const FlushShimVfs&) = delete;
    FlushShimVfs& operator=(const FlushShimVfs&) = delete;

    bool isRegistered() const { return m_registered; }
    const char* name() const { return m_name.c_str(); }

    // Added to every flush, as a slow disk would take it.
    void setDelay(std::chrono::microseconds delay);
    // Flushes from now on wait until release(): a commit that stays under way.
    void hold();
    void release();
    // Flushes fail with an I/O error while set, as a dying disk's would.
    void setFailing(bool failing);
    // True once count flushes wait at the hold; false after the time-out, which only keeps a
    // broken test from hanging.
    bool waitForHeld(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // Flushes done or failed so far.
    std::uint64_t flushCount() const;
    std::thread::id lastFlushThread() const;

private:
    // The callbacks SQLite calls, each handing on to the default VFS.
    struct Forward;

    int flush(sqlite3_file* real, int flags);

    std::string m_name;
    sqlite3_vfs* m_real = nullptr;
    sqlite3_vfs m_vfs{};
    bool m_registered = false;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::chrono::microseconds m_delay{0};
    bool m_held = false;
    bool m_failing = false;
    std::size_t m_waitingAtHold = 0;
    std::uint64_t m_flushes = 0;
    std::thread::id m_lastFlushThread;
};

} // namespace vorlanx::db
