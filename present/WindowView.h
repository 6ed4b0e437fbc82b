#pragma once

#include "config/ConnectionSettings.h"

#include <functional>
#include <string>
#include <vector>

namespace vorlanx::present {

// What the presenter asks of a window, always on the window's UI thread; texts in UTF-8. Each
// window fills these with calls on its own controls and holds nothing else of the behaviour.
struct WindowView {
    // A panel of the status bar, by its index in the window's description (ui::kStatusPanel...).
    std::function<void(int panel, const std::string& text)> setPanel;
    std::function<void(const std::string& text)> appendLog;

    // The online terminal list.
    std::function<void(const std::string& address, const std::string& port, const std::string& machine)> addOnlineRow;
    std::function<void(const std::string& address)> removeOnlineRow;
    std::function<void()> clearOnlineList;

    // The listener group: which of the port box, 开始监听 and 停止 take input.
    std::function<void(bool port, bool start, bool stop)> enableListener;
    std::function<void(const std::string& text)> setSuccessCount;
    std::function<void(const std::string& text)> setWhitelistCount;

    // The result group and the send fields.
    std::function<void(const std::string& caption)> setResultCaption;
    std::function<void(const std::string& text)> appendResult;
    std::function<void()> clearResults;
    std::function<void(const std::string& address, const std::string& port, const std::string& machine)> setSendFields;
    // Every button that starts an administration command or a download.
    std::function<void(bool enabled)> enableCommands;

    // The personnel list on page 黑白名单.
    std::function<void()> clearPersonnel;
    std::function<void(const std::vector<std::string>& cells)> addPersonnelRow;

    // The database settings group.
    std::function<void(const config::ConnectionSettings& settings)> showDatabaseSettings;
    std::function<void(bool enabled)> enableDatabaseSave;

    // A modal box with the window's title "信息：".
    std::function<void(const std::string& text)> showMessage;
    // Whether the port a start of listening could not have is held by this system's own service on
    // this computer; empty where there is no such service to ask about.
    std::function<bool()> portHeldByService;
    // Closes the window from outside its close handler (a queued close).
    std::function<void()> closeWindow;
};

} // namespace vorlanx::present
