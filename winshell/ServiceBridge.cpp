#include "winshell/ServiceBridge.h"

#include <utility>

namespace vorlanx::winshell {

void ServiceBridge::push(Event event) {
    bool postNow = false;
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(event));
        postNow = !m_drainPosted;
        m_drainPosted = true;
    }
    // One posted message serves every report that arrives until the window drains.
    if (postNow)
        PostMessageW(m_window, kDrainMessage, 0, 0);
}

void ServiceBridge::scheduledDrain() {
    if (drain()) {
        SetTimer(m_window, kDrainTimer, kDrainPeriodMs, nullptr);
        return;
    }
    std::lock_guard lock(m_mutex);
    // Quiet: the next report posts again. A report that came meanwhile keeps the timer.
    if (m_queue.empty()) {
        KillTimer(m_window, kDrainTimer);
        m_drainPosted = false;
    }
}

bool ServiceBridge::drain() {
    std::vector<Event> batch;
    {
        std::lock_guard lock(m_mutex);
        batch.swap(m_queue);
    }
    if (batch.empty())
        return false;
    std::string log;
    if (m_views.batch)
        m_views.batch(true);
    for (auto& event : batch) {
        if (event.action)
            event.action();
        else
            log += event.log;
    }
    if (!log.empty() && m_views.log)
        m_views.log(log);
    if (m_views.batch)
        m_views.batch(false);
    return true;
}

void ServiceBridge::clientEntry(const std::string& entry) {
    push({entry, {}});
}

void ServiceBridge::terminalAdded(const std::string& address, const std::string& portText, const std::string& machine,
                                  const std::string& totalText) {
    post([this, address, portText, machine, totalText] {
        if (m_views.terminalAdded)
            m_views.terminalAdded(address, portText, machine, totalText);
    });
}

void ServiceBridge::terminalRemoved(const std::string& address, const std::string& statusText) {
    post([this, address, statusText] {
        if (m_views.terminalRemoved)
            m_views.terminalRemoved(address, statusText);
    });
}

void ServiceBridge::resultAppended(const std::string& text, std::optional<std::size_t> successCount) {
    post([this, text, successCount] {
        if (m_views.resultAppended)
            m_views.resultAppended(text, successCount);
    });
}

void ServiceBridge::personnelRefreshStarted(const std::string& operationText) {
    post([this, operationText] {
        if (m_views.personnelRefreshStarted)
            m_views.personnelRefreshStarted(operationText);
    });
}

void ServiceBridge::personnelListCleared() {
    post([this] {
        if (m_views.personnelListCleared)
            m_views.personnelListCleared();
    });
}

void ServiceBridge::personnelRowAdded(const txn::PersonnelRow& row, const std::string& countText) {
    post([this, cells = std::vector<std::string>{row.code, row.name, row.department, row.card}, countText] {
        if (m_views.personnelRowAdded)
            m_views.personnelRowAdded(cells, countText);
    });
}

void ServiceBridge::personnelListLoaded(std::size_t, const std::string& operationText) {
    post([this, operationText] {
        if (m_views.personnelListLoaded)
            m_views.personnelListLoaded(operationText);
    });
}

void ServiceBridge::statusChanged(const std::string& text) {
    post([this, text] {
        if (m_views.statusChanged)
            m_views.statusChanged(text);
    });
}

void ServiceBridge::operationChanged(const std::string& text) {
    post([this, text] {
        if (m_views.operationChanged)
            m_views.operationChanged(text);
    });
}

void ServiceBridge::startupConnectFinished(bool connected, const std::optional<std::string>& statusText) {
    post([this, connected, statusText] {
        if (m_views.startupConnectFinished)
            m_views.startupConnectFinished(connected, statusText);
    });
}

void ServiceBridge::databaseSaveFinished(const std::optional<std::string>& message, bool restart) {
    post([this, message, restart] {
        if (m_views.databaseSaveFinished)
            m_views.databaseSaveFinished(message, restart);
    });
}

void ServiceBridge::commandFinished(bool completed, const std::optional<std::string>& statusText) {
    post([this, completed, statusText] {
        if (m_views.commandFinished)
            m_views.commandFinished(completed, statusText);
    });
}

void ServiceBridge::captionChanged(const std::string& caption) {
    post([this, caption] {
        if (m_views.captionChanged)
            m_views.captionChanged(caption);
    });
}

void ServiceBridge::resultsCleared() {
    post([this] {
        if (m_views.resultsCleared)
            m_views.resultsCleared();
    });
}

void ServiceBridge::sendFieldsChanged(const std::string& address, const std::string& port, const std::string& machine) {
    post([this, address, port, machine] {
        if (m_views.sendFieldsChanged)
            m_views.sendFieldsChanged(address, port, machine);
    });
}

} // namespace vorlanx::winshell
