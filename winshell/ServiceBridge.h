#pragma once

#include "service/ServiceListener.h"

#include <windows.h>

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vorlanx::winshell {

// The one meeting point of the core's worker threads and the window. The core reports plain
// values from any thread; the bridge queues them and posts one private message to the window,
// whose procedure drains the queue on the UI thread in the order the reports came. Log texts that
// of one batch are joined into one append after its other reports (the log is written by nothing
// else, so its order stays), so that a flood of datagrams costs the window one update per batch,
// not one per datagram.
//
// Windows hands a thread its posted messages before input, painting and timers, so a drain
// posted anew after every batch would starve the clock under a flood. After a drain that found
// work the next one therefore waits on a short timer, which yields to the rest; the first report
// after a quiet spell is still posted at once.
class ServiceBridge : public service::ServiceListener {
public:
    // The private message that asks the window to drain.
    static constexpr UINT kDrainMessage = WM_APP + 1;
    // The window's timer for the next drain during a flood, and its period.
    static constexpr UINT_PTR kDrainTimer = 4;
    static constexpr UINT kDrainPeriodMs = 50;

    // What the window does with each report, always called on the UI thread; texts in UTF-8.
    struct Views {
        std::function<void(const std::string&)> log;
        // Around the reports of one drain (true before, false after), so that the window can
        // hold its lists' and boxes' painting until the whole batch is in.
        std::function<void(bool)> batch;
        std::function<void(const std::string& address, const std::string& port, const std::string& machine,
                           const std::string& totalText)>
            terminalAdded;
        std::function<void(const std::string& address, const std::string& statusText)> terminalRemoved;
        std::function<void(const std::string& text, std::optional<std::size_t> successCount)> resultAppended;
        std::function<void(const std::string& operationText)> personnelRefreshStarted;
        std::function<void()> personnelListCleared;
        std::function<void(const std::vector<std::string>& row, const std::string& countText)> personnelRowAdded;
        std::function<void(const std::string& operationText)> personnelListLoaded;
        std::function<void(const std::string&)> statusChanged;
        std::function<void(const std::string&)> operationChanged;
        std::function<void(bool connected, const std::optional<std::string>& statusText)> startupConnectFinished;
        std::function<void(const std::optional<std::string>& message, bool restart)> databaseSaveFinished;
        std::function<void(bool completed, const std::optional<std::string>& statusText)> commandFinished;
        std::function<void(const std::string&)> captionChanged;
        std::function<void()> resultsCleared;
        std::function<void(const std::string& address, const std::string& port, const std::string& machine)>
            sendFieldsChanged;
    };

    explicit ServiceBridge(HWND window) : m_window(window) {}

    void setViews(Views views) { m_views = std::move(views); }

    // Applies everything reported so far; runs on the UI thread. False when there was nothing.
    bool drain();
    // The drain the bridge scheduled: kDrainMessage or kDrainTimer.
    void scheduledDrain();

    void clientEntry(const std::string& entry) override;
    void terminalAdded(const std::string& address, const std::string& portText, const std::string& machine,
                       const std::string& totalText) override;
    void terminalRemoved(const std::string& address, const std::string& statusText) override;
    void resultAppended(const std::string& text, std::optional<std::size_t> successCount) override;
    void personnelRefreshStarted(const std::string& operationText) override;
    void personnelListCleared() override;
    void personnelRowAdded(const txn::PersonnelRow& row, const std::string& countText) override;
    void personnelListLoaded(std::size_t count, const std::string& operationText) override;
    void statusChanged(const std::string& text) override;
    void operationChanged(const std::string& text) override;
    void startupConnectFinished(bool connected, const std::optional<std::string>& statusText) override;
    void databaseSaveFinished(const std::optional<std::string>& message, bool restart) override;
    void commandFinished(bool completed, const std::optional<std::string>& statusText) override;
    void captionChanged(const std::string& caption) override;
    void resultsCleared() override;
    void sendFieldsChanged(const std::string& address, const std::string& port, const std::string& machine) override;

private:
    struct Event {
        std::string log;
        std::function<void()> action; // empty for a log text
    };
    void push(Event event);
    void post(std::function<void()> action) { push({{}, std::move(action)}); }

    HWND m_window;
    Views m_views;
    std::mutex m_mutex;
    std::vector<Event> m_queue;
    bool m_drainPosted = false;
};

} // namespace vorlanx::winshell
