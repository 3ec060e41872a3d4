#include "mariadb/MariaDbRows.h"

namespace qarn::ado::mariadb {

bool TextRows::Next(std::vector<std::string_view>& values) {
    MYSQL_ROW row = mysql_fetch_row(result_.get());
    if (!row) {
        if (mysql_errno(mysql_) != 0) RaiseLast(mysql_);
        return false;
    }
    const unsigned long* lengths = mysql_fetch_lengths(result_.get());
    const size_t n = FieldCount();
    values.resize(n);
    for (size_t i = 0; i < n; ++i) values[i] = row[i] ? std::string_view(row[i], lengths[i]) : std::string_view();
    return true;
}

}  // namespace qarn::ado::mariadb
