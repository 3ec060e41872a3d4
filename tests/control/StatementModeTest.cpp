// RunScript in statement mode and with its error policy on an SQLite file:
// statements cut as sqlite3 cuts them and reported by the line they begin
// on, client commands stopping the run, and a run that goes on past
// failures, logging each and failing at its end.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "ado/Command.h"
#include "basSQLGenComp.h"
#include "logic/ControlCore.h"
#include "support/TestSupport.h"

namespace qarn::control {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class StatementModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        gblnCloseDB();
        ASSERT_TRUE(core.Connect("Provider=SQLite;Data Source=" + test::MakeSqliteDatabase("CREATE TABLE s(v TEXT);")));
        core.Running().statementMode = true;
        path = test::ScratchPath("script.sql");
    }
    void TearDown() override { gblnCloseDB(); }

    bool Run(const std::string& bytes) {
        test::WriteBytes(path, bytes);
        return core.RunScript(path);
    }

    static std::vector<std::string> Stored() {
        auto cmd = ado::Command::Create();
        cmd->SetActiveConnection(gcnnDB);
        cmd->SetCommandText("SELECT v FROM s ORDER BY rowid");
        std::vector<std::string> values;
        for (auto rs = cmd->Execute(); !rs->Eof(); rs->MoveNext()) values.push_back(rs->Fields(0).Value().ToText());
        return values;
    }

    test::RecordingUserInterface ui;
    ControlCore core;
    std::string path;
};

TEST_F(StatementModeTest, StatementsRunOneByOneAndAFailureNamesTheLineItBeginsOn) {
    std::string longValue;
    for (int i = 0; i < 250; ++i) longValue += "\xC3\xA9";  // two bytes, one character
    const std::string head = "INSERT INTO nope\n  VALUES('";
    const std::string failing = head + longValue + "');";
    EXPECT_FALSE(Run("INSERT INTO s VALUES('a;1'); INSERT INTO s\nVALUES('b');\n-- done;\n\n" + failing +
                     " INSERT INTO s VALUES('c');\n"));
    EXPECT_EQ(core.ReturnMessage(), "Error executing SQL statement");
    EXPECT_THAT(Stored(), ElementsAre("a;1", "b"));
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_TRUE(ui.shown[0].text.ends_with("\r\nExtra Info: Line 5: " + head + longValue.substr(0, 2 * (200 - head.size()))))
        << ui.shown[0].text;
}

TEST_F(StatementModeTest, AClientCommandStopsTheRunWhereItStands) {
    for (bool oneTransaction : {false, true}) {
        core.SetSingleTransaction(oneTransaction);
        EXPECT_FALSE(Run("INSERT INTO s VALUES('a');\n.read other.sql\nINSERT INTO s VALUES('b');\n"));
        EXPECT_EQ(core.ReturnMessage(), "Line 2: \".read other.sql\" is a sqlite3 command, not SQL; " +
                                            std::string(oneTransaction ? "nothing of the script was kept"
                                                                       : "the run stopped there"));
        EXPECT_THAT(Stored(), ElementsAre("a"));  // the first run's; the second kept nothing
    }
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(StatementModeTest, GoingOnLogsEachFailureAndFailsTheRunAtItsEnd) {
    core.Running().onError = OnError::Continue;
    core.Running().errorLog = test::ScratchPath("run.errors");
    // Inside the script's own transaction too: a failure undoes only itself.
    EXPECT_FALSE(Run("INSERT INTO s VALUES('a');\nINSERT INTO nope VALUES(1);\nBEGIN;\nINSERT INTO s VALUES('b');\n"
                     "INSERT INTO s\n  VALUES('c', 'd');\nINSERT INTO s VALUES('e');\nCOMMIT;\n"));
    EXPECT_EQ(core.ReturnMessage(), "2 of 7 statements failed; see " + core.Running().errorLog);
    EXPECT_THAT(Stored(), ElementsAre("a", "b", "e"));
    EXPECT_EQ(test::ReadBytes(core.Running().errorLog),
              "-- Line 2: error -2147467259: no such table: nope\r\n--   1 no such table: nope\r\n"
              "INSERT INTO nope VALUES(1);\r\n\r\n"
              "-- Line 5: error -2147467259: table s has 1 columns but 2 values were supplied\r\n"
              "--   1 table s has 1 columns but 2 values were supplied\r\n"
              "INSERT INTO s\r\n  VALUES('c', 'd');\r\n\r\n");
    EXPECT_TRUE(ui.shown.empty());

    // A run without failures leaves no log, not even an old one.
    EXPECT_TRUE(Run("INSERT INTO s VALUES('f');")) << core.ReturnMessage();
    EXPECT_FALSE(std::filesystem::exists(core.Running().errorLog));

    // The log never goes over the script it would be written from.
    core.Running().errorLog = path;
    EXPECT_FALSE(Run("INSERT INTO nope VALUES(1);"));
    EXPECT_EQ(core.ReturnMessage(), "Unable to write the error log " + path + ": it is the script being run");
    EXPECT_EQ(test::ReadBytes(path), "INSERT INTO nope VALUES(1);");
}

TEST_F(StatementModeTest, OptionsThatCannotGoWithOneTransactionFailTheRunAtOnce) {
    core.SetSingleTransaction(true);
    core.Running().onError = OnError::Continue;
    EXPECT_FALSE(Run("INSERT INTO s VALUES('a');"));
    EXPECT_THAT(core.ReturnMessage(), HasSubstr("OnError continue cannot go with SingleTransaction"));
    core.Running().onError = OnError::Stop;
    core.Running().commitEvery = 10;
    EXPECT_FALSE(Run("INSERT INTO s VALUES('a');"));
    EXPECT_THAT(core.ReturnMessage(), HasSubstr("CommitEvery cannot go with SingleTransaction"));
    EXPECT_TRUE(Stored().empty());
}

}  // namespace
}  // namespace qarn::control
