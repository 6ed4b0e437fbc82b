#pragma once

#include "admin/CommandRequest.h"
#include "ui/AdminCommand.h"
#include "winshell/WindowControls.h"

namespace vorlanx::winshell {

// The administration buttons and the two white-list downloads. A click reads the controls once
// into a request for the presenter, which runs the command and says what to show.
class AdminCommands {
public:
    explicit AdminCommands(const WindowControls& controls) : m_controls(controls) {}

    admin::CommandRequest readControls(const ui::AdminCommand& command) const;
    bool parallelChecked() const;
    void setParallelChecked(bool parallel);
    void setButtonsEnabled(bool enabled);

private:
    const WindowControls& m_controls;
};

} // namespace vorlanx::winshell
