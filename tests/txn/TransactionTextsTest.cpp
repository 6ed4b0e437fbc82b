#include "txn/TransactionTexts.h"
#include "txn/TextField.h"

#include <gtest/gtest.h>

#include <string>

namespace vorlanx::txn {
namespace {

std::string blanks(std::size_t bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes; ++i)
        out += "20";
    return out;
}

TEST(TextField, NameIsItsGbkBytesFilledWithBlanksToSixteen) {
    EXPECT_EQ(encodeTextField("张三"), "D5C5C8FD" + blanks(12));
    EXPECT_EQ(encodeTextField(""), blanks(16));
    EXPECT_EQ(encodeTextField("AB"), "4142" + blanks(14));
}

TEST(TextField, LongTextIsNeverCut) {
    const std::string field = encodeTextField("一二三四五六七八九十");
    EXPECT_EQ(field.size(), 40u);
    EXPECT_EQ(field.substr(0, 8), "D2BBB6FE");
    EXPECT_EQ(field.substr(36), "CAAE");
}

TEST(CommandTexts, CardQueryOfTheWorkedExample) {
    EXPECT_EQ(cardQueryCommand("00BC614E", "0001"),
              "execute dbo.sp_consume_ykt_query;1 @cardno = '12345678',@hexkh = '00BC614E',@macid =1");
}

TEST(CommandTexts, OnlinePaymentOfTheWorkedExample) {
    EXPECT_EQ(onlineConsumptionCommand("00BC614E", "0001", "2020-05-08", "10:05:03", "250"),
              "exec sp_consume_ykt_online @rinfo=N'type = online,hexkh =00BC614E,macid =1,rdate =2020-05-08,"
              "rtime =10:05:03,cardno =12345678,xfmoney =250,'");
}

TEST(CommandTexts, OfflineUploadOfTheWorkedExample) {
    EXPECT_EQ(offlineUploadCommand("00BC614E", "0001", "200508100503", "1250"),
              "exec sp_consume_ykt_offline @rinfo=N'rtype= offline,hexkh=00BC614E,macid=1,rdate=2020-05-08,"
              "rtime=10:05:03,cardno=12345678,xfmoney=1250,'");
}

TEST(CommandTexts, WhitenameTakesTheTypedMachineNumberWithQuotesDoubled) {
    EXPECT_EQ(whitenameCommand(""), "execute dbo.sp_consume_ykt_whitename;1 @macid = ''");
    EXPECT_EQ(whitenameCommand("5"), "execute dbo.sp_consume_ykt_whitename;1 @macid = '5'");
    EXPECT_EQ(whitenameCommand("5'; drop table x --"),
              "execute dbo.sp_consume_ykt_whitename;1 @macid = '5''; drop table x --'");
}

TEST(OfflineRecord, CenturyIsAlwaysTwenty) {
    EXPECT_EQ(bookingDate("991231235959"), "2099-12-31");
    EXPECT_EQ(bookingTime("991231235959"), "23:59:59");
}

TEST(OfflineRecord, YuanWithoutTrailingZeros) {
    EXPECT_EQ(yuanText("1250"), "12.5");
    EXPECT_EQ(yuanText("300"), "3");
    EXPECT_EQ(yuanText("5"), "0.05");
    EXPECT_EQ(yuanText("1"), "0.01");
    EXPECT_EQ(yuanText("0"), "0");
    EXPECT_EQ(yuanText("4294967295"), "42949672.95");
}

TEST(OfflineRecord, LineOfTheWorkedExample) {
    EXPECT_EQ(offlineRecordLine("00BC614E", "1250", "200508100503"),
              "离线消费：12345678|12.5元|2020-05-08|10:05:03\r\n");
}

} // namespace
} // namespace vorlanx::txn
