#include "db/BuiltinSchema.h"

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
)sql";

} // namespace

bool createBuiltinSchema(SqliteConnection& db) {
    return db.exec(schema);
}

} // namespace vorlanx::db
