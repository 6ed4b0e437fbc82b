// The ODBC client against odbc32 on Windows: the driver manager is the system's, and a connection
// string naming a driver that is not registered fails the connect cleanly and quickly, with the
// driver manager's diagnostics in the debug log. (Wine's odbc32 passes the calls on to the host's
// unixODBC where one is installed, so the SQLSTATE differs between Windows and Wine.)

#include "db/OdbcDatabase.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using vorlanx::db::OdbcDatabase;

TEST(OdbcWin32, UnregisteredDriverFailsTheConnectCleanly) {
    OdbcDatabase db("Vorlanx Driver That Is Not Installed");
    ::testing::internal::CaptureStderr();
    const auto started = std::chrono::steady_clock::now();
    const bool connected = db.connect("127.0.0.1", "ykt", "sa", "468");
    const auto took = std::chrono::steady_clock::now() - started;
    const std::string log = ::testing::internal::GetCapturedStderr();

    EXPECT_FALSE(connected);
    EXPECT_FALSE(db.isConnected());
    EXPECT_LT(took, std::chrono::seconds(5));
    EXPECT_NE(log.find("odbc connect: "), std::string::npos) << log;
    EXPECT_FALSE(db.runQuery("execute dbo.sp_consume_ykt_whitename;1 @macid = ''").isOpen());
    db.disconnect();
    EXPECT_FALSE(db.isConnected());
}

} // namespace
