// vorlanx-db run by the office while vorlanxd serves simulated terminals on the same file: a
// blocked or replaced card is refused from the next frame on, without a restart; reports add up
// to what the terminals were told; a backup taken during payments is a consistent copy. Nothing
// waits on a clock: each step waits for answers, and the backup for the service's own progress.

#include "db/BuiltinDatabase.h"
#include "db/MealPeriods.h"
#include "tests/e2e/Canteen.h"
#include "tests/e2e/ServiceProcess.h"
#include "tools/vorlanx-termsim/Simulator.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using namespace std::chrono_literals;
using namespace vorlanx;
using e2e::Canteen;
using e2e::ServiceProcess;
using tools::RequestKind;
using tools::SimulatorOptions;
using tools::SimulatorReport;

std::string runTool(const std::string& arguments, int& exitCode) {
    const std::string command = std::string(VORLANX_DB_TOOL) + " " + arguments + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string output;
    if (pipe == nullptr)
        return output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        output += buffer;
    const int status = ::pclose(pipe);
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

SimulatorOptions terminals(const ServiceProcess& service, int count) {
    SimulatorOptions o;
    o.servicePort = service.port();
    o.terminals = count;
    o.timeout = 500ms;
    o.attempts = 20;
    o.settle = 5s;
    o.heartbeat = 0ms;
    o.keepLedger = true;
    return o;
}

// One request of one kind with one card, as a terminal sends it.
SimulatorReport once(const ServiceProcess& service, RequestKind kind, std::uint32_t card) {
    SimulatorOptions o = terminals(service, 1);
    o.mix = {0, 0, 0};
    o.mix[static_cast<std::size_t>(kind)] = 1;
    o.count = 1;
    o.cards = {card};
    o.amountMinFen = o.amountMaxFen = 100;
    return tools::Simulator(o).run();
}

std::int64_t secondsSinceEpoch(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&tm));
}

std::string clockTime() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &tm);
    return text;
}

// The rows of a report written with --csv: label -> online count, online yuan, offline count,
// offline yuan (the total row included, as "合计").
using CsvRows = std::map<std::string, std::array<std::string, 4>>;

CsvRows reportRows(const std::string& csv) {
    CsvRows rows;
    std::istringstream lines(csv);
    std::string line;
    std::getline(lines, line); // header
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> cells;
        std::istringstream fields(line);
        std::string cell;
        while (std::getline(fields, cell, ','))
            cells.push_back(cell);
        if (cells.size() == 7)
            rows[cells[0]] = {cells[1], cells[2], cells[3], cells[4]};
    }
    return rows;
}

std::string yuan(std::int64_t fen) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%02lld", static_cast<long long>(fen / 100),
                  static_cast<long long>(fen % 100));
    return text;
}

struct Sums {
    std::int64_t onlineCount = 0;
    std::int64_t onlineFen = 0;
    std::int64_t offlineCount = 0;
    std::int64_t offlineFen = 0;

    std::array<std::string, 4> cells() const {
        return {std::to_string(onlineCount), yuan(onlineFen), std::to_string(offlineCount), yuan(offlineFen)};
    }
};

void add(Sums& sums, const tools::LedgerEntry& e) {
    if (e.kind == RequestKind::OnlinePayment) {
        ++sums.onlineCount;
        sums.onlineFen += e.amountFen;
    } else {
        ++sums.offlineCount;
        sums.offlineFen += e.amountFen;
    }
}

class OfficeTool : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(service.start()) << service.log(); }
    std::string file() const { return canteen.databaseFile().string(); }

    Canteen canteen{200};
    ServiceProcess service{canteen.dir()};
};

TEST_F(OfficeTool, ABlockedCardIsRefusedWithoutARestartAndPaysAgainWhenUnblocked) {
    const std::uint32_t card = 12345678;
    ASSERT_EQ(once(service, RequestKind::CardQuery, card).usable, 1u);

    int exitCode = 0;
    runTool(file() + " block " + std::to_string(card), exitCode);
    ASSERT_EQ(exitCode, 0);
    const SimulatorReport query = once(service, RequestKind::CardQuery, card);
    EXPECT_EQ(query.answered, 1u);
    EXPECT_EQ(query.usable, 0u);
    const SimulatorReport refused = once(service, RequestKind::OnlinePayment, card);
    EXPECT_EQ(refused.answered, 1u);
    EXPECT_EQ(refused.paid, 0u);
    EXPECT_EQ(refused.refused, 1u);

    runTool(file() + " unblock " + std::to_string(card), exitCode);
    ASSERT_EQ(exitCode, 0);
    EXPECT_EQ(once(service, RequestKind::CardQuery, card).usable, 1u);
    EXPECT_EQ(once(service, RequestKind::OnlinePayment, card).paid, 1u);
    ASSERT_EQ(service.stop(), 0) << service.log();
    EXPECT_EQ(canteen.balances().at(card), canteen.initialBalances().at(card) - 100);
}

TEST_F(OfficeTool, AReplacementCardPaysFromTheBalanceAndTheOldCardIsRefused) {
    const std::uint32_t oldCard = 12345679;
    const std::uint32_t newCard = 87654321;
    ASSERT_EQ(once(service, RequestKind::OnlinePayment, oldCard).paid, 1u);
    int exitCode = 0;
    runTool(file() + " replace " + std::to_string(oldCard) + " " + std::to_string(newCard), exitCode);
    ASSERT_EQ(exitCode, 0);
    runTool(file() + " replace " + std::to_string(newCard) + " 12345680", exitCode);
    EXPECT_NE(exitCode, 0) << "a card already in use";

    EXPECT_EQ(once(service, RequestKind::CardQuery, oldCard).usable, 0u);
    EXPECT_EQ(once(service, RequestKind::OnlinePayment, oldCard).refused, 1u);
    EXPECT_EQ(once(service, RequestKind::CardQuery, newCard).usable, 1u);
    EXPECT_EQ(once(service, RequestKind::OnlinePayment, newCard).paid, 1u);
    ASSERT_EQ(service.stop(), 0) << service.log();
    const auto balances = canteen.balances();
    EXPECT_FALSE(balances.contains(oldCard));
    EXPECT_EQ(balances.at(newCard), canteen.initialBalances().at(oldCard) - 200);
}

TEST_F(OfficeTool, AReportAddsUpToTheTerminalsLedgerByMealAndByTerminal) {
    // Offline records from 09:29:55 on, a second apart on each terminal. About 200 of them shared by
    // two terminals give one of them at least 70, whatever the machine's speed: across the end of
    // breakfast (09:30:01), through the gap before lunch, and into lunch (09:31:01).
    SimulatorOptions o = terminals(service, 2);
    o.mix = {0, 1, 1};
    o.count = 400;
    o.cards = canteen.cards();
    o.seed = 11;
    o.recordClockStart = secondsSinceEpoch(2020, 5, 8, 9, 29, 55);
    const db::MealPeriods meals(config::defaultPeriodSettings());
    const std::size_t mealBefore = meals.periodOf(clockTime());
    const SimulatorReport run = tools::Simulator(o).run();
    const std::size_t mealAfter = meals.periodOf(clockTime());
    ASSERT_EQ(run.answered, 400u);
    ASSERT_EQ(run.ledger.size(), run.paid + run.offlineAcknowledged);

    std::map<std::string, Sums> byTerminal;
    std::map<std::string, Sums> byMeal;
    Sums total;
    for (const auto& e : run.ledger) {
        add(byTerminal[std::to_string(e.machine)], e);
        add(total, e);
        // Online payments carry the service's clock; the test knows their meal only when the run
        // stayed within one period.
        if (e.kind == RequestKind::OfflineUpload) {
            const std::string& t = e.recordTime; // yyMMddhhmmss
            add(byMeal[std::string(db::MealPeriods::name(
                    meals.periodOf(t.substr(6, 2) + ":" + t.substr(8, 2) + ":" + t.substr(10, 2))))],
                e);
        } else if (mealBefore == mealAfter) {
            add(byMeal[std::string(db::MealPeriods::name(mealBefore))], e);
        }
    }
    EXPECT_GT(byMeal["早餐"].offlineCount, 0);
    EXPECT_GT(byMeal["其他"].offlineCount, 0);
    EXPECT_GT(byMeal["中餐"].offlineCount, 0);
    ASSERT_GE(run.offlineAcknowledged, 140u);

    int exitCode = 0;
    const CsvRows terminalRows =
        reportRows(runTool(file() + " report --from 2020-05-08 --by terminal --csv", exitCode));
    ASSERT_EQ(exitCode, 0);
    EXPECT_EQ(terminalRows.size(), byTerminal.size() + 1);
    for (const auto& [machine, sums] : byTerminal)
        EXPECT_EQ(terminalRows.at(machine), sums.cells()) << "terminal " << machine;
    EXPECT_EQ(terminalRows.at("合计"), total.cells());

    const CsvRows mealRows = reportRows(runTool(file() + " report --from 2020-05-08 --csv", exitCode));
    ASSERT_EQ(exitCode, 0);
    ASSERT_EQ(mealRows.size(), db::MealPeriods::kGroups + 1);
    EXPECT_EQ(mealRows.at("合计"), total.cells());
    for (std::size_t period = 0; period < db::MealPeriods::kGroups; ++period) {
        const std::string name(db::MealPeriods::name(period));
        const std::array<std::string, 4> expected = byMeal[name].cells();
        if (mealBefore == mealAfter)
            EXPECT_EQ(mealRows.at(name), expected) << name;
        else
            EXPECT_EQ(mealRows.at(name)[2] + " " + mealRows.at(name)[3], expected[2] + " " + expected[3]) << name;
    }
    ASSERT_EQ(service.stop(), 0) << service.log();
}

TEST_F(OfficeTool, ABackupTakenWhileSixteenTerminalsPayHoldsEveryBookingAcknowledgedBefore) {
    SimulatorOptions first = terminals(service, 16);
    first.mix = {0, 1, 1};
    first.count = 320;
    first.cards = canteen.cards();
    first.seed = 21;
    const SimulatorReport before = tools::Simulator(first).run();
    ASSERT_EQ(before.answered, 320u);
    const std::size_t bookedBefore = canteen.records().size();

    // The same sixteen terminals go on paying until the backup is done.
    SimulatorOptions during = first;
    during.count = 0;
    during.durationSeconds = 120;
    during.seed = 22;
    during.firstMachine = 101;
    tools::Simulator paying(during);
    SimulatorReport afterwards;
    std::jthread terminalsPaying([&] { afterwards = paying.run(); });
    const auto giveUp = std::chrono::steady_clock::now() + 60s;
    while (canteen.records().size() < bookedBefore + 50 && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(10ms);
    const std::string copy = (canteen.dir() / "backup.db").string();
    int exitCode = 0;
    const std::string output = runTool(file() + " backup " + copy, exitCode);
    paying.requestStop();
    terminalsPaying.join();
    ASSERT_EQ(exitCode, 0) << output;
    EXPECT_NE(output.find(": intact, 200 card holders, "), std::string::npos) << output;
    EXPECT_GT(afterwards.paid + afterwards.offlineAcknowledged, 0u);
    ASSERT_EQ(service.stop(), 0) << service.log();

    db::BuiltinDatabase backup;
    ASSERT_TRUE(backup.open(copy));
    using Key = std::tuple<std::string, std::string, std::string, std::string, std::string>;
    std::set<Key> offline;
    std::int64_t online = 0;
    auto rows = backup.runQuery("SELECT kind, hr_phyid, machine, rdate, rtime, amount_fen FROM consumption_record");
    std::size_t copied = 0;
    for (; !rows.atEnd(); rows.nextRow()) {
        ++copied;
        if (rows.fieldText(std::size_t{0}) == "online")
            ++online;
        else
            offline.insert({rows.fieldText(std::size_t{1}), rows.fieldText(std::size_t{2}),
                            rows.fieldText(std::size_t{3}), rows.fieldText(std::size_t{4}),
                            rows.fieldText(std::size_t{5})});
    }
    EXPECT_GE(copied, bookedBefore + 50);
    EXPECT_LE(copied, canteen.records().size());
    EXPECT_GE(online, static_cast<std::int64_t>(before.paid));
    for (const auto& e : before.ledger) {
        if (e.kind != RequestKind::OfflineUpload)
            continue;
        const std::string& t = e.recordTime;
        EXPECT_TRUE(offline.contains({std::to_string(e.card), std::to_string(e.machine),
                                      "20" + t.substr(0, 2) + "-" + t.substr(2, 2) + "-" + t.substr(4, 2),
                                      t.substr(6, 2) + ":" + t.substr(8, 2) + ":" + t.substr(10, 2),
                                      std::to_string(e.amountFen)}))
            << "card " << e.card << " record " << e.recordTime;
    }
    // A copy of one moment: every balance in it is the initial one less the bookings in it.
    std::map<std::string, std::int64_t> charged;
    for (auto r = backup.runQuery("SELECT hr_phyid, sum(amount_fen) FROM consumption_record GROUP BY hr_phyid");
         !r.atEnd(); r.nextRow())
        charged[r.fieldText(std::size_t{0})] = std::stoll(r.fieldText(std::size_t{1}));
    for (auto r = backup.runQuery("SELECT hr_phyid, balance_fen FROM card_holder"); !r.atEnd(); r.nextRow()) {
        const std::string card = r.fieldText(std::size_t{0});
        EXPECT_EQ(std::stoll(r.fieldText(std::size_t{1})),
                  canteen.initialBalances().at(static_cast<std::uint32_t>(std::stoul(card))) - charged[card])
            << "card " << card;
    }
}

} // namespace
