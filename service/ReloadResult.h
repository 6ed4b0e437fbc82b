#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace vorlanx::service {

// What a reload of the running service did, step by step, for vorlanxd's log and the status line
// a supervisor shows. Each step that a reload gains reports here.
struct ReloadResult {
    enum class DatabaseStep {
        Kept,         // conf.ini names the database in use, still connected
        Reconnected,  // its settings changed, or the connection was gone
        Disconnected, // conf.ini now selects no database
        LeftAlone,    // conf.ini is missing or its "type" unknown: payments go on as before
    };

    // conf.ini selects a database kind the service knows ("type" 0, 1 or 2).
    bool settingsRead = false;
    DatabaseStep database = DatabaseStep::Kept;
    bool connected = false;
    // Rows of the personnel list loaded anew; nullopt when there was no database to load from.
    std::optional<std::size_t> personnelRows;
    // The load failed: personnelRows counts the list loaded before, which stays in force.
    bool personnelLoadFailed = false;
    // False when the connect or the load outlasted the reload's time limit and still runs.
    bool finished = true;
    // A bad item of the allow-list ([terminals] allow); the senders served until then still are.
    std::optional<std::string> badAllowItem;
    // conf.ini could not be read: the allow-list in force stays, since no file means no new list.
    bool allowListKept = false;

    // One line, e.g. "conf.ini read; database reconnected, connected; personnel list 50 rows".
    std::string summary() const;
};

} // namespace vorlanx::service
