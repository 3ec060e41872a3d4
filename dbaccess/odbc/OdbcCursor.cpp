#include "odbc/OdbcCursor.h"

#include <utility>

#include "odbc/OdbcColumns.h"

namespace qarn::ado::odbc {

OdbcCursor::OdbcCursor(std::unique_ptr<Statement> stmt, const DriverHabits& habits)
    : stmt_(std::move(stmt)), reader_(habits.utf8Text) {
    SQLSMALLINT count = 0;
    stmt_->Check(SQLNumResultCols(stmt_->Get(), &count), "SQLNumResultCols");
    columns_.reserve(static_cast<size_t>(count));
    forms_.resize(static_cast<size_t>(count));
    for (SQLUSMALLINT i = 0; i < static_cast<SQLUSMALLINT>(count); ++i)
        columns_.push_back(DescribeColumn(*stmt_, i + 1, forms_[i], habits));
    blocks_ = RowBlocks::Bind(*stmt_, forms_, habits);
}

OdbcCursor::OdbcCursor(std::unique_ptr<Statement> stmt, std::vector<ColumnInfo> columns, std::vector<ValueForm> forms,
                       const DriverHabits& habits)
    : stmt_(std::move(stmt)), columns_(std::move(columns)), forms_(std::move(forms)), reader_(habits.utf8Text) {
    blocks_ = RowBlocks::Bind(*stmt_, forms_, habits);
}

bool OdbcCursor::Fetch(std::vector<Variant>& row) {
    if (!stmt_->IsOpen()) return false;
    if (blocks_) {
        if (blocks_->Next(*stmt_, reader_, row)) return true;
        stmt_->Free();
        return false;
    }
    SQLRETURN rc = SQLFetch(stmt_->Get());
    if (rc == SQL_NO_DATA) {
        // The rows are done: give the server its cursor back now.
        stmt_->Free();
        return false;
    }
    stmt_->Check(rc, "SQLFetch");
    row.resize(forms_.size());
    for (size_t i = 0; i < forms_.size(); ++i)
        reader_.Read(*stmt_, static_cast<SQLUSMALLINT>(i + 1), forms_[i], row[i]);
    return true;
}

}  // namespace qarn::ado::odbc
