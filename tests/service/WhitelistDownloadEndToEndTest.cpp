// The white-list download through the running service: personnel rows loaded from the built-in
// database, frames from the listening port, and terminals that store the blocks they receive.

#include "service/VorlanxService.h"

#include "config/IniFile.h"
#include "db/BuiltinDatabaseAdmin.h"
#include "link/HexText.h"
#include "tests/config/SettingsTestDir.h"
#include "tests/support/FakeTerminal.h"
#include "tools/vorlanx-termsim/WhitelistTerminal.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace {

using namespace std::chrono_literals;
using namespace vorlanx;

using tools::WhitelistTerminal;

admin::TargetText rowOf(const WhitelistTerminal& terminal, std::size_t index) {
    return {terminal.address(), std::to_string(terminal.port()), std::to_string(index + 1)};
}

class Download : public ::testing::Test {
protected:
    void SetUp() override {
        {
            db::BuiltinDatabaseAdmin admin;
            ASSERT_TRUE(admin.open((dir.path() / "canteen.db").string()));
            ASSERT_TRUE(admin.addDemoHolders(130).has_value());
            const config::IniFile conf(dir.confIni());
            ASSERT_TRUE(conf.writeValue("sername", "type", "2") && conf.writeValue("mssql", "名称", "canteen"));
        }
        service = std::make_unique<service::VorlanxService>(service::VorlanxService::Options{dir.path(), {}});
        service->startUp("");
        ASSERT_TRUE(service->waitDatabaseIdle(10s));
        ASSERT_TRUE(service->personnel().waitIdle(10s));
        expected = service->personnelCards();
        ASSERT_GT(expected.size(), 100u);
        ASSERT_TRUE(service->startListening(test::freeUdpPort()).listening);
    }

    void download(std::vector<std::unique_ptr<WhitelistTerminal>>& terminals, bool parallel) {
        admin::CommandRequest r;
        r.kind = admin::CommandKind::WhitelistDownload;
        r.shape = admin::Shape::All;
        r.parallelDownload = parallel;
        for (std::size_t i = 0; i < terminals.size(); ++i)
            r.terminalList.push_back(rowOf(*terminals[i], i));
        ASSERT_TRUE(service->runCommand(r).runs());
        ASSERT_TRUE(service->waitCommandIdle(30s));
    }

    test::SettingsTestDir dir{"vorlanx-download"};
    std::unique_ptr<service::VorlanxService> service;
    std::vector<std::string> expected;
};

TEST_F(Download, RunLeavesEveryTerminalHoldingThePersonnelList) {
    std::vector<std::unique_ptr<WhitelistTerminal>> terminals;
    for (int i = 0; i < 3; ++i)
        terminals.push_back(std::make_unique<WhitelistTerminal>("127.0.0." + std::to_string(i + 2)));
    download(terminals, false);
    for (auto& t : terminals) {
        // Every frame is followed by its pause: the last one has arrived when the command ends.
        EXPECT_EQ(t->cards(), expected);
        EXPECT_EQ(t->frameTimes().size(), expected.size() / 50 + 1);
    }
}

TEST_F(Download, ParallelRunToFiftyTerminalsLeavesEachHoldingThePersonnelList) {
    std::vector<std::unique_ptr<WhitelistTerminal>> terminals;
    for (int i = 0; i < 50; ++i)
        terminals.push_back(std::make_unique<WhitelistTerminal>("127.0.1." + std::to_string(i + 2)));
    download(terminals, true);
    for (auto& t : terminals)
        EXPECT_EQ(t->cards(), expected);
}

} // namespace
