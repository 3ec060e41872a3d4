// What Generate relies on to never change a database: a read-only query
// cannot write, even through a function with side effects, and leaves the
// connection as it found it; and what RunScript relies on to see a
// transaction a script left open.
#include <gtest/gtest.h>

#include "ado/Command.h"
#include "support/TestSupport.h"

namespace qarn {
namespace {

using sql::Dialect;

std::shared_ptr<ado::Recordset> ReadOnly(const std::shared_ptr<ado::Connection>& c, const std::string& sql) {
    auto cmd = ado::Command::Create();
    cmd->SetActiveConnection(c);
    cmd->SetCommandText(sql);
    return cmd->ExecuteReadOnly();
}

int64_t Count(const std::shared_ptr<ado::Connection>& c, const std::string& table) {
    auto cmd = ado::Command::Create();
    cmd->SetActiveConnection(c);
    cmd->SetCommandText("SELECT count(*) FROM " + table);
    auto rs = cmd->Execute();
    return rs->Fields(0).Value().Kind() == ado::VarKind::Int ? rs->Fields(0).Value().AsInt()
                                                             : std::stoll(rs->Fields(0).Value().ToText());
}

class ServerReadOnlyTest : public ::testing::TestWithParam<test::ServerPath> {};

TEST_P(ServerReadOnlyTest, AFunctionThatWritesFailsAndTheConnectionStaysUsable) {
    const test::ServerPath& path = GetParam();
    QARN_REQUIRE_SERVER(path.facts());
    auto c = test::OpenConnection(path.connection());
    const bool pg = path.dialect == Dialect::PostgreSql;
    // Each path its own table and function: the paths run side by side.
    const std::string victim = "qarn_victim_" + path.name, wipe = "qarn_wipe_" + path.name;
    test::Exec(c, "DROP TABLE IF EXISTS " + victim);
    test::Exec(c, "CREATE TABLE " + victim + "(n int)");
    test::Exec(c, "INSERT INTO " + victim + " VALUES (1)");
    test::Exec(c, "DROP FUNCTION IF EXISTS " + wipe + (pg ? "()" : ""));
    test::Exec(c,
               pg ? "CREATE FUNCTION " + wipe + "() RETURNS int LANGUAGE sql AS 'DELETE FROM " + victim + "; SELECT 1'"
                  : "CREATE FUNCTION " + wipe + "() RETURNS int MODIFIES SQL DATA BEGIN DELETE FROM " + victim +
                        "; RETURN 1; END");

    EXPECT_THROW(
        {
            auto rs = ReadOnly(c, "SELECT " + wipe + "() FROM " + victim);
            while (!rs->Eof()) rs->MoveNext();
        },
        ado::AdoError);
    EXPECT_FALSE(c->Errors().empty());
    EXPECT_EQ(Count(c, victim), 1);
    EXPECT_FALSE(c->TransactionOpen());

    // A read that succeeds ends its transaction too: what follows commits on its own.
    auto rs = ReadOnly(c, "SELECT n FROM " + victim);
    while (!rs->Eof()) rs->MoveNext();
    EXPECT_FALSE(c->TransactionOpen());
    test::Exec(c, "INSERT INTO " + victim + " VALUES (2)");
    auto other = test::OpenConnection(path.connection());
    EXPECT_EQ(Count(other, victim), 2);
}

TEST_P(ServerReadOnlyTest, ATransactionBegunBySqlTextIsSeen) {
    const test::ServerPath& path = GetParam();
    QARN_REQUIRE_SERVER(path.facts());
    auto c = test::OpenConnection(path.connection());
    EXPECT_FALSE(c->TransactionOpen());
    test::Exec(c, path.dialect == Dialect::PostgreSql ? "BEGIN" : "START TRANSACTION");
    EXPECT_TRUE(c->TransactionOpen());
    test::Exec(c, "ROLLBACK");
    EXPECT_FALSE(c->TransactionOpen());
}

INSTANTIATE_TEST_SUITE_P(Paths, ServerReadOnlyTest, ::testing::ValuesIn(test::ServerPaths()), test::ServerPathName);

TEST(SqliteReadOnlyTest, AStatementThatWritesIsRefusedBeforeItRuns) {
    auto c = test::OpenConnection("Provider=SQLite;Data Source=" +
                                  test::MakeSqliteDatabase("CREATE TABLE k(n); INSERT INTO k VALUES (1);"));
    for (const char* sql : {"DELETE FROM k", "INSERT INTO k VALUES (2) RETURNING n", "UPDATE k SET n = 3 RETURNING n"})
        EXPECT_THROW(ReadOnly(c, sql), ado::AdoError) << sql;
    EXPECT_EQ(Count(c, "k"), 1);
    auto rs = ReadOnly(c, "SELECT n FROM k");
    EXPECT_EQ(rs->Fields(0).Value().AsInt(), 1);

    EXPECT_FALSE(c->TransactionOpen());
    test::Exec(c, "BEGIN");
    EXPECT_TRUE(c->TransactionOpen());
    test::Exec(c, "ROLLBACK");
    EXPECT_FALSE(c->TransactionOpen());
}

}  // namespace
}  // namespace qarn
