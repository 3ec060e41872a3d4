// Scripts and transactions on every path: a transaction a script leaves open
// is rolled back and fails the run; a script run as one transaction keeps
// all of itself or nothing, and may not hold transaction statements.
#include <gtest/gtest.h>

#include "basSQLGenComp.h"
#include "logic/ControlCore.h"
#include "support/TestSupport.h"

namespace qarn::control {
namespace {

using sql::Dialect;

class ScriptTransactionTest : public ::testing::TestWithParam<test::ServerPath> {
protected:
    void SetUp() override {
        QARN_REQUIRE_SERVER(GetParam().facts());
        ASSERT_TRUE(core.Connect(GetParam().connection())) << core.ReturnMessage();
        table = "qarn_tx_" + GetParam().name;
        begin = GetParam().dialect == Dialect::MySql ? "START TRANSACTION" : "BEGIN";
        ASSERT_TRUE(Run("DROP TABLE IF EXISTS " + table + "\nCREATE TABLE " + table + "(n int)\n")) << core.ReturnMessage();
    }
    void TearDown() override { core.Disconnect(false); }
    bool Run(const std::string& bytes) {
        const std::string path = test::ScratchPath("script.sql");
        test::WriteBytes(path, bytes);
        return core.RunScript(path);
    }
    std::string Insert(int n) const { return "INSERT INTO " + table + " VALUES (" + std::to_string(n) + ")\n"; }
    std::string Count() {
        EXPECT_TRUE(gobjSQLADO->SQLSetText("SELECT count(*) FROM " + table) && gobjSQLADO->SQLRunSQLWithRs());
        std::string n = gobjSQLADO->SQLrs()->Fields(0).Value().ToText();
        gobjSQLADO->SQLCloseRS();
        return n;
    }
    test::RecordingUserInterface ui;
    ControlCore core;
    std::string table, begin;
};

TEST_P(ScriptTransactionTest, AnOpenTransactionIsRolledBackAndReported) {
    EXPECT_FALSE(Run(begin + "\n" + Insert(1)));
    EXPECT_EQ(core.ReturnMessage(), "The script left a transaction open; it was rolled back");
    EXPECT_EQ(Count(), "0");
    EXPECT_TRUE(Run(begin + "\n" + Insert(2) + "COMMIT\n" + Insert(3))) << core.ReturnMessage();
    EXPECT_EQ(Count(), "2");
    EXPECT_TRUE(ui.shown.empty());
}

TEST_P(ScriptTransactionTest, OneTransactionKeepsAllOrNothing) {
    core.SetSingleTransaction(true);
    std::string script;
    for (int n = 1; n <= 500; ++n) script += Insert(n);
    EXPECT_FALSE(Run(script + "INSERT INTO " + table + "(nope) VALUES (1)\n" + Insert(501)));
    EXPECT_EQ(core.ReturnMessage(), "Error executing SQL statement");
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_NE(ui.shown[0].text.find("Extra Info: Line 501: INSERT INTO " + table + "(nope) VALUES (1)"),
              std::string::npos)
        << ui.shown[0].text;
    EXPECT_EQ(Count(), "0");

    ui.shown.clear();
    EXPECT_FALSE(Run(Insert(1) + "COMMIT\n" + Insert(2)));
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_NE(ui.shown[0].text.find("(COMMIT)"), std::string::npos) << ui.shown[0].text;
    EXPECT_NE(ui.shown[0].text.find("Extra Info: Line 2: COMMIT"), std::string::npos) << ui.shown[0].text;
    EXPECT_EQ(Count(), "0");

    EXPECT_TRUE(Run(script)) << core.ReturnMessage();
    EXPECT_EQ(Count(), "500");
}

INSTANTIATE_TEST_SUITE_P(Paths, ScriptTransactionTest, ::testing::ValuesIn(test::DatabasePaths()),
                         test::ServerPathName);

}  // namespace
}  // namespace qarn::control
