#pragma once

#include "config/ConnectionSettings.h"
#include "winshell/WindowControls.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

namespace vorlanx::service {
class VorlanxService;
}

namespace vorlanx::winshell {

// The database settings group: server address, database name, user and password, and which
// database the service uses. A build without the built-in database (every Windows build) keeps
// its box unticked and disabled and says why beside it. The connects run on the service's worker;
// their outcomes come back through the bridge.
class DatabaseSettings {
public:
    struct Hooks {
        std::function<std::string()> machineText; // of the send fields, for the personnel load
        std::function<void()> restart;            // after a save of working settings
    };

    DatabaseSettings(service::VorlanxService& service, WindowControls& controls, HWND window, Hooks hooks,
                     const Dpi& dpi);

    void loadAtStartup();
    void saveSettings();
    // A click on one of the two kind boxes: at most one is ticked.
    void kindClicked(ui::Id clicked);

    void startupConnectFinished(const std::optional<std::string>& statusText);
    void databaseSaveFinished(const std::optional<std::string>& message, bool restart);

private:
    void show(const config::ConnectionSettings& settings);
    config::ConnectionSettings settings() const;
    void setConnecting(bool connecting);

    service::VorlanxService& m_service;
    const WindowControls& m_controls;
    HWND m_window;
    Hooks m_hooks;
    bool m_connecting = false;
};

} // namespace vorlanx::winshell
