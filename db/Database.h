#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/QueryResult.h"

namespace vorlanx::db {

// The one database connection of the service. The transactions run against SQL Server through
// ODBC (OdbcDatabase) or against the built-in canteen database file (BuiltinDatabase) alike.
// Any number of worker threads may call runQuery at the same time.
class Database {
public:
    virtual ~Database() = default;

    // Closes an open connection first, so a failed connect leaves the service without one.
    virtual bool connect(const std::string& server, const std::string& database, const std::string& user,
                         const std::string& password) = 0;
    virtual bool isConnected() const = 0;
    virtual void disconnect() = 0;

    // Executes the command text and returns its first result set, read whole; a result that is not
    // open when the command could not run.
    virtual QueryResult runQuery(std::string_view command) = 0;
    // Several commands, their results in the same order. A database that can does them in one
    // transaction of its own (the built-in database reads the card queries of one receive from one
    // snapshot, taking its file locks once); by default they run one by one.
    virtual std::vector<QueryResult> runQueries(std::span<const std::string> commands) {
        std::vector<QueryResult> results;
        results.reserve(commands.size());
        for (const std::string& command : commands)
            results.push_back(runQuery(command));
        return results;
    }
    // Whether a card query is a read of a few microseconds that never waits on a server or the
    // disk's flush (the built-in database): cheaper to answer where the frame arrived than to hand
    // to a worker.
    virtual bool readsInPlace() const { return false; }
};

} // namespace vorlanx::db
