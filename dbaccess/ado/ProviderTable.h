#pragma once
// Which engine opens a connection string, and what that engine is given.
// The Provider entry picks the engine and its other entries are translated
// to what the engine understands; an unknown provider fails with 3706.

#include <string>

namespace qarn::ado {

struct ProviderRoute {
    enum class Engine { Sqlite, Odbc, Postgres, MariaDb };
    Engine engine = Engine::Odbc;
    // SQLite: the database file (or ":memory:"); ODBC: the driver connection
    // string; PostgreSQL and MariaDB: the connection string itself, which
    // those engines read.
    std::string target;
};

// Raises AdoError (3706 for an unknown provider, a provider error for a
// Jet file that does not exist).
ProviderRoute RouteConnectionString(const std::string& connectionString);

}  // namespace qarn::ado
