#include "shell/ServiceBridge.h"

#include <QMetaObject>

#include <utility>

namespace vorlanx::shell {

ServiceBridge::ServiceBridge(QObject* parent) : QObject(parent) {}

void ServiceBridge::setLogSink(LogSink sink) { m_logSink = std::move(sink); }

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
        if (!pendingLog.empty() && m_logSink)
            m_logSink(QString::fromStdString(pendingLog));
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

} // namespace vorlanx::shell
