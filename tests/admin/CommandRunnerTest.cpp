#include "admin/CommandRunner.h"

#include "link/FrameBuilders.h"
#include "tests/support/FakeTerminal.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

using namespace std::chrono_literals;
using namespace vorlanx;

TEST(CommandRunner, SetClockFrameCarriesTheTimeItLeavesAt) {
    test::FakeTerminal terminal;
    ASSERT_TRUE(terminal.ready);
    link::UdpEndpoint sender;
    ASSERT_TRUE(sender.open({}) && sender.bindPort("127.0.0.1", 0));
    int built = 0;
    admin::CommandRunner runner(sender, [&] { return ++built == 1 ? "2026120701235928" : "2026120801000000"; });

    admin::CommandPlan plan;
    plan.steps.push_back({admin::PlanStep::Kind::ClockFrame, {"127.0.0.1", terminal.port, "1"}, {}, 0ms});
    plan.steps.push_back({admin::PlanStep::Kind::ClockFrame, {"127.0.0.1", terminal.port, "2"}, {}, 0ms});
    std::atomic<int> done{0};
    ASSERT_TRUE(runner.start(plan, [&](bool completed) { done = completed ? 1 : 2; }));
    ASSERT_TRUE(runner.waitIdle(5s));
    EXPECT_EQ(done, 1);
    EXPECT_EQ(terminal.inbox.next(), "FE01000100093020261207012359284316");
    EXPECT_EQ(terminal.inbox.next(), link::setClockFrame("2", "2026120801000000"));
}

TEST(CommandRunner, StopEndsAfterTheCurrentFrameAndReportsIt) {
    test::FakeTerminal terminal;
    link::UdpEndpoint sender;
    ASSERT_TRUE(sender.open({}) && sender.bindPort("127.0.0.1", 0));
    admin::CommandRunner runner(sender);
    admin::CommandPlan plan;
    for (int i = 0; i < 5; ++i)
        plan.steps.push_back({admin::PlanStep::Kind::Frame, {"127.0.0.1", terminal.port, "1"},
                              link::readCountFrame("1"), 10s});
    std::atomic<int> done{0};
    ASSERT_TRUE(runner.start(plan, [&](bool completed) { done = completed ? 1 : 2; }));
    ASSERT_TRUE(terminal.inbox.next());
    EXPECT_TRUE(runner.busy());
    EXPECT_FALSE(runner.start(plan, {})) << "a second command waits for the first";
    runner.stop();
    ASSERT_TRUE(runner.waitIdle(2s));
    EXPECT_EQ(done, 2);
    EXPECT_FALSE(terminal.inbox.next(200ms));
    // The runner takes the next command afterwards.
    plan.steps.resize(1);
    plan.steps[0].pauseAfter = 0ms;
    ASSERT_TRUE(runner.start(plan, {}));
    EXPECT_TRUE(terminal.inbox.next());
}

} // namespace
