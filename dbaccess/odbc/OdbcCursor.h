#pragma once
// The rows of a statement's pending result set, one at a time to the
// caller, read from the driver a block at a time where it can.

#include <memory>
#include <vector>

#include "ado/Engine.h"
#include "odbc/OdbcDriverHabits.h"
#include "odbc/OdbcHandles.h"
#include "odbc/OdbcRowBlocks.h"
#include "odbc/OdbcTypeMap.h"
#include "odbc/OdbcValues.h"

namespace qarn::ado::odbc {

class OdbcCursor final : public EngineCursor {
public:
    // Takes a statement with a pending result set.
    explicit OdbcCursor(std::unique_ptr<Statement> stmt, const DriverHabits& habits = {});
    // Takes a statement with a pending result set whose columns were
    // described before, each read in its form.
    OdbcCursor(std::unique_ptr<Statement> stmt, std::vector<ColumnInfo> columns, std::vector<ValueForm> forms,
               const DriverHabits& habits);

    const std::vector<ColumnInfo>& Columns() const override { return columns_; }
    bool Fetch(std::vector<Variant>& row) override;
    // Frees the statement, and with it the server's cursor.
    void Close() override { stmt_->Free(); }

private:
    // Bound to the statement's arrays: freed after it.
    std::unique_ptr<RowBlocks> blocks_;
    std::unique_ptr<Statement> stmt_;
    std::vector<ColumnInfo> columns_;
    std::vector<ValueForm> forms_;
    ValueReader reader_;
};

}  // namespace qarn::ado::odbc
