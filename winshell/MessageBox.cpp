#include "winshell/MessageBox.h"

#include "winshell/Text.h"

namespace vorlanx::winshell {

void showMessage(HWND owner, std::string_view title, std::string_view text) {
    MessageBoxW(owner, widen(text).c_str(), widen(title).c_str(), MB_OK | MB_ICONINFORMATION);
}

} // namespace vorlanx::winshell
