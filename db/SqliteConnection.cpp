#include "db/SqliteConnection.h"

#include <sqlite3.h>

#include "link/DebugLog.h"

namespace vorlanx::db {

void SqliteConnection::StatementDeleter::operator()(sqlite3_stmt* statement) const {
    sqlite3_finalize(statement);
}

SqliteConnection::~SqliteConnection() {
    close();
}

bool SqliteConnection::open(const std::string& file, const char* vfs) {
    close();
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, vfs);
    if (rc != SQLITE_OK) {
        link::debugLog("builtin database", file + ": " + (db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
        sqlite3_close(db);
        return false;
    }
    m_db = db;
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    if (!exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON;")) {
        close();
        return false;
    }
    return true;
}

void SqliteConnection::close() {
    m_cache.clear();
    if (m_db != nullptr) {
        sqlite3_close(m_db);
        m_db = nullptr;
    }
}

bool SqliteConnection::exec(std::string_view sql) {
    if (m_db == nullptr)
        return false;
    char* message = nullptr;
    const std::string text(sql);
    if (sqlite3_exec(m_db, text.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        link::debugLog("builtin database", std::string(message != nullptr ? message : "error") + " in: " + text);
        sqlite3_free(message);
        return false;
    }
    return true;
}

sqlite3_stmt* SqliteConnection::cached(const char* sql) {
    if (m_db == nullptr)
        return nullptr;
    auto found = m_cache.find(sql);
    if (found != m_cache.end()) {
        sqlite3_reset(found->second.get());
        sqlite3_clear_bindings(found->second.get());
        return found->second.get();
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK) {
        link::debugLog("builtin database", lastError() + " in: " + sql);
        return nullptr;
    }
    m_cache.emplace(sql, std::unique_ptr<sqlite3_stmt, StatementDeleter>(statement));
    return statement;
}

std::string SqliteConnection::lastError() const {
    return m_db != nullptr ? sqlite3_errmsg(m_db) : "not open";
}

} // namespace vorlanx::db
