#pragma once

namespace vorlanx::db {

class SqliteConnection;

// Creates the tables of the built-in canteen database where they are missing: card holders with
// their balances, and every consumption record, online and offline.
bool createBuiltinSchema(SqliteConnection& db);

} // namespace vorlanx::db
