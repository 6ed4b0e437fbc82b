#pragma once

#include <string>
#include <string_view>

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
};

} // namespace vorlanx::db
