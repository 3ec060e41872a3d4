#include "odbc/OdbcResults.h"

#include <algorithm>
#include <string>
#include <utility>

#include "odbc/OdbcCursor.h"

namespace qarn::ado::odbc {

bool HasResultSet(const Statement& stmt) {
    SQLSMALLINT count = 0;
    stmt.Check(SQLNumResultCols(stmt.Get(), &count), "SQLNumResultCols");
    return count > 0;
}

int64_t RowCount(const Statement& stmt) {
    SQLLEN rows = -1;
    stmt.Check(SQLRowCount(stmt.Get(), &rows), "SQLRowCount");
    return rows;
}

ExecuteResult ResultOf(std::unique_ptr<Statement> stmt, const DriverHabits& habits) {
    ExecuteResult result;
    if (HasResultSet(*stmt))
        result.cursor = std::make_unique<OdbcCursor>(std::move(stmt), habits);
    else
        result.rowsAffected = RowCount(*stmt);
    return result;
}

std::vector<ErrorRecord> WalkResults(const Statement& stmt, SQLRETURN rc, int64_t& rows,
                                     const std::function<void(const Statement&)>& onRows) {
    auto same = [](const std::vector<ErrorRecord>& a, const std::vector<ErrorRecord>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const ErrorRecord& x, const ErrorRecord& y) {
            return x.Number == y.Number && x.SQLState == y.SQLState && x.Description == y.Description;
        });
    };
    std::vector<ErrorRecord> failures, previous;
    rows = 0;
    for (;;) {
        if (rc == SQL_ERROR || rc == SQL_INVALID_HANDLE) {
            std::vector<ErrorRecord> records = stmt.Diagnostics();
            // A driver that has nothing to add, or repeats its last failure,
            // will not move on to a next result.
            if (records.empty() || same(records, previous)) {
                if (failures.empty())
                    failures.push_back({0, "The statement failed without a diagnostic record", "HY000"});
                break;
            }
            failures.insert(failures.end(), records.begin(), records.end());
            // Out of sequence, or the connection is gone.
            const std::string& state = records.front().SQLState;
            if (state == "HY010" || state.rfind("08", 0) == 0) break;
            previous = std::move(records);
        } else if (SQL_SUCCEEDED(rc)) {
            if (!HasResultSet(stmt))
                rows += std::max<int64_t>(RowCount(stmt), 0);
            else if (onRows)
                onRows(stmt);
        }
        rc = SQLMoreResults(stmt.Get());
        if (rc == SQL_NO_DATA) break;
    }
    return failures;
}

}  // namespace qarn::ado::odbc
