#pragma once

#include <string>

namespace vorlanx::db {

class SqliteConnection;

// Creates the tables of the built-in canteen database where they are missing: card holders with
// their balances, and every consumption record, online and offline.
bool createBuiltinSchema(SqliteConnection& db);
// Whether file is an existing SQLite file holding the built-in database's tables; opens it
// read-only and changes nothing.
bool isBuiltinDatabase(const std::string& file);

} // namespace vorlanx::db
