#pragma once

#include "winshell/WindowControls.h"

#include <windows.h>

#include <functional>
#include <string>

namespace vorlanx::service {
class VorlanxService;
}

namespace vorlanx::winshell {

// The listener group: the port box, start and stop. Start opens the service's listener endpoint
// anew and binds it; stop drains on the service's worker while the window stays live, and a
// timer of the window looks for its end.
class ListenerGroup {
public:
    static constexpr UINT_PTR kStopPollTimer = 3;

    ListenerGroup(service::VorlanxService& service, const WindowControls& controls, HWND window,
                  std::function<void()> clearOnlineList);

    void startListening();
    void stopListening() { stopThen({}); }
    // The stop of the 停止 button, then `after` once the port has closed.
    void stopThen(std::function<void()> after);
    // The stop poll timer's tick.
    void pollStop();

private:
    void showIdle();
    void stopEnded(const std::string& operationText);
    void setOperation(const std::string& text);

    service::VorlanxService& m_service;
    const WindowControls& m_controls;
    HWND m_window;
    std::function<void()> m_clearOnlineList;
    std::function<void()> m_afterStop;
    bool m_polling = false;
};

} // namespace vorlanx::winshell
