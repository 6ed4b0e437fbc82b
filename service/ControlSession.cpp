#include "service/ControlSession.h"

#include "config/PeriodSettings.h"
#include "link/ClockTexts.h"
#include "service/VorlanxService.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <map>
#include <set>

namespace vorlanx::service {

namespace {

using json = nlohmann::json;
using namespace std::chrono_literals;

constexpr auto kDefaultWait = 2s;
constexpr auto kMaxWait = 600s;

// The words of a command after its name: options with their values, and what is left.
struct Words {
    std::vector<std::string> positional;
    std::multimap<std::string, std::string> options; // "--to" may come several times
    std::set<std::string> flags;
    std::string error;

    bool has(const std::string& flag) const { return flags.contains(flag); }
    std::optional<std::string> option(const std::string& name) const {
        const auto found = options.find(name);
        if (found == options.end())
            return std::nullopt;
        return found->second;
    }
};

const std::set<std::string> kValueOptions = {"--to",    "--wait",   "--silent-after", "--machine", "--breakfast",
                                             "--lunch", "--dinner", "--night",        "--id"};
const std::set<std::string> kFlags = {"--heard", "--parallel"};

Words splitWords(const std::vector<std::string>& words) {
    Words out;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (kValueOptions.contains(word)) {
            if (i + 1 >= words.size()) {
                out.error = word + " needs a value";
                return out;
            }
            out.options.emplace(word, words[++i]);
        } else if (kFlags.contains(word)) {
            out.flags.insert(word);
        } else if (word.size() > 2 && word.starts_with("--")) {
            out.error = "unknown option " + word;
            return out;
        } else {
            out.positional.push_back(word);
        }
    }
    return out;
}

std::optional<std::uint64_t> wholeNumber(const std::string& text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string isoTime(std::time_t when) {
    const std::tm local = link::localTime(when);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// HH:MM:SS with hours 00-23 and minutes and seconds 00-59, as the window's time fields hold them.
bool isTimeOfDay(std::string_view text) {
    if (text.size() != 8 || text[2] != ':' || text[5] != ':')
        return false;
    for (std::size_t i : {0u, 1u, 3u, 4u, 6u, 7u})
        if (text[i] < '0' || text[i] > '9')
            return false;
    const int hours = (text[0] - '0') * 10 + (text[1] - '0');
    return hours <= 23 && text[3] <= '5' && text[6] <= '5';
}

const char* const kMealOptions[] = {"--breakfast", "--lunch", "--dinner", "--night"};

// "127.0.0.5:3000|设置成功" -> "127.0.0.5:3000": who answered, as the result lines name them.
std::string senderOf(const std::string& line) {
    const std::size_t bar = line.find('|');
    return bar == std::string::npos ? std::string() : line.substr(0, bar);
}

} // namespace

ControlSession::ControlSession(VorlanxService& service, Emit emit, std::stop_token stop,
                               std::function<bool()> clientGone)
    : m_service(service), m_emit(std::move(emit)), m_stop(std::move(stop)), m_clientGone(std::move(clientGone)) {}

std::optional<std::vector<std::string>> ControlSession::parseRequest(const std::string& line) {
    const json request = json::parse(line, nullptr, false);
    if (request.is_discarded() || !request.is_array() || request.empty())
        return std::nullopt;
    std::vector<std::string> words;
    for (const auto& word : request) {
        if (!word.is_string())
            return std::nullopt;
        words.push_back(word.get<std::string>());
    }
    return words;
}

int ControlSession::run(const std::string& requestLine) {
    const auto words = parseRequest(requestLine);
    if (!words)
        return refuse("a request is one line: a JSON array of the command's words, e.g. [\"status\"]");
    return dispatch(*words);
}

int ControlSession::refuse(const std::string& message) {
    json done = {{"event", "done"}, {"exit", kBadRequest}, {"error", message}};
    m_emit(done.dump());
    return kBadRequest;
}

int ControlSession::finish(int exitStatus, const std::string& field, const std::string& jsonValue) {
    json done = {{"event", "done"}, {"exit", exitStatus}};
    if (!field.empty())
        done[field] = json::parse(jsonValue);
    m_emit(done.dump());
    return exitStatus;
}

int ControlSession::dispatch(const std::vector<std::string>& words) {
    const std::string& command = words.front();
    if (command == "status")
        return status();
    if (command == "terminals")
        return terminals(words);
    if (command == "reload-personnel")
        return reloadPersonnel(words);
    if (command == "cancel")
        return cancel(words);
    if (command == "clock" || command == "periods" || command == "amounts" || command == "mode" ||
        command == "title" || command == "list" || command == "whitelist")
        return administer(words);
    return refuse("unknown command \"" + command + "\"");
}

int ControlSession::status() {
    const VorlanxService::Status s = m_service.status();
    const json body = {
        {"port", s.port},
        {"listening", s.port != 0},
        {"database", {{"kind", s.databaseKind}, {"connected", s.databaseConnected}}},
        {"personnelRows", s.personnelRows},
        {"counts",
         {{"datagrams", s.totals.datagrams},
          {"cardQueries", s.totals.queries},
          {"payments", s.totals.payments},
          {"offlineRecords", s.totals.offlineRecords},
          {"answers", s.totals.answers},
          {"refused", s.totals.refused},
          {"dropped", s.dropped}}},
        {"queueDepth", s.queueDepth},
        {"uptimeSeconds", s.uptimeSeconds},
        {"waitingOnDatabase", s.waitingOnDatabase},
    };
    return finish(kAllAnswered, "status", body.dump());
}

int ControlSession::terminals(const std::vector<std::string>& words) {
    const Words w = splitWords(words);
    if (!w.error.empty() || !w.positional.empty())
        return refuse(w.error.empty() ? "terminals takes no words but --silent-after S" : w.error);
    std::uint64_t silentAfter = 60;
    if (const auto text = w.option("--silent-after")) {
        const auto value = wholeNumber(*text);
        if (!value)
            return refuse("--silent-after needs whole seconds, not \"" + *text + "\"");
        silentAfter = *value;
    }
    const std::time_t now = std::time(nullptr);
    json list = json::array();
    for (const auto& t : m_service.heardTerminals()) {
        list.push_back({{"address", t.address},
                        {"port", t.port},
                        {"machine", t.machine},
                        {"firstHeard", isoTime(t.firstHeard)},
                        {"lastHeard", isoTime(t.lastHeard)},
                        {"frames", t.frames},
                        {"cardQueries", t.queries},
                        {"payments", t.payments},
                        {"offlineRecords", t.offlineRecords},
                        {"lastAnswer", t.lastAnswer},
                        {"silent", static_cast<std::uint64_t>(now - t.lastHeard) > silentAfter}});
    }
    return finish(kAllAnswered, "terminals", list.dump());
}

int ControlSession::reloadPersonnel(const std::vector<std::string>& words) {
    const Words w = splitWords(words);
    if (!w.error.empty() || !w.positional.empty())
        return refuse(w.error.empty() ? "reload-personnel takes only --machine N" : w.error);
    const std::string machine = w.option("--machine").value_or("");
    if (!machine.empty() && (!wholeNumber(machine) || *wholeNumber(machine) > 65535))
        return refuse("--machine needs a machine number 0-65535, not \"" + machine + "\"");
    m_service.loadPersonnelList(machine);
    if (!m_service.personnel().waitIdle(5min))
        return finish(kSomeSilent, "personnelRows", std::to_string(m_service.personnelRows().size()));
    return finish(kAllAnswered, "personnelRows", std::to_string(m_service.personnelRows().size()));
}

int ControlSession::cancel(const std::vector<std::string>& words) {
    const Words w = splitWords(words);
    if (!w.error.empty() || !w.positional.empty())
        return refuse(w.error.empty() ? "cancel takes only --id N" : w.error);
    std::optional<std::uint64_t> id;
    if (const auto text = w.option("--id")) {
        id = wholeNumber(*text);
        if (!id || *id == 0)
            return refuse("--id needs the number of a command (its first event names it), not \"" + *text + "\"");
    }
    // With --id, only that command, and only while it runs: a command that has ended is not
    // confused with the one that runs now.
    return finish(kAllAnswered, "cancelled", m_service.cancelCommand(id) ? "true" : "false");
}

int ControlSession::administer(const std::vector<std::string>& words) {
    const Words w = splitWords(words);
    if (!w.error.empty())
        return refuse(w.error);
    const std::string& command = words.front();
    const auto& args = w.positional;
    auto needs = [&](std::size_t count, const std::string& usage) {
        return args.size() == count ? std::string() : "usage: vorlanxctl " + usage;
    };

    admin::CommandRequest request;
    request.shape = admin::Shape::All;
    std::string usageError;
    if (command == "clock") {
        request.kind = admin::CommandKind::Clock;
        usageError = needs(1, "clock set|read");
        if (usageError.empty() && args[0] != "set" && args[0] != "read")
            usageError = "usage: vorlanxctl clock set|read";
        request.clock = !args.empty() && args[0] == "read" ? admin::ClockDirection::Read : admin::ClockDirection::Set;
    } else if (command == "periods" || command == "amounts") {
        const bool periods = command == "periods";
        request.kind = periods ? admin::CommandKind::Periods : admin::CommandKind::Amounts;
        usageError = needs(0, command + " [--breakfast|--lunch|--dinner|--night VALUE]...");
        const auto saved = config::loadPeriodSettings(m_service.dir());
        bool anyNamed = false;
        for (std::size_t meal = 0; meal < admin::kMeals; ++meal)
            anyNamed = anyNamed || w.option(kMealOptions[meal]).has_value();
        for (std::size_t meal = 0; meal < admin::kMeals; ++meal) {
            const auto value = w.option(kMealOptions[meal]);
            request.periods[meal] = {!anyNamed, saved.times[meal].start, saved.times[meal].end};
            request.amounts[meal] = {!anyNamed, saved.amounts[meal]};
            if (!value)
                continue;
            if (periods) {
                const std::size_t dash = value->find('-');
                const std::string start = value->substr(0, dash);
                const std::string end = dash == std::string::npos ? std::string() : value->substr(dash + 1);
                if (!isTimeOfDay(start) || !isTimeOfDay(end))
                    return refuse(std::string(kMealOptions[meal]) + " needs HH:MM:SS-HH:MM:SS, not \"" + *value +
                                  "\"");
                request.periods[meal] = {true, start, end};
            } else {
                request.amounts[meal] = {true, *value};
            }
        }
    } else if (command == "mode") {
        request.kind = admin::CommandKind::Mode;
        static const std::map<std::string, int> modes = {{"fixed", 0}, {"manual", 1}, {"menu", 2}, {"download", 3}};
        usageError = needs(1, "mode fixed|manual|menu|download");
        if (usageError.empty()) {
            const auto found = modes.find(args[0]);
            if (found == modes.end())
                usageError = "usage: vorlanxctl mode fixed|manual|menu|download";
            else
                request.modeIndex = found->second;
        }
    } else if (command == "title") {
        request.kind = admin::CommandKind::Title;
        usageError = needs(1, "title TEXT");
        if (usageError.empty())
            request.titleUtf8 = args[0];
    } else if (command == "list") {
        request.kind = admin::CommandKind::ListMode;
        usageError = needs(1, "list white|black");
        if (usageError.empty() && args[0] != "white" && args[0] != "black")
            usageError = "usage: vorlanxctl list white|black";
        request.list = !args.empty() && args[0] == "black" ? link::CardList::Black : link::CardList::White;
    } else {
        usageError = args.empty() ? "usage: vorlanxctl whitelist count|delete|download [--parallel]" : "";
        if (usageError.empty() && args[0] == "count")
            request.kind = admin::CommandKind::ReadCount;
        else if (usageError.empty() && args[0] == "delete")
            request.kind = admin::CommandKind::DeleteWhitelist;
        else if (usageError.empty() && args[0] == "download")
            request.kind = admin::CommandKind::WhitelistDownload;
        else
            usageError = "usage: vorlanxctl whitelist count|delete|download [--parallel]";
        if (usageError.empty() && args.size() != 1)
            usageError = "usage: vorlanxctl whitelist count|delete|download [--parallel]";
        request.parallelDownload = w.has("--parallel");
    }
    if (!usageError.empty())
        return refuse(usageError);

    // Targets: the ones named, or every terminal heard so far.
    for (auto [it, end] = w.options.equal_range("--to"); it != end; ++it) {
        const std::string& to = it->second;
        const std::size_t first = to.find(':');
        const std::size_t second = first == std::string::npos ? std::string::npos : to.find(':', first + 1);
        if (second == std::string::npos)
            return refuse("--to needs IP:PORT:MACHINE, not \"" + to + "\"");
        request.terminalList.push_back(
            {to.substr(0, first), to.substr(first + 1, second - first - 1), to.substr(second + 1)});
    }
    if (w.has("--heard")) {
        // A sender of nothing but noise is listed by "terminals" but is no terminal to administer.
        for (const auto& t : m_service.heardTerminals())
            if (t.checkedFrames > 0)
                request.terminalList.push_back({t.address, std::to_string(t.port), t.machine});
        if (request.terminalList.empty())
            return refuse("--heard: no terminal has been heard since vorlanxd started");
    }
    if (request.terminalList.empty())
        return refuse("no target: name terminals with --to IP:PORT:MACHINE, --terminals FILE or --heard");

    auto wait = std::chrono::milliseconds(kDefaultWait);
    if (const auto text = w.option("--wait")) {
        const auto value = wholeNumber(*text);
        if (!value || std::chrono::seconds(*value) > kMaxWait)
            return refuse("--wait needs whole seconds up to 600, not \"" + *text + "\"");
        wait = std::chrono::seconds(*value);
    }
    return follow(request, wait);
}

int ControlSession::follow(const admin::CommandRequest& request, std::chrono::milliseconds wait) {
    std::map<std::string, std::size_t> answers; // "address:port" of each target -> acknowledgements
    for (const auto& t : request.terminalList) {
        // As the result lines name a sender: the port in plain decimal.
        const auto port = wholeNumber(t.port);
        answers.emplace(t.address + ":" + (port ? std::to_string(*port) : t.port), 0);
    }
    const bool download = request.kind == admin::CommandKind::WhitelistDownload;
    const std::size_t framesPerTerminal = admin::whitelistFrameCount(m_service.personnelRows().size());
    const std::size_t totalFrames = download ? framesPerTerminal * request.terminalList.size() : 0;
    std::size_t framesSent = 0;

    m_service.addObserver(this);
    struct Detach {
        VorlanxService& service;
        ControlSession* session;
        ~Detach() { service.removeObserver(session); }
    } detach{m_service, this};

    // One command at a time: a request that finds another running waits for it.
    admin::PreparedCommand prepared;
    for (;;) {
        prepared = m_service.runCommand(request);
        if (prepared.runs() || prepared.message)
            break;
        if (m_stop.stop_requested())
            return finish(kUnreachable, "error", json("vorlanxd is stopping").dump());
        m_service.waitCommandIdle(200ms);
    }
    if (prepared.message)
        return refuse(*prepared.message);
    m_commandId = prepared.id;
    m_emit(json({{"event", "command"}, {"id", prepared.id}}).dump());
    if (download)
        m_emit(json({{"event", "progress"}, {"sent", 0}, {"total", totalFrames}}).dump());

    bool finished = false;
    bool completed = true;
    auto everyoneAnswered = [&] {
        for (const auto& [target, count] : answers)
            if (count == 0)
                return false;
        return true;
    };
    auto until = std::chrono::steady_clock::time_point::max();
    bool cancelled = false;
    while (!finished || std::chrono::steady_clock::now() < until) {
        // A client that hung up cancels its command, as "vorlanxctl cancel" would; then nobody
        // is left to tell.
        if (m_clientGone && m_clientGone()) {
            if (!finished && !finishedQueued())
                m_service.cancelCommand();
            return kUnreachable;
        }
        if (finished && !download && everyoneAnswered())
            break;
        if (finished && download && framesSent == totalFrames) {
            bool allAcknowledged = true;
            for (const auto& [target, count] : answers)
                allAcknowledged = allAcknowledged && count >= framesPerTerminal;
            if (allAcknowledged)
                break;
        }
        const auto event = nextEvent(std::min(until, std::chrono::steady_clock::now() + 500ms));
        if (m_stop.stop_requested())
            break;
        // What arrived while another command ran (or before this one started) is not this one's.
        if (!event || event->command != m_commandId)
            continue;
        switch (event->kind) {
        case Event::Kind::Answer: {
            const auto found = answers.find(senderOf(event->text));
            if (found == answers.end())
                break;
            ++found->second;
            m_emit(json({{"event", "answer"}, {"line", event->text}}).dump());
            break;
        }
        case Event::Kind::Caption: {
            // Every progress caption of a download ("...下传白名单F-k") stands for frames just sent:
            // one in a run, one to every terminal when they are served at once.
            if (!download || event->text.find("下传白名单") == std::string::npos ||
                event->text.find('-') == std::string::npos)
                break;
            framesSent += request.parallelDownload ? request.terminalList.size() : 1;
            m_emit(json({{"event", "progress"}, {"sent", framesSent}, {"total", totalFrames}}).dump());
            break;
        }
        case Event::Kind::Finished:
            finished = true;
            completed = event->text == "completed";
            // Stopped with the port still open: "vorlanxctl cancel", not "停止" or a shutdown.
            cancelled = !completed && m_service.listening();
            until = std::chrono::steady_clock::now() + wait;
            break;
        }
    }

    std::size_t answered = 0;
    json perTarget = json::object();
    for (const auto& [target, count] : answers) {
        answered += count > 0 ? 1 : 0;
        perTarget[target] = count;
    }
    json done = {{"event", "done"},
                 {"id", m_commandId},
                 {"exit", answered == answers.size() ? kAllAnswered : kSomeSilent},
                 {"answered", answered},
                 {"targets", answers.size()},
                 {"completed", completed}};
    if (cancelled)
        done["cancelled"] = true;
    if (download) {
        done["framesSent"] = framesSent;
        done["framesPerTerminal"] = framesPerTerminal;
        done["acknowledged"] = perTarget;
    }
    m_emit(done.dump());
    return done["exit"].get<int>();
}

std::optional<ControlSession::Event> ControlSession::nextEvent(std::chrono::steady_clock::time_point until) {
    std::unique_lock lock(m_mutex);
    if (!m_ready.wait_until(lock, m_stop, until, [this] { return !m_events.empty(); }))
        return std::nullopt;
    Event event = std::move(m_events.front());
    m_events.pop_front();
    return event;
}

bool ControlSession::finishedQueued() {
    std::lock_guard lock(m_mutex);
    return std::any_of(m_events.begin(), m_events.end(), [this](const Event& event) {
        return event.kind == Event::Kind::Finished && event.command == m_commandId;
    });
}

void ControlSession::resultAppended(const std::string& text, std::optional<std::size_t>) {
    // An answer carries no command's number: it is taken for the command running when it arrives.
    const std::uint64_t command = m_service.commandId();
    std::lock_guard lock(m_mutex);
    // One event per line of the box.
    std::size_t start = 0;
    for (std::size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
        m_events.push_back({Event::Kind::Answer, text.substr(start, end - start), command});
        start = end + 2;
    }
    if (start < text.size())
        m_events.push_back({Event::Kind::Answer, text.substr(start), command});
    m_ready.notify_all();
}

void ControlSession::commandFinished(bool completed, const std::optional<std::string>&) {
    // Reported before the runner takes the next command: the number is still this command's.
    const std::uint64_t command = m_service.commandId();
    std::lock_guard lock(m_mutex);
    m_events.push_back({Event::Kind::Finished, completed ? "completed" : "stopped", command});
    m_ready.notify_all();
}

void ControlSession::captionChanged(const std::string& caption) {
    const std::uint64_t command = m_service.commandId();
    std::lock_guard lock(m_mutex);
    m_events.push_back({Event::Kind::Caption, caption, command});
    m_ready.notify_all();
}

} // namespace vorlanx::service
