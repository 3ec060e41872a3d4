// Passwords stay out of sight: "-c -" takes the connection string from
// standard input instead of the command line that ps shows, and no status
// text or report of a failed connection shows the password, on any engine.
#include <gtest/gtest.h>

#include <cstdlib>

#include "cli/CliSupport.h"
#include "support/TestSupport.h"

namespace qarn::test::cli {
namespace {

TEST(CliConnect, DashReadsTheConnectionStringFromTheFirstLineOfStandardInput) {
    const std::string db = MakeSqliteDatabase("CREATE TABLE t(n INTEGER); INSERT INTO t VALUES(1), (2);");
    const std::string c = "Provider=SQLite;Data Source=" + db, mark = "\xEF\xBB\xBF";
    const std::string blank = "the first line of standard input holds no connection string";
    const std::vector<std::pair<std::string, std::string>> cases = {
        // input, error (none: two rows scripted)
        {c + "\r\n", ""},
        {c, ""},
        {c + "\nProvider=SQLite;Data Source=/nowhere.db\n", ""},
        // The mark before a first key the provider table reads by its whole name.
        {mark + "Data Source=" + db + ";Provider=SQLite\r\r\n", ""},
        {"", blank},
        {"\r\n" + c + "\r\n", blank},
        {" \t\n", blank},
        {std::string((size_t{1} << 20) + 1, 'x'), "the first line of standard input is longer than 1 MiB"},
    };
    for (const auto& [input, error] : cases) {
        SCOPED_TRACE(input.substr(0, 80));
        const CliRun r = RunCliWithInput({"generate", "-c", "-", "-s", "SELECT * FROM t", "-o", "-", "-q"}, input);
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, error.empty() ? 0 : 2) << r.err;
        EXPECT_EQ(ScriptLines(r.out).size(), error.empty() ? 2u : 0u);
        if (error.empty())
            EXPECT_EQ(r.err, "");
        else
            EXPECT_TRUE(Contains(r.err, "qarnSqlGenCli: -c -: " + error) && Contains(r.err, "Usage:")) << r.err;
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
    const std::string wrong = "Zq7-never-shown", refused = "qarnSqlGenCli: Connection Failed";
    // Provider and ODBC forms of each server, on its port or on a closed one.
    auto as = [](ServerFacts f, const std::string& user, const std::string& port, const std::string& password) {
        f.host = "127.0.0.1", f.user = user, f.port = port, f.password = password;
        return f;
    };
    std::vector<std::pair<std::string, std::string>> cases = {
        // connection, expected report
        {"Provider=SQLite;Data Source=" + ScratchPath("missing.db") + ";Password=" + wrong, refused},
        {"Provider=SQLOLEDB.1;Data Source=127.0.0.1,1;User ID=sa;Password=" + wrong, refused},
        {"DSN=qarn-no-such-dsn;UID=ann;PWD=" + wrong, refused},
    };
    for (const std::string& port : {pg.port, std::string("1")}) {
        cases.push_back({ProviderString("PostgreSQL", as(pg, pwUser, port, wrong)), refused});
        cases.push_back({OdbcString("PostgreSQL Unicode", as(pg, pwUser, port, wrong)), refused});
    }
    for (const std::string& port : {my.port, std::string("1")}) {
        cases.push_back({ProviderString("MariaDB", as(my, my.user, port, wrong)), refused});
        cases.push_back({OdbcString("MariaDB Unicode", as(my, my.user, port, wrong)), refused});
    }
    const std::string works = ProviderString("PostgreSQL", as(pg, pwUser, pg.port, pwPassword));
    cases.push_back({works, "qarnSqlGenCli: Error in SQL statement"});
    const std::string udl = ScratchPath("secret.udl");
    for (const auto& [connection, expected] : cases) {
        const std::string password = connection == works ? std::string(pwPassword) : wrong;
        WriteBytes(udl, "[oledb]\r\n" + connection + "\r\n");
        for (const std::string way : {"-u", "-c"}) {
            SCOPED_TRACE(way + " " + connection);
            const CliRun r = RunCliWithInput(
                {"generate", "-s", "SELECT * FROM no_such_table", "-o", "-", way, way == "-u" ? udl : "-"},
                connection + "\n");
            ASSERT_TRUE(r.finished);
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_TRUE(Contains(r.err, expected)) << r.err;
            EXPECT_FALSE(Contains(r.err, password)) << r.err;
            EXPECT_EQ(r.out, "");
        }
    }
}

}  // namespace
}  // namespace qarn::test::cli
