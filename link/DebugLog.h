#pragma once

#include <string_view>

namespace vorlanx::link {

// Details for the engineer (socket errors, driver messages): one line on standard error.
// The operator never sees these; the window shows the system's own fixed texts instead.
void debugLog(std::string_view where, std::string_view what);

} // namespace vorlanx::link
