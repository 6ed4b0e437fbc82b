#pragma once

#include <cstdint>
#include <string>

namespace vorlanx::db {

// What a backup or a check found: the copy (or file) is intact and holds so many card holders
// and bookings, or why not.
struct BackupOutcome {
    bool ok = false;
    std::string error;
    std::int64_t holders = 0;
    std::int64_t bookings = 0;
};

// Copies of the built-in database taken while the service books. SQLite's online backup reads
// the file in one read transaction: the copy is the database at one moment, every booking
// committed before it started included, and in WAL mode the service's bookings never wait for it.
class DatabaseBackup {
public:
    // Copies source to destination, which must not exist unless replace is set, and checks the
    // copy. The copy is made beside the destination and renamed into place only when it is
    // intact, so a failure leaves the destination as it was.
    static BackupOutcome backup(const std::string& source, const std::string& destination, bool replace);
    // PRAGMA integrity_check on file, read-only; safe while the service runs on it.
    static BackupOutcome verify(const std::string& file);
};

} // namespace vorlanx::db
