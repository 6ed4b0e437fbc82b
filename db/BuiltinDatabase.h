#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "db/BatchCounter.h"
#include "db/BatchStats.h"
#include "db/Database.h"
#include "db/ProcedureCall.h"
#include "db/SqliteConnection.h"

namespace vorlanx::db {

// The built-in canteen database: one SQLite file that answers the four stored-procedure calls of
// the transactions natively, for canteens without SQL Server and for tests and demos. Any other
// command text runs as SQL on the file.
//
// Answers:
// - sp_consume_ykt_query: col1 "1" card usable, "2" unknown card, "3" card blocked; col2 personnel
//   number, col3 card number, col4 balance in fen; col5..col8 display texts.
// - sp_consume_ykt_online: col1 "00" paid, "01" unknown card, "02" card blocked, "03" balance too
//   low, "04" amount not a positive whole number of fen; col2..col8 as for the query.
// - sp_consume_ykt_offline: col1 "1" booked (also for a record booked before), "0" unusable values.
// - sp_consume_ykt_whitename: hr_code, hr_name, dept_name, hr_phyid of the active holders with a
//   card, in personnel-number order.
// Display texts are at most 16 GBK bytes, the width of a terminal's display line.
//
// Bookings (online payments and offline records) go through one writer with group commit. Every
// commit waits for the disk, so one commit per booking would cap the payments at the disk's flush
// rate. A booking that finds the writer idle is committed at once, alone. Bookings that arrive
// while a commit is under way wait, and are then taken together in arrival order: each runs under
// a savepoint of its own inside one transaction, so one that fails is rolled back alone, and each
// sees the balances the ones before it left. One commit then makes them all durable, and only then
// does any of them return. When that commit fails, none of them is booked and none is answered.
class BuiltinDatabase final : public Database {
public:
    // Bookings per commit at most, so that a reply never waits behind an unbounded queue.
    static constexpr std::size_t kBatchLimit = 256;

    explicit BuiltinDatabase(std::shared_ptr<BatchCounter> batches = std::make_shared<BatchCounter>());
    BuiltinDatabase(const BuiltinDatabase&) = delete;
    BuiltinDatabase& operator=(const BuiltinDatabase&) = delete;

    // Opens the file, creating it and its tables when missing. vfs names a registered SQLite VFS
    // to open it through (a benchmark's slow disk); nullptr for the default.
    bool open(const std::string& file, const char* vfs = nullptr);
    // The database name is the file; server, user and password are not used.
    bool connect(const std::string& server, const std::string& database, const std::string& user,
                 const std::string& password) override;
    bool isConnected() const override;
    void disconnect() override;
    QueryResult runQuery(std::string_view command) override;
    std::vector<QueryResult> runQueries(std::span<const std::string> commands) override;
    bool readsInPlace() const override { return true; }

    // At most limit bookings per commit (at least 1); 1 commits every booking on its own.
    void setBatchLimit(std::size_t limit);
    BatchStats batchStats() const { return m_batches->stats(); }
    // Bookings waiting for the writer, not counting the batch being committed.
    std::size_t bookingsWaiting() const;

private:
    struct Booking {
        const ProcedureCall* call = nullptr;
        QueryResult result;
        bool done = false;
        // Woken when the booking is done or first in the queue of an idle writer: a finished
        // batch wakes its own bookings and the next writer, not every booking that waits.
        std::condition_variable turn;
    };

    QueryResult book(const ProcedureCall& call);
    void writeBatch(std::span<Booking* const> batch);
    void abandonBatch(std::span<Booking* const> batch, const std::string& why);
    QueryResult cardQuery(const ProcedureCall& call);
    QueryResult onlinePayment(const ProcedureCall& call);
    QueryResult offlineRecord(const ProcedureCall& call);
    QueryResult whitename(SqliteConnection& db);
    QueryResult plainSql(std::string_view sql);
    bool begin();
    bool commit();
    void rollback();
    bool inTransaction() const;
    // Runs a cached statement that returns no rows.
    bool step(const char* sql);

    // Bookings and any other writes go through m_db. The card query and the personnel list only
    // read, and do so on a connection of their own: in WAL mode a reader never waits for a
    // writer, so a booking held up by the disk or by another program's lock on the file does not
    // stop the queries of every other terminal.
    mutable std::mutex m_mutex;
    SqliteConnection m_db;
    // Whether m_db is open, readable while a booking holds m_mutex through SQLite's busy wait (a
    // status request must not wait for another program's lock on the file).
    std::atomic<bool> m_open{false};
    mutable std::mutex m_readerMutex;
    SqliteConnection m_reader;

    // The queue of bookings in front of the writer. The booking thread that finds the writer
    // idle commits the waiting ones itself, so a lone booking never waits for a hand-over.
    mutable std::mutex m_queueMutex;
    std::deque<Booking*> m_waiting;
    bool m_writing = false;
    std::size_t m_batchLimit = kBatchLimit;
    std::shared_ptr<BatchCounter> m_batches;
};

} // namespace vorlanx::db
