// vorlanx-download-bench [--rows N] [--terminals N] [--sequential N]: downloads the white list of
// N personnel rows (built-in database) through the running service to terminals on 127.0.x.y that
// store what they get, once to all of them at once and once to a few one after another, and
// prints how long each took and whether every terminal holds the whole list, in its order.

#include "config/IniFile.h"
#include "db/BuiltinDatabaseAdmin.h"
#include "service/VorlanxService.h"
#include "tools/vorlanx-termsim/WhitelistTerminal.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::chrono_literals;
using namespace vorlanx;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Result {
    double seconds = 0;
    std::size_t complete = 0; // terminals holding the whole list in order
    double closestFramesMs = 1e9;
};

std::string terminalAddress(std::size_t i) {
    // 127.0.1.2 onwards: clear of the addresses the card simulator uses.
    return "127.0." + std::to_string(1 + (i + 2) / 250) + "." + std::to_string(2 + (i + 2) % 250);
}

Result download(service::VorlanxService& service, std::size_t terminalCount, bool parallel,
                const std::vector<std::string>& expected) {
    std::vector<std::unique_ptr<tools::WhitelistTerminal>> terminals;
    admin::CommandRequest request;
    request.kind = admin::CommandKind::WhitelistDownload;
    request.shape = admin::Shape::All;
    request.parallelDownload = parallel;
    for (std::size_t i = 0; i < terminalCount; ++i) {
        terminals.push_back(std::make_unique<tools::WhitelistTerminal>(terminalAddress(i)));
        if (!terminals.back()->ready()) {
            std::fprintf(stderr, "vorlanx-download-bench: cannot bind %s\n", terminalAddress(i).c_str());
            std::exit(1);
        }
        request.terminalList.push_back(
            {terminals.back()->address(), std::to_string(terminals.back()->port()), std::to_string(i + 1)});
    }
    Result result;
    const auto started = Clock::now();
    if (!service.runCommand(request).runs() || !service.waitCommandIdle(std::chrono::hours(4))) {
        std::fprintf(stderr, "vorlanx-download-bench: the download did not run\n");
        std::exit(1);
    }
    result.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    for (const auto& t : terminals) {
        if (t->cards() == expected)
            ++result.complete;
        const auto times = t->frameTimes();
        for (std::size_t k = 1; k < times.size(); ++k)
            result.closestFramesMs = std::min(
                result.closestFramesMs, std::chrono::duration<double, std::milli>(times[k] - times[k - 1]).count());
    }
    return result;
}

std::size_t argument(int argc, char** argv, std::string_view name, std::size_t fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (argv[i] == name)
            return static_cast<std::size_t>(std::strtoul(argv[i + 1], nullptr, 10));
    return fallback;
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t rows = argument(argc, argv, "--rows", 5000);
    const std::size_t terminals = argument(argc, argv, "--terminals", 200);
    const std::size_t sequential = argument(argc, argv, "--sequential", 2);

    const fs::path dir = fs::temp_directory_path() / ("vorlanx-download-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    int status = 0;
    {
        {
            // Every fifteenth demo holder is inactive and not on the list: add enough for `rows`.
            db::BuiltinDatabaseAdmin admin;
            const config::IniFile conf(dir / "conf.ini");
            if (!admin.open((dir / "canteen.db").string()) || !admin.addDemoHolders(rows + rows / 14 + 1) ||
                !conf.writeValue("sername", "type", "2") || !conf.writeValue("mssql", "名称", "canteen")) {
                std::fprintf(stderr, "vorlanx-download-bench: cannot set up %s\n", dir.string().c_str());
                return 1;
            }
        }
        service::VorlanxService service({dir, [] { return false; }});
        service.startUp("");
        service.waitDatabaseIdle(30s);
        service.personnel().waitIdle(60s);
        const std::vector<std::string> expected = service.personnelCards();
        std::uint16_t port = 0;
        {
            link::UdpEndpoint probe; // a port that was free a moment ago
            if (probe.open({}) && probe.bindPort("", 0))
                port = probe.localPort();
        }
        if (!service.startListening(port).listening) {
            std::fprintf(stderr, "vorlanx-download-bench: cannot listen\n");
            return 1;
        }
        std::printf("personnel rows %zu, %zu frames per terminal\n", expected.size(),
                    admin::whitelistFrameCount(expected.size()));

        const Result all = download(service, terminals, true, expected);
        std::printf("parallel to %zu terminals: %.1f s, %zu of them hold the whole list, frames to one terminal at "
                    "least %.0f ms apart (goal: within 40 s)\n",
                    terminals, all.seconds, all.complete, all.closestFramesMs);
        Result one;
        if (sequential > 0) {
            one = download(service, sequential, false, expected);
            std::printf("one after another to %zu terminals: %.1f s (%.1f s per terminal), %zu hold the whole list\n",
                        sequential, one.seconds, one.seconds / static_cast<double>(sequential), one.complete);
        }
        std::printf("{\"download_rows\": %zu, \"download_parallel_terminals\": %zu, \"download_parallel_s\": %.1f, "
                    "\"download_parallel_complete\": %zu, \"download_sequential_terminals\": %zu, "
                    "\"download_sequential_s\": %.1f}\n",
                    expected.size(), terminals, all.seconds, all.complete, sequential, one.seconds);
        status = all.complete == terminals && one.complete == sequential ? 0 : 3;
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return status;
}
