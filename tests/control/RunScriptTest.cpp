// Running a script file through the control's core on an SQLite file: line
// by line (blank lines skipped, the first failure stops the run) or as one
// text, the file's encodings, and the status texts of each outcome.
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

class RunScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        gblnCloseDB();
        ASSERT_TRUE(core.Connect("Provider=SQLite;Data Source=" + test::MakeSqliteDatabase("CREATE TABLE s(v TEXT);")));
        core.OnStatusTextChanged([this] { statuses.push_back(core.StatusText()); });
    }
    void TearDown() override { gblnCloseDB(); }

    // Writes the script's bytes and runs it.
    bool Run(const std::string& bytes, int32_t mode = rmLineAtATime) {
        path = test::ScratchPath("script.sql");
        test::WriteBytes(path, bytes);
        return core.RunScript(path, mode);
    }

    std::vector<std::string> Succeeded() const { return {"Processing script: " + path, "Script Processed: " + path}; }

    // What the script left in s, in insertion order.
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
    std::vector<std::string> statuses;
    std::string path;
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

TEST_F(RunScriptTest, LineModeRunsEveryNonBlankLine) {
    EXPECT_TRUE(Run("INSERT INTO s VALUES('a');\r\n\r\n    \r\nINSERT INTO s VALUES('b')\n\nINSERT INTO s VALUES('c')"));
    EXPECT_EQ(core.ReturnMessage(), "");
    EXPECT_EQ(statuses, Succeeded());
    EXPECT_THAT(Stored(), ElementsAre("a", "b", "c"));
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(RunScriptTest, LineModeStopsAtTheFirstFailingLine) {
    EXPECT_FALSE(Run("INSERT INTO s VALUES('a')\r\nINSERT INTO s VALUES('b')\r\nINSERT INTO nowhere VALUES(1)\r\n"
                     "INSERT INTO s VALUES('c')\r\n"));
    EXPECT_EQ(core.ReturnMessage(), "Error executing SQL statement");
    EXPECT_THAT(statuses, ElementsAre("Processing script: " + path, "Error executing SQL statement"));
    EXPECT_THAT(Stored(), ElementsAre("a", "b"));
    ASSERT_EQ(ui.shown.size(), 1u);  // the database layer's report
    EXPECT_THAT(ui.shown[0].text, ::testing::HasSubstr("no such table: nowhere"));

    // A new run starts with a clear message.
    statuses.clear();
    EXPECT_TRUE(Run("INSERT INTO s VALUES('d')\r\n"));
    EXPECT_EQ(core.ReturnMessage(), "");
    EXPECT_EQ(statuses, Succeeded());
}

TEST_F(RunScriptTest, CompleteModeSendsTheWholeFileWithCrLfBeforeEveryLine) {
    // Both line ends read alike; the text goes out with CR LF between lines.
    const std::string script = "INSERT INTO s\nVALUES('x\ny');\r\n\r\nINSERT INTO s VALUES('z')";
    EXPECT_TRUE(Run(script, rmCompleteScript)) << core.ReturnMessage();
    EXPECT_EQ(statuses, Succeeded());
    EXPECT_THAT(Stored(), ElementsAre("x\r\ny", "z"));

    // Line by line the same file fails at once: its first line is no statement.
    statuses.clear();
    EXPECT_FALSE(Run(script));
    EXPECT_EQ(core.ReturnMessage(), "Error executing SQL statement");
    EXPECT_THAT(Stored(), ElementsAre("x\r\ny", "z"));

    statuses.clear();
    ui.shown.clear();
    EXPECT_FALSE(Run("INSERT INTO s VALUES('w');\r\nINSERT INTO nowhere VALUES(1);\r\n", rmCompleteScript));
    EXPECT_EQ(core.ReturnMessage(), "Error executing SQL statement");
    EXPECT_THAT(statuses, ElementsAre("Processing script: " + path, "Error executing SQL statement"));
    EXPECT_EQ(ui.shown.size(), 1u);
}

TEST_F(RunScriptTest, EmptyAndBlankScriptsSendNothingButATabLineIsSent) {
    // Without a connection anything sent fails: what succeeds sent nothing.
    core.Disconnect(false);
    statuses.clear();
    for (int32_t mode : {rmLineAtATime, rmCompleteScript}) {
        EXPECT_TRUE(Run("", mode)) << core.ReturnMessage();
        EXPECT_EQ(statuses, Succeeded());
        statuses.clear();
    }
    EXPECT_TRUE(Run("\r\n   \r\n\r\n \n")) << core.ReturnMessage();
    EXPECT_TRUE(ui.shown.empty());

    statuses.clear();
    EXPECT_FALSE(Run("   \r\n\t\r\n"));
    EXPECT_THAT(core.ReturnMessage(),
                ::testing::AnyOf("Error in SQL statement", "Error executing SQL statement"));
    ASSERT_EQ(statuses.size(), 2u);
    EXPECT_EQ(statuses[1], core.ReturnMessage());
}

TEST_F(RunScriptTest, ScriptTextKeepsEveryCharacterInEachEncoding) {
    const std::string text = "Ch\xC3\xA2teau d''Yquem \xE2\x9C\x93 \xE6\x97\xA5\xE6\x9C\xAC\t\"\\";
    const std::string stored = "Ch\xC3\xA2teau d'Yquem \xE2\x9C\x93 \xE6\x97\xA5\xE6\x9C\xAC\t\"\\";
    const std::string line = "INSERT INTO s VALUES('" + text + "')\r\n";
    EXPECT_TRUE(Run(line)) << core.ReturnMessage();
    EXPECT_TRUE(Run("\xEF\xBB\xBF" + line)) << core.ReturnMessage();

    // UTF-16LE with its mark, as Windows editors save: "✓" is 0x2713, "日" 0x65E5.
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("INSERT INTO s VALUES('")) utf16 += std::string{c, '\0'};
    utf16 += std::string("\x13\x27\xE5\x65", 4);
    for (char c : std::string("')\r\n")) utf16 += std::string{c, '\0'};
    EXPECT_TRUE(Run(utf16)) << core.ReturnMessage();
    EXPECT_THAT(Stored(), ElementsAre(stored, stored, "\xE2\x9C\x93\xE6\x97\xA5"));
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(RunScriptTest, ATransactionTheScriptLeavesOpenIsRolledBackAndFailsTheRun) {
    const std::string left = "The script left a transaction open; it was rolled back";
    for (int32_t mode : {rmLineAtATime, rmCompleteScript}) {
        statuses.clear();
        EXPECT_FALSE(Run("BEGIN;\nINSERT INTO s VALUES('a');\n", mode));
        EXPECT_EQ(core.ReturnMessage(), left);
        EXPECT_EQ(statuses.back(), left);
        EXPECT_TRUE(Stored().empty());
    }
    // A failure inside the script's transaction does not leave the session in it.
    EXPECT_FALSE(Run("BEGIN\nINSERT INTO s VALUES('b')\nINSERT INTO nope VALUES(1)\n"));
    EXPECT_EQ(core.ReturnMessage(), "Error executing SQL statement");
    EXPECT_TRUE(Run("INSERT INTO s VALUES('c')\nBEGIN\nINSERT INTO s VALUES('d')\nCOMMIT\n")) << core.ReturnMessage();
    EXPECT_THAT(Stored(), ElementsAre("c", "d"));
}

TEST_F(RunScriptTest, AFailingLineIsReportedWithItsNumberAndFirstCharacters) {
    std::string longLine = "INSERT INTO nope VALUES('";
    for (int i = 0; i < 250; ++i) longLine += "\xC3\xA9";  // two bytes, one character
    longLine += "')";
    EXPECT_FALSE(Run("INSERT INTO s VALUES('x')\n\n" + longLine + "\nINSERT INTO s VALUES('y')\n"));
    EXPECT_EQ(core.ReturnMessage(), "Error executing SQL statement");
    ASSERT_EQ(ui.shown.size(), 1u);
    std::string first200 = longLine.substr(0, 25);
    for (int i = 0; i < 175; ++i) first200 += "\xC3\xA9";
    EXPECT_TRUE(ui.shown[0].text.ends_with("\r\nExtra Info: Line 3: " + first200)) << ui.shown[0].text;
    EXPECT_THAT(Stored(), ElementsAre("x"));
}

}  // namespace
}  // namespace qarn::control
