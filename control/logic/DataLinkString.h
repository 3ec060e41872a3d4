#pragma once
// What the "Data Link Properties" dialog shows of a connection string and
// the string it writes back, as plain fields: reading a string into the
// fields and writing the fields out again keeps every entry.

#include <optional>
#include <string>
#include <vector>

#include "ado/ConnectionString.h"

namespace qarn::control {

// In the order of the dialog's provider list.
enum class DataLinkProvider { Sqlite, Access, SqlServer, PostgreSql, MariaDb, Odbc };
inline constexpr int kDataLinkProviderCount = 6;

// Which fields a provider shows.
enum class DataLinkForm { File, Server, Odbc };
DataLinkForm FormOf(DataLinkProvider provider);

struct DataLinkFields {
    DataLinkProvider provider = DataLinkProvider::Sqlite;
    std::string file;                            // File
    std::string server, port, database;          // Server
    std::string dataSource, driver, odbcString;  // Odbc
    std::string user, password;                  // Server and Odbc

    // What the loaded string said beyond the fields: its provider, the
    // Provider entry as written (none at all for a bare ODBC string) and the
    // entries no field covers.  They are written back while the same
    // provider stays chosen.
    std::optional<DataLinkProvider> loadedProvider;
    std::optional<std::string> loadedToken;
    std::vector<ado::ConnectionEntry> extras;
};

// The fields of `connectionString`; a blank one gives new fields (SQLite).
// An unknown provider's string goes whole into the ODBC connection-string
// field so that nothing is lost.
DataLinkFields ReadDataLink(const std::string& connectionString);
// The connection string the fields describe.
std::string WriteDataLink(const DataLinkFields& fields);

}  // namespace qarn::control
