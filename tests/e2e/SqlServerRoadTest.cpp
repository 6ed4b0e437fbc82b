// vorlanxd on the SQL Server road: conf.ini selecting SQL Server at "host,port", the real unixODBC
// driver manager and the FreeTDS driver registered as "SQL Server", and a TDS stand-in behind
// them running the canteen's four procedures. With the same card holders the terminals must see
// exactly the frames the built-in database gives them; what real servers do wrong (errors after
// the first result set, deadlocks, late answers, refused logins, restarts) must never show a
// terminal a payment that was not booked, nor lose one that was acknowledged.

#include "config/IniFile.h"
#include "db/BuiltinDatabaseAdmin.h"
#include "link/HexText.h"
#include "tests/e2e/ServiceProcess.h"
#include "tests/support/FakeTerminal.h"
#include "tests/support/NotifySocket.h"
#include "tests/support/TdsStandIn.h"
#include "tools/vorlanx-termsim/Simulator.h"
#include "tools/vorlanx-termsim/TerminalFrames.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include <sys/wait.h>

namespace {

using namespace std::chrono_literals;
using namespace vorlanx;
using test::TdsStandIn;
using test::TdsStandInOptions;

// Card holders as the office exports them: a Chinese name, one too long for a terminal's line,
// a balance too low to pay, and a blocked card.
constexpr const char* kHolders = "hr_code,hr_name,dept_name,hr_phyid,balance_fen\n"
                                 "P001,张三,食堂管理科,12345678,10000\n"
                                 "P002,李四,后勤,12345679,50\n"
                                 "P003,王五,教务处,12345680,2000\n"
                                 "P004,欧阳诸葛司马东方慕容,信息与计算科学学院实验中心,12345681,123456\n"
                                 "P005,Zhao Liu,IT,305419896,99\n";
constexpr std::uint32_t kBlocked = 12345680;

std::string hexOf(const tools::Bytes& bytes) {
    return link::bytesToHex(bytes);
}

// A service directory: conf.ini and, for the built-in database, its file filled from kHolders.
class ServiceDir {
public:
    ServiceDir() {
        m_dir = std::filesystem::temp_directory_path() / ("vorlanx-road-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(m_dir);
        std::ofstream(m_dir / "holders.csv") << kHolders;
    }
    ~ServiceDir() {
        std::error_code error;
        std::filesystem::remove_all(m_dir, error);
    }
    const std::filesystem::path& dir() const { return m_dir; }

    void useBuiltin() {
        const config::IniFile conf(m_dir / "conf.ini");
        ASSERT_TRUE(conf.writeValue("sername", "type", "2") && conf.writeValue("mssql", "名称", "canteen"));
        db::BuiltinDatabaseAdmin admin;
        ASSERT_TRUE(admin.open((m_dir / "canteen.db").string()));
        std::istringstream csv(kHolders);
        ASSERT_TRUE(admin.importCsv(csv).ok);
        ASSERT_TRUE(admin.setBlocked(kBlocked, true));
    }
    void useSqlServer(const std::string& server, const std::string& password = "468", int timeout = 0) {
        const config::IniFile conf(m_dir / "conf.ini");
        ASSERT_TRUE(conf.writeValue("sername", "type", "1") && conf.writeValue("mssql", "服务", server) &&
                    conf.writeValue("mssql", "名称", "canteen") && conf.writeValue("mssql", "用户", "sa") &&
                    conf.writeValue("mssql", "密码", password));
        if (timeout > 0) {
            ASSERT_TRUE(conf.writeValue("mssql", "timeout", std::to_string(timeout)));
        }
    }
    void setQueueWait(int seconds) {
        ASSERT_TRUE(config::IniFile(m_dir / "conf.ini").writeValue("mssql", "queuewait", std::to_string(seconds)));
    }
    TdsStandInOptions standIn(std::string fault, std::string text = "nvarchar") const {
        TdsStandInOptions o;
        o.holders = m_dir / "holders.csv";
        o.ledger = m_dir / "ledger.csv";
        o.fault = std::move(fault);
        o.text = std::move(text);
        o.blocked = std::to_string(kBlocked);
        return o;
    }

private:
    std::filesystem::path m_dir;
};

// The frames of one visit to the canteen, each sent once and answered before the next.
std::vector<std::string> visitFrames() {
    return {
        hexOf(tools::cardQueryFrame(1, 12345678)),
        hexOf(tools::cardQueryFrame(1, kBlocked)),
        hexOf(tools::cardQueryFrame(1, 99999999)),
        hexOf(tools::cardQueryFrame(2, 12345681)),
        hexOf(tools::onlinePaymentFrame(1, 12345678, 250)),
        hexOf(tools::onlinePaymentFrame(1, 12345679, 100)),
        hexOf(tools::onlinePaymentFrame(1, kBlocked, 100)),
        hexOf(tools::onlinePaymentFrame(1, 99999999, 100)),
        hexOf(tools::onlinePaymentFrame(2, 12345681, 123000)),
        hexOf(tools::offlineUploadFrame(1, 12345678, "200508100503", 1250)),
        hexOf(tools::offlineUploadFrame(1, 12345678, "200508100503", 1250)),
        hexOf(tools::offlineUploadFrame(3, 99999999, "200508100504", 300)),
        hexOf(tools::cardQueryFrame(1, 12345678)),
        hexOf(tools::cardQueryFrame(2, 12345681)),
        hexOf(tools::cardQueryFrame(1, 305419896)),
    };
}

std::vector<std::string> visit(std::uint16_t port) {
    test::FakeTerminal terminal("127.0.0.1");
    std::vector<std::string> replies;
    for (const std::string& frame : visitFrames()) {
        terminal.send(port, frame);
        const auto reply = terminal.inbox.next(10s);
        replies.push_back(reply.value_or("(no reply)"));
    }
    return replies;
}

struct CtlRun {
    int exit = -1;
    std::string output;
};

CtlRun vorlanxctl(const std::filesystem::path& dir, const std::string& arguments) {
    const std::string command = std::string(VORLANXCTL_PATH) + " --dir '" + dir.string() + "' " + arguments + " 2>&1";
    CtlRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.output.append(buffer, n);
    const int status = ::pclose(pipe);
    run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// The white-list download frames a terminal receives from the service in dir.
std::vector<std::string> whitelistFrames(const std::filesystem::path& dir) {
    test::FakeTerminal terminal("127.0.0.1");
    vorlanxctl(dir, "whitelist download --wait 1 --to 127.0.0.1:" + std::to_string(terminal.port) + ":7");
    std::vector<std::string> frames;
    while (auto frame = terminal.inbox.next(500ms))
        frames.push_back(*frame);
    return frames;
}

struct Road {
    std::vector<std::string> replies;
    std::vector<std::string> whitelist;
};

Road builtinRoad() {
    ServiceDir dir;
    dir.useBuiltin();
    e2e::ServiceProcess service(dir.dir());
    EXPECT_TRUE(service.start()) << service.log();
    return {visit(service.port()), whitelistFrames(dir.dir())};
}

TEST(SqlServerRoad, TerminalsSeeTheFramesOfTheBuiltinDatabaseForNvarcharAndVarcharColumns) {
    const Road builtin = builtinRoad();
    ASSERT_EQ(builtin.replies.size(), visitFrames().size());
    for (const std::string& reply : builtin.replies)
        ASSERT_NE(reply, "(no reply)");
    ASSERT_FALSE(builtin.whitelist.empty());
    // 张三 in GBK in the first reply; the blocked card refused with result "3".
    EXPECT_NE(builtin.replies[0].find("D5C5C8FD"), std::string::npos);
    EXPECT_NE(builtin.replies[1].find("010103"), std::string::npos);

    for (const char* text : {"nvarchar", "varchar"}) {
        SCOPED_TRACE(text);
        ServiceDir dir;
        TdsStandIn server(dir.standIn("none", text));
        ASSERT_TRUE(server.start());
        dir.useSqlServer(server.server());
        e2e::ServiceProcess service(dir.dir());
        ASSERT_TRUE(service.start()) << service.log();
        const std::vector<std::string> replies = visit(service.port());
        for (std::size_t i = 0; i < replies.size(); ++i)
            EXPECT_EQ(replies[i], builtin.replies[i]) << "frame " << i << ": " << visitFrames()[i];
        EXPECT_EQ(whitelistFrames(dir.dir()), builtin.whitelist);
        // Two payments, the offline record once, and the unknown card's offline record.
        EXPECT_EQ(server.ledgerRows().size(), 4u);
        EXPECT_EQ(service.log().find("odbc"), std::string::npos) << service.log();
    }
}

// One payment frame from a terminal of its own; the reply, if any came within the wait.
std::optional<std::string> pay(std::uint16_t port, std::uint32_t card, std::uint32_t fen,
                               std::chrono::milliseconds wait = 3s) {
    test::FakeTerminal terminal("127.0.0.1");
    terminal.send(port, hexOf(tools::onlinePaymentFrame(1, card, fen)));
    return terminal.inbox.next(wait);
}

std::optional<std::string> upload(test::FakeTerminal& terminal, std::uint16_t port,
                                  std::chrono::milliseconds wait = 3s) {
    terminal.send(port, hexOf(tools::offlineUploadFrame(1, 12345678, "200508100503", 1250)));
    return terminal.inbox.next(wait);
}

// The stand-in's ledger as counts of (kind, card, machine, fen).
using Bookings = std::map<std::tuple<std::string, std::uint32_t, std::uint16_t, std::int64_t>, int>;
Bookings bookingsOf(const TdsStandIn& server) {
    Bookings booked;
    for (const std::string& row : server.ledgerRows()) {
        std::istringstream in(row);
        std::string kind, card, machine, fen;
        std::getline(in, kind, ',');
        std::getline(in, card, ',');
        std::getline(in, machine, ',');
        std::getline(in, fen, ',');
        ++booked[{kind, static_cast<std::uint32_t>(std::stoul(card)), static_cast<std::uint16_t>(std::stoul(machine)),
                  std::stoll(fen)}];
    }
    return booked;
}

// The payments the terminals were told were paid, as the same counts.
Bookings acknowledgedOf(const tools::SimulatorReport& report) {
    Bookings paid;
    for (const auto& e : report.ledger)
        if (e.kind == tools::RequestKind::OnlinePayment)
            ++paid[{"online", e.card, e.machine, e.amountFen}];
    return paid;
}

class SqlServerFault : public ::testing::Test {
protected:
    void startWith(const std::string& fault, int timeout = 0, int queueWait = 0,
                   std::vector<std::string> arguments = {}) {
        server = std::make_unique<TdsStandIn>(dir.standIn(fault));
        ASSERT_TRUE(server->start());
        dir.useSqlServer(server->server(), "468", timeout);
        if (queueWait > 0)
            dir.setQueueWait(queueWait);
        service = std::make_unique<e2e::ServiceProcess>(dir.dir());
        service->addArguments(std::move(arguments));
        ASSERT_TRUE(service->start()) << service->log();
    }
    ServiceDir dir;
    std::unique_ptr<TdsStandIn> server;
    std::unique_ptr<e2e::ServiceProcess> service;
};

TEST_F(SqlServerFault, InfoMessagesChangeNothing) {
    startWith("info");
    const auto reply = pay(service->port(), 12345678, 250);
    ASSERT_TRUE(reply);
    EXPECT_NE(reply->find("010100"), std::string::npos) << *reply;
    test::FakeTerminal terminal("127.0.0.1");
    EXPECT_EQ(upload(terminal, service->port()), "FE010001000177644A");
    EXPECT_EQ(server->ledgerRows().size(), 2u);
}

TEST_F(SqlServerFault, AnErrorAfterTheFirstResultSetGivesNoReplyAndTheResendBooksOnce) {
    startWith("error-after-first-result");
    // The procedure's SELECT says paid, its INSERT fails: the terminal must not show a payment.
    EXPECT_EQ(pay(service->port(), 12345678, 250), std::nullopt);
    EXPECT_TRUE(server->ledgerRows().empty());
    const auto resent = pay(service->port(), 12345678, 250);
    ASSERT_TRUE(resent);
    EXPECT_NE(resent->find("010100"), std::string::npos);
    test::FakeTerminal terminal("127.0.0.1");
    EXPECT_EQ(upload(terminal, service->port()), std::nullopt);
    EXPECT_EQ(upload(terminal, service->port()), "FE010001000177644A");
    EXPECT_EQ(server->ledgerRows().size(), 2u);
    // One line for each failed call, none for the calls that went through.
    const std::string log = service->log();
    std::size_t lines = 0;
    for (std::size_t at = log.find("odbc query"); at != std::string::npos; at = log.find("odbc query", at + 1))
        ++lines;
    EXPECT_EQ(lines, 2u) << log;
}

TEST_F(SqlServerFault, ADeadlockGivesNoReplyAndTheResendBooksOnce) {
    startWith("deadlock");
    test::FakeTerminal terminal("127.0.0.1");
    EXPECT_EQ(upload(terminal, service->port()), std::nullopt);
    EXPECT_EQ(upload(terminal, service->port()), "FE010001000177644A");
    EXPECT_EQ(upload(terminal, service->port()), std::nullopt); // the third call deadlocks again
    EXPECT_EQ(upload(terminal, service->port()), "FE010001000177644A");
    ASSERT_EQ(server->ledgerRows().size(), 1u);
    EXPECT_EQ(server->ledgerRows()[0], "offline,12345678,1,1250,2020-05-08,10:05:03");
}

TEST_F(SqlServerFault, ALateAnswerBeyondTheTimeOutGivesNoReplyAndNoHang) {
    startWith("late:4000", 1);
    EXPECT_EQ(pay(service->port(), 12345678, 250, 6s), std::nullopt);
    EXPECT_TRUE(server->ledgerRows().empty());
    // The service stays live: a keep-alive is answered while the database is slow.
    test::FakeTerminal terminal("127.0.0.1");
    terminal.send(service->port(), hexOf(tools::heartbeatFrame(5)));
    EXPECT_TRUE(terminal.inbox.next(5s));
}

// A second payment waits behind a first one the server takes 3 s to book; past the queue's
// 1 s it is dropped before it reaches the server, logged as dropped, and its resend is booked once.
TEST_F(SqlServerFault, AJobDroppedWhileWaitingForTheConnectionIsBookedOnceByItsResend) {
    startWith("late:3000", 5, 1);
    test::FakeTerminal first("127.0.0.1");
    test::FakeTerminal second("127.0.0.1");
    first.send(service->port(), hexOf(tools::onlinePaymentFrame(1, 12345678, 250)));
    std::this_thread::sleep_for(200ms);
    const std::string payment = hexOf(tools::onlinePaymentFrame(2, 12345681, 100));
    second.send(service->port(), payment);
    const auto logged = [this](const std::string& part) {
        for (int i = 0; i < 400 && service->log().find(part) == std::string::npos; ++i)
            std::this_thread::sleep_for(50ms);
        return service->log().find(part) != std::string::npos;
    };
    ASSERT_TRUE(logged("机号2 卡12345681 1元 已丢弃：未送数据库，待终端重发")) << service->log();
    const auto firstReply = first.inbox.next(10s);
    ASSERT_TRUE(firstReply);
    EXPECT_NE(firstReply->find("010100"), std::string::npos) << *firstReply;
    EXPECT_FALSE(second.inbox.next(0ms)) << "a dropped payment is not answered";
    second.send(service->port(), payment);
    const auto resent = second.inbox.next(10s);
    ASSERT_TRUE(resent);
    EXPECT_NE(resent->find("010100"), std::string::npos) << *resent;
    EXPECT_EQ(server->ledgerRows().size(), 2u);
    EXPECT_EQ((bookingsOf(*server)[{"online", 12345681, 2, 100}]), 1);
    EXPECT_EQ(service->log().find("未记账：数据库未应答"), std::string::npos) << service->log();
}

// Terminals paying and resending while every booking takes a second; a stop with a 1 s drain.
// The stop answers every booking it makes: the calls already at the server are waited for and
// answered, the ones still queued for the connection are dropped unbooked, and nothing is booked
// once the port has closed.
TEST_F(SqlServerFault, AStopBooksOnlyWhatItAnswers) {
    startWith("late:1000", 3, 0, {"--drain", "1"});
    tools::SimulatorOptions o;
    o.servicePort = service->port();
    o.terminals = 6;
    o.cards = {12345678, 12345681};
    o.mix = {0, 1, 0};
    o.durationSeconds = 8;
    o.amountMaxFen = 50;
    o.timeout = 1000ms;
    o.attempts = 8;
    o.heartbeat = 0ms;
    o.keepLedger = true;
    o.seed = 5;
    tools::Simulator simulator(o);
    tools::SimulatorReport report;
    std::jthread run([&] { report = simulator.run(); });
    for (int i = 0; i < 400 && server->ledgerRows().size() < 3; ++i)
        std::this_thread::sleep_for(50ms);
    ASSERT_GE(server->ledgerRows().size(), 3u);
    const auto stopped = std::chrono::steady_clock::now();
    service->terminate();
    // The drain, then at most a login and the command time-out for the call at the server.
    const auto code = service->exited(1s + 5s + 3s + 5s);
    const auto took = std::chrono::steady_clock::now() - stopped;
    EXPECT_EQ(code, 0) << service->log();
    EXPECT_LT(took, 1s + 5s + 3s + 1s) << service->log();
    run.join();
    const std::size_t bookedAtExit = server->ledgerRows().size();
    std::this_thread::sleep_for(2s);
    EXPECT_EQ(server->ledgerRows().size(), bookedAtExit) << "booked after the port closed";
    EXPECT_EQ(bookingsOf(*server), acknowledgedOf(report)) << "a booking without its answer\n" << service->log();
    const std::string log = service->log();
    const std::size_t drain = log.find("stop drained in");
    ASSERT_NE(drain, std::string::npos) << log;
    const std::string drainLine = log.substr(drain, log.find('\n', drain) - drain);
    std::printf("%s\n", drainLine.c_str());
    EXPECT_NE(drainLine.find("dropped unbooked while waiting for the database connection:"), std::string::npos);
    EXPECT_EQ(drainLine.find("still under way"), std::string::npos);
}

#if VORLANXD_SYSTEMD
// Every booking takes 3.5 s of a 4 s time-out, and card queries queue for the connection behind
// several bookings, longer than a call's whole time-out (a login's 5 s and the command's 4 s):
// the service waits on the database and the watchdog's beat goes on while bookings complete.
TEST_F(SqlServerFault, CallsQueuedForTheConnectionKeepTheWatchdogBeating) {
    test::NotifySocket notify;
    ASSERT_TRUE(notify.bound());
    constexpr auto kInterval = 3s;
    constexpr int kIntervals = 7;
    setenv("WATCHDOG_USEC", std::to_string(std::chrono::microseconds(kInterval).count()).c_str(), 1);
    startWith("late:3500", 4, 60, {"--drain", "1"});
    tools::SimulatorOptions o;
    o.servicePort = service->port();
    o.terminals = 8;
    o.cards = {12345678, 12345681};
    o.mix = {1, 1, 0};
    o.durationSeconds = 1 + kIntervals * 3;
    o.amountMaxFen = 20;
    o.timeout = 2000ms;
    o.attempts = 3;
    o.heartbeat = 0ms;
    o.seed = 9;
    tools::Simulator simulator(o);
    std::jthread run([&] { simulator.run(); });
    std::this_thread::sleep_for(1s);
    const auto from = std::chrono::steady_clock::now();
    const std::size_t bookedBefore = server->ledgerRows().size();
    const std::vector<std::chrono::steady_clock::time_point> beats = notify.beatsUntil(from + kIntervals * kInterval);
    const std::size_t bookedDuring = server->ledgerRows().size() - bookedBefore;
    std::string times;
    for (const auto beat : beats)
        times += std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(beat - from).count()) + " ";
    std::printf("beats (ms after the queue formed): %s; bookings meanwhile: %zu\n", times.c_str(), bookedDuring);
    EXPECT_GE(bookedDuring, 3u);
    ASSERT_GE(beats.size(), 3u) << service->log();
    auto previous = from;
    for (const auto beat : beats) {
        EXPECT_LT(beat - previous, kInterval) << "a gap in the beat: " << times;
        previous = beat;
    }
    EXPECT_LT(from + kIntervals * kInterval - previous, kInterval) << "the beat stopped: " << times << "\n"
                                                                   << service->log();
    EXPECT_NE(service->log().find("waiting on the database"), std::string::npos) << service->log();
    // The terminals give up on their last requests sooner once nothing answers.
    service->terminate();
}
#endif

TEST(SqlServerLogin, ARefusedLoginShowsTheConnectionFailedStatus) {
    ServiceDir dir;
    TdsStandIn server(dir.standIn("none"));
    ASSERT_TRUE(server.start());
    dir.useSqlServer(server.server(), "wrong");
    e2e::ServiceProcess service(dir.dir());
    ASSERT_TRUE(service.spawn());
    for (int i = 0; i < 200 && service.log().find("[状态]") == std::string::npos; ++i)
        std::this_thread::sleep_for(50ms);
    EXPECT_NE(service.log().find("[状态]A连接失败"), std::string::npos) << service.log();
    // Without a connection a card query is still answered, with empty fields; a payment is not.
    test::FakeTerminal terminal("127.0.0.1");
    terminal.send(service.port(), hexOf(tools::cardQueryFrame(1, 12345678)));
    const auto reply = terminal.inbox.next(5s);
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->starts_with("FE01000100446320202020")) << *reply;
    EXPECT_EQ(pay(service.port(), 12345678, 250, 1s), std::nullopt);
    EXPECT_TRUE(server.ledgerRows().empty());
}

TEST(SqlServerRestart, TheServerKilledAndRestartedMidRunLosesNothingAcknowledged) {
    ServiceDir dir;
    TdsStandIn server(dir.standIn("none"));
    ASSERT_TRUE(server.start());
    dir.useSqlServer(server.server());
    e2e::ServiceProcess service(dir.dir());
    ASSERT_TRUE(service.start()) << service.log();

    tools::SimulatorOptions o;
    o.servicePort = service.port();
    o.terminals = 8;
    o.cards = {12345678, 12345679, 12345681, 305419896};
    o.mix = {0, 1, 1};
    o.durationSeconds = 6;
    o.amountMaxFen = 100;
    o.timeout = 500ms;
    o.attempts = 60;
    o.settle = 5s;
    o.heartbeat = 0ms;
    o.keepLedger = true;
    o.seed = 11;
    tools::Simulator simulator(o);
    tools::SimulatorReport report;
    std::jthread run([&] { report = simulator.run(); });
    // Kill the server once bookings have reached it, and start it again on its ledger.
    for (int i = 0; i < 200 && server.ledgerRows().size() < 20; ++i)
        std::this_thread::sleep_for(50ms);
    server.kill();
    std::this_thread::sleep_for(1s);
    ASSERT_TRUE(server.start());
    run.join();

    Bookings booked = bookingsOf(server);
    std::size_t acknowledged = 0;
    for (const auto& e : report.ledger) {
        const bool offline = e.kind == tools::RequestKind::OfflineUpload;
        if (!offline && e.kind != tools::RequestKind::OnlinePayment)
            continue;
        ++acknowledged;
        int& left = booked[{offline ? "offline" : "online", e.card, e.machine, e.amountFen}];
        EXPECT_GT(left, 0) << "acknowledged but not in the ledger: card " << e.card << " " << e.amountFen;
        --left;
    }
    EXPECT_GT(acknowledged, 20u);
    std::ifstream log(dir.dir() / "log.txt", std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>()};
    EXPECT_NE(text.find("connection re-opened"), std::string::npos) << service.log();
}

} // namespace
