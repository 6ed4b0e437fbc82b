// vorlanxd: the service without its window. It connects to the database conf.ini selects,
// listens for terminals, answers them and writes what the window would show to stdout, so it
// can run under a supervisor or in a test.

#include "link/ConsoleSink.h"
#include "service/VorlanxService.h"
#ifndef _WIN32
#include "service/ControlServer.h"
#endif
#include "tools/vorlanxd/ConsoleServiceListener.h"
#include "tools/vorlanxd/SystemdNotifier.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

namespace fs = std::filesystem;
using namespace vorlanx;

constexpr std::uint16_t kDefaultPort = 3000;

volatile std::sig_atomic_t g_stopRequested = 0;
volatile std::sig_atomic_t g_reloadRequested = 0;

extern "C" void requestStop(int) {
    g_stopRequested = 1;
}

extern "C" void requestReload(int) {
    g_reloadRequested = 1;
}

constexpr const char* kUsage =
    "usage: vorlanxd [--port N] [--dir DIR] [--verbose]\n"
    "The canteen terminals' payment service without its window: answers the terminals' UDP frames\n"
    "through the database that DIR/conf.ini selects and writes one line per booking, refused payment,\n"
    "offline record, administration answer, connection change and error to standard output.\n"
    "  --port N   UDP port to listen on, 1 to 65535 (default 3000)\n"
    "  --dir DIR  service directory holding conf.ini and the built-in database\n"
    "             (default: the executable's directory)\n"
    "  --drain S  on stopping, wait up to S seconds (0 to 600, default 10) for the bookings under way\n"
    "             to finish and be answered before the port closes\n"
    "  --verbose  also every datagram, as the window's activity log shows it (three lines each)\n"
    "  --help     this text\n"
    "Stops on SIGINT or SIGTERM: takes no more datagrams, drops the frames not yet started (their\n"
    "terminals send them again), answers what is under way and closes the port.\n"
    "On SIGHUP it reads conf.ini again, reconnects the database when its settings changed and\n"
    "reloads the personnel list, keeping the port open.\n";

struct Options {
    std::uint16_t port = kDefaultPort;
    fs::path dir;
    std::chrono::milliseconds drain = service::VorlanxService::kDefaultDrainLimit;
    bool help = false;
    bool verbose = false;
};

constexpr unsigned kMaxDrainSeconds = 600;

std::optional<std::chrono::milliseconds> parseDrain(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || value > kMaxDrainSeconds)
        return std::nullopt;
    return std::chrono::seconds(value);
}

std::optional<std::uint16_t> parsePort(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value == 0 || value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

fs::path executableDir(const char* argv0) {
#ifdef _WIN32
    wchar_t path[MAX_PATH] = {};
    if (GetModuleFileNameW(nullptr, path, MAX_PATH) > 0)
        return fs::path(path).parent_path();
#else
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec)
        return self.parent_path();
#endif
    return fs::absolute(fs::path(argv0)).parent_path();
}

std::optional<Options> parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return options;
        }
        if (arg == "--drain" && i + 1 < argc) {
            const auto drain = parseDrain(argv[++i]);
            if (!drain)
                return std::nullopt;
            options.drain = *drain;
            continue;
        }
        if (arg == "--verbose" || arg == "-v") {
            options.verbose = true;
            continue;
        }
        if ((arg == "--port" || arg == "--dir") && i + 1 < argc) {
            const std::string_view value = argv[++i];
            if (arg == "--dir") {
                options.dir = fs::path(value);
                continue;
            }
            const auto port = parsePort(value);
            if (!port)
                return std::nullopt;
            options.port = *port;
            continue;
        }
        return std::nullopt;
    }
    if (options.dir.empty())
        options.dir = executableDir(argv[0]);
    return options;
}

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);
#else
    // A reader that goes away must not kill the service; lost output is only lost output.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    const auto options = parseOptions(argc, argv);
    if (!options) {
        std::cerr << kUsage;
        return 2;
    }
    if (options->help) {
        std::cout << kUsage;
        return 0;
    }
    std::error_code ec;
    if (!fs::is_directory(options->dir, ec)) {
        std::cerr << "vorlanxd: service directory " << options->dir.string() << " does not exist\n";
        return 1;
    }

    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
#ifdef SIGHUP
    std::signal(SIGHUP, requestReload);
#endif

    SystemdNotifier notifier;
    link::ConsoleSink sink(std::cout, std::cerr, options->verbose);
    ConsoleServiceListener listener(sink);
    service::VorlanxService service({options->dir, {}, options->drain});
    service.setListener(&listener);

    // A service open to senders the engineer meant to keep out would answer payments to anyone:
    // a bad allow-list stops it here rather than serving everyone.
    if (const auto bad = service.applyAllowList()) {
        std::cerr << "vorlanxd: conf.ini [terminals] allow: \"" << *bad
                  << "\" is neither an IPv4 address nor a CIDR range (such as 192.168.1.0/24)\n";
        return 1;
    }

    // The start-up of the window: database settings, connect, then the personnel list.
    const config::ConnectionSettingsLoad load = service.startUp("");
    if (load.statusText)
        sink.status(*load.statusText);
    if (load.operationText)
        sink.operation(*load.operationText);
    service.waitDatabaseIdle(std::chrono::minutes(5));

    const auto listening = service.startListening(options->port);
    sink.operation(listening.operationText);
    if (!listening.listening) {
        std::cerr << "vorlanxd: cannot listen on UDP port " << options->port
                  << " (in use by another program or not allowed)\n";
        return 1;
    }
    // Ready only now: the port is bound and the database connect has been tried, whatever came of it.
    notifier.ready("listening on UDP port " + std::to_string(options->port) +
                   (service.database().isConnected() ? ", database connected" : ", database not connected"));

#ifndef _WIN32
    service::ControlServer control(service, [&sink](const std::string& line) { sink.entry(line); });
    if (const auto error = control.start(options->dir / service::ControlServer::kSocketName))
        std::cerr << "vorlanxd: " << *error << "; running without the control channel (vorlanxctl)\n";
#endif

    // The heartbeat goes at half systemd's interval, and only while the receive worker and both
    // sets of transaction workers have shown life (or wait on the database) within a third of it
    // (never less than a second: the receive worker shows life only every 200 ms on a quiet port):
    // a hung service misses it and is restarted.
    const auto watchdog = notifier.watchdogInterval();
    const auto aliveLimit = watchdog ? std::max(std::chrono::duration_cast<std::chrono::milliseconds>(*watchdog / 3),
                                                std::chrono::milliseconds(1000))
                                     : std::chrono::milliseconds(0);
    auto nextHeartbeat = std::chrono::steady_clock::now();

    // A reload runs beside this thread, which keeps the clock that payments are booked with and
    // the watchdog going while a slow database login takes its time.
    std::jthread reloader;
    std::atomic<bool> reloadDone{false};
    service::ReloadResult reloadResult;

    // The receive worker and the pool do all the work; this thread keeps the clock, the
    // heartbeat and the reloads, and waits for the stop request.
    while (g_stopRequested == 0) {
        service.clock().tick();
        if (g_reloadRequested != 0 && !reloader.joinable()) {
            g_reloadRequested = 0;
            notifier.reloading();
            reloadDone = false;
            reloader = std::jthread([&] {
                reloadResult = service.reload();
                reloadDone = true;
            });
        }
        if (reloader.joinable() && reloadDone) {
            reloader.join();
            std::cerr << "vorlanxd: reload: " << reloadResult.summary() << "\n";
            notifier.ready(reloadResult.summary());
        }
        if (watchdog) {
            const auto now = std::chrono::steady_clock::now();
            const bool alive = service.alive(aliveLimit);
            if (alive && now >= nextHeartbeat) {
                notifier.watchdog();
                nextHeartbeat = now + std::chrono::duration_cast<std::chrono::steady_clock::duration>(*watchdog / 2);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    notifier.stopping();
    if (reloader.joinable())
        reloader.join();

    // No frame is taken from here on; the bookings under way finish and are answered through the
    // port, which closes once they are (or the drain's time is up). The drain's line tells how
    // long that took and what was dropped. Meanwhile this thread keeps the clock those bookings
    // are stamped with, and the watchdog's beat: the drain is bounded.
    std::cerr << "vorlanxd: stopping: no more datagrams taken; answering the work under way for up to "
              << std::chrono::duration_cast<std::chrono::seconds>(options->drain).count() << " s" << std::endl;
    service.beginStop();
    std::optional<service::VorlanxService::StopReport> stopped;
    while (!(stopped = service.stopResult(std::chrono::milliseconds(50)))) {
        service.clock().tick();
        const auto now = std::chrono::steady_clock::now();
        if (watchdog && now >= nextHeartbeat) {
            notifier.watchdog();
            nextHeartbeat = now + std::chrono::duration_cast<std::chrono::steady_clock::duration>(*watchdog / 2);
        }
    }
    sink.operation(stopped->operationText);
    // How far the bookings outran the disk: each batch of the built-in database was one flush.
    std::cerr << "vorlanxd: " << service.database().bookingBatches().summary() << "\n";
    return 0;
}
