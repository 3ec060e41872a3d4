#pragma once
// The SQLite engine, on libsqlite3 directly.

#include <memory>
#include <string>

#include "ado/Engine.h"

namespace qarn::ado {

// Opens (never creates) the database file; ":memory:" opens a new memory
// database.  Raises a provider error when the file cannot be opened or is
// not a database.
std::shared_ptr<EngineConnection> OpenSqlite(const std::string& path);

}  // namespace qarn::ado
