#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace vorlanx::shell {

// The one meeting point of the core's worker threads and the window. Workers hand over plain
// values from any thread; the bridge applies them on the UI thread in the order they were
// handed over. Log texts that arrive back to back are joined into one append, so that a flood
// of datagrams costs the window one update per batch, not one per datagram.
class ServiceBridge : public QObject {
public:
    using LogSink = std::function<void(const QString&)>;

    explicit ServiceBridge(QObject* parent = nullptr);

    void setLogSink(LogSink sink);

    // Safe from any thread.
    void postLog(std::string utf8);
    void postAction(std::function<void()> action);

    // Applies everything handed over so far; runs on the UI thread.
    void drain();

private:
    struct Event {
        std::string log;
        std::function<void()> action; // empty for a log text
    };
    void push(Event event);

    LogSink m_logSink;
    std::mutex m_mutex;
    std::vector<Event> m_queue;
    bool m_drainPosted = false;
};

} // namespace vorlanx::shell
