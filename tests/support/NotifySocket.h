#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace vorlanx::test {

// systemd's end of the notify socket: a Unix datagram socket whose path the service gets in
// NOTIFY_SOCKET, set for the child only while this object lives.
class NotifySocket {
public:
    using Clock = std::chrono::steady_clock;

    NotifySocket() {
        std::random_device random;
        m_path = std::filesystem::temp_directory_path() / ("vorlanxd-notify-" + std::to_string(random()));
        m_fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", m_path.c_str());
        m_bound = bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        setenv("NOTIFY_SOCKET", m_path.c_str(), 1);
    }
    ~NotifySocket() {
        unsetenv("NOTIFY_SOCKET");
        unsetenv("WATCHDOG_USEC");
        ::close(m_fd);
        std::error_code error;
        std::filesystem::remove(m_path, error);
    }
    NotifySocket(const NotifySocket&) = delete;
    NotifySocket& operator=(const NotifySocket&) = delete;

    bool bound() const { return m_bound; }

    // The next message, or nothing once `deadline` has passed.
    std::optional<std::string> next(Clock::time_point deadline) {
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return std::nullopt;
            pollfd p{m_fd, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
                continue;
            char message[4096];
            const auto n = recv(m_fd, message, sizeof message, 0);
            if (n > 0)
                return std::string(message, static_cast<std::size_t>(n));
        }
    }

    // Messages until one holds `part`; every message read is kept in `seen`.
    bool waitFor(const std::string& part, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        const auto deadline = Clock::now() + limit;
        while (auto message = next(deadline)) {
            seen.push_back(std::move(*message));
            if (seen.back().find(part) != std::string::npos)
                return true;
        }
        return false;
    }

    // When each WATCHDOG=1 came, reading until `until`.
    std::vector<Clock::time_point> beatsUntil(Clock::time_point until) {
        std::vector<Clock::time_point> beats;
        while (auto message = next(until))
            if (message->find("WATCHDOG=1") != std::string::npos)
                beats.push_back(Clock::now());
        return beats;
    }

    std::vector<std::string> seen;

private:
    std::filesystem::path m_path;
    int m_fd = -1;
    bool m_bound = false;
};

} // namespace vorlanx::test
