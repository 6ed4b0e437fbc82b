#include "txn/WorkerPool.h"

#include <algorithm>
#include <utility>

namespace vorlanx::txn {

namespace {

// How long an idle worker waits before it looks at its queue and its stop request again; each
// look counts as progress for a watchdog.
constexpr std::chrono::milliseconds kWakeCheck{250};

std::chrono::steady_clock::rep nowTicks() {
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

} // namespace

WorkerPool::WorkerPool(std::size_t workers, std::size_t capacity)
    : m_capacity(std::max<std::size_t>(capacity, 1)), m_lastProgress(nowTicks()) {
    const std::size_t count = std::max<std::size_t>(workers, 1);
    m_slots.reserve(count);
    m_threads.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        m_slots.push_back(std::make_unique<db::DatabaseCallSlot>());
        m_threads.emplace_back([this, slot = m_slots.back().get()] { work(slot); });
    }
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
    }
    m_ready.notify_all();
    m_threads.clear();
}

bool WorkerPool::tryPost(Job job, std::size_t kind, Job onDiscard) {
    {
        std::lock_guard lock(m_mutex);
        if (m_queue.size() >= m_capacity)
            return false;
        m_queue.push_back({std::move(job), std::min(kind, kKinds - 1), std::move(onDiscard)});
    }
    m_ready.notify_one();
    return true;
}

void WorkerPool::markProgress() {
    m_lastProgress.store(nowTicks(), std::memory_order_relaxed);
}

void WorkerPool::work(db::DatabaseCallSlot* slot) {
    db::DatabaseCall::bindThread(slot);
    for (;;) {
        Job job;
        std::size_t kind = 0;
        {
            std::unique_lock lock(m_mutex);
            // Bounded, so that a lost wake-up (seen with the Windows build's thread library under
            // Wine) costs a moment instead of a shutdown that never ends.
            while (!m_ready.wait_for(lock, kWakeCheck, [this] { return m_stopping || !m_queue.empty(); }))
                markProgress();
            if (m_stopping)
                return;
            job = std::move(m_queue.front().job);
            kind = m_queue.front().kind;
            m_queue.pop_front();
            ++m_running;
        }
        slot->dropped.store(false, std::memory_order_relaxed);
        job();
        if (slot->dropped.load(std::memory_order_relaxed))
            ++m_droppedUnrun[kind];
        markProgress();
        {
            std::lock_guard lock(m_mutex);
            --m_running;
        }
        m_idle.notify_all();
    }
}

std::size_t WorkerPool::queued() {
    std::lock_guard lock(m_mutex);
    return m_queue.size();
}

std::vector<std::size_t> WorkerPool::discardQueued() {
    std::deque<Entry> dropped;
    {
        std::lock_guard lock(m_mutex);
        dropped.swap(m_queue);
    }
    std::vector<std::size_t> counts(kKinds, 0);
    for (Entry& entry : dropped) {
        ++counts[entry.kind];
        if (entry.onDiscard)
            entry.onDiscard();
    }
    return counts;
}

bool WorkerPool::waitIdle(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(m_mutex);
    return m_idle.wait_until(lock, deadline, [this] { return m_running == 0; });
}

std::size_t WorkerPool::running() {
    std::lock_guard lock(m_mutex);
    return m_running;
}

WorkerPool::Progress WorkerPool::progress(std::chrono::steady_clock::duration interval) const {
    const auto now = nowTicks();
    // A call past its own time-out hangs, however busy the other workers are: the driver did not
    // give up when it should have.
    const bool overdue = std::any_of(m_slots.begin(), m_slots.end(), [now](const auto& slot) {
        const auto deadline = slot->deadline.load(std::memory_order_relaxed);
        return deadline != 0 && now >= deadline;
    });
    if (overdue)
        return Progress::Stuck;
    if (now - m_lastProgress.load(std::memory_order_relaxed) < interval.count())
        return Progress::Moving;
    // A worker queued for the connection waits behind calls that are all within their time-outs
    // (or the one past it would have been seen above, or by the database's own check).
    const bool allWaiting = std::all_of(m_slots.begin(), m_slots.end(), [](const auto& slot) {
        return slot->deadline.load(std::memory_order_relaxed) != 0 ||
               slot->waitingSince.load(std::memory_order_relaxed) != 0;
    });
    return allWaiting ? Progress::WaitingOnDatabase : Progress::Stuck;
}

void WorkerPool::abandonWaits(bool abandon) {
    for (const auto& slot : m_slots)
        slot->abandon.store(abandon, std::memory_order_relaxed);
}

std::vector<std::size_t> WorkerPool::droppedUnrun() const {
    std::vector<std::size_t> counts(kKinds, 0);
    for (std::size_t kind = 0; kind < kKinds; ++kind)
        counts[kind] = m_droppedUnrun[kind].load();
    return counts;
}

} // namespace vorlanx::txn
