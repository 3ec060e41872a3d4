#pragma once
// The proof of a generated script before it is handed over: its INSERT
// statements, run into an empty temporary table shaped like the SELECT's
// result, must give back exactly the rows the SELECT gives.  The proof
// runs in a transaction that is always rolled back, so the database is left
// as it was.

#include <string>

#include "ado/Connection.h"
#include "logic/ScriptWriter.h"

namespace qarn::control {

// Empty when the replayed rows equal the SELECT's rows as multisets;
// otherwise what differs, naming a row and a column.  Raises ado::AdoError
// when no proof can be made here (no temporary table on a read-only
// standby or an Access file, a script for another dialect).
std::string ProveScript(ado::Connection& connection, Dialect dialect, const std::string& select,
                        const std::string& scriptPath, const ScriptWriter& writer);

}  // namespace qarn::control
