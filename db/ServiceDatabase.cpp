#include "db/ServiceDatabase.h"

#include "config/ConnectionSettingsLoad.h"
#include "db/DatabaseCall.h"
#include "db/OdbcDatabase.h"
#include "db/ProcedureCall.h"
#include "db/SqliteConnection.h"
#include "link/DebugLog.h"
#if VORLANX_BUILTIN_DATABASE
#include "db/BuiltinDatabase.h"
#endif

#include <mutex>
#include <utility>

namespace vorlanx::db {

namespace {

// How long one call may take before it counts as hung rather than waiting. A booking on the
// built-in database waits for the batch under way and then for its own, each up to SQLite's busy
// wait on a lock another program holds. A call to SQL Server may first log in again after a lost
// connection, then run under its command time-out.
std::chrono::steady_clock::duration callTimeout(config::DatabaseKind kind, int commandTimeoutSeconds) {
    if (kind == config::DatabaseKind::Builtin)
        return 2 * std::chrono::milliseconds(SqliteConnection::kBusyTimeoutMs) + std::chrono::seconds(2);
    return std::chrono::seconds(OdbcDatabase::loginTimeoutSeconds + commandTimeoutSeconds);
}

} // namespace

ServiceDatabase::ServiceDatabase(std::filesystem::path serviceDir) : m_serviceDir(std::move(serviceDir)) {}

bool ServiceDatabase::connectWith(const config::ConnectionSettings& settings) {
    std::unique_ptr<Database> next;
    bool ok = false;
    int commandTimeout = OdbcDatabase::defaultCommandTimeoutSeconds;
    const int queueWait = config::readQueueWait(m_serviceDir);
    switch (settings.kind) {
    case config::DatabaseKind::SqlServer:
        commandTimeout = config::readCommandTimeout(m_serviceDir);
        next = std::make_unique<OdbcDatabase>("SQL Server", commandTimeout);
        ok = next->connect(settings.server, settings.name, settings.user, settings.password);
        break;
    case config::DatabaseKind::Builtin: {
#if VORLANX_BUILTIN_DATABASE
        auto builtin = std::make_unique<BuiltinDatabase>(m_batches);
        ok = builtin->open(config::builtinDatabaseFile(m_serviceDir, settings.name).string());
        next = std::move(builtin);
#else
        link::debugLog("database", "this build has no built-in database");
#endif
        break;
    }
    case config::DatabaseKind::None:
        break;
    }
    // The connect runs outside the lock so that jobs keep running on the old connection meanwhile.
    std::shared_ptr<Database> replaced;
    {
        std::lock_guard lock(m_mutex);
        replaced = std::exchange(m_active, ok ? std::shared_ptr<Database>(std::move(next)) : nullptr);
        m_kind = ok ? settings.kind : config::DatabaseKind::None;
        m_callTimeout = callTimeout(m_kind, commandTimeout);
        m_queueWait = std::chrono::seconds(queueWait);
        m_lastSettings = settings;
    }
    return ok;
}

bool ServiceDatabase::connect(const std::string& server, const std::string& database, const std::string& user,
                              const std::string& password) {
    config::ConnectionSettings settings;
    settings.kind = config::DatabaseKind::SqlServer;
    settings.server = server;
    settings.name = database;
    settings.user = user;
    settings.password = password;
    return connectWith(settings);
}

std::shared_ptr<Database> ServiceDatabase::active() const {
    std::lock_guard lock(m_mutex);
    return m_active;
}

bool ServiceDatabase::isConnected() const {
    const auto db = active();
    return db && db->isConnected();
}

void ServiceDatabase::disconnect() {
    std::shared_ptr<Database> replaced;
    std::lock_guard lock(m_mutex);
    replaced = std::exchange(m_active, nullptr);
    m_kind = config::DatabaseKind::None;
    m_lastSettings.reset();
}

std::optional<config::ConnectionSettings> ServiceDatabase::lastSettings() const {
    std::lock_guard lock(m_mutex);
    return m_lastSettings;
}

bool ServiceDatabase::readsInPlace() const {
    std::lock_guard lock(m_mutex);
    return m_kind == config::DatabaseKind::Builtin;
}

std::vector<QueryResult> ServiceDatabase::runQueries(std::span<const std::string> commands) {
    std::shared_ptr<Database> db;
    std::chrono::steady_clock::duration timeout;
    {
        std::lock_guard lock(m_mutex);
        if (m_kind != config::DatabaseKind::SqlServer)
            db = m_active;
        timeout = m_callTimeout;
    }
    // SQL Server's calls keep their turn on the connection, one by one.
    if (!db)
        return Database::runQueries(commands);
    const DatabaseCall call(timeout);
    return db->runQueries(commands);
}

QueryResult ServiceDatabase::runQuery(std::string_view command) {
    std::shared_ptr<Database> db;
    std::chrono::steady_clock::duration timeout;
    std::chrono::steady_clock::duration queueWait;
    config::DatabaseKind kind;
    {
        std::lock_guard lock(m_mutex);
        db = m_active;
        timeout = m_callTimeout;
        queueWait = m_queueWait;
        kind = m_kind;
    }
    if (!db)
        return {};
    DatabaseCallSlot* slot = DatabaseCall::threadSlot();
    const auto dropped = [slot, command](const char* why) {
        if (slot != nullptr)
            slot->dropped.store(true, std::memory_order_relaxed);
        link::debugLog("database", std::string(procedureOf(command)) + " dropped unbooked: " + why);
        return QueryResult::droppedUnrun();
    };
    // A stop that gave up the jobs not yet inside the database: this one never gets there.
    if (slot != nullptr && slot->abandon.load(std::memory_order_relaxed))
        return dropped("the service is stopping");
    if (kind != config::DatabaseKind::SqlServer) {
        const DatabaseCall call(timeout);
        return db->runQuery(command);
    }
    // One call at a time on the SQL Server connection. The call's own time-out counts from when it
    // has the connection: time spent queued behind other calls is waiting, not hanging.
    switch (m_gate.enter(queueWait, timeout)) {
    case ConnectionGate::Entry::Held:
        break;
    case ConnectionGate::Entry::WaitedTooLong:
        return dropped("waited too long for the database connection");
    case ConnectionGate::Entry::Abandoned:
        return dropped("the service is stopping");
    }
    struct Leave {
        ConnectionGate& gate;
        ~Leave() { gate.leave(); }
    } leave{m_gate};
    const DatabaseCall call(timeout);
    return db->runQuery(command);
}

bool ServiceDatabase::callOverdue() const {
    return m_gate.holderOverdue(std::chrono::steady_clock::now());
}

std::chrono::seconds ServiceDatabase::stopAllowance(const std::filesystem::path& serviceDir) {
    return std::chrono::seconds(OdbcDatabase::loginTimeoutSeconds + config::readCommandTimeout(serviceDir));
}

config::DatabaseKind ServiceDatabase::kind() const {
    std::lock_guard lock(m_mutex);
    return m_kind;
}

} // namespace vorlanx::db
