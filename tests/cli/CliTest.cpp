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

constexpr const char* kWinesTable = "CREATE TABLE wines(id INTEGER PRIMARY KEY, name TEXT NOT NULL, vintage INTEGER);";
// Inserted out of key order in grapes, so that --order-by-key shows.
const std::string kWines =
    std::string(kWinesTable) +
    "INSERT INTO wines VALUES(1, 'Château d''Yquem', 2001), (2, 'Côtes du Rhône', NULL),"
    "(7, 'Riesling', 2019);"
    "CREATE TABLE grapes(name TEXT PRIMARY KEY); INSERT INTO grapes VALUES('Syrah'), ('Merlot');";
constexpr size_t kWineCount = 3;
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
// (--quiet is the progress test's.)
TEST(CliGenerate, StandardOutputHoldsOnlyTheScript) {
    const std::string c = WinesDb();
    const CliRun r = RunCli({"generate", "-c", c, "-s", kAll, "-o", "-"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ScriptLines(r.out).size(), kWineCount) << r.out;
    EXPECT_EQ(r.err,
              "Connecting to database\nConnected\nGenerating SQL Insert statements for script /dev/stdout\n"
              "Statements Generated\n");
    EXPECT_TRUE(fs::is_empty(ChildTempDir()));
}

// Every failure exits 1 with the reason on standard error, prints no part
// of a script and leaves nothing behind, even when quiet: the control's
// return message, its message box and the database layer's report.
TEST(CliGenerate, FailuresExitOneWithTheReportAndNoScript) {
    const std::string c = WinesDb();
    const std::vector<std::pair<Args, Rows>> cases = {
        {{"generate", "-c", c, "-s", "SELECT * FROM no_such_table", "-o", "-", "--quiet"},
         {"qarnSqlGenCli: Error in SQL statement", "no such table"}},
        // The control's message box comes out as text: offscreen it would wait for ever.
        {{"generate", "-c", c, "-s", "SELECT 1", "-o", "-"}, {"No FROM clause in the select statement"}},
        {{"generate", "-c", c, "-s", "SELECT id, random() AS r FROM wines", "-o", "-", "--verify", "-q"},
         {"The script does not recreate the rows"}},
        {{"generate", "-c", Sqlite(ScratchPath("missing.db")), "-s", kAll, "-o", "-"},
         {"qarnSqlGenCli: Connection Failed"}},
        {{"generate", "-u", ScratchPath("missing.udl"), "-s", kAll, "-o", "-"},
         {"qarnSqlGenCli: The specified UDL file does not exist"}},
    };
    for (const auto& [args, expected] : cases) {
        const CliRun r = RunCli(args);
        SCOPED_TRACE(::testing::PrintToString(args));
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        for (const auto& text : expected) EXPECT_TRUE(Contains(r.err, text)) << text << "\n" << r.err;
    }
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

// Each option of generate reaches its property of the control: the script shows it.
TEST(CliGenerate, EachOptionReachesTheControl) {
    const std::string c = WinesDb(), udl = ScratchPath("link.udl"), grapes = "SELECT * FROM grapes";
    WriteBytes(udl, "[oledb]\r\n" + c + "\r\n");
    const std::string plain = "INSERT INTO wines([name], [vintage]) VALUES('Château d''Yquem', 2001)";
    struct Case {
        Args options;
        size_t lines;
        std::string first;  // the script's first line holds it
        Args source = {};   // -c and -s, when not the wines through -c
    };
    const std::vector<Case> cases = {
        {{}, kWineCount, plain, {"--connection=" + c, "--select=" + kAll}},
        {{}, kWineCount, plain, {"-u", udl, "-s", kAll}},
        {{"--truncate"}, kWineCount + 1, "DELETE FROM wines"},
        {{"--include-identity"}, kWineCount, "INSERT INTO wines([id], [name], [vintage])"},
        {{"--terminate"}, kWineCount, plain + ";"},
        {{"--rows-per-insert", "2"}, 2, plain + ", ('C"},
        {{"--dialect", "postgresql"}, kWineCount, "INSERT INTO \"wines\"(\"name\", \"vintage\")"},
        {{"--on-duplicate", "skip"}, kWineCount, " ON CONFLICT ([id]) DO NOTHING"},
        {{"--order-by-key"}, 2, "VALUES('Merlot')", {"-c", c, "-s", grapes}},
    };
    for (const Case& k : cases) {
        Args args = {"generate", "-q", "--output=-"};
        for (const Args& part : {k.source.empty() ? Args{"-c", c, "-s", kAll} : k.source, k.options})
            args.insert(args.end(), part.begin(), part.end());
        const CliRun r = RunCli(args);
        SCOPED_TRACE(::testing::PrintToString(args));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const Rows lines = ScriptLines(r.out);
        ASSERT_EQ(lines.size(), k.lines) << r.out;
        EXPECT_TRUE(Contains(lines[0], k.first)) << lines[0];
    }
    // Without -o: qarnSqlGen.sql in the current folder.
    const std::string workDir = MakeFolder("default-output");
    const CliRun r = RunCli({"generate", "-c", c, "-s", kAll, "-q"}, workDir);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ScriptLines(ReadBytes(workDir + "/qarnSqlGen.sql")).size(), kWineCount);
}

// Each option of run reaches the control: a script whose second statement
// spans two lines and whose fourth fails, and the rows it leaves.
TEST(CliRun, EachOptionReachesTheControl) {
    const std::string script = ScratchPath("mixed.sql"), log = ScratchPath("chosen.errors");
    WriteBytes(script,
               "INSERT INTO wines(id, name) VALUES(1, 'a');\nINSERT INTO wines(id, name)\nVALUES(2, 'b');\n"
               "INSERT INTO wines(id, name) VALUES(3, 'c');\nINSERT INTO nowhere VALUES(4);\n"
               "INSERT INTO wines(id, name) VALUES(5, 'e');\n");
    const std::string summary = "qarnSqlGenCli: 1 of 5 statements failed; see ";
    struct Case {
        Args args;
        Rows ids;
        std::string err;  // a part of standard error
    };
    const std::vector<Case> cases = {
        {{}, {"int:1|"}, "incomplete input"},
        {{"--mode", "complete"}, {"int:1|", "int:2|", "int:3|"}, "no such table: nowhere"},
        {{"--mode", "statements"}, {"int:1|", "int:2|", "int:3|"}, "Line 5:"},
        {{"--mode", "statements", "--single-transaction"}, {}, "Line 5:"},
        {{"--mode", "statements", "--commit-every", "2"}, {"int:1|", "int:2|"}, "Line 5:"},
        {{"--mode", "statements", "--on-error", "continue"},
         {"int:1|", "int:2|", "int:3|", "int:5|"},
         summary + fs::path(script).filename().string() + ".errors\n"},
        {{"--mode", "statements", "--on-error", "continue", "--error-log", log},
         {"int:1|", "int:2|", "int:3|", "int:5|"},
         summary + log + "\n"},
    };
    for (const Case& k : cases) {
        const std::string db = MakeSqliteDatabase(kWinesTable), workDir = MakeFolder("run");
        Args args = {"run", "-c", Sqlite(db), "-f", script, "-q"};
        args.insert(args.end(), k.args.begin(), k.args.end());
        const CliRun r = RunCli(args, workDir);
        SCOPED_TRACE(::testing::PrintToString(k.args));
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(Contains(r.err, k.err)) << r.err;
        EXPECT_EQ(SqliteRows(db, "SELECT id FROM wines ORDER BY id"), k.ids);
    }
    EXPECT_TRUE(Contains(ReadBytes(log), "-- Line 5: error -2147467259: no such table: nowhere\r\n"));
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
