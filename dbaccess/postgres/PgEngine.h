#pragma once
// The PostgreSQL engine, on libpq directly.

#include <memory>
#include <string>

#include "ado/Engine.h"

namespace qarn::ado {

// Connects with a "Provider=PostgreSQL;..." connection string (see
// PgConnectionString.h).  Raises a provider error with libpq's message when
// the connection string is refused or no server can be reached.
std::shared_ptr<EngineConnection> OpenPostgres(const std::string& connectionString);

}  // namespace qarn::ado
