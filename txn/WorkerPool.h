#pragma once

#include "db/DatabaseCall.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

namespace vorlanx::txn {

// A fixed set of worker threads fed by a bounded queue. However hard the terminals flood the
// service, memory and threads stay bounded: a job that finds the queue full is refused, and the
// caller decides what that means. Destroying the pool drops the jobs still queued, lets the
// running ones finish and joins every thread.
class WorkerPool {
public:
    using Job = std::function<void()>;

    // What a watchdog makes of the pool over its interval.
    enum class Progress {
        Moving,            // a job finished or a worker was idle within the interval
        WaitingOnDatabase, // neither, but every worker is inside a database call within its time-out
        Stuck,
    };

    // Jobs carry a kind (a small number) so that the ones dropped unstarted can be counted by kind.
    static constexpr std::size_t kKinds = 4;

    WorkerPool(std::size_t workers, std::size_t capacity);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // False when the queue is full; the job is then not run. onDiscard runs instead of the job when
    // discardQueued drops it.
    bool tryPost(Job job, std::size_t kind = 0, Job onDiscard = {});

    std::size_t workerCount() const { return m_threads.size(); }
    // Jobs waiting for a worker.
    std::size_t queued();
    std::size_t capacity() const { return m_capacity; }

    // Drops every job not yet started and returns how many of each kind.
    std::vector<std::size_t> discardQueued();
    // Waits until no worker runs a job, at most until deadline; false when one still runs then.
    bool waitIdle(std::chrono::steady_clock::time_point deadline);
    // Workers running a job now.
    std::size_t running();
    // Moving when a job finished or a worker was idle within the interval and no call has run past
    // its own time-out; WaitingOnDatabase when no worker moved but each is inside a database call
    // within its time-out or waits for the connection; Stuck otherwise.
    Progress progress(std::chrono::steady_clock::duration interval) const;

    // From now on (or no longer), a job of this pool that is not yet inside the database is dropped
    // unbooked instead of waiting for it: a stop whose drain's time is up.
    void abandonWaits(bool abandon);
    // Jobs whose database call was dropped before it reached the database, by kind, since the pool
    // was made.
    std::vector<std::size_t> droppedUnrun() const;

private:
    struct Entry {
        Job job;
        std::size_t kind = 0;
        Job onDiscard;
    };

    void work(db::DatabaseCallSlot* slot);
    void markProgress();

    const std::size_t m_capacity;
    std::mutex m_mutex;
    // A plain condition variable and a flag under the mutex, not a stop token: the Windows build's
    // thread library deadlocked when a pool was stopped while its workers were still starting.
    std::condition_variable m_ready;
    bool m_stopping = false;
    std::condition_variable m_idle;
    std::deque<Entry> m_queue;
    std::size_t m_running = 0;
    std::atomic<std::chrono::steady_clock::rep> m_lastProgress;
    std::atomic<std::size_t> m_droppedUnrun[kKinds] = {};
    std::vector<std::unique_ptr<db::DatabaseCallSlot>> m_slots;
    // Declared last: the threads start after the queue exists and are joined before it goes.
    std::vector<std::jthread> m_threads;
};

} // namespace vorlanx::txn
