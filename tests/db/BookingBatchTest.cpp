#include "db/BuiltinDatabase.h"
#include "db/FlushShimVfs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace vorlanx::db {
namespace {

std::string onlineCall(const std::string& card, const std::string& fen, const std::string& machine = "1") {
    return "exec sp_consume_ykt_online @rinfo=N'type = online,hexkh =00000000,macid =" + machine +
           ",rdate =2020-05-08,rtime =10:05:03,cardno =" + card + ",xfmoney =" + fen + ",'";
}

std::string offlineCall(const std::string& card, const std::string& time, const std::string& fen) {
    return "exec sp_consume_ykt_offline @rinfo=N'rtype= offline,hexkh=00000000,macid=2,rdate=2020-05-08,rtime=" + time +
           ",cardno=" + card + ",xfmoney=" + fen + ",'";
}

const std::string queryCall = "execute dbo.sp_consume_ykt_query;1 @cardno = '12345678',@hexkh = '00BC614E',@macid =1";

// The built-in database on a real file whose flushes the test can hold or fail, with bookings
// started on threads of their own as terminals' jobs would run them.
class BookingBatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string tag = std::to_string(std::random_device{}()) + "-" +
                                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        m_file = std::filesystem::temp_directory_path() / ("vorlanx-batch-" + tag + ".db");
        removeFiles();
        m_shim = std::make_unique<FlushShimVfs>("vorlanx-batch-" + tag);
        ASSERT_TRUE(m_shim->isRegistered());
        m_db = std::make_unique<BuiltinDatabase>();
        ASSERT_TRUE(m_db->open(m_file.string(), m_shim->name()));
        ASSERT_TRUE(
            m_db->runQuery("INSERT INTO card_holder (hr_code, hr_name, dept_name, hr_phyid, balance_fen, active) "
                           "VALUES ('0001', '张三', '食堂部', 12345678, 10000, 1),"
                           "('0002', '李四', '财务部', 3000000000, 500, 1)")
                .isOpen());
    }
    void TearDown() override {
        m_shim->release();
        m_threads.clear();
        m_db.reset();
        m_shim.reset();
        removeFiles();
    }
    void removeFiles() {
        for (const char* suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(m_file.string() + suffix);
    }

    // A first payment whose commit stays in its flush: the writer is busy, and every booking
    // started from now on waits for the next batch.
    void holdWriter() {
        m_shim->hold();
        m_threads.emplace_back([this] { m_first = m_db->runQuery(onlineCall("3000000000", "100")); });
        ASSERT_TRUE(m_shim->waitForHeld(1));
    }
    // Starts a booking and returns once it waits for the writer, so that bookings queue in the
    // order they are started. Its answer lands in result.
    void queue(const std::string& call, QueryResult& result) {
        const std::size_t before = m_db->bookingsWaiting();
        m_threads.emplace_back([this, call, &result] { result = m_db->runQuery(call); });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (m_db->bookingsWaiting() == before && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(m_db->bookingsWaiting(), before + 1);
    }
    // Lets the held commit finish and waits for every booking started.
    void finish() {
        m_shim->release();
        m_threads.clear();
    }

    std::string scalar(const std::string& sql) { return m_db->runQuery(sql).fieldText(std::size_t{0}); }
    std::string balanceOf(const std::string& card) {
        return scalar("SELECT balance_fen FROM card_holder WHERE hr_phyid = " + card);
    }
    std::string recordsOf(const std::string& card) {
        return scalar("SELECT count(*) FROM consumption_record WHERE hr_phyid = " + card);
    }

    std::filesystem::path m_file;
    std::unique_ptr<FlushShimVfs> m_shim;
    std::unique_ptr<BuiltinDatabase> m_db;
    QueryResult m_first;
    std::vector<std::jthread> m_threads;
};

TEST_F(BookingBatchTest, ALonePaymentOnAnIdleServiceIsCommittedAtOnceByItsOwnThread) {
    const std::uint64_t flushesBefore = m_shim->flushCount();
    EXPECT_EQ(m_db->runQuery(onlineCall("12345678", "250")).fieldText("col1"), "00");
    const BatchStats stats = m_db->batchStats();
    EXPECT_EQ(stats.batches, 1u);
    EXPECT_EQ(stats.bookings, 1u);
    EXPECT_EQ(stats.largest, 1u);
    // One flush, made on the paying thread before it returned: nothing waited for a timer or for
    // another booking to come along.
    EXPECT_EQ(m_shim->flushCount() - flushesBefore, 1u);
    EXPECT_EQ(m_shim->lastFlushThread(), std::this_thread::get_id());
    EXPECT_EQ(balanceOf("12345678"), "9750");
}

TEST_F(BookingBatchTest, PaymentsInOneBatchAreBookedInArrivalOrderOnTheBalancesBeforeThem) {
    holdWriter();
    // Three payments on one card whose sum exceeds its balance of 100.00.
    QueryResult first;
    QueryResult second;
    QueryResult third;
    queue(onlineCall("12345678", "4000"), first);
    queue(onlineCall("12345678", "4000"), second);
    queue(onlineCall("12345678", "4000"), third);
    finish();

    EXPECT_EQ(m_first.fieldText("col1"), "00");
    EXPECT_EQ(first.fieldText("col1"), "00");
    EXPECT_EQ(first.fieldText("col7"), "余额:60.00元");
    EXPECT_EQ(second.fieldText("col1"), "00");
    EXPECT_EQ(second.fieldText("col7"), "余额:20.00元");
    EXPECT_EQ(third.fieldText("col1"), "03");
    EXPECT_EQ(third.fieldText("col6"), "余额不足");
    EXPECT_EQ(balanceOf("12345678"), "2000");
    EXPECT_EQ(recordsOf("12345678"), "2");
    EXPECT_EQ(scalar("SELECT group_concat(balance_after_fen) FROM (SELECT balance_after_fen FROM consumption_record "
                     "WHERE hr_phyid = 12345678 ORDER BY record_id)"),
              "6000,2000");

    const BatchStats stats = m_db->batchStats();
    EXPECT_EQ(stats.batches, 2u);
    EXPECT_EQ(stats.bookings, 4u);
    EXPECT_EQ(stats.largest, 3u);
    EXPECT_EQ(stats.failed, 0u);
}

TEST_F(BookingBatchTest, OneFailingBookingInABatchIsUndoneAloneAndTheOthersAreBooked) {
    // Machine 99's records cannot be written: the booking fails after its debit.
    ASSERT_TRUE(m_db->runQuery("CREATE TRIGGER refuse_machine_99 BEFORE INSERT ON consumption_record "
                               "WHEN NEW.machine = 99 BEGIN SELECT RAISE(ABORT, 'machine 99'); END")
                    .isOpen());
    holdWriter();
    QueryResult before;
    QueryResult failing;
    QueryResult after;
    queue(onlineCall("12345678", "100"), before);
    queue(onlineCall("12345678", "200", "99"), failing);
    queue(onlineCall("12345678", "300"), after);
    finish();

    EXPECT_EQ(before.fieldText("col1"), "00");
    EXPECT_FALSE(failing.isOpen()) << "answered as on its own: no result, so the terminal gets no reply";
    EXPECT_EQ(after.fieldText("col1"), "00");
    EXPECT_EQ(after.fieldText("col7"), "余额:96.00元") << "the failed debit is undone before the next booking";
    EXPECT_EQ(balanceOf("12345678"), "9600");
    EXPECT_EQ(recordsOf("12345678"), "2");
    EXPECT_EQ(m_db->batchStats().largest, 3u);
    EXPECT_EQ(m_db->batchStats().failed, 0u);
}

TEST_F(BookingBatchTest, ABatchWhoseCommitFailsBooksAndAnswersNothingAndTheResendsBookOnce) {
    holdWriter();
    const std::string payment = onlineCall("12345678", "250");
    const std::string record = offlineCall("12345678", "10:05:03", "1250");
    const std::string otherPayment = onlineCall("3000000000", "50");
    QueryResult paid;
    QueryResult booked;
    QueryResult otherPaid;
    queue(payment, paid);
    queue(record, booked);
    queue(otherPayment, otherPaid);
    // The held commit goes through; the batch behind it meets a disk that fails its flush.
    m_shim->setFailing(true);
    ::testing::internal::CaptureStderr();
    finish();
    const std::string log = ::testing::internal::GetCapturedStderr();
    m_shim->setFailing(false);

    EXPECT_EQ(m_first.fieldText("col1"), "00");
    EXPECT_FALSE(paid.isOpen());
    EXPECT_FALSE(booked.isOpen());
    EXPECT_FALSE(otherPaid.isOpen());
    EXPECT_EQ(balanceOf("12345678"), "10000");
    EXPECT_EQ(balanceOf("3000000000"), "400");
    EXPECT_EQ(recordsOf("12345678"), "0");
    EXPECT_EQ(recordsOf("3000000000"), "1");
    std::size_t lines = 0;
    for (std::size_t at = log.find("builtin database"); at != std::string::npos;
         at = log.find("builtin database", at + 1))
        ++lines;
    EXPECT_EQ(lines, 1u) << "one line for the batch, not one per booking:\n" << log;
    EXPECT_NE(log.find("3 bookings not booked"), std::string::npos) << log;
    EXPECT_EQ(m_db->batchStats().failed, 1u);
    EXPECT_EQ(m_db->batchStats().batches, 1u);

    // The terminals heard nothing and send them again.
    EXPECT_EQ(m_db->runQuery(payment).fieldText("col1"), "00");
    EXPECT_EQ(m_db->runQuery(record).fieldText(std::size_t{0}), "1");
    EXPECT_EQ(m_db->runQuery(otherPayment).fieldText("col1"), "00");
    EXPECT_EQ(balanceOf("12345678"), std::to_string(10000 - 250 - 1250));
    EXPECT_EQ(balanceOf("3000000000"), "350");
    EXPECT_EQ(recordsOf("12345678"), "2");
    EXPECT_EQ(recordsOf("3000000000"), "2");
}

TEST_F(BookingBatchTest, AnOfflineRecordResentInsideTheSameBatchIsBookedOnce) {
    holdWriter();
    const std::string record = offlineCall("12345678", "10:05:03", "1250");
    QueryResult first;
    QueryResult resent;
    queue(record, first);
    queue(record, resent);
    finish();

    EXPECT_EQ(first.fieldText(std::size_t{0}), "1");
    EXPECT_EQ(resent.fieldText(std::size_t{0}), "1") << "acknowledged again, so the terminal stops resending";
    EXPECT_EQ(balanceOf("12345678"), "8750");
    EXPECT_EQ(recordsOf("12345678"), "1");
    EXPECT_EQ(m_db->batchStats().largest, 2u);
}

TEST_F(BookingBatchTest, ABatchTakesNoMoreThanItsLimitAndTheRestFollowInOrder) {
    m_db->setBatchLimit(2);
    holdWriter();
    std::vector<QueryResult> results(3);
    for (QueryResult& result : results)
        queue(onlineCall("12345678", "100"), result);
    finish();

    for (const QueryResult& result : results)
        EXPECT_EQ(result.fieldText("col1"), "00");
    EXPECT_EQ(results[0].fieldText("col7"), "余额:99.00元");
    EXPECT_EQ(results[2].fieldText("col7"), "余额:97.00元");
    const BatchStats stats = m_db->batchStats();
    EXPECT_EQ(stats.batches, 3u);
    EXPECT_EQ(stats.bookings, 4u);
    EXPECT_EQ(stats.largest, 2u);
}

TEST_F(BookingBatchTest, QueriesAreAnsweredWhileABatchIsBeingCommitted) {
    holdWriter();
    QueryResult waiting;
    queue(onlineCall("12345678", "250"), waiting);
    QueryResult answer = m_db->runQuery(queryCall);
    EXPECT_EQ(answer.fieldText("col1"), "1");
    EXPECT_EQ(answer.fieldText("col6"), "余额:100.00元") << "nothing uncommitted is shown";
    EXPECT_EQ(m_db->runQuery("execute dbo.sp_consume_ykt_whitename;1 @macid = ''").rowCount(), 2u);
    finish();
    EXPECT_EQ(waiting.fieldText("col1"), "00");
    EXPECT_EQ(m_db->runQuery(queryCall).fieldText("col6"), "余额:97.50元");
}

TEST_F(BookingBatchTest, ManyTerminalsPayingAtOnceAreEachBookedOnce) {
    constexpr int terminals = 16;
    constexpr int paymentsEach = 25;
    std::atomic<int> paid{0};
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < terminals; ++t) {
            threads.emplace_back([&] {
                for (int i = 0; i < paymentsEach; ++i) {
                    if (m_db->runQuery(onlineCall("12345678", "10")).fieldText("col1") == "00")
                        ++paid;
                }
            });
        }
    }
    EXPECT_EQ(paid.load(), terminals * paymentsEach);
    EXPECT_EQ(balanceOf("12345678"), std::to_string(10000 - 10 * terminals * paymentsEach));
    EXPECT_EQ(recordsOf("12345678"), std::to_string(terminals * paymentsEach));
    const BatchStats stats = m_db->batchStats();
    EXPECT_EQ(stats.bookings, static_cast<std::uint64_t>(terminals * paymentsEach));
    EXPECT_LE(stats.largest, static_cast<std::uint64_t>(terminals));
    EXPECT_EQ(stats.failed, 0u);
}

TEST_F(BookingBatchTest, WithALimitOfOneEveryBookingIsCommittedAlone) {
    m_db->setBatchLimit(1);
    holdWriter();
    std::vector<QueryResult> results(3);
    for (QueryResult& result : results)
        queue(onlineCall("12345678", "100"), result);
    finish();
    for (const QueryResult& result : results)
        EXPECT_EQ(result.fieldText("col1"), "00");
    EXPECT_EQ(m_db->batchStats().batches, 4u);
    EXPECT_EQ(m_db->batchStats().largest, 1u);
}

} // namespace
} // namespace vorlanx::db
