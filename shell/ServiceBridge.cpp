#include "shell/ServiceBridge.h"

#include <QMetaObject>

#include <utility>

namespace vorlanx::shell {

ServiceBridge::ServiceBridge(QObject* parent) : QObject(parent) {}

void ServiceBridge::setViews(Views views) { m_views = std::move(views); }

void ServiceBridge::setLogSink(std::function<void(const QString&)> sink) { m_views.log = std::move(sink); }

void ServiceBridge::postLog(std::string utf8) { push({std::move(utf8), {}}); }

void ServiceBridge::postAction(std::function<void()> action) { push({{}, std::move(action)}); }

void ServiceBridge::push(Event event) {
    bool post = false;
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(event));
        post = !m_drainPosted;
        m_drainPosted = true;
    }
    // One posted drain serves every event that arrives until it runs.
    if (post)
        QMetaObject::invokeMethod(this, &ServiceBridge::drain, Qt::QueuedConnection);
}

void ServiceBridge::drain() {
    std::vector<Event> batch;
    {
        std::lock_guard lock(m_mutex);
        batch.swap(m_queue);
        m_drainPosted = false;
    }
    std::string pendingLog;
    auto flushLog = [&] {
        if (!pendingLog.empty() && m_views.log)
            m_views.log(QString::fromStdString(pendingLog));
        pendingLog.clear();
    };
    for (auto& event : batch) {
        if (event.action) {
            flushLog();
            event.action();
        } else {
            pendingLog += event.log;
        }
    }
    flushLog();
}

void ServiceBridge::clientEntry(const std::string& entry) { postLog(entry); }

void ServiceBridge::terminalAdded(const std::string& address, const std::string& portText, const std::string& machine,
                                  const std::string& totalText) {
    postAction([this, a = QString::fromStdString(address), p = QString::fromStdString(portText),
                m = QString::fromStdString(machine), t = QString::fromStdString(totalText)] {
        if (m_views.terminalAdded)
            m_views.terminalAdded(a, p, m, t);
    });
}

void ServiceBridge::terminalRemoved(const std::string& address, const std::string& statusText) {
    postAction([this, a = QString::fromStdString(address), s = QString::fromStdString(statusText)] {
        if (m_views.terminalRemoved)
            m_views.terminalRemoved(a, s);
    });
}

void ServiceBridge::resultAppended(const std::string& text, std::optional<std::size_t> successCount) {
    postAction([this, t = QString::fromStdString(text), successCount] {
        if (m_views.resultAppended)
            m_views.resultAppended(t, successCount);
    });
}

void ServiceBridge::personnelRefreshStarted(const std::string& operationText) {
    postAction([this, t = QString::fromStdString(operationText)] {
        if (m_views.personnelRefreshStarted)
            m_views.personnelRefreshStarted(t);
    });
}

void ServiceBridge::personnelListCleared() {
    postAction([this] {
        if (m_views.personnelListCleared)
            m_views.personnelListCleared();
    });
}

void ServiceBridge::personnelRowAdded(const txn::PersonnelRow& row, const std::string& countText) {
    QStringList cells{QString::fromStdString(row.code), QString::fromStdString(row.name),
                      QString::fromStdString(row.department), QString::fromStdString(row.card)};
    postAction([this, cells = std::move(cells), c = QString::fromStdString(countText)] {
        if (m_views.personnelRowAdded)
            m_views.personnelRowAdded(cells, c);
    });
}

void ServiceBridge::personnelListLoaded(std::size_t, const std::string& operationText) {
    postAction([this, t = QString::fromStdString(operationText)] {
        if (m_views.personnelListLoaded)
            m_views.personnelListLoaded(t);
    });
}

namespace {

std::optional<QString> toQString(const std::optional<std::string>& text) {
    if (!text)
        return std::nullopt;
    return QString::fromStdString(*text);
}

} // namespace

void ServiceBridge::statusChanged(const std::string& text) {
    postAction([this, t = QString::fromStdString(text)] {
        if (m_views.statusChanged)
            m_views.statusChanged(t);
    });
}

void ServiceBridge::operationChanged(const std::string& text) {
    postAction([this, t = QString::fromStdString(text)] {
        if (m_views.operationChanged)
            m_views.operationChanged(t);
    });
}

void ServiceBridge::startupConnectFinished(bool connected, const std::optional<std::string>& statusText) {
    postAction([this, connected, s = toQString(statusText)] {
        if (m_views.startupConnectFinished)
            m_views.startupConnectFinished(connected, s);
    });
}

void ServiceBridge::databaseSaveFinished(const std::optional<std::string>& message, bool restart) {
    postAction([this, m = toQString(message), restart] {
        if (m_views.databaseSaveFinished)
            m_views.databaseSaveFinished(m, restart);
    });
}

void ServiceBridge::commandFinished(bool completed, const std::optional<std::string>& statusText) {
    postAction([this, completed, s = toQString(statusText)] {
        if (m_views.commandFinished)
            m_views.commandFinished(completed, s);
    });
}

void ServiceBridge::captionChanged(const std::string& caption) {
    postAction([this, c = QString::fromStdString(caption)] {
        if (m_views.captionChanged)
            m_views.captionChanged(c);
    });
}

void ServiceBridge::resultsCleared() {
    postAction([this] {
        if (m_views.resultsCleared)
            m_views.resultsCleared();
    });
}

void ServiceBridge::sendFieldsChanged(const std::string& address, const std::string& port, const std::string& machine) {
    postAction([this, a = QString::fromStdString(address), p = QString::fromStdString(port),
                m = QString::fromStdString(machine)] {
        if (m_views.sendFieldsChanged)
            m_views.sendFieldsChanged(a, p, m);
    });
}

} // namespace vorlanx::shell
