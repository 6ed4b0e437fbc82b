#include "link/FrameDispatcher.h"
#include "tests/support/FakeTerminal.h"
#include "tests/support/SampleTime.h"
#include "link/HexText.h"
#include "tests/WineHost.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <vector>

namespace {

using vorlanx::test::FakeTerminal;

using namespace std::chrono_literals;
using namespace vorlanx::link;

// A one-byte datagram sent after the frames of a test: the receive worker handles datagrams one
// at a time, so once its entry is logged every frame before it has been handled completely.
const std::string kMarker = "00";
const std::string kMarkerData = "[数据]00\r\n";

// Everything the dispatcher reported, as one line of text per event, in arrival order.
class RecordingSink : public DispatchSink {
public:
    void clientEntry(const std::string& entry) override { record("entry " + entry, true); }
    void terminalAdded(const std::string& address, const std::string& portText, const std::string& machine,
                       const std::string& totalText) override {
        record("added " + address + " " + portText + " " + machine + " total " + totalText);
    }
    void terminalRemoved(const std::string& address, const std::string& statusText) override {
        record("removed " + address + " status " + statusText);
    }
    void resultAppended(const std::string& text, std::optional<std::size_t> successCount) override {
        record("result " + text + (successCount ? " count " + std::to_string(*successCount) : std::string()));
    }

    // Waits until `count` datagrams have been handled (each gives exactly one client entry).
    bool waitForEntries(std::size_t count) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, 5s, [&] { return m_entries >= count; });
    }
    std::vector<std::string> events() {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    std::vector<std::string> eventsStartingWith(const std::string& prefix) {
        std::vector<std::string> out;
        for (const auto& e : events()) {
            if (e.rfind(prefix, 0) == 0)
                out.push_back(e);
        }
        return out;
    }

private:
    void record(std::string event, bool isEntry = false) {
        std::lock_guard lock(m_mutex);
        if (event.find(kMarkerData) == std::string::npos)
            m_events.push_back(std::move(event));
        if (isEntry)
            ++m_entries;
        m_cv.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<std::string> m_events;
    std::size_t m_entries = 0;
};

class RecordingJobs : public TransactionJobs {
public:
    void startCardQuery(CardQueryArgs args) override {
        std::lock_guard lock(m_mutex);
        queries.push_back(std::move(args));
    }
    void startOnlineConsumption(OnlineConsumptionArgs args) override {
        std::lock_guard lock(m_mutex);
        payments.push_back(std::move(args));
    }
    void startOfflineUpload(OfflineUploadArgs args) override {
        std::lock_guard lock(m_mutex);
        uploads.push_back(std::move(args));
    }

    std::mutex m_mutex;
    std::vector<CardQueryArgs> queries;
    std::vector<OnlineConsumptionArgs> payments;
    std::vector<OfflineUploadArgs> uploads;
};

std::tm at(int hour, int minute, int second) { return vorlanx::test::may8th2020(hour, minute, second); }

// The listener endpoint with the dispatcher as its handler, as the service runs it.
struct Dispatching : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(listener.openForBatches(dispatcher.handler()));
        ASSERT_TRUE(listener.bindPort("127.0.0.1", 0));
        port = listener.localPort();
        ASSERT_NE(port, 0);
        ASSERT_TRUE(terminal.ready);
    }
    void TearDown() override { listener.close(); }

    void send(FakeTerminal& from, const std::string& hex) {
        from.send(port, hex);
        ++sent;
    }
    // True once every datagram sent so far has been handled in full.
    bool allHandled() {
        send(terminal, kMarker);
        return sink.waitForEntries(sent);
    }

    std::string source(const FakeTerminal& t) const { return "127.0.0.1:" + std::to_string(t.port); }

    RecordingSink sink;
    RecordingJobs jobs;
    TerminalTable terminals;
    ResultBox results;
    UdpEndpoint listener;
    FrameDispatcher dispatcher{listener, terminals, results, sink, &jobs, [] { return at(10, 5, 0); }};
    std::uint16_t port = 0;
    std::size_t sent = 0;
    FakeTerminal terminal{"127.0.0.1"};
};

TEST_F(Dispatching, AcknowledgesA74FrameEvenWithAWrongChecksum) {
    send(terminal, "FE01004E00057400112233440000");
    EXPECT_EQ(terminal.inbox.next(), "FE01004E000181F2D8");
    ASSERT_TRUE(allHandled());
    EXPECT_EQ(sink.eventsStartingWith("result").size(), 0u);
}

TEST_F(Dispatching, LogsEveryDatagramAsAThreeLineClientEntry) {
    send(terminal, "FE01004E000111F2B4");
    ASSERT_TRUE(allHandled());
    EXPECT_EQ(sink.events(),
              (std::vector<std::string>{"added 127.0.0.1 " + std::to_string(terminal.port) + " 78 total 1",
                                        "entry 2020年5月8日10时5分\r\n[客户]" + source(terminal) +
                                            "\r\n[数据]FE01004E000111F2B4\r\n"}));
    EXPECT_EQ(terminals.rows(), (std::vector<TerminalRow>{{"127.0.0.1", std::to_string(terminal.port), "78"}}));
}

TEST_F(Dispatching, ThreeSettingRepliesGiveSuccessCountThree) {
    for (int i = 0; i < 3; ++i)
        send(terminal, "FE010001000181E40C");
    ASSERT_TRUE(allHandled());
    const std::string line = "result " + source(terminal) + "|设置成功\r\n";
    EXPECT_EQ(sink.eventsStartingWith("result"),
              (std::vector<std::string>{line + " count 1", line + " count 2", line + " count 3"}));
    EXPECT_EQ(results.successCount(), 3u);
}

TEST_F(Dispatching, SuccessCountCountsWhatTheBoxHolds) {
    results.append("00BC614E查询失败");
    send(terminal, "FE010001000181E40C");
    ASSERT_TRUE(allHandled());
    EXPECT_EQ(results.successCount(), 1u);
    EXPECT_EQ(results.text(), "00BC614E查询失败" + source(terminal) + "|设置成功\r\n");
}

TEST_F(Dispatching, ZeroWhitelistCountIsShownAsZero) {
    send(terminal, "FE01"
                   "0001"
                   "0005"
                   "51"
                   "00000000"
                   "12AB");
    send(terminal, "FE01"
                   "0001"
                   "0005"
                   "51"
                   "00000131"
                   "12AB");
    ASSERT_TRUE(allHandled());
    EXPECT_EQ(sink.eventsStartingWith("result"),
              (std::vector<std::string>{"result " + source(terminal) + "|白名单数：0\r\n",
                                        "result " + source(terminal) + "|白名单数：305\r\n"}));
    EXPECT_EQ(results.successCount(), 2u);
}

TEST_F(Dispatching, TerminalClockIsShownUnchanged) {
    send(terminal, "FE0100010009112026120701235928ABCD");
    ASSERT_TRUE(allHandled());
    EXPECT_EQ(sink.eventsStartingWith("result"),
              (std::vector<std::string>{"result " + source(terminal) + "|返回时间：2026120701235928\r\n"}));
}

TEST_F(Dispatching, OneByteDatagramIsLoggedWithoutARow) {
    send(terminal, "FE");
    ASSERT_TRUE(allHandled());
    EXPECT_EQ(sink.events(), (std::vector<std::string>{"entry 2020年5月8日10时5分\r\n[客户]" + source(terminal) +
                                                       "\r\n[数据]FE\r\n"}));
    EXPECT_EQ(terminals.rowCount(), 0u);
}

TEST_F(Dispatching, EmptyDatagramIsLoggedWithoutARow) {
    send(terminal, "");
    ASSERT_TRUE(allHandled());
    EXPECT_EQ(terminals.rowCount(), 0u);
}

TEST_F(Dispatching, NeighbouringAddressesGetTheirOwnRows) {
    if (vorlanx::test::runningUnderWine())
        GTEST_SKIP() << "Wine binds a UDP socket on 127.0.0.10 to the whole loopback interface: it sends as 127.0.0.1";
    FakeTerminal other("127.0.0.10");
    send(other, "FE010002000111E460");
    send(terminal, "FE010001000111E460");
    ASSERT_TRUE(allHandled());
    const auto rows = terminals.rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (TerminalRow{"127.0.0.10", std::to_string(other.port), "2"}));
    EXPECT_EQ(rows[1], (TerminalRow{"127.0.0.1", std::to_string(terminal.port), "1"}));
    EXPECT_EQ(sink.eventsStartingWith("added").back(),
              "added 127.0.0.1 " + std::to_string(terminal.port) + " 1 total 2");
}

TEST_F(Dispatching, KnownTerminalKeepsThePortFirstSeen) {
    FakeTerminal again("127.0.0.1");
    send(terminal, "FE010001000111E460");
    ASSERT_TRUE(allHandled());
    send(again, "FE010001000111E460");
    ASSERT_TRUE(allHandled());
    EXPECT_EQ(terminals.rows(), (std::vector<TerminalRow>{{"127.0.0.1", std::to_string(terminal.port), "1"}}));
    EXPECT_EQ(sink.eventsStartingWith("added").size(), 1u);
}

TEST_F(Dispatching, MachineNumberChangeRemovesTheRowUntilTheNextFrame) {
    send(terminal, "FE010004000111E460");
    ASSERT_TRUE(allHandled());
    send(terminal, "FE010005000111E460");
    ASSERT_TRUE(allHandled());
    EXPECT_EQ(sink.eventsStartingWith("removed"),
              (std::vector<std::string>{"removed 127.0.0.1 status 127.0.0.1的机号已变更"}));
    EXPECT_EQ(terminals.rowCount(), 0u);
    send(terminal, "FE010005000111E460");
    ASSERT_TRUE(allHandled());
    EXPECT_EQ(terminals.rows(), (std::vector<TerminalRow>{{"127.0.0.1", std::to_string(terminal.port), "5"}}));
}

TEST_F(Dispatching, CardQueryStartsOneJobAndSendsNothing) {
    send(terminal, "FE01"
                   "0001"
                   "000B"
                   "63"
                   "00BC614E"
                   "06"
                   "0000000000");
    send(terminal, "FE01000100057400000000000000"); // its acknowledgement is the first reply
    ASSERT_TRUE(allHandled());
    EXPECT_EQ(terminal.inbox.next(), "FE010001000181E40C");
    std::lock_guard lock(jobs.m_mutex);
    ASSERT_EQ(jobs.queries.size(), 1u);
    EXPECT_EQ(jobs.queries[0].port, terminal.port);
    EXPECT_EQ(jobs.queries[0].card, "00BC614E");
    EXPECT_EQ(jobs.queries[0].machine, "0001");
    EXPECT_EQ(jobs.queries[0].address, "127.0.0.1");
    EXPECT_TRUE(jobs.payments.empty());
    EXPECT_TRUE(jobs.uploads.empty());
}

TEST_F(Dispatching, OnlinePaymentAndOfflineRecordHandOverTheirFields) {
    send(terminal, "FE01"
                   "0001"
                   "000D"
                   "63"
                   "00BC614E"
                   "00"
                   "000000FA"
                   "ABCD");
    send(terminal, "FE01"
                   "0001"
                   "0013"
                   "76"
                   "00BC614E"
                   "00"
                   "200508100503"
                   "000004E2"
                   "ABCD");
    ASSERT_TRUE(allHandled());
    std::lock_guard lock(jobs.m_mutex);
    ASSERT_EQ(jobs.payments.size(), 1u);
    EXPECT_EQ(jobs.payments[0].card, "00BC614E");
    EXPECT_EQ(jobs.payments[0].amount, "250");
    EXPECT_EQ(jobs.payments[0].port, terminal.port);
    ASSERT_EQ(jobs.uploads.size(), 1u);
    EXPECT_EQ(jobs.uploads[0].port, std::to_string(terminal.port));
    EXPECT_EQ(jobs.uploads[0].machine, "0001");
    EXPECT_EQ(jobs.uploads[0].amount, "1250");
    EXPECT_EQ(jobs.uploads[0].recordTime, "200508100503");
    EXPECT_TRUE(jobs.queries.empty());
}

const std::string kCardQuery = "FE010001000B6300BC614E060000000000";
const std::string kPayment = "FE010001000D6300BC614E00000000FAABCD";
const std::string kOffline = "FE01000100137600BC614E00200508100503000004E2ABCD";

TEST_F(Dispatching, SenderOutsideTheAllowListIsLoggedAsRefusedAndNothingMore) {
    dispatcher.setAddressFilter(std::make_shared<const AddressFilter>(
        std::get<AddressFilter>(AddressFilter::parse("10.0.0.0/8, 192.168.1.20"))));
    send(terminal, kCardQuery);
    send(terminal, "FE01000100057400000000000000");
    ASSERT_TRUE(allHandled());
    EXPECT_FALSE(terminal.inbox.next(300ms)) << "no acknowledgement to a refused sender";
    EXPECT_TRUE(terminals.rows().empty());
    const auto entries = sink.eventsStartingWith("entry ");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], "entry 2020年5月8日10时5分\r\n[拒绝]" + source(terminal) + "\r\n[数据]" + kCardQuery + "\r\n");
    {
        std::lock_guard lock(jobs.m_mutex);
        EXPECT_TRUE(jobs.queries.empty());
    }
    EXPECT_EQ(terminals.totals().refused, 3u); // the two frames and the marker
    EXPECT_EQ(terminals.totals().datagrams, 0u);

    // A filter taken away while listening serves the sender from the next datagram on.
    dispatcher.setAddressFilter(std::make_shared<const AddressFilter>(
        std::get<AddressFilter>(AddressFilter::parse("127.0.0.0/8"))));
    send(terminal, "FE01000100057400000000000000");
    EXPECT_EQ(terminal.inbox.next(), "FE010001000181E40C");
}

TEST_F(Dispatching, EveryTerminalIsCountedByKindWithItsLastAnswer) {
    send(terminal, kCardQuery);
    send(terminal, kPayment);
    send(terminal, kPayment);
    send(terminal, kOffline);
    send(terminal, "FE010001000181E40C");
    ASSERT_TRUE(allHandled());
    const auto t = terminals.terminal("127.0.0.1");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->frames, 6u); // with the marker
    EXPECT_EQ(t->queries, 1u);
    EXPECT_EQ(t->payments, 2u);
    EXPECT_EQ(t->offlineRecords, 1u);
    EXPECT_EQ(t->machine, "1");
    EXPECT_EQ(t->port, terminal.port);
    EXPECT_EQ(t->lastAnswer, source(terminal) + "|设置成功");
    EXPECT_GE(t->lastHeard, t->firstHeard);
    EXPECT_EQ(terminals.totals().answers, 1u);
    EXPECT_EQ(terminals.totals().datagrams, 6u);
}

TEST(DispatchingWithoutJobs, CardFramesAreOnlyLogged) {
    RecordingSink sink;
    TerminalTable terminals;
    ResultBox results;
    UdpEndpoint unopened;
    FrameDispatcher dispatcher(unopened, terminals, results, sink);
    dispatcher.dispatchDatagram("10.0.0.5", 3000,
                                hexToBytes("FE01"
                                           "0001"
                                           "000B"
                                           "63"
                                           "00BC614E"
                                           "06"
                                           "0000000000"));
    const auto events = sink.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], "added 10.0.0.5 3000 1 total 1");
    EXPECT_EQ(events[1].rfind("entry ", 0), 0u);
    EXPECT_EQ(results.text(), "");
}

} // namespace
