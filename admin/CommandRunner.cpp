#include "admin/CommandRunner.h"

#include "link/ClockTexts.h"
#include "link/FrameBuilders.h"
#include "link/HexText.h"

#include <utility>

namespace vorlanx::admin {

CommandRunner::CommandRunner(link::DatagramSender& sender, ClockCode clockCode)
    : m_sender(sender), m_clockCode(std::move(clockCode)),
      m_worker([this](std::stop_token stop) { work(std::move(stop)); }) {
    if (!m_clockCode)
        m_clockCode = [] { return link::currentClockTexts().code; };
}

CommandRunner::~CommandRunner() {
    m_worker.request_stop();
    m_wake.notify_all();
}

bool CommandRunner::start(CommandPlan plan, Done done) {
    {
        std::lock_guard lock(m_mutex);
        if (m_busy)
            return false;
        m_busy = true;
        m_stopRequested = false;
        m_plan = std::move(plan);
        m_done = std::move(done);
    }
    m_wake.notify_all();
    return true;
}

void CommandRunner::stop() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_busy)
            return;
        m_stopRequested = true;
    }
    m_wake.notify_all();
}

bool CommandRunner::busy() const {
    std::lock_guard lock(m_mutex);
    return m_busy;
}

bool CommandRunner::waitIdle(std::chrono::milliseconds limit) const {
    std::unique_lock lock(m_mutex);
    return m_idle.wait_for(lock, limit, [this] { return !m_busy; });
}

void CommandRunner::work(std::stop_token stop) {
    for (;;) {
        CommandPlan plan;
        Done done;
        {
            std::unique_lock lock(m_mutex);
            if (!m_wake.wait(lock, stop, [this] { return m_plan.has_value(); }))
                return;
            plan = std::move(*m_plan);
            m_plan.reset();
            done = std::move(m_done);
        }
        bool completed = true;
        run(plan, completed, stop);
        // The report comes before the runner takes the next command, so that what the command does
        // afterwards (saving its values) is done when busy() turns false.
        if (done)
            done(completed);
        {
            std::lock_guard lock(m_mutex);
            m_busy = false;
            m_stopRequested = false;
        }
        m_idle.notify_all();
    }
}

void CommandRunner::run(const CommandPlan& plan, bool& completed, std::stop_token& stop) {
    for (const PlanStep& step : plan.steps) {
        {
            std::lock_guard lock(m_mutex);
            if (m_stopRequested || stop.stop_requested()) {
                completed = false;
                return;
            }
        }
        if (step.kind != PlanStep::Kind::Pause) {
            // A set-clock frame carries the time of the moment it leaves, not of the click.
            const std::string frame =
                step.kind == PlanStep::Kind::ClockFrame ? link::setClockFrame(step.to.machine, m_clockCode())
                                                        : step.frameHex;
            const auto bytes = link::hexToBytes(frame);
            m_sender.sendDatagram(step.to.address, step.to.port, bytes);
        }
        if (step.pauseAfter.count() > 0 && !pause(step.pauseAfter, stop)) {
            completed = false;
            return;
        }
    }
}

bool CommandRunner::pause(std::chrono::milliseconds length, std::stop_token& stop) {
    std::unique_lock lock(m_mutex);
    const auto until = std::chrono::steady_clock::now() + length;
    return !m_wake.wait_until(lock, stop, until, [this] { return m_stopRequested; }) && !stop.stop_requested();
}

} // namespace vorlanx::admin
