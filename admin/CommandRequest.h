#pragma once

#include "admin/CommandPlans.h"
#include "admin/InputChecks.h"
#include "admin/WhitelistDownload.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vorlanx::admin {

enum class CommandKind { Clock, Periods, Amounts, Mode, Title, ListMode, ReadCount, DeleteWhitelist, WhitelistDownload };

// Everything an administration button reads when it is clicked, as the operator left it.
struct CommandRequest {
    CommandKind kind = CommandKind::Clock;
    Shape shape = Shape::Single;
    TargetText sendFields;
    std::vector<TargetText> terminalList;

    ClockDirection clock = ClockDirection::None;
    std::array<PeriodInput, kMeals> periods{};
    std::array<AmountInput, kMeals> amounts{}; // as typed; ticked ones are checked
    int modeIndex = -1;                        // -1: nothing selected
    std::string titleUtf8;
    link::CardList list = link::CardList::White;
    bool parallelDownload = false; // all terminals at once, frame by frame
};

// What a click comes to: what the window shows at once, and the plan to run. When message is set
// and plan is empty, the command ends there.
struct PreparedCommand {
    std::optional<std::string> caption; // new caption of the result group
    bool clearResults = false;          // result box emptied, success count "0"
    std::optional<std::string> message; // a message box
    std::optional<CommandPlan> plan;    // nullopt: no plan runs
    std::optional<DownloadMode> download; // a white-list download runs to downloadTargets
    std::vector<Destination> downloadTargets;
    bool savePeriods = false;           // after the frames, even when stopped early
    bool saveAmounts = false;
    std::optional<std::string> statusAfter; // status panel once every frame went out
    std::uint64_t id = 0;                   // the service's number of the command it started; 0: none

    bool runs() const { return plan.has_value() || download.has_value(); }
};

// The order of each command: its caption and the clearing of the result box, the title's length
// limit, the empty-list message, then the plan. Operator input is checked before anything else,
// so a refused value changes nothing and sends nothing.
PreparedCommand prepareCommand(const CommandRequest& request);

inline constexpr const char* kAddDevicesFirstText = "请先添加设备";
inline constexpr const char* kAddDevicesText = "请添加设备";
inline constexpr const char* kTitleTooLongText = "最多只能输入8个字";
inline constexpr const char* kSelectModeText = "请选择消费模式";

} // namespace vorlanx::admin
