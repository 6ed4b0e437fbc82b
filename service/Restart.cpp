#include "service/Restart.h"

#include "link/DebugLog.h"
#include "service/WindowDir.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace vorlanx::service {

namespace {

// The batch text the service has always written; the two placeholders are filled in below.
constexpr std::string_view kBatchTemplate = "@echo off \r\n"
                                            "@ping 127.0.0.1 -n 秒数 >nul\r\n"
                                            "start \"\" \"<文件名>\"\r\n"
                                            "del Restart.bat";

void replaceFirst(std::string& text, std::string_view placeholder, std::string_view replacement) {
    const std::size_t at = text.find(placeholder);
    if (at != std::string::npos)
        text.replace(at, placeholder.size(), replacement);
}

bool writeScript(const std::filesystem::path& script, const std::string& bytes) {
    std::ofstream out(script, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    return static_cast<bool>(out);
}

bool isExistingFile(const std::filesystem::path& program) {
    std::error_code error;
    return !program.empty() && std::filesystem::is_regular_file(program, error);
}

std::string shellQuote(std::string_view text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    quoted += '\'';
    return quoted;
}

#ifndef _WIN32
// The script runs in a session of its own, from a grandchild that init adopts, so that it
// survives the end of the service and its terminal and leaves no zombie behind.
bool startDetached(const std::filesystem::path& script) {
    const std::string scriptPath = script.string();
    const char* const argv[] = {"sh", scriptPath.c_str(), nullptr};
    const long openMax = sysconf(_SC_OPEN_MAX);
    const int lastFd = openMax > 0 ? static_cast<int>(openMax) : 1024;

    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        if (setsid() < 0)
            _exit(1);
        const pid_t grandchild = fork();
        if (grandchild != 0)
            _exit(grandchild < 0 ? 1 : 0);
        // Only async-signal-safe calls from here on. Blocked or ignored signals and open
        // descriptors would pass through exec to the new service: the old listening socket
        // would keep its port busy.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        struct sigaction byDefault {};
        byDefault.sa_handler = SIG_DFL;
        for (int number = 1; number < NSIG; ++number)
            sigaction(number, &byDefault, nullptr);
#if defined(__GLIBC__) && __GLIBC_PREREQ(2, 34)
        if (close_range(3, ~0U, 0) != 0)
#endif
            for (int fd = 3; fd < lastFd; ++fd)
                close(fd);
        execv("/bin/sh", const_cast<char* const*>(argv));
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return errno == ECHILD; // someone else reaped it; the grandchild runs regardless
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::string> ownArguments() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> arguments;
    std::size_t begin = 0;
    while (begin < all.size()) {
        std::size_t end = all.find('\0', begin);
        if (end == std::string::npos)
            end = all.size();
        arguments.emplace_back(all, begin, end - begin);
        begin = end + 1;
    }
    if (!arguments.empty())
        arguments.erase(arguments.begin()); // the program itself
    return arguments;
}
#else
// Paths cross the Win32 calls as UTF-16, which holds every directory name whatever the ANSI code
// page; Restart.bat, which cmd reads in a code page, holds none of them.

// A path for the debug log, which is UTF-8 text on every platform.
std::string pathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// An argument as CommandLineToArgvW (and every C runtime) reads it back: in quotes, with the
// backslashes before a quote, and those at the end before the closing quote, doubled, so that
// "--dir D:\" comes back as D:\ and not as D:".
std::wstring quotedArgument(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

std::wstring wideText(const std::string& utf8) {
    const std::u8string text(utf8.begin(), utf8.end());
    return std::filesystem::path(text).wstring();
}
#endif

} // namespace

int restartDelay(std::optional<int> requested) {
    return requested && *requested >= 1 ? *requested : kDefaultRestartDelay;
}

std::string restartBatchText(int delaySeconds, std::string_view launchPath, std::string_view arguments) {
    std::string text(kBatchTemplate);
    // The path goes in first, so that a path holding the delay's placeholder cannot take the
    // delay; the ping line stands before the start line and its placeholder is found first.
    std::string program(launchPath);
    program += '"';
    if (!arguments.empty())
        program += " " + std::string(arguments);
    replaceFirst(text, "<文件名>\"", program);
    replaceFirst(text, "秒数", std::to_string(delaySeconds));
    return text;
}

std::string restartShellText(int delaySeconds, const std::filesystem::path& program,
                             const std::vector<std::string>& arguments, const std::filesystem::path& script) {
    std::string text = "#!/bin/sh\n";
    text += "sleep " + std::to_string(delaySeconds) + "\n";
    text += "rm -f " + shellQuote(script.string()) + "\n";
    text += "cd " + shellQuote(program.parent_path().string()) + " && exec " + shellQuote(program.string());
    for (const std::string& argument : arguments)
        text += " " + shellQuote(argument);
    text += " </dev/null\n";
    return text;
}

std::vector<std::string> argumentsWithDir(const std::vector<std::string>& arguments, const std::filesystem::path& dir) {
    std::vector<std::string> kept;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--dir") {
            ++i; // and its value
            continue;
        }
        if (arguments[i].rfind("--dir=", 0) == 0)
            continue;
        kept.push_back(arguments[i]);
    }
    kept.push_back("--dir");
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(dir, error);
    if (error)
        full = dir;
    // A trailing separator goes, except the root's own (D:\ stays D:\).
    if (!full.has_filename() && full.has_relative_path())
        full = full.parent_path();
    const std::u8string text = full.u8string();
    kept.emplace_back(text.begin(), text.end());
    return kept;
}

#ifdef _WIN32
void endProcessNow() {
    if (HANDLE self = OpenProcess(PROCESS_TERMINATE, FALSE, GetCurrentProcessId())) {
        TerminateProcess(self, 0);
        CloseHandle(self);
    }
    TerminateProcess(GetCurrentProcess(), 0);
    std::_Exit(0);
}

std::filesystem::path ownProgram() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return std::filesystem::path(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool restartProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                    std::optional<int> delaySeconds, const EndProcessFunction& endProcess) {
    if (!isExistingFile(program))
        return false;
    // Restart.bat names neither the program nor its arguments: cmd reads a batch file in a code
    // page, which cannot spell every path. They reach it on its command line, which cmd takes in
    // UTF-16 like every Win32 call here, as %1 (the program, its quotes dropped by %~1) and %2 on;
    // no 8.3 name is needed, which a volume may not have.
    std::string startArguments;
    for (std::size_t i = 0; i < arguments.size() && i < 8; ++i)
        startArguments += (i > 0 ? " %" : "%") + std::to_string(i + 2);
    const std::filesystem::path scriptDir = restartScriptDir();
    std::error_code made;
    std::filesystem::create_directories(scriptDir, made);
    if (scriptDir.empty() || made) {
        link::debugLog("restart", "no temporary folder for Restart.bat");
        return false;
    }
    const std::filesystem::path script = scriptDir / "Restart.bat";
    if (!writeScript(script, restartBatchText(restartDelay(delaySeconds), "%~1", startArguments))) {
        link::debugLog("restart", "cannot write " + pathText(script));
        return false;
    }

    // cmd from the system folder, never one found on the PATH. /s takes the outer quotes off what
    // follows /c and keeps the rest as it is; the script runs in its own directory, where its
    // "del Restart.bat" finds itself whatever directory the service was started from.
    wchar_t system[MAX_PATH + 1] = {};
    const UINT systemLength = GetSystemDirectoryW(system, MAX_PATH + 1);
    if (systemLength == 0 || systemLength > MAX_PATH)
        return false;
    const std::wstring cmd = std::wstring(system) + L"\\cmd.exe";
    std::wstring commandLine =
        L"cmd.exe /d /s /c \"" + quotedArgument(script.wstring()) + L" " + quotedArgument(program.wstring());
    for (const std::string& argument : arguments)
        commandLine += L" " + quotedArgument(wideText(argument));
    commandLine += L"\"";
    const std::wstring directory = scriptDir.wstring();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(cmd.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, directory.c_str(),
                        &startup, &process)) {
        link::debugLog("restart", "cannot start " + pathText(script) + ", error " + std::to_string(GetLastError()));
        return false;
    }
    WaitForInputIdle(process.hProcess, 1000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (endProcess)
        endProcess();
    return true;
}

std::filesystem::path restartScriptDir() {
    // GetTempPathW gives this user's own %TEMP% (a service account's profile for a service).
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH)
        return {};
    return std::filesystem::path(temp) / ("vorlanx-restart-" + std::to_string(GetCurrentProcessId()));
}

bool restartSelf(std::optional<int> delaySeconds, const EndProcessFunction& endProcess) {
    return restartProgram(ownProgram(), {}, delaySeconds, endProcess);
}

bool restartSelfIn(const std::filesystem::path& dir, std::optional<int> delaySeconds,
                   const EndProcessFunction& endProcess) {
    return restartProgram(ownProgram(), argumentsWithDir({}, dir), delaySeconds, endProcess);
}
#else
std::filesystem::path ownProgram() {
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : program;
}

void endProcessNow() {
    _exit(0);
}

bool restartProgram(const std::filesystem::path& programPath, const std::vector<std::string>& arguments,
                    std::optional<int> delaySeconds, const EndProcessFunction& endProcess) {
    if (!isExistingFile(programPath))
        return false;
    std::error_code error;
    const std::filesystem::path program = std::filesystem::absolute(programPath, error);
    if (error)
        return false;
    const int delay = restartDelay(delaySeconds);
    std::filesystem::path script = program.parent_path() / "Restart.sh";
    if (!writeScript(script, restartShellText(delay, program, arguments, script))) {
        // An executable installed read-only still restarts: the script names everything by its
        // full path and may live anywhere.
        script = std::filesystem::temp_directory_path(error) / ("vorlanx-restart-" + std::to_string(getpid()) + ".sh");
        if (error || !writeScript(script, restartShellText(delay, program, arguments, script))) {
            link::debugLog("restart", "cannot write the restart script");
            return false;
        }
    }
    if (!startDetached(script)) {
        link::debugLog("restart", "cannot start " + script.string());
        std::filesystem::remove(script, error);
        return false;
    }
    if (endProcess)
        endProcess();
    return true;
}

bool restartSelf(std::optional<int> delaySeconds, const EndProcessFunction& endProcess) {
    return restartProgram(ownProgram(), ownArguments(), delaySeconds, endProcess);
}

bool restartSelfIn(const std::filesystem::path& dir, std::optional<int> delaySeconds,
                   const EndProcessFunction& endProcess) {
    return restartProgram(ownProgram(), argumentsWithDir(ownArguments(), dir), delaySeconds, endProcess);
}
#endif

} // namespace vorlanx::service
