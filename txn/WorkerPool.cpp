#include "txn/WorkerPool.h"

#include <algorithm>
#include <utility>

namespace vorlanx::txn {

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
            if (!m_ready.wait(lock, stop, [this] { return !m_queue.empty(); }))
                return;
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
