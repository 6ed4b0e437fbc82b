// vorlanxd: the service without its window. It connects to the database conf.ini selects,
// listens for terminals, answers them and writes what the window would show to stdout, so it
// can run under a supervisor or in a test.

#include "db/ServiceDatabase.h"
#include "link/ConsoleSink.h"
#include "service/VorlanxService.h"
#include "service/WindowDir.h"
#ifdef _WIN32
#include "service/OtherPrograms.h"
#endif
#ifndef _WIN32
#include "service/ControlServer.h"
#endif
#include "tools/vorlanxd/ConsoleServiceListener.h"
#include "tools/vorlanxd/SystemdNotifier.h"
#include "version/Version.h"
#ifdef _WIN32
#include "tools/vorlanxd/RotatingLog.h"
#include "tools/vorlanxd/WindowsService.h"
#endif

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
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

// Set by a signal handler or by the Windows service manager's thread.
std::atomic<bool> g_stopRequested{false};
std::atomic<bool> g_reloadRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handlers need a lock-free flag");

extern "C" void requestStop(int) {
    g_stopRequested = true;
}

extern "C" void requestReload(int) {
    g_reloadRequested = true;
}

constexpr const char* kUsage =
    "usage: vorlanxd [--port N] [--dir DIR] [--drain S] [--verbose]\n"
    "The canteen terminals' payment service without its window: answers the terminals' UDP frames\n"
    "through the database that DIR/conf.ini selects and writes one line per booking, refused payment,\n"
    "offline record, administration answer, connection change and error to standard output.\n"
    "  --port N   UDP port to listen on, 1 to 65535 (default 3000)\n"
    "  --dir DIR  service directory holding conf.ini and the built-in database\n"
#ifdef _WIN32
    "             (default: the data folder setup recorded, %ProgramData%\\Vorlanx; else the\n"
    "             executable's directory when writable; else %APPDATA%\\Vorlanx)\n"
#else
    "             (default: the executable's directory)\n"
#endif
    "  --drain S  on stopping, wait up to S seconds (0 to 600, default 10) for the bookings under way\n"
    "             to finish and be answered before the port closes\n"
    "  --verbose  also every datagram, as the window's activity log shows it (three lines each)\n"
    "  --help     this text\n"
    "  --version  the version\n"
    "Stops on SIGINT or SIGTERM: takes no more datagrams, drops the frames not yet started (their\n"
    "terminals send them again), answers what is under way and closes the port.\n"
    "On SIGHUP it reads conf.ini again, reconnects the database when its settings changed and\n"
    "reloads the personnel list, keeping the port open.\n"
#ifdef _WIN32
    "As a Windows service (the commands want an administrator):\n"
    "  --install-service  register this program as the service vorlanxd, run as NT SERVICE\\vorlanxd\n"
    "                     (given Modify on DIR), started at boot and restarted on failure, with the\n"
    "                     --port, --dir and --drain given here;\n"
    "                     the service writes its log to vorlanxd.log in DIR (kept under 1 MiB,\n"
    "                     with the four logs before it as vorlanxd.log.1 to vorlanxd.log.4)\n"
    "  --remove-service   stop the service (after its drain) and remove it; DIR keeps its files\n"
    "  --start-service    start it (as: net start vorlanxd)\n"
    "  --stop-service     stop it after its drain (as: net stop vorlanxd)\n"
    "  --query-service    show the registration (command, account, time-outs), the state and\n"
    "                     the controls the running service takes\n"
    "  --service          run as the service: the command line the service manager starts\n"
    "The service manager's stop, and Windows shutting down, stop it as SIGTERM does; its parameter\n"
    "change (sc control vorlanxd paramchange) reloads as SIGHUP does.\n"
#endif
    ;

enum class Command {
    Run,
    Help,
    Version,
    InstallService,
    RemoveService,
    StartService,
    StopService,
    QueryService,
    Service
};

struct Options {
    std::uint16_t port = kDefaultPort;
    fs::path dir;
    std::chrono::milliseconds drain = service::VorlanxService::kDefaultDrainLimit;
    Command command = Command::Run;
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
            options.command = Command::Help;
            return options;
        }
        if (arg == "--version") {
            options.command = Command::Version;
            return options;
        }
#ifdef _WIN32
        const std::pair<std::string_view, Command> serviceCommands[] = {
            {"--install-service", Command::InstallService}, {"--remove-service", Command::RemoveService},
            {"--start-service", Command::StartService},     {"--stop-service", Command::StopService},
            {"--query-service", Command::QueryService},     {"--service", Command::Service}};
        const auto named = std::find_if(std::begin(serviceCommands), std::end(serviceCommands),
                                        [&](const auto& command) { return command.first == arg; });
        if (named != std::end(serviceCommands)) {
            if (options.command != Command::Run)
                return std::nullopt;
            options.command = named->second;
            continue;
        }
#endif
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
    if (options.dir.empty()) {
#ifdef _WIN32
        // The window's rule, so that both find the one data folder.
        options.dir = service::windowDirOfThisProgram(std::nullopt).value_or(executableDir(argv[0]));
#else
        options.dir = executableDir(argv[0]);
#endif
    }
    return options;
}

// Who may hold the port vorlanxd could not listen on: the window and the service never share one,
// and the second to try it says which program the other is.
std::string portHolder([[maybe_unused]] bool asService) {
#ifdef _WIN32
    if (!asService && service::windowsServiceRunning())
        return " (the Windows service vorlanxd runs on this computer and listens for the terminals: stop it "
               "with net stop vorlanxd, or use another port)";
    if (service::windowOpen())
        return " (the Vorlanx window vorlanx.exe is open on this computer and may be listening on it: stop its "
               "listening or close it)";
#endif
    return " (in use by another program or not allowed)";
}

// What runs vorlanxd beside the systemd notifier: the Windows service manager.
struct Supervisor {
    std::function<void()> running;
    std::function<void(std::chrono::milliseconds)> stopping;
};

// The service until a stop request and its drain; its lines go to `out`, its errors to `err`.
int serve(const Options& options, std::ostream& out, std::ostream& err, const Supervisor& supervisor) {
    std::error_code ec;
    if (!fs::is_directory(options.dir, ec)) {
        err << "vorlanxd: service directory " << options.dir.string() << " does not exist\n";
        return 1;
    }

    SystemdNotifier notifier;
    link::ConsoleSink sink(out, err, options.verbose);
    ConsoleServiceListener listener(sink);
    service::VorlanxService service({options.dir, {}, options.drain});
    service.setListener(&listener);
    // A service open to senders the engineer meant to keep out would answer payments to anyone:
    // a bad allow-list stops it here rather than serving everyone.
    if (const auto bad = service.applyAllowList()) {
        err << "vorlanxd: conf.ini [terminals] allow: \"" << *bad
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

    const auto listening = service.startListening(options.port);
    sink.operation(listening.operationText);
    if (!listening.listening) {
        err << "vorlanxd: cannot listen on UDP port " << options.port << portHolder(supervisor.running != nullptr)
            << "\n";
        return 1;
    }
    // Ready only now: the port is bound and the database connect has been tried, whatever came of it.
    notifier.ready("listening on UDP port " + std::to_string(options.port) +
                   (service.database().isConnected() ? ", database connected" : ", database not connected"));
    if (supervisor.running)
        supervisor.running();

#ifndef _WIN32
    service::ControlServer control(service, [&sink](const std::string& line) { sink.entry(line); });
    if (const auto error = control.start(options.dir / service::ControlServer::kSocketName))
        err << "vorlanxd: " << *error << "; running without the control channel (vorlanxctl)\n";
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
    while (!g_stopRequested) {
        service.clock().tick();
        if (g_reloadRequested && !reloader.joinable()) {
            g_reloadRequested = false;
            notifier.reloading();
            reloadDone = false;
            reloader = std::jthread([&] {
                reloadResult = service.reload();
                reloadDone = true;
            });
        }
        if (reloader.joinable() && reloadDone) {
            reloader.join();
            err << "vorlanxd: reload: " << reloadResult.summary() << "\n";
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
    // The drain, then at most the time-out of the calls already inside the database.
    const auto stopLimit = options.drain + db::ServiceDatabase::stopAllowance(options.dir);
    notifier.stopping(stopLimit);
    if (supervisor.stopping)
        supervisor.stopping(stopLimit);
    if (reloader.joinable())
        reloader.join();

    // No frame is taken from here on; the bookings under way finish and are answered through the
    // port, which closes once they are (or the drain's time is up). The drain's line tells how
    // long that took and what was dropped. Meanwhile this thread keeps the clock those bookings
    // are stamped with, and the watchdog's beat: the drain is bounded.
    err << "vorlanxd: stopping: no more datagrams taken; answering the work under way for up to "
        << std::chrono::duration_cast<std::chrono::seconds>(options.drain).count() << " s" << std::endl;
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
    err << "vorlanxd: " << service.database().bookingBatches().summary() << "\n";
    return 0;
}

#ifdef _WIN32
// Under the service manager: the log goes to a file in the service directory, rotated.
int runAsWindowsService(const Options& options) {
    constexpr std::uintmax_t kLogLimit = 1024 * 1024;
    constexpr unsigned kLogsKept = 4;
    winservice::Controls controls;
    controls.stop = [] { g_stopRequested = true; };
    controls.reload = [] { g_reloadRequested = true; };
    controls.stopHint = options.drain + db::ServiceDatabase::stopAllowance(options.dir);
    controls.body = [&options](winservice::Status& status) {
        RotatingLog log(options.dir / "vorlanxd.log", kLogLimit, kLogsKept);
        if (!log.isOpen())
            return 1;
        std::ostream stream(&log);
        stream << "vorlanxd " VORLANX_VERSION " started by the service manager: UDP port " << options.port
               << ", directory " << options.dir.string() << std::endl;
        const int code = serve(
            options, stream, stream,
            {[&status] { status.running(); }, [&status](std::chrono::milliseconds hint) { status.stopping(hint); }});
        stream << "vorlanxd: service ended with code " << code << std::endl;
        return code;
    };
    const int code = winservice::run(std::move(controls));
    if (code < 0) {
        std::cerr << "vorlanxd: --service is the command line of the Windows service; start it with "
                     "net start vorlanxd\n";
        return 2;
    }
    return code;
}
#endif

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
    switch (options->command) {
    case Command::Help:
        std::cout << kUsage;
        return 0;
    case Command::Version:
        std::cout << VORLANX_VERSION_TEXT("vorlanxd");
        return 0;
#ifdef _WIN32
    case Command::InstallService: {
        std::error_code ec;
        const fs::path dir = fs::absolute(options->dir, ec);
        if (ec || !fs::is_directory(dir, ec)) {
            std::cerr << "vorlanxd: service directory " << options->dir.string() << " does not exist\n";
            return 1;
        }
        wchar_t self[MAX_PATH] = {};
        if (GetModuleFileNameW(nullptr, self, MAX_PATH) == 0)
            return 1;
        // At shutdown as long as a stop may take: the drain, then the database's time-outs.
        const auto drain = std::chrono::duration_cast<std::chrono::seconds>(options->drain);
        return winservice::install(fs::path(self), options->port, dir, drain,
                                   drain + db::ServiceDatabase::stopAllowance(dir), std::cout, std::cerr);
    }
    case Command::RemoveService:
        return winservice::remove(std::cout, std::cerr);
    case Command::StartService:
        return winservice::start(std::cout, std::cerr);
    case Command::StopService:
        return winservice::stop(std::cout, std::cerr);
    case Command::QueryService:
        return winservice::query(std::cout, std::cerr);
    case Command::Service:
        return runAsWindowsService(*options);
#endif
    default:
        break;
    }

    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
#ifdef SIGHUP
    std::signal(SIGHUP, requestReload);
#endif
    return serve(*options, std::cout, std::cerr, {});
}
