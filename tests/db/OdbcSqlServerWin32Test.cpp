// The ODBC client of the Windows build on the SQL Server road: odbc32 with the driver "SQL Server"
// and the address as "host,port", the connection string exactly as Windows clients write it.
// Under Wine, odbc32 hands the calls to the host's unixODBC and its FreeTDS registered as
// "SQL Server"; scripts/test-windows starts the TDS stand-in (tests/support/tds_server.py with
// --fault error-after-first-result) and names it in VORLANX_TDS_ADDRESS. Without it the tests skip.

#include "db/OdbcDatabase.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

using vorlanx::db::OdbcDatabase;

std::string standInAddress() {
    const char* address = std::getenv("VORLANX_TDS_ADDRESS");
    return address != nullptr ? address : "";
}

TEST(OdbcSqlServerWin32, ChineseTextsAndCodesComeThroughOdbc32) {
    const std::string server = standInAddress();
    if (server.empty())
        GTEST_SKIP() << "no TDS stand-in named in VORLANX_TDS_ADDRESS";
    OdbcDatabase db;
    ASSERT_TRUE(db.connect(server, "canteen", "sa", "468"));
    const auto card = db.runQuery("execute dbo.sp_consume_ykt_query;1 @cardno = '12345678',@hexkh = "
                                  "'00BC614E',@macid =1");
    ASSERT_TRUE(card.isOpen());
    EXPECT_EQ(card.fieldText("col1"), "1");
    EXPECT_EQ(card.fieldText("col5"), "张三");
    EXPECT_EQ(card.fieldText("col7"), "食堂管理科");
    EXPECT_FALSE(db.connect(server, "canteen", "sa", "wrong"));
}

TEST(OdbcSqlServerWin32, OfTwoPaymentsInARowTheOneWhoseInsertFailedIsNotPaid) {
    const std::string server = standInAddress();
    if (server.empty())
        GTEST_SKIP() << "no TDS stand-in named in VORLANX_TDS_ADDRESS";
    OdbcDatabase db;
    ASSERT_TRUE(db.connect(server, "canteen", "sa", "468"));
    // The stand-in fails every other booking call after the procedure's SELECT ("00" paid).
    const std::string payment = "exec sp_consume_ykt_online @rinfo=N'type = online,hexkh =00BC614E,macid =1,rdate "
                                "=2020-05-08,rtime =10:05:03,cardno =12345678,xfmoney =1,'";
    int paid = 0;
    int failed = 0;
    for (int i = 0; i < 2; ++i) {
        const auto result = db.runQuery(payment);
        if (result.isOpen() && result.fieldText("col1") == "00")
            ++paid;
        else if (!result.isOpen())
            ++failed;
    }
    EXPECT_EQ(paid, 1);
    EXPECT_EQ(failed, 1);
}

} // namespace
