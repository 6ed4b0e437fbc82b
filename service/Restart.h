#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorlanx::service {

// The service cannot start a second copy of itself and wait for its own end, so it leaves the
// restart to a small script: the script waits, starts the executable again and deletes itself,
// while the service ends at once.

inline constexpr int kDefaultRestartDelay = 2;

int restartDelay(std::optional<int> requested);

// The Windows Restart.bat: four lines joined by CR LF, none after the last. launchPath and
// arguments are written as given on its start line (arguments after the program, when not
// empty); the Windows restart gives the batch parameters %~1 and %2 on, not names.
std::string restartBatchText(int delaySeconds, std::string_view launchPath, std::string_view arguments = {});

// The POSIX counterpart, a /bin/sh script: wait, delete the script, start the program from its
// own directory with the given arguments.
std::string restartShellText(int delaySeconds, const std::filesystem::path& program,
                             const std::vector<std::string>& arguments, const std::filesystem::path& script);

using EndProcessFunction = std::function<void()>;

// Ends this process at once, with exit code 0 and without any exit routine: open sockets and
// the database connection are left to the operating system.
[[noreturn]] void endProcessNow();

// Writes and starts the restart script for program, which starts it again with arguments, and
// then calls endProcess. On Windows the program and its arguments reach the script on cmd's
// command line, in UTF-16 and quoted as CommandLineToArgvW reads them back, so that any path
// works without 8.3 names and "--dir D:\" comes back whole. On Windows Restart.bat goes into a folder of its own in
// this user's temporary folder (restartScriptDir), which no other user can write: never beside the program or into the
// service directory, where an operator could change what cmd runs between its writing and its start. It runs in that
// folder. Elsewhere Restart.sh goes beside the program, or into the temporary directory when that is read-only, and
// starts in a session of its own. Returns false without calling endProcess when program is not an existing file or when
// the script could not be written or started, so the caller keeps running; true when endProcess returned.
bool restartProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                    std::optional<int> delaySeconds, const EndProcessFunction& endProcess);

#ifdef _WIN32
// Where this process writes Restart.bat: vorlanx-restart-PID in this user's temporary folder.
std::filesystem::path restartScriptDir();
#endif

// This process's executable (GetModuleFileNameW on Windows, /proc/self/exe elsewhere); its
// directory is the service directory. Empty when the system cannot say.
std::filesystem::path ownProgram();

// restartProgram for this process's own executable (outside Windows with this process's own
// command-line arguments, so that vorlanxd keeps its --port and --dir). With the default endProcess it returns only
// when the restart could not be handed over.
bool restartSelf(std::optional<int> delaySeconds = std::nullopt, const EndProcessFunction& endProcess = endProcessNow);

// The arguments of a start that must come back to dir: every "--dir X" of arguments dropped and
// "--dir dir" added, so that a relaunch never depends on which rule found the directory first.
std::vector<std::string> argumentsWithDir(const std::vector<std::string>& arguments, const std::filesystem::path& dir);

// restartSelf coming back in dir: the program starts again with --dir dir.
bool restartSelfIn(const std::filesystem::path& dir, std::optional<int> delaySeconds = std::nullopt,
                   const EndProcessFunction& endProcess = endProcessNow);

} // namespace vorlanx::service
