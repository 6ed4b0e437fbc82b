#include "service/Restart.h"

#include "tests/config/SettingsTestDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using namespace vorlanx::service;
using vorlanx::test::SettingsTestDir;

TEST(RestartDelay, AbsentOrBelowOneIsTwo) {
    EXPECT_EQ(restartDelay(std::nullopt), 2);
    EXPECT_EQ(restartDelay(0), 2);
    EXPECT_EQ(restartDelay(-5), 2);
    EXPECT_EQ(restartDelay(1), 1);
    EXPECT_EQ(restartDelay(3), 3);
}

TEST(RestartBatchText, DelayThreeAndShortPath) {
    EXPECT_EQ(restartBatchText(3, "C:\\POS\\SERVICE.EXE"), "@echo off \r\n"
                                                           "@ping 127.0.0.1 -n 3 >nul\r\n"
                                                           "start \"\" \"C:\\POS\\SERVICE.EXE\"\r\n"
                                                           "del Restart.bat");
}

TEST(RestartBatchText, DelayZeroOrAbsentPingsTwice) {
    const std::string expected = "@echo off \r\n"
                                 "@ping 127.0.0.1 -n 2 >nul\r\n"
                                 "start \"\" \"C:\\POS\\SERVICE.EXE\"\r\n"
                                 "del Restart.bat";
    EXPECT_EQ(restartBatchText(restartDelay(0), "C:\\POS\\SERVICE.EXE"), expected);
    EXPECT_EQ(restartBatchText(restartDelay(std::nullopt), "C:\\POS\\SERVICE.EXE"), expected);
}

TEST(RestartBatchText, PathWithBlanksStaysWholeInItsQuotes) {
    EXPECT_EQ(restartBatchText(3, "C:\\Program Files\\Vorlanx\\vorlanx.exe"),
              "@echo off \r\n"
              "@ping 127.0.0.1 -n 3 >nul\r\n"
              "start \"\" \"C:\\Program Files\\Vorlanx\\vorlanx.exe\"\r\n"
              "del Restart.bat");
}

TEST(RestartBatchText, GbkPathBytesPassThroughUnchanged) {
    // C:\食堂\vorlanx.exe as the ANSI calls give it on a Chinese Windows.
    const std::string path = "C:\\\xCA\xB3\xCC\xC3\\vorlanx.exe";
    EXPECT_EQ(restartBatchText(4, path),
              "@echo off \r\n@ping 127.0.0.1 -n 4 >nul\r\nstart \"\" \"" + path + "\"\r\ndel Restart.bat");
}

TEST(RestartBatchText, ArgumentsFollowTheProgramOnItsStartLine) {
    EXPECT_EQ(restartBatchText(2, "C:\\VORLAN~1\\vorlanx.exe", "\"--dir\" \"C:\\D\""),
              "@echo off \r\n"
              "@ping 127.0.0.1 -n 2 >nul\r\n"
              "start \"\" \"C:\\VORLAN~1\\vorlanx.exe\" \"--dir\" \"C:\\D\"\r\n"
              "del Restart.bat");
}

TEST(RestartShellText, WaitsDeletesItselfAndStartsFromTheProgramsDirectory) {
    EXPECT_EQ(restartShellText(3, "/opt/vorlanx/vorlanxd", {"--dir", "/srv/it's here"}, "/opt/vorlanx/Restart.sh"),
              "#!/bin/sh\n"
              "sleep 3\n"
              "rm -f '/opt/vorlanx/Restart.sh'\n"
              "cd '/opt/vorlanx' && exec '/opt/vorlanx/vorlanxd' '--dir' '/srv/it'\\''s here' </dev/null\n");
}

TEST(ArgumentsWithDir, ARestartComesBackToTheSameDirectory) {
    // The window found its directory by a rule (its own, or ~/.config/vorlanx); the restart names it.
    const std::filesystem::path dir = std::filesystem::absolute("canteen");
    const std::u8string text = dir.u8string();
    const std::string named(text.begin(), text.end());
    EXPECT_EQ(argumentsWithDir({}, dir), (std::vector<std::string>{"--dir", named}));
    EXPECT_EQ(argumentsWithDir({"-platform", "offscreen", "--dir", "/old", "--dir=/older"}, dir),
              (std::vector<std::string>{"-platform", "offscreen", "--dir", named}));
    EXPECT_EQ(argumentsWithDir({"--dir"}, dir), (std::vector<std::string>{"--dir", named}));
}

TEST(RestartProgram, MissingProgramReturnsWithoutEndingAnything) {
    SettingsTestDir dir("vorlanx-restart");
    bool ended = false;
    EXPECT_FALSE(restartProgram(dir.path() / "no-such-program", {}, 1, [&] { ended = true; }));
    EXPECT_FALSE(ended);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

#ifndef _WIN32
TEST(RestartProgram, RelaunchesTheProgramFromItsDirectoryAndLeavesNoScript) {
    // Blanks and a quote in the directory name test the script's quoting.
    SettingsTestDir dir("vorlanx restart 'probe'");
    const std::filesystem::path program = dir.path() / "restart_probe";
    std::filesystem::copy_file(VORLANX_RESTART_PROBE, program);
    const std::filesystem::path script = dir.path() / "Restart.sh";
    dir.write(script, "echo left over from an earlier restart\n");

    bool ended = false;
    ASSERT_TRUE(restartProgram(program, {"--port", "3 000"}, 1, [&] { ended = true; }));
    EXPECT_TRUE(ended);

    const std::filesystem::path note = dir.path() / "probe-ran.txt";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((!std::filesystem::exists(note) || std::filesystem::exists(script)) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));

    ASSERT_TRUE(std::filesystem::exists(note)) << "the program was not started again";
    EXPECT_EQ(SettingsTestDir::read(note), dir.path().string() + "\n--port\n3 000\n");
    EXPECT_FALSE(std::filesystem::exists(script));
}
#endif

} // namespace
