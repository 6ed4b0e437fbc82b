#pragma once

#include "link/TransactionJobs.h"
#include "txn/CardTransactions.h"
#include "txn/WorkerPool.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_set>

namespace vorlanx::txn {

// Runs the card transactions the dispatcher hands over, each frame its own job answered to its
// own sender, on a fixed pool of workers. When the queue is full a new frame is dropped and
// counted: the terminal sends it again after its time-out, by which time the queue has room.
// Destroy the pool after the listener endpoint has stopped handing it frames; it joins its
// workers before the transactions and the database go.
class TransactionPool final : public link::TransactionJobs {
public:
    // Several thousand frames: more than every terminal of a large canteen sends in the
    // seconds a slow database may stall, yet a few megabytes at most.
    static constexpr std::size_t kQueueCapacity = 10000;

    // One worker per processor, never fewer than 2, so that a slow send or a query never stops
    // all answers at once. The database itself takes one job at a time.
    static std::size_t defaultWorkerCount();
    // Bookings (online payments and offline records) have workers of their own: a booking spends
    // its time waiting for the disk, and the built-in database commits the bookings that wait
    // together in one flush, so as many may wait at once as terminals pay at once. Queries never
    // queue behind them.
    static constexpr std::size_t kBookingWorkers = 64;

    explicit TransactionPool(CardTransactions& transactions, std::size_t workers = defaultWorkerCount(),
                             std::size_t capacity = kQueueCapacity, std::size_t bookingWorkers = kBookingWorkers);

    void startCardQuery(link::CardQueryArgs args) override;
    void startOnlineConsumption(link::OnlineConsumptionArgs args) override;
    void startOfflineUpload(link::OfflineUploadArgs args) override;
    // Runs the card queries held since the last batch, in place.
    void endOfBatch() override;

    // Frames dropped because the queue was full, since the pool was made.
    std::uint64_t droppedCount() const { return m_dropped.load(); }
    // Payment frames dropped as resends of a payment still queued or under way.
    std::uint64_t resentPaymentCount() const { return m_resentPayments.load(); }
    std::size_t paymentsUnderWay();
    // Frames waiting for a worker, queries and bookings together.
    std::size_t queueDepth() { return m_pool.queued() + m_bookings.queued(); }
    std::size_t workerCount() const { return m_pool.workerCount(); }
    // For a supervisor's watchdog: Moving when both sets of workers showed progress within the
    // interval, WaitingOnDatabase when one did not because all its workers wait on the database
    // within their time-out, Stuck otherwise.
    WorkerPool::Progress progress(std::chrono::steady_clock::duration interval) const;

    // What a stop leaves behind: the frames dropped before a worker took them up (the terminal
    // sends them again), the jobs dropped unbooked while they waited for the database connection
    // when the drain's time was up, the calls already inside the database that the drain waited for
    // past its bound, and the jobs still running when even that wait was over.
    struct Counts {
        std::size_t cardQueries = 0;
        std::size_t payments = 0;
        std::size_t offlineRecords = 0;
    };
    struct Drained {
        std::size_t cardQueries = 0;
        std::size_t payments = 0;
        std::size_t offlineRecords = 0;
        Counts droppedWaiting;
        std::size_t waitedPastBound = 0;
        std::size_t unfinished = 0;
    };
    // Drops the jobs not yet started and waits until deadline for the ones under way to finish
    // (and send their answers). Then the jobs not yet inside the database are dropped unbooked,
    // and the calls inside it are waited for up to callAllowance more: a call ends within its own
    // time-out, and a booking made must be answered before the port closes. Call it once the
    // endpoint hands over no more frames.
    Drained drain(std::chrono::steady_clock::time_point deadline,
                  std::chrono::steady_clock::duration callAllowance = std::chrono::seconds(0));
    // Jobs dropped unbooked while they waited for the database connection, since the pool was made.
    Counts droppedWaiting() const;
    std::size_t bookingWorkerCount() const { return m_bookings.workerCount(); }

private:
    enum JobKind : std::size_t { kCardQuery, kPayment, kOfflineRecord };

    bool post(WorkerPool& pool, WorkerPool::Job job, JobKind kind, WorkerPool::Job onDiscard = {});
    void paymentDone(const std::string& key);

    CardTransactions& m_transactions;
    std::atomic<std::uint64_t> m_dropped{0};
    std::atomic<bool> m_overflowing{false};
    std::atomic<std::uint64_t> m_resentPayments{0};
    // Payments queued or under way, by sender and frame content. A terminal that hears nothing
    // in time sends the same payment again; while the first is still being worked off, the
    // second would book the meal twice.
    std::mutex m_paymentsMutex;
    std::unordered_set<std::string> m_paymentsUnderWay;
    // Card queries to answer in place at the end of the receive's batch; touched by the receive
    // worker only.
    std::vector<link::CardQueryArgs> m_heldQueries;
    WorkerPool m_pool;
    WorkerPool m_bookings;
};

} // namespace vorlanx::txn
