// What a window does, decided by the presenter and seen through a view without a toolkit: the
// order of reports, a message box among them, the personnel list after a failed load, and a stop
// while a command runs.

#include "tests/present/PresenterFixture.h"
#include "tests/support/FakeTerminal.h"
#include "txn/TransactionTexts.h"

#include <algorithm>
#include <thread>

namespace {

using namespace std::chrono_literals;
using vorlanx::test::PresenterFixture;

using PresenterTest = PresenterFixture;

TEST_F(PresenterTest, ReportsFromWorkersReachTheWindowInOrderWithTheLogBatched) {
    openWindow();
    events.clear();
    std::thread worker([&] {
        m_presenter->clientEntry("a;");
        m_presenter->clientEntry("b;");
        m_presenter->terminalAdded("127.0.0.5", "3000", "5", "1");
        m_presenter->clientEntry("c;");
    });
    worker.join();
    ASSERT_TRUE(pumpUntil([&] { return log == "a;b;c;"; }));
    EXPECT_EQ(events, (std::vector<std::string>{"log a;b;", "online 127.0.0.5", "log c;"}));
    EXPECT_EQ(panels[vorlanx::ui::kTotalPanel], "1");
}

// The outcome of a save opens its box once the reports of its batch are in, and entries that
// arrive while the box is open still reach the log.
TEST_F(PresenterTest, ABoxOpensAfterTheDrainAndTheLogGoesOnWhileItIsOpen) {
    openWindow();
    std::string logAtOpen;
    bool seenWhileOpen = false;
    whileBoxOpen = [&] {
        logAtOpen = log;
        std::thread datagram([&] { m_presenter->clientEntry("during;"); });
        datagram.join();
        // The box's own message loop.
        seenWhileOpen = pumpUntil([&] { return log.find("during;") != std::string::npos; });
    };
    m_presenter->clientEntry("before;");
    m_presenter->databaseSaveFinished(std::string("A连接失败"), false);
    m_presenter->clientEntry("after;");
    ASSERT_TRUE(pumpUntil([&] { return !messages.empty(); }));
    EXPECT_EQ(messages, std::vector<std::string>{"A连接失败"});
    EXPECT_EQ(logAtOpen, "before;after;") << "the box opened inside the drain";
    EXPECT_TRUE(seenWhileOpen) << "the log stood still while the box was open";
    EXPECT_TRUE(saveEnabled);
}

// A load overtaken by a refresh that then fails has left part of its rows in the list: the
// window goes back to the rows in force, the ones a download sends.
TEST_F(PresenterTest, AFailedRefreshLeavesTheWindowShowingTheRowsInForce) {
    openWindow();
    m_presenter->personnelListCleared();
    m_presenter->personnelRowAdded({"0009", "半途", "食堂", "9009"}, "1");
    ASSERT_TRUE(pumpUntil([&] { return personnel.size() == 1; }));
    // No database: the refresh fails.
    m_presenter->refreshPersonnel("");
    ASSERT_TRUE(
        pumpUntil([&] { return panels[vorlanx::ui::kOperationPanel] == vorlanx::txn::kPersonnelLoadFailedText; }));
    EXPECT_EQ(personnel, rowsInForce());
    EXPECT_EQ(whitelistCount, std::to_string(rowsInForce().size()));
}

TEST_F(PresenterTest, StoppingWhileACommandRunsEndsBothAndFreesTheButtons) {
    vorlanx::test::FakeTerminal terminal;
    ASSERT_TRUE(terminal.ready);
    openWindow();
    const std::uint16_t port = vorlanx::test::freeUdpPort();
    m_presenter->startListening(" " + std::to_string(port) + " ");
    ASSERT_TRUE(m_service->listening()) << panels[vorlanx::ui::kOperationPanel];
    EXPECT_FALSE(portEnabled || startEnabled);
    EXPECT_TRUE(stopEnabled);

    // Every meal's amount to many terminals, with the pauses of 操作全部: seconds of frames.
    vorlanx::admin::CommandRequest request;
    request.kind = vorlanx::admin::CommandKind::Amounts;
    request.shape = vorlanx::admin::Shape::All;
    for (auto& amount : request.amounts)
        amount = {true, "100"};
    for (int i = 0; i < 40; ++i)
        request.terminalList.push_back({"127.0.0.1", std::to_string(terminal.port), "1"});
    m_presenter->runCommand(request);
    ASSERT_TRUE(m_presenter->commandRunning());
    EXPECT_FALSE(commandsEnabled);
    m_presenter->runCommand(request); // refused while one runs
    ASSERT_TRUE(m_service->commandRunning());

    m_presenter->stopListening();
    m_presenter->stopListening(); // a second click while the stop drains
    ASSERT_TRUE(pumpUntil([&] { return commandsEnabled && startEnabled; }));
    EXPECT_FALSE(m_presenter->commandRunning());
    EXPECT_FALSE(m_presenter->stopping());
    EXPECT_FALSE(m_service->listening());
    EXPECT_TRUE(portEnabled);
    EXPECT_FALSE(stopEnabled);
    EXPECT_EQ(panels[vorlanx::ui::kOperationPanel], "端口已关闭");

    // A close while listening waits for the port to close, then closes the window once.
    m_presenter->startListening(std::to_string(port));
    ASSERT_TRUE(m_service->listening());
    EXPECT_FALSE(m_presenter->closeRequested());
    ASSERT_TRUE(pumpUntil([&] { return closes == 1; }));
    EXPECT_FALSE(m_service->listening());
    EXPECT_TRUE(m_presenter->closeRequested());
}

// A save that connected restarts the service once its box is answered; a restart that fails leaves
// the window open, with its port closed by the stop before, and says what to do.
TEST_F(PresenterTest, AFailedRestartAfterASaveLeavesTheWindowOpen) {
    openWindow();
    const std::uint16_t port = vorlanx::test::freeUdpPort();
    m_presenter->startListening(std::to_string(port));
    ASSERT_TRUE(m_service->listening());
    m_presenter->databaseSaveFinished(std::string("A连接成功"), true);
    ASSERT_TRUE(pumpUntil([&] { return messages.size() == 2; }));
    EXPECT_EQ(messages, (std::vector<std::string>{"A连接成功", "重启失败，请手动重新启动程序"}));
    EXPECT_FALSE(m_service->listening());
    EXPECT_TRUE(startEnabled && portEnabled);
    EXPECT_FALSE(stopEnabled);
    EXPECT_EQ(closes, 0);
}

} // namespace
