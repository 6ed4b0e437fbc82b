#pragma once

#include "config/ConnectionSettings.h"
#include "winshell/WindowControls.h"

#include <windows.h>

namespace vorlanx::winshell {

// The database settings group: server address, database name, user and password, and which
// database the service uses. A build without the built-in database (every Windows build) keeps
// its box unticked and disabled and says why beside it. What the start-up load and the save do
// is the presenter's.
class DatabaseSettings {
public:
    DatabaseSettings(WindowControls& controls, HWND window, const Dpi& dpi);

    // A click on one of the two kind boxes: at most one is ticked.
    void kindClicked(ui::Id clicked);
    void show(const config::ConnectionSettings& settings);
    config::ConnectionSettings settings() const;

private:
    const WindowControls& m_controls;
};

} // namespace vorlanx::winshell
