#include "link/DebugLog.h"

#include <cstdio>
#include <mutex>
#include <string>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace vorlanx::link {

namespace {

#ifdef _WIN32
// The window is a GUI process on Windows and has no console, so standard error goes nowhere there;
// the debugger channel (a debugger or DebugView) is where the engineer finds the details.
void toDebugger(const std::string& line) {
    const int chars = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
    if (chars <= 0)
        return;
    std::wstring wide(static_cast<std::size_t>(chars), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), wide.data(), chars);
    OutputDebugStringW(wide.c_str());
}
#endif

} // namespace

void debugLog(std::string_view where, std::string_view what) {
    static std::mutex mutex;
    std::string line = "[vorlanx] ";
    line += where;
    line += ": ";
    line += what;
    line += '\n';
    std::lock_guard lock(mutex);
    std::fputs(line.c_str(), stderr);
#ifdef _WIN32
    toDebugger(line);
#endif
}

} // namespace vorlanx::link
