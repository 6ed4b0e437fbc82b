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
    // On the built-in database a query is a read of a few microseconds: handing it to a worker cost
    // more than the read (a wake-up and a switch of threads per frame), so the receive worker answers
    // it itself once its batch is dispatched, the queries of the batch in one read, the replies in
    // one send. Queries on SQL Server wait on the network and keep their workers.
    if (m_transactions.queriesInPlace()) {
        m_heldQueries.push_back(std::move(args));
        return;
    }
    post(
        m_pool, [this, args = std::move(args)] { m_transactions.runCardQuery(args); }, kCardQuery);
}

void TransactionPool::startOnlineConsumption(link::OnlineConsumptionArgs args) {
    std::string key =
        args.address + ":" + std::to_string(args.port) + "|" + args.machine + "|" + args.card + "|" + args.amount;
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
    const bool queued = post(
        m_bookings,
        [this, key, args = std::move(args)] {
            m_transactions.runOnlineConsumption(args);
            paymentDone(key);
        },
        kPayment, [this, key] { paymentDone(key); });
    if (!queued)
        paymentDone(key);
}

void TransactionPool::endOfBatch() {
    if (m_heldQueries.empty())
        return;
    m_transactions.runCardQueries(m_heldQueries);
    m_heldQueries.clear();
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
    post(
        m_bookings, [this, args = std::move(args)] { m_transactions.runOfflineUpload(args); }, kOfflineRecord);
}

WorkerPool::Progress TransactionPool::progress(std::chrono::steady_clock::duration interval) const {
    const WorkerPool::Progress queries = m_pool.progress(interval);
    const WorkerPool::Progress bookings = m_bookings.progress(interval);
    if (queries == WorkerPool::Progress::Stuck || bookings == WorkerPool::Progress::Stuck)
        return WorkerPool::Progress::Stuck;
    if (queries == WorkerPool::Progress::WaitingOnDatabase || bookings == WorkerPool::Progress::WaitingOnDatabase)
        return WorkerPool::Progress::WaitingOnDatabase;
    return WorkerPool::Progress::Moving;
}

TransactionPool::Counts TransactionPool::droppedWaiting() const {
    Counts counts;
    for (const WorkerPool* pool : {&m_pool, &m_bookings}) {
        const std::vector<std::size_t> dropped = pool->droppedUnrun();
        counts.cardQueries += dropped[kCardQuery];
        counts.payments += dropped[kPayment];
        counts.offlineRecords += dropped[kOfflineRecord];
    }
    return counts;
}

TransactionPool::Drained TransactionPool::drain(std::chrono::steady_clock::time_point deadline,
                                                std::chrono::steady_clock::duration callAllowance) {
    Drained drained;
    for (WorkerPool* pool : {&m_pool, &m_bookings}) {
        const std::vector<std::size_t> counts = pool->discardQueued();
        drained.cardQueries += counts[kCardQuery];
        drained.payments += counts[kPayment];
        drained.offlineRecords += counts[kOfflineRecord];
    }
    m_pool.waitIdle(deadline);
    m_bookings.waitIdle(deadline);
    const std::size_t runningAtBound = m_pool.running() + m_bookings.running();
    if (runningAtBound > 0) {
        // A job still waiting for the connection now would be booked after the port closed, and its
        // answer lost: it is dropped unbooked, and its terminal's resend is booked by the next run.
        const Counts before = droppedWaiting();
        m_pool.abandonWaits(true);
        m_bookings.abandonWaits(true);
        const auto callsEnd = std::chrono::steady_clock::now() + callAllowance;
        m_pool.waitIdle(callsEnd);
        m_bookings.waitIdle(callsEnd);
        m_pool.abandonWaits(false);
        m_bookings.abandonWaits(false);
        const Counts after = droppedWaiting();
        drained.droppedWaiting = {after.cardQueries - before.cardQueries, after.payments - before.payments,
                                  after.offlineRecords - before.offlineRecords};
    }
    drained.unfinished = m_pool.running() + m_bookings.running();
    const std::size_t droppedNow =
        drained.droppedWaiting.cardQueries + drained.droppedWaiting.payments + drained.droppedWaiting.offlineRecords;
    drained.waitedPastBound = runningAtBound - std::min(runningAtBound, droppedNow + drained.unfinished);
    return drained;
}

bool TransactionPool::post(WorkerPool& pool, WorkerPool::Job job, JobKind kind, WorkerPool::Job onDiscard) {
    if (pool.tryPost(std::move(job), kind, std::move(onDiscard))) {
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
