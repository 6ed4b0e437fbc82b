#pragma once

#include "admin/CommandPlan.h"
#include "link/FrameBuilders.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

// The administration commands as plans: pure functions of the values read when the button was
// clicked. A single-terminal command gets one destination (the send fields), an all-terminal
// command the rows of the terminal list in display order; the shape decides the pauses.
namespace vorlanx::admin {

enum class Shape { Single, All };

inline constexpr std::size_t kMeals = 4;

struct PeriodInput {
    bool ticked = false;
    std::string start; // HH:MM:SS as the field shows it
    std::string end;
};

struct AmountInput {
    bool ticked = false;
    std::string fen; // decimal, already checked
};

enum class ClockDirection { None, Read, Set };

// Read: the read frame to each terminal; Set: a clock frame to each; None: nothing. No pauses.
CommandPlan clockPlan(Shape shape, const std::vector<Destination>& targets, ClockDirection direction);

// Period by period, terminal by terminal, 100 ms after each frame; in an all-terminal run also
// 100 ms before each of the periods 2 to 4 is looked at, ticked or not.
CommandPlan periodsPlan(Shape shape, const std::vector<Destination>& targets,
                        const std::array<PeriodInput, kMeals>& periods);

// 300 ms before each of the meals 2 to 4 in both shapes; 100 ms after each frame in an
// all-terminal run, none after a frame to a single terminal.
CommandPlan amountsPlan(Shape shape, const std::vector<Destination>& targets,
                        const std::array<AmountInput, kMeals>& amounts);

// 100 ms after each frame in an all-terminal run.
CommandPlan modePlan(Shape shape, const std::vector<Destination>& targets, link::ConsumptionMode mode);
// titleGbk: the GBK bytes of the title, already checked. 100 ms after each frame in an all-terminal run.
CommandPlan titlePlan(Shape shape, const std::vector<Destination>& targets, std::string_view titleGbk);
// No pauses.
CommandPlan listModePlan(Shape shape, const std::vector<Destination>& targets, link::CardList list);
// 100 ms after each frame in an all-terminal run.
CommandPlan readCountPlan(Shape shape, const std::vector<Destination>& targets);
CommandPlan deleteWhitelistPlan(Shape shape, const std::vector<Destination>& targets);

// The names of the consumption modes as the status panel shows them ("固定模式" ...).
std::string modeName(link::ConsumptionMode mode);

} // namespace vorlanx::admin
