#include "txn/TransactionPool.h"

#include "TransactionTestKit.h"
#include "db/ConnectionGate.h"
#include "db/DatabaseCall.h"
#include "link/AddressFilter.h"
#include "link/FrameDispatcher.h"
#include "link/HexText.h"
#include "link/ResultBox.h"
#include "link/SharedClock.h"
#include "link/TerminalTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vorlanx::txn {
namespace {

using namespace test;

#ifdef __linux__
constexpr bool kBatchCallExists = true;
#else
constexpr bool kBatchCallExists = false;
#endif

// A database that holds every job until the test opens it, as a stalled server would.
class StalledDatabase : public db::Database {
public:
    explicit StalledDatabase(db::Database& inner) : m_inner(inner) {}

    bool connect(const std::string&, const std::string&, const std::string&, const std::string&) override {
        return true;
    }
    bool isConnected() const override { return true; }
    void disconnect() override {}
    db::QueryResult runQuery(std::string_view command) override {
        {
            std::unique_lock lock(m_mutex);
            ++m_waiting;
            m_changed.notify_all();
            m_changed.wait(lock, [&] { return m_open; });
        }
        return m_inner.runQuery(command);
    }
    bool waitForWaiting(std::size_t count) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 5s, [&] { return m_waiting >= count; });
    }
    void open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    db::Database& m_inner;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_waiting = 0;
    bool m_open = false;
};

// The whole road: terminal socket, listener endpoint, dispatcher, pool, built-in database.
class Service : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(listener.openForBatches(dispatcher.handler()));
        ASSERT_TRUE(listener.bindPort("127.0.0.1", 0));
        port = listener.localPort();
    }
    void TearDown() override { listener.close(); }

    CanteenFile canteen;
    link::UdpEndpoint listener;
    link::SharedClock clock;
    link::ResultBox results;
    link::TerminalTable terminals;
    RecordingSink sink;
    CardTransactions transactions{canteen.db, listener, clock, results, sink};
    TransactionPool pool{transactions};
    link::FrameDispatcher dispatcher{listener, terminals, results, sink, &pool};
    std::uint16_t port = 0;
};

TEST_F(Service, TwoTerminalsQueryingAtOnceEachGetTheirOwnCard) {
    FakeTerminal first("127.0.0.1");
    FakeTerminal second("127.0.0.2");
    ASSERT_TRUE(first.ready && second.ready);
    first.send(port, cardQueryRequest("0001", "00BC614E"));
    second.send(port, cardQueryRequest("0002", "05397FB1"));
    const auto toFirst = first.inbox.next();
    const auto toSecond = second.inbox.next();
    ASSERT_TRUE(toFirst);
    ASSERT_TRUE(toSecond);
    EXPECT_EQ(toFirst->substr(0, 22), "FE010001004463D5C5C8FD");  // 张三
    EXPECT_EQ(toSecond->substr(0, 22), "FE010002004463C0EECBC4"); // 李四
}

TEST_F(Service, PaymentAndOfflineUploadTravelTheWholeRoad) {
    FakeTerminal terminal;
    ASSERT_TRUE(terminal.ready);
    terminal.send(port, paymentRequest("0001", "00BC614E", "000000FA"));
    const auto paid = terminal.inbox.next();
    ASSERT_TRUE(paid);
    EXPECT_EQ(paid->substr(paid->size() - 10, 6), "010100");
    EXPECT_EQ(canteen.balanceOf("12345678"), "9750");

    terminal.send(port, offlineRequest("0001", "00BC614E", "200508100503", "000004E2"));
    EXPECT_EQ(terminal.inbox.next(), "FE010001000177644A");
    EXPECT_EQ(canteen.balanceOf("12345678"), "8500");
    EXPECT_EQ(results.text(), "离线消费：12345678|12.5元|2020-05-08|10:05:03\r\n");
}

// The card queries of one receive are read together and answered together, each to its own
// terminal, an unknown card too; the read ends with the batch, so a payment booked after it shows
// in the next query instead of an old snapshot's balance.
TEST_F(Service, QueriesOfOneReceiveAreAnsweredTogetherAndTheNextReadSeesTheLatestBooking) {
    FakeTerminal first("127.0.0.1");
    FakeTerminal second("127.0.0.2");
    ASSERT_TRUE(first.ready && second.ready);
    const auto peer = [](const FakeTerminal& t) {
        return link::Peer{*link::AddressFilter::parseAddress(t.address), t.port};
    };
    const auto zhang = link::hexToBytes(cardQueryRequest("0001", "00BC614E"));
    const auto li = link::hexToBytes(cardQueryRequest("0002", "05397FB1"));
    const auto nobody = link::hexToBytes(cardQueryRequest("0003", "00000001"));
    const link::UdpEndpoint::Datagram batch[] = {{peer(first), zhang}, {peer(second), li}, {peer(first), nobody}};
    dispatcher.dispatchBatch(batch);
    const auto toFirst = first.inbox.next();
    const auto toSecond = second.inbox.next();
    const auto unknown = first.inbox.next();
    ASSERT_TRUE(toFirst && toSecond && unknown);
    EXPECT_EQ(toFirst->substr(0, 22), "FE010001004463D5C5C8FD");  // 张三
    EXPECT_EQ(toSecond->substr(0, 22), "FE010002004463C0EECBC4"); // 李四
    EXPECT_EQ(unknown->substr(0, 14), "FE010003004463");

    // Dispatched here too: the dispatcher runs on one thread, and the endpoint's worker has nothing.
    const auto payment = link::hexToBytes(paymentRequest("0001", "00BC614E", "000000FA"));
    const link::UdpEndpoint::Datagram paying[] = {{peer(first), payment}};
    dispatcher.dispatchBatch(paying);
    ASSERT_TRUE(first.inbox.next());
    dispatcher.dispatchBatch(std::span(batch, 1));
    const auto after = first.inbox.next();
    ASSERT_TRUE(after);
    EXPECT_EQ(canteen.balanceOf("12345678"), "9750");
    EXPECT_NE(*after, *toFirst) << "the balance after the payment";
}

// A burst of card queries (known, unknown and blocked cards), keep-alives and noise from three
// terminals, queued while the receive worker is held: taken in batches and answered in place, or
// one by one, every terminal gets the same answers, each kind in the order asked. (A keep-alive is
// acknowledged as it is dispatched, the queries of its batch after the batch: as before, when
// workers answered the queries, the two kinds may pass each other.)
TEST_F(Service, BatchAndPlainReceiveAnswerABurstAlike) {
    const std::vector<std::string> cards = {"00BC614E", "05397FB1", "00000001", "0000FFFF"};
    const auto answersOf = [&](bool batches) {
        listener.close();
        std::mutex mutex;
        std::condition_variable changed;
        bool held = false;
        bool released = false;
        listener.setBatchReceive(batches);
        EXPECT_TRUE(listener.openForBatches([&](std::span<const link::UdpEndpoint::Datagram> batch) {
            {
                std::unique_lock lock(mutex);
                held = true;
                changed.notify_all();
                changed.wait(lock, [&] { return released; });
            }
            dispatcher.dispatchBatch(batch);
        }));
        EXPECT_TRUE(listener.bindPort("127.0.0.1", 0));
        std::vector<std::unique_ptr<FakeTerminal>> fleet;
        for (const char* address : {"127.0.0.1", "127.0.0.2", "127.0.0.3"})
            fleet.push_back(std::make_unique<FakeTerminal>(address));
        fleet[0]->send(listener.localPort(), "00");
        {
            std::unique_lock lock(mutex);
            EXPECT_TRUE(changed.wait_for(lock, 10s, [&] { return held; }));
        }
        std::vector<std::size_t> expected(fleet.size());
        for (std::size_t i = 0; i < 60; ++i) {
            const std::size_t t = i % fleet.size();
            const std::string machine = "000" + std::to_string(t + 1);
            if (i % 5 == 4) {
                fleet[t]->send(listener.localPort(), "FE01" + machine + "00057400000000000000");
            } else if (i % 7 == 6) {
                fleet[t]->send(listener.localPort(), "FE0100");
                continue; // noise: no answer
            } else {
                fleet[t]->send(listener.localPort(), cardQueryRequest(machine, cards[i % cards.size()]));
            }
            ++expected[t];
        }
        {
            std::lock_guard lock(mutex);
            released = true;
            changed.notify_all();
        }
        std::vector<std::vector<std::string>> answers(fleet.size());
        for (std::size_t t = 0; t < fleet.size(); ++t) {
            for (std::size_t n = 0; n < expected[t]; ++n) {
                const auto answer = fleet[t]->inbox.next(10s);
                EXPECT_TRUE(answer) << "terminal " << t << " answer " << n;
                answers[t].push_back(answer.value_or(""));
            }
            // Acknowledgements first, then the query answers, each in its own order.
            std::stable_partition(answers[t].begin(), answers[t].end(),
                                  [](const std::string& a) { return a.size() == 18; });
        }
        EXPECT_EQ(listener.receivesInBatches(), batches && kBatchCallExists);
        listener.close(); // before the gate's locals go
        return answers;
    };
    EXPECT_EQ(answersOf(true), answersOf(false));
}

// Transactions in front of a database that holds every job until the test lets it go.
class StalledTransactions : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(listener.open([](const std::string&, std::uint16_t, std::span<const std::uint8_t>) {}));
        ASSERT_TRUE(listener.bindPort("127.0.0.1", 0));
        ASSERT_TRUE(terminal.ready);
    }
    void TearDown() override { listener.close(); }

    CanteenFile canteen;
    StalledDatabase stalled{canteen.db};
    link::UdpEndpoint listener;
    link::SharedClock clock;
    link::ResultBox results;
    RecordingSink sink;
    FakeTerminal terminal;
    CardTransactions transactions{stalled, listener, clock, results, sink};
};

TEST_F(StalledTransactions, FloodThatOverfillsTheQueueIsDroppedAndTheServiceAnswersAfterwards) {
    constexpr std::size_t workers = 2;
    constexpr std::size_t capacity = 4;
    constexpr std::size_t flood = 50;
    TransactionPool pool(transactions, workers, capacity);
    for (std::size_t i = 0; i < workers; ++i)
        pool.startCardQuery({terminal.port, "00BC614E", "0001", terminal.address});
    // Both workers are now held by the database, so the queue alone takes what follows.
    ASSERT_TRUE(stalled.waitForWaiting(workers));
    for (std::size_t i = 0; i < flood; ++i)
        pool.startCardQuery({terminal.port, "00BC614E", "0001", terminal.address});
    EXPECT_EQ(pool.droppedCount(), flood - capacity);

    stalled.open();
    for (std::size_t i = 0; i < workers + capacity; ++i)
        ASSERT_TRUE(terminal.inbox.next()) << "reply " << i;
    pool.startCardQuery({terminal.port, "05397FB1", "0001", terminal.address});
    const auto after = terminal.inbox.next();
    ASSERT_TRUE(after);
    EXPECT_EQ(after->substr(14, 8), "C0EECBC4");
    listener.close();
}

TEST_F(StalledTransactions, ResentPaymentWhileTheFirstIsUnderWayBooksOnce) {
    FakeTerminal neighbour("127.0.0.2");
    ASSERT_TRUE(neighbour.ready);
    TransactionPool pool(transactions, 2, 16);

    const link::OnlineConsumptionArgs payment{terminal.port, "00BC614E", "0001", terminal.address, "250"};
    pool.startOnlineConsumption(payment);
    ASSERT_TRUE(stalled.waitForWaiting(1));
    pool.startOnlineConsumption(payment); // the terminal heard nothing and sends it again
    pool.startOnlineConsumption(payment);
    EXPECT_EQ(pool.resentPaymentCount(), 2u);
    // The same amount on the same card from another terminal is a payment of its own.
    pool.startOnlineConsumption({neighbour.port, "00BC614E", "0001", neighbour.address, "250"});
    ASSERT_TRUE(stalled.waitForWaiting(2));

    stalled.open();
    ASSERT_TRUE(terminal.inbox.next());
    ASSERT_TRUE(neighbour.inbox.next());
    EXPECT_FALSE(terminal.inbox.next(300ms)) << "one reply answers the payment and its resends";
    EXPECT_EQ(canteen.balanceOf("12345678"), "9500");

    // Once answered, the same frame again is a new payment (the next meal of the same price).
    for (int i = 0; i < 500 && pool.paymentsUnderWay() > 0; ++i)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(pool.paymentsUnderWay(), 0u);
    pool.startOnlineConsumption(payment);
    ASSERT_TRUE(terminal.inbox.next());
    EXPECT_EQ(canteen.balanceOf("12345678"), "9250");
    listener.close();
}

TEST_F(StalledTransactions, BookingsWaitForTheDatabaseTogetherWhileQueriesAreAnswered) {
    constexpr std::size_t bookings = 8;
    TransactionPool pool(transactions, 2, 16, bookings);
    // More bookings wait for the database at once than there are query workers: the built-in
    // database can then commit them in one batch.
    for (std::size_t i = 0; i < bookings; ++i)
        pool.startOnlineConsumption({terminal.port, "00BC614E", "0001", terminal.address, std::to_string(100 + i)});
    ASSERT_TRUE(stalled.waitForWaiting(bookings));
    pool.startCardQuery({terminal.port, "00BC614E", "0001", terminal.address});
    ASSERT_TRUE(stalled.waitForWaiting(bookings + 1)) << "the query has a worker of its own";

    stalled.open();
    for (std::size_t i = 0; i < bookings + 1; ++i)
        ASSERT_TRUE(terminal.inbox.next()) << "reply " << i;
    EXPECT_EQ(canteen.balanceOf("12345678"), std::to_string(10000 - (100 + 107) * 4));
    listener.close();
}

TEST_F(StalledTransactions, DrainDropsTheQueuedPaymentAndForgetsItSoItsResendIsBookedAfterwards) {
    TransactionPool pool(transactions, 2, 16, 1);
    const link::OnlineConsumptionArgs first{terminal.port, "00BC614E", "0001", terminal.address, "250"};
    const link::OnlineConsumptionArgs second{terminal.port, "00BC614E", "0002", terminal.address, "300"};
    pool.startOnlineConsumption(first);
    ASSERT_TRUE(stalled.waitForWaiting(1));
    pool.startOnlineConsumption(second); // queued behind the one booking worker
    pool.startCardQuery({terminal.port, "00BC614E", "0003", terminal.address});
    ASSERT_TRUE(stalled.waitForWaiting(2));

    const TransactionPool::Drained drained = pool.drain(std::chrono::steady_clock::now() + 200ms);
    EXPECT_EQ(drained.payments, 1u);
    EXPECT_EQ(drained.cardQueries, 0u) << "the query was under way, not queued";
    EXPECT_EQ(drained.unfinished, 2u) << "both still wait on the database";
    stalled.open();
    ASSERT_TRUE(terminal.inbox.next());
    ASSERT_TRUE(terminal.inbox.next());
    EXPECT_EQ(canteen.balanceOf("12345678"), "9750") << "the dropped payment was not booked";

    // The terminal heard nothing for the dropped payment and sends it again: a payment of its own.
    for (int i = 0; i < 500 && pool.paymentsUnderWay() > 0; ++i)
        std::this_thread::sleep_for(10ms);
    pool.startOnlineConsumption(second);
    EXPECT_EQ(pool.resentPaymentCount(), 0u);
    ASSERT_TRUE(terminal.inbox.next());
    EXPECT_EQ(canteen.balanceOf("12345678"), "9450");
    listener.close();
}

// Jobs held until the test lets them go, each inside a database call with the given time-out or
// outside any call.
class HeldJobs {
public:
    WorkerPool::Job job(std::optional<std::chrono::steady_clock::duration> callTimeout) {
        return [this, callTimeout] {
            std::optional<db::DatabaseCall> call;
            if (callTimeout)
                call.emplace(*callTimeout);
            std::unique_lock lock(m_mutex);
            ++m_inside;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_open; });
            --m_inside;
            m_changed.notify_all();
        };
    }
    bool waitInside(int count) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 5s, [&] { return m_inside == count; });
    }
    void release() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    void hold() {
        std::lock_guard lock(m_mutex);
        m_open = false;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_inside = 0;
    bool m_open = false;
};

// Lets held jobs go before the pool joins its workers, also when a test ends early.
struct ReleaseAtEnd {
    HeldJobs& held;
    ~ReleaseAtEnd() { held.release(); }
};

TEST(WorkerPoolProgress, OnlyWorkersThatAllWaitOnTheDatabaseWithinTheirTimeOutCountAsWaiting) {
    constexpr auto interval = 400ms;
    constexpr auto silence = 700ms; // longer than the interval, with no job finishing
    HeldJobs held;
    WorkerPool pool(2, 8);
    const ReleaseAtEnd releaseAtEnd{held};
    EXPECT_EQ(pool.progress(interval), WorkerPool::Progress::Moving) << "idle workers show life";

    // Hung outside the database: stuck.
    ASSERT_TRUE(pool.tryPost(held.job(std::nullopt)));
    ASSERT_TRUE(pool.tryPost(held.job(std::nullopt)));
    ASSERT_TRUE(held.waitInside(2));
    std::this_thread::sleep_for(silence);
    EXPECT_EQ(pool.progress(interval), WorkerPool::Progress::Stuck);
    held.release();
    ASSERT_TRUE(held.waitInside(0));
    // The workers mark their progress just after the jobs have left the held part.
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (pool.progress(interval) != WorkerPool::Progress::Moving && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(pool.progress(interval), WorkerPool::Progress::Moving);

    // Both inside a database call well within its time-out: waiting, not stuck.
    held.hold();
    ASSERT_TRUE(pool.tryPost(held.job(30s)));
    ASSERT_TRUE(pool.tryPost(held.job(30s)));
    ASSERT_TRUE(held.waitInside(2));
    std::this_thread::sleep_for(silence);
    EXPECT_EQ(pool.progress(interval), WorkerPool::Progress::WaitingOnDatabase);
    held.release();
    ASSERT_TRUE(held.waitInside(0));

    // One inside a call, one hung beside it; then a call past its own time-out: stuck.
    held.hold();
    ASSERT_TRUE(pool.tryPost(held.job(30s)));
    ASSERT_TRUE(pool.tryPost(held.job(std::nullopt)));
    ASSERT_TRUE(held.waitInside(2));
    std::this_thread::sleep_for(silence);
    EXPECT_EQ(pool.progress(interval), WorkerPool::Progress::Stuck);
    held.release();
    ASSERT_TRUE(held.waitInside(0));
    held.hold();
    ASSERT_TRUE(pool.tryPost(held.job(30s)));
    ASSERT_TRUE(pool.tryPost(held.job(100ms)));
    ASSERT_TRUE(held.waitInside(2));
    std::this_thread::sleep_for(silence);
    EXPECT_EQ(pool.progress(interval), WorkerPool::Progress::Stuck);
    held.release();
}

// Workers queued for the one connection behind a call within its time-out wait on the database;
// the call that holds it past its own time-out stops the beat however busy the rest is; a stop
// gives up the queued ones, which never reach the database, and a wait too long gives up by itself.
TEST(WorkerPoolProgress, QueuedForTheConnectionIsWaitingAndAnOverdueHolderIsStuck) {
    constexpr auto interval = 400ms;
    db::ConnectionGate gate;
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    std::vector<db::ConnectionGate::Entry> entries;
    // A job that takes the gate and, holding it, waits for the test; callTimeout as the call's own.
    const auto job = [&](std::chrono::steady_clock::duration callTimeout, std::chrono::steady_clock::duration maxWait) {
        return [&, callTimeout, maxWait] {
            const db::ConnectionGate::Entry entry = gate.enter(maxWait, callTimeout);
            {
                std::lock_guard lock(mutex);
                entries.push_back(entry);
                changed.notify_all();
            }
            if (entry != db::ConnectionGate::Entry::Held)
                return;
            {
                const db::DatabaseCall call(callTimeout);
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return open; });
            }
            gate.leave();
        };
    };
    const auto entered = [&](std::size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 20s, [&] { return entries.size() >= count; });
    };
    const auto release = [&] {
        std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    };
    WorkerPool pool(3, 8);
    // Declared after the pool: a held job is let go before the pool joins its workers.
    struct Release {
        std::function<void()> release;
        ~Release() { release(); }
    } releaseAtEnd{release};
    ASSERT_TRUE(pool.tryPost(job(30s, 30s)));
    ASSERT_TRUE(entered(1));
    ASSERT_TRUE(pool.tryPost(job(30s, 30s), 1));
    ASSERT_TRUE(pool.tryPost(job(30s, 30s), 2));
    std::this_thread::sleep_for(2 * interval);
    EXPECT_EQ(pool.progress(interval), WorkerPool::Progress::WaitingOnDatabase) << "one holds, two queue behind it";
    EXPECT_FALSE(gate.holderOverdue(std::chrono::steady_clock::now()));

    // The stop gives up the two queued ones; the holder is waited for and finishes.
    pool.abandonWaits(true);
    ASSERT_TRUE(entered(3));
    EXPECT_EQ(entries[1], db::ConnectionGate::Entry::Abandoned);
    EXPECT_EQ(entries[2], db::ConnectionGate::Entry::Abandoned);
    pool.abandonWaits(false);
    release();
    EXPECT_TRUE(pool.waitIdle(std::chrono::steady_clock::now() + 20s));

    // A call that holds the connection past its own time-out, with the other workers idle.
    {
        std::lock_guard lock(mutex);
        open = false;
        entries.clear();
    }
    ASSERT_TRUE(pool.tryPost(job(100ms, 30s)));
    ASSERT_TRUE(entered(1));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(pool.progress(interval), WorkerPool::Progress::Stuck);
    EXPECT_TRUE(gate.holderOverdue(std::chrono::steady_clock::now()));
    // Behind it a wait too long gives up by itself, and nothing reaches the database.
    ASSERT_TRUE(pool.tryPost(job(30s, 200ms)));
    ASSERT_TRUE(entered(2));
    EXPECT_EQ(entries[1], db::ConnectionGate::Entry::WaitedTooLong);
}

TEST(WorkerPoolProgress, DiscardDropsOnlyJobsNotStartedAndCountsThemByKind) {
    HeldJobs held;
    WorkerPool pool(1, 8);
    const ReleaseAtEnd releaseAtEnd{held};
    ASSERT_TRUE(pool.tryPost(held.job(std::nullopt), 1));
    ASSERT_TRUE(held.waitInside(1));
    int ran = 0;
    int discarded = 0;
    ASSERT_TRUE(pool.tryPost([&] { ++ran; }, 1, [&] { ++discarded; }));
    ASSERT_TRUE(pool.tryPost([&] { ++ran; }, 2, [&] { ++discarded; }));
    ASSERT_TRUE(pool.tryPost([&] { ++ran; }, 2));
    const std::vector<std::size_t> counts = pool.discardQueued();
    EXPECT_EQ(counts[0], 0u);
    EXPECT_EQ(counts[1], 1u);
    EXPECT_EQ(counts[2], 2u);
    EXPECT_EQ(discarded, 2);
    EXPECT_FALSE(pool.waitIdle(std::chrono::steady_clock::now() + 100ms)) << "the held job still runs";
    held.release();
    EXPECT_TRUE(pool.waitIdle(std::chrono::steady_clock::now() + 5s));
    EXPECT_EQ(ran, 0);
}

} // namespace
} // namespace vorlanx::txn
