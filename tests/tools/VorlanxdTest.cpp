#include "config/IniFile.h"
#include "db/BuiltinDatabase.h"
#include "link/FrameBuilders.h"
#include "link/HexText.h"
#include "link/UdpEndpoint.h"
#include "tests/support/FakeTerminal.h"
#include "tests/support/NotifySocket.h"
#include "version/Version.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The service as a child process with its stdout and stderr on pipes.
class ServiceProcess {
public:
    explicit ServiceProcess(std::vector<std::string> args) {
        int out[2];
        int err[2];
        if (pipe(out) != 0 || pipe(err) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, err[0]);
        args.insert(args.begin(), VORLANXD_PATH);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, VORLANXD_PATH, &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        m_out = out[0];
        m_err = err[0];
    }

    ~ServiceProcess() {
        if (m_pid > 0 && !m_status) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        ::close(m_out);
        ::close(m_err);
    }

    bool started() const { return m_pid > 0; }

    // Next stdout line, or nullopt when none comes within the limit or the pipe closed.
    std::optional<std::string> readLine(std::chrono::milliseconds limit = 5s) {
        const auto deadline = Clock::now() + limit;
        for (;;) {
            const auto newline = m_buffer.find('\n');
            if (newline != std::string::npos) {
                std::string line = m_buffer.substr(0, newline);
                m_buffer.erase(0, newline + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return std::nullopt;
            pollfd p{m_out, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
                continue;
            char chunk[512];
            const auto n = ::read(m_out, chunk, sizeof chunk);
            if (n <= 0)
                return std::nullopt;
            m_buffer.append(chunk, static_cast<std::size_t>(n));
        }
    }

    // Reads lines until one equals `wanted`; the lines before it are kept in `skipped`.
    bool waitForLine(const std::string& wanted, std::vector<std::string>* skipped = nullptr) {
        while (auto line = readLine()) {
            if (*line == wanted)
                return true;
            if (skipped)
                skipped->push_back(*line);
        }
        return false;
    }

    // Reads lines until every one of `wanted` has come, in any order.
    bool waitForLines(std::set<std::string> wanted) {
        while (!wanted.empty()) {
            const auto line = readLine();
            if (!line)
                return false;
            wanted.erase(*line);
        }
        return true;
    }

    // Exit code once the process has ended, or nullopt if it is still running after the limit.
    std::optional<int> exitCode(std::chrono::milliseconds limit = 10s) {
        const auto deadline = Clock::now() + limit;
        while (!m_status && Clock::now() < deadline) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid)
                m_status = status;
            else
                std::this_thread::sleep_for(20ms);
        }
        if (!m_status || !WIFEXITED(*m_status))
            return std::nullopt;
        return WEXITSTATUS(*m_status);
    }

    std::string errorText() {
        std::string text;
        char chunk[512];
        pollfd p{m_err, POLLIN, 0};
        while (poll(&p, 1, 0) > 0) {
            const auto n = ::read(m_err, chunk, sizeof chunk);
            if (n <= 0)
                break;
            text.append(chunk, static_cast<std::size_t>(n));
        }
        return text;
    }

    void terminate() { kill(m_pid, SIGTERM); }
    void hangUp() { kill(m_pid, SIGHUP); }

    // stderr lines until one holds `part`, or nullopt after the limit.
    std::optional<std::string> waitForError(const std::string& part, std::chrono::milliseconds limit = 10s) {
        const auto deadline = Clock::now() + limit;
        while (Clock::now() < deadline) {
            m_errors += errorText();
            const auto at = m_errors.find(part);
            if (at != std::string::npos) {
                const auto start = m_errors.rfind('\n', at);
                const auto end = m_errors.find('\n', at);
                std::string line = m_errors.substr(start == std::string::npos ? 0 : start + 1,
                                                   end == std::string::npos ? std::string::npos : end - start - 1);
                m_errors.erase(0, end == std::string::npos ? m_errors.size() : end + 1);
                return line;
            }
            std::this_thread::sleep_for(20ms);
        }
        return std::nullopt;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    std::string m_buffer;
    std::string m_errors;
    std::optional<int> m_status;
};

using vorlanx::test::freeUdpPort;
using Replies = vorlanx::test::TerminalInbox;

// A service directory whose conf.ini selects the built-in database, with two card holders.
class CanteenDir {
public:
    CanteenDir() {
        std::random_device random;
        m_path = std::filesystem::temp_directory_path() / ("vorlanxd-canteen-" + std::to_string(random()));
        std::filesystem::create_directories(m_path);
        const vorlanx::config::IniFile conf(m_path / "conf.ini");
        EXPECT_TRUE(conf.writeValue("sername", "type", "2"));
        EXPECT_TRUE(conf.writeValue("mssql", "名称", "canteen"));
        EXPECT_TRUE(db.open((m_path / "canteen.db").string()));
        EXPECT_TRUE(db.runQuery("INSERT INTO card_holder (hr_code, hr_name, dept_name, hr_phyid, balance_fen, active) "
                                "VALUES ('0001', '张三', '食堂部', 12345678, 10000, 1),"
                                "('0002', '李四', '财务部', 87654321, 500, 1)")
                        .isOpen());
    }
    ~CanteenDir() {
        db.disconnect();
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    const std::filesystem::path& path() const { return m_path; }
    std::string value(const std::string& sql) { return db.runQuery(sql).fieldText(std::size_t{0}); }

    vorlanx::db::BuiltinDatabase db;

private:
    std::filesystem::path m_path;
};

TEST(Vorlanxd, AcknowledgesA74FrameLogsItWhenVerboseAndStopsOnSigterm) {
    const std::uint16_t port = freeUdpPort();
    ASSERT_NE(port, 0);
    ServiceProcess service({"--port", std::to_string(port), "--dir", ".", "--verbose"});
    ASSERT_TRUE(service.started());
    ASSERT_TRUE(service.waitForLine("[操作]端口启动成功")) << service.errorText();

    Replies replies;
    vorlanx::link::UdpEndpoint terminal;
    ASSERT_TRUE(terminal.open(replies.handler()));
    ASSERT_TRUE(terminal.bindPort("127.0.0.1", 0));
    terminal.sendDatagram("127.0.0.1", port, vorlanx::link::hexToBytes("FE01004E00057400112233442A5B"));
    EXPECT_EQ(replies.next(), "FE01004E000181F2D8");

    std::vector<std::string> before;
    ASSERT_TRUE(service.waitForLine("[数据]FE01004E00057400112233442A5B", &before));
    ASSERT_GE(before.size(), 2u);
    EXPECT_EQ(before.back(), "[客户]127.0.0.1:" + std::to_string(terminal.localPort()));
    EXPECT_NE(before[before.size() - 2].find("日"), std::string::npos);

    service.terminate();
    EXPECT_TRUE(service.waitForLine("[操作]端口已关闭"));
    EXPECT_EQ(service.exitCode(), 0);
}

TEST(Vorlanxd, AnswersCardsFromTheBuiltinDatabaseThatConfIniSelects) {
    CanteenDir canteen;
    const std::uint16_t port = freeUdpPort();
    ASSERT_NE(port, 0);
    ServiceProcess service({"--port", std::to_string(port), "--dir", canteen.path().string()});
    ASSERT_TRUE(service.started());
    ASSERT_TRUE(service.waitForLines({"[状态]A连接成功", "[操作]人事档案数：2", "[操作]端口启动成功"}))
        << service.errorText();

    Replies replies;
    vorlanx::link::UdpEndpoint terminal;
    ASSERT_TRUE(terminal.open(replies.handler()));
    ASSERT_TRUE(terminal.bindPort("127.0.0.1", 0));
    const auto send = [&](const std::string& hex) {
        terminal.sendDatagram("127.0.0.1", port, vorlanx::link::hexToBytes(hex));
    };

    send(vorlanx::link::buildFrame("0001", "0007", "63", "00BC614E06"));
    const auto query = replies.next();
    ASSERT_TRUE(query);
    EXPECT_EQ(query->substr(0, 22), "FE010001004463D5C5C8FD");

    send(vorlanx::link::buildFrame("0001", "000B", "63", "00BC614E00000000FA"));
    const auto paid = replies.next();
    ASSERT_TRUE(paid);
    EXPECT_EQ(paid->substr(paid->size() - 10, 6), "010100");
    EXPECT_EQ(canteen.value("SELECT balance_fen FROM card_holder WHERE hr_phyid = 12345678"), "9750");

    const std::string upload = vorlanx::link::buildFrame("0001", "0011", "76", "00BC614E00200508100503000004E2");
    send(upload);
    EXPECT_EQ(replies.next(), "FE010001000177644A");
    send(upload);
    EXPECT_EQ(replies.next(), "FE010001000177644A");
    EXPECT_EQ(canteen.value("SELECT count(*) FROM consumption_record WHERE kind = 'offline'"), "1");
    EXPECT_EQ(canteen.value("SELECT balance_fen FROM card_holder WHERE hr_phyid = 12345678"), "8500");
    std::vector<std::string> lines;
    EXPECT_TRUE(service.waitForLine("[结果]离线消费：12345678|12.5元|2020-05-08|10:05:03", &lines));

    service.terminate();
    EXPECT_TRUE(service.waitForLine("[操作]端口已关闭", &lines));
    EXPECT_EQ(service.exitCode(), 0);
    // Not a packet dump: one line per booking and per offline record, with the terminal and the
    // amount, and none per datagram.
    const std::string terminalText = "127.0.0.1:" + std::to_string(terminal.localPort()) + " 机号1 卡12345678 ";
    const std::vector<std::string> bookings{"[消费] " + terminalText + "2.5元 成功",
                                            "[离线] " + terminalText + "12.5元 已记账",
                                            "[离线] " + terminalText + "12.5元 已记账"};
    std::vector<std::string> logged;
    for (const auto& line : lines) {
        EXPECT_EQ(line.find("[数据]"), std::string::npos) << line;
        EXPECT_EQ(line.find("[客户]"), std::string::npos) << line;
        if (line.starts_with("[消费]") || line.starts_with("[离线]"))
            logged.push_back(line);
    }
    EXPECT_EQ(logged, bookings);
    // The payment and both uploads, one after the other: each was committed alone.
    const std::string stopped = service.errorText();
    EXPECT_NE(stopped.find("3 bookings in 3 batches, mean 1.0, largest 1, failed 0"), std::string::npos) << stopped;
}

TEST(Vorlanxd, PortInUseExitsWithOneAndSaysWhy) {
    vorlanx::link::UdpEndpoint holder;
    ASSERT_TRUE(holder.open({}));
    ASSERT_TRUE(holder.bindPort("", 0));
    ServiceProcess service({"--port", std::to_string(holder.localPort())});
    ASSERT_TRUE(service.started());
    EXPECT_EQ(service.exitCode(), 1);
    EXPECT_NE(service.errorText().find("cannot listen on UDP port " + std::to_string(holder.localPort())),
              std::string::npos);
}

TEST(Vorlanxd, BadArgumentsGiveUsage) {
    for (const auto& args : std::vector<std::vector<std::string>>{{"--port", "70000"},
                                                                  {"--drain", "ten"},
                                                                  {"--drain", "601"},
                                                                  {"--drain", "-1"},
                                                                  {"--drain"},
                                                                  // The Windows service's commands are Windows' alone.
                                                                  {"--install-service"},
                                                                  {"--service"}}) {
        ServiceProcess service(args);
        ASSERT_TRUE(service.started());
        EXPECT_EQ(service.exitCode(), 2) << args[0];
        EXPECT_NE(service.errorText().find("usage: vorlanxd"), std::string::npos);
    }
}

TEST(Vorlanxd, HelpAndVersionGoToStandardOutputWithExitCodeZero) {
    ServiceProcess help({"--help"});
    ASSERT_TRUE(help.started());
    EXPECT_EQ(help.readLine(), "usage: vorlanxd [--port N] [--dir DIR] [--drain S] [--verbose]");
    EXPECT_EQ(help.exitCode(), 0);
    // The first line is what the manual page's footer and the packages' checks read.
    ServiceProcess version({"--version"});
    ASSERT_TRUE(version.started());
    EXPECT_EQ(version.readLine(), "vorlanxd (Vorlanx) " VORLANX_VERSION);
    EXPECT_EQ(version.exitCode(), 0);
}

TEST(Vorlanxd, ReloadsConfIniAndThePersonnelListOnSighupWithoutDroppingThePort) {
    CanteenDir canteen;
    const std::uint16_t port = freeUdpPort();
    ASSERT_NE(port, 0);
    ServiceProcess service({"--port", std::to_string(port), "--dir", canteen.path().string()});
    ASSERT_TRUE(service.started());
    ASSERT_TRUE(service.waitForLines({"[状态]A连接成功", "[操作]人事档案数：2", "[操作]端口启动成功"}))
        << service.errorText();

    Replies replies;
    vorlanx::link::UdpEndpoint terminal;
    ASSERT_TRUE(terminal.open(replies.handler()));
    ASSERT_TRUE(terminal.bindPort("127.0.0.1", 0));
    const std::string frame74 = "FE01004E00057400112233442A5B";
    const std::string ack = "FE01004E000181F2D8";

    // The canteen office added a holder: the same database, the list loaded again.
    ASSERT_TRUE(canteen.db
                    .runQuery("INSERT INTO card_holder (hr_code, hr_name, dept_name, hr_phyid, balance_fen, "
                              "active) VALUES ('0003', '王五', '后勤部', 11112222, 800, 1)")
                    .isOpen());
    service.hangUp();
    EXPECT_TRUE(service.waitForLine("[操作]人事档案数：3"));
    const auto kept = service.waitForError("reload:");
    ASSERT_TRUE(kept);
    EXPECT_NE(kept->find("conf.ini read; database unchanged, connected; personnel list 3 rows"), std::string::npos)
        << *kept;
    terminal.sendDatagram("127.0.0.1", port, vorlanx::link::hexToBytes(frame74));
    EXPECT_EQ(replies.next(), ack) << "the port stayed open through the reload";

    // conf.ini now names another database file: the service reconnects to it.
    {
        vorlanx::db::BuiltinDatabase other;
        ASSERT_TRUE(other.open((canteen.path() / "annex.db").string()));
        ASSERT_TRUE(other
                        .runQuery("INSERT INTO card_holder (hr_code, hr_name, dept_name, hr_phyid, balance_fen, "
                                  "active) VALUES ('0100', '赵六', '食堂部', 55556666, 100, 1)")
                        .isOpen());
    }
    ASSERT_TRUE(vorlanx::config::IniFile(canteen.path() / "conf.ini").writeValue("mssql", "名称", "annex"));
    service.hangUp();
    EXPECT_TRUE(service.waitForLine("[操作]人事档案数：1"));
    const auto moved = service.waitForError("reload:");
    ASSERT_TRUE(moved);
    EXPECT_NE(moved->find("database reconnected, connected; personnel list 1 rows"), std::string::npos) << *moved;
    terminal.sendDatagram("127.0.0.1", port, vorlanx::link::hexToBytes(frame74));
    EXPECT_EQ(replies.next(), ack);

    service.terminate();
    EXPECT_TRUE(service.waitForLine("[操作]端口已关闭"));
    EXPECT_EQ(service.exitCode(), 0);
}

#if VORLANXD_SYSTEMD
TEST(Vorlanxd, ReportsReadyOnceListeningAndBeatsTheWatchdogThroughTheNotifySocket) {
    vorlanx::test::NotifySocket notify;
    ASSERT_TRUE(notify.bound());
    setenv("WATCHDOG_USEC", "3000000", 1);
    const std::uint16_t port = freeUdpPort();
    ASSERT_NE(port, 0);
    ServiceProcess service({"--port", std::to_string(port)});
    ASSERT_TRUE(service.started());
    ASSERT_TRUE(notify.waitFor("READY=1"));
    // Ready only after the port is bound: the answer to a frame needs nothing more.
    EXPECT_NE(notify.seen.back().find("STATUS=listening on UDP port " + std::to_string(port)), std::string::npos)
        << notify.seen.back();
    Replies replies;
    vorlanx::link::UdpEndpoint terminal;
    ASSERT_TRUE(terminal.open(replies.handler()));
    ASSERT_TRUE(terminal.bindPort("127.0.0.1", 0));
    terminal.sendDatagram("127.0.0.1", port, vorlanx::link::hexToBytes("FE01004E00057400112233442A5B"));
    EXPECT_EQ(replies.next(), "FE01004E000181F2D8");

    // A heartbeat at once, then one every half interval (1.5 s).
    EXPECT_TRUE(notify.waitFor("WATCHDOG=1", 3s));
    EXPECT_TRUE(notify.waitFor("WATCHDOG=1", 3s)) << "beaten again within the interval";
    service.hangUp();
    EXPECT_TRUE(notify.waitFor("RELOADING=1"));
    EXPECT_TRUE(notify.waitFor("READY=1"));
    service.terminate();
    EXPECT_TRUE(notify.waitFor("STOPPING=1"));
    EXPECT_EQ(service.exitCode(), 0);
}
#endif

} // namespace
