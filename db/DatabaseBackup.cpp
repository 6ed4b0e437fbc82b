#include "db/DatabaseBackup.h"

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <system_error>
#include <thread>

#include "db/BuiltinSchema.h"
#include "db/FilePath.h"
#include "db/PrivateFile.h"

namespace vorlanx::db {

namespace {

struct Closer {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Handle = std::unique_ptr<sqlite3, Closer>;

// The service holds the write lock for one booking at a time; a busy source or copy is tried
// again for this long before the backup gives up.
constexpr int busyMilliseconds = 10000;

Handle openFile(const std::string& file, int flags, std::string& error) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(file.c_str(), &db, flags, nullptr);
    Handle handle(db);
    if (rc != SQLITE_OK) {
        error = "cannot open " + file + ": " + (db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        return nullptr;
    }
    sqlite3_busy_timeout(db, busyMilliseconds);
    return handle;
}

bool execute(sqlite3* db, const char* sql, std::string& error) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        error = sqlite3_errmsg(db);
        return false;
    }
    return true;
}

std::int64_t countOf(sqlite3* db, const char* sql, bool& ok) {
    sqlite3_stmt* statement = nullptr;
    std::int64_t count = 0;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW)
        count = sqlite3_column_int64(statement, 0);
    else
        ok = false;
    sqlite3_finalize(statement);
    return count;
}

// integrity_check and the counts in one read transaction, so the counts belong to the state checked.
BackupOutcome check(sqlite3* db, const std::string& file) {
    BackupOutcome outcome;
    std::string error;
    if (!execute(db, "BEGIN", error)) {
        outcome.error = "cannot read " + file + ": " + error;
        return outcome;
    }
    sqlite3_stmt* statement = nullptr;
    std::string problems;
    int rc = sqlite3_prepare_v2(db, "PRAGMA integrity_check(20)", -1, &statement, nullptr);
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
            const std::string line = text != nullptr ? text : "";
            if (line != "ok")
                problems += "\n  " + line;
        }
    }
    sqlite3_finalize(statement);
    bool counted = true;
    if (rc == SQLITE_DONE && problems.empty()) {
        outcome.holders = countOf(db, "SELECT count(*) FROM card_holder", counted);
        outcome.bookings = countOf(db, "SELECT count(*) FROM consumption_record", counted);
    }
    execute(db, "COMMIT", error);
    if (rc != SQLITE_DONE)
        outcome.error = file + " cannot be checked: " + sqlite3_errmsg(db);
    else if (!problems.empty())
        outcome.error = file + " is damaged:" + problems;
    else if (!counted)
        outcome.error = file + " cannot be counted: " + sqlite3_errmsg(db);
    else
        outcome.ok = true;
    return outcome;
}

// A file that is missing or not ours is refused before anything is opened for writing.
std::string refusal(const std::string& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(filePath(file), error))
        return "there is no database file " + file;
    if (!isBuiltinDatabase(file))
        return file + " is not a Vorlanx database";
    return {};
}

void removeCopy(const std::string& part) {
    std::error_code error;
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        std::filesystem::remove(filePath(part + suffix), error);
}

} // namespace

BackupOutcome DatabaseBackup::backup(const std::string& source, const std::string& destination, bool replace) {
    BackupOutcome outcome;
    std::error_code error;
    outcome.error = refusal(source);
    if (!outcome.error.empty())
        return outcome;
    if (std::filesystem::exists(filePath(destination), error)) {
        if (std::filesystem::equivalent(filePath(source), filePath(destination), error)) {
            outcome.error = "the backup cannot replace the database itself";
            return outcome;
        }
        if (!replace) {
            outcome.error = destination + " exists; --force replaces it";
            return outcome;
        }
        // A write-ahead log beside the destination means a program has it open as a database;
        // replacing the file under it would leave that log applied to the wrong data.
        if (std::filesystem::exists(filePath(destination + "-wal"), error)) {
            outcome.error = destination + "-wal exists: " + destination + " is in use as a database";
            return outcome;
        }
    }

    const std::string part = destination + ".part";
    removeCopy(part);
    {
        Handle from = openFile(source, SQLITE_OPEN_READWRITE, outcome.error);
        // SQLite keeps the mode of a file it finds, and gives its journal the same.
        if (from && !createPrivateFile(part)) {
            outcome.error = "cannot write " + part;
            return outcome;
        }
        Handle to = from ? openFile(part, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, outcome.error) : nullptr;
        if (!from || !to) {
            removeCopy(part);
            return outcome;
        }
        sqlite3_backup* copy = sqlite3_backup_init(to.get(), "main", from.get(), "main");
        if (copy == nullptr) {
            outcome.error = "cannot start the backup: " + std::string(sqlite3_errmsg(to.get()));
            removeCopy(part);
            return outcome;
        }
        // All pages in one step: a step-by-step copy starts over whenever the service commits a
        // booking in between, and with terminals paying it might never finish.
        int rc = SQLITE_OK;
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(busyMilliseconds);
        while ((rc = sqlite3_backup_step(copy, -1)) == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            if (std::chrono::steady_clock::now() > giveUp)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        sqlite3_backup_finish(copy);
        if (rc != SQLITE_DONE) {
            outcome.error = "the backup did not complete: " + std::string(sqlite3_errstr(rc));
            to.reset();
            removeCopy(part);
            return outcome;
        }
        // The copy is one self-contained file, without a write-ahead log to carry along with it.
        std::string why;
        if (!execute(to.get(), "PRAGMA journal_mode=DELETE", why)) {
            outcome.error = "cannot finish the copy: " + why;
            to.reset();
            removeCopy(part);
            return outcome;
        }
        outcome = check(to.get(), destination);
    }
    if (outcome.ok) {
        std::filesystem::rename(filePath(part), filePath(destination), error);
        if (error) {
            outcome.ok = false;
            outcome.error = "cannot write " + destination + ": " + error.message();
        }
    }
    if (!outcome.ok)
        removeCopy(part);
    return outcome;
}

BackupOutcome DatabaseBackup::verify(const std::string& file) {
    BackupOutcome outcome;
    outcome.error = refusal(file);
    if (!outcome.error.empty())
        return outcome;
    Handle db = openFile(file, SQLITE_OPEN_READONLY, outcome.error);
    if (!db)
        return outcome;
    return check(db.get(), file);
}

} // namespace vorlanx::db
