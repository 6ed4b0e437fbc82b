#pragma once

#include <mutex>
#include <string>
#include <string_view>

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
class BuiltinDatabase final : public Database {
public:
    BuiltinDatabase() = default;
    BuiltinDatabase(const BuiltinDatabase&) = delete;
    BuiltinDatabase& operator=(const BuiltinDatabase&) = delete;

    // Opens the file, creating it and its tables when missing.
    bool open(const std::string& file);
    // The database name is the file; server, user and password are not used.
    bool connect(const std::string& server, const std::string& database, const std::string& user,
                 const std::string& password) override;
    bool isConnected() const override;
    void disconnect() override;
    QueryResult runQuery(std::string_view command) override;

private:
    QueryResult cardQuery(const ProcedureCall& call);
    QueryResult onlinePayment(const ProcedureCall& call);
    QueryResult offlineRecord(const ProcedureCall& call);
    QueryResult whitename(SqliteConnection& db);
    QueryResult plainSql(std::string_view sql);
    bool begin();
    bool commit();
    void rollback();

    // Bookings and any other writes go through m_db. The card query and the personnel list only
    // read, and do so on a connection of their own: in WAL mode a reader never waits for a
    // writer, so a booking held up by the disk or by another program's lock on the file does not
    // stop the queries of every other terminal.
    mutable std::mutex m_mutex;
    SqliteConnection m_db;
    mutable std::mutex m_readerMutex;
    SqliteConnection m_reader;
};

} // namespace vorlanx::db
