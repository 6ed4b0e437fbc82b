// Where the window keeps conf.ini: --dir as given, else the executable's directory when a file
// can be made there, else ~/.config/vorlanx. The packaged window lives in /usr/bin, which the
// operator cannot write; a copied folder or a build tree keeps its files beside the program.

#include "service/WindowDir.h"

#include "tests/config/SettingsTestDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using namespace vorlanx::service;
using vorlanx::test::SettingsTestDir;
namespace fs = std::filesystem;

WindowDirInputs inputsFor(const fs::path& programDir, const fs::path& configHome) {
    WindowDirInputs inputs;
    inputs.programDir = programDir;
    inputs.configHome = configHome;
    return inputs;
}

TEST(WindowDir, AWritableProgramDirectoryIsTaken) {
    SettingsTestDir program("vorlanx-program"), home("vorlanx-home");
    ASSERT_TRUE(isWritableDir(program.path()));
    EXPECT_EQ(chooseWindowDir(inputsFor(program.path(), home.path())), program.path());
    EXPECT_FALSE(fs::exists(home.path() / kWindowDirName)) << "nothing is made where it is not used";
    EXPECT_TRUE(fs::is_empty(program.path())) << "the write probe leaves nothing behind";
}

TEST(WindowDir, AReadOnlyProgramDirectoryLeadsToTheUsersConfigurationDirectory) {
    SettingsTestDir home("vorlanx-home");
#ifdef _WIN32
    GTEST_SKIP() << "a read-only directory attribute does not stop file creation on Windows";
#else
    // Root writes in any mode-0555 directory; a read-only file system such as /proc stops
    // everyone, so the root test run takes that one.
    SettingsTestDir owned("vorlanx-readonly");
    fs::path readOnly = owned.path();
    if (geteuid() == 0)
        readOnly = "/proc";
    else
        ASSERT_EQ(chmod(readOnly.c_str(), 0555), 0);
    EXPECT_FALSE(isWritableDir(readOnly));
    const auto chosen = chooseWindowDir(inputsFor(readOnly, home.path()));
    chmod(owned.path().c_str(), 0755); // so that the directory can be removed
    ASSERT_TRUE(chosen);
    EXPECT_EQ(*chosen, home.path() / kWindowDirName);
    EXPECT_TRUE(fs::is_directory(*chosen)) << "made when missing";
#endif
}

TEST(WindowDir, DirOptionWinsOverAWritableProgramDirectory) {
    SettingsTestDir program("vorlanx-program"), home("vorlanx-home"), given("vorlanx-given");
    WindowDirInputs inputs = inputsFor(program.path(), home.path());
    inputs.requested = given.path();
    EXPECT_EQ(chooseWindowDir(inputs), given.path());
    inputs.programDir = "/proc";
    EXPECT_EQ(chooseWindowDir(inputs), given.path()) << "also where the program directory is read-only";
}

// The window and the service of one install share the data folder setup recorded, wherever
// each is started from; --dir still wins, and a recorded folder since removed is passed over.
TEST(WindowDir, TheRecordedDataFolderComesAfterDirAndBeforeTheProgramDirectory) {
    SettingsTestDir program("vorlanx-program"), home("vorlanx-home"), data("vorlanx-data"), given("vorlanx-given");
    WindowDirInputs inputs = inputsFor(program.path(), home.path());
    inputs.recorded = data.path();
    EXPECT_EQ(chooseWindowDir(inputs), data.path());
    inputs.requested = given.path();
    EXPECT_EQ(chooseWindowDir(inputs), given.path());
    inputs.requested.reset();
    inputs.recorded = data.path() / "removed";
    EXPECT_EQ(chooseWindowDir(inputs), program.path());
}

TEST(WindowDir, TheInstalledProgramDirectoryIsNeverTakenEvenWhenWritable) {
    SettingsTestDir program("vorlanx-program"), home("vorlanx-home");
    WindowDirInputs inputs = inputsFor(program.path(), home.path());
    inputs.installedProgramDir = program.path();
    EXPECT_EQ(chooseWindowDir(inputs), home.path() / kWindowDirName);
}

TEST(WindowDir, AnExistingConfigurationDirectoryIsKept) {
    SettingsTestDir home("vorlanx-home");
    fs::create_directories(home.path() / kWindowDirName);
    home.write(home.path() / kWindowDirName / "conf.ini", "[sername]\r\ntype=2\r\n");
    const auto chosen = chooseWindowDir(inputsFor("/nowhere", home.path()), [](const fs::path&) { return false; });
    EXPECT_EQ(chosen, home.path() / kWindowDirName);
    EXPECT_EQ(SettingsTestDir::read(home.path() / kWindowDirName / "conf.ini"), "[sername]\r\ntype=2\r\n");
}

TEST(WindowDir, NoConfigurationDirectoryToMakeGivesNothing) {
    SettingsTestDir home("vorlanx-home");
    home.write(home.path() / kWindowDirName, "a file where the directory should be");
    const auto never = [](const fs::path&) { return false; };
    EXPECT_FALSE(chooseWindowDir(inputsFor("/nowhere", home.path()), never));
    EXPECT_FALSE(chooseWindowDir(inputsFor("/nowhere", {}), never));
}

// On Windows the folder is %APPDATA%\Vorlanx, as Windows programs name theirs; elsewhere
// ~/.config/vorlanx.
TEST(WindowDir, TheUsersFolderIsNamedAfterThePlatformsHabit) {
    SettingsTestDir home("vorlanx-home");
    const auto chosen = chooseWindowDir(inputsFor("/nowhere", home.path()), [](const fs::path&) { return false; });
    ASSERT_TRUE(chosen);
#ifdef _WIN32
    EXPECT_EQ(chosen->filename().string(), "Vorlanx");
#else
    EXPECT_EQ(chosen->filename().string(), "vorlanx");
#endif
    EXPECT_TRUE(fs::is_directory(*chosen));
}

TEST(WindowDir, TheUsersConfigurationDirectoryComesFromTheEnvironment) {
#ifdef _WIN32
    const std::wstring saved = _wgetenv(L"APPDATA") ? _wgetenv(L"APPDATA") : L"";
    _wputenv_s(L"APPDATA", L"C:\\users\\食堂\\AppData\\Roaming");
    EXPECT_EQ(userConfigHome(), fs::path(L"C:\\users\\食堂\\AppData\\Roaming"));
    _wputenv_s(L"APPDATA", saved.c_str());
#else
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = xdg ? xdg : "";
    setenv("XDG_CONFIG_HOME", "/srv/config", 1);
    EXPECT_EQ(userConfigHome(), fs::path("/srv/config"));
    setenv("XDG_CONFIG_HOME", "relative/config", 1); // not absolute: ignored, as the XDG rules say
    EXPECT_EQ(userConfigHome(), fs::path(std::getenv("HOME")) / ".config");
    if (xdg)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
#endif
}

TEST(WindowDir, AMissingDirectoryIsNotWritable) {
    SettingsTestDir home("vorlanx-home");
    EXPECT_FALSE(isWritableDir(home.path() / "missing"));
    EXPECT_FALSE(isWritableDir({}));
}

} // namespace
