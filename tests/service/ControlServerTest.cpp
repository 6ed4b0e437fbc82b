// The control channel over a real Unix domain socket: the answer of every kind of request, bad
// and oversized requests, a silent client, the socket's mode, and a socket left behind.

#include "service/ControlServer.h"

#include "link/FrameBuilders.h"
#include "service/VorlanxService.h"
#include "tests/config/SettingsTestDir.h"
#include "tests/support/FakeTerminal.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <algorithm>

#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using namespace vorlanx;
using json = nlohmann::json;

int connectTo(const std::filesystem::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(s);
        return -1;
    }
    timeval limit{20, 0};
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    return s;
}

// Every JSON line the service answered to one request.
std::vector<json> ask(const std::filesystem::path& path, const std::string& requestLine) {
    const int s = connectTo(path);
    EXPECT_GE(s, 0);
    std::vector<json> lines;
    if (s < 0)
        return lines;
    const std::string sent = requestLine + "\n";
    ::send(s, sent.data(), sent.size(), MSG_NOSIGNAL);
    std::string pending;
    char buffer[4096];
    for (ssize_t n; (n = ::recv(s, buffer, sizeof buffer, 0)) > 0;)
        pending.append(buffer, static_cast<std::size_t>(n));
    ::close(s);
    for (std::size_t start = 0, end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(json::parse(pending.substr(start, end - start)));
    return lines;
}

class Control : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.startListening(test::freeUdpPort()).listening);
        ASSERT_EQ(server.start(socketPath), std::nullopt);
    }

    json done(const std::string& request) {
        const auto lines = ask(socketPath, request);
        EXPECT_FALSE(lines.empty());
        return lines.empty() ? json() : lines.back();
    }

    test::SettingsTestDir dir{"vorlanx-control"};
    std::filesystem::path socketPath = dir.path() / "vorlanxd.sock";
    service::VorlanxService service{{dir.path(), [] { return false; }}};
    std::vector<std::string> logged;
    std::mutex logMutex;
    service::ControlServer server{service, [this](const std::string& line) {
                                      std::lock_guard lock(logMutex);
                                      logged.push_back(line);
                                  }};
};

TEST_F(Control, StatusAndTerminalsAnswerWithTheirDocuments) {
    const json status = done(R"(["status"])");
    EXPECT_EQ(status["event"], "done");
    EXPECT_EQ(status["exit"], 0);
    EXPECT_EQ(status["status"]["port"], service.endpoint().localPort());
    EXPECT_EQ(status["status"]["database"]["kind"], "none");
    for (const char* count : {"datagrams", "cardQueries", "payments", "offlineRecords", "answers", "dropped"})
        EXPECT_TRUE(status["status"]["counts"].contains(count)) << count;
    EXPECT_TRUE(status["status"].contains("uptimeSeconds"));
    EXPECT_TRUE(status["status"].contains("queueDepth"));

    test::FakeTerminal terminal;
    terminal.send(service.endpoint().localPort(), "FE01000700057400000000000000");
    ASSERT_TRUE(terminal.inbox.next());
    const json heard = done(R"(["terminals","--silent-after","60"])");
    ASSERT_EQ(heard["terminals"].size(), 1u);
    EXPECT_EQ(heard["terminals"][0]["address"], "127.0.0.1");
    EXPECT_EQ(heard["terminals"][0]["machine"], "7");
    EXPECT_EQ(heard["terminals"][0]["frames"], 1);
    EXPECT_EQ(heard["terminals"][0]["silent"], false);
    std::lock_guard lock(logMutex);
    EXPECT_EQ(logged.front(), R"([控制]["status"])");
}

TEST_F(Control, AdministrationCommandStreamsAnswersAndCountsThem) {
    test::FakeTerminal answering;
    test::FakeTerminal silent;
    const std::string to1 = "127.0.0.1:" + std::to_string(answering.port) + ":1";
    const std::string to2 = "127.0.0.1:" + std::to_string(silent.port) + ":2";
    std::jthread reply([&] {
        // The terminal confirms what it was sent, from its own address and port.
        if (answering.inbox.next())
            answering.send(service.endpoint().localPort(), "FE010001000181E40C");
    });
    const auto lines = ask(socketPath, json({"list", "black", "--to", to1, "--to", to2, "--wait", "1"}).dump());
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0]["event"], "command");
    EXPECT_EQ(lines[0]["id"], service.commandId());
    EXPECT_EQ(lines[1]["event"], "answer");
    EXPECT_EQ(lines[1]["line"], "127.0.0.1:" + std::to_string(answering.port) + "|设置成功");
    EXPECT_EQ(lines.back()["id"], service.commandId());
    EXPECT_EQ(lines.back()["answered"], 1);
    EXPECT_EQ(lines.back()["targets"], 2);
    EXPECT_EQ(lines.back()["exit"], 3);
    EXPECT_EQ(silent.inbox.next(), link::listModeFrame("2", link::CardList::Black)); // it reached both
}

TEST_F(Control, RefusesBadRequestsAndInput) {
    EXPECT_EQ(done("status")["exit"], 2) << "not JSON";
    EXPECT_EQ(done(R"(["fly"])")["exit"], 2);
    EXPECT_EQ(done(R"([1,2])")["exit"], 2);
    EXPECT_EQ(done(R"(["clock","set"])")["error"],
              "no target: name terminals with --to IP:PORT:MACHINE, --terminals FILE or --heard");
    EXPECT_EQ(done(R"(["clock","set","--heard"])")["exit"], 2) << "nothing heard yet";
    EXPECT_EQ(done(R"(["clock","set","--to","127.0.0.1:0:1"])")["error"], "设备列表第1行的端口不正确（1-65535）：0");
    EXPECT_EQ(done(R"(["periods","--lunch","25:00:00-13:00:00","--to","127.0.0.1:9:1"])")["exit"], 2);
    EXPECT_EQ(done(R"(["mode","turbo","--to","127.0.0.1:9:1"])")["exit"], 2);
    EXPECT_EQ(done(R"(["clock","set","--bogus"])")["error"], "unknown option --bogus");

    const auto oversized = ask(socketPath, std::string(service::ControlServer::kMaxRequest + 10, 'x'));
    ASSERT_EQ(oversized.size(), 1u);
    EXPECT_EQ(oversized[0]["exit"], 2);
    // The service is none the worse for it.
    EXPECT_EQ(done(R"(["status"])")["exit"], 0);
}

TEST_F(Control, SilentClientHoldsUpNobody) {
    const int silent = connectTo(socketPath);
    ASSERT_GE(silent, 0);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(done(R"(["status"])")["exit"], 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    ::close(silent);
}

// A mode set on one terminal under 200 machine numbers: 200 frames 100 ms apart, 20 s in all.
json longCommand(std::uint16_t terminalPort) {
    json words = {"mode", "fixed", "--wait", "0"};
    for (int machine = 1; machine <= 200; ++machine) {
        words.push_back("--to");
        words.push_back("127.0.0.1:" + std::to_string(terminalPort) + ":" + std::to_string(machine));
    }
    return words;
}

bool waitForFrames(test::FakeTerminal& terminal, std::size_t count) {
    for (int i = 0; i < 100 && terminal.inbox.size() < count; ++i)
        std::this_thread::sleep_for(50ms);
    return terminal.inbox.size() >= count;
}

TEST_F(Control, CancelEndsTheRunningCommandAndKeepsThePort) {
    test::FakeTerminal terminal;
    std::vector<json> lines;
    std::jthread client([&] { lines = ask(socketPath, longCommand(terminal.port).dump()); });
    ASSERT_TRUE(waitForFrames(terminal, 2));
    const auto cancelledAt = std::chrono::steady_clock::now();
    const json cancel = done(R"(["cancel"])");
    EXPECT_EQ(cancel["exit"], 0) << cancel;
    EXPECT_EQ(cancel["cancelled"], true) << cancel;
    client.join();
    EXPECT_LT(std::chrono::steady_clock::now() - cancelledAt, 5s);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back()["cancelled"], true) << lines.back();
    EXPECT_EQ(lines.back()["completed"], false) << lines.back();
    EXPECT_LT(terminal.inbox.size(), 100u);
    // The port stays open: a keep-alive is still acknowledged.
    EXPECT_TRUE(service.listening());
    test::FakeTerminal later;
    later.send(service.endpoint().localPort(), "FE01004E00057400112233442A5B");
    EXPECT_EQ(later.inbox.next(), "FE01004E000181F2D8");
    EXPECT_EQ(done(R"(["cancel"])")["cancelled"], false) << "nothing runs any more";
}

// Two sessions at once on one terminal that answers the first command and then falls silent: the
// second command waits for the first and is shown nothing of it, neither its answer nor its end.
TEST_F(Control, OverlappingCommandsShowOnlyTheirOwnAnswers) {
    test::FakeTerminal first;
    test::FakeTerminal silent;
    const std::string toFirst = "127.0.0.1:" + std::to_string(first.port) + ":1";
    json longer = {"amounts", "--wait", "0", "--to", toFirst};
    for (int machine = 1; machine <= 200; ++machine)
        longer.insert(longer.end(), {"--to", "127.0.0.1:" + std::to_string(silent.port) + ":" + std::to_string(machine)});
    std::vector<json> firstLines;
    std::jthread firstClient([&] { firstLines = ask(socketPath, longer.dump()); });
    ASSERT_TRUE(first.inbox.next(20s));
    const std::uint64_t firstId = service.commandId();

    const json shorter = {"mode", "fixed", "--to", toFirst, "--wait", "1"};
    std::vector<json> secondLines;
    std::jthread secondClient([&] { secondLines = ask(socketPath, shorter.dump()); });
    // The first command's answer comes once the second request is being served, and waits.
    const auto taken = std::chrono::steady_clock::now() + 20s;
    for (bool seen = false; !seen && std::chrono::steady_clock::now() < taken; std::this_thread::sleep_for(20ms)) {
        std::lock_guard lock(logMutex);
        seen = std::find(logged.begin(), logged.end(), "[控制]" + shorter.dump()) != logged.end();
    }
    std::this_thread::sleep_for(200ms);
    first.send(service.endpoint().localPort(), "FE010001000181E40C");
    const json cancelled = done(json({"cancel", "--id", std::to_string(firstId)}).dump());
    EXPECT_EQ(cancelled["cancelled"], true) << cancelled;
    firstClient.join();
    secondClient.join();

    ASSERT_FALSE(firstLines.empty());
    EXPECT_EQ(firstLines.back()["id"], firstId);
    EXPECT_EQ(firstLines.back()["answered"], 1) << firstLines.back();
    ASSERT_GE(secondLines.size(), 2u);
    EXPECT_EQ(secondLines.front()["event"], "command");
    EXPECT_EQ(secondLines.front()["id"], firstId + 1);
    for (const json& line : secondLines)
        EXPECT_NE(line["event"], "answer") << line;
    EXPECT_EQ(secondLines.back()["exit"], 3) << secondLines.back();
    EXPECT_EQ(secondLines.back()["answered"], 0);
    EXPECT_EQ(secondLines.back()["completed"], true);

    // A finished command's number cancels nothing, also while another command runs.
    test::FakeTerminal third;
    std::vector<json> thirdLines;
    std::jthread thirdClient([&] { thirdLines = ask(socketPath, longCommand(third.port).dump()); });
    ASSERT_TRUE(waitForFrames(third, 2));
    EXPECT_EQ(done(json({"cancel", "--id", std::to_string(firstId)}).dump())["cancelled"], false);
    EXPECT_TRUE(service.commandRunning());
    EXPECT_EQ(done(json({"cancel", "--id", std::to_string(service.commandId())}).dump())["cancelled"], true);
    thirdClient.join();
    ASSERT_FALSE(thirdLines.empty());
    EXPECT_EQ(thirdLines.back()["cancelled"], true);
    EXPECT_EQ(done(R"(["cancel","--id","0"])")["exit"], 2);
}

TEST_F(Control, AClientThatHangsUpCancelsItsCommand) {
    test::FakeTerminal terminal;
    const int s = connectTo(socketPath);
    ASSERT_GE(s, 0);
    const std::string request = longCommand(terminal.port).dump() + "\n";
    ASSERT_EQ(::send(s, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
    ASSERT_TRUE(waitForFrames(terminal, 2));
    ::close(s);
    EXPECT_TRUE(service.waitCommandIdle(5s)) << "the command ran on without its client";
    EXPECT_LT(terminal.inbox.size(), 100u);
}

// A request trickled a byte a second never ends with a line; the client is dropped after 10 s
// in all, not 10 s after its last byte.
TEST_F(Control, ARequestMustArriveWithinTenSecondsInAll) {
    const int s = connectTo(socketPath);
    ASSERT_GE(s, 0);
    const auto connected = std::chrono::steady_clock::now();
    bool dropped = false;
    while (!dropped && std::chrono::steady_clock::now() - connected < 16s) {
        if (::send(s, "[", 1, MSG_NOSIGNAL) != 1) {
            dropped = true;
            break;
        }
        pollfd readable{s, POLLIN, 0};
        if (::poll(&readable, 1, 1000) > 0)
            dropped = true;
    }
    const auto held = std::chrono::steady_clock::now() - connected;
    ::close(s);
    EXPECT_TRUE(dropped) << "a trickling client held its connection for 16 s";
    EXPECT_LT(held, 13s);
}

// Noise from a sender makes it a row of "terminals", never a target of --heard.
TEST_F(Control, HeardMeansAtLeastOneFrameWithItsChecksumRight) {
    test::FakeTerminal terminal("127.0.0.1");
    test::FakeTerminal noise("127.0.0.3");
    // A keep-alive with its checksum right, and the same with a wrong one.
    terminal.send(service.endpoint().localPort(), "FE01004E0005740011223344E3E5");
    noise.send(service.endpoint().localPort(), "FE01004F00057400112233440000");
    ASSERT_TRUE(terminal.inbox.next());
    ASSERT_TRUE(noise.inbox.next()) << "a keep-alive is acknowledged whatever its checksum";
    for (int i = 0; i < 50 && done(R"(["terminals"])")["terminals"].size() < 2; ++i)
        std::this_thread::sleep_for(50ms);
    ASSERT_EQ(done(R"(["terminals"])")["terminals"].size(), 2u);
    const json heard = done(R"(["clock","read","--heard","--wait","0"])");
    EXPECT_EQ(heard["targets"], 1) << heard;
    EXPECT_FALSE(noise.inbox.next(300ms)) << "the sender of noise was sent a command";
}

TEST_F(Control, SocketIsForTheServiceUserOnlyAndGoesWithTheServer) {
    struct stat info{};
    ASSERT_EQ(::lstat(socketPath.c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    server.stop();
    EXPECT_FALSE(std::filesystem::exists(socketPath));
}

TEST(ControlSocket, StaleSocketIsReplacedALiveOneIsNot) {
    test::SettingsTestDir dir{"vorlanx-control-stale"};
    const auto path = dir.path() / "vorlanxd.sock";
    {
        // A socket file left by a process that was killed: bound, never removed.
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_EQ(::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        ::close(s);
    }
    service::VorlanxService service{{dir.path(), [] { return false; }}};
    service::ControlServer first(service, {});
    EXPECT_EQ(first.start(path), std::nullopt);
    EXPECT_EQ(ask(path, R"(["status"])").back()["exit"], 0);

    service::ControlServer second(service, {});
    const auto refused = second.start(path);
    ASSERT_TRUE(refused);
    EXPECT_NE(refused->find("another vorlanxd"), std::string::npos);

    service::ControlServer tooLong(service, {});
    const auto longPath = dir.path() / std::string(120, 'd') / "vorlanxd.sock";
    const auto error = tooLong.start(longPath);
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("over the limit"), std::string::npos);
}

} // namespace
