#pragma once
// The database session: one connection, its server kind and the wrapper
// that runs SQL on it, once per thread, shared by every control on it.

#include <cstdint>
#include <memory>
#include <string>

#include "ado/Connection.h"
#include "clsSQLADO.h"

namespace qarn {

// Server kinds, from the Provider entry of the connection string.
enum ServerKind : int32_t { skJet = 0, skSqlServer = 1, skOdbc = 2, skOther = 5 };

extern thread_local std::shared_ptr<ado::Connection> gcnnDB;
extern thread_local int32_t glngServerKind;
extern thread_local std::shared_ptr<clsSQLADO> gobjSQLADO;

// Opens the shared connection from a UDL file (when the path is not empty)
// or a connection string.  An open connection is kept as it is.  A UDL file
// that is no data link is told in a message and opens nothing.
bool gblnOpenDB(const std::string& strUDLFile, const std::string& strConnect);
// The UDL file the shared connection was opened from, as given; empty when
// it was opened from a connection string or is not open.  Generate must
// not write its script over it.
const std::string& gstrSessionUDLFile();
// Closes the shared connection if it is open.
bool gblnCloseDB();
// Sets glngServerKind from the Provider entry of `strConnect`.
void gSetServerKind(const std::string& strConnect);
// The connection-string line of a UDL file (see textfile::ReadDataLinkFile);
// empty, after a message, when the file is no data link.
std::string gstrReadUDL(const std::string& strUDLFile);

}  // namespace qarn
