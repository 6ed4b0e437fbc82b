#include "txn/ServiceDatabase.h"

#include "link/DebugLog.h"
#include "txn/OdbcDatabase.h"
#if VORLANX_BUILTIN_DATABASE
#include "txn/BuiltinDatabase.h"
#endif

#include <mutex>
#include <utility>

namespace vorlanx::txn {

ServiceDatabase::ServiceDatabase(std::filesystem::path serviceDir) : m_serviceDir(std::move(serviceDir)) {}

bool ServiceDatabase::connectWith(const ConnectionSettings& settings) {
    std::unique_ptr<Database> next;
    bool ok = false;
    switch (settings.kind) {
    case DatabaseKind::SqlServer:
        next = std::make_unique<OdbcDatabase>();
        ok = next->connect(settings.server, settings.name, settings.user, settings.password);
        break;
    case DatabaseKind::Builtin: {
#if VORLANX_BUILTIN_DATABASE
        auto builtin = std::make_unique<BuiltinDatabase>();
        ok = builtin->open(builtinDatabaseFile(m_serviceDir, settings.name).string());
        next = std::move(builtin);
#else
        link::debugLog("database", "this build has no built-in database");
#endif
        break;
    }
    case DatabaseKind::None:
        break;
    }
    // The connect runs outside the lock so that jobs keep running on the old connection meanwhile.
    std::shared_ptr<Database> replaced;
    {
        std::lock_guard lock(m_mutex);
        replaced = std::exchange(m_active, ok ? std::shared_ptr<Database>(std::move(next)) : nullptr);
        m_kind = ok ? settings.kind : DatabaseKind::None;
    }
    return ok;
}

bool ServiceDatabase::connect(const std::string& server, const std::string& database, const std::string& user,
                              const std::string& password) {
    ConnectionSettings settings;
    settings.kind = DatabaseKind::SqlServer;
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
    m_kind = DatabaseKind::None;
}

QueryResult ServiceDatabase::runQuery(std::string_view command) {
    const auto db = active();
    if (!db)
        return {};
    return db->runQuery(command);
}

DatabaseKind ServiceDatabase::kind() const {
    std::lock_guard lock(m_mutex);
    return m_kind;
}

} // namespace vorlanx::txn
