// The white-list download through the running service: personnel rows loaded from the built-in
// database, frames from the listening port, and terminals that store the blocks they receive.

#include "service/VorlanxService.h"

#include "config/IniFile.h"
#include "db/BuiltinDatabaseAdmin.h"
#include "link/HexText.h"
#include "tests/config/SettingsTestDir.h"
#include "tests/support/FakeTerminal.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>

namespace {

using namespace std::chrono_literals;
using namespace vorlanx;

// A terminal that keeps the white list the service downloads to it, in the order it came.
class StoringTerminal {
public:
    explicit StoringTerminal(const std::string& address) : m_address(address) {
        m_socket.open([this](const std::string&, std::uint16_t, std::span<const std::uint8_t> data) {
            const std::string frame = link::bytesToHex(data);
            if (frame.size() < 18 || frame.substr(12, 2) != "31")
                return;
            std::lock_guard lock(m_mutex);
            ++m_frames;
            const std::size_t count = link::hexToUInt64(frame.substr(14, 2));
            for (std::size_t i = 0; i < count && 16 + 8 * (i + 1) <= frame.size() - 4; ++i)
                m_cards.push_back(std::to_string(link::hexToUInt64(frame.substr(16 + 8 * i, 8))));
        });
        m_socket.bindPort(address, 0);
    }
    admin::TargetText row(const std::string& machine) const {
        return {m_address, std::to_string(m_socket.localPort()), machine};
    }
    std::vector<std::string> cards() {
        std::lock_guard lock(m_mutex);
        return m_cards;
    }
    std::size_t frames() {
        std::lock_guard lock(m_mutex);
        return m_frames;
    }

private:
    std::string m_address;
    link::UdpEndpoint m_socket;
    std::mutex m_mutex;
    std::vector<std::string> m_cards;
    std::size_t m_frames = 0;
};

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

    void download(std::vector<std::unique_ptr<StoringTerminal>>& terminals, bool parallel) {
        admin::CommandRequest r;
        r.kind = admin::CommandKind::WhitelistDownload;
        r.shape = admin::Shape::All;
        r.parallelDownload = parallel;
        for (std::size_t i = 0; i < terminals.size(); ++i)
            r.terminalList.push_back(terminals[i]->row(std::to_string(i + 1)));
        ASSERT_TRUE(service->runCommand(r).runs());
        ASSERT_TRUE(service->waitCommandIdle(30s));
    }

    test::SettingsTestDir dir{"vorlanx-download"};
    std::unique_ptr<service::VorlanxService> service;
    std::vector<std::string> expected;
};

TEST_F(Download, RunLeavesEveryTerminalHoldingThePersonnelList) {
    std::vector<std::unique_ptr<StoringTerminal>> terminals;
    for (int i = 0; i < 3; ++i)
        terminals.push_back(std::make_unique<StoringTerminal>("127.0.0." + std::to_string(i + 2)));
    download(terminals, false);
    for (auto& t : terminals) {
        // Every frame is followed by its pause: the last one has arrived when the command ends.
        EXPECT_EQ(t->cards(), expected);
        EXPECT_EQ(t->frames(), expected.size() / 50 + 1);
    }
}

TEST_F(Download, ParallelRunToFiftyTerminalsLeavesEachHoldingThePersonnelList) {
    std::vector<std::unique_ptr<StoringTerminal>> terminals;
    for (int i = 0; i < 50; ++i)
        terminals.push_back(std::make_unique<StoringTerminal>("127.0.1." + std::to_string(i + 2)));
    download(terminals, true);
    for (auto& t : terminals)
        EXPECT_EQ(t->cards(), expected);
}

} // namespace
