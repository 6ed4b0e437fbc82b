#include "service/ControlServer.h"

#include "service/ControlSession.h"
#include "service/VorlanxService.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace vorlanx::service {

namespace {

// A client that has not delivered its whole request by then is dropped, however it trickles;
// one that reads nothing for as long stops getting answers.
constexpr int kIdleSeconds = 10;

std::string systemError(const std::string& what) { return what + ": " + std::strerror(errno); }

bool sendAll(int socket, const std::string& text) {
    std::size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = ::send(socket, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

void setTimeouts(int socket) {
    timeval limit{kIdleSeconds, 0};
    ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

std::string refusal(const std::string& message) {
    return nlohmann::json({{"event", "done"}, {"exit", ControlSession::kBadRequest}, {"error", message}}).dump() +
           "\n";
}

} // namespace

ControlServer::ControlServer(VorlanxService& service, std::function<void(const std::string&)> log)
    : m_service(service), m_log(std::move(log)) {}

ControlServer::~ControlServer() { stop(); }

std::optional<std::string> ControlServer::start(const std::filesystem::path& path) {
    sockaddr_un address{};
    const std::string text = path.string();
    if (text.size() >= sizeof address.sun_path)
        return "control socket " + text + ": the path is " + std::to_string(text.size()) +
               " bytes, over the limit of " + std::to_string(sizeof address.sun_path - 1);
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    address.sun_family = AF_UNIX;

    struct stat existing{};
    if (::lstat(text.c_str(), &existing) == 0) {
        if (!S_ISSOCK(existing.st_mode))
            return "control socket " + text + ": something else of that name is in the way";
        // A socket that answers belongs to a service that runs; one that does not was left behind.
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool alive =
            probe >= 0 && ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        if (probe >= 0)
            ::close(probe);
        if (alive)
            return "control socket " + text + ": another vorlanxd answers on it";
        ::unlink(text.c_str());
    }

    m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listener < 0)
        return systemError("control socket " + text);
    // Created with no access for others, then set exactly: never readable by anyone else, not
    // even for a moment.
    const mode_t previous = ::umask(0177);
    const int bound = ::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::umask(previous);
    if (bound != 0 || ::chmod(text.c_str(), 0600) != 0 || ::listen(m_listener, 16) != 0 ||
        ::pipe2(m_wake, O_CLOEXEC) != 0) {
        const std::string error = systemError("control socket " + text);
        ::close(m_listener);
        m_listener = -1;
        ::unlink(text.c_str());
        return error;
    }
    m_path = path;
    m_acceptor = std::jthread([this](std::stop_token stop) { acceptLoop(std::move(stop)); });
    return std::nullopt;
}

void ControlServer::stop() {
    if (m_listener < 0)
        return;
    m_acceptor.request_stop();
    const char byte = 0;
    [[maybe_unused]] const ssize_t woken = ::write(m_wake[1], &byte, 1);
    if (m_acceptor.joinable())
        m_acceptor.join();
    {
        // Every connection's reads and writes return at once; then its thread ends.
        std::lock_guard lock(m_mutex);
        for (Connection& c : m_connections) {
            c.thread.request_stop();
            ::shutdown(c.socket, SHUT_RDWR);
        }
    }
    for (Connection& c : m_connections)
        if (c.thread.joinable())
            c.thread.join();
    for (Connection& c : m_connections)
        ::close(c.socket);
    m_connections.clear();
    ::close(m_listener);
    ::close(m_wake[0]);
    ::close(m_wake[1]);
    m_listener = -1;
    ::unlink(m_path.string().c_str());
}

void ControlServer::acceptLoop(std::stop_token stop) {
    pollfd watched[2] = {{m_listener, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
    while (!stop.stop_requested()) {
        if (::poll(watched, 2, 1000) <= 0) {
            reapFinished();
            continue;
        }
        if (watched[1].revents != 0)
            break;
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        setTimeouts(client);
        reapFinished();
        std::lock_guard lock(m_mutex);
        if (m_connections.size() >= kMaxConnections) {
            sendAll(client, refusal("vorlanxd is serving as many control connections as it takes; try again"));
            ::close(client);
            continue;
        }
        Connection& c = m_connections.emplace_back();
        c.socket = client;
        c.thread = std::jthread([this, &c](std::stop_token token) { serve(c, std::move(token)); });
    }
}

void ControlServer::serve(Connection& connection, std::stop_token stop) {
    std::string request;
    char buffer[4096];
    bool complete = false;
    bool late = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kIdleSeconds);
    while (!complete && request.size() <= kMaxRequest && !stop.stop_requested()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        pollfd readable{connection.socket, POLLIN, 0};
        const int ready = left > 0 ? ::poll(&readable, 1, static_cast<int>(left)) : 0;
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            late = true;
        if (ready <= 0)
            break;
        const ssize_t n = ::recv(connection.socket, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // closed
        request.append(buffer, static_cast<std::size_t>(n));
        const std::size_t end = request.find('\n');
        if (end != std::string::npos) {
            request.resize(end);
            complete = true;
        }
    }
    if (request.size() > kMaxRequest) {
        sendAll(connection.socket, refusal("request over " + std::to_string(kMaxRequest) + " bytes"));
    } else if (late) {
        sendAll(connection.socket,
                refusal("no whole request within " + std::to_string(kIdleSeconds) + " s of connecting"));
    } else if (complete) {
        if (!request.empty() && request.back() == '\r')
            request.pop_back();
        if (m_log)
            m_log("[控制]" + request);
        // Closed, not only shut for writing: a client may half-close once its request is sent.
        const auto hungUp = [&connection] {
            pollfd watched{connection.socket, 0, 0};
            return ::poll(&watched, 1, 0) > 0 && (watched.revents & (POLLHUP | POLLERR)) != 0;
        };
        ControlSession session(
            m_service, [&connection](const std::string& line) { sendAll(connection.socket, line + "\n"); }, stop,
            hungUp);
        session.run(request);
    }
    ::shutdown(connection.socket, SHUT_RDWR);
    std::lock_guard lock(m_mutex);
    connection.done = true;
}

void ControlServer::reapFinished() {
    std::lock_guard lock(m_mutex);
    for (auto it = m_connections.begin(); it != m_connections.end();) {
        if (!it->done) {
            ++it;
            continue;
        }
        if (it->thread.joinable())
            it->thread.join();
        ::close(it->socket);
        it = m_connections.erase(it);
    }
}

} // namespace vorlanx::service
