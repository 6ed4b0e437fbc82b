#include "db/BuiltinSchema.h"

#include <sqlite3.h>

#include "db/SqliteConnection.h"

namespace vorlanx::db {

namespace {

// Amounts are whole fen. A card number is the terminal's 32-bit number in decimal; a holder
// without a card cannot pay and is not on the white list.
constexpr const char* schema = R"sql(
CREATE TABLE IF NOT EXISTS card_holder (
    hr_code     TEXT PRIMARY KEY NOT NULL CHECK (hr_code <> ''),
    hr_name     TEXT NOT NULL,
    dept_name   TEXT NOT NULL DEFAULT '',
    hr_phyid    INTEGER UNIQUE CHECK (hr_phyid IS NULL OR hr_phyid BETWEEN 0 AND 4294967295),
    balance_fen INTEGER NOT NULL DEFAULT 0,
    active      INTEGER NOT NULL DEFAULT 1 CHECK (active IN (0, 1))
);
CREATE TABLE IF NOT EXISTS consumption_record (
    record_id         INTEGER PRIMARY KEY,
    kind              TEXT NOT NULL CHECK (kind IN ('online', 'offline')),
    hr_phyid          INTEGER NOT NULL,
    hr_code           TEXT,
    machine           INTEGER NOT NULL,
    rdate             TEXT NOT NULL,
    rtime             TEXT NOT NULL,
    amount_fen        INTEGER NOT NULL,
    balance_after_fen INTEGER,
    booked_at         TEXT NOT NULL DEFAULT (strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime'))
);
-- A terminal resends an offline record until it is acknowledged; the same record must book once.
CREATE UNIQUE INDEX IF NOT EXISTS offline_record_once
    ON consumption_record (hr_phyid, machine, rdate, rtime, amount_fen) WHERE kind = 'offline';
-- The office's reports select bookings by record date and group them by meal, day or terminal;
-- the index holds every column they read, so a report never touches the table itself. IF NOT
-- EXISTS gives it to files made before it, the first time the service or the tool opens them.
CREATE INDEX IF NOT EXISTS consumption_record_by_date
    ON consumption_record (rdate, rtime, kind, amount_fen, machine);
)sql";

constexpr const char* builtinTables = "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                                      "('card_holder', 'consumption_record')";

} // namespace

bool createBuiltinSchema(SqliteConnection& db) {
    return db.exec(schema);
}

bool isBuiltinDatabase(const std::string& file) {
    // Read-only and without creating anything: a file that is not ours must come out unchanged,
    // not switched to WAL mode or given our tables.
    sqlite3* db = nullptr;
    bool ours = false;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 5000);
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, builtinTables, -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW)
            ours = sqlite3_column_int(statement, 0) == 2;
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return ours;
}

} // namespace vorlanx::db
