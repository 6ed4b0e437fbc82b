#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
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

    WorkerPool(std::size_t workers, std::size_t capacity);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // False when the queue is full; the job is then not run.
    bool tryPost(Job job);

    std::size_t workerCount() const { return m_threads.size(); }
    // Jobs waiting for a worker.
    std::size_t queued();
    std::size_t capacity() const { return m_capacity; }

private:
    void work(std::stop_token stop);

    const std::size_t m_capacity;
    std::mutex m_mutex;
    std::condition_variable_any m_ready;
    std::deque<Job> m_queue;
    // Declared last: the threads start after the queue exists and are joined before it goes.
    std::vector<std::jthread> m_threads;
};

} // namespace vorlanx::txn
