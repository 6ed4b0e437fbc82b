#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace vorlanx::present {

// Carries the service's reports from its worker threads to a window's UI thread, in the order
// they were reported. A report is queued from any thread; the first one after a drain asks the
// window once to wake its UI thread (a queued call, a posted message), and that one drain applies
// everything queued meanwhile. Log texts that arrive back to back are joined into one append, so
// that a flood of datagrams costs the window one update per batch, not one per datagram.
//
// What must not run inside a drain (a modal message box, a restart) is put off with later(): it
// runs when the drain is over, so a box never holds back the reports behind it, and reports that
// arrive while it is open are drained by the box's own message loop.
class ReportQueue {
public:
    using Action = std::function<void()>;

    // wake: from any thread, asks the UI thread to call drain() soon.
    explicit ReportQueue(Action wake) : m_wake(std::move(wake)) {}
    ReportQueue(const ReportQueue&) = delete;
    ReportQueue& operator=(const ReportQueue&) = delete;

    // Where joined log texts go, and what runs around the reports of one drain (true before,
    // false after) so that a window can hold its painting until the whole batch is in. UI thread.
    void setLogSink(std::function<void(const std::string&)> sink) { m_log = std::move(sink); }
    void setBatchHook(std::function<void(bool)> hook) { m_batch = std::move(hook); }
    // A window whose queued wakes come before its input and painting (Win32's posted messages)
    // would starve them under a flood if every drain were followed by a wake. With pacing, a drain
    // that found work asks for the next one by later() (a short timer) and keeps further reports
    // from waking; the first quiet drain calls quiet() and lets the next report wake again.
    void setPacing(Action later, Action quiet);

    // Any thread.
    void postLog(std::string text);
    void post(Action action);

    // UI thread: runs `action` once the drain under way is over, or at once outside a drain.
    void later(Action action);
    bool draining() const { return m_depth > 0; }

    // UI thread: applies everything queued so far, then what later() put off. False when there
    // was nothing to do.
    bool drain();
    // UI thread: applies what is queued so far but leaves what later() puts off to the next
    // drain; for input handlers that must see earlier reports land first.
    void applyQueued();

private:
    struct Report {
        std::string log;
        Action action; // empty for a log text
    };
    void push(Report report);
    bool apply();
    void wakeOnce();

    Action m_wake;
    Action m_wakeLater;
    Action m_quiet;
    std::function<void(const std::string&)> m_log;
    std::function<void(bool)> m_batch;
    std::mutex m_mutex;
    std::vector<Report> m_queue;
    bool m_woken = false;
    // UI thread only.
    int m_depth = 0;
    std::vector<Action> m_later;
};

} // namespace vorlanx::present
