#include "db/ServiceDatabase.h"

#include "config/ConnectionSettingsLoad.h"
#include "db/DatabaseCall.h"
#include "db/OdbcDatabase.h"
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

std::chrono::seconds ServiceDatabase::stopAllowance(const std::filesystem::path& serviceDir) {
    return std::chrono::seconds(OdbcDatabase::loginTimeoutSeconds + config::readCommandTimeout(serviceDir));
}

ServiceDatabase::ServiceDatabase(std::filesystem::path serviceDir) : m_serviceDir(std::move(serviceDir)) {}

bool ServiceDatabase::connectWith(const config::ConnectionSettings& settings) {
    std::unique_ptr<Database> next;
    bool ok = false;
    int commandTimeout = OdbcDatabase::defaultCommandTimeoutSeconds;
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

QueryResult ServiceDatabase::runQuery(std::string_view command) {
    std::shared_ptr<Database> db;
    std::chrono::steady_clock::duration timeout;
    {
        std::lock_guard lock(m_mutex);
        db = m_active;
        timeout = m_callTimeout;
    }
    if (!db)
        return {};
    const DatabaseCall call(timeout);
    return db->runQuery(command);
}

config::DatabaseKind ServiceDatabase::kind() const {
    std::lock_guard lock(m_mutex);
    return m_kind;
}

} // namespace vorlanx::db
