#pragma once

#include "service/ServiceListener.h"

#include <atomic>
#include <shared_mutex>
#include <vector>

namespace vorlanx::service {

// The one listener the service's parts report to. It passes every report on to the listener
// attached at that moment (the window, or vorlanxd's console), or drops it when none is: the parts
// are built before the window that shows their reports and may outlive it. Observers (a control
// request following its command) get every report too. Detaching waits for the reports under way.
class ListenerHub final : public ServiceListener {
public:
    void attach(ServiceListener* listener);
    void addObserver(ServiceListener* observer);
    void removeObserver(ServiceListener* observer);

    // Whether the listener or an observer attached now shows the entries; read for every datagram,
    // so it is kept up to date on attach and detach rather than asked of each.
    bool showsClientEntries() const override { return m_showsEntries.load(std::memory_order_relaxed); }
    void clientEntry(const std::string& entry) override;
    void terminalAdded(const std::string& address, const std::string& portText, const std::string& machine,
                       const std::string& totalText) override;
    void terminalRemoved(const std::string& address, const std::string& statusText) override;
    void resultAppended(const std::string& text, std::optional<std::size_t> successCount) override;
    void transactionLogged(const std::string& line) override;
    void personnelRefreshStarted(const std::string& operationText) override;
    void personnelListCleared() override;
    void personnelRowAdded(const txn::PersonnelRow& row, const std::string& countText) override;
    void personnelListLoaded(std::size_t count, const std::string& operationText) override;
    void personnelListLoadFailed(const std::string& operationText) override;
    void statusChanged(const std::string& text) override;
    void operationChanged(const std::string& text) override;
    void startupConnectFinished(bool connected, const std::optional<std::string>& statusText) override;
    void databaseSaveFinished(const std::optional<std::string>& message, bool restart) override;
    void commandFinished(bool completed, const std::optional<std::string>& statusText) override;
    void captionChanged(const std::string& caption) override;
    void resultsCleared() override;
    void sendFieldsChanged(const std::string& address, const std::string& port, const std::string& machine) override;

private:
    template <typename Report> void pass(Report&& report);
    void recountReaders(); // under the unique lock

    std::shared_mutex m_mutex;
    ServiceListener* m_listener = nullptr;
    std::vector<ServiceListener*> m_observers;
    std::atomic<bool> m_showsEntries{false};
};

} // namespace vorlanx::service
