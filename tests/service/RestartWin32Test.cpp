// Self-restart on Windows, run under Wine or on Windows: Restart.bat, written in this user's own
// temporary folder for a program whose directory has blanks or characters outside the ANSI code
// page in its name, started through cmd, relaunching the program in the same service directory
// and deleting itself.

#include "service/Restart.h"

#include "tests/config/SettingsTestDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

namespace {

using namespace vorlanx::service;
using vorlanx::test::SettingsTestDir;

TEST(RestartWin32, OwnProgramIsThisExecutable) {
    const std::filesystem::path self = ownProgram();
    EXPECT_EQ(self.filename(), "service_tests.exe");
    EXPECT_TRUE(self.is_absolute());
    EXPECT_TRUE(
        std::filesystem::equivalent(self.parent_path(), std::filesystem::path(VORLANX_RESTART_PROBE).parent_path()));
}

// Narrow text becomes a path only through UTF-8: libstdc++ on Windows widens narrow bytes one by one.
std::filesystem::path utf8Path(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// The folder Restart.bat is written and run in, emptied before and after a test.
struct ScriptDir {
    std::filesystem::path path = restartScriptDir();
    ScriptDir() { remove(); }
    ~ScriptDir() { remove(); }
    // cmd and the program it started keep the folder as their working directory until they end.
    void remove() const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        std::error_code error;
        while (std::filesystem::remove_all(path, error), error && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
};

// Restart.bat as the restart writes it: the program and its arguments come as its parameters.
std::string batchFor(int delay, const std::string& startArguments) {
    return "@echo off \r\n@ping 127.0.0.1 -n " + std::to_string(delay) + " >nul\r\nstart \"\" \"%~1\"" +
           (startArguments.empty() ? "" : " " + startArguments) + "\r\ndel Restart.bat";
}

// The probe's note: the directory it started in, then its arguments, one a line.
std::vector<std::string> waitForProbe(const std::filesystem::path& note, const std::filesystem::path& script);

void expectRestart(const SettingsTestDir& dir) {
    const std::filesystem::path program = dir.path() / "restart_probe.exe";
    std::filesystem::copy_file(VORLANX_RESTART_PROBE, program);
    const ScriptDir scriptDir;
    std::filesystem::create_directories(scriptDir.path);
    const std::filesystem::path script = scriptDir.path / "Restart.bat";
    dir.write(script, "echo left over from an earlier restart\r\n");

    // The script waits 3 s (ping) before it starts the program, time enough to read it first.
    std::string written;
    bool ended = false;
    ASSERT_TRUE(restartProgram(program, {}, 3, [&] {
        written = SettingsTestDir::read(script);
        ended = true;
    }));
    EXPECT_TRUE(ended);
    EXPECT_EQ(written, batchFor(3, ""));
    EXPECT_EQ(written, restartBatchText(3, "%~1"));

    const auto lines = waitForProbe(scriptDir.path / "probe-ran.txt", script);
    ASSERT_FALSE(lines.empty()) << "the program was not started again";
    EXPECT_FALSE(std::filesystem::exists(script)) << "Restart.bat did not delete itself";
    // The program starts where the script ran.
    EXPECT_TRUE(std::filesystem::equivalent(utf8Path(lines[0]), scriptDir.path)) << lines[0];
}

TEST(RestartWin32, RelaunchesTheProgramFromADirectoryWithBlanks) {
    SettingsTestDir dir("vorlanx restart probe");
    expectRestart(dir);
}

// The probe's note: the directory it started in, then its arguments, one a line.
std::vector<std::string> waitForProbe(const std::filesystem::path& note, const std::filesystem::path& script) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((!std::filesystem::exists(note) || std::filesystem::exists(script)) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::vector<std::string> lines;
    if (!std::filesystem::exists(note))
        return lines;
    const std::string text = SettingsTestDir::read(note);
    for (std::size_t begin = 0; begin < text.size();) {
        const std::size_t end = text.find('\n', begin);
        lines.push_back(text.substr(begin, end - begin));
        begin = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

// The window restarts in the directory it chose at its start, not in whatever the rule would
// choose for the new process. The script is written neither beside the program nor in that
// directory, which the operators' group may write, but in this user's own temporary folder.
TEST(RestartWin32, TheRelaunchComesBackToTheSameServiceDirectoryFromAPrivateScript) {
    SettingsTestDir dir("vorlanx restart dir"), service("vorlanx service dir");
    const std::filesystem::path program = dir.path() / "restart_probe.exe";
    std::filesystem::copy_file(VORLANX_RESTART_PROBE, program);
    const ScriptDir scriptDir;
    wchar_t temp[MAX_PATH + 1] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
    // GetTempPathW ends with a backslash: its parent_path is the folder itself.
    EXPECT_EQ(scriptDir.path.parent_path(), std::filesystem::path(temp).parent_path());
    const std::filesystem::path script = scriptDir.path / "Restart.bat";
    std::string written;
    bool elsewhere = true;
    ASSERT_TRUE(restartProgram(program, argumentsWithDir({}, service.path()), 1, [&] {
        written = SettingsTestDir::read(script);
        elsewhere = std::filesystem::exists(dir.path() / "Restart.bat") ||
                    std::filesystem::exists(service.path() / "Restart.bat");
    }));
    EXPECT_FALSE(elsewhere) << "Restart.bat was written where others may write";
    EXPECT_EQ(written, batchFor(1, "%2 %3"));
    const auto lines = waitForProbe(scriptDir.path / "probe-ran.txt", script);
    ASSERT_EQ(lines.size(), 3u) << "the program was not started again with --dir DIR";
    EXPECT_EQ(lines[1], "--dir");
    EXPECT_TRUE(std::filesystem::equivalent(utf8Path(lines[2]), service.path())) << lines[2];
    EXPECT_FALSE(std::filesystem::exists(script)) << "Restart.bat did not delete itself";
}

TEST(RestartWin32, ChineseDirectoryWithBlanksOnAChineseWindows) {
    if (GetACP() != 936)
        GTEST_SKIP() << "needs the ANSI code page of a Chinese Windows (936); this one has " << GetACP()
                     << " (scripts/test-windows runs the tests once more under LC_ALL=zh_CN.UTF-8)";
    SettingsTestDir dir("食堂 消费 服务");
    expectRestart(dir);
}

// A program in a folder whose name the ANSI code page cannot spell (a Chinese name on a Western
// Windows, a snowman and a Belarusian letter on a Chinese one), found without any 8.3 name, and
// a --dir that is a drive's root: its trailing backslash must not swallow the closing quote.
TEST(RestartWin32, ProgramOutsideTheAnsiCodePageAndADriveRoot) {
    SettingsTestDir dir("vorlanx 食堂 \u2603 \u045e");
    const std::wstring name = dir.path().filename().wstring();
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0, nullptr, &lossy);
    ASSERT_TRUE(lossy) << "code page " << GetACP() << " spells the folder's name";
    const std::filesystem::path program = dir.path() / "restart_probe.exe";
    std::filesystem::copy_file(VORLANX_RESTART_PROBE, program);
    const ScriptDir scriptDir;
    const std::filesystem::path script = scriptDir.path / "Restart.bat";
    ASSERT_TRUE(restartProgram(program, argumentsWithDir({}, "C:\\"), 1, [] {}));
    const auto lines = waitForProbe(scriptDir.path / "probe-ran.txt", script);
    ASSERT_EQ(lines.size(), 3u) << "the program was not started again with --dir C:\\";
    EXPECT_EQ(lines[1], "--dir");
    EXPECT_EQ(lines[2], "C:\\");
}

} // namespace
