#pragma once

#include "admin/CommandRequest.h"
#include "service/NullServiceListener.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace vorlanx::service {

class VorlanxService;

// One request of the control channel: a JSON array of the words of a vorlanxctl command, run
// against the service. What it has to say goes out as JSON lines through emit, as it happens
// (answers of terminals, download progress), and ends with one document {"event":"done",...}
// that carries the exit status. Reports of the service arrive on its threads and are queued, so
// that a slow client never holds up the receive worker.
class ControlSession final : public NullServiceListener {
public:
    using Emit = std::function<void(const std::string& jsonLine)>;

    // Exit statuses, as vorlanxctl returns them.
    static constexpr int kAllAnswered = 0;
    static constexpr int kUnreachable = 1;
    static constexpr int kBadRequest = 2;
    static constexpr int kSomeSilent = 3;

    // clientGone tells whether the client has hung up; a command it started is then cancelled.
    ControlSession(VorlanxService& service, Emit emit, std::stop_token stop, std::function<bool()> clientGone = {});

    // Runs the request to its end; returns the exit status it reported.
    int run(const std::string& requestLine);

    // The command words of a request line, or nullopt when it is no JSON array of strings.
    static std::optional<std::vector<std::string>> parseRequest(const std::string& line);

    void resultAppended(const std::string& text, std::optional<std::size_t> successCount) override;
    void commandFinished(bool completed, const std::optional<std::string>& statusText) override;
    void captionChanged(const std::string& caption) override;

private:
    struct Event {
        enum class Kind { Answer, Finished, Caption } kind;
        std::string text;
        // The command running (or run last) when the report arrived.
        std::uint64_t command = 0;
    };

    int dispatch(const std::vector<std::string>& words);
    int status();
    int terminals(const std::vector<std::string>& words);
    int reloadPersonnel(const std::vector<std::string>& words);
    int cancel(const std::vector<std::string>& words);
    int administer(const std::vector<std::string>& words);
    int finish(int exitStatus, const std::string& field, const std::string& jsonValue);
    int refuse(const std::string& message);
    // Runs the command and follows it: answers, progress, then the wait for late answers.
    int follow(const admin::CommandRequest& request, std::chrono::milliseconds wait);
    std::optional<Event> nextEvent(std::chrono::steady_clock::time_point until);
    bool finishedQueued();

    VorlanxService& m_service;
    Emit m_emit;
    std::stop_token m_stop;
    std::function<bool()> m_clientGone;
    std::mutex m_mutex;
    std::condition_variable_any m_ready;
    std::deque<Event> m_events;
    // The number of the command this session started; 0 before it started one.
    std::uint64_t m_commandId = 0;
};

} // namespace vorlanx::service
