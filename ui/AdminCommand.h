#pragma once

#include "admin/CommandPlans.h"
#include "admin/CommandRequest.h"
#include "ui/Controls.h"

#include <optional>

namespace vorlanx::ui {

// The administration command that a window command runs, with its shape (the terminal in the
// send fields, or every row of the terminal list); none for the window's own actions.
struct AdminCommand {
    admin::CommandKind kind;
    admin::Shape shape;
};
std::optional<AdminCommand> adminCommand(Command command);

} // namespace vorlanx::ui
