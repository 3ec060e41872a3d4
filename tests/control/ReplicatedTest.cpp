// A primary and its hot standby, as users who outgrow one machine run them:
// Generate reads from the standby when asked, RunScript reaches the primary
// whatever the order of the hosts, a standby refuses a script clearly, and
// losing the server in the middle of a read fails Generate and leaves no
// script.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "ado/Command.h"
#include "basSQLGenComp.h"
#include "logic/ControlCore.h"
#include "support/TestSupport.h"

namespace qarn::control {
namespace {

namespace fs = std::filesystem;

class ReplicatedTest : public ::testing::Test {
protected:
    void SetUp() override {
        QARN_REQUIRE_SERVER(test::PostgresServer());
        const char* port = std::getenv("QARN_PGSTANDBY_PORT");
        ASSERT_TRUE(port && *port) << "no standby server: run the tests through scripts/test";
        standby = "127.0.0.1:" + std::string(port);
        primary = "127.0.0.1:" + test::PostgresServer().port;
    }
    void TearDown() override { core.Disconnect(false); }

    static std::string Connection(const std::string& hosts, const std::string& extra = "") {
        const test::ServerFacts f = test::PostgresServer();
        return "Provider=PostgreSQL;Data Source=" + hosts + ";Initial Catalog=" + f.database + ";User ID=" + f.user +
               ";Password=" + f.password + extra;
    }
    bool Run(const std::string& script) {
        const std::string path = test::ScratchPath("script.sql");
        test::WriteBytes(path, script);
        return core.RunScript(path);
    }
    // Waits until the standby has replayed what the primary wrote.
    void CaughtUp(const std::string& table, const std::string& count) {
        auto c = test::OpenConnection(Connection(standby));
        for (int i = 0; i < 200; ++i) {
            auto command = ado::Command::Create();
            command->SetActiveConnection(c);
            command->SetCommandText("SELECT count(*) FROM (SELECT 1 FROM pg_class WHERE relname = '" + table +
                                    "') r, LATERAL (SELECT count(*) AS n FROM " + table + ") q WHERE q.n = " + count);
            try {
                if (command->Execute()->Fields(0).Value().AsInt() == 1) return;
            } catch (const ado::AdoError&) {
                // not there yet
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        FAIL() << "the standby did not catch up";
    }

    test::RecordingUserInterface ui;
    ControlCore core;
    std::string primary, standby;
};

TEST_F(ReplicatedTest, ScriptsGoToThePrimaryAndGenerateReadsTheStandby) {
    const std::string table = "qarn_replicated_" + std::to_string(::getpid());
    ASSERT_TRUE(core.Connect(Connection(standby + "," + primary, ";Target Session Attrs=read-write")));
    ASSERT_TRUE(Run("DROP TABLE IF EXISTS " + table + "\nCREATE TABLE " + table + "(n int PRIMARY KEY)\nINSERT INTO " +
                    table + " SELECT generate_series(1, 20000)\n"))
        << core.ReturnMessage();
    core.Disconnect(false);
    CaughtUp(table, "20000");

    ASSERT_TRUE(core.Connect(Connection(primary + "," + standby, ";Target Session Attrs=prefer-standby")));
    const std::string path = test::ScratchPath("standby.sql");
    ASSERT_TRUE(core.Generate(path, "SELECT n, pg_is_in_recovery() AS standby FROM " + table + " WHERE n = 1"))
        << core.ReturnMessage();
    EXPECT_NE(test::ReadBytes(path).find("VALUES(1, TRUE)"), std::string::npos) << test::ReadBytes(path);

    // A standby takes no script, and says why.
    EXPECT_FALSE(Run("INSERT INTO " + table + " VALUES (0)\n"));
    ASSERT_FALSE(ui.shown.empty());
    EXPECT_NE(ui.shown.back().text.find("read-only"), std::string::npos) << ui.shown.back().text;

    // The server gone in the middle of the read: a failure, and no script.
    core.OnProgress([&] {
        if (core.ProgressCount() < 100) return;
        auto killer = test::OpenConnection(Connection(standby));
        test::Exec(killer,
                   "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = 'qarn-read'");
    });
    core.Disconnect(false);
    ASSERT_TRUE(core.Connect(Connection(standby, ";application_name=qarn-read")));
    const std::string lost = test::ScratchPath("lost.sql");
    // Each row takes the server a moment: it is still sending when it goes.
    EXPECT_FALSE(core.Generate(lost, "SELECT * FROM " + table + " WHERE pg_sleep(0.001)::text = ''"));
    EXPECT_EQ(core.ReturnMessage().rfind("Error generating statements: ", 0), 0u) << core.ReturnMessage();
    EXPECT_FALSE(fs::exists(lost));
    core.OnProgress(nullptr);
}

}  // namespace
}  // namespace qarn::control
