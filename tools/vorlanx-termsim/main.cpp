// vorlanx-termsim: canteen terminals without hardware. Imitates a fleet of terminals that query
// cards, pay online and upload offline records against a running service, answer its
// administration frames, and reports what they saw.

#include "tools/vorlanx-termsim/CardSource.h"
#include "tools/vorlanx-termsim/Simulator.h"
#include "version/Version.h"

#include <charconv>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace {

using namespace vorlanx::tools;

const char* const kUsage =
    "usage: vorlanx-termsim --service HOST:PORT --terminals N [--mix Q:O:F] [--rate R]\n"
    "                       [--duration S | --count C] [--cards FILE | --card-range A-B] [--json]\n"
    "  --mix Q:O:F         weights of card queries, online payments, offline uploads (default 1:0:0;\n"
    "                      0:0:0 keeps the terminals idle, answering administration frames only)\n"
    "  --rate R            open loop: R requests per second in all; without it every terminal\n"
    "                      sends its next request as soon as the last is answered\n"
    "  --duration S        run S seconds (default 10)\n"
    "  --count C           run until C requests are settled\n"
    "  --cards FILE        card numbers, one per line, or vorlanx-db import rows (fourth field)\n"
    "  --card-range A-B    cards A to B (default 12345678-12345678)\n"
    "  --amount A-B        payment amounts in fen (default 1-300)\n"
    "  --garbage P         share P (0 to 1) of sends replaced by hostile datagrams\n"
    "  --setting-done P    share P (0 to 1) of requests preceded by an 81 setting reply\n"
    "  --timeout MS        resend a request unanswered after MS milliseconds (default 1000)\n"
    "  --attempts N        sends of one request before it counts as lost (default 4)\n"
    "  --settle MS         after a resent request, wait up to MS after the last send for the other\n"
    "                      replies before the next request (default: the time-out)\n"
    "  --heartbeat S       keep-alive (74) every S seconds per terminal, 0 for none (default 5)\n"
    "  --first-machine M   machine number of the first terminal (default 1)\n"
    "  --same-address      every terminal sends from 127.0.0.1 (default: 127.0.0.2 onwards)\n"
    "  --first-address N   the first terminal sends from the N-th address after 127.0.0.2 (default 0),\n"
    "                      so that two simulators side by side never share an address\n"
    "  --drop-replies P    fault: ignore a share P of good replies, as if lost, so requests are resent\n"
    "  --threads T         worker threads (default: from the terminal count)\n"
    "  --seed N            random seed (default 1)\n"
    "  --ledger FILE       write every acknowledged booking as CSV\n"
    "  --json              print one JSON object instead of the summary\n"
    "  --help              this text\n"
    "  --version           the version\n";

Simulator* g_running = nullptr;

extern "C" void stopRun(int) {
    if (g_running)
        g_running->requestStop();
}

template <typename T> std::optional<T> number(std::string_view text) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<double> decimal(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !(value >= 0))
        return std::nullopt;
    return value;
}

int usage(const std::string& message) {
    std::cerr << "vorlanx-termsim: " << message << "\n" << kUsage;
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    SimulatorOptions o;
    bool json = false;
    bool haveService = false;
    bool haveTerminals = false;
    std::string ledgerFile;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--json") {
            json = true;
            continue;
        }
        if (arg == "--same-address") {
            o.distinctAddresses = false;
            continue;
        }
        if (arg == "--version") {
            std::cout << VORLANX_VERSION_TEXT("vorlanx-termsim");
            return 0;
        }
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (i + 1 >= argc)
            return usage(arg + " needs a value");
        const std::string value = argv[++i];
        if (arg == "--service") {
            const auto colon = value.rfind(':');
            const auto port =
                colon == std::string::npos ? std::nullopt : number<std::uint16_t>(value.substr(colon + 1));
            if (!port || *port == 0)
                return usage("--service wants HOST:PORT");
            o.serviceAddress = value.substr(0, colon);
            if (o.serviceAddress == "localhost")
                o.serviceAddress = "127.0.0.1";
            o.servicePort = *port;
            haveService = true;
        } else if (arg == "--terminals") {
            const auto n = number<int>(value);
            if (!n || *n < 1 || *n > 60000)
                return usage("--terminals wants 1 to 60000");
            o.terminals = *n;
            haveTerminals = true;
        } else if (arg == "--mix") {
            const auto a = value.find(':');
            const auto b = a == std::string::npos ? a : value.find(':', a + 1);
            if (b == std::string::npos)
                return usage("--mix wants Q:O:F");
            const auto q = number<unsigned>(value.substr(0, a));
            const auto p = number<unsigned>(value.substr(a + 1, b - a - 1));
            const auto f = number<unsigned>(value.substr(b + 1));
            if (!q || !p || !f)
                return usage("--mix wants three whole numbers Q:O:F");
            o.mix = {*q, *p, *f};
        } else if (arg == "--rate") {
            const auto r = decimal(value);
            if (!r || *r <= 0)
                return usage("--rate wants a positive number");
            o.rate = *r;
        } else if (arg == "--duration") {
            const auto s = decimal(value);
            if (!s || *s <= 0)
                return usage("--duration wants a positive number of seconds");
            o.durationSeconds = *s;
        } else if (arg == "--count") {
            const auto c = number<std::uint64_t>(value);
            if (!c || *c == 0)
                return usage("--count wants a positive whole number");
            o.count = *c;
        } else if (arg == "--cards") {
            std::string error;
            const auto cards = CardSource::fromFile(value, error);
            if (!cards)
                return usage(error);
            o.cards = *cards;
        } else if (arg == "--card-range") {
            const auto cards = CardSource::fromRange(value);
            if (!cards)
                return usage("--card-range wants A-B, A <= B, at most a million cards");
            o.cards = *cards;
        } else if (arg == "--amount") {
            const auto dash = value.find('-');
            const auto a = dash == std::string::npos ? std::nullopt : number<std::uint32_t>(value.substr(0, dash));
            const auto b = dash == std::string::npos ? std::nullopt : number<std::uint32_t>(value.substr(dash + 1));
            if (!a || !b || *b < *a)
                return usage("--amount wants A-B in fen");
            o.amountMinFen = *a;
            o.amountMaxFen = *b;
        } else if (arg == "--garbage" || arg == "--drop-replies" || arg == "--setting-done") {
            const auto p = decimal(value);
            if (!p || *p > 1)
                return usage(arg + " wants a share from 0 to 1");
            (arg == "--garbage" ? o.garbage : arg == "--setting-done" ? o.settingDone : o.dropReplies) = *p;
        } else if (arg == "--timeout") {
            const auto ms = number<int>(value);
            if (!ms || *ms < 1)
                return usage("--timeout wants milliseconds");
            o.timeout = std::chrono::milliseconds(*ms);
        } else if (arg == "--settle") {
            const auto ms = number<int>(value);
            if (!ms || *ms < 1)
                return usage("--settle wants milliseconds");
            o.settle = std::chrono::milliseconds(*ms);
        } else if (arg == "--attempts") {
            const auto n = number<int>(value);
            if (!n || *n < 1)
                return usage("--attempts wants 1 or more");
            o.attempts = *n;
        } else if (arg == "--heartbeat") {
            const auto s = decimal(value);
            if (!s)
                return usage("--heartbeat wants seconds");
            o.heartbeat = std::chrono::milliseconds(static_cast<long>(*s * 1000));
        } else if (arg == "--first-machine") {
            const auto m = number<unsigned>(value);
            if (!m || *m > 65535)
                return usage("--first-machine wants 0 to 65535");
            o.firstMachine = *m;
        } else if (arg == "--first-address") {
            const auto n = number<unsigned>(value);
            if (!n || *n > 16000000)
                return usage("--first-address wants 0 to 16000000");
            o.firstAddress = *n;
        } else if (arg == "--threads") {
            const auto t = number<unsigned>(value);
            if (!t || *t == 0)
                return usage("--threads wants 1 or more");
            o.threads = *t;
        } else if (arg == "--seed") {
            const auto s = number<std::uint64_t>(value);
            if (!s)
                return usage("--seed wants a whole number");
            o.seed = *s;
        } else if (arg == "--ledger") {
            ledgerFile = value;
            o.keepLedger = true;
        } else {
            return usage("unknown option " + arg);
        }
    }
    if (!haveService || !haveTerminals)
        return usage("--service and --terminals are needed");
    if (o.durationSeconds > 0 && o.count > 0)
        return usage("give --duration or --count, not both");
    if (o.mix[0] + o.mix[1] + o.mix[2] == 0 && o.count > 0)
        return usage("idle terminals (--mix 0:0:0) run for a --duration");

#ifndef _WIN32
    // A socket per terminal: a canteen of 10,000 needs more than the usual 1,024 descriptors.
    if (rlimit files{}; getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max &&
                        files.rlim_cur < static_cast<rlim_t>(o.terminals) + 64) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
#endif
    Simulator simulator(o);
    g_running = &simulator;
    std::signal(SIGINT, stopRun);
    std::signal(SIGTERM, stopRun);
    const SimulatorReport report = simulator.run();
    g_running = nullptr;
    if (!ledgerFile.empty()) {
        std::ofstream out(ledgerFile, std::ios::binary);
        out << report.ledgerCsv();
    }
    if (json)
        std::cout << report.json() << std::endl;
    else
        std::cout << report.summaryText();
    if (!report.error.empty()) {
        std::cerr << "vorlanx-termsim: " << report.error << "\n";
        return 1;
    }
    return 0;
}
