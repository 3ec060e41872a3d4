// Generating a script through the control's core on SQLite files: what each
// failure says and leaves on disk, the status texts, the head line and the
// literals per server kind, identity columns, the table the lines name;
// and connecting and disconnecting, which every generation needs first,
// with the connection string shown masked.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <thread>

#include "basSQLGenComp.h"
#include "logic/ControlCore.h"
#include "support/TestSupport.h"

namespace qarn::control {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// Two rows with awkward text, a NULL in each other column, and an identity
// column whose values are not 1 and 2.
constexpr const char* kTable =
    "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, price REAL, born DATE, ok BOOLEAN);"
    "INSERT INTO t VALUES(3, 'it''s \"q\"', 1.5, '2024-02-29', TRUE);"
    "INSERT INTO t VALUES(7, 'Château ✓ 日本' || char(13, 10) || 'end', NULL, NULL, FALSE);"
    "CREATE TABLE u(k INTEGER);"
    "INSERT INTO u VALUES(7);";

constexpr const char* kSqlite = "Provider=SQLite;Data Source=";
constexpr const char* kJet = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";

class GenerateTest : public ::testing::Test {
protected:
    void SetUp() override {
        gblnCloseDB();
        core.OnStatusTextChanged([this] { statuses.push_back(core.StatusText()); });
    }
    void TearDown() override { gblnCloseDB(); }

    // Connects the core to a new database file holding kTable.
    void Open(const std::string& provider = kSqlite) {
        ASSERT_TRUE(core.Connect(provider + test::MakeSqliteDatabase(kTable))) << core.ReturnMessage();
        statuses.clear();
    }

    // A path holding a script from an earlier run.
    static std::string OldScript() {
        const std::string path = test::ScratchPath("out.sql");
        test::WriteBytes(path, "old script\r\n");
        return path;
    }

    // Generates and keeps only this call's status texts.
    bool Generate(const std::string& path, const std::string& select, bool truncate = false) {
        statuses.clear();
        return core.Generate(path, select, truncate);
    }

    // The file's lines; every line must end with CR LF and hold no other break.
    static std::vector<std::string> Lines(const std::string& path) {
        std::vector<std::string> lines;
        const std::string bytes = test::ReadBytes(path);
        size_t from = 0;
        for (size_t end = bytes.find("\r\n"); end != std::string::npos; end = bytes.find("\r\n", from)) {
            lines.push_back(bytes.substr(from, end - from));
            EXPECT_EQ(lines.back().find_first_of("\r\n"), std::string::npos) << lines.back();
            from = end + 2;
        }
        EXPECT_EQ(from, bytes.size()) << "the last line has no CR LF: " << bytes.substr(from);
        return lines;
    }

    // A failed generation: its message returned and shown as the last status.
    void ExpectFailure(bool result, const std::vector<std::string>& expectedStatuses) {
        EXPECT_FALSE(result);
        EXPECT_EQ(statuses, expectedStatuses);
        EXPECT_EQ(core.ReturnMessage(), expectedStatuses.back());
        EXPECT_EQ(core.StatusText(), expectedStatuses.back());
    }

    test::RecordingUserInterface ui;
    ControlCore core;
    std::vector<std::string> statuses;
};

std::string Generating(const std::string& path) {
    return "Generating SQL Insert statements for script " + path;
}

// A refused statement fails before the output file is touched.
TEST_F(GenerateTest, RefusedStatementsLeaveTheFileSystemAlone) {
    Open();
    const std::string path = OldScript();
    const std::string inMissingFolder = test::ScratchPath("missing") + "/out.sql";
    struct Case {
        const char* statement;
        const char* status;
        const char* shown;  // the report's text, its Extra Info, or nothing shown
    };
    const Case cases[] = {
        {"", "Please supply a SQL statement", nullptr},
        {"SELECT 1", "Error in SQL statement", "No FROM clause in the select statement"},
        {"SELECT * FROM", "Error in SQL statement", nullptr},
        {"DELETE FROM t", "Error in SQL statement", "it is not a SELECT: it begins with DELETE"},
    };
    for (const std::string& target : {path, inMissingFolder}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.statement);
            ui.shown.clear();
            ExpectFailure(Generate(target, c.statement), {c.status});
            if (!c.shown) {
                EXPECT_TRUE(ui.shown.empty());
                continue;
            }
            ASSERT_EQ(ui.shown.size(), 1u);
            if (std::string(c.statement) == "SELECT 1") {
                EXPECT_EQ(ui.shown[0].text, c.shown);
                continue;
            }
            EXPECT_EQ(ui.shown[0].icon, MsgIcon::Critical);
            EXPECT_THAT(ui.shown[0].text, HasSubstr("qarnSqlGenCntl!Generate"));
            EXPECT_THAT(ui.shown[0].text, HasSubstr("\r\nExtra Info: " + std::string(c.shown)));
        }
    }
    EXPECT_EQ(test::ReadBytes(path), "old script\r\n");
    EXPECT_FALSE(fs::exists(fs::path(inMissingFolder).parent_path()));
}

TEST_F(GenerateTest, OutputFileThatCannotBeCreatedFailsBeforeTheSelectRuns) {
    Open();
    const std::string inMissingFolder = test::ScratchPath("missing") + "/out.sql";
    const std::string folder = test::ScratchPath("folder.sql");
    fs::create_directory(folder);
    test::WriteBytes(folder + "/inside", "kept");

    for (const std::string& target : {inMissingFolder, folder}) {
        // Run, this SELECT would be reported: nothing is shown, so it never ran.
        ExpectFailure(Generate(target, "SELECT * FROM no_such_table"),
                      {Generating(target), "Unable to open the output file " + target});
        EXPECT_TRUE(ui.shown.empty());
    }
    EXPECT_FALSE(fs::exists(fs::path(inMissingFolder).parent_path()));
    EXPECT_EQ(test::ReadBytes(folder + "/inside"), "kept");
}

TEST_F(GenerateTest, AFailingSelectIsReportedAsTypedAndLeavesNoScript) {
    Open();
    const std::string path = OldScript();
    size_t reportsAtLastStatus = 0;
    core.OnStatusTextChanged([&] {
        statuses.push_back(core.StatusText());
        reportsAtLastStatus = ui.shown.size();
    });
    ExpectFailure(Generate(path, "SELECT nope \nFROM main.t\r\nWHERE main.t.id > 1"),
                  {Generating(path), "Error in SQL statement"});
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(reportsAtLastStatus, 1u);  // the database layer reported before the run failed
    EXPECT_THAT(ui.shown[0].text,
                HasSubstr("\r\nExtra Info: Sql String = SELECT nope \nFROM main.t\r\nWHERE main.t.id > 1"));
    EXPECT_THAT(ui.shown[0].text, HasSubstr("no such column: nope"));
    // The old script is gone, and no part of a new one took its place.
    EXPECT_FALSE(fs::exists(path));
    for (const auto& entry : fs::directory_iterator(fs::path(path).parent_path()))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << entry.path();
}

TEST_F(GenerateTest, NoRowsOrNoWritableColumnLeaveNoScript) {
    Open();
    const std::string path = OldScript();
    ExpectFailure(Generate(path, "SELECT * FROM t WHERE id < 0"),
                  {Generating(path), "Select statement has not returned any rows"});
    EXPECT_FALSE(fs::exists(path));

    // Only the identity column, left out.
    test::WriteBytes(path, "old script\r\n");
    EXPECT_FALSE(Generate(path, "SELECT id FROM t"));
    ASSERT_EQ(statuses.size(), 2u);
    EXPECT_EQ(statuses[0], Generating(path));
    EXPECT_THAT(statuses[1], StartsWith("Error generating statements: "));
    EXPECT_EQ(core.ReturnMessage(), statuses[1]);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(ui.shown.empty());
}

// One UTF-8 line per row, no byte order mark; identity values only when
// asked for and never SET IDENTITY_INSERT; the table named as written, the
// first of a list or join; a later run replaces the whole file.
TEST_F(GenerateTest, SuccessWritesOneLinePerRowIntoTheTableAsWritten) {
    const std::string chateau = "'Ch\xC3\xA2teau \xE2\x9C\x93 \xE6\x97\xA5\xE6\x9C\xAC' || char(13,10) || 'end'";
    struct Case {
        const char* provider;
        const char* select;
        bool truncate, ident;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {kSqlite,
         "SELECT name FROM main.t WHERE main.t.id > 3",
         true,
         false,
         {"DELETE FROM main.t", "INSERT INTO main.t([name]) VALUES(" + chateau + ")"}},
        {kSqlite, "SELECT t.price FROM t,u WHERE u.k = t.id", false, false, {"INSERT INTO t([price]) VALUES(NULL)"}},
        {kSqlite,
         "SELECT (SELECT k FROM u) AS k, price FROM [t] WHERE id = 3",
         false,
         false,
         {"INSERT INTO [t]([k], [price]) VALUES(7, 1.5)"}},
        {kJet,
         "SELECT * FROM main.t",
         true,
         true,
         {"DELETE FROM main.t",
          "INSERT INTO main.t([id], [name], [price], [born], [ok]) VALUES(3, 'it''s \"q\"', 1.5, '2024-02-29', 1)",
          "INSERT INTO main.t([id], [name], [price], [born], [ok]) VALUES(7, " + chateau + ", NULL, NULL, 0)"}},
    };
    const std::string path = test::ScratchPath("out.sql");
    const char* open = nullptr;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.select);
        if (c.provider != open) Open(open = c.provider);
        core.SetIncludeIdent(c.ident);
        EXPECT_TRUE(Generate(path, c.select, c.truncate)) << core.ReturnMessage();
        EXPECT_EQ(core.ReturnMessage(), "");
        EXPECT_THAT(statuses, ElementsAre(Generating(path), "Statements Generated"));
        EXPECT_EQ(Lines(path), c.lines);
    }
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(GenerateTest, ConnectingAndDisconnecting) {
    EXPECT_FALSE(core.Connect());
    EXPECT_EQ(core.ReturnMessage(), "No connection string supplied");
    EXPECT_TRUE(statuses.empty());

    // A data-link path that cannot be read says why, and shows nothing.
    const std::string db = test::MakeSqliteDatabase(kTable);
    const std::string folder = test::ScratchPath("folder.udl");
    fs::create_directory(folder);
    const std::string missing = test::ScratchPath("missing.udl");
    test::PipeFile pipe("[oledb]\r\n" + std::string(kSqlite) + db + "\r\n");
    const std::pair<std::string, std::string> links[] = {
        {missing, "The specified UDL file does not exist: " + missing},
        {folder, "The specified UDL file is not a file: " + folder},
        {pipe.path(), ""},
    };
    for (const auto& [link, message] : links) {
        SCOPED_TRACE(link);
        EXPECT_EQ(core.Connect("", link), message.empty());
        EXPECT_EQ(core.ReturnMessage(), message);
        EXPECT_EQ(core.State(), message.empty() ? stConnected : stNotConnected);
    }
    EXPECT_TRUE(statuses.empty());
    EXPECT_TRUE(ui.shown.empty());
    const std::string path = test::ScratchPath("out.sql");
    EXPECT_TRUE(Generate(path, "SELECT price FROM t WHERE id = 3"));
    EXPECT_THAT(Lines(path), ElementsAre("INSERT INTO t([price]) VALUES(1.5)"));
    statuses.clear();
    core.Disconnect(true);
    EXPECT_EQ(core.State(), stNotConnected);
    EXPECT_THAT(statuses, ElementsAre("Connection Closed"));
    EXPECT_EQ(gcnnDB, nullptr);

    // The status texts of a connection string's connect and of a quiet disconnect: the host's tests.
    statuses.clear();
    EXPECT_FALSE(core.Connect(std::string(kSqlite) + test::ScratchPath("missing.db")));
    EXPECT_EQ(core.ReturnMessage(), "Connection Failed");
    EXPECT_EQ(core.State(), stNotConnected);
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.front(), "Connecting to database");
    EXPECT_THAT(statuses, ::testing::Not(::testing::Contains("Connected")));
    EXPECT_EQ(ui.shown.size(), 1u);  // the database layer's report
}

TEST(ConnectionStringForDisplayTest, EveryPasswordEntryTheEngineReadsIsMaskedAndNothingElse) {
    const std::pair<std::string, std::string> cases[] = {
        {"Password=secret;User ID=sa", "password=**********;User ID=sa"},
        {" PassWord\t= 'a;b' ;;x=1;", "password=**********;;x=1;"},
        {"Pwd=1;Password=2", "pwd=**********;password=**********"},
        {"UID=a;PWD={x;y}};z};DSN=d", "UID=a;pwd=**********;DSN=d"},
        {"Password=\"p;q\"", "password=**********"},
        {"User=a;;Password=;x", "User=a;;password=**********;x"},
        {"pwd", "pwd=**********"},
        // A value that merely holds the word is no password entry.
        {"Data Source=x;App=password=1", "Data Source=x;App=password=1"},
        {"App=password=1;PWD=s", "App=password=1;pwd=**********"},
        {"Passwords=x; Data Source = y ;", "Passwords=x; Data Source = y ;"},
        {"", ""},
    };
    for (const auto& [in, shown] : cases) EXPECT_EQ(ConnectionStringForDisplay(in), shown) << in;
}

TEST_F(GenerateTest, NeverWritesItsScriptOverWhatItReads) {
    const std::string db = test::MakeSqliteDatabase(kTable);
    const std::string link = test::ScratchPath("link.db");
    fs::create_symlink(db, link);
    const std::string udl = test::ScratchPath("db.udl");
    test::WriteBytes(udl, std::string(kSqlite) + db + "\r\n");
    const std::string dbBytes = test::ReadBytes(db), udlBytes = test::ReadBytes(udl);

    for (bool viaUdl : {false, true}) {
        ASSERT_TRUE(viaUdl ? core.Connect("", udl) : core.Connect(kSqlite + db)) << core.ReturnMessage();
        std::vector<std::pair<std::string, std::string>> cases = {{db, "it is the database being read"},
                                                                  {link, "it is the database being read"}};
        if (viaUdl) cases.emplace_back(udl, "it is the UDL file being read");
        for (const auto& [target, why] : cases) {
            ExpectFailure(Generate(target, "SELECT * FROM t"),
                          {"Unable to open the output file " + target + ": " + why});
            EXPECT_TRUE(fs::is_symlink(link));
        }
        core.Disconnect(false);
    }
    EXPECT_EQ(test::ReadBytes(db), dbBytes);
    EXPECT_EQ(test::ReadBytes(udl), udlBytes);
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(GenerateTest, ALinkIsReplacedAndAStreamIsWrittenDirectly) {
    Open();
    const std::string target = OldScript();
    const std::string link = test::ScratchPath("link.sql");
    fs::create_symlink(target, link);
    EXPECT_TRUE(Generate(link, "SELECT k FROM u")) << core.ReturnMessage();
    EXPECT_FALSE(fs::is_symlink(link));
    EXPECT_THAT(Lines(link), ElementsAre("INSERT INTO u([k]) VALUES(7)"));
    EXPECT_EQ(test::ReadBytes(target), "old script\r\n");

    EXPECT_TRUE(Generate("/dev/null", "SELECT k FROM u")) << core.ReturnMessage();
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    const std::string fifo = test::ScratchPath("pipe.sql");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = test::ReadBytes(fifo); });
    EXPECT_TRUE(Generate(fifo, "SELECT k FROM u")) << core.ReturnMessage();
    reader.join();
    EXPECT_EQ(received, "INSERT INTO u([k]) VALUES(7)\r\n");
    EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST_F(GenerateTest, OrderByKeyPutsTheRowsInKeyOrderWhereTheStatementHasNone) {
    ASSERT_TRUE(core.Connect(kSqlite + test::MakeSqliteDatabase("CREATE TABLE k(code TEXT PRIMARY KEY, v INT);"
                                                                "INSERT INTO k VALUES('c', 1), ('a', 3), ('b', 2);"
                                                                "CREATE TABLE n(a INT, b TEXT);"
                                                                "INSERT INTO n VALUES(2, 'x'), (1, 'y'), (1, 'a');")));
    core.SetOrderByKey(true);
    const std::string path = test::ScratchPath("out.sql");
    struct Case {
        const char* statement;
        std::vector<std::string> firstValues;
    };
    for (const Case& c :
         {Case{"SELECT * FROM k", {"'a'", "'b'", "'c'"}}, Case{"SELECT v, code FROM k -- no order\n", {"3", "2", "1"}},
          Case{"SELECT * FROM k LIMIT 2;", {"'a'", "'b'"}}, Case{"SELECT * FROM k ORDER BY v", {"'c'", "'b'", "'a'"}},
          Case{"SELECT * FROM n", {"1, 'a'", "1, 'y'", "2, 'x'"}}}) {
        ASSERT_TRUE(Generate(path, c.statement)) << c.statement << ": " << core.ReturnMessage();
        std::vector<std::string> first;
        for (const std::string& line : Lines(path)) {
            const size_t open = line.find("VALUES(") + 7;
            first.push_back(line.substr(open, line.find(c.firstValues[0].size() > 3 ? ")" : ",", open) - open));
        }
        EXPECT_EQ(first, c.firstValues) << c.statement;
    }
}

// NAME.gz is a gzip file, and RunScript reads it back as the script it holds.
TEST_F(GenerateTest, AScriptNamedGzIsCompressedAndRunsAsItIs) {
    Open();
    const std::string plain = test::ScratchPath("out.sql"), path = plain + ".gz",
                      again = test::ScratchPath("again.sql");
    ASSERT_TRUE(Generate(plain, "SELECT * FROM t", true)) << core.ReturnMessage();
    ASSERT_TRUE(Generate(path, "SELECT * FROM t", true)) << core.ReturnMessage();
    EXPECT_TRUE(test::ReadBytes(path).starts_with("\x1f\x8b"));
    // Replayed into the same table: DELETE first, then the two rows again.
    ASSERT_TRUE(core.RunScript(path)) << core.ReturnMessage();
    ASSERT_TRUE(Generate(again, "SELECT * FROM t", true)) << core.ReturnMessage();
    EXPECT_EQ(test::ReadBytes(again), test::ReadBytes(plain));
}

}  // namespace
}  // namespace qarn::control
