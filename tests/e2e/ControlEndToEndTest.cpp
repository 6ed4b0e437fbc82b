// vorlanxctl against vorlanxd on the built-in database, with simulated terminals that answer as
// terminals do: what an engineer on a server sees.

#include "config/IniFile.h"
#include "tests/e2e/Canteen.h"
#include "tests/e2e/ServiceProcess.h"
#include "tests/support/FakeTerminal.h"
#include "tools/vorlanx-termsim/Simulator.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sys/wait.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using namespace vorlanx;
using json = nlohmann::json;

struct CtlRun {
    int exit = -1;
    std::string output;
};

CtlRun vorlanxctl(const std::filesystem::path& dir, const std::string& arguments) {
    const std::string command =
        std::string(VORLANXCTL_PATH) + " --dir '" + dir.string() + "' " + arguments + " 2>&1";
    CtlRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.output.append(buffer, n);
    const int status = ::pclose(pipe);
    run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

class ControlEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.start()) << service.log();
        tools::SimulatorOptions o;
        o.servicePort = service.port();
        o.terminals = kTerminals;
        o.mix = {0, 0, 0};
        o.durationSeconds = 120;
        o.heartbeat = 200ms;
        simulator = std::make_unique<tools::Simulator>(o);
        run = std::jthread([this] { simulator->run(); });
        // Every terminal has been heard once status counts a keep-alive from each.
        for (int i = 0; i < 100; ++i) {
            const auto heard = json::parse(vorlanxctl(canteen.dir(), "--json terminals").output.substr(0), nullptr,
                                           false);
            if (!heard.is_discarded() && heard["terminals"].size() == kTerminals)
                return;
            std::this_thread::sleep_for(100ms);
        }
        FAIL() << "the simulated terminals were not all heard";
    }
    void TearDown() override {
        simulator->requestStop();
        run.join();
    }

    static constexpr std::size_t kTerminals = 20;
    e2e::Canteen canteen{60};
    e2e::ServiceProcess service{canteen.dir()};
    std::unique_ptr<tools::Simulator> simulator;
    std::jthread run;
};

TEST_F(ControlEndToEnd, EveryHeardTerminalAnswersASetClock) {
    const CtlRun clock = vorlanxctl(canteen.dir(), "clock set --heard");
    EXPECT_EQ(clock.exit, 0) << clock.output;
    EXPECT_NE(clock.output.find("answered 20 of 20"), std::string::npos) << clock.output;
    EXPECT_EQ(countOf(clock.output, "|设置成功"), kTerminals);
    EXPECT_NE(service.log().find("[控制][\"clock\",\"set\",\"--heard\"]"), std::string::npos);
}

TEST_F(ControlEndToEnd, ParallelDownloadLeavesEveryTerminalHoldingTheList) {
    const json status = json::parse(vorlanxctl(canteen.dir(), "--json status").output);
    const auto rows = status["status"]["personnelRows"].get<std::size_t>();
    ASSERT_GT(rows, 0u);
    const CtlRun download = vorlanxctl(canteen.dir(), "whitelist download --heard --parallel");
    EXPECT_EQ(download.exit, 0) << download.output;
    EXPECT_NE(download.output.find("sent 0 of "), std::string::npos) << "plain progress lines when piped";

    const CtlRun count = vorlanxctl(canteen.dir(), "whitelist count --heard");
    EXPECT_EQ(count.exit, 0) << count.output;
    EXPECT_EQ(countOf(count.output, "|白名单数：" + std::to_string(rows) + "\n"), kTerminals) << count.output;
}

TEST_F(ControlEndToEnd, TerminalsAreListedWithTheirCountsAndASilentOneIsMarked) {
    // One more terminal, heard once and then no more.
    test::FakeTerminal quiet("127.0.0.1");
    quiet.send(service.port(), "FE01006300057400000000000000");
    ASSERT_TRUE(quiet.inbox.next());
    std::this_thread::sleep_for(2200ms); // times are whole seconds: 2 s apart at least
    const json listed = json::parse(vorlanxctl(canteen.dir(), "--json terminals --silent-after 1").output);
    ASSERT_EQ(listed["terminals"].size(), kTerminals + 1);
    std::size_t silent = 0;
    for (const json& t : listed["terminals"]) {
        EXPECT_GE(t["frames"].get<int>(), 1);
        if (t["silent"].get<bool>()) {
            ++silent;
            EXPECT_EQ(t["machine"], "99");
        }
    }
    EXPECT_EQ(silent, 1u);
    const CtlRun table = vorlanxctl(canteen.dir(), "terminals --silent-after 1");
    EXPECT_EQ(table.exit, 0);
    EXPECT_NE(table.output.find("(silent)"), std::string::npos) << table.output;
}

// JSON carries UTF-8 only: other bytes are refused before the request is made, not by an abort.
TEST(ControlInput, ArgumentsAndTerminalsFilesThatAreNotUtf8AreRefusedByName) {
    e2e::Canteen canteen{1};
    e2e::ServiceProcess service{canteen.dir()};
    ASSERT_TRUE(service.start()) << service.log();
    const CtlRun title = vorlanxctl(canteen.dir(), "title \"$(printf 'A\\377')\" --to 127.0.0.5:3000:1");
    EXPECT_EQ(title.exit, 2) << title.output;
    EXPECT_NE(title.output.find("argument 4 \"A\\xFF\" is not UTF-8"), std::string::npos) << title.output;

    const std::filesystem::path file = canteen.dir() / "terminals.csv";
    std::ofstream(file, std::ios::binary) << "127.0.0.5,3000,1\n127.0.0.\xC0\xAE,3000,2\n";
    const CtlRun rows = vorlanxctl(canteen.dir(), "clock read --terminals '" + file.string() + "'");
    EXPECT_EQ(rows.exit, 2) << rows.output;
    EXPECT_NE(rows.output.find(file.string() + " line 2 is not UTF-8"), std::string::npos) << rows.output;
    EXPECT_EQ(service.stop(), 0);
}

TEST(ControlUnreachable, SaysWhereItLooked) {
    const CtlRun run = vorlanxctl("/nonexistent/vorlanx", "status");
    EXPECT_EQ(run.exit, 1);
    EXPECT_NE(run.output.find("/nonexistent/vorlanx/vorlanxd.sock"), std::string::npos) << run.output;
}

} // namespace

namespace {

TEST(AllowList, OnlyListedSendersAreServed) {
    e2e::Canteen canteen{5};
    // The service's own probe sends from 127.0.0.2.
    ASSERT_TRUE(config::IniFile(canteen.dir() / "conf.ini").writeValue("terminals", "allow", "127.0.0.2, 10.0.0.0/8"));
    e2e::ServiceProcess service{canteen.dir()};
    ASSERT_TRUE(service.start()) << service.log();

    test::FakeTerminal outsider("127.0.0.1");
    outsider.send(service.port(), "FE010001000D6300BC614E00000000FAABCD"); // 2.50 on card 12345678
    outsider.send(service.port(), "FE01000100057400000000000000");
    EXPECT_FALSE(outsider.inbox.next(1s)) << "no answer of any kind";
    EXPECT_EQ(canteen.balances(), canteen.initialBalances());
    EXPECT_TRUE(canteen.records().empty());
    EXPECT_NE(service.log().find("[拒绝]127.0.0.1:" + std::to_string(outsider.port)), std::string::npos);
    EXPECT_EQ(service.stop(), 0);
}

TEST(AllowList, BadItemStopsTheServiceAndIsNamed) {
    e2e::Canteen canteen{1};
    ASSERT_TRUE(config::IniFile(canteen.dir() / "conf.ini").writeValue("terminals", "allow", "127.0.0.2,10.0.0.0/40"));
    const std::string command = std::string(VORLANXD_PATH) + " --port " + std::to_string(e2e::freeUdpPort()) +
                                " --dir '" + canteen.dir().string() + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_TRUE(pipe);
    std::string output;
    char buffer[1024];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    const int status = ::pclose(pipe);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(output.find("\"10.0.0.0/40\""), std::string::npos) << output;
}

} // namespace
