// The queue that brings the service's reports to a window's UI thread: order, batching, the wake
// the window is asked for, and message boxes that never hold the reports back. The test's own
// thread plays the UI thread.

#include "present/ReportQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using vorlanx::present::ReportQueue;

TEST(ReportQueue, ReportsArriveInOrderWithLogTextsJoinedBetweenOtherReports) {
    int wakes = 0;
    ReportQueue queue([&] { ++wakes; });
    std::vector<std::string> applied;
    queue.setLogSink([&](const std::string& text) { applied.push_back("log " + text); });
    queue.postLog("a");
    queue.postLog("b");
    queue.post([&] { applied.push_back("action"); });
    queue.postLog("c");
    EXPECT_EQ(wakes, 1) << "one wake serves every report until the drain";
    EXPECT_TRUE(queue.drain());
    EXPECT_EQ(applied, (std::vector<std::string>{"log ab", "action", "log c"}));
    EXPECT_FALSE(queue.drain());
    queue.postLog("d");
    EXPECT_EQ(wakes, 2) << "the first report after a drain wakes again";

    // A flood from a worker: every entry arrives whole and in order, a batch at a time.
    constexpr int kEntries = 5000;
    applied.clear();
    queue.drain();
    std::string collected;
    queue.setLogSink([&](const std::string& text) { collected += text; });
    std::thread worker([&] {
        for (int i = 0; i < kEntries; ++i)
            queue.postLog("#" + std::to_string(i) + ";");
    });
    worker.join();
    queue.drain();
    std::string expected;
    for (int i = 0; i < kEntries; ++i)
        expected += "#" + std::to_string(i) + ";";
    EXPECT_EQ(collected, expected);
    EXPECT_LT(wakes, 10);
}

TEST(ReportQueue, PacedDrainsWaitOnTheTimerUntilAQuietOne) {
    int wakes = 0, timers = 0, quiets = 0;
    ReportQueue queue([&] { ++wakes; });
    queue.setPacing([&] { ++timers; }, [&] { ++quiets; });
    queue.postLog("a");
    EXPECT_TRUE(queue.drain());
    EXPECT_EQ(timers, 1);
    queue.postLog("b");
    EXPECT_EQ(wakes, 1) << "the timer, not a wake, brings the next drain under a flood";
    EXPECT_TRUE(queue.drain());
    EXPECT_FALSE(queue.drain());
    EXPECT_EQ(quiets, 1);
    queue.postLog("c");
    EXPECT_EQ(wakes, 2) << "after a quiet drain a report wakes at once";
}

// A box opened for a report runs its own message loop; reports that arrive while it is open must
// reach the window through that loop, with or without pacing.
void boxWhileReportsArrive(bool paced) {
    std::atomic<int> wakes{0};
    std::atomic<int> timers{0};
    ReportQueue queue([&] { ++wakes; });
    if (paced)
        queue.setPacing([&] { ++timers; }, [] {});
    std::vector<std::string> applied;
    queue.setLogSink([&](const std::string& text) { applied.push_back(text); });
    bool boxOpen = false;
    std::string seenWhileOpen;
    queue.post([&] {
        queue.later([&] {
            boxOpen = true;
            // Everything of the batch that asked for the box is in before it opens.
            EXPECT_EQ(applied, std::vector<std::string>{"before"});
            const int wakesBefore = wakes.load();
            std::thread worker([&] { queue.postLog("while open"); });
            worker.join();
            // The box's loop: it drains when a wake came, or on the timer armed before it opened.
            const auto deadline = std::chrono::steady_clock::now() + 10s;
            while (applied.size() < 2 && std::chrono::steady_clock::now() < deadline) {
                if (paced ? timers.load() > 0 : wakes.load() > wakesBefore)
                    queue.drain();
                std::this_thread::sleep_for(10ms);
            }
            if (applied.size() >= 2)
                seenWhileOpen = applied[1];
            boxOpen = false;
        });
    });
    queue.postLog("before");
    queue.drain();
    EXPECT_FALSE(boxOpen);
    EXPECT_EQ(seenWhileOpen, "while open") << "the log stood still while the box was open";
}

TEST(ReportQueue, ABoxOpensAfterItsDrainAndReportsFlowWhileItIsOpen) {
    boxWhileReportsArrive(false);
    boxWhileReportsArrive(true);
}

TEST(ReportQueue, ApplyingFromAnInputHandlerLeavesBoxesToTheNextDrain) {
    int wakes = 0;
    ReportQueue queue([&] { ++wakes; });
    std::vector<std::string> applied;
    queue.post([&] {
        applied.push_back("report");
        queue.later([&] { applied.push_back("box"); });
    });
    const int wakesBefore = wakes;
    queue.applyQueued();
    EXPECT_EQ(applied, std::vector<std::string>{"report"});
    EXPECT_GT(wakes, wakesBefore) << "nothing would bring the box";
    queue.drain();
    EXPECT_EQ(applied, (std::vector<std::string>{"report", "box"}));
}

} // namespace
