#pragma once
// The MariaDB engine, on MariaDB Connector/C, for MariaDB and MySQL servers.

#include <memory>
#include <string>

#include "ado/Engine.h"

namespace qarn::ado {

// Connects as a "Provider=MariaDB" (or MySQL) connection string says (see
// mariadb/MariaDbOptions.h).  Raises a provider error naming an entry it
// does not know, or carrying the server's error when connecting fails.
std::shared_ptr<EngineConnection> OpenMariaDb(const std::string& connectionString);

}  // namespace qarn::ado
