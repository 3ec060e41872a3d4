#include "odbc/OdbcRowBlocks.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace qarn::ado::odbc {

namespace {
// Longer columns are read with SQLGetData: their values may run to
// megabytes, and a cell that size in every row of a block would be waste.
constexpr SQLULEN kLongColumn = 65535;
// Most bytes of a cell where a longer value can be read again from its
// row, and where it cannot (the cell then holds any value of the column).
constexpr size_t kLargestCell = 1024;
constexpr size_t kLargestWholeCell = 4096;
// Least bytes of a number, date or GUID as text.
constexpr size_t kNarrowCell = 64;

size_t FixedBytes(SQLSMALLINT cType) {
    switch (cType) {
        case SQL_C_SBIGINT:
        case SQL_C_UBIGINT: return sizeof(SQLBIGINT);
        case SQL_C_DOUBLE: return sizeof(SQLDOUBLE);
        case SQL_C_FLOAT: return sizeof(SQLREAL);
        case SQL_C_TYPE_TIMESTAMP: return sizeof(SQL_TIMESTAMP_STRUCT);
        default: return sizeof(SQLINTEGER);
    }
}

// Bytes of a cell that holds any value of a column of `size` (characters
// or bytes, or digits), 0 when no size bounds them.
size_t WholeBytes(ValueForm form, SQLSMALLINT cType, SQLULEN size) {
    if (IsFixed(form)) return FixedBytes(cType);
    // Digits with a sign, a point and a terminator.
    if (form != ValueForm::Text && form != ValueForm::Binary) return std::max<size_t>(size + 3, kNarrowCell);
    if (size == 0 || size > kLongColumn) return 0;
    // A character is at most two UTF-16 units or four UTF-8 bytes.
    return cType == SQL_C_WCHAR                               ? (size * 2 + 1) * sizeof(SQLWCHAR)
           : cType == SQL_C_BINARY && form == ValueForm::Text ? size * 4
                                                              : size;
}

size_t TerminatorBytes(SQLSMALLINT cType) {
    return cType == SQL_C_WCHAR ? sizeof(SQLWCHAR) : cType == SQL_C_CHAR ? 1 : 0;
}

// Puts the statement back to one row at a time with nothing bound.
void Unbind(const Statement& stmt) {
    SQLFreeStmt(stmt.Get(), SQL_UNBIND);
    SQLSetStmtAttr(stmt.Get(), SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(SQLULEN{1}), 0);
    SQLSetStmtAttr(stmt.Get(), SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
    SQLSetStmtAttr(stmt.Get(), SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
}
}  // namespace

bool CanFetchBlocks(SQLHDBC connection) {
    SQLUINTEGER extensions = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(connection, SQL_GETDATA_EXTENSIONS, &extensions, sizeof extensions, nullptr)))
        return false;
    const SQLUINTEGER needed = SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER | SQL_GD_BLOCK | SQL_GD_BOUND;
    return (extensions & needed) == needed;
}

std::unique_ptr<RowBlocks> RowBlocks::Bind(const Statement& stmt, const std::vector<ValueForm>& forms,
                                           const DriverHabits& habits) {
    if (habits.blockRows < 2 || forms.empty()) return nullptr;
    std::unique_ptr<RowBlocks> blocks(new RowBlocks(habits));
    size_t rowBytes = 0;
    for (size_t i = 0; i < forms.size(); ++i) {
        SQLSMALLINT sqlType = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        SQLWCHAR name[2];  // psqlodbc refuses to describe a column without a name buffer
        if (!SQL_SUCCEEDED(SQLDescribeColW(stmt.Get(), static_cast<SQLUSMALLINT>(i + 1), name, 2, nullptr, &sqlType,
                                           &size, &digits, &nullable)))
            return nullptr;
        Column c;
        c.form = forms[i];
        // As ValueReader reads them: MariaDB's text as its UTF-8 bytes.
        c.cType = c.form == ValueForm::Text && habits.utf8Text ? SQLSMALLINT{SQL_C_BINARY} : CTypeFor(c.form);
        const size_t whole = WholeBytes(c.form, c.cType, size);
        if (habits.positionedReads)
            c.cellBytes = std::min(whole, kLargestCell);
        else if (whole == 0 || whole > kLargestWholeCell)
            return nullptr;
        else
            c.cellBytes = whole;
        c.usableBytes = c.cellBytes - std::min(c.cellBytes, TerminatorBytes(c.cType));
        if (c.cellBytes) rowBytes += c.cellBytes + sizeof(SQLLEN);
        blocks->columns_.push_back(std::move(c));
    }
    if (rowBytes == 0) return nullptr;
    // The largest divisor of the driver's block size within the bytes.
    size_t rows = std::min(habits.blockRows, std::max<size_t>(kBlockBytes / rowBytes, 1));
    while (habits.blockRows % rows != 0) --rows;
    if (rows < 2) return nullptr;

    blocks->status_.resize(rows);
    bool ok = SQL_SUCCEEDED(SQLSetStmtAttr(stmt.Get(), SQL_ATTR_ROW_BIND_TYPE,
                                           reinterpret_cast<SQLPOINTER>(SQLULEN{SQL_BIND_BY_COLUMN}), 0)) &&
              SQLSetStmtAttr(stmt.Get(), SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(SQLULEN{rows}), 0) ==
                  SQL_SUCCESS &&
              SQL_SUCCEEDED(SQLSetStmtAttr(stmt.Get(), SQL_ATTR_ROWS_FETCHED_PTR, &blocks->fetched_, 0)) &&
              SQL_SUCCEEDED(SQLSetStmtAttr(stmt.Get(), SQL_ATTR_ROW_STATUS_PTR, blocks->status_.data(), 0));
    for (size_t i = 0; ok && i < blocks->columns_.size(); ++i) {
        Column& c = blocks->columns_[i];
        if (!c.cellBytes) continue;
        c.cells.resize(rows * c.cellBytes);
        c.indicators.resize(rows);
        ok = SQL_SUCCEEDED(SQLBindCol(stmt.Get(), static_cast<SQLUSMALLINT>(i + 1), c.cType, c.cells.data(),
                                      static_cast<SQLLEN>(c.cellBytes), c.indicators.data()));
    }
    if (!ok) {
        // The driver takes no row arrays: the rows come one at a time.
        Unbind(stmt);
        return nullptr;
    }
    return blocks;
}

bool RowBlocks::Refill(const Statement& stmt) {
    next_ = 0;
    fetched_ = 0;
    rowErrors_.clear();
    SQLRETURN rc = SQLFetch(stmt.Get());
    if (rc == SQL_NO_DATA) return false;
    stmt.Check(rc, "SQLFetch");
    fetched_ = std::min<SQLULEN>(fetched_, status_.size());
    if (std::any_of(status_.begin(), status_.begin() + static_cast<ptrdiff_t>(fetched_),
                    [](SQLUSMALLINT s) { return s == SQL_ROW_ERROR; }))
        rowErrors_ = stmt.Diagnostics();
    return fetched_ > 0;
}

void RowBlocks::Store(const Column& c, size_t row, SQLLEN bytes, Variant& v) const {
    const char* cell = c.cells.data() + row * c.cellBytes;
    if (IsFixed(c.form)) {
        FixedValue value{};
        std::memcpy(&value, cell, c.cellBytes);
        StoreValue(c.form, &value, sizeof value, v);
    } else if (c.form == ValueForm::Text && utf8Text_) {
        StoreValue(ValueForm::Binary, cell, static_cast<size_t>(bytes), v);
        v.TextBuffer(VarKind::Text);
    } else {
        StoreValue(c.form, cell, static_cast<size_t>(bytes), v);
    }
}

bool RowBlocks::Next(const Statement& stmt, ValueReader& reader, std::vector<Variant>& row) {
    if (next_ >= fetched_ && !Refill(stmt)) return false;
    const size_t r = next_++;
    if (status_[r] == SQL_ROW_ERROR) {
        if (rowErrors_.empty())
            rowErrors_.push_back({0, "SQLFetch failed at a row without a diagnostic record", "HY000"});
        throw ProviderError(rowErrors_);
    }
    row.resize(columns_.size());
    bool positioned = false;
    for (size_t i = 0; i < columns_.size(); ++i) {
        const Column& c = columns_[i];
        if (c.cellBytes) {
            SQLLEN bytes = c.indicators[r];
            if (bytes == SQL_NULL_DATA) {
                row[i].SetNull();
                continue;
            }
            if (IsFixed(c.form) || (bytes >= 0 && static_cast<size_t>(bytes) <= c.usableBytes)) {
                Store(c, r, bytes, row[i]);
                continue;
            }
        }
        // A long column, or a value its cell cut: read it whole from its row.
        if (!positioned && !positionedReads_)
            throw ProviderError({{err::ProviderFailure,
                                  "The driver delivered a value of column " + std::to_string(i + 1) +
                                      " longer than the size it gave the column",
                                  "01004"}});
        if (!positioned)
            stmt.Check(SQLSetPos(stmt.Get(), static_cast<SQLSETPOSIROW>(r + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE),
                       "SQLSetPos");
        positioned = true;
        reader.Read(stmt, static_cast<SQLUSMALLINT>(i + 1), c.form, row[i]);
    }
    return true;
}

}  // namespace qarn::ado::odbc
