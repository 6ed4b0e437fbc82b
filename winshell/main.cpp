// vorlanx.exe: the canteen terminals' payment service with its Win32 window.

#include "config/ConnectionSettingsSave.h"
#include "service/Restart.h"
#include "service/VorlanxService.h"
#include "service/OtherPrograms.h"
#include "service/WindowDir.h"
#include "ui/Texts.h"
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
    std::wstring firstBad; // the first argument not understood ("--dir" without its value)
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
        else {
            if (!arguments.bad)
                arguments.firstBad = arg;
            arguments.bad = true;
        }
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

// The reason a start fails, in a box too: a program started from the desktop or with a file
// dropped on it has no console to read the line in.
void refuseStart(const std::string& text) {
    MessageBoxW(nullptr, vorlanx::winshell::widen(text).c_str(),
                vorlanx::winshell::widen(vorlanx::ui::kMessageTitle).c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

std::string pathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

int main() {
    const Arguments arguments = readArguments();
    if (arguments.help || arguments.bad) {
        print(GetStdHandle(arguments.help ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE), kUsage);
        if (arguments.bad)
            refuseStart(std::string(vorlanx::ui::kUnknownArgumentText) + vorlanx::winshell::narrow(arguments.firstBad));
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
        refuseStart(serviceDir ? std::string(vorlanx::ui::kDirMissingText) + pathText(*serviceDir)
                               : std::string(vorlanx::ui::kNoServiceDirText) + "%APPDATA%\\Vorlanx");
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
            if (window.keyboardMessage(message))
                continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        rc = static_cast<int>(message.wParam);
    }
    service.stopListening();
    return rc;
}
