#include "db/BuiltinDatabase.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "link/Gbk.h"

namespace vorlanx::db {
namespace {

// The texts the transactions build, from their worked examples.
const std::string queryCall = "execute dbo.sp_consume_ykt_query;1 @cardno = '12345678',@hexkh = '00BC614E',@macid =1";
const std::string onlineCall = "exec sp_consume_ykt_online @rinfo=N'type = online,hexkh =00BC614E,macid =1,rdate "
                               "=2020-05-08,rtime =10:05:03,cardno =12345678,xfmoney =250,'";
const std::string offlineCall = "exec sp_consume_ykt_offline @rinfo=N'rtype= offline,hexkh=00BC614E,macid=1,rdate=2020-"
                                "05-08,rtime=10:05:03,cardno=12345678,xfmoney=1250,'";
const std::string whitenameCall = "execute dbo.sp_consume_ykt_whitename;1 @macid = ''";

std::string queryFor(const std::string& card) {
    return "execute dbo.sp_consume_ykt_query;1 @cardno = '" + card + "',@hexkh = '00000000',@macid =1";
}

std::string onlineFor(const std::string& card, const std::string& fen) {
    return "exec sp_consume_ykt_online @rinfo=N'type = online,hexkh =00000000,macid =1,rdate =2020-05-08,rtime "
           "=10:05:03,cardno =" +
           card + ",xfmoney =" + fen + ",'";
}

std::string offlineFor(const std::string& card, const std::string& time, const std::string& fen) {
    return "exec sp_consume_ykt_offline @rinfo=N'rtype= offline,hexkh=00000000,macid=2,rdate=2020-05-08,rtime=" + time +
           ",cardno=" + card + ",xfmoney=" + fen + ",'";
}

class BuiltinDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_file = std::filesystem::temp_directory_path() /
                 ("vorlanx-builtin-" + std::to_string(std::random_device{}()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".db");
        removeFiles();
        ASSERT_TRUE(m_db.open(m_file.string()));
        ASSERT_TRUE(
            m_db.runQuery("INSERT INTO card_holder (hr_code, hr_name, dept_name, hr_phyid, balance_fen, active) "
                          "VALUES ('0001', '张三', '食堂部', 12345678, 10000, 1),"
                          "('0002', '李四', '财务部', 3000000000, 500, 1),"
                          "('0003', '王五', '后勤部', 555, 10000, 0),"
                          "('0000', '赵六', '研发部', NULL, 100, 1)")
                .isOpen());
    }
    void TearDown() override {
        m_db.disconnect();
        removeFiles();
    }
    void removeFiles() {
        for (const char* suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(m_file.string() + suffix);
    }

    std::string balanceOf(const std::string& card) {
        return m_db.runQuery("SELECT balance_fen FROM card_holder WHERE hr_phyid = " + card).fieldText(std::size_t{0});
    }
    std::string recordCount() {
        return m_db.runQuery("SELECT count(*) FROM consumption_record").fieldText(std::size_t{0});
    }

    std::filesystem::path m_file;
    BuiltinDatabase m_db;
};

TEST_F(BuiltinDatabaseTest, QueryOfAKnownCardShowsHolderAndBalance) {
    QueryResult result = m_db.runQuery(queryCall);
    EXPECT_EQ(result.fieldText("col1"), "1");
    EXPECT_EQ(result.fieldText("col5"), "张三");
    EXPECT_EQ(result.fieldText("col6"), "余额:100.00元");
    EXPECT_EQ(result.fieldText("col7"), "食堂部");
    EXPECT_EQ(result.fieldText("col8"), "卡号:12345678");
    result.closeQuery();

    EXPECT_EQ(m_db.runQuery(queryFor("3000000000")).fieldText("col5"), "李四");
}

TEST_F(BuiltinDatabaseTest, QueriesAreAnsweredWhileAnotherWriterHoldsTheFile) {
    // Another program (or a booking held up by the disk) keeps a write transaction open.
    BuiltinDatabase other;
    ASSERT_TRUE(other.open(m_file.string()));
    other.runQuery("BEGIN IMMEDIATE");
    // A payment now waits for the file; queries from other terminals must not wait behind it.
    std::atomic<bool> paid{false};
    std::string paymentCode;
    std::thread payment([&] {
        paymentCode = m_db.runQuery(onlineCall).fieldText("col1");
        paid = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    QueryResult answer = m_db.runQuery(queryCall);
    EXPECT_EQ(answer.fieldText("col1"), "1");
    EXPECT_EQ(answer.fieldText("col5"), "张三");
    EXPECT_EQ(m_db.runQuery(whitenameCall).rowCount(), 2u);
    EXPECT_FALSE(paid) << "the payment cannot have been booked while the file was held";
    other.runQuery("ROLLBACK");
    payment.join();
    EXPECT_EQ(paymentCode, "00");
    // The reading connection sees the booking at once.
    EXPECT_EQ(m_db.runQuery(queryCall).fieldText("col6"), "余额:97.50元");
}

TEST_F(BuiltinDatabaseTest, QueryOfUnknownAndBlockedCards) {
    EXPECT_EQ(m_db.runQuery(queryFor("99")).fieldText("col1"), "2");
    QueryResult blocked = m_db.runQuery(queryFor("555"));
    EXPECT_EQ(blocked.fieldText("col1"), "3");
    EXPECT_EQ(blocked.fieldText("col5"), "王五");
}

TEST_F(BuiltinDatabaseTest, DisplayTextsFitSixteenGbkBytes) {
    m_db.runQuery("UPDATE card_holder SET hr_name = '欧阳张三李四王五赵六', dept_name = 'Department of Canteens' "
                  "WHERE hr_code = '0001'");
    QueryResult result = m_db.runQuery(queryCall);
    EXPECT_EQ(result.fieldText("col5"), "欧阳张三李四王五");
    EXPECT_EQ(result.fieldText("col7"), "Department of Ca");
    for (const char* column : {"col5", "col6", "col7", "col8"})
        EXPECT_LE(link::toGbk(result.fieldText(column)).size(), 16u) << column;
}

TEST_F(BuiltinDatabaseTest, OnlinePaymentDebitsAndBooksBeforeItAnswers) {
    QueryResult result = m_db.runQuery(onlineCall);
    EXPECT_EQ(result.fieldText("col1"), "00");
    EXPECT_EQ(result.fieldText("col5"), "张三");
    EXPECT_EQ(result.fieldText("col6"), "消费:2.50元");
    EXPECT_EQ(result.fieldText("col7"), "余额:97.50元");

    // A second connection sees the booking: it was committed before the answer.
    BuiltinDatabase other;
    ASSERT_TRUE(other.open(m_file.string()));
    EXPECT_EQ(other.runQuery("SELECT balance_fen FROM card_holder WHERE hr_code = '0001'").fieldText(std::size_t{0}),
              "9750");
    QueryResult record = other.runQuery("SELECT kind, hr_code, machine, rdate, rtime, amount_fen, balance_after_fen "
                                        "FROM consumption_record");
    EXPECT_EQ(record.fieldText("kind"), "online");
    EXPECT_EQ(record.fieldText("hr_code"), "0001");
    EXPECT_EQ(record.fieldText("rdate") + " " + record.fieldText("rtime"), "2020-05-08 10:05:03");
    EXPECT_EQ(record.fieldText("amount_fen"), "250");
    EXPECT_EQ(record.fieldText("balance_after_fen"), "9750");
}

TEST_F(BuiltinDatabaseTest, TheFileWaitsForTheDiskAtEveryCommit) {
    EXPECT_EQ(m_db.runQuery("PRAGMA journal_mode").fieldText(std::size_t{0}), "wal");
    EXPECT_EQ(m_db.runQuery("PRAGMA synchronous").fieldText(std::size_t{0}), "2");
}

TEST_F(BuiltinDatabaseTest, PaymentsThatCannotBeMadeChangeNothing) {
    QueryResult short_ = m_db.runQuery(onlineFor("3000000000", "600"));
    EXPECT_EQ(short_.fieldText("col1"), "03");
    EXPECT_EQ(short_.fieldText("col6"), "余额不足");
    EXPECT_EQ(balanceOf("3000000000"), "500");

    EXPECT_EQ(m_db.runQuery(onlineFor("555", "100")).fieldText("col1"), "02");
    EXPECT_EQ(balanceOf("555"), "10000");
    EXPECT_EQ(m_db.runQuery(onlineFor("99", "100")).fieldText("col1"), "01");
    EXPECT_EQ(m_db.runQuery(onlineFor("12345678", "0")).fieldText("col1"), "04");
    EXPECT_EQ(balanceOf("12345678"), "10000");
    EXPECT_EQ(recordCount(), "0");

    EXPECT_EQ(m_db.runQuery(onlineFor("3000000000", "500")).fieldText("col1"), "00");
    EXPECT_EQ(balanceOf("3000000000"), "0");
}

TEST_F(BuiltinDatabaseTest, RacingPaymentsNeverDriveACardBelowZero) {
    // Two connections to one file, as the service and a second process would hold them.
    BuiltinDatabase other;
    ASSERT_TRUE(other.open(m_file.string()));
    m_db.runQuery("UPDATE card_holder SET balance_fen = 1000 WHERE hr_code = '0001'");

    std::atomic<int> paid{0};
    {
        std::vector<std::jthread> terminals;
        for (int t = 0; t < 8; ++t) {
            terminals.emplace_back([&, t] {
                BuiltinDatabase& db = t % 2 == 0 ? m_db : other;
                for (int i = 0; i < 3; ++i) {
                    if (db.runQuery(onlineFor("12345678", "100")).fieldText("col1") == "00")
                        ++paid;
                }
            });
        }
    }
    EXPECT_EQ(paid.load(), 10);
    EXPECT_EQ(balanceOf("12345678"), "0");
    EXPECT_EQ(recordCount(), "10");
}

TEST_F(BuiltinDatabaseTest, TheSameOfflineRecordTwiceBooksOnce) {
    EXPECT_EQ(m_db.runQuery(offlineCall).fieldText(std::size_t{0}), "1");
    EXPECT_EQ(m_db.runQuery(offlineCall).fieldText(std::size_t{0}), "1");
    EXPECT_EQ(balanceOf("12345678"), "8750");
    EXPECT_EQ(recordCount(), "1");

    // Another record of the same card is a new sale.
    EXPECT_EQ(m_db.runQuery(offlineFor("12345678", "12:00:00", "1250")).fieldText(std::size_t{0}), "1");
    EXPECT_EQ(balanceOf("12345678"), "7500");
}

TEST_F(BuiltinDatabaseTest, OfflineSalesAreBookedEvenWhenTheBalanceOrTheCardSaysNo) {
    EXPECT_EQ(m_db.runQuery(offlineFor("3000000000", "08:00:00", "800")).fieldText(std::size_t{0}), "1");
    EXPECT_EQ(balanceOf("3000000000"), "-300");

    EXPECT_EQ(m_db.runQuery(offlineFor("77", "08:00:01", "300")).fieldText(std::size_t{0}), "1");
    QueryResult unknown = m_db.runQuery("SELECT hr_code, hr_phyid FROM consumption_record WHERE hr_phyid = 77");
    EXPECT_FALSE(unknown.atEnd());
    EXPECT_EQ(unknown.fieldText("hr_code"), "");
}

TEST_F(BuiltinDatabaseTest, WhitenameListsActiveCardHoldersInPersonnelNumberOrder) {
    m_db.runQuery("INSERT INTO card_holder (hr_code, hr_name, dept_name, hr_phyid, balance_fen) "
                  "VALUES ('0000A', '孙七', '食堂部', 42, 0)");
    QueryResult result = m_db.runQuery(whitenameCall);
    std::vector<std::string> rows;
    while (!result.atEnd()) {
        rows.push_back(result.fieldText("hr_code") + "|" + result.fieldText("hr_name") + "|" +
                       result.fieldText("dept_name") + "|" + result.fieldText("hr_phyid"));
        result.nextRow();
    }
    EXPECT_EQ(rows, (std::vector<std::string>{"0000A|孙七|食堂部|42", "0001|张三|食堂部|12345678",
                                              "0002|李四|财务部|3000000000"}));
    EXPECT_EQ(m_db.runQuery("execute dbo.sp_consume_ykt_whitename;1 @macid = '5'").rowCount(), 3u);
}

TEST_F(BuiltinDatabaseTest, OtherTextsRunAsSqlWithValuesAsText) {
    QueryResult result = m_db.runQuery("SELECT 4294967295 AS big, 2.5 AS d, x'00' AS b, NULL AS n, '食' AS s");
    EXPECT_EQ(result.fieldText("big"), "4294967295");
    EXPECT_EQ(result.fieldText("d"), "2.50000000");
    EXPECT_EQ(result.fieldText("b"), "[BLOB]");
    EXPECT_EQ(result.fieldText("n"), "");
    EXPECT_EQ(result.fieldText("s"), "食");

    // A call text with a blank missing is not a call; as SQL it fails.
    EXPECT_FALSE(
        m_db.runQuery("execute dbo.sp_consume_ykt_query;1 @cardno='12345678',@hexkh = '00BC614E',@macid =1").isOpen());
}

TEST(BuiltinDatabaseClosed, AnswersNothing) {
    BuiltinDatabase db;
    EXPECT_FALSE(db.isConnected());
    EXPECT_FALSE(db.runQuery(queryCall).isOpen());
    EXPECT_FALSE(db.open("/nonexistent-dir/vorlanx.db"));
}

} // namespace
} // namespace vorlanx::db
