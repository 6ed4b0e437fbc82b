// vorlanx.exe: the canteen terminals' payment service with its Win32 window.

#include "config/ConnectionSettingsSave.h"
#include "service/Restart.h"
#include "service/VorlanxService.h"
#include "service/OtherPrograms.h"
#include "service/WindowDir.h"
#include "version/Version.h"
#include "winshell/MainWindow.h"
#include "winshell/Text.h"

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: vorlanx [--dir DIR] [--controls] [--version]\n"
    "The canteen terminals' payment service with its window (Vorlanx 食堂消费服务).\n"
    "  --dir DIR   service directory holding conf.ini; without it the data folder setup recorded\n"
    "              (%ProgramData%\\Vorlanx), else the executable's directory when writable, else\n"
    "              %APPDATA%\\Vorlanx (made if missing)\n"
    "  --controls  make the window, print one tab-separated line per control (name, ID, class,\n"
    "              caption, x, y, width, height, page) and end\n"
    "  --help      this text\n"
    "  --version   the version\n";

struct Arguments {
    std::optional<std::filesystem::path> dir;
    bool controls = false;
    bool help = false;
    bool version = false;
    bool bad = false;
};

Arguments readArguments() {
    Arguments arguments;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; argv && i < count; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--help" || arg == L"-h")
            arguments.help = true;
        else if (arg == L"--version")
            arguments.version = true;
        else if (arg == L"--controls")
            arguments.controls = true;
        else if (arg == L"--dir" && i + 1 < count)
            arguments.dir = std::filesystem::path(argv[++i]);
        else
            arguments.bad = true;
    }
    LocalFree(argv);
    return arguments;
}

// A window program has no console of its own: its output goes to the handles it was started with
// (a redirect, Wine's terminal), or to the console of the program that started it.
void print(HANDLE handle, const std::string& utf8) {
    if (!handle || handle == INVALID_HANDLE_VALUE) {
        if (!AttachConsole(ATTACH_PARENT_PROCESS))
            return;
        handle = GetStdHandle(STD_OUTPUT_HANDLE);
    }
    DWORD written = 0;
    WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

} // namespace

int main() {
    const Arguments arguments = readArguments();
    if (arguments.help || arguments.bad) {
        print(GetStdHandle(arguments.help ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE), kUsage);
        return arguments.help ? 0 : 2;
    }
    if (arguments.version) {
        print(GetStdHandle(STD_OUTPUT_HANDLE), VORLANX_VERSION_TEXT("vorlanx"));
        return 0;
    }
    // Held for the process's life (the system releases it at exit, also after a crash): the setup
    // program and its uninstaller look for it to refuse replacing the files of an open window.
    CreateMutexW(nullptr, FALSE, vorlanx::service::kWindowMutexName);
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES |
                                                     ICC_BAR_CLASSES | ICC_INTERNET_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&classes);

    const auto serviceDir = vorlanx::service::windowDirOfThisProgram(arguments.dir);
    std::error_code error;
    if (!serviceDir || !std::filesystem::is_directory(*serviceDir, error)) {
        print(GetStdHandle(STD_ERROR_HANDLE),
              serviceDir ? "vorlanx: the --dir given does not exist\n" : "vorlanx: cannot make %APPDATA%\\Vorlanx\n");
        return 1;
    }
    const std::filesystem::path dir = *serviceDir;
    vorlanx::service::VorlanxService service(
        {dir, [dir] { return vorlanx::service::restartSelfIn(dir, vorlanx::config::kSaveRestartDelay); }});
    int rc = 0;
    {
        vorlanx::winshell::MainWindow window(service);
        if (!window.create()) {
            print(GetStdHandle(STD_ERROR_HANDLE), "vorlanx: the system refused the window\n");
            return 1;
        }
        if (arguments.controls) {
            print(GetStdHandle(STD_OUTPUT_HANDLE), window.controlsListing());
            return 0;
        }
        window.show(SW_SHOWNORMAL);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        rc = static_cast<int>(message.wParam);
    }
    service.stopListening();
    return rc;
}
