#pragma once

#include "service/ServiceListener.h"

#include <QObject>
#include <QString>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace vorlanx::shell {

// The one meeting point of the core's worker threads and the window. The core reports plain
// values from any thread; the bridge applies them on the UI thread in the order they were
// reported. Log texts that arrive back to back are joined into one append, so that a flood of
// datagrams costs the window one update per batch, not one per datagram.
class ServiceBridge : public QObject, public service::ServiceListener {
public:
    // What the window does with each report, always called on the UI thread.
    struct Views {
        std::function<void(const QString&)> log;
        std::function<void(const QString& address, const QString& port, const QString& machine,
                           const QString& totalText)>
            terminalAdded;
        std::function<void(const QString& address, const QString& statusText)> terminalRemoved;
        std::function<void(const QString& text, std::optional<std::size_t> successCount)> resultAppended;
        std::function<void(const QString& operationText)> personnelRefreshStarted;
        std::function<void()> personnelListCleared;
        std::function<void(const QStringList& row, const QString& countText)> personnelRowAdded;
        std::function<void(const QString& operationText)> personnelListLoaded;
        std::function<void(const QString&)> statusChanged;
        std::function<void(const QString&)> operationChanged;
        std::function<void(bool connected, std::optional<QString> statusText)> startupConnectFinished;
        std::function<void(std::optional<QString> message, bool restart)> databaseSaveFinished;
        std::function<void(bool completed, std::optional<QString> statusText)> commandFinished;
        std::function<void(const QString&)> captionChanged;
        std::function<void()> resultsCleared;
        std::function<void(const QString& address, const QString& port, const QString& machine)> sendFieldsChanged;
    };

    explicit ServiceBridge(QObject* parent = nullptr);

    void setViews(Views views);
    void setLogSink(std::function<void(const QString&)> sink);

    // Safe from any thread.
    void postLog(std::string utf8);
    void postAction(std::function<void()> action);

    // Applies everything reported so far; runs on the UI thread.
    void drain();

    // Reports of the dispatcher, from the receive worker.
    void clientEntry(const std::string& entry) override;
    void terminalAdded(const std::string& address, const std::string& portText, const std::string& machine,
                       const std::string& totalText) override;
    void terminalRemoved(const std::string& address, const std::string& statusText) override;
    void resultAppended(const std::string& text, std::optional<std::size_t> successCount) override;

    // Reports of the personnel load, from its worker.
    void personnelRefreshStarted(const std::string& operationText) override;
    void personnelListCleared() override;
    void personnelRowAdded(const txn::PersonnelRow& row, const std::string& countText) override;
    void personnelListLoaded(std::size_t count, const std::string& operationText) override;

    // Reports of the service's own workers.
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

    Views m_views;
    std::mutex m_mutex;
    std::vector<Event> m_queue;
    bool m_drainPosted = false;
};

} // namespace vorlanx::shell
