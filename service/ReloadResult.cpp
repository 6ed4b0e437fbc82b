#include "service/ReloadResult.h"

namespace vorlanx::service {

std::string ReloadResult::summary() const {
    std::string text = settingsRead ? "conf.ini read" : "conf.ini selects no known database";
    switch (database) {
    case DatabaseStep::Kept:
        text += "; database unchanged";
        break;
    case DatabaseStep::Reconnected:
        text += "; database reconnected";
        break;
    case DatabaseStep::Disconnected:
        text += "; database disconnected";
        break;
    case DatabaseStep::LeftAlone:
        text += "; database left as it was";
        break;
    }
    text += connected ? ", connected" : ", not connected";
    if (personnelRows && personnelLoadFailed)
        text += "; personnel list failed to load, the " + std::to_string(*personnelRows) + " rows before kept";
    else if (personnelRows)
        text += "; personnel list " + std::to_string(*personnelRows) + " rows";
    else
        text += "; personnel list not reloaded";
    if (!finished)
        text += "; still under way after the time limit";
    if (allowListKept)
        text += "; conf.ini cannot be read, the senders served stay as they were";
    if (badAllowItem)
        text += "; [terminals] allow: \"" + *badAllowItem + "\" is no IPv4 address or range, the senders served stay as they were";
    return text;
}

} // namespace vorlanx::service
