// The shared per-thread session: opening by connection string or data-link
// file, the server kind, and closing.
#include <gtest/gtest.h>

#include "ado/Command.h"
#include "basErrorHandlerADO.h"
#include "basSQLGenComp.h"
#include "support/TestSupport.h"

using namespace qarn;

namespace {
class SessionTest : public ::testing::Test {
protected:
    void TearDown() override {
        gblnCloseDB();
        gcnnDB.reset();
        gobjSQLADO.reset();
        glngServerKind = 0;
    }
    test::RecordingUserInterface ui;
};

std::string SqliteString(const std::string& file) {
    return "Provider=SQLite;Data Source=" + file;
}

std::string Udl(const std::string& body) {
    std::string path = test::ScratchPath("link.udl");
    test::WriteBytes(path, body);
    return path;
}

std::string FirstValueText(const std::shared_ptr<ado::Connection>& c, const std::string& sql) {
    auto cmd = ado::Command::Create();
    cmd->SetActiveConnection(c);
    cmd->SetCommandText(sql);
    auto rs = cmd->Execute();
    return rs->Eof() ? "<no rows>" : rs->Fields(0).Value().ToText();
}
}  // namespace

TEST_F(SessionTest, OpenWhileOpenKeepsTheConnectionAndItsKind) {
    std::string first = test::MakeSqliteDatabase("CREATE TABLE a(x); INSERT INTO a VALUES('first');");
    ASSERT_TRUE(gblnOpenDB("", SqliteString(first)));
    auto connection = gcnnDB;
    auto wrapper = gobjSQLADO;
    EXPECT_EQ(glngServerKind, 5);
    EXPECT_TRUE(gblnOpenDB("", "Provider=SQLOLEDB;Data Source=elsewhere"));
    EXPECT_TRUE(gblnOpenDB(Udl("Provider=MSDASQL;DSN=x\r\n"), ""));
    EXPECT_EQ(gcnnDB, connection);
    EXPECT_EQ(gobjSQLADO, wrapper);
    EXPECT_EQ(glngServerKind, 5);
    EXPECT_EQ(FirstValueText(gcnnDB, "SELECT x FROM a"), "first");
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(SessionTest, CloseDropsTheConnectionAndKeepsTheWrapperWithoutOne) {
    EXPECT_TRUE(gblnCloseDB());  // nothing open: nothing happens
    EXPECT_FALSE(gblnOpenDB("", "Provider=SQLite;Data Source=/no/such/dir/x.db"));
    auto neverOpened = gcnnDB;
    ASSERT_NE(neverOpened, nullptr);
    EXPECT_TRUE(gblnCloseDB());
    EXPECT_EQ(gcnnDB, neverOpened);  // a connection that never opened is left alone

    ASSERT_TRUE(gblnOpenDB("", SqliteString(test::MakeSqliteDatabase("CREATE TABLE a(x);"))));
    auto wrapper = gobjSQLADO;
    EXPECT_TRUE(gblnCloseDB());
    EXPECT_EQ(gcnnDB, nullptr);
    EXPECT_EQ(gobjSQLADO, wrapper);
    EXPECT_EQ(gobjSQLADO->ActiveConnection(), nullptr);
    ASSERT_TRUE(gblnOpenDB("", SqliteString(test::MakeSqliteDatabase("CREATE TABLE b(x);"))));
    EXPECT_NE(gobjSQLADO, wrapper);
}

TEST_F(SessionTest, FailedOpenIsReportedAndTheKindDescribesTheFailedString) {
    EXPECT_FALSE(gblnOpenDB("", "Provider=MSDAORA;Data Source=ora"));
    EXPECT_EQ(glngServerKind, 5);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].kind, "message");  // no provider errors: a message box
    EXPECT_EQ(ui.shown[0].text,
              BuildErrorReport("basSQLGen!gblnOpenDB",
                               {3706, "Provider cannot be found. It may not be properly installed."}, ""));

    EXPECT_FALSE(gblnOpenDB("", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/no/such.mdb"));
    EXPECT_EQ(glngServerKind, 0);
    ASSERT_EQ(ui.shown.size(), 2u);
    EXPECT_EQ(ui.shown[1].kind, "error-window");
    EXPECT_EQ(ui.shown[1].providerErrors, std::vector<std::string>{"-2147467259 Could not find file '/no/such.mdb'."});
}

TEST_F(SessionTest, DataLinkFileSkipsHeadersAndCommentsInAnyEncoding) {
    std::string db = test::MakeSqliteDatabase("CREATE TABLE a(x); INSERT INTO a VALUES(42);");
    std::string line = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + db;
    EXPECT_EQ(gstrReadUDL(Udl("[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n" + line +
                              "\r\nProvider=MSDASQL\r\n")),
              line);
    EXPECT_EQ(glngServerKind, 0);
    EXPECT_EQ(gstrReadUDL(Udl("[a]\r\n;b\r\n[c]")), "[c]");  // every line skipped: the last one

    std::string utf16 = "\xFF\xFE";
    for (char c : "[oledb]\r\n" + line + "\r\n") utf16 += std::string{c, '\0'};
    ASSERT_TRUE(gblnOpenDB(Udl(utf16), ""));
    EXPECT_EQ(glngServerKind, 0);
    EXPECT_EQ(FirstValueText(gcnnDB, "SELECT x FROM a"), "42");
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(SessionTest, DataLinkWithoutAConnectionLineShowsItsMessageAndOpensNothing) {
    std::string line = SqliteString(test::MakeSqliteDatabase("CREATE TABLE a(x);"));
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"UTF-16LE mark only", "\xFF\xFE"},
        {"blank connection line", "[oledb]\r\n\r\r\n"},
        {"over 1 MB", "[oledb]\r\n" + line + "\r\n" + std::string(1 << 20, ';')},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        ui.shown.clear();
        EXPECT_FALSE(gblnOpenDB(Udl(bytes), ""));
        ASSERT_EQ(ui.shown.size(), 1u) << "no connection is tried with an empty string";
        EXPECT_EQ(ui.shown[0].text, "This is a not a valid UDL file");
        EXPECT_EQ(ui.shown[0].icon, MsgIcon::Exclamation);
        EXPECT_FALSE(gcnnDB && gcnnDB->State() == ado::adStateOpen);
    }

    ui.shown.clear();
    std::string missing = test::ScratchPath("missing.udl");
    EXPECT_FALSE(gblnOpenDB(missing, ""));
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_NE(ui.shown[0].text.find("Error Number: 53"), std::string::npos);
    EXPECT_NE(ui.shown[0].text.find(missing), std::string::npos);
}

TEST_F(SessionTest, SessionKnowsTheDataLinkItWasOpenedFrom) {
    std::string line = SqliteString(test::MakeSqliteDatabase("CREATE TABLE a(x); INSERT INTO a VALUES(7);"));
    // A line ending in CR CR LF, in a file of exactly 1 MB.
    std::string udl = "[oledb]\r\n" + line + "\r\r\n";
    udl += std::string((1 << 20) - udl.size(), ';');
    std::string file = Udl(udl);
    EXPECT_EQ(gstrReadUDL(file), line);
    test::PipeFile pipe("[oledb]\r\n" + line + "\r\n");
    for (const std::string& path : {file, pipe.path()}) {
        ASSERT_TRUE(gblnOpenDB(path, "")) << path;
        EXPECT_EQ(gstrSessionUDLFile(), path);
        EXPECT_EQ(FirstValueText(gcnnDB, "SELECT x FROM a"), "7");
        EXPECT_TRUE(gblnCloseDB());
        EXPECT_EQ(gstrSessionUDLFile(), "");
    }
    ASSERT_TRUE(gblnOpenDB("", line));
    EXPECT_EQ(gstrSessionUDLFile(), "");
    EXPECT_TRUE(ui.shown.empty());
}
