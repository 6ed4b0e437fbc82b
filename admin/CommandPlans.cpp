#include "admin/CommandPlans.h"

#include <chrono>
#include <functional>
#include <string>
#include <utility>

namespace vorlanx::admin {

namespace {

using namespace std::chrono_literals;

// Terminals need this long to store one setting before the next frame reaches them.
constexpr std::chrono::milliseconds kAfterFrame = 100ms;
// Terminals get a longer pause between one meal's amount and the next, kept whether or not the
// next meal is sent.
constexpr std::chrono::milliseconds kBeforeNextAmount = 300ms;

constexpr std::array<link::Meal, kMeals> kMealOrder{link::Meal::Breakfast, link::Meal::Lunch, link::Meal::Dinner,
                                                    link::Meal::NightSnack};

using FrameOf = std::function<std::string(const Destination&)>;

void addFrame(CommandPlan& plan, const Destination& to, std::string frameHex, std::chrono::milliseconds pauseAfter) {
    plan.steps.push_back({PlanStep::Kind::Frame, to, std::move(frameHex), pauseAfter});
}

void addPause(CommandPlan& plan, std::chrono::milliseconds pause) {
    plan.steps.push_back({PlanStep::Kind::Pause, {}, {}, pause});
}

void addToEach(CommandPlan& plan, const std::vector<Destination>& targets, const FrameOf& frameOf,
               std::chrono::milliseconds pauseAfter) {
    for (const Destination& to : targets)
        addFrame(plan, to, frameOf(to), pauseAfter);
}

// One frame to each target; only an all-terminal run leaves the terminals time between frames.
CommandPlan onePerTarget(Shape shape, const std::vector<Destination>& targets, const FrameOf& frameOf) {
    CommandPlan plan;
    addToEach(plan, targets, frameOf, shape == Shape::All ? kAfterFrame : 0ms);
    return plan;
}

} // namespace

CommandPlan clockPlan(Shape, const std::vector<Destination>& targets, ClockDirection direction) {
    CommandPlan plan;
    if (direction == ClockDirection::None)
        return plan;
    for (const Destination& to : targets) {
        if (direction == ClockDirection::Read) {
            addFrame(plan, to, link::readClockFrame(to.machine), 0ms);
        } else {
            // The clock code is taken when the frame leaves, so that the last terminals of a long
            // run are not set to a time already past.
            plan.steps.push_back({PlanStep::Kind::ClockFrame, to, {}, 0ms});
        }
    }
    return plan;
}

CommandPlan periodsPlan(Shape shape, const std::vector<Destination>& targets,
                        const std::array<PeriodInput, kMeals>& periods) {
    CommandPlan plan;
    for (std::size_t i = 0; i < kMeals; ++i) {
        if (shape == Shape::All && i > 0)
            addPause(plan, kAfterFrame);
        const PeriodInput& period = periods[i];
        if (!period.ticked)
            continue;
        addToEach(
            plan, targets,
            [&](const Destination& to) {
                return link::periodFrame(to.machine, kMealOrder[i], period.start, period.end);
            },
            kAfterFrame);
    }
    return plan;
}

CommandPlan amountsPlan(Shape shape, const std::vector<Destination>& targets,
                        const std::array<AmountInput, kMeals>& amounts) {
    CommandPlan plan;
    const std::chrono::milliseconds afterFrame = shape == Shape::All ? kAfterFrame : 0ms;
    for (std::size_t i = 0; i < kMeals; ++i) {
        if (i > 0)
            addPause(plan, kBeforeNextAmount);
        const AmountInput& amount = amounts[i];
        if (!amount.ticked)
            continue;
        addToEach(
            plan, targets,
            [&](const Destination& to) { return link::amountFrame(to.machine, kMealOrder[i], amount.fen); },
            afterFrame);
    }
    return plan;
}

CommandPlan modePlan(Shape shape, const std::vector<Destination>& targets, link::ConsumptionMode mode) {
    return onePerTarget(shape, targets, [&](const Destination& to) { return link::modeFrame(to.machine, mode); });
}

CommandPlan titlePlan(Shape shape, const std::vector<Destination>& targets, std::string_view titleGbk) {
    return onePerTarget(shape, targets, [&](const Destination& to) { return link::titleFrame(to.machine, titleGbk); });
}

CommandPlan listModePlan(Shape, const std::vector<Destination>& targets, link::CardList list) {
    CommandPlan plan;
    addToEach(
        plan, targets, [&](const Destination& to) { return link::listModeFrame(to.machine, list); }, 0ms);
    return plan;
}

CommandPlan readCountPlan(Shape shape, const std::vector<Destination>& targets) {
    return onePerTarget(shape, targets, [](const Destination& to) { return link::readCountFrame(to.machine); });
}

CommandPlan deleteWhitelistPlan(Shape shape, const std::vector<Destination>& targets) {
    return onePerTarget(shape, targets, [](const Destination& to) { return link::deleteWhitelistFrame(to.machine); });
}

std::string modeName(link::ConsumptionMode mode) {
    switch (mode) {
    case link::ConsumptionMode::Fixed:
        return "固定模式";
    case link::ConsumptionMode::Manual:
        return "手动模式";
    case link::ConsumptionMode::Menu:
        return "菜单模式";
    case link::ConsumptionMode::Download:
        return "下传模式";
    }
    return {};
}

} // namespace vorlanx::admin
