#include "admin/CommandPlans.h"
#include "link/FrameBuilders.h"
#include "link/Gbk.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

using namespace vorlanx;
using namespace vorlanx::admin;
using namespace std::chrono_literals;
using Kind = PlanStep::Kind;

const Destination kMachineOne{"192.168.1.10", 8000, "1"};
const Destination kMachineTwo{"192.168.1.11", 8000, "2"};

std::vector<Destination> terminals(int count) {
    std::vector<Destination> out;
    for (int i = 1; i <= count; ++i)
        out.push_back({"10.0.0." + std::to_string(i), 9000, std::to_string(i)});
    return out;
}

PlanStep frameStep(const Destination& to, std::string frameHex, std::chrono::milliseconds pauseAfter) {
    return {Kind::Frame, to, std::move(frameHex), pauseAfter};
}

PlanStep pauseStep(std::chrono::milliseconds pause) {
    return {Kind::Pause, {}, {}, pause};
}

const std::array<PeriodInput, kMeals> kAllPeriods{{{true, "05:00:01", "09:30:01"},
                                                   {true, "09:31:01", "14:00:01"},
                                                   {true, "14:01:01", "19:00:01"},
                                                   {true, "19:01:01", "23:59:59"}}};

TEST(CommandPlan, CountsClockFramesAsFramesAndSumsEveryPause) {
    CommandPlan plan;
    plan.steps = {frameStep(kMachineOne, "FE01", 100ms), pauseStep(300ms), {Kind::ClockFrame, kMachineTwo, {}, 0ms}};
    EXPECT_EQ(plan.frameCount(), 2u);
    EXPECT_EQ(plan.totalPause(), 400ms);
    EXPECT_EQ(CommandPlan{}.frameCount(), 0u);
    EXPECT_EQ(CommandPlan{}.totalPause(), 0ms);
}

TEST(ClockPlan, ReadSendsTheReadFrameToEachTerminalWithoutPauses) {
    const CommandPlan plan = clockPlan(Shape::All, {kMachineOne, kMachineTwo}, ClockDirection::Read);
    ASSERT_EQ(plan.steps.size(), 2u);
    EXPECT_EQ(plan.steps[0], frameStep(kMachineOne, "FE010001000111E460", 0ms));
    EXPECT_EQ(plan.steps[1].to, kMachineTwo);
    EXPECT_EQ(plan.totalPause(), 0ms);
}

TEST(ClockPlan, SetLeavesTheClockCodeToTheMomentOfSending) {
    const CommandPlan plan = clockPlan(Shape::All, {kMachineOne, kMachineTwo}, ClockDirection::Set);
    ASSERT_EQ(plan.steps.size(), 2u);
    for (const PlanStep& step : plan.steps) {
        EXPECT_EQ(step.kind, Kind::ClockFrame);
        EXPECT_TRUE(step.frameHex.empty());
        EXPECT_EQ(step.pauseAfter, 0ms);
    }
    EXPECT_EQ(plan.steps[1].to, kMachineTwo);
    EXPECT_EQ(plan.frameCount(), 2u);
    // The frame the runner builds for Monday 2026-12-07 23:59:28.
    EXPECT_EQ(link::setClockFrame("1", "2026120701235928"), "FE01000100093020261207012359284316");
}

TEST(ClockPlan, NoDirectionSendsNothing) {
    EXPECT_TRUE(clockPlan(Shape::Single, {kMachineOne}, ClockDirection::None).steps.empty());
    EXPECT_TRUE(clockPlan(Shape::All, terminals(3), ClockDirection::None).steps.empty());
}

TEST(PeriodsPlan, SingleTerminalSendsTickedPeriodsWithAPauseAfterEach) {
    std::array<PeriodInput, kMeals> periods = kAllPeriods;
    periods[2].ticked = false;
    periods[3].ticked = false;
    const CommandPlan plan = periodsPlan(Shape::Single, {kMachineOne}, periods);
    EXPECT_EQ(plan.steps, (std::vector<PlanStep>{
                              frameStep(kMachineOne, "FE010001000935410005000109300184C1", 100ms),
                              frameStep(kMachineOne, "FE01000100093542000931011400013DDA", 100ms),
                          }));
}

TEST(PeriodsPlan, SingleTerminalSkipsAnUntickedPeriodWithoutPausing) {
    std::array<PeriodInput, kMeals> periods = kAllPeriods;
    periods[0].ticked = false;
    periods[1].ticked = false;
    periods[2].ticked = false;
    const CommandPlan plan = periodsPlan(Shape::Single, {kMachineOne}, periods);
    ASSERT_EQ(plan.steps.size(), 1u);
    EXPECT_EQ(plan.steps[0].frameHex, link::periodFrame("1", link::Meal::NightSnack, "19:01:01", "23:59:59"));
    EXPECT_EQ(plan.totalPause(), 100ms);
}

TEST(PeriodsPlan, AllTerminalsGoPeriodByPeriodWithAPauseBeforeEachLaterPeriod) {
    const CommandPlan plan = periodsPlan(Shape::All, {kMachineOne, kMachineTwo}, kAllPeriods);
    const auto frame = [](const Destination& to, link::Meal meal, const PeriodInput& period) {
        return frameStep(to, link::periodFrame(to.machine, meal, period.start, period.end), 100ms);
    };
    using link::Meal;
    const std::vector<PlanStep> expected{
        frameStep(kMachineOne, "FE010001000935410005000109300184C1", 100ms),
        frame(kMachineTwo, Meal::Breakfast, kAllPeriods[0]),
        pauseStep(100ms),
        frameStep(kMachineOne, "FE01000100093542000931011400013DDA", 100ms),
        frame(kMachineTwo, Meal::Lunch, kAllPeriods[1]),
        pauseStep(100ms),
        frame(kMachineOne, Meal::Dinner, kAllPeriods[2]),
        frame(kMachineTwo, Meal::Dinner, kAllPeriods[2]),
        pauseStep(100ms),
        frame(kMachineOne, Meal::NightSnack, kAllPeriods[3]),
        frame(kMachineTwo, Meal::NightSnack, kAllPeriods[3]),
    };
    EXPECT_EQ(plan.steps, expected);
    EXPECT_EQ(plan.frameCount(), 8u);
    EXPECT_EQ(plan.totalPause(), 1100ms);
}

TEST(PeriodsPlan, AllTerminalsPauseBeforeLaterPeriodsEvenWhenUnticked) {
    std::array<PeriodInput, kMeals> periods = kAllPeriods;
    for (PeriodInput& period : periods)
        period.ticked = false;
    const CommandPlan nothing = periodsPlan(Shape::All, {kMachineOne, kMachineTwo}, periods);
    EXPECT_EQ(nothing.steps, (std::vector<PlanStep>(3, pauseStep(100ms))));

    periods[0].ticked = true;
    const CommandPlan breakfastOnly = periodsPlan(Shape::All, {kMachineOne, kMachineTwo}, periods);
    EXPECT_EQ(breakfastOnly.frameCount(), 2u);
    EXPECT_EQ(breakfastOnly.steps[2], pauseStep(100ms));
    EXPECT_EQ(breakfastOnly.totalPause(), 500ms);
}

TEST(AmountsPlan, SingleTerminalWaitsBeforeEachLaterMealButNotAfterAFrame) {
    const std::array<AmountInput, kMeals> amounts{{{true, "1000"}, {true, "1500"}, {false, "9"}, {true, "0"}}};
    const CommandPlan plan = amountsPlan(Shape::Single, {kMachineOne}, amounts);
    EXPECT_EQ(plan.steps, (std::vector<PlanStep>{
                              frameStep(kMachineOne, "FE01000100063641000003E822B0", 0ms),
                              pauseStep(300ms),
                              frameStep(kMachineOne, link::amountFrame("1", link::Meal::Lunch, "1500"), 0ms),
                              pauseStep(300ms),
                              pauseStep(300ms),
                              frameStep(kMachineOne, link::amountFrame("1", link::Meal::NightSnack, "0"), 0ms),
                          }));
}

TEST(AmountsPlan, AllTerminalsPauseAfterEachFrameAndBeforeEachLaterMeal) {
    const std::array<AmountInput, kMeals> amounts{{{true, "1000"}, {false, "1"}, {false, "2"}, {true, "250"}}};
    const CommandPlan plan = amountsPlan(Shape::All, {kMachineOne, kMachineTwo}, amounts);
    EXPECT_EQ(plan.steps, (std::vector<PlanStep>{
                              frameStep(kMachineOne, "FE01000100063641000003E822B0", 100ms),
                              frameStep(kMachineTwo, link::amountFrame("2", link::Meal::Breakfast, "1000"), 100ms),
                              pauseStep(300ms),
                              pauseStep(300ms),
                              pauseStep(300ms),
                              frameStep(kMachineOne, link::amountFrame("1", link::Meal::NightSnack, "250"), 100ms),
                              frameStep(kMachineTwo, link::amountFrame("2", link::Meal::NightSnack, "250"), 100ms),
                          }));
}

TEST(AmountsPlan, AllTerminalsWithNothingTickedOnlyWait) {
    const CommandPlan plan = amountsPlan(Shape::All, terminals(3), {});
    EXPECT_EQ(plan.frameCount(), 0u);
    EXPECT_EQ(plan.totalPause(), 900ms);
}

TEST(AmountsPlan, AmountsFillTheWholeEightDigitField) {
    const std::array<AmountInput, kMeals> lowest{{{true, "0"}, {}, {}, {}}};
    const std::array<AmountInput, kMeals> highest{{{true, "4294967295"}, {}, {}, {}}};
    EXPECT_EQ(amountsPlan(Shape::Single, {kMachineOne}, lowest).steps[0].frameHex.substr(16, 8), "00000000");
    EXPECT_EQ(amountsPlan(Shape::Single, {kMachineOne}, highest).steps[0].frameHex.substr(16, 8), "FFFFFFFF");
}

TEST(OneFramePlans, WorkedFramesForMachineOne) {
    const std::vector<Destination> one{kMachineOne};
    EXPECT_EQ(modePlan(Shape::Single, one, link::ConsumptionMode::Manual).steps[0].frameHex, "FE01000100023B014EEB");
    EXPECT_EQ(modePlan(Shape::Single, one, link::ConsumptionMode::Fixed).steps[0].frameHex, "FE01000100023B008F2B");
    EXPECT_EQ(listModePlan(Shape::Single, one, link::CardList::White).steps[0].frameHex, "FE01000100024900AB8B");
    EXPECT_EQ(listModePlan(Shape::Single, one, link::CardList::Black).steps[0].frameHex, "FE010001000249016A4B");
    EXPECT_EQ(readCountPlan(Shape::Single, one).steps[0].frameHex, "FE010001000151E590");
    EXPECT_EQ(deleteWhitelistPlan(Shape::Single, one).steps[0].frameHex, "FE010001000132A5B9");
}

TEST(OneFramePlans, TitleGoesAsGbkBytesUnderAFixedLength) {
    const std::string gbk = *link::utf8ToGbk("欢迎使用IC消费机");
    const CommandPlan plan = titlePlan(Shape::Single, {kMachineOne}, gbk);
    ASSERT_EQ(plan.steps.size(), 1u);
    EXPECT_EQ(plan.steps[0].frameHex, "FE010001001148BBB6D3ADCAB9D3C34943CFFBB7D1BBFA9430");
    EXPECT_EQ(titlePlan(Shape::Single, {kMachineOne}, "AB").steps[0].frameHex.substr(8, 4), "0011");
}

TEST(OneFramePlans, OnlyAllTerminalRunsPauseAfterEachFrame) {
    const std::vector<Destination> one{kMachineOne};
    const std::vector<Destination> two{kMachineOne, kMachineTwo};
    const auto pausesOf = [](const CommandPlan& plan) {
        std::vector<std::chrono::milliseconds> out;
        for (const PlanStep& step : plan.steps)
            out.push_back(step.pauseAfter);
        return out;
    };
    const std::vector<std::chrono::milliseconds> none{0ms};
    const std::vector<std::chrono::milliseconds> twoPauses{100ms, 100ms};

    EXPECT_EQ(pausesOf(modePlan(Shape::Single, one, link::ConsumptionMode::Menu)), none);
    EXPECT_EQ(pausesOf(modePlan(Shape::All, two, link::ConsumptionMode::Menu)), twoPauses);
    EXPECT_EQ(pausesOf(titlePlan(Shape::Single, one, "AB")), none);
    EXPECT_EQ(pausesOf(titlePlan(Shape::All, two, "AB")), twoPauses);
    EXPECT_EQ(pausesOf(readCountPlan(Shape::Single, one)), none);
    EXPECT_EQ(pausesOf(readCountPlan(Shape::All, two)), twoPauses);
    EXPECT_EQ(pausesOf(deleteWhitelistPlan(Shape::Single, one)), none);
    EXPECT_EQ(pausesOf(deleteWhitelistPlan(Shape::All, two)), twoPauses);
    // The list mode is switched without pauses, even across all terminals.
    EXPECT_EQ(pausesOf(listModePlan(Shape::Single, one, link::CardList::Black)), none);
    EXPECT_EQ(pausesOf(listModePlan(Shape::All, two, link::CardList::Black)),
              (std::vector<std::chrono::milliseconds>{0ms, 0ms}));
}

TEST(OneFramePlans, AllTerminalsAreReadInListOrder) {
    const std::vector<Destination> five = terminals(5);
    const CommandPlan plan = readCountPlan(Shape::All, five);
    ASSERT_EQ(plan.frameCount(), 5u);
    for (std::size_t i = 0; i < five.size(); ++i) {
        EXPECT_EQ(plan.steps[i].to, five[i]);
        EXPECT_EQ(plan.steps[i].frameHex, link::readCountFrame(five[i].machine));
    }
    EXPECT_GE(plan.totalPause(), 500ms);
}

TEST(OneFramePlans, MachineNumberBecomesTheMachineField) {
    const Destination high{"10.0.0.1", 9000, "255"};
    const Destination zero{"10.0.0.2", 9000, "0"};
    EXPECT_EQ(readCountPlan(Shape::All, {high, zero}).steps[0].frameHex.substr(4, 4), "00FF");
    EXPECT_EQ(readCountPlan(Shape::All, {high, zero}).steps[1].frameHex.substr(4, 4), "0000");
    EXPECT_EQ(modePlan(Shape::Single, {high}, link::ConsumptionMode::Fixed).steps[0].frameHex.substr(4, 4), "00FF");
}

TEST(CommandPlans, ModeNamesAsTheStatusPanelShowsThem) {
    EXPECT_EQ(modeName(link::ConsumptionMode::Fixed), "固定模式");
    EXPECT_EQ(modeName(link::ConsumptionMode::Manual), "手动模式");
    EXPECT_EQ(modeName(link::ConsumptionMode::Menu), "菜单模式");
    EXPECT_EQ(modeName(link::ConsumptionMode::Download), "下传模式");
}

} // namespace
