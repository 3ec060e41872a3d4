// clsSQLADO on real databases: SQL text to recordsets and execution, the
// failure reports with their place and extra text, and its own connection.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "basErrorHandlerADO.h"
#include "basSQLGenComp.h"
#include "clsSQLADO.h"
#include "support/TestSupport.h"

using namespace qarn;

namespace {
class ClsSQLADOTest : public ::testing::Test {
protected:
    void TearDown() override {
        gblnCloseDB();
        gobjSQLADO.reset();
    }
    test::RecordingUserInterface ui;
};
}  // namespace

// The engines' own records are the engine tests'; this layer's report is the same on each.
TEST_F(ClsSQLADOTest, RunsTextAndReportsAFailingStatementWithItsSqlString) {
    const std::string db = test::MakeSqliteDatabase("CREATE TABLE qarn_cls(id INTEGER, name VARCHAR(20));");
    ASSERT_TRUE(gblnOpenDB("", "Provider=SQLite;Data Source=" + db));
    clsSQLADO& sql = *gobjSQLADO;
    ASSERT_TRUE(sql.SQLSetText("INSERT INTO qarn_cls VALUES(1, 'a')"));
    ASSERT_TRUE(sql.SQLSetText("INSERT INTO qarn_cls VALUES(2, 'b'), (3, 'c')"));  // only this one runs
    ASSERT_TRUE(sql.SQLRunProcNoRs());
    EXPECT_EQ(sql.RowsAffected(), 2);

    ASSERT_TRUE(sql.SQLSetText("SELECT id, name FROM qarn_cls ORDER BY id"));
    ASSERT_TRUE(sql.SQLRunSQLWithRs());
    auto rs = sql.SQLrs();
    ASSERT_NE(rs, nullptr);
    EXPECT_EQ(rs->Fields("name").Value().ToText(), "b");

    // A failing SELECT leaves the previous recordset field as it was.
    ASSERT_TRUE(sql.SQLSetText("SELECT * FROM qarn_nowhere"));
    EXPECT_FALSE(sql.SQLRunSQLWithRs());
    EXPECT_EQ(sql.SQLrs(), rs);
    ASSERT_EQ(ui.shown.size(), 1u);
    const auto& report = ui.shown[0];
    EXPECT_EQ(report.kind, "error-window");
    EXPECT_TRUE(
        report.text.starts_with("The Following Error Occured in clsSQLADO!SQLRunSQLWithRs\r\n"
                                "Error Number: -2147467259\r\nError: "))
        << report.text;
    EXPECT_TRUE(report.text.ends_with("\r\nExtra Info: Sql String = SELECT * FROM qarn_nowhere")) << report.text;
    ASSERT_FALSE(report.providerErrors.empty());
    EXPECT_NE(report.providerErrors[0].find("qarn_nowhere"), std::string::npos) << report.providerErrors[0];

    sql.SQLCloseRS();
    EXPECT_EQ(sql.SQLrs(), nullptr);
    sql.SQLCloseRS();  // nothing to close: nothing happens, nothing shown
    EXPECT_EQ(ui.shown.size(), 1u);
}

TEST_F(ClsSQLADOTest, WithoutAConnectionEveryRunFailsWithAReport) {
    clsSQLADO sql;
    EXPECT_TRUE(sql.SQLSetText("SELECT 1"));  // nothing is sent yet
    EXPECT_FALSE(sql.SQLRunProcNoRs());
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].kind, "message");
    EXPECT_NE(ui.shown[0].text.find("clsSQLADO!SQLRunProcNoRs\r\nError Number: 3709"), std::string::npos);

    clsSQLADO fresh;  // no text set at all
    EXPECT_FALSE(fresh.SQLRunSQLWithRs());
    EXPECT_TRUE(ui.shown.back().text.ends_with("Extra Info: Sql String = "));
}

TEST_F(ClsSQLADOTest, ScriptTextRunsEveryStatementAndStopsAtTheFirstFailure) {
    std::string db = test::MakeSqliteDatabase("CREATE TABLE t(x);");
    ASSERT_TRUE(gblnOpenDB("", "Provider=SQLite;Data Source=" + db));
    ASSERT_TRUE(gobjSQLADO->SQLSetText("\r\nINSERT INTO t VALUES(1);\r\nINSERT INTO t VALUES(2)"));
    ASSERT_TRUE(gobjSQLADO->SQLRunProcNoRs());
    ASSERT_TRUE(gobjSQLADO->SQLSetText(
        "INSERT INTO t VALUES(3);\r\nINSERT INTO nowhere VALUES(4);\r\nINSERT INTO t VALUES(5)"));
    EXPECT_FALSE(gobjSQLADO->SQLRunProcNoRs());
    ASSERT_TRUE(gobjSQLADO->SQLSetText("SELECT group_concat(x) FROM t"));
    ASSERT_TRUE(gobjSQLADO->SQLRunSQLWithRs());
    EXPECT_EQ(gobjSQLADO->SQLrs()->Fields(0).Value().ToText(), "1,2,3");
}

TEST_F(ClsSQLADOTest, OwnConnectionTellsItsOutcome) {
    clsSQLADO sql;
    EXPECT_FALSE(sql.IsConnected());
    EXPECT_FALSE(sql.SQLConnect());
    EXPECT_EQ(sql.ReturnMessage(), "No Connection string supplied");
    EXPECT_TRUE(ui.shown.empty());

    std::string db = test::MakeSqliteDatabase("CREATE TABLE t(x);");
    std::string udl = test::ScratchPath("ok.udl");
    test::WriteBytes(udl, "[oledb]\r\nProvider=SQLite;Data Source=" + db + "\r\n");
    EXPECT_TRUE(sql.SQLConnect("", udl));
    EXPECT_EQ(sql.ReturnMessage(), "");
    EXPECT_TRUE(sql.IsConnected());
    EXPECT_TRUE(sql.SQLDisconnect());
    EXPECT_FALSE(sql.IsConnected());

    EXPECT_TRUE(sql.SQLConnect("Provider=SQLite;Data Source=" + db));
    EXPECT_EQ(sql.ReturnMessage(), "Connection Succeeded");
    EXPECT_FALSE(sql.SQLConnect("", "")) << "no arguments still fails while connected";

    clsSQLADO bad;
    EXPECT_FALSE(bad.SQLConnect("Provider=Nobody"));
    EXPECT_EQ(bad.ReturnMessage(), "Connection Failed");
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_NE(ui.shown[0].text.find("clsSQLADO!mblnOpenDB"), std::string::npos);
}

TEST_F(ClsSQLADOTest, SessionWrapperIsConnectedAndConnectReturnsAtOnce) {
    std::string db = test::MakeSqliteDatabase("CREATE TABLE t(x);");
    ASSERT_TRUE(gblnOpenDB("", "Provider=SQLite;Data Source=" + db));
    EXPECT_TRUE(gobjSQLADO->IsConnected());
    EXPECT_TRUE(gobjSQLADO->SQLConnect("Provider=Nobody"));
    EXPECT_EQ(gobjSQLADO->ReturnMessage(), "Connection Succeeded");
    EXPECT_EQ(gobjSQLADO->ConnectionString(), "Provider=SQLite;Data Source=" + db);
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(ClsSQLADOTest, DataLinkThatIsNoFileOrNoDataLinkFailsTheConnect) {
    std::string db = test::MakeSqliteDatabase("CREATE TABLE t(x);");
    std::string folder = test::ScratchPath("folder.udl");
    std::filesystem::create_directory(folder);
    std::string markOnly = test::ScratchPath("mark.udl");
    test::WriteBytes(markOnly, "\xEF\xBB\xBF");
    test::PipeFile pipe("[oledb]\r\nProvider=SQLite;Data Source=" + db + "\r\n");
    std::string missing = test::ScratchPath("missing.udl");
    struct Case {
        std::string path;
        bool connects;
        std::string message, shown;
    } cases[] = {
        {missing, false, "The specified UDL file does not exist: " + missing, ""},
        {folder, false, "The specified UDL file is not a file: " + folder, ""},
        {"/dev/null", false, "The specified UDL file is not a file: /dev/null", ""},
        {markOnly, false, "Connection Failed", "This is a not a valid UDL file: \r\n" + markOnly},
        {pipe.path(), true, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        ui.shown.clear();
        clsSQLADO sql;
        EXPECT_EQ(sql.SQLConnect("", c.path), c.connects);
        EXPECT_EQ(sql.ReturnMessage(), c.message);
        EXPECT_EQ(sql.IsConnected(), c.connects);
        std::vector<std::string> shown;
        for (const auto& s : ui.shown) shown.push_back(s.text);
        EXPECT_EQ(shown, c.shown.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.shown})
            << "nothing is opened with an empty string";
    }
}

// After a failed statement, a failure in this layer shows no stale provider errors.
TEST_F(ClsSQLADOTest, ReportShowsOnlyTheProviderErrorsOfItsOwnFailure) {
    ASSERT_TRUE(gblnOpenDB("", "Provider=SQLite;Data Source=" + test::MakeSqliteDatabase("SELECT 1;")));
    const std::pair<const char*, std::function<void(clsSQLADO&)>> cases[] = {
        {"SQLAddParmByType", [](clsSQLADO& s) { s.SQLAddParmByType("p", ado::adVarChar, ado::adParamInput, {}); }},
        {"SQLAddParm", [](clsSQLADO& s) { s.SQLAddParm("p", ado::Variant::FromText("x"), false); }},
        {"SQLGetParameterValue", [](clsSQLADO& s) { s.SQLGetParameterValue(std::string("p")); }},
        {"SQLGetNext", [](clsSQLADO& s) { s.SQLGetNext(); }},
    };
    for (const auto& [name, operation] : cases) {
        SCOPED_TRACE(name);
        clsSQLADO sql;
        sql.SetActiveConnection(gcnnDB);
        ui.shown.clear();
        ASSERT_TRUE(sql.SQLSetText("SELECT * FROM qarn_nowhere"));
        EXPECT_FALSE(sql.SQLRunSQLWithRs());
        ASSERT_EQ(ui.shown.size(), 1u);
        ASSERT_EQ(ui.shown[0].kind, "error-window");
        operation(sql);
        ASSERT_EQ(ui.shown.size(), 2u);
        EXPECT_EQ(ui.shown[1].kind, "message");
        EXPECT_NE(ui.shown[1].text.find(name), std::string::npos) << ui.shown[1].text;
    }
}
