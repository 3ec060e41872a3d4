#pragma once
// The database session: one connection, its server kind and the wrapper
// that runs SQL on it, once per thread, shared by every control on it.

#include <cstdint>
#include <memory>
#include <string>

#include "ado/Connection.h"
#include "clsSQLADO.h"
#include "textfile/TextFile.h"

namespace qarn {

// Server kinds, from the Provider entry of the connection string.
enum ServerKind : int32_t { skJet = 0, skSqlServer = 1, skOdbc = 2, skOther = 5 };

extern thread_local std::shared_ptr<ado::Connection> gcnnDB;
extern thread_local int32_t glngServerKind;
extern thread_local std::shared_ptr<clsSQLADO> gobjSQLADO;

// Opens the shared connection from a UDL file (when the path is not empty)
// or a connection string.  An open connection is kept as it is.
bool gblnOpenDB(const std::string& strUDLFile, const std::string& strConnect);
// The data-link file the shared connection was opened from; empty when it
// was opened from a connection string or is closed.
const std::string& SessionUdlFile();
// Closes the shared connection if it is open.
bool gblnCloseDB();
// Sets glngServerKind from the Provider entry of `strConnect`.
void gSetServerKind(const std::string& strConnect);
// The connection-string line of a UDL file; empty for an empty file.
std::string gstrReadUDL(const std::string& strUDLFile);

// The first line of a data-link file that is neither a section header nor a
// comment (the last line when every line is one).
std::string ConnectionLineOfUDL(textfile::TextReader& reader);

}  // namespace qarn
