#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace vorlanx::db {

// One connection to the built-in database file. Bookings must survive a crash or a power cut the
// moment a terminal has been told "paid", so the file runs in WAL mode with synchronous=FULL: every
// commit waits for the disk. Not thread-safe; its owner serialises the calls.
class SqliteConnection {
public:
    // How long a statement waits for a lock another connection holds (vorlanx-db topping up a
    // card) before it fails.
    static constexpr int kBusyTimeoutMs = 5000;

    SqliteConnection() = default;
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    // vfs names a registered SQLite VFS to reach the file through; nullptr for the default.
    bool open(const std::string& file, const char* vfs = nullptr);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    sqlite3* handle() const { return m_db; }

    // Runs statements that return no rows; errors go to the debug log.
    bool exec(std::string_view sql);
    // A statement prepared once and kept, reset and unbound for this use; nullptr on error. The text
    // must live as long as the connection (a literal): the cache knows it by its address.
    sqlite3_stmt* cached(const char* sql);
    // The driver's last error, for the debug log.
    std::string lastError() const;

private:
    struct StatementDeleter {
        void operator()(sqlite3_stmt* statement) const;
    };

    sqlite3* m_db = nullptr;
    std::unordered_map<const char*, std::unique_ptr<sqlite3_stmt, StatementDeleter>> m_cache;
};

} // namespace vorlanx::db
