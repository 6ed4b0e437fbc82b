#pragma once

#include "config/ConnectionSettings.h"

#include <filesystem>
#include <optional>
#include <string>

namespace vorlanx::config {

// The delay the save hands to restartSelf.
inline constexpr int kSaveRestartDelay = 3;

// What a click of 按钮_保存数据配置 comes to. The window shows message (title kMessageTitle, OK
// only, modal) and waits for it to close; then, when restart is set, it closes the main window
// and calls restartSelf(kSaveRestartDelay).
struct ConnectionSettingsSave {
    enum class Outcome {
        Refused,                // a box was empty; nothing written
        SavedWithoutConnecting, // no database ticked: "type" = "0" and the four boxes written
        ConnectFailed,          // nothing written
        Connected,              // "type" and the four boxes written; restart follows
    };

    Outcome outcome = Outcome::Refused;
    std::optional<std::string> message;
    bool restart = false;
};

// The message for the first empty box, checked in the order address, name, user, password, an
// address that is no SQL Server address (isServerAddress) counting as empty; the built-in
// database needs only its name. nullopt when the settings may be saved.
std::optional<std::string> checkConnectionSettings(const ConnectionSettings& settings);

// The save after checking and connecting, for a window that connects on a worker thread:
// connected is the connect's result and is ignored when no database is ticked.
ConnectionSettingsSave finishDatabaseSave(const std::filesystem::path& serviceDir, const ConnectionSettings& settings,
                                          bool connected);

// The whole save: check, connect through connect when a database is ticked, write conf.ini.
ConnectionSettingsSave saveDatabaseSettings(const std::filesystem::path& serviceDir, const ConnectionSettings& settings,
                                            const ConnectFunction& connect);

} // namespace vorlanx::config
