// vorlanx-window-lag (Windows): how responsive the Win32 window stays while terminals flood it.
// Opens the main window on a fresh service directory (no database: the Windows build has no
// built-in one), starts listening on PORT through the window's own button, prints "listening",
// and for SECONDS measures how late a 100 ms timer fires on the UI thread while terminals on
// another machine or on the host (vorlanx-termsim --rate R) send to the port. Prints the figures;
// it asserts nothing.
//
// usage: vorlanx-window-lag PORT [SECONDS]

#include "service/VorlanxService.h"
#include "tools/vorlanx-termsim/LatencyHistogram.h"
#include "ui/Controls.h"
#include "winshell/MainWindow.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace {

// The measuring timer's state; a thread timer's procedure has no place for a pointer of its own.
struct Measure {
    vorlanx::tools::LatencyHistogram lateness;
    LARGE_INTEGER frequency{};
    LARGE_INTEGER last{};
};
Measure* g_measure = nullptr;

void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const auto us = (now.QuadPart - g_measure->last.QuadPart) * 1000000 / g_measure->frequency.QuadPart;
    g_measure->last = now;
    g_measure->lateness.record(static_cast<std::uint64_t>(us > 100000 ? us - 100000 : 0));
}

} // namespace

int main(int argc, char** argv) {
    const int port = argc > 1 ? std::atoi(argv[1]) : 0;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 10.0;
    if (port < 1 || port > 65535 || !(seconds > 0)) {
        std::fprintf(stderr, "usage: vorlanx-window-lag PORT [SECONDS]\n");
        return 2;
    }
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES |
                                                     ICC_BAR_CLASSES | ICC_INTERNET_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&classes);
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("vorlanx-window-lag-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    Measure measure;
    g_measure = &measure;
    std::uint64_t datagrams = 0;
    int rows = 0;
    {
        vorlanx::service::VorlanxService service({dir, [] { return false; }});
        vorlanx::winshell::MainWindow window(service);
        if (!window.create()) {
            std::fprintf(stderr, "vorlanx-window-lag: no window\n");
            return 1;
        }
        window.show(SW_SHOWNOACTIVATE);
        using vorlanx::ui::Id;
        window.controls()[Id::ListenPort].setText(std::to_string(port));
        SendMessageW(window.controls()[Id::ListenButton].hwnd(), BM_CLICK, 0, 0);
        if (!service.listening()) {
            std::fprintf(stderr, "vorlanx-window-lag: port %d is taken\n", port);
            return 1;
        }
        std::printf("listening\n");
        std::fflush(stdout);
        QueryPerformanceFrequency(&measure.frequency);
        QueryPerformanceCounter(&measure.last);
        const UINT_PTR timer = SetTimer(nullptr, 0, 100, tick);
        HWND main = window.hwnd();
        const DWORD end = GetTickCount() + static_cast<DWORD>(seconds * 1000);
        bool closing = false;
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
            // The clock timer wakes the loop every 300 ms at least.
            if (!closing && GetTickCount() >= end) {
                closing = true;
                KillTimer(nullptr, timer);
                datagrams = service.status().totals.datagrams;
                rows = window.controls().list(Id::OnlineList).rowCount();
                PostMessageW(main, WM_CLOSE, 0, 0);
            }
        }
    }
    std::printf("received: %llu datagrams, online list: %d rows\n", static_cast<unsigned long long>(datagrams), rows);
    std::printf("win32 window: 100 ms timer late by p50 %.1f ms, p99 %.1f ms, max %.1f ms over %llu firings\n",
                static_cast<double>(measure.lateness.percentile(0.5)) / 1000,
                static_cast<double>(measure.lateness.percentile(0.99)) / 1000,
                static_cast<double>(measure.lateness.max()) / 1000,
                static_cast<unsigned long long>(measure.lateness.count()));
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return 0;
}
