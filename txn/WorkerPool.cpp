#include "txn/WorkerPool.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace vorlanx::txn {

namespace {

// How long an idle worker waits before it looks at its queue and its stop request again.
constexpr std::chrono::milliseconds kWakeCheck{250};

} // namespace

WorkerPool::WorkerPool(std::size_t workers, std::size_t capacity) : m_capacity(std::max<std::size_t>(capacity, 1)) {
    const std::size_t count = std::max<std::size_t>(workers, 1);
    m_threads.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        m_threads.emplace_back([this](std::stop_token stop) { work(stop); });
}

WorkerPool::~WorkerPool() {
    for (auto& thread : m_threads)
        thread.request_stop();
    {
        std::lock_guard lock(m_mutex);
        m_queue.clear();
    }
    m_ready.notify_all();
    m_threads.clear();
}

bool WorkerPool::tryPost(Job job) {
    {
        std::lock_guard lock(m_mutex);
        if (m_queue.size() >= m_capacity)
            return false;
        m_queue.push_back(std::move(job));
    }
    m_ready.notify_one();
    return true;
}

void WorkerPool::work(std::stop_token stop) {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            // Bounded, so that a lost wake-up (seen with the Windows build's thread library under
            // Wine) costs a moment instead of a shutdown that never ends.
            while (!m_ready.wait_for(lock, stop, kWakeCheck, [this] { return !m_queue.empty(); })) {
                if (stop.stop_requested())
                    return;
            }
            job = std::move(m_queue.front());
            m_queue.pop_front();
        }
        job();
    }
}

std::size_t WorkerPool::queued() {
    std::lock_guard lock(m_mutex);
    return m_queue.size();
}

} // namespace vorlanx::txn
