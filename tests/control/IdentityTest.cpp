// A script with identity values, from a table that also has computed
// columns, replays into the emptied table on every path, and leaves it
// usable: the next ordinary INSERT takes a new identity value.
#include <gtest/gtest.h>

#include "ado/Command.h"
#include "basSQLGenComp.h"
#include "logic/ControlCore.h"
#include "support/TestSupport.h"

namespace qarn::control {
namespace {

using sql::Dialect;

// The table: an identity column (always generated on PostgreSQL), a plain
// column and computed ones; ids 1 and 2 are what a sequence left alone
// would hand out next.
std::vector<std::string> TableSql(Dialect d, const std::string& t) {
    switch (d) {
    case Dialect::PostgreSql:
        return {"DROP TABLE IF EXISTS " + t,
                "CREATE TABLE " + t + "(id int GENERATED ALWAYS AS IDENTITY PRIMARY KEY, a int, "
                                      "b int GENERATED ALWAYS AS (a * 2) STORED)",
                "INSERT INTO " + t + "(id, a) OVERRIDING SYSTEM VALUE VALUES (1, 10), (2, 20), (20, 30)"};
    case Dialect::MySql:
        return {"DROP TABLE IF EXISTS " + t,
                "CREATE TABLE " + t + "(id INT AUTO_INCREMENT PRIMARY KEY, a INT, b INT AS (a * 2) PERSISTENT, "
                                      "c INT AS (a + 1) VIRTUAL)",
                "INSERT INTO " + t + "(id, a) VALUES (1, 10), (2, 20), (20, 30)"};
    default:
        return {"CREATE TABLE " + t + "(id INTEGER PRIMARY KEY, a INTEGER, b INTEGER GENERATED ALWAYS AS (a * 2) STORED, "
                                      "c INTEGER AS (a + 1) VIRTUAL)",
                "INSERT INTO " + t + "(id, a) VALUES (1, 10), (2, 20), (20, 30)"};
    }
}

std::vector<std::string> Rows(const std::string& sql) {
    EXPECT_TRUE(gobjSQLADO->SQLSetText(sql) && gobjSQLADO->SQLRunSQLWithRs());
    std::vector<std::string> rows;
    auto rs = gobjSQLADO->SQLrs();
    for (; rs && !rs->Eof(); rs->MoveNext()) {
        std::string row;
        for (size_t i = 0; i < rs->FieldCount(); ++i) row += rs->Fields(i).Value().ToText() + "|";
        rows.push_back(row);
    }
    gobjSQLADO->SQLCloseRS();
    return rows;
}

class IdentityTest : public ::testing::TestWithParam<test::ServerPath> {
protected:
    void TearDown() override { core.Disconnect(false); }
    test::RecordingUserInterface ui;
    ControlCore core;
};

TEST_P(IdentityTest, IdentityValuesReplayAndTheTableStaysUsable) {
    const test::ServerPath& target = GetParam();
    QARN_REQUIRE_SERVER(target.facts());
    ASSERT_TRUE(core.Connect(target.connection())) << core.ReturnMessage();
    const std::string table = "qarn_ident_" + target.name;
    for (const std::string& sql : TableSql(target.dialect, table))
        ASSERT_TRUE(gobjSQLADO->SQLSetText(sql) && gobjSQLADO->SQLRunProcNoRs()) << sql;
    const std::string all = "SELECT * FROM " + table + " ORDER BY id";
    const std::vector<std::string> before = Rows(all);
    ASSERT_EQ(before.size(), 3u);

    const std::string script = test::ScratchPath("identity.sql");
    core.SetIncludeIdent(true);
    ASSERT_TRUE(core.Generate(script, "SELECT * FROM " + table, true)) << core.ReturnMessage();
    // The computed columns are never named: the database fills them in.
    const std::string bytes = test::ReadBytes(script);
    EXPECT_EQ(bytes.find("b]"), std::string::npos);
    EXPECT_EQ(bytes.find("\"b\""), std::string::npos);
    EXPECT_EQ(bytes.find("`b`"), std::string::npos);

    ASSERT_TRUE(core.RunScript(script)) << core.ReturnMessage();
    EXPECT_EQ(Rows(all), before);
    ASSERT_TRUE(gobjSQLADO->SQLSetText("INSERT INTO " + table + "(a) VALUES (40)") && gobjSQLADO->SQLRunProcNoRs());
    EXPECT_EQ(Rows("SELECT count(*) FROM " + table + " WHERE id > 20"), std::vector<std::string>{"1|"});
    EXPECT_TRUE(ui.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Paths, IdentityTest, ::testing::ValuesIn(test::DatabasePaths()), test::ServerPathName);

}  // namespace
}  // namespace qarn::control
