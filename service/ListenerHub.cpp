#include "service/ListenerHub.h"

#include <mutex>

namespace vorlanx::service {

void ListenerHub::attach(ServiceListener* listener) {
    std::unique_lock lock(m_mutex);
    m_listener = listener;
    recountReaders();
}

void ListenerHub::addObserver(ServiceListener* observer) {
    std::unique_lock lock(m_mutex);
    m_observers.push_back(observer);
    recountReaders();
}

void ListenerHub::removeObserver(ServiceListener* observer) {
    std::unique_lock lock(m_mutex);
    std::erase(m_observers, observer);
    recountReaders();
}

void ListenerHub::recountReaders() {
    bool shows = m_listener != nullptr && m_listener->showsClientEntries();
    for (const ServiceListener* observer : m_observers)
        shows = shows || observer->showsClientEntries();
    m_showsEntries.store(shows, std::memory_order_relaxed);
}

template <typename Report> void ListenerHub::pass(Report&& report) {
    // Shared: the receive worker, the transaction workers and the others report side by side.
    std::shared_lock lock(m_mutex);
    if (m_listener)
        report(*m_listener);
    for (ServiceListener* observer : m_observers)
        report(*observer);
}

void ListenerHub::clientEntry(const std::string& entry) {
    pass([&](ServiceListener& l) { l.clientEntry(entry); });
}

void ListenerHub::terminalAdded(const std::string& address, const std::string& portText, const std::string& machine,
                                const std::string& totalText) {
    pass([&](ServiceListener& l) { l.terminalAdded(address, portText, machine, totalText); });
}

void ListenerHub::terminalRemoved(const std::string& address, const std::string& statusText) {
    pass([&](ServiceListener& l) { l.terminalRemoved(address, statusText); });
}

void ListenerHub::transactionLogged(const std::string& line) {
    pass([&](ServiceListener& l) { l.transactionLogged(line); });
}

void ListenerHub::resultAppended(const std::string& text, std::optional<std::size_t> successCount) {
    pass([&](ServiceListener& l) { l.resultAppended(text, successCount); });
}

void ListenerHub::personnelRefreshStarted(const std::string& operationText) {
    pass([&](ServiceListener& l) { l.personnelRefreshStarted(operationText); });
}

void ListenerHub::personnelListCleared() {
    pass([&](ServiceListener& l) { l.personnelListCleared(); });
}

void ListenerHub::personnelRowAdded(const txn::PersonnelRow& row, const std::string& countText) {
    pass([&](ServiceListener& l) { l.personnelRowAdded(row, countText); });
}

void ListenerHub::personnelListLoaded(std::size_t count, const std::string& operationText) {
    pass([&](ServiceListener& l) { l.personnelListLoaded(count, operationText); });
}

void ListenerHub::personnelListLoadFailed(const std::string& operationText) {
    pass([&](ServiceListener& l) { l.personnelListLoadFailed(operationText); });
}

void ListenerHub::statusChanged(const std::string& text) {
    pass([&](ServiceListener& l) { l.statusChanged(text); });
}

void ListenerHub::operationChanged(const std::string& text) {
    pass([&](ServiceListener& l) { l.operationChanged(text); });
}

void ListenerHub::startupConnectFinished(bool connected, const std::optional<std::string>& statusText) {
    pass([&](ServiceListener& l) { l.startupConnectFinished(connected, statusText); });
}

void ListenerHub::databaseSaveFinished(const std::optional<std::string>& message, bool restart) {
    pass([&](ServiceListener& l) { l.databaseSaveFinished(message, restart); });
}

void ListenerHub::commandFinished(bool completed, const std::optional<std::string>& statusText) {
    pass([&](ServiceListener& l) { l.commandFinished(completed, statusText); });
}

void ListenerHub::captionChanged(const std::string& caption) {
    pass([&](ServiceListener& l) { l.captionChanged(caption); });
}

void ListenerHub::resultsCleared() {
    pass([&](ServiceListener& l) { l.resultsCleared(); });
}

void ListenerHub::sendFieldsChanged(const std::string& address, const std::string& port, const std::string& machine) {
    pass([&](ServiceListener& l) { l.sendFieldsChanged(address, port, machine); });
}

} // namespace vorlanx::service
