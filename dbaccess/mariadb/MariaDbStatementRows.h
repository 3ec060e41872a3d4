#pragma once
// The rows of a SELECT run as a prepared statement: the server sends its
// values in binary, which saves it formatting each one as text, and they
// stream (no mysql_stmt_store_result), so memory stays flat.
//
// Each value becomes the text the text protocol would have carried, for the
// one decoder (StoreValue): every column but DOUBLE and FLOAT is converted
// to text by the library (integers, years, temporals) or arrives as its
// bytes (decimals, strings, binaries, BIT, JSON, ENUM, SET).  DOUBLE and
// FLOAT arrive as numbers and are written in the shortest form that reads
// back to the same double or float: the value the column holds, where the
// server's text rounds it to 15 or 6 digits.  A value longer than its
// buffer is read again whole into a grown one.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mariadb/MariaDbRows.h"

namespace qarn::ado::mariadb {

class StatementRows final : public RowSource {
public:
    // Runs `sql` as a prepared statement; null, with nothing left on the
    // connection, when the server cannot prepare it or it returns no rows
    // (the caller then sends it as text, which reports what is wrong).
    // Raises the failure of running it once prepared.
    static std::unique_ptr<StatementRows> Run(MYSQL* mysql, std::string_view sql);

    const MYSQL_FIELD* Fields() const override { return mysql_fetch_fields(metadata_.get()); }
    unsigned int FieldCount() const override { return static_cast<unsigned int>(columns_.size()); }
    bool Next(std::vector<std::string_view>& values) override;

private:
    struct Column {
        enum_field_types bound = MYSQL_TYPE_STRING;
        std::string buffer;  // the value's text (or its number written out)
        unsigned long length = 0;
        my_bool isNull = 0;
        my_bool truncated = 0;
        double number = 0;
        float single = 0;
    };

    StatementRows(MYSQL* mysql, StatementHandle stmt) : mysql_(mysql), stmt_(std::move(stmt)) {}
    [[noreturn]] void RaiseLastError() const;
    void Bind();
    void BindResults();
    // Reads again, whole, each value that did not fit its buffer.
    void ReadTruncated();

    MYSQL* mysql_;  // the session's, open as long as this source
    StatementHandle stmt_;
    ResultHandle metadata_;
    std::vector<Column> columns_;
    std::vector<MYSQL_BIND> binds_;
};

}  // namespace qarn::ado::mariadb
