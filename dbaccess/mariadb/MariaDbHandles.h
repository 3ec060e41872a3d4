#pragma once
// Owners of the MariaDB Connector/C handles, and the reader of a
// connection's last error.  Nothing outside dbaccess/mariadb sees these.
//
// A result freed while rows are still on the wire makes the library read
// and drop them first, so the connection is ready for the next command.

#include <mysql.h>

#include <memory>

#include "ado/AdoError.h"

namespace qarn::ado::mariadb {

struct ConnectionCloser {
    void operator()(MYSQL* mysql) const noexcept { mysql_close(mysql); }
};
using ConnectionHandle = std::unique_ptr<MYSQL, ConnectionCloser>;

struct ResultFreer {
    void operator()(MYSQL_RES* result) const noexcept { mysql_free_result(result); }
};
using ResultHandle = std::unique_ptr<MYSQL_RES, ResultFreer>;

// A prepared statement closed while its rows are still on the wire has the
// library read and drop them first, as a result does.
struct StatementCloser {
    void operator()(MYSQL_STMT* stmt) const noexcept { mysql_stmt_close(stmt); }
};
using StatementHandle = std::unique_ptr<MYSQL_STMT, StatementCloser>;

// The connection's last error as the one record of a provider failure:
// the server's (or the library's) error number, text and SQLSTATE.
ErrorRecord LastError(MYSQL* mysql);
ErrorRecord LastError(MYSQL_STMT* stmt);
[[noreturn]] void RaiseLast(MYSQL* mysql);
// A failure of our own, in the same form.
[[noreturn]] void Raise(std::string description);

}  // namespace qarn::ado::mariadb
