#include "present/ReportQueue.h"

#include <utility>

namespace vorlanx::present {

void ReportQueue::setPacing(Action later, Action quiet) {
    m_wakeLater = std::move(later);
    m_quiet = std::move(quiet);
}

void ReportQueue::postLog(std::string text) {
    push({std::move(text), {}});
}

void ReportQueue::post(Action action) {
    push({{}, std::move(action)});
}

void ReportQueue::push(Report report) {
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(report));
        wake = !m_woken;
        m_woken = true;
    }
    // One wake serves every report that arrives until the drain runs.
    if (wake && m_wake)
        m_wake();
}

void ReportQueue::wakeOnce() {
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        wake = !m_woken;
        m_woken = true;
    }
    if (wake && m_wake)
        m_wake();
}

void ReportQueue::later(Action action) {
    if (m_depth == 0) {
        action();
        return;
    }
    m_later.push_back(std::move(action));
}

bool ReportQueue::apply() {
    std::vector<Report> batch;
    {
        std::lock_guard lock(m_mutex);
        batch.swap(m_queue);
        if (!m_wakeLater)
            m_woken = false;
    }
    if (batch.empty())
        return false;
    ++m_depth;
    if (m_batch)
        m_batch(true);
    std::string pendingLog;
    auto flushLog = [&] {
        if (!pendingLog.empty() && m_log)
            m_log(pendingLog);
        pendingLog.clear();
    };
    for (Report& report : batch) {
        if (report.action) {
            flushLog();
            report.action();
        } else {
            pendingLog += report.log;
        }
    }
    flushLog();
    if (m_batch)
        m_batch(false);
    --m_depth;
    return true;
}

void ReportQueue::applyQueued() {
    // Called from an input handler that may itself run inside a drain (a box's message loop).
    ++m_depth;
    apply();
    --m_depth;
    // What the reports put off waits for the next drain, which this asks for.
    if (!m_later.empty())
        wakeOnce();
}

bool ReportQueue::drain() {
    const bool applied = apply();
    std::vector<Action> after;
    after.swap(m_later);
    const bool worked = applied || !after.empty();
    if (m_wakeLater) {
        if (worked) {
            m_wakeLater();
        } else {
            std::lock_guard lock(m_mutex);
            // Quiet: the next report wakes again. One that came meanwhile keeps the timer.
            if (m_queue.empty()) {
                m_woken = false;
                if (m_quiet)
                    m_quiet();
            }
        }
    }
    // After the pacing above: a box opened here runs its own message loop, and the reports that
    // arrive while it is open must still find a wake or a timer that brings them in.
    for (Action& action : after)
        action();
    return worked;
}

} // namespace vorlanx::present
