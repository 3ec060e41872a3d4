#pragma once
// The ODBC engine, on unixODBC's C API.

#include <memory>
#include <string>
#include <vector>

#include "ado/Engine.h"

namespace qarn::ado {

// Connects with SQLDriverConnect and the given ODBC connection string
// (no prompt).  Raises a provider error carrying every diagnostic record.
std::shared_ptr<EngineConnection> OpenOdbc(const std::string& odbcConnectionString);

// The data sources and drivers that unixODBC reports, for the data-link dialog.
std::vector<std::string> OdbcDataSources();
std::vector<std::string> OdbcDrivers();

}  // namespace qarn::ado
