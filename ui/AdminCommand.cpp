#include "ui/AdminCommand.h"

namespace vorlanx::ui {

std::optional<AdminCommand> adminCommand(Command command) {
    using admin::CommandKind;
    using admin::Shape;
    switch (command) {
    case Command::ClockAll:
        return AdminCommand{CommandKind::Clock, Shape::All};
    case Command::ClockOne:
        return AdminCommand{CommandKind::Clock, Shape::Single};
    case Command::PeriodsAll:
        return AdminCommand{CommandKind::Periods, Shape::All};
    case Command::PeriodsOne:
        return AdminCommand{CommandKind::Periods, Shape::Single};
    case Command::AmountsAll:
        return AdminCommand{CommandKind::Amounts, Shape::All};
    case Command::AmountsOne:
        return AdminCommand{CommandKind::Amounts, Shape::Single};
    case Command::ModeAll:
        return AdminCommand{CommandKind::Mode, Shape::All};
    case Command::ModeOne:
        return AdminCommand{CommandKind::Mode, Shape::Single};
    case Command::TitleAll:
        return AdminCommand{CommandKind::Title, Shape::All};
    case Command::TitleOne:
        return AdminCommand{CommandKind::Title, Shape::Single};
    case Command::ListModeAll:
        return AdminCommand{CommandKind::ListMode, Shape::All};
    case Command::ListModeOne:
        return AdminCommand{CommandKind::ListMode, Shape::Single};
    case Command::ReadCountAll:
        return AdminCommand{CommandKind::ReadCount, Shape::All};
    case Command::ReadCountOne:
        return AdminCommand{CommandKind::ReadCount, Shape::Single};
    case Command::DeleteWhitelistAll:
        return AdminCommand{CommandKind::DeleteWhitelist, Shape::All};
    case Command::DeleteWhitelistOne:
        return AdminCommand{CommandKind::DeleteWhitelist, Shape::Single};
    case Command::DownloadAll:
        return AdminCommand{CommandKind::WhitelistDownload, Shape::All};
    case Command::DownloadOne:
        return AdminCommand{CommandKind::WhitelistDownload, Shape::Single};
    default:
        return std::nullopt;
    }
}

} // namespace vorlanx::ui
