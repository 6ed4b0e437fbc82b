#pragma once

#include <windows.h>

#include <string_view>

namespace vorlanx::winshell {

// Every message box of the window: the system's own modal box with the fixed texts, which a test
// driver finds among the process's windows, reads and answers.
void showMessage(HWND owner, std::string_view title, std::string_view text);

} // namespace vorlanx::winshell
