// The ODBC client on the SQL Server road: the real unixODBC driver manager and the FreeTDS driver
// registered as "SQL Server", against a TDS stand-in on a loopback port given as "host,port".
// What a procedure call reports at any point decides whether it is a success.

#include "db/OdbcDatabase.h"
#include "tests/support/TdsStandIn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace vorlanx::db {
namespace {

using test::TdsStandIn;
using test::TdsStandInOptions;

const std::string kQuery = "execute dbo.sp_consume_ykt_query;1 @cardno = '12345678',@hexkh = '00BC614E',@macid =1";
const std::string kPayment = "exec sp_consume_ykt_online @rinfo=N'type = online,hexkh =00BC614E,macid =1,rdate "
                             "=2020-05-08,rtime =10:05:03,cardno =12345678,xfmoney =250,'";
const std::string kOffline = "exec sp_consume_ykt_offline @rinfo=N'rtype= offline,hexkh=00BC614E,macid=1,rdate=2020-"
                             "05-08,rtime=10:05:03,cardno=12345678,xfmoney=1250,'";

class OdbcSqlServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() / ("vorlanx-tds-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(m_dir);
        std::ofstream(m_dir / "holders.csv") << "hr_code,hr_name,dept_name,hr_phyid,balance_fen\n"
                                                "P001,张三,食堂管理科,12345678,10000\n"
                                                "P002,李四,后勤,12345679,50\n";
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    TdsStandInOptions options(std::string fault, std::string text = "nvarchar") const {
        TdsStandInOptions o;
        o.holders = m_dir / "holders.csv";
        o.ledger = m_dir / "ledger.csv";
        o.fault = std::move(fault);
        o.text = std::move(text);
        return o;
    }

    std::filesystem::path m_dir;
};

TEST_F(OdbcSqlServerTest, TextIntegerAndMoneyColumnsComeAsTextThroughHostCommaPort) {
    for (const char* text : {"nvarchar", "varchar"}) {
        SCOPED_TRACE(text);
        TdsStandIn server(options("none", text));
        ASSERT_TRUE(server.start());
        OdbcDatabase db;
        ASSERT_TRUE(db.connect(server.server(), "canteen", "sa", "468"));
        QueryResult card = db.runQuery(kQuery);
        ASSERT_TRUE(card.isOpen());
        EXPECT_EQ(card.fieldText("col1"), "1");
        EXPECT_EQ(card.fieldText("col4"), "100"); // money, in the short form
        EXPECT_EQ(card.fieldText("col5"), "张三");
        EXPECT_EQ(card.fieldText("col6"), "余额:100.00元");
        EXPECT_EQ(card.fieldText("col7"), "食堂管理科");
        QueryResult offline = db.runQuery(kOffline);
        EXPECT_EQ(offline.fieldText(std::size_t{0}), "1"); // an int column
        std::filesystem::remove(m_dir / "ledger.csv");
    }
}

TEST_F(OdbcSqlServerTest, AnErrorAfterTheFirstResultSetFailsTheCall) {
    TdsStandIn server(options("error-after-first-result"));
    ASSERT_TRUE(server.start());
    OdbcDatabase db;
    ASSERT_TRUE(db.connect(server.server(), "canteen", "sa", "468"));
    ::testing::internal::CaptureStderr();
    // The procedure's SELECT says "00" paid, then its INSERT fails: nothing was booked.
    EXPECT_FALSE(db.runQuery(kPayment).isOpen());
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(server.ledgerRows().empty());
    EXPECT_NE(log.find("2627"), std::string::npos) << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    // The call after a failed one goes through on the same connection (the stand-in faults every
    // other booking call).
    QueryResult paid = db.runQuery(kPayment);
    ASSERT_TRUE(paid.isOpen());
    EXPECT_EQ(paid.fieldText("col1"), "00");
    // The same for an offline record: its "1" must not be taken for booked.
    EXPECT_FALSE(db.runQuery(kOffline).isOpen());
    EXPECT_EQ(server.ledgerRows().size(), 1u);
    EXPECT_EQ(db.runQuery(kOffline).fieldText(std::size_t{0}), "1");
    EXPECT_EQ(server.ledgerRows().size(), 2u);
}

TEST_F(OdbcSqlServerTest, DeadlockFailsTheCallAndInfoMessagesDoNot) {
    {
        TdsStandIn server(options("deadlock"));
        ASSERT_TRUE(server.start());
        OdbcDatabase db;
        ASSERT_TRUE(db.connect(server.server(), "canteen", "sa", "468"));
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(db.runQuery(kPayment).isOpen());
        const std::string log = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(log.find("1205"), std::string::npos) << log;
        EXPECT_TRUE(server.ledgerRows().empty());
        EXPECT_EQ(db.runQuery(kPayment).fieldText("col1"), "00");
        EXPECT_EQ(server.ledgerRows().size(), 1u);
    }
    std::filesystem::remove(m_dir / "ledger.csv");
    TdsStandIn server(options("info"));
    ASSERT_TRUE(server.start());
    OdbcDatabase db;
    ASSERT_TRUE(db.connect(server.server(), "canteen", "sa", "468"));
    QueryResult paid = db.runQuery(kPayment);
    ASSERT_TRUE(paid.isOpen());
    EXPECT_EQ(paid.fieldText("col1"), "00");
    EXPECT_EQ(paid.fieldText("col7"), "余额:97.50元");
}

TEST_F(OdbcSqlServerTest, ALateAnswerBeyondTheCommandTimeOutIsCancelledAndBooksNothing) {
    TdsStandIn server(options("late:4000"));
    ASSERT_TRUE(server.start());
    OdbcDatabase db("SQL Server", 1);
    ASSERT_TRUE(db.connect(server.server(), "canteen", "sa", "468"));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(db.runQuery(kPayment).isOpen());
    // Cancelled at the time-out, not answered when the server got round to it.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(3500));
    EXPECT_TRUE(server.ledgerRows().empty());
}

TEST_F(OdbcSqlServerTest, AWrongLoginIsRefused) {
    TdsStandIn server(options("none"));
    ASSERT_TRUE(server.start());
    OdbcDatabase db;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(db.connect(server.server(), "canteen", "sa", "wrong"));
    EXPECT_FALSE(db.connect(server.server(), "other", "sa", "468"));
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Login failed for user 'sa'"), std::string::npos) << log;
    EXPECT_TRUE(db.connect(server.server(), "canteen", "sa", "468"));
}

} // namespace
} // namespace vorlanx::db
