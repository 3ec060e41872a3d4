// Scripts and transactions on every path: a transaction a script leaves open
// is rolled back and fails the run; a script run as one transaction keeps
// all of itself or nothing, and may not hold transaction statements; one
// committed in batches keeps the batches before a failure; one that goes on
// past failures loses nothing else to them, in a transaction or not.
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
        ASSERT_TRUE(Run("DROP TABLE IF EXISTS " + table + "\nCREATE TABLE " + table + "(n int)\n"))
            << core.ReturnMessage();
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

TEST_P(ScriptTransactionTest, StatementsReplayAsOneTransaction) {
    core.SetSingleTransaction(true);
    core.Running().statementMode = true;
    const std::string insert = "INSERT INTO " + table + " VALUES ";
    const std::string failing = "INSERT INTO " + table + "\n  (nope) VALUES (1);";
    EXPECT_FALSE(Run(insert + "(1); " + insert + "(2);\n" + failing + "\n" + insert + "(3);\n"));
    ASSERT_EQ(ui.shown.size(), 1u);
    // The MySQL client sends no delimiter.
    EXPECT_NE(ui.shown[0].text.find("Extra Info: Line 2: " + failing.substr(0, failing.size() - 1)), std::string::npos)
        << ui.shown[0].text;
    EXPECT_EQ(Count(), "0");
    EXPECT_TRUE(Run(insert + "(1); " + insert + "(2);\n" + insert + "\n  (3);")) << core.ReturnMessage();
    EXPECT_EQ(Count(), "3");
}

TEST_P(ScriptTransactionTest, BatchesKeepWhatWasCommitted) {
    core.Running().commitEvery = 3;
    std::string script;
    for (int n = 1; n <= 7; ++n) script += Insert(n);
    EXPECT_FALSE(Run(script + "INSERT INTO " + table + "(nope) VALUES (1)\n" + Insert(9)));
    EXPECT_EQ(core.ReturnMessage(), "Error executing SQL statement; the statements from line 7 on were not committed");
    EXPECT_EQ(Count(), "6");
    EXPECT_EQ(ui.shown.size(), 1u);

    // The script's own transaction statements would cut across the batches.
    ui.shown.clear();
    EXPECT_FALSE(Run(Insert(10) + "COMMIT\n"));
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_NE(ui.shown[0].text.find("Extra Info: Line 2: COMMIT"), std::string::npos) << ui.shown[0].text;
    EXPECT_EQ(Count(), "6");
}

TEST_P(ScriptTransactionTest, GoingOnAFailureLosesNothingElse) {
    core.Running().onError = OnError::Continue;
    core.Running().errorLog = test::ScratchPath(table + ".errors");
    const std::string failing = "INSERT INTO " + table + "(nope) VALUES (1)\n";
    // In batches, and in the script's own transaction, where PostgreSQL
    // would fail every statement after the first failure.
    for (int every : {2, 0}) {
        core.Running().commitEvery = every;
        const std::string script = Insert(1) + failing + Insert(2) + Insert(3) + failing + Insert(4);
        EXPECT_FALSE(Run(every ? script : begin + "\n" + script + "COMMIT\n"));
        EXPECT_EQ(core.ReturnMessage(),
                  "2 of " + std::string(every ? "6" : "8") + " statements failed; see " + core.Running().errorLog);
    }
    EXPECT_EQ(Count(), "8");
    EXPECT_TRUE(ui.shown.empty()) << ui.shown[0].text
                                  << (ui.shown[0].providerErrors.empty() ? "" : ui.shown[0].providerErrors[0]);
}

INSTANTIATE_TEST_SUITE_P(Paths, ScriptTransactionTest, ::testing::ValuesIn(test::DatabasePaths()),
                         test::ServerPathName);

}  // namespace
}  // namespace qarn::control
