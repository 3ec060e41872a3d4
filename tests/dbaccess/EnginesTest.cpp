// What every engine does alike: a failure carries the database's record;
// commit, rollback, and closing rolls back; a script stops at its first
// failure; a transaction begun by SQL text is seen (RunScript relies on it); a
// read-only query (Generate's SELECT) cannot write, even through a function
// with side effects, and ends the transaction it runs in however its cursor
// ends; a cursor outlives its connection object and other commands run
// meanwhile, and closing ends it.
#include <unistd.h>

#include "EngineTesting.h"

namespace qarn::ado {
namespace {
using namespace testing_engine;
using sql::Dialect;

// 500 rows, in SQL every engine reads.
const std::string kSeries =
    "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < 500) SELECT i FROM s";

class Engines : public ::testing::TestWithParam<test::ServerPath> {
protected:
    void SetUp() override {
        QARN_REQUIRE_SERVER(GetParam().facts());
        // MariaDB's ODBC driver runs a script only when told it may hold many statements.
        connection = GetParam().connection() + (GetParam().name == "MariaDbOdbc" ? ";OPTION=67108864" : "");
        c = OpenEngine(connection);
        other = OpenEngine(connection);
        c->Execute("DROP TABLE IF EXISTS " + table, -1);
        c->Execute("CREATE TABLE " + table + " (n int)", -1);
    }
    void TearDown() override {
        if (other) other->Execute("DROP TABLE IF EXISTS " + table, -1);
    }
    // As another connection sees the table.
    int64_t Count() { return std::stoll(Scalar(*other, "SELECT count(*) FROM " + table).ToText()); }
    void Insert(const std::string& values) { c->Execute("INSERT INTO " + table + " VALUES " + values, -1); }
    bool Server() const { return GetParam().dialect != Dialect::Sqlite; }
    // Named per path and process: the cases run side by side.
    const std::string own = GetParam().name + "_" + std::to_string(getpid()), table = "qarn_engine_" + own;
    std::string connection;
    std::shared_ptr<EngineConnection> c, other;
};

TEST_P(Engines, TransactionsCommitRollBackAndCloseRollsBack) {
    c->BeginTrans();
    Insert("(1)");
    c->RollbackTrans();
    EXPECT_EQ(Count(), 0);

    c->BeginTrans();
    EXPECT_EQ(c->Execute("INSERT INTO " + table + " VALUES (2), (3), (4)", -1).rowsAffected, 3);
    EXPECT_TRUE(c->TransactionOpen());
    EXPECT_EQ(Count(), 0);  // not before the commit
    c->CommitTrans();
    EXPECT_EQ(Count(), 3);
    // Auto-commit is back on after the commit; counts of changes, none included.
    EXPECT_EQ(c->Execute("UPDATE " + table + " SET n = n + 1 WHERE n > 2", -1).rowsAffected, 2);
    ExecuteResult none = c->Execute("DELETE FROM " + table + " WHERE n > 100", -1);
    EXPECT_EQ(none.rowsAffected, 0);
    EXPECT_EQ(none.cursor, nullptr);
    Insert("(5)");
    EXPECT_EQ(Count(), 4);

    EXPECT_THROW(c->CommitTrans(), AdoError);
    c->BeginTrans();
    EXPECT_THROW(c->BeginTrans(), AdoError);
    Insert("(6)");
    c->Close();
    EXPECT_EQ(Count(), 4);
    EXPECT_THROW(c->Execute("SELECT 1", -1), AdoError);
}

// A script's counts add up, a SELECT in it read and dropped; it stops at its
// first failure, and on PostgreSQL, where it is one transaction, undoes it.
TEST_P(Engines, AScriptSumsItsCountsAndStopsAtTheFirstFailure) {
    const std::string into = "INSERT INTO " + table + " VALUES ";
    EXPECT_EQ(
        c->ExecuteBatch(
            into + "(1); " + into + "(2), (3); SELECT * FROM " + table + "; UPDATE " + table + " SET n = n + 1", -1),
        6);
    AdoError e =
        Raised([&] { c->ExecuteBatch(into + "(4); INSERT INTO qarn_no_such_table VALUES (5); " + into + "(6)", -1); });
    EXPECT_THAT(e.Description(), HasSubstr("qarn_no_such_table"));
    EXPECT_EQ(Count(), GetParam().dialect == Dialect::PostgreSql ? 3 : 4);
}

// A failure carries the database's record, and the connection goes on; a
// refused connection says so too.
TEST_P(Engines, FailuresCarryTheDatabasesRecord) {
    const Dialect dialect = GetParam().dialect;
    AdoError e = ProviderFailure([&] { c->Execute("SELECT * FROM qarn_no_such_table", -1); });
    ASSERT_FALSE(e.Records().empty());
    EXPECT_EQ(e.Records()[0].SQLState, dialect == Dialect::PostgreSql ? "42P01"
                                       : dialect == Dialect::MySql    ? "42S02"
                                                                      : "");
    EXPECT_THAT(e.Records()[0].Description, HasSubstr("qarn_no_such_table"));
    EXPECT_EQ(Scalar(*c, "SELECT 7"), Variant::FromInt(7));
    if (!Server()) return;

    const std::string port = "Port=" + GetParam().facts().port;
    std::string refused = connection;
    refused.replace(refused.find(port), port.size(), "Port=" + ClosedPort());
    e = ProviderFailure([&] { OpenEngine(refused); });
    ASSERT_FALSE(e.Records().empty());
    EXPECT_EQ(e.Records()[0].SQLState, dialect == Dialect::PostgreSql ? "08001" : "HY000");
}

TEST_P(Engines, ATransactionBegunBySqlTextIsSeen) {
    EXPECT_FALSE(c->TransactionOpen());
    c->Execute(GetParam().dialect == Dialect::MySql ? "START TRANSACTION" : "BEGIN", -1);
    EXPECT_TRUE(c->TransactionOpen());
    c->Execute("ROLLBACK", -1);
    EXPECT_FALSE(c->TransactionOpen());
}

TEST_P(Engines, ReadOnlyQueriesCannotWriteAndEndTheirTransactionHoweverTheyEnd) {
    Insert("(1)");
    // SQLite refuses a writing statement before it runs, rows or not; the
    // servers fail it in a read-only transaction, hidden in a function too.
    std::vector<std::string> writes = {"DELETE FROM " + table};
    const std::string wipe = "qarn_wipe_" + own;
    if (!Server()) {
        writes.push_back("UPDATE " + table + " SET n = 3 RETURNING n");
    } else {
        const bool pg = GetParam().dialect == Dialect::PostgreSql;
        c->Execute("DROP FUNCTION IF EXISTS " + wipe + (pg ? "()" : ""), -1);
        c->Execute(
            pg ? "CREATE FUNCTION " + wipe + "() RETURNS int LANGUAGE sql AS 'DELETE FROM " + table + "; SELECT 1'"
               : "CREATE FUNCTION " + wipe + "() RETURNS int MODIFIES SQL DATA BEGIN DELETE FROM " + table +
                     "; RETURN 1; END",
            -1);
        writes.push_back("SELECT " + wipe + "() FROM " + table);
    }
    for (const std::string& sql : writes) {
        Raised([&] {
            ExecuteResult r = c->ExecuteReadOnly(sql, -1);
            if (r.cursor) ReadAll(*r.cursor);
        });
        EXPECT_FALSE(c->TransactionOpen()) << sql;
    }
    EXPECT_EQ(Count(), 1);

    // Dropped, closed or read to its end, the cursor ends the transaction.
    for (int how = 0; how < 3; ++how) {
        ExecuteResult r = c->ExecuteReadOnly(kSeries, -1);
        std::vector<Variant> row;
        ASSERT_TRUE(r.cursor->Fetch(row));
        EXPECT_EQ(c->TransactionOpen(), Server());
        if (how == 0) r.cursor.reset();
        if (how == 1) r.cursor->Close();
        if (how == 2) ReadAll(*r.cursor);
        EXPECT_FALSE(c->TransactionOpen()) << how;
    }
    Insert("(2)");  // commits on its own
    EXPECT_EQ(Count(), 2);

    // Inside the host's transaction the query is the transaction's own.
    c->BeginTrans();
    Insert("(3)");
    EXPECT_EQ(ReadAll(*c->ExecuteReadOnly("SELECT n FROM " + table, -1).cursor).size(), 3u);
    EXPECT_TRUE(c->TransactionOpen());
    c->RollbackTrans();
    EXPECT_EQ(Count(), 2);
    if (Server()) c->Execute("DROP FUNCTION " + wipe, -1);
}

TEST_P(Engines, CursorsOutliveTheConnectionObjectAndCloseEndsThem) {
    Insert("(1), (2)");
    const std::string select = "SELECT n FROM " + table + " ORDER BY n";
    std::unique_ptr<EngineCursor> kept = OpenEngine(connection)->Execute(select, -1).cursor;
    EXPECT_EQ(ReadAll(*kept), (Rows{{Variant::FromInt(1)}, {Variant::FromInt(2)}}));

    ExecuteResult early = c->Execute(select, -1), open = c->Execute(select, -1);
    std::vector<Variant> row;
    ASSERT_TRUE(early.cursor->Fetch(row));
    early.cursor->Close();
    EXPECT_FALSE(early.cursor->Fetch(row));
    ASSERT_TRUE(open.cursor->Fetch(row));
    c->Close();
    c->Close();  // twice is harmless
    bool more = false;
    try {
        more = open.cursor->Fetch(row);
    } catch (const AdoError&) {
        // ended loudly: as good as ended
    }
    EXPECT_FALSE(more);
}

TEST_P(Engines, ACommandWhileACursorIsOpenLeavesTheCursorWhole) {
    ExecuteResult first = c->Execute(kSeries, -1);
    std::vector<Variant> row;
    ASSERT_TRUE(first.cursor->Fetch(row));
    // Another statement and a transaction run in between.
    EXPECT_EQ(Scalar(*c, "SELECT 7"), Variant::FromInt(7));
    c->BeginTrans();
    Insert("(1)");
    c->RollbackTrans();
    int64_t next = 2;
    while (first.cursor->Fetch(row)) ASSERT_EQ(row[0], Variant::FromInt(next++));
    EXPECT_EQ(next, 501);
}

INSTANTIATE_TEST_SUITE_P(Paths, Engines, ::testing::ValuesIn(test::DatabasePaths()), test::ServerPathName);

}  // namespace
}  // namespace qarn::ado
