#pragma once

// The SQL Server stand-in (tests/support/tds_server.py) as a child process on a free loopback
// port: the tests of the SQL Server road run the real unixODBC driver manager and the real FreeTDS
// driver against it. POSIX only.

#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vorlanx::test {

struct TdsStandInOptions {
    std::filesystem::path holders; // CSV: hr_code,hr_name,dept_name,hr_phyid,balance_fen
    std::filesystem::path ledger;
    std::string fault = "none";
    std::string text = "nvarchar";
    std::string blocked; // card numbers, comma-separated
    std::string user = "sa";
    std::string password = "468";
    std::string database = "canteen";
    std::uint16_t port = 0;
};

class TdsStandIn {
public:
    explicit TdsStandIn(TdsStandInOptions options) : m_options(std::move(options)) {}
    ~TdsStandIn() { kill(); }
    TdsStandIn(const TdsStandIn&) = delete;
    TdsStandIn& operator=(const TdsStandIn&) = delete;

    // Starts the server and waits for its "listening on N" line (at most 10 s).
    bool start() {
        int out[2];
        if (pipe(out) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<std::string> args{"python3",    VORLANX_TDS_SERVER,
                                      "--port",     std::to_string(m_port != 0 ? m_port : m_options.port),
                                      "--user",     m_options.user,
                                      "--password", m_options.password,
                                      "--database", m_options.database,
                                      "--holders",  m_options.holders.string(),
                                      "--ledger",   m_options.ledger.string(),
                                      "--fault",    m_options.fault,
                                      "--text",     m_options.text};
        if (!m_options.blocked.empty()) {
            args.push_back("--blocked");
            args.push_back(m_options.blocked);
        }
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const bool spawned = posix_spawnp(&m_pid, "python3", &actions, nullptr, argv.data(), environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        if (!spawned) {
            m_pid = -1;
            close(out[0]);
            return false;
        }
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            pollfd p{out[0], POLLIN, 0};
            if (poll(&p, 1, 200) <= 0)
                continue;
            char buffer[128];
            const ssize_t n = read(out[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            line.append(buffer, static_cast<std::size_t>(n));
        }
        close(out[0]);
        const std::string prefix = "listening on ";
        if (!line.starts_with(prefix))
            return false;
        m_port = static_cast<std::uint16_t>(std::stoi(line.substr(prefix.size())));
        return true;
    }

    // SIGKILL: the server gets no chance to finish anything; the ledger holds what it flushed.
    void kill() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

    std::uint16_t port() const { return m_port; }
    // The address as SQL Server clients write a port.
    std::string server() const { return "127.0.0.1," + std::to_string(m_port); }
    const TdsStandInOptions& options() const { return m_options; }

    // The ledger's rows as written: kind,card,machine,fen,date,time.
    std::vector<std::string> ledgerRows() const {
        std::vector<std::string> rows;
        std::ifstream in(m_options.ledger);
        for (std::string row; std::getline(in, row);)
            rows.push_back(row);
        return rows;
    }

private:
    TdsStandInOptions m_options;
    pid_t m_pid = -1;
    std::uint16_t m_port = 0;
};

} // namespace vorlanx::test
