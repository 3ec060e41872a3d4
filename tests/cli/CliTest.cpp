// qarnSqlGenCli as users and scripts meet it: the built program run as a
// child process with no display and no standard input, judged by its exit
// code, its two output streams and the databases and files it leaves.
#include <gtest/gtest.h>

#include <QProcess>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "cli/CliSupport.h"

namespace qarn::test::cli {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
using Rows = std::vector<std::string>;

constexpr const char* kWinesTable =
    "CREATE TABLE wines(id INTEGER PRIMARY KEY, name TEXT NOT NULL, vintage INTEGER, price REAL, "
    "tasted TEXT, instock INTEGER, notes TEXT);";
// Values that are easy to get wrong in a script: quotes, accents, a line
// break, NULLs, an empty text, reals that do not print short.
const std::string kWines =
    std::string(kWinesTable) +
    "INSERT INTO wines VALUES(1, 'Château d''Yquem', 2001, 465.5, '2011-03-14 10:30:00', 1, 'Sauternes');"
    "INSERT INTO wines VALUES(2, 'Côtes du Rhône', NULL, 0.1, '2021-06-02', 0, NULL);"
    "INSERT INTO wines VALUES(3, 'Taylor''s Port', 2017, 1e-7, NULL, 1, 'two' || char(10) || 'lines');"
    "INSERT INTO wines VALUES(4, 'Grüner Veltliner', 2021, -21.3, '2022-10-01 14:45:00', NULL, '');"
    "INSERT INTO wines VALUES(7, 'Riesling Spätlese', 2019, 2.0 / 3.0, '2021-02-14', 1, 'Off-dry');";
constexpr size_t kWineCount = 5;
const std::string kAll = "SELECT * FROM wines";

std::string Sqlite(const std::string& path) {
    return "Provider=SQLite;Data Source=" + path;
}
std::string WinesDb() {
    return Sqlite(MakeSqliteDatabase(kWines));
}

TEST(CliCommandLine, HelpAndVersionGoToStandardOutput) {
    const CliRun help = RunCli({"--help"});
    EXPECT_TRUE(Contains(help.out, "qarnSqlGenCli generate (-c CONNECTION | -c - | -u UDLFILE) -s SELECT")) << help.out;
    for (const Args& args : {Args{"--help"}, Args{"-h"}, Args{"generate", "--help"}}) {
        const CliRun r = RunCli(args);
        EXPECT_EQ(r.exitCode, 0) << args.back();
        EXPECT_EQ(r.out, help.out);
        EXPECT_EQ(r.err, "");
    }
    const CliRun v = RunCli({"--version"});
    EXPECT_EQ(v.exitCode, 0);
    EXPECT_EQ(v.out, "qarnSqlGenCli " QARN_PROJECT_VERSION "\n");
    EXPECT_EQ(v.err, "");
}

TEST(CliCommandLine, MistakesExitTwoWithTheReasonAndTheUsage) {
    const std::string c = WinesDb(), s = kAll, workDir = MakeFolder("usage");
    const std::vector<std::pair<Args, std::string>> cases = {
        {{}, "no command given"},
        {{"export", "-c", c, "-s", s}, "unknown command 'export'"},
        {{"generate", "-s", s}, "missing -c CONNECTION or -u UDLFILE"},
        {{"generate", "-c", c, "-u", "x.udl", "-s", s}, "not both"},
        {{"generate", "-c", c}, "missing -s SELECT"},
        {{"generate", "-c", c, "-s", ""}, "-s SELECT is empty"},
        {{"generate", "-c", c, "-s", s, "--bogus"}, "unknown option '--bogus'"},
        {{"generate", "-c", c, "-s"}, "-s/--select needs a value"},
        {{"generate", "-c", c, "-c", c, "-s", s}, "given more than once"},
        {{"run", "-c", c, "-f", "a.sql", "--mode", "fast"}, "--mode must be line, complete or statements"},
        {{"run", "-c", c, "-f", "a.sql", "--on-error", "skip"}, "--on-error must be stop or continue"},
        {{"run", "-c", c, "-f", "a.sql", "--error-log", "e.log"}, "--error-log needs --on-error continue"},
        {{"run", "-c", c, "-f", "a.sql", "--on-error", "continue", "--single-transaction"},
         "--on-error continue cannot go with --single-transaction"},
        {{"run", "-c", c, "-f", "a.sql", "--commit-every", "ten"}, "--commit-every must be a whole number"},
        {{"generate", "-c", c, "-s", s, "--on-error", "stop"}, "--on-error does not apply to generate"},
        {{"run", "-c", c, "-f", "a.sql", "--commit-every", "5", "--single-transaction"},
         "--commit-every cannot go with --single-transaction"},
        {{"generate", "-c", c, "-s", s, "stray"}, "unexpected argument 'stray'"},
    };
    for (const auto& [args, reason] : cases) {
        const CliRun r = RunCli(args, workDir);
        EXPECT_EQ(r.exitCode, 2) << reason;
        EXPECT_TRUE(Contains(r.err, reason) && Contains(r.err, "Usage:")) << r.err;
        EXPECT_EQ(r.out, "") << reason;
    }
    EXPECT_TRUE(fs::is_empty(workDir)) << "nothing ran, so no default script appeared";
}

// Standard output holds the script and nothing else; standard error the
// statuses in the order they were set, and no warning of Qt or a library.
TEST(CliGenerate, StandardOutputHoldsOnlyTheScript) {
    const std::string c = WinesDb();
    const CliRun r = RunCli({"generate", "-c", c, "-s", kAll, "-o", "-"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Rows lines = ScriptLines(r.out);
    ASSERT_EQ(lines.size(), kWineCount) << r.out;
    for (const auto& line : lines) EXPECT_TRUE(line.starts_with("INSERT INTO wines(")) << line;
    EXPECT_TRUE(Contains(r.out, "'Château d''Yquem'")) << r.out;
    EXPECT_EQ(r.err,
              "Connecting to database\nConnected\nGenerating SQL Insert statements for script /dev/stdout\n"
              "Statements Generated\n");
    // Quiet, and proven before anything reaches the stream.
    const CliRun q = RunCli({"generate", "-c", c, "-s", kAll, "-o", "-", "--quiet", "--verify"});
    EXPECT_EQ(q.exitCode, 0);
    EXPECT_EQ(q.err, "");
    EXPECT_EQ(q.out, r.out);
    EXPECT_TRUE(fs::is_empty(ChildTempDir()));
}

// Every failure exits 1 with the reason on standard error, prints no part
// of a script and leaves nothing behind, even when quiet.
TEST(CliGenerate, FailuresExitOneWithTheReportAndNoScript) {
    const std::string c = WinesDb(), missingDb = ScratchPath("missing.db"), folder = MakeFolder("a-folder");
    const std::vector<std::pair<Args, Rows>> cases = {
        {{"generate", "-c", c, "-s", "SELECT * FROM no_such_table", "-o", "-", "--quiet"},
         {"qarnSqlGenCli: Error in SQL statement", "no such table"}},
        // The control's message box comes out as text: offscreen it would wait for ever.
        {{"generate", "-c", c, "-s", "SELECT 1", "-o", "-"}, {"No FROM clause in the select statement"}},
        {{"generate", "-c", c, "-s", "SELECT id, random() AS r FROM wines", "-o", "-", "--verify", "-q"},
         {"The script does not recreate the rows"}},
        {{"generate", "-c", "Provider=NoSuchProvider.1;Data Source=x", "-s", kAll, "-o", "-"},
         {"Provider cannot be found", "qarnSqlGenCli: Connection Failed"}},
        {{"generate", "-c", Sqlite(missingDb), "-s", kAll, "-o", "-"}, {"qarnSqlGenCli: Connection Failed"}},
        {{"generate", "-u", ScratchPath("missing.udl"), "-s", kAll, "-o", "-"},
         {"qarnSqlGenCli: The specified UDL file does not exist"}},
        {{"generate", "-c", c, "-s", kAll, "-o", folder}, {"Unable to open the output file"}},
        {{"run", "-c", c, "-f", ScratchPath("absent.sql"), "-q"}, {"qarnSqlGenCli: Unable to open the script file"}},
    };
    for (const auto& [args, expected] : cases) {
        const CliRun r = RunCli(args);
        SCOPED_TRACE(::testing::PrintToString(args));
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        for (const auto& text : expected) EXPECT_TRUE(Contains(r.err, text)) << text << "\n" << r.err;
    }
    EXPECT_FALSE(fs::exists(missingDb)) << "a failed connection created the database";
    EXPECT_TRUE(fs::is_directory(folder) && fs::is_empty(folder));
    EXPECT_TRUE(fs::is_empty(ChildTempDir()));
}

// An interrupted Generate leaves neither a script nor its temporary file.
TEST(CliGenerate, AnInterruptLeavesNoScriptBehind) {
    const std::string db = MakeSqliteDatabase(
        "CREATE TABLE big(n INTEGER, t TEXT);"
        "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 1000000) "
        "INSERT INTO big SELECT i, 'row ' || i FROM c;");
    for (int signal : {SIGINT, SIGTERM}) {
        const std::string folder = MakeFolder("interrupted"), out = folder + "/out.sql";
        WriteBytes(out, "old script\r\n");
        bool sawTemporary = false;
        const CliRun r =
            RunCli({"generate", "-c", Sqlite(db), "-s", "SELECT * FROM big", "-o", out, "-q"}, {}, [&](QProcess& p) {
                for (int i = 0; i < 3000 && !sawTemporary; ++i) {
                    for (const auto& e : fs::directory_iterator(folder))
                        sawTemporary |= e.path().filename().string().starts_with(".out.sql.");
                    if (!sawTemporary) std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
                ::kill(static_cast<pid_t>(p.processId()), signal);
            });
        EXPECT_TRUE(sawTemporary && r.finished);
        EXPECT_NE(r.exitCode, 0);
        EXPECT_TRUE(fs::is_empty(folder)) << "signal " << signal;
    }
}

TEST(CliGenerate, WithoutOutputWritesTheDefaultFile) {
    const std::string c = WinesDb(), workDir = MakeFolder("default-output");
    const CliRun byDefault = RunCli({"generate", "-c", c, "-s", kAll, "--quiet"}, workDir);
    EXPECT_EQ(byDefault.exitCode, 0) << byDefault.err;
    EXPECT_EQ(byDefault.out, "");
    EXPECT_EQ(ScriptLines(ReadBytes(workDir + "/qarnSqlGen.sql")).size(), kWineCount);
}

TEST(CliGenerate, TruncateAndIncludeIdentityReachTheControl) {
    const std::string c = WinesDb();
    const Rows plain =
        ScriptLines(RunCli({"generate", "--connection=" + c, "--select=" + kAll, "--output=-", "-q"}).out);
    const Rows both =
        ScriptLines(RunCli({"generate", "-c", c, "-s", kAll, "-o", "-", "-q", "--truncate", "--include-identity"}).out);
    ASSERT_EQ(plain.size(), kWineCount);
    ASSERT_EQ(both.size(), kWineCount + 1);
    EXPECT_TRUE(plain[0].starts_with("INSERT INTO wines([name]")) << plain[0];
    EXPECT_EQ(both[0], "DELETE FROM wines");
    EXPECT_TRUE(both[1].starts_with("INSERT INTO wines([id], [name]")) << both[1];
}

TEST(CliConnect, DataLinkFilesInUtf16AndUtf8Connect) {
    // The database sits in a folder with an accent, so the data link's text
    // must be decoded, not just copied.
    const std::string db = MakeSqliteDatabase(kWines, MakeFolder("caves-é") + "/wines.db");
    const std::string link =
        "[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n" + Sqlite(db) + "\r\n";
    std::string utf16 = "\xFF\xFE";
    for (QChar unit : QString::fromStdString(link)) utf16 += {char(unit.unicode() & 0xFF), char(unit.unicode() >> 8)};
    for (const std::string& bytes : {utf16, link}) {
        const std::string file = ScratchPath("link.udl");
        WriteBytes(file, bytes);
        const CliRun r = RunCli({"generate", "-u", file, "-s", kAll, "-o", "-", "-q"});
        EXPECT_EQ(r.exitCode, 0) << file << "\n" << r.err;
        EXPECT_EQ(ScriptLines(r.out).size(), kWineCount) << file;
    }
}

TEST(CliRun, ModeChoosesLinesTheWholeScriptOrStatements) {
    // A statement spread over two lines runs only as a whole script or as statements.
    const std::string script = ScratchPath("two-lines.sql");
    WriteBytes(
        script,
        "INSERT INTO wines(id, name)\r\nVALUES(1, 'first');\r\nINSERT INTO wines(id, name) VALUES(2, 'second');\r\n");
    for (const std::string mode : {"", "complete", "statements"}) {
        const std::string db = MakeSqliteDatabase(kWinesTable);
        Args args = {"run", "-c", Sqlite(db), "-f", script, "-q"};
        if (!mode.empty()) args.insert(args.end(), {"--mode", mode});
        const CliRun r = RunCli(args);
        EXPECT_EQ(r.exitCode, mode.empty() ? 1 : 0) << mode << r.err;
        EXPECT_EQ(Contains(r.err, "incomplete input"), mode.empty()) << r.err;
        EXPECT_EQ(SqliteRows(db, "SELECT id FROM wines ORDER BY id"),
                  (mode.empty() ? Rows{} : Rows{"int:1|", "int:2|"}));
    }
}

TEST(CliRun, GoingOnPastFailuresLogsThemBesideAndExitsOne) {
    const std::string db = MakeSqliteDatabase(kWinesTable), workDir = MakeFolder("going-on");
    const std::string script = ScratchPath("mixed.sql");
    WriteBytes(script,
               "INSERT INTO wines(id, name) VALUES(1, 'first');\nINSERT INTO nowhere\nVALUES(2);\n"
               "INSERT INTO wines(id, name) VALUES(3, 'third');\n");
    const CliRun r = RunCli(
        {"run", "-c", Sqlite(db), "-f", script, "--mode", "statements", "--on-error", "continue", "-q"}, workDir);
    EXPECT_EQ(r.exitCode, 1);
    // The summary, and no report of each failure.
    const std::string logName = fs::path(script).filename().string() + ".errors";
    EXPECT_EQ(r.err, "qarnSqlGenCli: 1 of 3 statements failed; see " + logName + "\n");
    EXPECT_EQ(SqliteRows(db, "SELECT id FROM wines ORDER BY id"), (Rows{"int:1|", "int:3|"}));
    const std::string log = ReadBytes(workDir + "/" + logName);
    EXPECT_TRUE(Contains(log, "-- Line 2: error -2147467259: no such table: nowhere\r\n")) << log;
    EXPECT_TRUE(Contains(log, "\r\nINSERT INTO nowhere\r\nVALUES(2);\r\n")) << log;
}

// The sample is an SQLite file behind a Jet connection string: its script,
// in SQLite's literals, replays through the same kind of string into an
// empty copy and recreates every value with its type.
TEST(CliSample, TheSamplesScriptRecreatesItThroughItsOwnConnectionString) {
    const std::string jet = "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=";
    const std::string before = ReadBytes(QARN_SAMPLE_DB), all = "SELECT * FROM tblWineList ORDER BY 1";
    const Rows original = SqliteRows(QARN_SAMPLE_DB, all);
    ASSERT_GT(original.size(), 1u);
    const std::string script = ScratchPath("sample.sql");
    CliRun r = RunCli({"generate", "-c", jet + QARN_SAMPLE_DB, "-s", "SELECT * FROM tblWineList", "-o", script,
                       "--include-identity", "-q"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadBytes(QARN_SAMPLE_DB), before);
    const std::string copy = ScratchPath("Sample.mdb");
    WriteBytes(copy, before);
    MakeSqliteDatabase("DELETE FROM tblWineList", copy);
    r = RunCli({"run", "-c", jet + copy, "-f", script});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "Processing script: " + script) && Contains(r.err, "Script Processed: " + script))
        << r.err;
    EXPECT_EQ(SqliteRows(copy, all), original);
}

// A terminal is shown how far the work is, in place; a pipe only the statuses.
TEST(CliProgress, ALineOnATerminalNothingOnAPipe) {
    const std::string db =
        Sqlite(MakeSqliteDatabase("CREATE TABLE big(n INTEGER);"
                                  "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 20000) "
                                  "INSERT INTO big SELECT i FROM c;"));
    const std::string out = ScratchPath("progress.sql");
    const Args generate = {"generate", "-c", db, "-s", "SELECT * FROM big", "-o", out};
    const CliRun t = RunCliInTerminal(generate);
    ASSERT_EQ(t.exitCode, 0) << t.err;
    EXPECT_TRUE(Contains(t.err, "\r20,000 rows  ") && Contains(t.err, "rows/s  0:")) << t.err;
    EXPECT_TRUE(Contains(t.err, "\r\033[KStatements Generated")) << t.err;  // the line is cleared first
    const CliRun r = RunCliInTerminal({"run", "-c", db, "-f", out, "--single-transaction"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "\r20,000 lines  100%")) << r.err;
    const CliRun p = RunCli(generate);
    ASSERT_EQ(p.exitCode, 0) << p.err;
    EXPECT_FALSE(Contains(p.err, "rows") || Contains(p.err, "\r")) << p.err;
    Args quiet = generate;
    quiet.push_back("-q");
    EXPECT_EQ(RunCliInTerminal(quiet).err, "");
}

}  // namespace
}  // namespace qarn::test::cli
