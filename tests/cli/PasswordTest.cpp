// Passwords stay out of sight: "-c -" takes the connection string from
// standard input instead of the command line that ps shows, and no status
// text or report of a failed connection shows the password, on any engine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "cli/CliSupport.h"
#include "support/TestSupport.h"

namespace qarn::test::cli {
namespace {

// qarnSqlGenCli from a bare shell with `input` as its standard input.
CliRun RunCliWithInput(const std::vector<std::string>& args, const std::string& input) {
    static int count = 0;
    const std::string file = ScratchPath("input-" + std::to_string(++count));
    WriteBytes(file, input);
    RunOptions options;
    options.standardInput = file;
    options.bare = true;
    return RunProgram(QARN_CLI_PATH, args, options);
}

TEST(CliConnect, DashReadsTheConnectionStringFromTheFirstLineOfStandardInput) {
    const std::string db =
        MakeSqliteDatabase("CREATE TABLE t(n INTEGER); INSERT INTO t VALUES(1); INSERT INTO t VALUES(2);");
    const std::string c = "Provider=SQLite;Data Source=" + db;
    struct Case {
        std::string input;
        std::string error;  // empty: the two rows are scripted
    };
    const std::vector<Case> cases = {
        {c + "\r\n", ""},
        {c, ""},
        {c + "\nProvider=SQLite;Data Source=/nowhere.db\n", ""},
        {"\xEF\xBB\xBF" + c + "\r\r\n", ""},
        {"", "the first line of standard input holds no connection string"},
        {"\r\n" + c + "\r\n", "the first line of standard input holds no connection string"},
        {" \t\n", "the first line of standard input holds no connection string"},
        {std::string((size_t{1} << 20) + 1, 'x'), "the first line of standard input is longer than 1 MiB"},
    };
    for (const auto& k : cases) {
        CliRun r = RunCliWithInput({"generate", "-c", "-", "-s", "SELECT * FROM t", "-o", "-", "-q"}, k.input);
        const std::string shown = k.input.substr(0, 80);
        ASSERT_TRUE(r.finished) << shown;
        if (k.error.empty()) {
            EXPECT_EQ(r.exitCode, 0) << shown << "\n" << r.err;
            EXPECT_EQ(ScriptLines(r.out).size(), 2u) << shown;
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_EQ(r.exitCode, 2) << shown;
            EXPECT_TRUE(Contains(r.err, "qarnSqlGenCli: -c -: " + k.error)) << r.err;
            EXPECT_TRUE(Contains(r.err, "Usage:")) << r.err;
            EXPECT_EQ(r.out, "");
        }
    }
}

// Each way in: a refused log-in, a server that is not there, a driver or
// file that is missing, and a log-in that works before the SELECT fails.
TEST(CliConnect, NoReportShowsThePassword) {
    const ServerFacts pg = PostgresServer(), my = MariaDbServer();
    QARN_REQUIRE_SERVER(pg);
    QARN_REQUIRE_SERVER(my);
    const char* pwUser = std::getenv("QARN_PG_PWUSER");
    const char* pwPassword = std::getenv("QARN_PG_PWUSER_PASSWORD");
    ASSERT_TRUE(pwUser && pwPassword) << "scripts/lib/servers.sh names the PostgreSQL role that must give a password";
    const std::string wrong = "Zq7-never-shown";
    const std::string closedPort = "1";
    auto postgres = [&](const std::string& port, const std::string& password) {
        return "Provider=PostgreSQL;Data Source=127.0.0.1;Port=" + port + ";Initial Catalog=" + pg.database +
               ";User ID=" + pwUser + ";Password=" + password;
    };
    auto postgresOdbc = [&](const std::string& port) {
        return "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + port + ";Database=" + pg.database +
               ";UID=" + pwUser + ";PWD=" + wrong;
    };
    auto mariadb = [&](const std::string& port) {
        return "Provider=MariaDB;Data Source=127.0.0.1;Port=" + port + ";Initial Catalog=" + my.database +
               ";User ID=" + my.user + ";Password=" + wrong;
    };
    auto mariadbOdbc = [&](const std::string& port) {
        return "Driver={MariaDB Unicode};Server=127.0.0.1;Port=" + port + ";Database=" + my.database +
               ";UID=" + my.user + ";PWD=" + wrong;
    };
    struct Case {
        std::string connection, password, expected;
    };
    const std::string refused = "qarnSqlGenCli: Connection Failed";
    const std::vector<Case> cases = {
        {"Provider=SQLite;Data Source=" + ScratchPath("missing.db") + ";Password=" + wrong, wrong, refused},
        {postgres(pg.port, wrong), wrong, refused},
        {postgres(closedPort, wrong), wrong, refused},
        {postgresOdbc(pg.port), wrong, refused},
        {postgresOdbc(closedPort), wrong, refused},
        {mariadb(my.port), wrong, refused},
        {mariadb(closedPort), wrong, refused},
        {mariadbOdbc(my.port), wrong, refused},
        {mariadbOdbc(closedPort), wrong, refused},
        {"Provider=SQLOLEDB.1;Data Source=127.0.0.1," + closedPort + ";User ID=sa;Password=" + wrong, wrong, refused},
        {"DSN=qarn-no-such-dsn;UID=ann;PWD=" + wrong, wrong, refused},
        {postgres(pg.port, pwPassword), pwPassword, "qarnSqlGenCli: Error in SQL statement"},
    };
    const std::string udl = ScratchPath("secret.udl");
    for (const auto& k : cases) {
        WriteBytes(udl, "[oledb]\r\n" + k.connection + "\r\n");
        for (bool throughUdl : {false, true}) {
            const std::vector<std::string> args = {"generate", "-s", "SELECT * FROM no_such_table", "-o", "-",
                                                   throughUdl ? "-u" : "-c", throughUdl ? udl : "-"};
            CliRun r = RunCliWithInput(args, k.connection + "\n");
            const std::string route = (throughUdl ? "-u: " : "-c -: ") + k.connection;
            ASSERT_TRUE(r.finished) << route;
            EXPECT_EQ(r.exitCode, 1) << route;
            EXPECT_TRUE(Contains(r.err, k.expected)) << route << "\n" << r.err;
            EXPECT_FALSE(Contains(r.err, k.password)) << route << "\n" << r.err;
            EXPECT_EQ(r.out, "") << route;
        }
    }
}

}  // namespace
}  // namespace qarn::test::cli
