#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace vorlanx::e2e {

// vorlanxd as a child process on a free loopback port, serving a canteen directory. Its log goes
// to log.txt in that directory; the process is killed if it is still running at the end.
class ServiceProcess {
public:
    ServiceProcess(std::filesystem::path dir, std::uint16_t port = 0);
    ~ServiceProcess();
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    // Arguments added to --port and --dir at the next start.
    void addArguments(std::vector<std::string> arguments) { m_extra = std::move(arguments); }
    // Starts the service and waits until it answers a card query (at most 20 s).
    bool start();
    // SIGTERM without waiting; exited() then gives the exit code once the process has ended.
    void terminate() const;
    std::optional<int> exited(std::chrono::milliseconds limit);
    // Starts the service without waiting for it.
    bool spawn();
    // SIGTERM and wait: the pool finishes the jobs in hand. The exit code, or -1.
    int stop();
    std::uint16_t port() const { return m_port; }
    bool answers() const;
    std::string log() const;

private:
    std::filesystem::path m_dir;
    std::uint16_t m_port;
    pid_t m_pid = -1;
    std::vector<std::string> m_extra;
};

// A UDP port that was free on every local address a moment ago.
std::uint16_t freeUdpPort();

} // namespace vorlanx::e2e
