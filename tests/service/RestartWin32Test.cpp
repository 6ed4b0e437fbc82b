// Self-restart on Windows, run under Wine or on Windows: Restart.bat beside a program whose
// directory has blanks in its name, started through cmd, relaunching the program and deleting
// itself.

#include "service/Restart.h"

#include "tests/config/SettingsTestDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <windows.h>

namespace {

using namespace vorlanx::service;
using vorlanx::test::SettingsTestDir;

std::string ansiPath(const std::filesystem::path& path) {
    const std::wstring wide = path.wstring();
    const int bytes =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), text.data(), bytes, nullptr, nullptr);
    return text;
}

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

void expectRestartThroughShortPath(const SettingsTestDir& dir) {
    const std::filesystem::path program = dir.path() / "restart_probe.exe";
    std::filesystem::copy_file(VORLANX_RESTART_PROBE, program);
    const std::filesystem::path script = dir.path() / "Restart.bat";
    dir.write(script, "echo left over from an earlier restart\r\n");

    char shortPath[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameA(ansiPath(program).c_str(), shortPath, MAX_PATH), 0u);
    const std::string launchPath = shortPath;
    EXPECT_EQ(launchPath.find(' '), std::string::npos) << launchPath;
    EXPECT_NE(launchPath, ansiPath(program));

    // The script waits 3 s (ping) before it starts the program, time enough to read it first.
    std::string written;
    bool ended = false;
    ASSERT_TRUE(restartProgram(program, {}, 3, [&] {
        written = SettingsTestDir::read(script);
        ended = true;
    }));
    EXPECT_TRUE(ended);
    EXPECT_EQ(written, "@echo off \r\n"
                       "@ping 127.0.0.1 -n 3 >nul\r\n"
                       "start \"\" \"" +
                           launchPath +
                           "\"\r\n"
                           "del Restart.bat");
    EXPECT_EQ(written, restartBatchText(3, launchPath));

    const std::filesystem::path note = dir.path() / "probe-ran.txt";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((!std::filesystem::exists(note) || std::filesystem::exists(script)) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(std::filesystem::exists(note)) << "the program was not started again";
    EXPECT_FALSE(std::filesystem::exists(script)) << "Restart.bat did not delete itself";
    // The program starts in its own directory, where the script ran.
    const std::string ran = SettingsTestDir::read(note);
    EXPECT_TRUE(std::filesystem::equivalent(utf8Path(ran.substr(0, ran.find('\n'))), dir.path())) << ran;
}

TEST(RestartWin32, BatchNamesTheShortPathAndRelaunchesTheProgram) {
    SettingsTestDir dir("vorlanx restart probe");
    expectRestartThroughShortPath(dir);
}

TEST(RestartWin32, ChineseDirectoryWithBlanksOnAChineseWindows) {
    if (GetACP() != 936)
        GTEST_SKIP() << "needs the ANSI code page of a Chinese Windows (936); this one has " << GetACP()
                     << " (scripts/test-windows runs the tests once more under LC_ALL=zh_CN.UTF-8)";
    SettingsTestDir dir("食堂 消费 服务");
    expectRestartThroughShortPath(dir);
}

} // namespace
