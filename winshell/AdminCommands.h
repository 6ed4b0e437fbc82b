#pragma once

#include "admin/CommandRequest.h"
#include "ui/AdminCommand.h"
#include "winshell/WindowControls.h"

#include <windows.h>

#include <optional>
#include <string>

namespace vorlanx::service {
class VorlanxService;
}

namespace vorlanx::winshell {

class ServiceBridge;

// The administration buttons and the two white-list downloads. A click reads the controls once,
// hands the values to the service, shows at once what the command shows (caption, cleared result
// box, message box) and keeps the administration buttons disabled until the service reports the
// command's end. The frames go out on the service's runner; the window stays live meanwhile.
class AdminCommands {
public:
    AdminCommands(service::VorlanxService& service, ServiceBridge& bridge, const WindowControls& controls, HWND window);

    void run(const ui::AdminCommand& command);
    // The service's report that the running command has ended; on the UI thread.
    void commandFinished(const std::optional<std::string>& statusText);
    void parallelToggled();

private:
    admin::CommandRequest readControls(const ui::AdminCommand& command) const;
    void setButtonsEnabled(bool enabled);

    service::VorlanxService& m_service;
    ServiceBridge& m_bridge;
    const WindowControls& m_controls;
    HWND m_window;
    bool m_running = false;
};

} // namespace vorlanx::winshell
