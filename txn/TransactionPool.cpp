#include "txn/TransactionPool.h"

#include "link/DebugLog.h"

#include <algorithm>
#include <string>
#include <thread>
#include <utility>

namespace vorlanx::txn {

std::size_t TransactionPool::defaultWorkerCount() {
    return std::max<std::size_t>(std::thread::hardware_concurrency(), 2);
}

TransactionPool::TransactionPool(CardTransactions& transactions, std::size_t workers, std::size_t capacity,
                                 std::size_t bookingWorkers)
    : m_transactions(transactions), m_pool(std::max<std::size_t>(workers, 2), capacity),
      m_bookings(std::max<std::size_t>(bookingWorkers, 1), capacity) {}

void TransactionPool::startCardQuery(link::CardQueryArgs args) {
    post(m_pool, [this, args = std::move(args)] { m_transactions.runCardQuery(args); });
}

void TransactionPool::startOnlineConsumption(link::OnlineConsumptionArgs args) {
    std::string key = args.address + ":" + std::to_string(args.port) + "|" + args.machine + "|" + args.card + "|" +
                      args.amount;
    {
        std::lock_guard lock(m_paymentsMutex);
        // A terminal has one payment outstanding at a time, so the same frame from the same
        // sender while the first is not yet answered is its resend; the first one's reply
        // answers both.
        if (!m_paymentsUnderWay.insert(key).second) {
            ++m_resentPayments;
            return;
        }
    }
    const bool queued = post(m_bookings, [this, key, args = std::move(args)] {
        m_transactions.runOnlineConsumption(args);
        paymentDone(key);
    });
    if (!queued)
        paymentDone(key);
}

std::size_t TransactionPool::paymentsUnderWay() {
    std::lock_guard lock(m_paymentsMutex);
    return m_paymentsUnderWay.size();
}

void TransactionPool::paymentDone(const std::string& key) {
    std::lock_guard lock(m_paymentsMutex);
    m_paymentsUnderWay.erase(key);
}

void TransactionPool::startOfflineUpload(link::OfflineUploadArgs args) {
    post(m_bookings, [this, args = std::move(args)] { m_transactions.runOfflineUpload(args); });
}

void TransactionPool::postHeartbeat() {
    postHeartbeat(m_pool, m_queryHeartbeat);
    postHeartbeat(m_bookings, m_bookingHeartbeat);
}

void TransactionPool::postHeartbeat(WorkerPool& pool, Heartbeat& heartbeat) {
    if (heartbeat.queued.load())
        return;
    if (heartbeat.waitingSince.load() == 0)
        heartbeat.waitingSince.store(std::chrono::steady_clock::now().time_since_epoch().count());
    heartbeat.queued.store(true);
    // A full queue is not a dropped frame: the heartbeat keeps its first time and is tried again
    // on the next call, so a queue that stays full behind hung workers shows as a growing delay.
    const bool posted = pool.tryPost([&heartbeat] {
        heartbeat.waitingSince.store(0);
        heartbeat.queued.store(false);
    });
    if (!posted)
        heartbeat.queued.store(false);
}

std::chrono::steady_clock::duration TransactionPool::heartbeatDelay() const {
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    std::chrono::steady_clock::rep delay = 0;
    for (const Heartbeat* heartbeat : {&m_queryHeartbeat, &m_bookingHeartbeat}) {
        const auto since = heartbeat->waitingSince.load();
        if (since != 0)
            delay = std::max(delay, now - since);
    }
    return std::chrono::steady_clock::duration(delay);
}

bool TransactionPool::post(WorkerPool& pool, WorkerPool::Job job) {
    if (pool.tryPost(std::move(job))) {
        m_overflowing.store(false);
        return true;
    }
    const std::uint64_t dropped = ++m_dropped;
    // One line per flood, not one per frame: the engineer needs to know it happened, and the
    // log must not become the next bottleneck.
    if (!m_overflowing.exchange(true))
        link::debugLog("transactions", "queue full, frame dropped (" + std::to_string(dropped) + " so far)");
    return false;
}

} // namespace vorlanx::txn
