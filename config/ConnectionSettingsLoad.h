#pragma once

#include "config/ConnectionSettings.h"

#include <filesystem>
#include <optional>
#include <string>

namespace vorlanx::config {

// What the start-up does with the database part of conf.ini. The window applies what is set
// and leaves alone what is not; vorlanxd prints the panel texts.
struct ConnectionSettingsLoad {
    // Content for the database settings group; nullopt leaves the group as it is.
    std::optional<ConnectionSettings> shown;
    // "type" selects a database: connect with *shown, then call applyConnectResult.
    bool connectNeeded = false;
    // New text of the status panel and of the operation panel; nullopt leaves the panel alone.
    std::optional<std::string> statusText;
    std::optional<std::string> operationText;
    // Connected at start-up: the personnel list is loaded next.
    bool connected = false;

    void applyConnectResult(bool ok);
};

// The file part alone, for a window that connects on a worker thread: fill the group from
// shown first, connect when connectNeeded, and apply the outcome on the UI thread.
ConnectionSettingsLoad readDatabaseSettings(const std::filesystem::path& serviceDir);

// The whole start-up step: read, connect through connect when the file selects a database.
ConnectionSettingsLoad loadDatabaseSettings(const std::filesystem::path& serviceDir, const ConnectFunction& connect);

// Seconds a SQL Server command may run before it is cancelled and fails: key "timeout" of section
// "mssql", read at each connect. The client's default of 30 when absent or not a whole number
// from 1 to 3600.
constexpr int kDefaultCommandTimeoutSeconds = 30;
int readCommandTimeout(const std::filesystem::path& serviceDir);
// [mssql] queuewait: how many seconds a card transaction waits for the SQL Server connection, busy
// with the calls before it, before it is dropped unbooked (1 to 3600, default 10). A terminal sends
// an unanswered frame again after a few seconds; a job older than that answers nobody who waits.
constexpr int kDefaultQueueWaitSeconds = 10;
int readQueueWait(const std::filesystem::path& serviceDir);

} // namespace vorlanx::config
