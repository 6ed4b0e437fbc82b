#pragma once

#include <filesystem>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace vorlanx::service {

class VorlanxService;

// The local control channel of vorlanxd: a Unix domain socket (mode 0600, so only the service's
// own user and root reach it) that takes one request line per connection and answers with JSON
// lines (see ControlSession). Each connection has a thread of its own, so a client that connects
// and says nothing holds up nobody; it is dropped after a while. Stopping closes the socket, ends
// every connection and removes the socket file.
class ControlServer {
public:
    static constexpr const char* kSocketName = "vorlanxd.sock";
    static constexpr std::size_t kMaxRequest = 64 * 1024;
    static constexpr std::size_t kMaxConnections = 32;

    // log gets one line per request, "[控制]" and the request, for the activity output.
    ControlServer(VorlanxService& service, std::function<void(const std::string&)> log);
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Creates the socket at path (a stale one left by a killed service is replaced) and starts
    // taking connections. On failure says why, and the service runs on without a control channel.
    std::optional<std::string> start(const std::filesystem::path& path);
    void stop();
    const std::filesystem::path& path() const { return m_path; }

private:
    struct Connection {
        int socket = -1;
        std::jthread thread;
        bool done = false;
    };

    void acceptLoop(std::stop_token stop);
    void serve(Connection& connection, std::stop_token stop);
    void reapFinished();

    VorlanxService& m_service;
    std::function<void(const std::string&)> m_log;
    std::filesystem::path m_path;
    int m_listener = -1;
    int m_wake[2] = {-1, -1}; // a pipe that wakes the accept loop to stop
    std::mutex m_mutex;
    std::list<Connection> m_connections;
    std::jthread m_acceptor;
};

} // namespace vorlanx::service
