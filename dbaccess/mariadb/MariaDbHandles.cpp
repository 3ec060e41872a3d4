#include "mariadb/MariaDbHandles.h"

#include <errmsg.h>

namespace qarn::ado::mariadb {

ErrorRecord LastError(MYSQL* mysql) {
    unsigned int number = mysql_errno(mysql);
    const char* text = mysql_error(mysql);
    const char* state = mysql_sqlstate(mysql);
    if (number == 0) return {CR_UNKNOWN_ERROR, "The MariaDB call failed without an error message", "HY000"};
    return {static_cast<int32_t>(number), text ? text : "", state ? state : ""};
}

void RaiseLast(MYSQL* mysql) {
    throw ProviderError({LastError(mysql)});
}

void Raise(std::string description) {
    throw ProviderError({{err::ProviderFailure, std::move(description), "HY000"}});
}

}  // namespace qarn::ado::mariadb
