#include "admin/CommandRunner.h"

#include "link/ClockTexts.h"
#include "link/FrameBuilders.h"
#include "link/HexText.h"

#include <chrono>
#include <utility>

namespace vorlanx::admin {

namespace {

// How long an idle worker waits before it looks at its queue and its stop request again.
constexpr std::chrono::milliseconds kWakeCheck{250};

} // namespace

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
    return startJob([this, plan = std::move(plan)](Context& context) { run(plan, context); }, std::move(done));
}

bool CommandRunner::startJob(Job job, Done done) {
    {
        std::lock_guard lock(m_mutex);
        if (m_busy)
            return false;
        m_busy = true;
        m_stopRequested = false;
        m_job = std::move(job);
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
        Job job;
        Done done;
        {
            std::unique_lock lock(m_mutex);
            // Bounded, so that a lost wake-up (seen with the Windows build's thread library under
            // Wine) costs a moment instead of a shutdown that never ends.
            while (!m_wake.wait_for(lock, stop, kWakeCheck, [this] { return static_cast<bool>(m_job); })) {
                if (stop.stop_requested())
                    return;
            }
            job = std::move(m_job);
            m_job = nullptr;
            done = std::move(m_done);
        }
        Context context(*this, stop);
        job(context);
        // The report comes before the runner takes the next command, so that what the command does
        // afterwards (saving its values) is done when busy() turns false.
        if (done)
            done(!context.stopped());
        {
            std::lock_guard lock(m_mutex);
            m_busy = false;
            m_stopRequested = false;
        }
        m_idle.notify_all();
    }
}

void CommandRunner::run(const CommandPlan& plan, Context& context) {
    for (const PlanStep& step : plan.steps) {
        if (context.stopped())
            return;
        if (step.kind != PlanStep::Kind::Pause) {
            // A set-clock frame carries the time of the moment it leaves, not of the click.
            context.send(step.to, step.kind == PlanStep::Kind::ClockFrame
                                      ? link::setClockFrame(step.to.machine, m_clockCode())
                                      : step.frameHex);
        }
        if (step.pauseAfter.count() > 0 && !context.pause(step.pauseAfter))
            return;
    }
}

bool CommandRunner::pause(std::chrono::milliseconds length, std::stop_token& stop) {
    std::unique_lock lock(m_mutex);
    const auto until = std::chrono::steady_clock::now() + length;
    return !m_wake.wait_until(lock, stop, until, [this] { return m_stopRequested; }) && !stop.stop_requested();
}

bool CommandRunner::stopRequested(const std::stop_token& stop) const {
    std::lock_guard lock(m_mutex);
    return m_stopRequested || stop.stop_requested();
}

void CommandRunner::Context::send(const Destination& to, const std::string& frameHex) {
    const auto bytes = link::hexToBytes(frameHex);
    m_runner.m_sender.sendDatagram(to.address, to.port, bytes);
}

bool CommandRunner::Context::pause(std::chrono::milliseconds length) { return m_runner.pause(length, m_stop); }

bool CommandRunner::Context::stopped() const { return m_runner.stopRequested(m_stop); }

} // namespace vorlanx::admin
