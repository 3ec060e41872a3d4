#pragma once
// What an executed statement gave: a row set or a count of changed rows,
// and for a batch every result in turn.

#include <sql.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "ado/AdoError.h"
#include "ado/Engine.h"
#include "odbc/OdbcDriverHabits.h"
#include "odbc/OdbcHandles.h"

namespace qarn::ado::odbc {

bool HasResultSet(const Statement& stmt);
int64_t RowCount(const Statement& stmt);

// The cursor or the row count of the statement's current result.
ExecuteResult ResultOf(std::unique_ptr<Statement> stmt, const DriverHabits& habits);

// Every failure of a statement's results, in order: the executing call's
// and then each later statement's as SQLMoreResults reaches it.  Row counts
// of the results that are not row sets add up in `rows`; each row set is
// shown to `onRows` first, when given.
std::vector<ErrorRecord> WalkResults(const Statement& stmt, SQLRETURN rc, int64_t& rows,
                                     const std::function<void(const Statement&)>& onRows = {});

}  // namespace qarn::ado::odbc
