// Finding the table a SELECT reads and refusing what Generate must not
// run, as each database reads its own SQL: literals, quoted names, comments
// and subqueries never give a false FROM, line breaks are blanks, and only
// one statement that reads gets through.
#include <gtest/gtest.h>

#include "logic/SelectAnalysis.h"

namespace qarn::control {
namespace {

using Verdict = SelectAnalysis::Verdict;

struct Case {
    Dialect dialect;
    std::string statement;
    Verdict verdict;
    std::string expected;  // the qualified table, or a part of the refusal's reason
    std::vector<std::string> parts = {};
};

constexpr Dialect kAnsi = Dialect::Ansi;
constexpr Dialect kPg = Dialect::PostgreSql;
constexpr Dialect kMy = Dialect::MySql;
constexpr Dialect kMs = Dialect::SqlServer;
constexpr Dialect kLite = Dialect::Sqlite;

const Case kCases[] = {
    {kAnsi, "select * from customers", Verdict::Table, "customers", {"customers"}},
    {kAnsi, "SELECT *\r\nFROM\r\nOrders\r\n", Verdict::Table, "Orders"},
    {kAnsi, "SELECT *\rFROM\tOrders", Verdict::Table, "Orders"},
    {kAnsi, "SELECT * FROM t ; -- the end\n;", Verdict::Table, "t"},
    {kMs, "SELECT * FROM [my table]", Verdict::Table, "[my table]", {"my table"}},
    {kMs, "SELECT * FROM [a]]b].[c d]", Verdict::Table, "[a]]b].[c d]", {"a]b", "c d"}},
    {kPg, "SELECT * FROM \"My Table\"", Verdict::Table, "\"My Table\"", {"My Table"}},
    {kPg, "SELECT * FROM s2.q", Verdict::Table, "s2.q", {"s2", "q"}},
    {kMs,
     "SELECT * FROM Sales.dbo.Orders WHERE Sales.dbo.Orders.ID > 5",
     Verdict::Table,
     "Sales.dbo.Orders",
     {"Sales", "dbo", "Orders"}},
    {kMy, "SELECT * FROM `my table`", Verdict::Table, "`my table`", {"my table"}},
    {kLite, "SELECT * FROM main.[t]", Verdict::Table, "main.[t]", {"main", "t"}},
    {kAnsi, "SELECT id, (SELECT name FROM customers c WHERE c.id = o.cid) AS cname FROM orders o", Verdict::Table,
     "orders"},
    {kAnsi, "SELECT /* FROM x */ * FROM t", Verdict::Table, "t"},
    {kAnsi, "SELECT 'FROM x' AS a FROM t", Verdict::Table, "t"},
    {kAnsi, "SELECT * -- FROM x\nFROM t", Verdict::Table, "t"},
    {kMy, "SELECT 'it\\'s FROM x' FROM t", Verdict::Table, "t"},
    {kMy, "SELECT \"FROM x\" FROM t", Verdict::Table, "t"},
    {kMy, "SELECT 1 # FROM x\nFROM t", Verdict::Table, "t"},
    {kPg, "SELECT $$ FROM x $$, $q$ FROM y $q$ FROM t", Verdict::Table, "t"},
    {kPg, "SELECT E'\\' FROM x' FROM t", Verdict::Table, "t"},
    {kPg, "SELECT /* a /* FROM x */ FROM y */ * FROM t", Verdict::Table, "t"},
    {kPg, "SELECT * FROM ONLY p", Verdict::Table, "p"},
    {kAnsi, "WITH x AS (SELECT * FROM a), y(n) AS (SELECT 1) SELECT * FROM x JOIN b ON true", Verdict::Table, "x"},
    {kPg, "WITH RECURSIVE r AS NOT MATERIALIZED (SELECT 1) SELECT * FROM r", Verdict::Table, "r"},
    {kAnsi, "SELECT EXTRACT(YEAR FROM d), TRIM(BOTH 'x' FROM s) FROM t", Verdict::Table, "t"},
    {kAnsi, "SELECT a IS DISTINCT FROM b FROM t", Verdict::Table, "t"},
    {kAnsi, "SELECT * FROM t1, t2", Verdict::Table, "t1"},
    {kAnsi, "SELECT * FROM t1 JOIN t2 ON t1.id = t2.id", Verdict::Table, "t1"},

    {kAnsi, "SELECT 1", Verdict::NoFrom, ""},
    {kAnsi, "SELECT (SELECT 1 FROM t)", Verdict::NoFrom, ""},
    {kAnsi, "SELECT * FROM", Verdict::FromAtEnd, ""},
    {kAnsi, "SELECT * FROM ;", Verdict::FromAtEnd, ""},

    {kAnsi, "", Verdict::Refused, "empty"},
    {kAnsi, "DELETE FROM t", Verdict::Refused, "DELETE"},
    {kPg, "EXPLAIN ANALYZE DELETE FROM t", Verdict::Refused, "EXPLAIN"},
    {kPg, "SELECT * FROM t; DELETE FROM k", Verdict::Refused, "second statement"},
    {kMs, "SELECT * INTO t2 FROM t", Verdict::Refused, "INTO"},
    {kMy, "SELECT * FROM t INTO OUTFILE '/tmp/x'", Verdict::Refused, "INTO"},
    {kPg, "WITH d AS (DELETE FROM t RETURNING *) SELECT * FROM d", Verdict::Refused, "DELETE"},
    {kPg, "WITH x AS (SELECT 1) DELETE FROM t", Verdict::Refused, "DELETE"},
    {kAnsi, "SELECT * FROM (SELECT * FROM t) s", Verdict::Refused, "not followed by a table name"},
    {kPg, "SELECT * FROM generate_series(1, 3)", Verdict::Refused, "function"},
    {kAnsi, "SELECT 'unterminated FROM t", Verdict::Refused, "never closed"},
    {kAnsi, "SELECT * FROM t /* open", Verdict::Refused, "never closed"},
    {kAnsi, "SELECT * FROM t WHERE (a = 1", Verdict::Refused, "never closed"},
    {kAnsi, "SELECT * FROM t)", Verdict::Refused, "never opened"},
};

TEST(AnalyseSelect, FindsTheTableOrSaysWhyNot) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.statement);
        const SelectAnalysis a = AnalyseSelect(c.statement, c.dialect);
        EXPECT_EQ(a.verdict, c.verdict) << a.reason;
        if (c.verdict == Verdict::Table) {
            EXPECT_EQ(a.table.qualified, c.expected);
            if (!c.parts.empty()) {
                EXPECT_EQ(a.table.parts, c.parts);
            }
        } else if (c.verdict == Verdict::Refused) {
            EXPECT_NE(a.reason.find(c.expected), std::string::npos) << a.reason;
        }
    }
}

}  // namespace
}  // namespace qarn::control
