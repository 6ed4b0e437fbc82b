#pragma once

#include <string>

namespace vorlanx::db {

// Creates file empty, readable and writable by its owner alone, replacing whatever was at that
// path (a link there is removed, never followed). Exports and backups name card holders and
// their balances: no other account on the machine may read them. On Windows the file inherits
// the folder's access list, and this only creates it.
bool createPrivateFile(const std::string& file);

} // namespace vorlanx::db
