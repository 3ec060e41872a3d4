#include "mariadb/MariaDbHandles.h"

#include <errmsg.h>

namespace qarn::ado::mariadb {

namespace {

ErrorRecord Record(unsigned int number, const char* text, const char* state) {
    if (number == 0) return {CR_UNKNOWN_ERROR, "The MariaDB call failed without an error message", "HY000"};
    return {static_cast<int32_t>(number), text ? text : "", state ? state : ""};
}

}  // namespace

ErrorRecord LastError(MYSQL* mysql) {
    return Record(mysql_errno(mysql), mysql_error(mysql), mysql_sqlstate(mysql));
}

ErrorRecord LastError(MYSQL_STMT* stmt) {
    return Record(mysql_stmt_errno(stmt), mysql_stmt_error(stmt), mysql_stmt_sqlstate(stmt));
}

void RaiseLast(MYSQL* mysql) {
    throw ProviderError({LastError(mysql)});
}

void Raise(std::string description) {
    throw ProviderError({{err::ProviderFailure, std::move(description), "HY000"}});
}

}  // namespace qarn::ado::mariadb
