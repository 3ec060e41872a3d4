// The proof of a script (Verify): a script that recreates its rows passes
// and is handed over; one that does not fails Generate naming a row and a
// column, and leaves no script; where no proof can be made, Generate says
// so.  On every path that reaches a database.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "basSQLGenComp.h"
#include "logic/ControlCore.h"
#include "support/TestSupport.h"

namespace qarn::control {
namespace {

namespace fs = std::filesystem;
using sql::Dialect;

class ScriptProofTest : public ::testing::TestWithParam<test::ServerPath> {
protected:
    void SetUp() override {
        QARN_REQUIRE_SERVER(GetParam().facts());
        ASSERT_TRUE(core.Connect(GetParam().connection())) << core.ReturnMessage();
        table = "qarn_proof_" + GetParam().name;
        const bool pg = GetParam().dialect == Dialect::PostgreSql;
        for (const std::string& sql :
             {"DROP TABLE IF EXISTS " + table,
              "CREATE TABLE " + table + "(k int PRIMARY KEY, t " + (pg ? "text, " : "varchar(50), ") +
                  "d double precision, b " + (pg ? "bytea)" : "blob)"),
              "INSERT INTO " + table + " VALUES (1, 'it''s', 0.1, NULL), (2, NULL, -1e300, NULL), (3, '', 2.5, NULL)"})
            ASSERT_TRUE(gobjSQLADO->SQLSetText(sql) && gobjSQLADO->SQLRunProcNoRs()) << sql;
        core.SetVerify(true);
    }
    void TearDown() override { core.Disconnect(false); }
    test::RecordingUserInterface ui;
    ControlCore core;
    std::string table;
};

TEST_P(ScriptProofTest, AScriptThatRecreatesItsRowsIsProvenAndHandedOver) {
    const std::string path = test::ScratchPath("proven.sql");
    core.Script().rowsPerInsert = 2;
    core.Script().terminate = true;
    EXPECT_TRUE(core.Generate(path, "SELECT * FROM " + table + " WHERE k > 0;", true)) << core.ReturnMessage();
    EXPECT_TRUE(fs::exists(path));
    // The proof changed nothing: the rows are there, no table of its own is.
    ASSERT_TRUE(core.RunScript(path)) << core.ReturnMessage();
    EXPECT_TRUE(core.Generate(test::ScratchPath("again.sql"), "SELECT * FROM " + table)) << core.ReturnMessage();
    EXPECT_TRUE(ui.shown.empty());
}

TEST_P(ScriptProofTest, AScriptThatDoesNotFailsGenerateNamingTheColumn) {
    // A SELECT that gives other values every time cannot be proven.
    const std::string random = GetParam().dialect == Dialect::MySql ? "RAND()" : "random()";
    const std::string path = test::ScratchPath("unproven.sql");
    EXPECT_FALSE(core.Generate(path, "SELECT k, " + random + " AS r FROM " + table));
    EXPECT_EQ(core.ReturnMessage().rfind("The script does not recreate the rows: the row (", 0), 0u)
        << core.ReturnMessage();
    EXPECT_NE(core.ReturnMessage().find(", column r"), std::string::npos) << core.ReturnMessage();
    EXPECT_FALSE(fs::exists(path));
    for (const auto& e : fs::directory_iterator(fs::path(path).parent_path()))
        EXPECT_FALSE(e.path().filename().string().starts_with(".unproven.sql.")) << e.path();
}

TEST_P(ScriptProofTest, AScriptForAnotherDatabaseCannotBeProvenHere) {
    core.Script().target = GetParam().dialect == Dialect::MySql ? Dialect::PostgreSql : Dialect::MySql;
    EXPECT_FALSE(core.Generate(test::ScratchPath("other.sql"), "SELECT * FROM " + table));
    EXPECT_NE(core.ReturnMessage().find("The script cannot be verified: it is written for"), std::string::npos)
        << core.ReturnMessage();
}

INSTANTIATE_TEST_SUITE_P(Paths, ScriptProofTest, ::testing::ValuesIn(test::DatabasePaths()), test::ServerPathName);

// Where no temporary table can be made, the proof fails clearly.
TEST(ScriptProof, NoProofWithoutATemporaryTable) {
    test::RecordingUserInterface ui;
    ControlCore core;
    core.SetVerify(true);
    const std::string access = test::AccessSampleFile();
    ASSERT_FALSE(access.empty());
    ASSERT_TRUE(core.Connect("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + access)) << core.ReturnMessage();
    EXPECT_FALSE(core.Generate(test::ScratchPath("jet.sql"), "SELECT * FROM FPdev"));
    EXPECT_NE(core.ReturnMessage().find("cannot be verified: Jet gives no temporary table"), std::string::npos)
        << core.ReturnMessage();
    core.Disconnect(false);

    const test::ServerFacts pg = test::PostgresServer();
    QARN_REQUIRE_SERVER(pg);
    const char* standby = std::getenv("QARN_PGSTANDBY_PORT");
    ASSERT_TRUE(standby && *standby) << "no standby: run the tests through scripts/test";
    ASSERT_TRUE(core.Connect("Provider=PostgreSQL;Data Source=" + pg.host + ";Port=" + standby +
                             ";Initial Catalog=" + pg.database + ";User ID=" + pg.user + ";Password=" + pg.password))
        << core.ReturnMessage();
    EXPECT_FALSE(core.Generate(test::ScratchPath("standby.sql"), "SELECT * FROM pg_database"));
    EXPECT_NE(core.ReturnMessage().find("read-only"), std::string::npos) << core.ReturnMessage();
    core.Disconnect(false);
}

}  // namespace
}  // namespace qarn::control
