#pragma once

#include "admin/CommandRequest.h"
#include "admin/CommandRunner.h"
#include "config/ConnectionSettingsLoad.h"
#include "link/AddressFilter.h"
#include "db/ServiceDatabase.h"
#include "link/FrameDispatcher.h"
#include "link/TerminalTable.h"
#include "link/ResultBox.h"
#include "link/SharedClock.h"
#include "link/UdpEndpoint.h"
#include "service/ListenerHub.h"
#include "service/PersonnelRows.h"
#include "service/ReloadResult.h"
#include "txn/CardTransactions.h"
#include "txn/PersonnelSource.h"
#include "txn/TransactionPool.h"
#include "txn/WorkerPool.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

namespace vorlanx::service {

// The running service as one object: the listener endpoint and its dispatcher, the online
// terminals and the result box, the database, the card transactions on their pool, the personnel
// list and the administration commands. The window and vorlanxd each build one and differ only in
// how they show what it reports. Its methods are called from one controlling thread (the UI
// thread, vorlanxd's main thread); slow work (connects, commands) runs on its own workers.
class VorlanxService {
public:
    static constexpr std::chrono::milliseconds kDefaultDrainLimit{10000};

    struct Options {
        // Where conf.ini and the built-in database live.
        std::filesystem::path dir;
        // Ends this process and starts it again a few seconds later; false when the hand-over
        // failed and the process goes on. Empty: the restart script of this executable.
        std::function<bool()> restart;
        // How long a stop waits for the answers of the work under way before the port closes.
        std::chrono::milliseconds drainLimit = kDefaultDrainLimit;
    };

    // What a stop did: every way of stopping first takes no more datagrams, drops the frames no
    // worker has taken up (unbooked and unanswered, so their terminals send them again), lets the
    // bookings already handed to the database finish and answer through the still open port, and
    // only then closes it.
    struct StopReport {
        std::string operationText; // "端口已关闭"
        bool wasListening = false;
        std::chrono::milliseconds took{0};
        txn::TransactionPool::Drained drained;
        // One line for the log: how long the drain took and what it dropped.
        std::string summary() const;
    };

    struct ListenResult {
        bool listening = false;
        std::string operationText; // "端口启动成功" or "端口被占用"
    };

    explicit VorlanxService(Options options);
    ~VorlanxService();
    VorlanxService(const VorlanxService&) = delete;
    VorlanxService& operator=(const VorlanxService&) = delete;

    // Reports go to this listener from now on; nullptr drops them. Returns once no report to the
    // previous listener is under way.
    void setListener(ServiceListener* listener);
    // Observers get every report as well, until removed (removal waits for reports under way).
    void addObserver(ServiceListener* observer) { m_hub.addObserver(observer); }
    void removeObserver(ServiceListener* observer) { m_hub.removeObserver(observer); }

    // Start-up: reads the database settings now and returns what to show of them; when they select
    // a database, connects on the service's worker and, once connected, loads the personnel list.
    config::ConnectionSettingsLoad startUp(std::string machineText);
    // The save of new database settings: a refusal message at once, or nullopt when the save goes
    // on (for a database: connect on the worker, then databaseSaveFinished).
    std::optional<std::string> saveDatabaseSettings(const config::ConnectionSettings& settings);
    bool databaseBusy() const;
    bool waitDatabaseIdle(std::chrono::milliseconds limit) const;
    // Stops as stopListening does, then hands the process over to the restart script; false when
    // that failed and it runs on, listening again on the port it had.
    bool restart();
    // Takes up a changed conf.ini without closing the port: reads it, reconnects the database when
    // its settings changed (or its connection is gone), and loads the personnel list again. Waits
    // up to limit for the connect and the load; terminals are answered all the while. Every step a
    // reload gains belongs here, so that vorlanxd's SIGHUP stays one call.
    ReloadResult reload(std::chrono::milliseconds limit = std::chrono::minutes(5));
    // For a supervisor's watchdog, called from the controlling thread more often than limit: true
    // while listening, with the receive worker round its loop within limit and each set of
    // transaction workers either moving (a job finished or a worker idle within limit) or all of
    // them inside a database call that has not passed its own time-out. That last state is
    // "waiting on the database": a locked or slow database is not a hung service.
    bool alive(std::chrono::milliseconds limit);
    bool waitingOnDatabase();

    // Reads which senders are served (conf.ini [terminals] allow) and serves them from the next
    // datagram on. A bad item is given back; then everyone is served, as without the setting, or
    // with keepOnError (a reload) the senders served so far stay as they are.
    std::optional<std::string> applyAllowList(bool keepOnError = false);

    ListenResult startListening(std::uint16_t port);
    // Stops a running command after its current frame, drains (see StopReport) for at most the
    // drain limit and closes the port ("端口已关闭"). Waits for a stop begun with beginStop.
    std::string stopListening();
    StopReport drainAndClose();
    // The same stop on a worker of the service, so that a window stays live while it drains.
    // False when a stop is under way already.
    bool beginStop();
    // The report of the stop begun last, once it has ended (waiting at most `wait` for it); given
    // out once.
    std::optional<StopReport> stopResult(std::chrono::milliseconds wait = std::chrono::milliseconds(0));
    bool listening() const;
    // The online terminal list is emptied when listening starts.
    void clearOnlineTerminals();

    void loadPersonnelList(std::string machineText);
    void refreshPersonnelList(std::string machineText);
    std::vector<txn::PersonnelRow> personnelRows() const;
    // The card column of the rows loaded so far, in row order.
    std::vector<std::string> personnelCards() const;

    // One administration command, from the values read at the click: returns what to show at once
    // and, when a plan runs, starts it on the command runner (commandFinished follows). While a
    // command runs another is refused with an empty result. show, when given, is called with what
    // to show after the result box was cleared and before the first frame leaves, so that a window
    // can empty its own box without losing an early answer.
    admin::PreparedCommand runCommand(const admin::CommandRequest& request,
                                      const std::function<void(const admin::PreparedCommand&)>& show = {});
    bool commandRunning() const;
    // Whether "传全部白名单" serves every terminal at once; kept in conf.ini.
    bool parallelDownload() const;
    bool setParallelDownload(bool parallel);
    bool waitCommandIdle(std::chrono::milliseconds limit) const;
    // Ends the running administration command after its current frame, as "停止" does, but keeps
    // the port open. False when no command runs, or when id is given and the running command has
    // another.
    bool cancelCommand(std::optional<std::uint64_t> id = std::nullopt);
    // The number of the command started last (1, 2, ...; 0 before the first). A terminal's answer
    // carries no number: it belongs to the command that is running, or ran last, when it arrives.
    std::uint64_t commandId() const { return m_commandId.load(); }

    // What `vorlanxctl status` shows.
    struct Status {
        std::uint16_t port = 0;   // 0 while not listening
        std::string databaseKind; // "none", "sqlserver" or "builtin"
        bool databaseConnected = false;
        std::size_t personnelRows = 0;
        link::TerminalTable::Totals totals;
        std::uint64_t dropped = 0; // frames dropped because the queue was full
        std::size_t queueDepth = 0;
        std::uint64_t uptimeSeconds = 0;
        bool waitingOnDatabase = false;
    };
    Status status();
    std::vector<link::TerminalTable::Terminal> heardTerminals() const { return m_terminals.terminals(); }
    std::optional<link::TerminalTable::Terminal> heardTerminal(const std::string& address) const {
        return m_terminals.terminal(address);
    }

    const std::filesystem::path& dir() const { return m_dir; }
    link::SharedClock& clock() { return m_clock; }
    link::UdpEndpoint& endpoint() { return m_endpoint; }
    db::ServiceDatabase& database() { return m_database; }
    link::ResultBox& results() { return m_results; }
    link::TerminalTable& terminals() { return m_terminals; }
    txn::PersonnelSource& personnel() { return m_personnel; }

private:
    std::optional<std::string>
    applyAllowList(const std::variant<link::AddressFilter, link::AddressFilter::BadItem>& loaded, bool keepOnError);

    // The download's reports, on the runner's worker: into the result box and on to the listener.
    class DownloadReports final : public admin::DownloadView {
    public:
        DownloadReports(link::ResultBox& results, ServiceListener& listener)
            : m_results(results), m_listener(listener) {}
        void downloadCaption(const std::string& caption) override { m_listener.captionChanged(caption); }
        void downloadResultsCleared() override;
        void downloadTarget(const admin::Destination& target) override;
        void downloadResultLine(const std::string& line) override;
        void downloadOperation(const std::string& text) override { m_listener.operationChanged(text); }

    private:
        link::ResultBox& m_results;
        ServiceListener& m_listener;
    };

    void databaseJob(std::function<void()> job);
    void noteDatabaseWait(bool waiting);
    void finishCommand(const admin::PreparedCommand& prepared, const admin::CommandRequest& request, bool completed);
    // Numbers the command and starts it, as one step against other starts; false when one runs.
    bool startNumbered(admin::PreparedCommand& prepared, const std::function<bool()>& start);

    const std::filesystem::path m_dir;
    std::function<bool()> m_restart;
    const std::chrono::milliseconds m_drainLimit;
    // The watchdog's interval, for status to judge progress by; a third of systemd's default
    // WatchdogSec=30 until a watchdog asks.
    std::atomic<std::chrono::milliseconds::rep> m_progressLimit{10000};
    std::atomic<bool> m_waitingOnDatabase{false};
    const std::chrono::steady_clock::time_point m_started = std::chrono::steady_clock::now();
    ListenerHub m_hub;
    link::SharedClock m_clock;
    // Declared in the order they are built; destroyed in reverse, so every worker ends before
    // what it uses goes.
    db::ServiceDatabase m_database;
    link::TerminalTable m_terminals;
    link::ResultBox m_results;
    link::UdpEndpoint m_endpoint;
    PersonnelRows m_personnelRows;
    txn::PersonnelSource m_personnel;
    txn::CardTransactions m_transactions;
    txn::TransactionPool m_pool;
    link::FrameDispatcher m_dispatcher;
    DownloadReports m_downloadReports;
    admin::CommandRunner m_runner;
    std::mutex m_commandMutex;
    std::uint64_t m_commandsStarted = 0;
    std::atomic<std::uint64_t> m_commandId{0};
    mutable std::mutex m_databaseMutex;
    mutable std::condition_variable m_databaseIdle;
    int m_databaseJobs = 0;
    // One worker for connects, so they never overlap and never hold up the controlling thread.
    txn::WorkerPool m_databaseWorker;
    // A stop begun from a window, and its report once done. The thread is joined by the next
    // stop or the destructor.
    std::mutex m_stopMutex;
    std::condition_variable m_stopEnded;
    bool m_stopping = false;
    std::optional<StopReport> m_stopReport;
    std::jthread m_stopper;
};

} // namespace vorlanx::service
