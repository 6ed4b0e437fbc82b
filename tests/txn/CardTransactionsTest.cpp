#include "txn/CardTransactions.h"

#include "TransactionTestKit.h"
#include "link/ResultBox.h"
#include "link/SharedClock.h"
#include "db/ServiceDatabase.h"

#include <gtest/gtest.h>

#include <string>

namespace vorlanx::txn {
namespace {

using namespace test;

std::string blanks(std::size_t bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes; ++i)
        out += "20";
    return out;
}

// The transactions as the service runs them: replies leave through a listener endpoint on a
// loopback port and reach a terminal socket.
class Transactions : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(listener.open([](const std::string&, std::uint16_t, std::span<const std::uint8_t>) {}));
        ASSERT_TRUE(listener.bindPort("127.0.0.1", 0));
        clock.set({"2020050805100503", "2020-05-08", "10:05:03"});
        ASSERT_TRUE(terminal.ready);
    }
    void TearDown() override { listener.close(); }

    link::CardQueryArgs query(const std::string& card) { return {terminal.port, card, "0001", terminal.address}; }
    link::OnlineConsumptionArgs payment(const std::string& card, const std::string& fen) {
        return {terminal.port, card, "0001", terminal.address, fen};
    }
    link::OfflineUploadArgs upload(const std::string& card, const std::string& time, const std::string& fen) {
        return {std::to_string(terminal.port), card, "0001", terminal.address, fen, time};
    }

    link::UdpEndpoint listener;
    link::SharedClock clock;
    link::ResultBox results;
    RecordingSink sink;
    FakeTerminal terminal;
};

class ScriptedTransactions : public Transactions {
protected:
    RecordingDatabase database;
    CardTransactions transactions{database, listener, clock, results, sink};
};

TEST_F(ScriptedTransactions, CardQueryReplyOfTheWorkedExample) {
    database.answerWith([](std::string_view) { return procedureAnswer("1", "张三"); });
    transactions.runCardQuery(query("00BC614E"));
    EXPECT_EQ(terminal.inbox.next(), "FE010001004463D5C5C8FD" + blanks(12) + blanks(48) + "010101" + "61F3");
    EXPECT_EQ(database.commands(), (std::vector<std::string>{"execute dbo.sp_consume_ykt_query;1 @cardno = "
                                                             "'12345678',@hexkh = '00BC614E',@macid =1"}));
    EXPECT_TRUE(sink.results().empty());
}

TEST_F(ScriptedTransactions, OnlineReplyOfTheWorkedExampleWithTheClockOfTheService) {
    database.answerWith([](std::string_view) { return procedureAnswer("00", "张三"); });
    transactions.runOnlineConsumption(payment("00BC614E", "250"));
    EXPECT_EQ(terminal.inbox.next(), "FE010001004463D5C5C8FD" + blanks(12) + blanks(48) + "010100" + "A033");
    EXPECT_EQ(database.commands(),
              (std::vector<std::string>{"exec sp_consume_ykt_online @rinfo=N'type = online,hexkh =00BC614E,macid =1,"
                                        "rdate =2020-05-08,rtime =10:05:03,cardno =12345678,xfmoney =250,'"}));
}

TEST_F(ScriptedTransactions, DisplayTextOfTwentyBytesIsSentWholeWithTheSameLength) {
    database.answerWith([](std::string_view) { return procedureAnswer("1", "一二三四五六七八九十"); });
    transactions.runCardQuery(query("00BC614E"));
    const auto reply = terminal.inbox.next();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->substr(0, 14), "FE010001004463");
    EXPECT_EQ(reply->substr(14, 40), "D2BBB6FEC8FDCBC4CEE5C1F9C6DFB0CBBEC5CAAE");
    EXPECT_EQ(reply->substr(54, 96), blanks(48));
    EXPECT_EQ(reply->substr(150, 6), "010101");
    EXPECT_EQ(reply->size(), 160u);
}

TEST_F(ScriptedTransactions, OnlinePaymentWithoutResultCodeGetsNoReply) {
    database.answerWith([](std::string_view command) {
        return command.starts_with("exec sp_consume_ykt_online") ? procedureAnswer("", "张三")
                                                                 : procedureAnswer("1", "");
    });
    transactions.runOnlineConsumption(payment("00BC614E", "250"));
    // The next frame the terminal sees is the answer to the query that follows.
    transactions.runCardQuery(query("00BC614E"));
    const auto reply = terminal.inbox.next();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->substr(reply->size() - 10, 6), "010101");
}

class DatabaseDown : public Transactions {
protected:
    db::ServiceDatabase database{std::filesystem::temp_directory_path()};
    CardTransactions transactions{database, listener, clock, results, sink};
};

TEST_F(DatabaseDown, CardQueryLogsTheFailureOnItsOwnLineAndRepliesBlank) {
    transactions.runCardQuery(query("00BC614E"));
    // An odd number of hex digits: the last one travels as a byte of its own.
    const std::string text = link::cardReplyFrame("0001", blanks(64) + "01010");
    ASSERT_EQ(text.substr(0, text.size() - 4), "FE010001004463" + blanks(64) + "01010");
    EXPECT_EQ(terminal.inbox.next(), link::bytesToHex(link::hexToBytes(text)));
    EXPECT_EQ(sink.results(), (std::vector<std::string>{"00BC614E查询失败\r\n"}));
    EXPECT_EQ(results.text(), "00BC614E查询失败\r\n");
}

TEST_F(DatabaseDown, OnlinePaymentSendsNothingAndOfflineUploadOnlyWritesItsLine) {
    transactions.runOnlineConsumption(payment("00BC614E", "250"));
    transactions.runOfflineUpload(upload("00BC614E", "200508100503", "1250"));
    transactions.runCardQuery(query("00BC614E"));
    const auto reply = terminal.inbox.next();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->substr(12, 2), "63");
    EXPECT_EQ(sink.results(),
              (std::vector<std::string>{"离线消费：12345678|12.5元|2020-05-08|10:05:03\r\n", "00BC614E查询失败\r\n"}));
}

class BuiltinTransactions : public Transactions {
protected:
    CanteenFile canteen;
    RecordingDatabase database{&canteen.db};
    CardTransactions transactions{database, listener, clock, results, sink};
};

TEST_F(BuiltinTransactions, QueryShowsTheHoldersName) {
    transactions.runCardQuery(query("00BC614E"));
    const auto reply = terminal.inbox.next();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->substr(14, 8), "D5C5C8FD");
    EXPECT_EQ(reply->substr(reply->size() - 10, 6), "010101");
}

TEST_F(BuiltinTransactions, PaymentIsBookedBeforeItsReply) {
    transactions.runOnlineConsumption(payment("00BC614E", "250"));
    const auto reply = terminal.inbox.next();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->substr(reply->size() - 10, 6), "010100");
    EXPECT_EQ(canteen.balanceOf("12345678"), "9750");
    EXPECT_EQ(canteen.value("SELECT rdate || ' ' || rtime FROM consumption_record"), "2020-05-08 10:05:03");
}

TEST_F(BuiltinTransactions, PaymentTheBalanceDoesNotCoverIsRefusedAndBooksNothing) {
    transactions.runOnlineConsumption(payment("05397FB1", "501"));
    const auto reply = terminal.inbox.next();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->substr(reply->size() - 10, 6), "010103");
    EXPECT_EQ(canteen.balanceOf("87654321"), "500");
    EXPECT_EQ(canteen.recordCount(), "0");
}

TEST_F(BuiltinTransactions, OfflineAcknowledgementGoesToTheUploadsSourcePort) {
    transactions.runOfflineUpload(upload("00BC614E", "200508100503", "1250"));
    EXPECT_EQ(terminal.inbox.next(), "FE010001000177644A");
    EXPECT_EQ(database.commands(),
              (std::vector<std::string>{"exec sp_consume_ykt_offline @rinfo=N'rtype= offline,hexkh=00BC614E,macid=1,"
                                        "rdate=2020-05-08,rtime=10:05:03,cardno=12345678,xfmoney=1250,'"}));
    EXPECT_EQ(sink.results(), (std::vector<std::string>{"离线消费：12345678|12.5元|2020-05-08|10:05:03\r\n"}));
}

TEST_F(BuiltinTransactions, OfflineRecordOfTheLastYearOfTheCenturyAndOneFen) {
    transactions.runOfflineUpload(upload("00BC614E", "991231235959", "1"));
    EXPECT_EQ(terminal.inbox.next(), "FE010001000177644A");
    EXPECT_EQ(database.commands().at(0).find("xfmoney=1,'") != std::string::npos, true);
    EXPECT_EQ(canteen.value("SELECT rdate || ' ' || rtime || ' ' || amount_fen FROM consumption_record"),
              "2099-12-31 23:59:59 1");
    EXPECT_EQ(sink.results(), (std::vector<std::string>{"离线消费：12345678|0.01元|2099-12-31|23:59:59\r\n"}));
}

TEST_F(BuiltinTransactions, OfflineRecordUploadedTwiceIsBookedOnceAndAcknowledgedTwice) {
    transactions.runOfflineUpload(upload("00BC614E", "200508100503", "1250"));
    transactions.runOfflineUpload(upload("00BC614E", "200508100503", "1250"));
    EXPECT_EQ(terminal.inbox.next(), "FE010001000177644A");
    EXPECT_EQ(terminal.inbox.next(), "FE010001000177644A");
    EXPECT_EQ(canteen.recordCount(), "1");
    EXPECT_EQ(canteen.balanceOf("12345678"), "8750");
    EXPECT_EQ(sink.results().size(), 2u);
}

} // namespace
} // namespace vorlanx::txn
