#pragma once
// Where a cursor's rows come from: a result read over the text protocol
// (TextRows here), or a prepared statement's binary rows (StatementRows).
// Either way a row is handed over as text (FLOAT and DOUBLE of the binary
// rows written exactly), so one decoder (StoreValue) makes every value.

#include <mysql.h>

#include <string_view>
#include <vector>

#include "mariadb/MariaDbHandles.h"

namespace qarn::ado::mariadb {

class RowSource {
public:
    virtual ~RowSource() = default;

    virtual const MYSQL_FIELD* Fields() const = 0;
    virtual unsigned int FieldCount() const = 0;
    // The next row, a view per column (a null data() for NULL) that holds
    // until the next call; false after the last row.  A failed read raises
    // ProviderError.
    virtual bool Next(std::vector<std::string_view>& values) = 0;
};

// Rows of mysql_use_result, straight from the wire.
class TextRows final : public RowSource {
public:
    TextRows(MYSQL* mysql, ResultHandle result) : mysql_(mysql), result_(std::move(result)) {}

    const MYSQL_FIELD* Fields() const override { return mysql_fetch_fields(result_.get()); }
    unsigned int FieldCount() const override { return mysql_num_fields(result_.get()); }
    bool Next(std::vector<std::string_view>& values) override;

private:
    MYSQL* mysql_;  // the session's, open as long as this source
    ResultHandle result_;
};

}  // namespace qarn::ado::mariadb
