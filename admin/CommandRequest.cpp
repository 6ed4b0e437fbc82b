#include "admin/CommandRequest.h"

#include <variant>

namespace vorlanx::admin {
namespace {

// The send fields for a single-terminal command, every row of the terminal list for the
// all-terminal one; the first refused cell becomes the message.
Checked<std::vector<Destination>> checkTargets(const CommandRequest& request) {
    std::vector<Destination> targets;
    if (request.shape == Shape::Single) {
        auto checked = checkTarget(request.sendFields, std::nullopt);
        if (auto* refusal = std::get_if<Refusal>(&checked))
            return *refusal;
        targets.push_back(std::get<Destination>(std::move(checked)));
        return targets;
    }
    for (std::size_t row = 0; row < request.terminalList.size(); ++row) {
        auto checked = checkTarget(request.terminalList[row], row);
        if (auto* refusal = std::get_if<Refusal>(&checked))
            return *refusal;
        targets.push_back(std::get<Destination>(std::move(checked)));
    }
    return targets;
}

std::optional<std::string> captionOf(const CommandRequest& request) {
    switch (request.kind) {
    case CommandKind::Clock:
        if (request.clock == ClockDirection::Read)
            return "读取时间";
        if (request.clock == ClockDirection::Set)
            return "设置时间";
        return std::nullopt;
    case CommandKind::Periods:
        return "设置消费时段";
    case CommandKind::Amounts:
        return "设置时段金额";
    case CommandKind::Mode:
        // The all-terminal mode command leaves the caption as it is.
        if (request.shape == Shape::Single)
            return "下传消费模式";
        return std::nullopt;
    case CommandKind::Title:
        return "设置设备标题";
    case CommandKind::ListMode:
        return request.list == link::CardList::White ? "设置白名单" : "设置黑名单";
    case CommandKind::ReadCount:
        return "读白名单";
    case CommandKind::DeleteWhitelist:
        return "删除白名单";
    case CommandKind::WhitelistDownload:
        return std::nullopt; // the download sets its captions as it goes
    }
    return std::nullopt;
}

} // namespace

PreparedCommand prepareCommand(const CommandRequest& request) {
    PreparedCommand prepared;
    auto refuse = [&](std::string text) {
        prepared.message = std::move(text);
        return prepared;
    };

    auto targets = checkTargets(request);
    if (auto* refusal = std::get_if<Refusal>(&targets))
        return refuse(refusal->text);
    std::array<AmountInput, kMeals> amounts = request.amounts;
    if (request.kind == CommandKind::Amounts) {
        for (std::size_t meal = 0; meal < kMeals; ++meal) {
            if (!amounts[meal].ticked)
                continue;
            auto checked = checkAmount(amounts[meal].fen, meal);
            if (auto* refusal = std::get_if<Refusal>(&checked))
                return refuse(refusal->text);
            amounts[meal].fen = std::get<std::string>(checked);
        }
    }
    if (request.kind == CommandKind::Mode && (request.modeIndex < 0 || request.modeIndex > 3))
        return refuse(kSelectModeText);
    std::string titleGbk;
    if (request.kind == CommandKind::Title) {
        auto checked = checkTitle(request.titleUtf8);
        if (auto* refusal = std::get_if<Refusal>(&checked))
            return refuse(refusal->text);
        titleGbk = std::get<std::string>(checked);
    }

    if (request.kind == CommandKind::WhitelistDownload) {
        // The download empties the result box itself, terminal by terminal.
        if (request.shape == Shape::All && request.terminalList.empty())
            return refuse(kAddDevicesFirstText);
        prepared.download = request.shape == Shape::Single ? DownloadMode::Single
                            : request.parallelDownload     ? DownloadMode::Parallel
                                                           : DownloadMode::Run;
        prepared.downloadTargets = std::get<std::vector<Destination>>(targets);
        return prepared;
    }

    const bool clockWithoutDirection = request.kind == CommandKind::Clock && request.clock == ClockDirection::None;
    prepared.clearResults = true;
    // The clock command looks at the list before it sets its caption; the others set it first.
    if (request.kind != CommandKind::Clock)
        prepared.caption = captionOf(request);
    if (request.kind == CommandKind::Title && titleCharacterCount(titleGbk) > kTitleCharacterLimit)
        return refuse(kTitleTooLongText);
    if (request.shape == Shape::All && request.terminalList.empty())
        return refuse(request.kind == CommandKind::Title ? kAddDevicesText : kAddDevicesFirstText);
    if (request.kind == CommandKind::Clock)
        prepared.caption = captionOf(request);
    if (clockWithoutDirection)
        return prepared;

    const auto& to = std::get<std::vector<Destination>>(targets);
    switch (request.kind) {
    case CommandKind::Clock:
        prepared.plan = clockPlan(request.shape, to, request.clock);
        break;
    case CommandKind::Periods:
        prepared.plan = periodsPlan(request.shape, to, request.periods);
        prepared.savePeriods = true;
        break;
    case CommandKind::Amounts:
        prepared.plan = amountsPlan(request.shape, to, amounts);
        prepared.saveAmounts = true;
        break;
    case CommandKind::Mode: {
        const auto mode = static_cast<link::ConsumptionMode>(request.modeIndex);
        prepared.plan = modePlan(request.shape, to, mode);
        if (request.shape == Shape::All)
            prepared.statusAfter = "设置设备消费模式=" + modeName(mode);
        break;
    }
    case CommandKind::Title:
        prepared.plan = titlePlan(request.shape, to, titleGbk);
        break;
    case CommandKind::ListMode:
        prepared.plan = listModePlan(request.shape, to, request.list);
        break;
    case CommandKind::ReadCount:
        prepared.plan = readCountPlan(request.shape, to);
        break;
    case CommandKind::DeleteWhitelist:
        prepared.plan = deleteWhitelistPlan(request.shape, to);
        break;
    case CommandKind::WhitelistDownload:
        break;
    }
    return prepared;
}

} // namespace vorlanx::admin
