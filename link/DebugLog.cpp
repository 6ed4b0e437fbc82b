#include "link/DebugLog.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace vorlanx::link {

void debugLog(std::string_view where, std::string_view what) {
    static std::mutex mutex;
    std::string line = "[vorlanx] ";
    line += where;
    line += ": ";
    line += what;
    line += '\n';
    std::lock_guard lock(mutex);
    std::fputs(line.c_str(), stderr);
}

} // namespace vorlanx::link
