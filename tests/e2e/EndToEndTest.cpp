// vorlanxd on the built-in database against simulated terminals: what the terminals saw
// acknowledged is exactly what the database booked, however often they resent and whatever
// hostile datagrams came in between. Nothing here depends on the machine's speed: a slow
// service only means more resends, and the checks hold for any number of them.

#include "tests/e2e/Canteen.h"
#include "tests/e2e/ServiceProcess.h"
#include "tools/vorlanx-termsim/Simulator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <numeric>
#include <set>
#include <string>
#include <tuple>

namespace {

using namespace std::chrono_literals;
using namespace vorlanx;
using e2e::BookedRecord;
using e2e::Canteen;
using e2e::ServiceProcess;
using tools::RequestKind;
using tools::SimulatorOptions;
using tools::SimulatorReport;

SimulatorOptions fleet(const ServiceProcess& service, const Canteen& canteen) {
    SimulatorOptions o;
    o.servicePort = service.port();
    o.terminals = 8;
    o.cards = canteen.cards();
    o.timeout = 500ms;
    o.attempts = 20;
    // A reply slower than the time-out is waited for, never taken for the next request's.
    o.settle = 5s;
    o.heartbeat = 200ms;
    o.keepLedger = true;
    o.seed = 7;
    return o;
}

std::int64_t totalCharged(const Canteen& canteen) {
    std::int64_t charged = 0;
    const auto now = canteen.balances();
    for (const auto& [card, before] : canteen.initialBalances())
        charged += before - now.at(card);
    return charged;
}

// The offline records' identity: a terminal's record is one booking however often it comes.
using RecordKey = std::tuple<std::uint32_t, std::uint16_t, std::string, std::string, std::int64_t>;

RecordKey keyOf(const tools::LedgerEntry& e) {
    const std::string& t = e.recordTime; // yyMMddhhmmss
    return {e.card, e.machine, "20" + t.substr(0, 2) + "-" + t.substr(2, 2) + "-" + t.substr(4, 2),
            t.substr(6, 2) + ":" + t.substr(8, 2) + ":" + t.substr(10, 2), e.amountFen};
}

RecordKey keyOf(const BookedRecord& r) {
    return {r.card, r.machine, r.rdate, r.rtime, r.amountFen};
}

void expectEveryAcknowledgedRecordBookedOnce(const SimulatorReport& report, const std::vector<BookedRecord>& records) {
    std::map<RecordKey, int> booked;
    for (const BookedRecord& r : records) {
        if (r.kind == "offline")
            ++booked[keyOf(r)];
    }
    std::size_t acknowledged = 0;
    for (const auto& e : report.ledger) {
        if (e.kind != RequestKind::OfflineUpload)
            continue;
        ++acknowledged;
        EXPECT_EQ(booked[keyOf(e)], 1) << "card " << e.card << " record " << e.recordTime;
    }
    EXPECT_EQ(booked.size(), acknowledged);
    for (const auto& [key, times] : booked)
        EXPECT_EQ(times, 1);
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(service.start()) << service.log(); }

    Canteen canteen{200};
    ServiceProcess service{canteen.dir()};
};

TEST_F(EndToEnd, MixedRunWithResendsReconcilesEveryBalance) {
    SimulatorOptions o = fleet(service, canteen);
    o.mix = {1, 2, 2};
    o.count = 400;
    // Replies lost on the way back make the terminals resend, whatever the machine's speed.
    o.dropReplies = 0.15;
    const SimulatorReport report = tools::Simulator(o).run();
    ASSERT_EQ(service.stop(), 0) << service.log();

    ASSERT_TRUE(report.error.empty()) << report.error;
    EXPECT_EQ(report.sent, 400u);
    EXPECT_EQ(report.answered, 400u);
    EXPECT_EQ(report.lost, 0u);
    EXPECT_EQ(report.malformed, 0u);
    EXPECT_EQ(report.unexpected, 0u);
    EXPECT_GT(report.dropped, 0u);
    EXPECT_GE(report.resent, report.dropped);
    EXPECT_GT(report.heartbeatsAnswered, 0u);
    EXPECT_GT(report.paid, 0u);
    EXPECT_GT(report.offlineAcknowledged, 0u);

    // A payment has no identity of its own in its frame: every "paid" reply is one booking, also
    // the reply a terminal lost before it resent. An offline record books once.
    const auto records = canteen.records();
    std::int64_t onlineFen = 0;
    std::size_t online = 0;
    for (const BookedRecord& r : records) {
        if (r.kind == "online") {
            ++online;
            onlineFen += r.amountFen;
        }
    }
    EXPECT_EQ(online, report.paid + report.droppedPaid);
    EXPECT_EQ(static_cast<std::uint64_t>(onlineFen), report.paidFen + report.droppedPaidFen);
    expectEveryAcknowledgedRecordBookedOnce(report, records);
    EXPECT_EQ(static_cast<std::uint64_t>(totalCharged(canteen)),
              report.paidFen + report.droppedPaidFen + report.offlineFen);
}

TEST_F(EndToEnd, ResentOfflineRecordsAreBookedOnce) {
    SimulatorOptions o = fleet(service, canteen);
    o.mix = {0, 0, 1};
    o.count = 80;
    o.terminals = 16;
    o.dropReplies = 0.5;
    const SimulatorReport report = tools::Simulator(o).run();
    ASSERT_EQ(service.stop(), 0) << service.log();

    EXPECT_EQ(report.offlineAcknowledged, 80u);
    EXPECT_EQ(report.lost, 0u);
    EXPECT_GT(report.resent, 20u);
    const auto records = canteen.records();
    EXPECT_EQ(records.size(), 80u);
    expectEveryAcknowledgedRecordBookedOnce(report, records);
    EXPECT_EQ(static_cast<std::uint64_t>(totalCharged(canteen)), report.offlineFen);
}

TEST_F(EndToEnd, HostileDatagramsChangeNothing) {
    // Card queries with more garbage than requests: no booking, no balance moves, no reply to
    // any of the garbage.
    SimulatorOptions o = fleet(service, canteen);
    o.mix = {1, 0, 0};
    o.count = 200;
    o.garbage = 0.7;
    const SimulatorReport queries = tools::Simulator(o).run();
    EXPECT_GT(queries.garbage, 200u);
    EXPECT_EQ(queries.answered, 200u);
    EXPECT_EQ(queries.malformed + queries.unexpected, 0u);
    EXPECT_TRUE(canteen.records().empty());
    EXPECT_EQ(canteen.balances(), canteen.initialBalances());

    // Then payments and uploads among the garbage: every card moves by exactly what its
    // terminals were told.
    o.mix = {1, 1, 1};
    o.count = 300;
    o.garbage = 0.3;
    o.seed = 8;
    o.firstMachine = 100;
    const SimulatorReport mixed = tools::Simulator(o).run();
    EXPECT_TRUE(service.answers());
    ASSERT_EQ(service.stop(), 0) << service.log();

    EXPECT_EQ(mixed.answered, 300u);
    EXPECT_EQ(mixed.malformed + mixed.unexpected, 0u);
    std::map<std::uint32_t, std::int64_t> told;
    for (const auto& e : mixed.ledger)
        told[e.card] += e.amountFen;
    const auto now = canteen.balances();
    for (const auto& [card, before] : canteen.initialBalances())
        EXPECT_EQ(before - now.at(card), told[card]) << "card " << card;
    EXPECT_EQ(canteen.records().size(), mixed.ledger.size());
}

TEST_F(EndToEnd, SimulatorProgramReportsAsJson) {
    const std::string command = std::string(VORLANX_TERMSIM_PATH) +
                                " --service 127.0.0.1:" + std::to_string(service.port()) +
                                " --terminals 2 --count 20 --mix 1:1:0 --card-range 12345678-12345699 --json";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char chunk[512];
    while (std::fgets(chunk, sizeof chunk, pipe))
        out += chunk;
    EXPECT_EQ(pclose(pipe), 0) << out;
    ASSERT_EQ(service.stop(), 0);

    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.front(), '{');
    EXPECT_NE(out.find("\"sent\": 20,"), std::string::npos) << out;
    EXPECT_NE(out.find("\"answered\": 20,"), std::string::npos) << out;
    EXPECT_NE(out.find("\"lost\": 0,"), std::string::npos) << out;
    for (const char* key : {"\"resent\": ", "\"malformed\": ", "\"rate\": ", "\"p50_us\": ", "\"p99_us\": "})
        EXPECT_NE(out.find(key), std::string::npos) << key;
}

} // namespace
