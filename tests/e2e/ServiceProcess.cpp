#include "tests/e2e/ServiceProcess.h"

#include "link/UdpEndpoint.h"
#include "tools/vorlanx-termsim/Simulator.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vorlanx::e2e {

std::uint16_t freeUdpPort() {
    link::UdpEndpoint probe;
    if (!probe.open({}) || !probe.bindPort("", 0))
        return 0;
    return probe.localPort();
}

ServiceProcess::ServiceProcess(std::filesystem::path dir, std::uint16_t port)
    : m_dir(std::move(dir)), m_port(port != 0 ? port : freeUdpPort()) {}

ServiceProcess::~ServiceProcess() {
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
}

bool ServiceProcess::start() {
    return spawn() && answers();
}

bool ServiceProcess::spawn() {
    const std::string log = (m_dir / "log.txt").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    // Verbose: the tests read the datagrams' entries too.
    std::vector<std::string> args{VORLANXD_PATH, "--port", std::to_string(m_port), "--dir", m_dir.string(), "--verbose"};
    args.insert(args.end(), m_extra.begin(), m_extra.end());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const bool spawned = posix_spawn(&m_pid, VORLANXD_PATH, &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!spawned) {
        m_pid = -1;
        return false;
    }
    return true;
}

bool ServiceProcess::answers() const {
    tools::SimulatorOptions probe;
    probe.servicePort = m_port;
    probe.count = 1;
    probe.timeout = std::chrono::milliseconds(100);
    probe.attempts = 200;
    probe.heartbeat = std::chrono::milliseconds(0);
    probe.firstMachine = 999;
    return tools::Simulator(probe).run().answered == 1;
}

int ServiceProcess::stop() {
    if (m_pid <= 0)
        return -1;
    kill(m_pid, SIGTERM);
    int status = 0;
    const pid_t ended = waitpid(m_pid, &status, 0);
    m_pid = -1;
    return ended > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ServiceProcess::terminate() const {
    if (m_pid > 0)
        kill(m_pid, SIGTERM);
}

std::optional<int> ServiceProcess::exited(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (m_pid > 0) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (std::chrono::steady_clock::now() > deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
}

std::string ServiceProcess::log() const {
    std::ifstream in(m_dir / "log.txt", std::ios::binary);
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return text.size() > 200000 ? text.substr(text.size() - 200000) : text;
}

} // namespace vorlanx::e2e
