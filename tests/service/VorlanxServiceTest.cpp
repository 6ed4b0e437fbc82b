// The administration commands through the running service: frames leave from the listening
// port to real loopback sockets, with the pacing terminals expect, and the values the operator
// entered are saved afterwards.

#include "service/VorlanxService.h"

#include "config/IniFile.h"
#include "config/PeriodSettings.h"
#include "link/FrameBuilders.h"
#include "link/Gbk.h"
#include "link/HexText.h"
#include "tests/config/SettingsTestDir.h"
#include "tests/support/FakeTerminal.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

using namespace std::chrono_literals;
using namespace vorlanx;
using Clock = std::chrono::steady_clock;

// A terminal that notes when each frame arrived.
class TimedTerminal {
public:
    TimedTerminal() {
        m_socket.open([this](const std::string&, std::uint16_t, std::span<const std::uint8_t> data) {
            std::lock_guard lock(m_mutex);
            m_frames.push_back({link::bytesToHex(data), Clock::now()});
            m_cv.notify_all();
        });
        m_socket.bindPort("127.0.0.1", 0);
    }

    struct Arrival {
        std::string frame;
        Clock::time_point at;
    };

    admin::TargetText row(const std::string& machine) const {
        return {"127.0.0.1", std::to_string(m_socket.localPort()), machine};
    }

    std::vector<Arrival> waitFor(std::size_t count, std::chrono::milliseconds limit = 5s) {
        std::unique_lock lock(m_mutex);
        m_cv.wait_for(lock, limit, [&] { return m_frames.size() >= count; });
        return m_frames;
    }

private:
    link::UdpEndpoint m_socket;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<Arrival> m_frames;
};

class Commands : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(service.startListening(test::freeUdpPort()).listening); }

    admin::CommandRequest request(admin::CommandKind kind, admin::Shape shape) const {
        admin::CommandRequest r;
        r.kind = kind;
        r.shape = shape;
        r.periods = {{{false, "05:00:01", "09:30:01"},
                      {false, "09:31:01", "14:00:01"},
                      {false, "14:01:01", "19:00:01"},
                      {false, "19:01:01", "23:59:59"}}};
        r.amounts = {{{false, "100"}, {false, "200"}, {false, "300"}, {false, "400"}}};
        return r;
    }

    test::SettingsTestDir dir{"vorlanx-commands"};
    service::VorlanxService service{{dir.path(), [] { return false; }}};
};

TEST_F(Commands, AllTerminalCommandPacesTheListInOrder) {
    std::vector<TimedTerminal> terminals(3);
    auto r = request(admin::CommandKind::ReadCount, admin::Shape::All);
    for (std::size_t i = 0; i < terminals.size(); ++i)
        r.terminalList.push_back(terminals[i].row(std::to_string(i + 1)));

    const auto started = Clock::now();
    const auto shown = service.runCommand(r);
    ASSERT_TRUE(shown.plan);
    EXPECT_EQ(shown.caption, "读白名单");
    EXPECT_TRUE(shown.clearResults);
    ASSERT_TRUE(service.waitCommandIdle(10s));
    EXPECT_GE(Clock::now() - started, 300ms);

    // Row i cannot arrive before it was sent, i pauses after the start. Each terminal notes its
    // arrival on its own receive worker, which a loaded machine may wake late, so the gap between
    // two arrivals proves nothing; the time since the start does.
    for (std::size_t i = 0; i < terminals.size(); ++i) {
        const auto got = terminals[i].waitFor(1);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].frame, link::readCountFrame(std::to_string(i + 1)));
        EXPECT_GE(got[0].at - started, static_cast<int>(i) * 100ms) << "row " << i;
    }
}

TEST_F(Commands, AmountRunWithNothingTickedStillPausesThenSaves) {
    TimedTerminal terminal;
    auto r = request(admin::CommandKind::Amounts, admin::Shape::All);
    r.terminalList.push_back(terminal.row("1"));
    r.amounts[2].fen = "750";

    const auto started = Clock::now();
    const auto shown = service.runCommand(r);
    ASSERT_TRUE(shown.plan);
    EXPECT_TRUE(service.commandRunning());
    ASSERT_TRUE(service.waitCommandIdle(10s));
    EXPECT_GE(Clock::now() - started, 900ms);
    EXPECT_TRUE(terminal.waitFor(1, 200ms).empty());
    EXPECT_EQ(config::loadPeriodSettings(dir.path()).amounts[2], "750");
}

TEST_F(Commands, EmptyListAndTitleMessages) {
    auto clock = request(admin::CommandKind::Clock, admin::Shape::All);
    clock.clock = admin::ClockDirection::Set;
    const auto clockShown = service.runCommand(clock);
    EXPECT_EQ(clockShown.message, "请先添加设备");
    EXPECT_FALSE(clockShown.caption) << "the clock command looks at the list first";
    EXPECT_FALSE(clockShown.plan);

    auto title = request(admin::CommandKind::Title, admin::Shape::All);
    title.titleUtf8 = "欢迎使用IC消费机";
    EXPECT_EQ(service.runCommand(title).message, "请添加设备");
    // The length is looked at before the list.
    title.titleUtf8 = "0123456789";
    const auto tooLong = service.runCommand(title);
    EXPECT_EQ(tooLong.message, "最多只能输入8个字");
    EXPECT_EQ(tooLong.caption, "设置设备标题");

    auto periods = request(admin::CommandKind::Periods, admin::Shape::All);
    EXPECT_EQ(service.runCommand(periods).message, "请先添加设备");
    EXPECT_FALSE(std::filesystem::exists(dir.confIni())) << "an empty list saves nothing";
}

TEST_F(Commands, NineChineseCharactersGoOut) {
    TimedTerminal terminal;
    auto title = request(admin::CommandKind::Title, admin::Shape::Single);
    title.sendFields = terminal.row("1");
    title.titleUtf8 = "一二三四五六七八九";
    ASSERT_TRUE(service.runCommand(title).plan);
    const auto got = terminal.waitFor(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].frame, link::titleFrame("1", link::toGbk(title.titleUtf8)));
}

TEST_F(Commands, BadInputIsNamedAndNothingIsSent) {
    TimedTerminal terminal;
    auto r = request(admin::CommandKind::DeleteWhitelist, admin::Shape::All);
    r.terminalList = {terminal.row("1"), terminal.row("2")};
    r.terminalList[1].port = "70000";
    const auto shown = service.runCommand(r);
    EXPECT_EQ(shown.message, "设备列表第2行的端口不正确（1-65535）：70000");
    EXPECT_FALSE(shown.plan);
    EXPECT_FALSE(shown.clearResults) << "a refused value changes nothing";

    auto amounts = request(admin::CommandKind::Amounts, admin::Shape::Single);
    amounts.sendFields = terminal.row("1");
    amounts.amounts[0] = {true, "12.5"};
    EXPECT_EQ(service.runCommand(amounts).message, "早餐金额不正确（应为0-4294967295的整数）：12.5");

    auto mode = request(admin::CommandKind::Mode, admin::Shape::Single);
    mode.sendFields = terminal.row("1");
    EXPECT_EQ(service.runCommand(mode).message, "请选择消费模式");
    EXPECT_TRUE(terminal.waitFor(1, 300ms).empty());

    // An empty machine number addresses machine 0.
    auto list = request(admin::CommandKind::ListMode, admin::Shape::Single);
    list.sendFields = terminal.row("");
    list.list = link::CardList::Black;
    ASSERT_TRUE(service.runCommand(list).plan);
    const auto got = terminal.waitFor(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].frame.substr(0, 8), "FE010000");
    EXPECT_EQ(got[0].frame, link::listModeFrame("0", link::CardList::Black));
}

TEST_F(Commands, StopListeningEndsTheCommandAfterItsFrameAndStillSaves) {
    TimedTerminal terminal;
    auto r = request(admin::CommandKind::Periods, admin::Shape::All);
    for (int i = 0; i < 20; ++i)
        r.terminalList.push_back(terminal.row("1"));
    r.periods[0].ticked = true;
    r.periods[1] = {true, "10:00:00", "13:30:00"};
    ASSERT_TRUE(service.runCommand(r).plan);
    ASSERT_EQ(terminal.waitFor(1).size(), 1u);
    EXPECT_FALSE(service.runCommand(r).plan) << "one command at a time";

    EXPECT_EQ(service.stopListening(), "端口已关闭");
    ASSERT_TRUE(service.waitCommandIdle(2s)) << "the pause wakes at once";
    EXPECT_LT(terminal.waitFor(40, 300ms).size(), 40u);
    EXPECT_EQ(config::loadPeriodSettings(dir.path()).times[1], (config::PeriodTime{"10:00:00", "13:30:00"}));
}

} // namespace
