#pragma once

#include "admin/CommandPlan.h"
#include "link/DatagramSender.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

namespace vorlanx::admin {

// Sends one command plan at a time from the listening endpoint on a worker of its own, with the
// plan's pauses, so that whoever started it stays free meanwhile. A stop ends the command after
// the frame being sent; its pauses wake at once. Destruction stops and joins.
class CommandRunner {
public:
    // Called on the worker once the command has ended; completed is false when it was stopped.
    using Done = std::function<void(bool completed)>;
    // The 16-digit clock code of this moment, for set-clock frames.
    using ClockCode = std::function<std::string()>;

    explicit CommandRunner(link::DatagramSender& sender, ClockCode clockCode = {});
    ~CommandRunner();
    CommandRunner(const CommandRunner&) = delete;
    CommandRunner& operator=(const CommandRunner&) = delete;

    // Starts the plan and returns at once; false, and nothing runs, while another command runs.
    bool start(CommandPlan plan, Done done);
    // Ends the running command after its current frame. Without a running command it does nothing.
    void stop();
    bool busy() const;
    // Waits until no command runs; false when that takes longer than the limit.
    bool waitIdle(std::chrono::milliseconds limit) const;

private:
    void work(std::stop_token stop);
    void run(const CommandPlan& plan, bool& completed, std::stop_token& stop);
    // Sleeps for the pause unless a stop comes first; false when stopped.
    bool pause(std::chrono::milliseconds length, std::stop_token& stop);

    link::DatagramSender& m_sender;
    ClockCode m_clockCode;
    mutable std::mutex m_mutex;
    mutable std::condition_variable_any m_wake;
    mutable std::condition_variable m_idle;
    std::optional<CommandPlan> m_plan;
    Done m_done;
    bool m_busy = false;
    bool m_stopRequested = false;
    // Declared last: started once everything above exists, joined before it goes.
    std::jthread m_worker;
};

} // namespace vorlanx::admin
