#pragma once
// Rows read a block at a time: the columns of a bounded size are bound to
// arrays that one SQLFetch fills for many rows.  Where the driver reads any
// column of a block's row with SQLGetData (psqlodbc), columns with no size
// or a long one, and values longer than their cell, are read so, as the
// row-at-a-time reader reads them; elsewhere every cell holds any value of
// its column, or the rows come one at a time.  Every value is the same
// either way.  A failure at a row raises when that row is reached, after
// the rows before it.

#include <sql.h>
#include <sqlext.h>

#include <cstddef>
#include <memory>
#include <vector>

#include "ado/AdoError.h"
#include "ado/Variant.h"
#include "odbc/OdbcDriverHabits.h"
#include "odbc/OdbcHandles.h"
#include "odbc/OdbcTypeMap.h"
#include "odbc/OdbcValues.h"

namespace qarn::ado::odbc {

// Most rows in a block, and most bytes its arrays take (a single row may
// take more).
constexpr size_t kBlockRows = 256;
constexpr size_t kBlockBytes = size_t{1} << 20;

// Whether the driver says it lets SQLGetData read any column of any row of
// a block, bound or not.
bool CanFetchBlocks(SQLHDBC connection);

class RowBlocks {
public:
    // Binds the pending result's columns (read in `forms`) to row arrays of
    // the largest divisor of habits.blockRows that fits kBlockBytes; nothing,
    // with the statement as it was, when the driver cannot fetch blocks, the
    // block would hold one row or no column can be bound.
    static std::unique_ptr<RowBlocks> Bind(const Statement& stmt, const std::vector<ValueForm>& forms,
                                           const DriverHabits& habits);

    // The next row; false after the last.
    bool Next(const Statement& stmt, ValueReader& reader, std::vector<Variant>& row);

private:
    struct Column {
        ValueForm form = ValueForm::Text;
        SQLSMALLINT cType = SQL_C_WCHAR;
        size_t cellBytes = 0;  // 0: not bound, read with SQLGetData
        size_t usableBytes = 0;
        std::vector<char> cells;
        std::vector<SQLLEN> indicators;
    };

    explicit RowBlocks(const DriverHabits& habits)
        : utf8Text_(habits.utf8Text), positionedReads_(habits.positionedReads) {}
    bool Refill(const Statement& stmt);
    void Store(const Column& c, size_t row, SQLLEN bytes, Variant& v) const;

    bool utf8Text_;
    bool positionedReads_;
    std::vector<Column> columns_;
    std::vector<SQLUSMALLINT> status_;
    SQLULEN fetched_ = 0;
    size_t next_ = 0;
    std::vector<ErrorRecord> rowErrors_;  // of the block's failed rows
};

}  // namespace qarn::ado::odbc
