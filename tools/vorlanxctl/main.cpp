// vorlanxctl: administers a running vorlanxd through its control socket (vorlanxd.sock in the
// service directory): its status, the terminals it has heard, and the administration commands of
// the window, sent to the terminals named.

#include "version/Version.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

constexpr int kUnreachable = 1;
constexpr int kBadUsage = 2;

const char* const kUsage = R"(usage: vorlanxctl [--dir DIR] [--json] COMMAND

  status                          port, database, personnel rows, counts, queue, uptime
  terminals [--silent-after S]    every terminal heard since start; silent after S s (60)
  clock set|read                  TARGETS
  periods [--breakfast|--lunch|--dinner|--night HH:MM:SS-HH:MM:SS]... TARGETS
                                  the periods named, or all four of conf.ini; saved
  amounts [--breakfast|--lunch|--dinner|--night FEN]... TARGETS
  mode fixed|manual|menu|download TARGETS
  title TEXT                      TARGETS
  list white|black                TARGETS
  whitelist count|delete          TARGETS
  whitelist download [--parallel] TARGETS
  reload-personnel [--machine N]
  cancel [--id N]                 end the running command after its current frame; with
                                  --id, only when command N is the one running

Each command run gets a number, its id: the first event of --json names it
({"event":"command","id":N}), and so does a first line "command N" on a terminal.
A terminal's answer carries no id: an answer belongs to the command running when it
arrives (or to the one run last, while its --wait lasts), so a command shows only the
answers that came while it ran, never those of a command before it.

TARGETS: --to IP:PORT:MACHINE (again for more), --terminals FILE (CSV: IP,port,machine)
         or --heard (every terminal heard so far with a correct frame); --wait S waits S s
         for answers (2).
DIR: the service directory (default: beside a vorlanxd next to this program when it holds
     conf.ini, else /var/lib/vorlanx).
Exit: 0 every target answered, 3 some did not, 2 bad usage or refused input, 1 vorlanxd not
      reached.
--help: this text; --version: the version.
)";

fs::path ownDirectory(const char* argv0) {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::absolute(argv0).parent_path() : self.parent_path();
}

fs::path defaultDirectory(const char* argv0) {
    const fs::path own = ownDirectory(argv0);
    std::error_code ec;
    if (fs::exists(own / "vorlanxd", ec) && fs::exists(own / "conf.ini", ec))
        return own;
    return "/var/lib/vorlanx";
}

// The request travels as JSON, which holds UTF-8 text only.
bool isUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        unsigned int point = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            point = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            point = lead & 0x0Fu;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            point = lead & 0x07u;
        } else {
            return false;
        }
        if (i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0u) != 0x80u)
                return false;
            point = (point << 6) | (next & 0x3Fu);
        }
        // Overlong forms, UTF-16 surrogates and points past U+10FFFF are not UTF-8.
        if ((length == 3 && point < 0x800) || (length == 4 && (point < 0x10000 || point > 0x10FFFF)) ||
            (point >= 0xD800 && point <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

// A text as it can be shown whatever it holds: bytes that are not printable ASCII as \xNN.
std::string shown(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            out += c;
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        }
    }
    return out;
}

// The rows of a terminals file as --to words: "IP,port,machine" per line; blank lines and lines
// starting with '#' are skipped.
std::optional<std::vector<std::string>> terminalsFile(const fs::path& file, std::string& error) {
    std::ifstream in(file);
    if (!in) {
        error = "cannot read " + file.string();
        return std::nullopt;
    }
    std::vector<std::string> words;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!isUtf8(line)) {
            error = file.string() + " line " + std::to_string(number) + " is not UTF-8 text";
            return std::nullopt;
        }
        if (line.empty() || line.front() == '#')
            continue;
        std::vector<std::string> cells;
        std::stringstream row(line);
        for (std::string cell; std::getline(row, cell, ',');)
            cells.push_back(cell);
        if (cells.size() == 2)
            cells.emplace_back();
        if (cells.size() != 3) {
            error = file.string() + " line " + std::to_string(number) + ": expected IP,port,machine";
            return std::nullopt;
        }
        words.push_back("--to");
        words.push_back(cells[0] + ":" + cells[1] + ":" + cells[2]);
    }
    return words;
}

void printHuman(const json& event, const std::vector<std::string>& words, bool tty) {
    const std::string kind = event.value("event", "");
    if (kind == "command") {
        // For "cancel --id N" from another shell; a script reads it from --json.
        if (tty)
            std::cout << "command " << event.value("id", 0ull) << '\n';
    } else if (kind == "answer") {
        if (tty)
            std::cout << "\r\033[K";
        std::cout << event.value("line", "") << '\n';
    } else if (kind == "progress") {
        const auto sent = event.value("sent", 0ull);
        const auto total = event.value("total", 0ull);
        if (tty) {
            std::cout << "\rsent " << sent << " of " << total << " frames" << std::flush;
        } else {
            // Without a terminal to redraw on: a line at the start, at every tenth and at the end.
            static unsigned long long lastTenth = ~0ull;
            const unsigned long long tenth = total == 0 ? 10 : sent * 10 / total;
            if (tenth != lastTenth)
                std::cout << "sent " << sent << " of " << total << " frames\n";
            lastTenth = tenth;
        }
    } else if (kind == "done") {
        if (tty)
            std::cout << "\r\033[K";
        if (event.contains("error")) {
            std::cerr << "vorlanxctl: " << event["error"].get<std::string>() << '\n';
            return;
        }
        if (event.contains("status")) {
            const json& s = event["status"];
            const json& c = s["counts"];
            std::cout << "port:            "
                      << (s["listening"].get<bool>() ? std::to_string(s["port"].get<int>()) : "not listening") << '\n'
                      << "database:        " << s["database"]["kind"].get<std::string>()
                      << (s["database"]["connected"].get<bool>() ? ", connected" : ", not connected") << '\n'
                      << "personnel rows:  " << s["personnelRows"] << '\n'
                      << "datagrams:       " << c["datagrams"] << '\n'
                      << "card queries:    " << c["cardQueries"] << '\n'
                      << "payments:        " << c["payments"] << '\n'
                      << "offline records: " << c["offlineRecords"] << '\n'
                      << "answers:         " << c["answers"] << '\n'
                      << "refused:         " << c["refused"] << '\n'
                      << "dropped:         " << c["dropped"] << '\n'
                      << "queue depth:     " << s["queueDepth"] << '\n'
                      << "uptime:          " << s["uptimeSeconds"] << " s\n";
            // Every worker of a pool inside a database call that has not passed its time-out.
            if (s.value("waitingOnDatabase", false))
                std::cout << "state:           waiting on the database\n";
        } else if (event.contains("terminals")) {
            std::printf("%-15s %5s %5s  %-19s  %-19s %7s %7s %7s %7s  %s\n", "address", "port", "mach", "first heard",
                        "last heard", "frames", "queries", "paid", "offline", "last answer");
            for (const json& t : event["terminals"]) {
                std::printf("%-15s %5d %5s  %-19s  %-19s %7llu %7llu %7llu %7llu  %s%s\n",
                            t["address"].get<std::string>().c_str(), t["port"].get<int>(),
                            t["machine"].get<std::string>().c_str(), t["firstHeard"].get<std::string>().c_str(),
                            t["lastHeard"].get<std::string>().c_str(), t["frames"].get<unsigned long long>(),
                            t["cardQueries"].get<unsigned long long>(), t["payments"].get<unsigned long long>(),
                            t["offlineRecords"].get<unsigned long long>(), t["lastAnswer"].get<std::string>().c_str(),
                            t["silent"].get<bool>() ? "  (silent)" : "");
            }
        } else if (!words.empty() && words.front() == "cancel") {
            std::cout << (event.value("cancelled", false) ? "cancelled the running command" : "no command was running")
                      << '\n';
        } else if (event.contains("personnelRows") && !words.empty() && words.front() == "reload-personnel") {
            std::cout << "personnel rows: " << event["personnelRows"] << '\n';
        } else if (event.contains("answered")) {
            if (event.value("cancelled", false))
                std::cout << "cancelled\n";
            if (event.contains("acknowledged"))
                for (const auto& [target, count] : event["acknowledged"].items())
                    std::cout << target << ": " << count << " of " << event["framesPerTerminal"]
                              << " frames acknowledged\n";
            std::cout << "answered " << event["answered"] << " of " << event["targets"] << '\n';
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    std::optional<fs::path> dir;
    bool asJson = false;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!isUtf8(arg)) {
            std::cerr << "vorlanxctl: argument " << i << " \"" << shown(arg) << "\" is not UTF-8 text\n";
            return kBadUsage;
        }
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--version" && words.empty()) {
            std::cout << VORLANX_VERSION_TEXT("vorlanxctl");
            return 0;
        }
        if (arg == "--dir" && i + 1 < argc && words.empty()) {
            dir = argv[++i];
        } else if (arg == "--json") {
            asJson = true;
        } else if (arg == "--terminals" && i + 1 < argc) {
            std::string error;
            const auto rows = terminalsFile(argv[++i], error);
            if (!rows) {
                std::cerr << "vorlanxctl: " << error << '\n';
                return kBadUsage;
            }
            words.insert(words.end(), rows->begin(), rows->end());
        } else {
            words.push_back(arg);
        }
    }
    if (words.empty()) {
        std::cerr << kUsage;
        return kBadUsage;
    }
    const fs::path socketPath = dir.value_or(defaultDirectory(argv[0])) / "vorlanxd.sock";

    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string pathText = socketPath.string();
    if (pathText.size() >= sizeof address.sun_path) {
        std::cerr << "vorlanxctl: " << pathText << ": path too long for a socket\n";
        return kUnreachable;
    }
    std::memcpy(address.sun_path, pathText.c_str(), pathText.size() + 1);
    const int server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (server < 0 || ::connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        std::cerr << "vorlanxctl: cannot reach vorlanxd at " << pathText << ": " << std::strerror(errno)
                  << " (is it running, and is this its service directory? --dir DIR)\n";
        return kUnreachable;
    }
    const std::string request = json(words).dump() + "\n";
    if (::send(server, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
        std::cerr << "vorlanxctl: cannot send to " << pathText << ": " << std::strerror(errno) << '\n';
        return kUnreachable;
    }

    const bool tty = !asJson && ::isatty(STDOUT_FILENO);
    std::string pending;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(server, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        pending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            const json event = json::parse(line, nullptr, false);
            if (event.is_discarded())
                continue;
            if (asJson)
                std::cout << line << std::endl;
            else
                printHuman(event, words, tty);
            if (event.value("event", "") == "done") {
                ::close(server);
                return event.value("exit", kUnreachable);
            }
        }
    }
    ::close(server);
    std::cerr << "vorlanxctl: vorlanxd at " << pathText << " closed the connection before answering\n";
    return kUnreachable;
}
