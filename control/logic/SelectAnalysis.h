#pragma once
// What a SELECT statement reads from, and whether it may be run at all:
// Generate runs only one statement that reads, and writes its rows into
// the first table the statement's own FROM clause names.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "sql/Dialect.h"

namespace qarn::control {

using sql::Dialect;

// A table name as the statement writes it, and its parts without quotes.
struct TableName {
    std::string qualified;           // "Sales.dbo.Orders", "[my table]", "\"My Table\""
    std::vector<std::string> parts;  // {"Sales", "dbo", "Orders"}, {"my table"}, {"My Table"}
    std::vector<bool> quoted;        // per part: whether it was written in quotes
};

struct SelectAnalysis {
    enum class Verdict {
        Table,      // a table was found
        NoFrom,     // no FROM at the statement's own level
        FromAtEnd,  // FROM with nothing after it
        Refused,    // not a statement Generate may run; `reason` says why
    };
    Verdict verdict = Verdict::Refused;
    std::string reason;
    TableName table;
    bool hasOrderBy = false;  // an ORDER BY at the statement's own level
    size_t end = 0;           // where the statement ends, before a trailing ";", blanks and comments
    size_t orderByAt = 0;     // where an ORDER BY would go: before LIMIT, OFFSET, FETCH, FOR or LOCK, else `end`
};

// Reads the statement as the database of `dialect` would: literals, quoted
// names, comments and parenthesised subqueries are skipped, and line breaks
// are blanks.  Accepts one SELECT (or WITH ... SELECT), optionally ended by
// ";"; refuses a second statement, a data-changing statement and a SELECT
// ... INTO.  The table is the first table reference after the top-level
// FROM, whole, with its quotes and schema parts; a FROM followed by a
// subquery or a function is refused.
SelectAnalysis AnalyseSelect(std::string_view statement, Dialect dialect);

}  // namespace qarn::control
