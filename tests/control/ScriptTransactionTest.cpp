// On the servers, through every path: a script that leaves its transaction
// open fails and nothing of it stays, and the session goes on outside it.
#include <gtest/gtest.h>

#include "basSQLGenComp.h"
#include "logic/ControlCore.h"
#include "support/TestSupport.h"

namespace qarn::control {
namespace {

using sql::Dialect;

class ScriptTransactionTest : public ::testing::TestWithParam<test::ServerPath> {
protected:
    void TearDown() override { core.Disconnect(false); }
    bool Run(const std::string& bytes) {
        const std::string path = test::ScratchPath("script.sql");
        test::WriteBytes(path, bytes);
        return core.RunScript(path);
    }
    std::string Count(const std::string& table) {
        EXPECT_TRUE(gobjSQLADO->SQLSetText("SELECT count(*) FROM " + table) && gobjSQLADO->SQLRunSQLWithRs());
        std::string n = gobjSQLADO->SQLrs()->Fields(0).Value().ToText();
        gobjSQLADO->SQLCloseRS();
        return n;
    }
    test::RecordingUserInterface ui;
    ControlCore core;
};

TEST_P(ScriptTransactionTest, AnOpenTransactionIsRolledBackAndReported) {
    const test::ServerPath& path = GetParam();
    QARN_REQUIRE_SERVER(path.facts());
    ASSERT_TRUE(core.Connect(path.connection())) << core.ReturnMessage();
    const std::string table = "qarn_open_tx_" + path.name;
    const std::string begin = path.dialect == Dialect::PostgreSql ? "BEGIN" : "START TRANSACTION";
    ASSERT_TRUE(Run("DROP TABLE IF EXISTS " + table + "\nCREATE TABLE " + table + "(n int)\n")) << core.ReturnMessage();

    EXPECT_FALSE(Run(begin + "\nINSERT INTO " + table + " VALUES (1)\n"));
    EXPECT_EQ(core.ReturnMessage(), "The script left a transaction open; it was rolled back");
    EXPECT_EQ(Count(table), "0");

    EXPECT_TRUE(Run(begin + "\nINSERT INTO " + table + " VALUES (2)\nCOMMIT\nINSERT INTO " + table + " VALUES (3)\n"))
        << core.ReturnMessage();
    ControlCore other;
    gblnCloseDB();
    ASSERT_TRUE(other.Connect(path.connection()));
    EXPECT_EQ(Count(table), "2");
    EXPECT_TRUE(ui.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Paths, ScriptTransactionTest, ::testing::ValuesIn(test::ServerPaths()), test::ServerPathName);

}  // namespace
}  // namespace qarn::control
