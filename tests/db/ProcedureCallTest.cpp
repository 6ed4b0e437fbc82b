#include "db/ProcedureCall.h"

#include <gtest/gtest.h>

namespace vorlanx::db {
namespace {

TEST(ProcedureCall, CardQueryTextIsRecognised) {
    const auto call =
        ProcedureCall::parse("execute dbo.sp_consume_ykt_query;1 @cardno = '12345678',@hexkh = '00BC614E',@macid =1");
    ASSERT_TRUE(call);
    EXPECT_EQ(call->kind, ProcedureCall::Kind::Query);
    EXPECT_EQ(call->cardNumber, "12345678");
    EXPECT_EQ(call->hexCard, "00BC614E");
    EXPECT_EQ(call->machine, "1");
}

TEST(ProcedureCall, OnlineTextIsRecognised) {
    const auto call = ProcedureCall::parse(
        "exec sp_consume_ykt_online @rinfo=N'type = online,hexkh =00BC614E,macid =1,rdate =2020-05-08,rtime "
        "=10:05:03,cardno =12345678,xfmoney =250,'");
    ASSERT_TRUE(call);
    EXPECT_EQ(call->kind, ProcedureCall::Kind::Online);
    EXPECT_EQ(call->hexCard, "00BC614E");
    EXPECT_EQ(call->machine, "1");
    EXPECT_EQ(call->date, "2020-05-08");
    EXPECT_EQ(call->time, "10:05:03");
    EXPECT_EQ(call->cardNumber, "12345678");
    EXPECT_EQ(call->amount, "250");
}

TEST(ProcedureCall, OfflineTextIsRecognised) {
    const auto call = ProcedureCall::parse(
        "exec sp_consume_ykt_offline @rinfo=N'rtype= offline,hexkh=00BC614E,macid=1,rdate=2020-05-08,rtime=10:05:03,"
        "cardno=12345678,xfmoney=1250,'");
    ASSERT_TRUE(call);
    EXPECT_EQ(call->kind, ProcedureCall::Kind::Offline);
    EXPECT_EQ(call->date, "2020-05-08");
    EXPECT_EQ(call->time, "10:05:03");
    EXPECT_EQ(call->cardNumber, "12345678");
    EXPECT_EQ(call->amount, "1250");
}

TEST(ProcedureCall, WhitenameTextIsRecognisedWithAnyMachineText) {
    auto call = ProcedureCall::parse("execute dbo.sp_consume_ykt_whitename;1 @macid = ''");
    ASSERT_TRUE(call);
    EXPECT_EQ(call->kind, ProcedureCall::Kind::Whitename);
    EXPECT_EQ(call->machine, "");
    call = ProcedureCall::parse("execute dbo.sp_consume_ykt_whitename;1 @macid = '5'");
    ASSERT_TRUE(call);
    EXPECT_EQ(call->machine, "5");
}

TEST(ProcedureCall, TextsInAnotherFormAreNotCalls) {
    // Online keys written with the offline blanks, and the reverse.
    EXPECT_FALSE(ProcedureCall::parse("exec sp_consume_ykt_online @rinfo=N'type = online,hexkh=00BC614E,macid=1,"
                                      "rdate=2020-05-08,rtime=10:05:03,cardno=12345678,xfmoney=250,'"));
    EXPECT_FALSE(ProcedureCall::parse("exec sp_consume_ykt_offline @rinfo=N'rtype= offline,hexkh =00BC614E,macid =1,"
                                      "rdate =2020-05-08,rtime =10:05:03,cardno =12345678,xfmoney =1250,'"));
    // Trailing comma missing.
    EXPECT_FALSE(ProcedureCall::parse("exec sp_consume_ykt_offline @rinfo=N'rtype= offline,hexkh=00BC614E,macid=1,"
                                      "rdate=2020-05-08,rtime=10:05:03,cardno=12345678,xfmoney=1250'"));
    EXPECT_FALSE(ProcedureCall::parse("execute dbo.sp_consume_ykt_query;1 @cardno = '1',@hexkh = '01',@macid = 1;"));
    EXPECT_FALSE(ProcedureCall::parse("SELECT * FROM card_holder"));
}

} // namespace
} // namespace vorlanx::db
