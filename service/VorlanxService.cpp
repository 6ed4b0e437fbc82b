#include "service/VorlanxService.h"

#include "config/ConnectionSettingsSave.h"
#include "config/DownloadSettings.h"
#include "config/PeriodSettings.h"
#include "config/SettingsTexts.h"
#include "config/TerminalSettings.h"
#include "link/DebugLog.h"
#include "service/Restart.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace vorlanx::service {

namespace {

constexpr std::size_t kDatabaseJobQueue = 16;

} // namespace

VorlanxService::VorlanxService(Options options)
    : m_dir(std::move(options.dir)), m_restart(std::move(options.restart)), m_drainLimit(options.drainLimit),
      m_database(m_dir), m_personnelRows(m_hub), m_personnel(m_database, m_personnelRows),
      m_transactions(m_database, m_endpoint, m_clock, m_results, m_hub), m_pool(m_transactions),
      m_dispatcher(m_endpoint, m_terminals, m_results, m_hub, &m_pool), m_downloadReports(m_results, m_hub),
      m_runner(m_endpoint),
      m_databaseWorker(1, kDatabaseJobQueue) {
    if (!m_restart)
        m_restart = [] { return restartSelf(config::kSaveRestartDelay); };
}

std::optional<std::string> VorlanxService::applyAllowList(bool keepOnError) {
    return applyAllowList(config::loadAllowList(m_dir), keepOnError);
}

std::optional<std::string>
VorlanxService::applyAllowList(const std::variant<link::AddressFilter, link::AddressFilter::BadItem>& loaded,
                               bool keepOnError) {
    if (const auto* bad = std::get_if<link::AddressFilter::BadItem>(&loaded)) {
        if (!keepOnError)
            m_dispatcher.setAddressFilter(nullptr);
        return bad->item;
    }
    m_dispatcher.setAddressFilter(std::make_shared<const link::AddressFilter>(std::get<link::AddressFilter>(loaded)));
    return std::nullopt;
}

VorlanxService::Status VorlanxService::status() {
    Status s;
    s.port = m_endpoint.localPort();
    switch (m_database.kind()) {
    case config::DatabaseKind::None:
        s.databaseKind = "none";
        break;
    case config::DatabaseKind::SqlServer:
        s.databaseKind = "sqlserver";
        break;
    case config::DatabaseKind::Builtin:
        s.databaseKind = "builtin";
        break;
    }
    s.databaseConnected = m_database.isConnected();
    s.personnelRows = m_personnelRows.size();
    s.totals = m_terminals.totals();
    s.dropped = m_pool.droppedCount();
    s.queueDepth = m_pool.queueDepth();
    s.uptimeSeconds = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - m_started).count());
    s.waitingOnDatabase = waitingOnDatabase();
    return s;
}

VorlanxService::~VorlanxService() {
    if (m_stopper.joinable())
        m_stopper.join();
    // The receive worker reports through the dispatcher, the pool and the hub: it ends first.
    m_runner.stop();
    m_endpoint.close();
}

void VorlanxService::setListener(ServiceListener* listener) { m_hub.attach(listener); }

void VorlanxService::databaseJob(std::function<void()> job) {
    {
        std::lock_guard lock(m_databaseMutex);
        ++m_databaseJobs;
    }
    const bool posted = m_databaseWorker.tryPost([this, job = std::move(job)] {
        job();
        {
            std::lock_guard lock(m_databaseMutex);
            --m_databaseJobs;
        }
        m_databaseIdle.notify_all();
    });
    if (!posted) {
        std::lock_guard lock(m_databaseMutex);
        --m_databaseJobs;
    }
}

bool VorlanxService::databaseBusy() const {
    std::lock_guard lock(m_databaseMutex);
    return m_databaseJobs > 0;
}

bool VorlanxService::waitDatabaseIdle(std::chrono::milliseconds limit) const {
    std::unique_lock lock(m_databaseMutex);
    return m_databaseIdle.wait_for(lock, limit, [this] { return m_databaseJobs == 0; });
}

config::ConnectionSettingsLoad VorlanxService::startUp(std::string machineText) {
    config::ConnectionSettingsLoad load = config::readDatabaseSettings(m_dir);
    if (!load.connectNeeded || !load.shown)
        return load;
    // A login may take its whole time-out: the connect runs on the worker.
    databaseJob([this, load, machineText = std::move(machineText)]() mutable {
        load.applyConnectResult(m_database.connectWith(*load.shown));
        m_hub.startupConnectFinished(load.connected, load.statusText);
        if (load.connected)
            m_personnel.loadPersonnelList(machineText);
    });
    return load;
}

std::optional<std::string> VorlanxService::saveDatabaseSettings(const config::ConnectionSettings& settings) {
    if (const auto refused = config::checkConnectionSettings(settings))
        return refused;
    if (settings.kind == config::DatabaseKind::None) {
        config::finishDatabaseSave(m_dir, settings, false);
        return std::nullopt;
    }
    databaseJob([this, settings] {
        const bool ok = m_database.connectWith(settings);
        const auto saved = config::finishDatabaseSave(m_dir, settings, ok);
        m_hub.databaseSaveFinished(saved.message, saved.restart);
    });
    return std::nullopt;
}

bool VorlanxService::restart() {
    // The restart script's delay counts from its start, so the drain comes first and the old
    // process still leaves the new one the whole delay to find the port free.
    const std::uint16_t port = m_endpoint.localPort();
    drainAndClose();
    if (m_restart())
        return true;
    if (port != 0)
        startListening(port);
    return false;
}

ReloadResult VorlanxService::reload(std::chrono::milliseconds limit) {
    ReloadResult result;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    const auto left = [&deadline] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::max(deadline - std::chrono::steady_clock::now(), std::chrono::steady_clock::duration::zero()));
    };

    // conf.ini: the senders served, then the database.
    if (const auto loaded = config::readAllowList(m_dir))
        result.badAllowItem = applyAllowList(*loaded, true);
    else
        result.allowListKept = true;
    const config::ConnectionSettingsLoad load = config::readDatabaseSettings(m_dir);
    const bool selectsNone = !load.connectNeeded && load.shown && load.shown->kind == config::DatabaseKind::None;
    result.settingsRead = load.connectNeeded || selectsNone;

    // The database. A file that is missing or cannot be read must not cut a working connection:
    // payments go on as before until the engineer mends it.
    if (!result.settingsRead) {
        result.database = ReloadResult::DatabaseStep::LeftAlone;
    } else if (selectsNone) {
        result.database = ReloadResult::DatabaseStep::Disconnected;
        databaseJob([this] { m_database.disconnect(); });
    } else if (m_database.lastSettings() != load.shown || !m_database.isConnected()) {
        result.database = ReloadResult::DatabaseStep::Reconnected;
        // On the database worker, so that it never overlaps a start-up connect or a save.
        databaseJob([this, settings = *load.shown] {
            const bool ok = m_database.connectWith(settings);
            m_hub.statusChanged(std::string(ok ? config::kConnectedText : config::kConnectFailedText));
        });
    }
    result.finished = waitDatabaseIdle(left());
    result.connected = m_database.isConnected();

    // The personnel list, from the database now in use.
    if (result.finished && result.connected) {
        m_personnel.loadPersonnelList("");
        result.finished = m_personnel.waitIdle(left());
        result.personnelRows = m_personnelRows.size();
        result.personnelLoadFailed = result.finished && m_personnelRows.lastLoadFailed();
    }
    return result;
}

bool VorlanxService::alive(std::chrono::milliseconds limit) {
    m_progressLimit.store(limit.count());
    if (!listening())
        return false;
    if (std::chrono::steady_clock::now() - m_endpoint.lastReceiveRound() >= limit)
        return false;
    // The call that has the connection is past its own time-out: everything behind it waits for
    // nothing, whichever thread made it.
    if (m_database.callOverdue())
        return false;
    const txn::WorkerPool::Progress progress = m_pool.progress(limit);
    noteDatabaseWait(progress == txn::WorkerPool::Progress::WaitingOnDatabase);
    return progress != txn::WorkerPool::Progress::Stuck;
}

bool VorlanxService::waitingOnDatabase() {
    const bool waiting = listening() && m_pool.progress(std::chrono::milliseconds(m_progressLimit.load())) ==
                                            txn::WorkerPool::Progress::WaitingOnDatabase;
    noteDatabaseWait(waiting);
    return waiting;
}

void VorlanxService::noteDatabaseWait(bool waiting) {
    // Once when the wait begins and once when it ends, not at every look of the watchdog.
    if (m_waitingOnDatabase.exchange(waiting) == waiting)
        return;
    link::debugLog("service", waiting ? "waiting on the database: every worker of a pool is inside a database call "
                                        "within its time-out"
                                      : "the database answers again");
}

VorlanxService::ListenResult VorlanxService::startListening(std::uint16_t port) {
    const bool bound = port != 0 && m_endpoint.openForBatches(m_dispatcher.handler()) && m_endpoint.bindPort("", port);
    if (!bound) {
        // The socket of a failed start is closed and its worker ended: nothing outlives it.
        m_endpoint.close();
        return {false, "端口被占用"};
    }
    return {true, "端口启动成功"};
}

std::string VorlanxService::stopListening() {
    if (m_stopper.joinable())
        m_stopper.join();
    return drainAndClose().operationText;
}

VorlanxService::StopReport VorlanxService::drainAndClose() {
    const auto started = std::chrono::steady_clock::now();
    StopReport report;
    report.operationText = "端口已关闭";
    // Frames can no longer leave from the closed port: a running command ends after its current one.
    m_runner.stop();
    report.wasListening = m_endpoint.isOpen();
    m_endpoint.stopReceiving();
    report.drained = m_pool.drain(started + m_drainLimit, db::ServiceDatabase::stopAllowance(m_dir));
    m_endpoint.close();
    report.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    if (report.wasListening)
        link::debugLog("service", report.summary());
    return report;
}

bool VorlanxService::beginStop() {
    {
        std::lock_guard lock(m_stopMutex);
        if (m_stopping)
            return false;
        m_stopping = true;
        m_stopReport.reset();
    }
    if (m_stopper.joinable())
        m_stopper.join();
    m_stopper = std::jthread([this] {
        StopReport report = drainAndClose();
        {
            std::lock_guard lock(m_stopMutex);
            m_stopReport = std::move(report);
            m_stopping = false;
        }
        m_stopEnded.notify_all();
    });
    return true;
}

std::optional<VorlanxService::StopReport> VorlanxService::stopResult(std::chrono::milliseconds wait) {
    std::unique_lock lock(m_stopMutex);
    if (!m_stopEnded.wait_for(lock, wait, [this] { return m_stopReport.has_value(); }))
        return std::nullopt;
    return std::exchange(m_stopReport, std::nullopt);
}

std::string VorlanxService::StopReport::summary() const {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", static_cast<double>(took.count()) / 1000.0);
    std::string text = std::string("stop drained in ") + seconds +
                       " s; dropped before a worker took them up: " + std::to_string(drained.payments) + " payments, " +
                       std::to_string(drained.offlineRecords) + " offline records, " +
                       std::to_string(drained.cardQueries) + " card queries (their terminals send them again)";
    const auto& waiting = drained.droppedWaiting;
    if (waiting.payments + waiting.offlineRecords + waiting.cardQueries > 0)
        text += "; dropped unbooked while waiting for the database connection: " + std::to_string(waiting.payments) +
                " payments, " + std::to_string(waiting.offlineRecords) + " offline records, " +
                std::to_string(waiting.cardQueries) + " card queries";
    if (drained.waitedPastBound > 0)
        text += "; waited past the drain's bound for " + std::to_string(drained.waitedPastBound) +
                " calls inside the database, each answered";
    if (drained.unfinished > 0)
        text += "; " + std::to_string(drained.unfinished) +
                " still under way when the calls' time-out was up (may be booked without an answer)";
    return text;
}

bool VorlanxService::listening() const {
    return m_endpoint.isOpen();
}

void VorlanxService::clearOnlineTerminals() {
    m_terminals.clearRows();
}

void VorlanxService::loadPersonnelList(std::string machineText) {
    m_personnel.loadPersonnelList(std::move(machineText));
}

void VorlanxService::refreshPersonnelList(std::string machineText) {
    m_personnel.refreshPersonnelList(std::move(machineText));
}

std::vector<txn::PersonnelRow> VorlanxService::personnelRows() const { return m_personnelRows.rows(); }

admin::PreparedCommand VorlanxService::runCommand(const admin::CommandRequest& request,
                                                  const std::function<void(const admin::PreparedCommand&)>& show) {
    if (m_runner.busy())
        return {};
    admin::PreparedCommand prepared = admin::prepareCommand(request);
    if (prepared.clearResults)
        m_results.clear();
    if (show)
        show(prepared);
    if (prepared.download) {
        const auto mode = *prepared.download;
        const bool started = startNumbered(prepared, [&] {
            return m_runner.startJob(
                [this, mode, targets = prepared.downloadTargets](admin::CommandRunner::Context& context) {
                    admin::runWhitelistDownload(context, mode, targets, [this] { return personnelCards(); },
                                                m_downloadReports);
                },
                [this](bool completed) { m_hub.commandFinished(completed, std::nullopt); });
        });
        return started ? prepared : admin::PreparedCommand{};
    }
    if (!prepared.plan)
        return prepared;
    const bool started = startNumbered(prepared, [&] {
        return m_runner.start(*prepared.plan, [this, prepared, request](bool completed) {
            finishCommand(prepared, request, completed);
        });
    });
    if (!started)
        return {};
    return prepared;
}

bool VorlanxService::startNumbered(admin::PreparedCommand& prepared, const std::function<bool()>& start) {
    std::lock_guard lock(m_commandMutex);
    // The runner is idle and only a start here makes it busy: the start below cannot fail, and
    // the number is in force before the command's first frame leaves, so that its answers carry it.
    if (m_runner.busy())
        return false;
    const std::uint64_t previous = m_commandId.load();
    prepared.id = ++m_commandsStarted;
    m_commandId.store(prepared.id);
    if (start())
        return true;
    m_commandId.store(previous);
    prepared.id = 0;
    return false;
}

void VorlanxService::finishCommand(const admin::PreparedCommand& prepared, const admin::CommandRequest& request,
                                   bool completed) {
    // The values are saved as the operator entered them, also when the command was stopped early.
    if (prepared.savePeriods) {
        std::array<config::PeriodTime, config::kPeriodCount> times;
        for (std::size_t i = 0; i < config::kPeriodCount; ++i)
            times[i] = {request.periods[i].start, request.periods[i].end};
        config::savePeriodTimes(m_dir, times);
    }
    if (prepared.saveAmounts) {
        std::array<std::string, config::kPeriodCount> amounts;
        for (std::size_t i = 0; i < config::kPeriodCount; ++i)
            amounts[i] = request.amounts[i].fen;
        config::savePeriodAmounts(m_dir, amounts);
    }
    m_hub.commandFinished(completed, completed ? prepared.statusAfter : std::nullopt);
}

bool VorlanxService::commandRunning() const { return m_runner.busy(); }

bool VorlanxService::parallelDownload() const { return config::loadParallelDownload(m_dir); }

bool VorlanxService::setParallelDownload(bool parallel) { return config::saveParallelDownload(m_dir, parallel); }

std::vector<std::string> VorlanxService::personnelCards() const {
    std::vector<std::string> cards;
    for (const auto& row : m_personnelRows.rows())
        cards.push_back(row.card);
    return cards;
}

void VorlanxService::DownloadReports::downloadResultsCleared() {
    m_results.clear();
    m_listener.resultsCleared();
}

void VorlanxService::DownloadReports::downloadTarget(const admin::Destination& target) {
    m_listener.sendFieldsChanged(target.address, std::to_string(target.port), target.machine);
}

void VorlanxService::DownloadReports::downloadResultLine(const std::string& line) {
    m_results.append(line);
    m_listener.resultAppended(line, std::nullopt);
}

bool VorlanxService::cancelCommand(std::optional<std::uint64_t> id) {
    std::lock_guard lock(m_commandMutex);
    if (!m_runner.busy() || (id && *id != m_commandId.load()))
        return false;
    m_runner.stop();
    return true;
}

bool VorlanxService::waitCommandIdle(std::chrono::milliseconds limit) const { return m_runner.waitIdle(limit); }

} // namespace vorlanx::service
