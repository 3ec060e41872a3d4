#pragma once
// From a "Provider=PostgreSQL;..." connection string to libpq's keywords.
//
//   Data Source / Server     host: one, or several "h1:5432,h2:5433",
//                            "[::1]:5432"; a bare IPv6 address has no port
//   Port                     port for every host without its own (or one
//                            per host, comma-separated)
//   Initial Catalog / Database             dbname (never read as a URI)
//   User ID / UID / User     user
//   Password / PWD           password
//   Target Session Attrs     target_session_attrs: any, read-write,
//                            read-only, primary, standby, prefer-standby
//   Persist Security Info    ignored
//   a libpq keyword          passed on as it is (sslmode, connect_timeout,
//                            application_name, ...), except replication
//                            and a client_encoding other than UTF8
//
// connect_timeout is 15 seconds unless given.  Anything else, a keyword
// given twice, or a bad port or host list fails before connecting, with a
// provider error naming the entry.

#include <string>
#include <vector>

namespace qarn::ado::postgres {

struct ConninfoEntry {
    std::string keyword;
    std::string value;
};

std::vector<ConninfoEntry> TranslateConnectionString(const std::string& connectionString);

}  // namespace qarn::ado::postgres
