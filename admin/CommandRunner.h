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

    // What a running job may do: send a frame, pause, ask whether it has been stopped.
    class Context {
    public:
        void send(const Destination& to, const std::string& frameHex);
        // False, at once, when the command is stopped before the pause is over.
        bool pause(std::chrono::milliseconds length);
        bool stopped() const;

    private:
        friend class CommandRunner;
        Context(CommandRunner& runner, std::stop_token& stop) : m_runner(runner), m_stop(stop) {}
        CommandRunner& m_runner;
        std::stop_token& m_stop;
    };
    // A command that decides its frames as it goes (the white-list download reads the personnel
    // rows terminal by terminal).
    using Job = std::function<void(Context&)>;

    explicit CommandRunner(link::DatagramSender& sender, ClockCode clockCode = {});
    ~CommandRunner();
    CommandRunner(const CommandRunner&) = delete;
    CommandRunner& operator=(const CommandRunner&) = delete;

    // Starts the plan and returns at once; false, and nothing runs, while another command runs.
    bool start(CommandPlan plan, Done done);
    bool startJob(Job job, Done done);
    // Ends the running command after its current frame. Without a running command it does nothing.
    void stop();
    bool busy() const;
    // Waits until no command runs; false when that takes longer than the limit.
    bool waitIdle(std::chrono::milliseconds limit) const;

private:
    void work(std::stop_token stop);
    void run(const CommandPlan& plan, Context& context);
    // Sleeps for the pause unless a stop comes first; false when stopped.
    bool pause(std::chrono::milliseconds length, std::stop_token& stop);
    bool stopRequested(const std::stop_token& stop) const;

    link::DatagramSender& m_sender;
    ClockCode m_clockCode;
    mutable std::mutex m_mutex;
    mutable std::condition_variable_any m_wake;
    mutable std::condition_variable m_idle;
    Job m_job;
    Done m_done;
    bool m_busy = false;
    bool m_stopRequested = false;
    // Declared last: started once everything above exists, joined before it goes.
    std::jthread m_worker;
};

} // namespace vorlanx::admin
