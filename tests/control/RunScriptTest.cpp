// Running a script file through the control's core on an SQLite file: line
// by line (blank lines skipped, the first failure stops the run), as one
// text, or statement by statement with its error policy; the file's
// encodings, and the status texts of each outcome.
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

class RunScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        gblnCloseDB();
        ASSERT_TRUE(core.Connect("Provider=SQLite;Data Source=" + test::MakeSqliteDatabase("CREATE TABLE s(v TEXT);")));
        core.OnStatusTextChanged([this] { statuses.push_back(core.StatusText()); });
    }
    void TearDown() override { gblnCloseDB(); }

    // Writes the script's bytes and runs it, with this run's status texts only.
    bool Run(const std::string& bytes, int32_t mode = rmLineAtATime) {
        test::WriteBytes(path, bytes);
        statuses.clear();
        return core.RunScript(path, mode);
    }
    std::vector<std::string> Succeeded() const { return {"Processing script: " + path, "Script Processed: " + path}; }
    std::vector<std::string> Failed() const { return {"Processing script: " + path, "Error executing SQL statement"}; }

    // What the script left in s, in insertion order.
    static std::vector<std::string> Stored() {
        auto cmd = ado::Command::Create();
        cmd->SetActiveConnection(gcnnDB);
        cmd->SetCommandText("SELECT v FROM s ORDER BY rowid");
        std::vector<std::string> values;
        for (auto rs = cmd->Execute(); !rs->Eof(); rs->MoveNext()) values.push_back(rs->Fields(0).Value().ToText());
        return values;
    }

    // 250 two-byte characters: a failure's context is cut after 200 characters, never inside one.
    static std::string LongValue() {
        std::string v;
        for (int i = 0; i < 250; ++i) v += "\xC3\xA9";
        return v;
    }

    test::RecordingUserInterface ui;
    ControlCore core;
    std::vector<std::string> statuses;
    std::string path = test::ScratchPath("script.sql");
};

TEST_F(RunScriptTest, ScriptThatCannotBeOpenedFailsBeforeProcessing) {
    const std::string missing = test::ScratchPath("missing.sql");
    const std::string folder = test::ScratchPath("folder.sql");
    std::filesystem::create_directory(folder);
    for (const std::string& target : {missing, folder}) {
        for (int32_t mode : {rmLineAtATime, rmCompleteScript}) {
            statuses.clear();
            EXPECT_FALSE(core.RunScript(target, mode));
            EXPECT_EQ(core.ReturnMessage(), "Unable to open the script file " + target);
            EXPECT_THAT(statuses, ElementsAre("Unable to open the script file " + target));
        }
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(RunScriptTest, LineModeRunsEveryNonBlankLineAndStopsAtTheFirstFailure) {
    EXPECT_TRUE(
        Run("INSERT INTO s VALUES('a');\r\n\r\n    \r\nINSERT INTO s VALUES('b')\n\nINSERT INTO s VALUES('c')"));
    EXPECT_EQ(core.ReturnMessage(), "");
    EXPECT_EQ(statuses, Succeeded());

    const std::string failing = "INSERT INTO nope VALUES('" + LongValue() + "')";
    EXPECT_FALSE(Run("INSERT INTO s VALUES('d')\n\n" + failing + "\nINSERT INTO s VALUES('e')\n"));
    EXPECT_EQ(core.ReturnMessage(), "Error executing SQL statement");
    EXPECT_EQ(statuses, Failed());
    EXPECT_THAT(Stored(), ElementsAre("a", "b", "c", "d"));
    ASSERT_EQ(ui.shown.size(), 1u);  // the database layer's report
    EXPECT_THAT(ui.shown[0].text, HasSubstr("no such table: nope"));
    EXPECT_TRUE(ui.shown[0].text.ends_with("\r\nExtra Info: Line 3: " + failing.substr(0, 25 + 2 * 175)))
        << ui.shown[0].text;

    // A new run starts with a clear message.
    EXPECT_TRUE(Run("INSERT INTO s VALUES('f')\r\n"));
    EXPECT_EQ(core.ReturnMessage(), "");
}

TEST_F(RunScriptTest, CompleteModeSendsTheWholeFileWithCrLfBeforeEveryLine) {
    // Both line ends read alike; the text goes out with CR LF between lines.
    const std::string script = "INSERT INTO s\nVALUES('x\ny');\r\n\r\nINSERT INTO s VALUES('z')";
    EXPECT_TRUE(Run(script, rmCompleteScript)) << core.ReturnMessage();
    EXPECT_EQ(statuses, Succeeded());
    EXPECT_THAT(Stored(), ElementsAre("x\r\ny", "z"));

    // Line by line the same file fails at once: its first line is no statement.
    EXPECT_FALSE(Run(script));
    EXPECT_THAT(Stored(), ElementsAre("x\r\ny", "z"));

    ui.shown.clear();
    EXPECT_FALSE(Run("INSERT INTO s VALUES('w');\r\nINSERT INTO nowhere VALUES(1);\r\n", rmCompleteScript));
    EXPECT_EQ(core.ReturnMessage(), "Error executing SQL statement");
    EXPECT_EQ(statuses, Failed());
    EXPECT_EQ(ui.shown.size(), 1u);
}

TEST_F(RunScriptTest, EmptyAndBlankScriptsSendNothingButATabLineIsSent) {
    // Without a connection anything sent fails: what succeeds sent nothing.
    core.Disconnect(false);
    for (int32_t mode : {rmLineAtATime, rmCompleteScript}) {
        EXPECT_TRUE(Run("", mode)) << core.ReturnMessage();
        EXPECT_EQ(statuses, Succeeded());
    }
    EXPECT_TRUE(Run("\r\n   \r\n\r\n \n")) << core.ReturnMessage();
    EXPECT_TRUE(ui.shown.empty());

    EXPECT_FALSE(Run("   \r\n\t\r\n"));
    EXPECT_THAT(core.ReturnMessage(), ::testing::AnyOf("Error in SQL statement", "Error executing SQL statement"));
    ASSERT_EQ(statuses.size(), 2u);
    EXPECT_EQ(statuses[1], core.ReturnMessage());
}

// The script goes through the text reader: its encodings are decoded, and a pipe, which has no size, is read.
TEST_F(RunScriptTest, ScriptTextIsDecodedAndReadFromAPipe) {
    // UTF-16LE with its mark, as Windows editors save: "✓" is 0x2713, "日" 0x65E5.
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("INSERT INTO s VALUES('")) utf16 += std::string{c, '\0'};
    utf16 += std::string("\x13\x27\xE5\x65", 4);
    for (char c : std::string("')\r\n")) utf16 += std::string{c, '\0'};
    EXPECT_TRUE(Run(utf16)) << core.ReturnMessage();
    EXPECT_TRUE(Run("\xEF\xBB\xBFINSERT INTO s VALUES('b')\r\n")) << core.ReturnMessage();  // UTF-8 with its mark

    test::PipeFile pipe("INSERT INTO s VALUES('p')\r\n");
    EXPECT_TRUE(core.RunScript(pipe.path())) << core.ReturnMessage();
    EXPECT_THAT(Stored(), ElementsAre("\xE2\x9C\x93\xE6\x97\xA5", "b", "p"));
    EXPECT_TRUE(ui.shown.empty());
}

// A failure inside the script's transaction does not leave the session in it.
TEST_F(RunScriptTest, AFailureInsideTheScriptsTransactionRollsItBack) {
    EXPECT_FALSE(Run("BEGIN\nINSERT INTO s VALUES('b')\nINSERT INTO nope VALUES(1)\n"));
    EXPECT_EQ(core.ReturnMessage(), "Error executing SQL statement");
    EXPECT_TRUE(Run("INSERT INTO s VALUES('c')\nBEGIN\nINSERT INTO s VALUES('d')\nCOMMIT\n")) << core.ReturnMessage();
    EXPECT_THAT(Stored(), ElementsAre("c", "d"));
}

// Statements cut as sqlite3 cuts them and reported by the line they begin on.
TEST_F(RunScriptTest, StatementModeRunsOneByOneAndAFailureNamesTheLineItBeginsOn) {
    core.Running().statementMode = true;
    const std::string head = "INSERT INTO nope\n  VALUES('";
    EXPECT_FALSE(Run("INSERT INTO s VALUES('a;1'); INSERT INTO s\nVALUES('b');\n-- done;\n\n" + head + LongValue() +
                     "'); INSERT INTO s VALUES('c');\n"));
    EXPECT_EQ(core.ReturnMessage(), "Error executing SQL statement");
    EXPECT_THAT(Stored(), ElementsAre("a;1", "b"));
    ASSERT_EQ(ui.shown.size(), 1u);
    const std::string context = head + LongValue().substr(0, 2 * (200 - head.size()));
    EXPECT_TRUE(ui.shown[0].text.ends_with("\r\nExtra Info: Line 5: " + context)) << ui.shown[0].text;
}

TEST_F(RunScriptTest, StatementModeStopsAtAClientCommand) {
    core.Running().statementMode = true;
    for (bool oneTransaction : {false, true}) {
        core.SetSingleTransaction(oneTransaction);
        EXPECT_FALSE(Run("INSERT INTO s VALUES('a');\n.read other.sql\nINSERT INTO s VALUES('b');\n"));
        EXPECT_EQ(core.ReturnMessage(),
                  "Line 2: \".read other.sql\" is a sqlite3 command, not SQL; " +
                      std::string(oneTransaction ? "nothing of the script was kept" : "the run stopped there"));
        EXPECT_THAT(Stored(), ElementsAre("a"));  // the first run's; the second kept nothing
    }
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(RunScriptTest, GoingOnLogsEachFailureAndFailsTheRunAtItsEnd) {
    core.Running().statementMode = true;
    core.Running().onError = OnError::Continue;
    core.Running().errorLog = test::ScratchPath("run.errors");
    EXPECT_FALSE(
        Run("INSERT INTO s VALUES('a');\nINSERT INTO nope VALUES(1);\nINSERT INTO s VALUES('b');\n"
            "INSERT INTO s\n  VALUES('c', 'd');\nINSERT INTO s VALUES('e');\n"));
    EXPECT_EQ(core.ReturnMessage(), "2 of 5 statements failed; see " + core.Running().errorLog);
    EXPECT_THAT(Stored(), ElementsAre("a", "b", "e"));
    EXPECT_EQ(test::ReadBytes(core.Running().errorLog),
              "-- Line 2: error -2147467259: no such table: nope\r\n--   1 no such table: nope\r\n"
              "INSERT INTO nope VALUES(1);\r\n\r\n"
              "-- Line 4: error -2147467259: table s has 1 columns but 2 values were supplied\r\n"
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

    // Nor does it go with one transaction, and neither do batches.
    core.SetSingleTransaction(true);
    EXPECT_FALSE(Run("INSERT INTO s VALUES('g');"));
    EXPECT_THAT(core.ReturnMessage(), HasSubstr("OnError continue cannot go with SingleTransaction"));
    core.Running().onError = OnError::Stop;
    core.Running().commitEvery = 10;
    EXPECT_FALSE(Run("INSERT INTO s VALUES('g');"));
    EXPECT_THAT(core.ReturnMessage(), HasSubstr("CommitEvery cannot go with SingleTransaction"));
    EXPECT_THAT(Stored(), ElementsAre("a", "b", "e", "f"));
}

}  // namespace
}  // namespace qarn::control
