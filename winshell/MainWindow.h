#pragma once

#include "ui/Controls.h"
#include "winshell/Controls.h"
#include "winshell/Handles.h"
#include "winshell/WindowControls.h"

#include <windows.h>

#include <memory>
#include <string>

namespace vorlanx::present {
class Presenter;
}

namespace vorlanx::service {
class VorlanxService;
}

namespace vorlanx::winshell {

class AdminCommands;
class DatabaseSettings;
class ListMenus;

// The service's one window on Windows: the controls of the shared table, the two timers, the
// status bar and the pop-up menus, on the same service object as vorlanxd. One window procedure
// forwards to this object, kept with the window (GWLP_USERDATA); input goes on to the presenter,
// whose reports the window applies to its controls. The service outlives it.
class MainWindow {
public:
    // The private message that asks the window to drain the presenter's reports.
    static constexpr UINT kDrainMessage = WM_APP + 1;
    // Windows hands a thread its posted messages before input, painting and timers, so a drain
    // posted anew after every batch would starve the clock under a flood: during one the next
    // drain waits on this timer of the window.
    static constexpr UINT_PTR kDrainTimer = 4;
    static constexpr UINT kDrainPeriodMs = 50;

    explicit MainWindow(service::VorlanxService& service);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Makes the window and its controls and runs the window-created steps; false when the system
    // refused a window.
    bool create();
    void show(int showCommand);
    HWND hwnd() const { return m_window; }
    const WindowControls& controls() const { return m_controls; }

    // One line per control of the table: name, ID, window class, caption, x, y, width, height in
    // client coordinates, and the page ("" outside the tab control), tab-separated.
    std::string controlsListing() const;

    // The keyboard of a dialog for a message of the thread's loop, before it is dispatched: Tab and
    // Shift+Tab through the controls in the table's order (IsDialogMessage), Enter on a push button
    // clicks it, Shift+F10 or the menu key on a list opens its menu at the selected row, Ctrl+Tab
    // and Ctrl+Shift+Tab change the page. True when the message has been handled.
    bool keyboardMessage(MSG& message);

    // Timer work, public so that a benchmark can run a tick without waiting for it.
    void clockTick();
    void logTick();

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    void windowCreated();
    void makePresenter();
    void holdPainting(bool hold);
    void command(int id, int code);
    LRESULT notify(const NMHDR& header);
    void startAction(ui::Command command);
    void useDpi(const Dpi& dpi);
    // Shows a page; a focus left on a hidden control goes to the tab control.
    void choosePage(int page);
    int findOnlineRow(const std::string& address) const;

    service::VorlanxService& m_service;
    HWND m_window = nullptr;
    Dpi m_dpi;
    FontHandle m_font;
    WindowControls m_controls;
    std::unique_ptr<present::Presenter> m_presenter;
    std::unique_ptr<AdminCommands> m_commands;
    std::unique_ptr<DatabaseSettings> m_database;
    std::unique_ptr<ListMenus> m_menus;
    std::wstring m_tip; // the online list's last tool tip, alive while the list shows it
};

} // namespace vorlanx::winshell
