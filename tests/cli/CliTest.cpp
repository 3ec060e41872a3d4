// qarnSqlGenCli as users and scripts meet it: the built program run as a
// child process with no display and no standard input, judged by its exit
// code, its two output streams and the databases and files it leaves.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QProcess>
#include <chrono>
#include <csignal>
#include <functional>
#include <thread>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/CliSupport.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using namespace qarn::test::cli;
using qarn::test::MakeSqliteDatabase;
using qarn::test::ReadBytes;
using qarn::test::ScratchDir;
using qarn::test::ScratchPath;
using qarn::test::WriteBytes;

// Every row of `select`, each value with its storage class, reals to the last bit.
std::vector<std::string> Rows(const std::string& dbPath, const std::string& select) {
    std::vector<std::string> rows;
    sqlite3* db = nullptr;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db, select.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "cannot read " << dbPath << ": " << sqlite3_errmsg(db);
    }
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
        std::string row;
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            char real[40];
            switch (sqlite3_column_type(stmt, i)) {
            case SQLITE_NULL: row += "null"; break;
            case SQLITE_INTEGER: row += "int:" + std::to_string(sqlite3_column_int64(stmt, i)); break;
            case SQLITE_FLOAT:
                std::snprintf(real, sizeof real, "%.17g", sqlite3_column_double(stmt, i));
                row += std::string("real:") + real;
                break;
            case SQLITE_BLOB: {
                const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(stmt, i));
                row += "blob:";
                for (int b = 0; b < sqlite3_column_bytes(stmt, i); ++b) row += std::to_string(bytes[b]) + ",";
                break;
            }
            default: row += "text:" + std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)));
            }
            row += '|';
        }
        rows.push_back(row);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

constexpr const char* kWinesTable =
    "CREATE TABLE wines(id INTEGER PRIMARY KEY, name TEXT NOT NULL, vintage INTEGER, price REAL, "
    "tasted TEXT, instock INTEGER, notes TEXT);";

// Values that are easy to get wrong in a script: quotes, accents, a line
// break, NULLs, an empty text, reals that do not print short.
const std::string kWines = std::string(kWinesTable) +
    "INSERT INTO wines VALUES(1, 'Château d''Yquem', 2001, 465.5, '2011-03-14 10:30:00', 1, 'Sauternes');"
    "INSERT INTO wines VALUES(2, 'Côtes du Rhône', NULL, 0.1, '2021-06-02', 0, NULL);"
    "INSERT INTO wines VALUES(3, 'Taylor''s Port', 2017, 1e-7, NULL, 1, 'two' || char(10) || 'lines');"
    "INSERT INTO wines VALUES(4, 'Grüner Veltliner', 2021, -21.3, '2022-10-01 14:45:00', NULL, '');"
    "INSERT INTO wines VALUES(7, 'Riesling Spätlese', 2019, 2.0 / 3.0, '2021-02-14', 1, 'Off-dry');";
constexpr int kWineCount = 5;

std::string SqliteConnection(const std::string& path) { return "Provider=SQLite;Data Source=" + path; }

bool EmptyFolder(const std::string& dir) { return fs::is_empty(dir); }

TEST(CliCommandLine, HelpAndVersionGoToStandardOutput) {
    for (const auto& args : std::vector<std::vector<std::string>>{{"--help"}, {"-h"}, {"generate", "--help"}}) {
        CliRun r = RunCli(args);
        EXPECT_EQ(r.exitCode, 0) << args.back();
        EXPECT_TRUE(Contains(r.out, "qarnSqlGenCli generate (-c CONNECTION | -c - | -u UDLFILE) -s SELECT")) << r.out;
        EXPECT_EQ(r.err, "");
    }
    CliRun v = RunCli({"--version"});
    EXPECT_EQ(v.exitCode, 0);
    EXPECT_EQ(v.out, "qarnSqlGenCli " QARN_PROJECT_VERSION "\n");
    EXPECT_EQ(v.err, "");
}

TEST(CliCommandLine, MistakesExitTwoWithTheReasonAndTheUsage) {
    const std::string db = MakeSqliteDatabase(kWines);
    const std::string c = SqliteConnection(db);
    const std::string s = "SELECT * FROM wines";
    const std::string workDir = MakeFolder("usage");
    struct Case {
        std::vector<std::string> args;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {{}, "no command given"},
        {{"export", "-c", c, "-s", s}, "unknown command 'export'"},
        {{"generate", "-s", s}, "missing -c CONNECTION or -u UDLFILE"},
        {{"generate", "-c", c, "-u", "x.udl", "-s", s}, "not both"},
        {{"generate", "-c", c}, "missing -s SELECT"},
        {{"generate", "-c", c, "-s", ""}, "-s SELECT is empty"},
        {{"generate", "-c", c, "-s", s, "--bogus"}, "unknown option '--bogus'"},
        {{"generate", "-c", c, "-s"}, "-s/--select needs a value"},
        {{"generate", "-c", c, "-c", c, "-s", s}, "given more than once"},
        {{"generate", "-c", c, "-s", s, "stray"}, "unexpected argument 'stray'"},
        {{"generate", "-c", c, "-s", s, "-f", "a.sql"}, "-f/--file does not apply to generate"},
        {{"run", "-c", c, "-f", "a.sql", "--mode", "fast"}, "--mode must be line, complete or statements"},
        {{"run", "-c", c, "-f", "a.sql", "--on-error", "skip"}, "--on-error must be stop or continue"},
        {{"run", "-c", c, "-f", "a.sql", "--error-log", "e.log"}, "--error-log needs --on-error continue"},
        {{"run", "-c", c, "-f", "a.sql", "--on-error", "continue", "--single-transaction"},
         "--on-error continue cannot go with --single-transaction"},
        {{"run", "-c", c, "-f", "a.sql", "--commit-every", "ten"}, "--commit-every must be a whole number"},
        {{"run", "-c", c, "-f", "a.sql", "--commit-every", "5", "--single-transaction"},
         "--commit-every cannot go with --single-transaction"},
        {{"generate", "-c", c, "-s", s, "--on-error", "stop"}, "--on-error does not apply to generate"},
        {{"run", "-c", c, "-f", "a.sql", "--truncate"}, "--truncate does not apply to run"},
    };
    for (const auto& k : cases) {
        CliRun r = RunCli(k.args, workDir);
        EXPECT_EQ(r.exitCode, 2) << k.reason;
        EXPECT_TRUE(Contains(r.err, k.reason)) << r.err;
        EXPECT_TRUE(Contains(r.err, "Usage:")) << r.err;
        EXPECT_EQ(r.out, "") << k.reason;
    }
    // Nothing ran: no script appeared where the default one would go.
    EXPECT_TRUE(EmptyFolder(workDir));
}

TEST(CliGenerate, DashWritesOnlyTheInsertLinesToStandardOutput) {
    const std::string db = MakeSqliteDatabase(kWines);
    CliRun r = RunCli({"generate", "-c", SqliteConnection(db), "-s", "SELECT * FROM wines", "-o", "-"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> lines = ScriptLines(r.out);
    ASSERT_EQ(lines.size(), static_cast<size_t>(kWineCount)) << r.out;
    for (const auto& line : lines) EXPECT_TRUE(line.starts_with("INSERT INTO wines(")) << line;
    EXPECT_TRUE(Contains(r.out, "'Château d''Yquem'")) << r.out;
    // Standard error holds the statuses, in the order they were set, and
    // nothing else: no warning of Qt or a library, even from a bare shell.
    EXPECT_EQ(r.err, "Connecting to database\nConnected\nGenerating SQL Insert statements for script /dev/stdout\n"
                     "Statements Generated\n");
    EXPECT_TRUE(EmptyFolder(ChildTempDir()));
}

// An interrupted Generate leaves neither a script nor its temporary file.
TEST(CliGenerate, AnInterruptLeavesNoScriptBehind) {
    const std::string db = MakeSqliteDatabase(
        "CREATE TABLE big(n INTEGER, t TEXT);"
        "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 1000000) "
        "INSERT INTO big SELECT i, 'row ' || i FROM c;");
    for (int signal : {SIGINT, SIGTERM}) {
        const std::string folder = MakeFolder("interrupted");
        const std::string out = folder + "/out.sql";
        WriteBytes(out, "old script\r\n");
        bool sawTemporary = false;
        CliRun r = RunCli({"generate", "-c", SqliteConnection(db), "-s", "SELECT * FROM big", "-o", out, "-q"}, {},
                          [&](QProcess& p) {
                              for (int i = 0; i < 3000 && !sawTemporary; ++i) {
                                  for (const auto& e : fs::directory_iterator(folder))
                                      sawTemporary = sawTemporary || e.path().filename().string().starts_with(".out.sql.");
                                  if (!sawTemporary) std::this_thread::sleep_for(std::chrono::milliseconds(10));
                              }
                              ::kill(static_cast<pid_t>(p.processId()), signal);
                          });
        EXPECT_TRUE(sawTemporary);
        EXPECT_TRUE(r.finished);
        EXPECT_NE(r.exitCode, 0);
        EXPECT_TRUE(EmptyFolder(folder)) << "signal " << signal;
    }
}

TEST(CliGenerate, QuietSilencesTheStatusesButNotTheFailure) {
    const std::string db = MakeSqliteDatabase(kWines);
    const std::string c = SqliteConnection(db);
    CliRun ok = RunCli({"generate", "-c", c, "-s", "SELECT * FROM wines", "-o", "-", "--quiet"});
    EXPECT_EQ(ok.exitCode, 0);
    EXPECT_EQ(ok.err, "");
    EXPECT_EQ(ScriptLines(ok.out).size(), static_cast<size_t>(kWineCount));

    CliRun bad = RunCli({"generate", "-c", c, "-s", "SELECT * FROM no_such_table", "-o", "-", "--quiet"});
    EXPECT_TRUE(bad.finished);
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.out, "") << "a failed run must print no part of a script";
    EXPECT_TRUE(Contains(bad.err, "qarnSqlGenCli: Error in SQL statement")) << bad.err;
    EXPECT_TRUE(Contains(bad.err, "no such table")) << "the provider's report is shown\n" << bad.err;
    EXPECT_TRUE(EmptyFolder(ChildTempDir()));
}

TEST(CliGenerate, MessageBoxesOfTheControlArePrinted) {
    // Without a FROM clause the control shows a message box; it must come out
    // as text (a window offscreen would wait for ever).
    const std::string db = MakeSqliteDatabase(kWines);
    CliRun r = RunCli({"generate", "-c", SqliteConnection(db), "-s", "SELECT 1", "-o", "-"});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "No FROM clause in the select statement")) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST(CliGenerate, WritesTheNamedOrTheDefaultFile) {
    const std::string db = MakeSqliteDatabase(kWines);
    const std::string c = SqliteConnection(db);
    const std::string workDir = MakeFolder("default-output");
    CliRun byDefault = RunCli({"generate", "-c", c, "-s", "SELECT * FROM wines", "--quiet"}, workDir);
    EXPECT_EQ(byDefault.exitCode, 0) << byDefault.err;
    EXPECT_EQ(byDefault.out, "");
    EXPECT_EQ(ScriptLines(ReadBytes(workDir + "/qarnSqlGen.sql")).size(), static_cast<size_t>(kWineCount));

    const std::string named = ScratchPath("named.sql");
    CliRun r = RunCli({"generate", "-c", c, "-s", "SELECT * FROM wines WHERE vintage > 2010", "-o", named});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ScriptLines(ReadBytes(named)).size(), 3u);
    EXPECT_TRUE(Contains(r.err, "Generating SQL Insert statements for script " + named)) << r.err;

    // A folder cannot be the script: the run fails and the folder stays.
    CliRun intoFolder = RunCli({"generate", "-c", c, "-s", "SELECT * FROM wines", "-o", workDir});
    EXPECT_EQ(intoFolder.exitCode, 1);
    EXPECT_TRUE(Contains(intoFolder.err, "Unable to open the output file")) << intoFolder.err;
    EXPECT_TRUE(fs::is_directory(workDir));
}

TEST(CliGenerate, TruncateAndIncludeIdentityReachTheControl) {
    const std::string db = MakeSqliteDatabase(kWines);
    const std::string c = SqliteConnection(db);
    const std::string s = "SELECT * FROM wines";
    std::vector<std::string> plain =
        ScriptLines(RunCli({"generate", "--connection=" + c, "--select=" + s, "--output=-", "--quiet"}).out);
    std::vector<std::string> both =
        ScriptLines(RunCli({"generate", "-c", c, "-s", s, "-o", "-", "-q", "--truncate", "--include-identity"}).out);
    ASSERT_EQ(plain.size(), static_cast<size_t>(kWineCount));
    ASSERT_EQ(both.size(), static_cast<size_t>(kWineCount + 1));
    EXPECT_TRUE(plain[0].starts_with("INSERT INTO wines([name]")) << plain[0];
    EXPECT_EQ(both[0], "DELETE FROM wines");
    EXPECT_TRUE(both[1].starts_with("INSERT INTO wines([id], [name]")) << both[1];
}

TEST(CliConnect, DataLinkFilesInUtf16AndUtf8Connect) {
    // The database sits in a folder with an accent, so the data link's text
    // must be decoded, not just copied.
    const std::string dir = MakeFolder("caves-é");
    const std::string db = dir + "/wines.db";
    fs::copy_file(MakeSqliteDatabase(kWines), db);
    const std::string link = "[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n" +
                             SqliteConnection(db) + "\r\n";
    std::string utf16 = "\xFF\xFE";
    for (QChar unit : QString::fromStdString(link)) {
        utf16 += static_cast<char>(unit.unicode() & 0xFF);
        utf16 += static_cast<char>(unit.unicode() >> 8);
    }
    const std::string utf16File = ScratchPath("utf16.udl");
    const std::string utf8File = ScratchPath("utf8.udl");
    WriteBytes(utf16File, utf16);
    WriteBytes(utf8File, link);
    for (const auto& file : {utf16File, utf8File}) {
        CliRun r = RunCli({"generate", "-u", file, "-s", "SELECT * FROM wines", "-o", "-", "-q"});
        EXPECT_EQ(r.exitCode, 0) << file << "\n" << r.err;
        EXPECT_EQ(ScriptLines(r.out).size(), static_cast<size_t>(kWineCount)) << file;
    }
}

TEST(CliConnect, FailuresExitOneWithTheReport) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> expected;  // each must be on standard error
    };
    const std::string missingDb = ScratchPath("missing.db");
    const std::vector<Case> cases = {
        {{"-c", "Provider=NoSuchProvider.1;Data Source=x"},
         {"Provider cannot be found", "qarnSqlGenCli: Connection Failed"}},
        {{"-c", SqliteConnection(missingDb)}, {"qarnSqlGenCli: Connection Failed"}},
        {{"-u", ScratchPath("missing.udl")}, {"qarnSqlGenCli: The specified UDL file does not exist"}},
    };
    for (const auto& k : cases) {
        std::vector<std::string> args{"generate"};
        args.insert(args.end(), k.args.begin(), k.args.end());
        args.insert(args.end(), {"-s", "SELECT * FROM wines", "-o", "-"});
        CliRun r = RunCli(args);
        ASSERT_TRUE(r.finished) << k.args[1];
        EXPECT_EQ(r.exitCode, 1) << k.args[1];
        EXPECT_EQ(r.out, "");
        for (const auto& text : k.expected) EXPECT_TRUE(Contains(r.err, text)) << text << "\n" << r.err;
    }
    EXPECT_FALSE(fs::exists(missingDb)) << "a failed connection created the database";
    EXPECT_TRUE(EmptyFolder(ChildTempDir()));
}

TEST(CliRun, ReplayingAGeneratedScriptGivesIdenticalRows) {
    const std::string source = MakeSqliteDatabase(kWines);
    const std::string script = ScratchPath("wines.sql");
    CliRun g = RunCli({"generate", "-c", SqliteConnection(source), "-s", "SELECT * FROM wines", "-o", script,
                       "--include-identity", "-q"});
    ASSERT_EQ(g.exitCode, 0) << g.err;
    const std::vector<std::string> expected = Rows(source, "SELECT * FROM wines ORDER BY id");
    ASSERT_EQ(expected.size(), static_cast<size_t>(kWineCount));
    const std::string copy = MakeSqliteDatabase(kWinesTable);
    CliRun r = RunCli({"run", "-c", SqliteConnection(copy), "-f", script});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "Processing script: " + script)) << r.err;
    EXPECT_TRUE(Contains(r.err, "Script Processed: " + script)) << r.err;
    EXPECT_EQ(Rows(copy, "SELECT * FROM wines ORDER BY id"), expected);
}

TEST(CliRun, ModeChoosesLinesTheWholeScriptOrStatements) {
    // A statement spread over two lines runs only as a whole script or as statements.
    const std::string script = ScratchPath("two-lines.sql");
    WriteBytes(script, "INSERT INTO wines(id, name)\r\nVALUES(1, 'first');\r\nINSERT INTO wines(id, name) VALUES(2, 'second');\r\n");
    const std::string byLines = MakeSqliteDatabase(kWinesTable);
    CliRun lines = RunCli({"run", "-c", SqliteConnection(byLines), "-f", script, "-q"});
    EXPECT_EQ(lines.exitCode, 1);
    EXPECT_TRUE(Contains(lines.err, "incomplete input")) << lines.err;
    EXPECT_TRUE(Rows(byLines, "SELECT id FROM wines").empty());

    const std::string whole = MakeSqliteDatabase(kWinesTable);
    CliRun complete = RunCli({"run", "-c", SqliteConnection(whole), "-f", script, "--mode", "complete", "-q"});
    EXPECT_EQ(complete.exitCode, 0) << complete.err;
    EXPECT_EQ(Rows(whole, "SELECT id FROM wines ORDER BY id"), (std::vector<std::string>{"int:1|", "int:2|"}));

    const std::string split = MakeSqliteDatabase(kWinesTable);
    CliRun statements = RunCli({"run", "-c", SqliteConnection(split), "-f", script, "--mode", "statements", "-q"});
    EXPECT_EQ(statements.exitCode, 0) << statements.err;
    EXPECT_EQ(Rows(split, "SELECT id FROM wines ORDER BY id"), (std::vector<std::string>{"int:1|", "int:2|"}));
}

TEST(CliRun, GoingOnPastFailuresLogsThemBesideAndExitsOne) {
    const std::string db = MakeSqliteDatabase(kWinesTable);
    const std::string workDir = MakeFolder("going-on");
    const std::string script = ScratchPath("mixed.sql");
    WriteBytes(script, "INSERT INTO wines(id, name) VALUES(1, 'first');\nINSERT INTO nowhere\nVALUES(2);\n"
                       "INSERT INTO wines(id, name) VALUES(3, 'third');\n");
    CliRun r = RunCli({"run", "-c", SqliteConnection(db), "-f", script, "--mode", "statements", "--on-error",
                       "continue", "-q"},
                      workDir);
    EXPECT_EQ(r.exitCode, 1);
    // The summary, and no report of each failure.
    const std::string logName = fs::path(script).filename().string() + ".errors";
    EXPECT_EQ(r.err, "qarnSqlGenCli: 1 of 3 statements failed; see " + logName + "\n");
    EXPECT_EQ(Rows(db, "SELECT id FROM wines ORDER BY id"), (std::vector<std::string>{"int:1|", "int:3|"}));
    const std::string log = ReadBytes(workDir + "/" + logName);
    EXPECT_TRUE(Contains(log, "-- Line 2: error -2147467259: no such table: nowhere\r\n")) << log;
    EXPECT_TRUE(Contains(log, "\r\nINSERT INTO nowhere\r\nVALUES(2);\r\n")) << log;
}

TEST(CliRun, AFailingScriptExitsOneAndSaysWhy) {
    const std::string db = MakeSqliteDatabase(kWinesTable);
    const std::string script = ScratchPath("broken.sql");
    WriteBytes(script, "INSERT INTO wines(id, name) VALUES(1, 'first')\r\nINSERT INTO nowhere VALUES(2)\r\n"
                       "INSERT INTO wines(id, name) VALUES(3, 'never')\r\n");
    CliRun r = RunCli({"run", "-c", SqliteConnection(db), "-f", script, "-q"});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "qarnSqlGenCli: Error executing SQL statement")) << r.err;
    EXPECT_TRUE(Contains(r.err, "no such table: nowhere")) << r.err;
    // Line at a time: what ran before the failure stays, nothing after it runs.
    EXPECT_EQ(Rows(db, "SELECT id FROM wines"), std::vector<std::string>{"int:1|"});

    CliRun missing = RunCli({"run", "-c", SqliteConnection(db), "-f", ScratchPath("absent.sql"), "-q"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(Contains(missing.err, "qarnSqlGenCli: Unable to open the script file")) << missing.err;
}

// The sample is an SQLite file behind a Jet connection string: its script,
// in SQLite's literals, replays through the same kind of string into an
// empty copy and recreates every value with its type.
TEST(CliSample, TheSamplesScriptRecreatesItThroughItsOwnConnectionString) {
    const std::string jet = "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=";
    const std::string before = ReadBytes(QARN_SAMPLE_DB);
    ASSERT_FALSE(before.empty()) << QARN_SAMPLE_DB;
    const std::string all = "SELECT * FROM tblWineList ORDER BY 1";
    const std::vector<std::string> original = Rows(QARN_SAMPLE_DB, all);
    ASSERT_GT(original.size(), 1u);
    const std::string script = ScratchPath("sample.sql");
    CliRun r = RunCli({"generate", "-c", jet + QARN_SAMPLE_DB, "-s", "SELECT * FROM tblWineList", "-o", script,
                       "--include-identity", "-q"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadBytes(QARN_SAMPLE_DB), before);

    const std::string copy = ScratchPath("Sample.mdb");
    WriteBytes(copy, before);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(copy.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "DELETE FROM tblWineList", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    r = RunCli({"run", "-c", jet + copy, "-f", script, "-q"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Rows(copy, all), original);
}

// A terminal is shown how far the work is, in place; a pipe only the statuses.
TEST(CliProgress, ALineOnATerminalNothingOnAPipe) {
    const std::string db = MakeSqliteDatabase(
        "CREATE TABLE big(n INTEGER);"
        "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 20000) INSERT INTO big SELECT i FROM c;");
    const std::string out = ScratchPath("progress.sql");
    const std::vector<std::string> generate = {"generate", "-c", SqliteConnection(db), "-s", "SELECT * FROM big", "-o", out};
    CliRun t = RunCliInTerminal(generate);
    ASSERT_EQ(t.exitCode, 0) << t.err;
    EXPECT_TRUE(Contains(t.err, "\r20,000 rows  ")) << t.err;
    EXPECT_TRUE(Contains(t.err, "rows/s  0:")) << t.err;
    EXPECT_TRUE(Contains(t.err, "\r\033[KStatements Generated")) << t.err;  // the line is cleared first
    CliRun r = RunCliInTerminal({"run", "-c", SqliteConnection(db), "-f", out, "--single-transaction"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "\r20,000 lines  100%")) << r.err;

    CliRun p = RunCli(generate);
    ASSERT_EQ(p.exitCode, 0) << p.err;
    EXPECT_FALSE(Contains(p.err, "rows")) << p.err;
    EXPECT_FALSE(Contains(p.err, "\r")) << p.err;
    CliRun q = RunCliInTerminal({"generate", "-c", SqliteConnection(db), "-s", "SELECT * FROM big", "-o", out, "-q"});
    EXPECT_EQ(q.err, "");
}

// With --verify nothing reaches standard output before the proof passes.
TEST(CliGenerate, VerifyHoldsTheStreamUntilTheScriptIsProven) {
    const std::string db = MakeSqliteDatabase(kWines);
    CliRun bad = RunCli({"generate", "-c", SqliteConnection(db), "-s", "SELECT id, random() AS r FROM wines", "-o", "-",
                         "--verify", "-q"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.out, "");
    EXPECT_TRUE(Contains(bad.err, "The script does not recreate the rows")) << bad.err;
    CliRun good = RunCli({"generate", "-c", SqliteConnection(db), "-s", "SELECT * FROM wines", "-o", "-", "--verify", "-q"});
    ASSERT_EQ(good.exitCode, 0) << good.err;
    EXPECT_EQ(ScriptLines(good.out).size(), static_cast<size_t>(kWineCount));
    EXPECT_TRUE(EmptyFolder(ChildTempDir()));
}

}  // namespace
