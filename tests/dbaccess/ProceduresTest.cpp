// clsSQLADO's procedures, parameters, paging and transactions: the parts
// every engine shares, on SQLite, and what fails without a connection.
#include <gtest/gtest.h>

#include "basSQLGenComp.h"
#include "clsSQLADO.h"
#include "support/TestSupport.h"

using namespace qarn;
using ado::Variant;

namespace {
class ProceduresTest : public ::testing::Test {
protected:
    void TearDown() override {
        gblnCloseDB();
        gobjSQLADO.reset();
    }
    clsSQLADO& OpenSqlite(const std::string& sql) {
        EXPECT_TRUE(gblnOpenDB("", "Provider=SQLite;Data Source=" + test::MakeSqliteDatabase(sql)));
        return *gobjSQLADO;
    }
    test::RecordingUserInterface ui;
};

std::string TwentyFiveRows() {
    std::string sql = "BEGIN; CREATE TABLE t(n INTEGER, s TEXT);";
    for (int i = 1; i <= 25; ++i) sql += "INSERT INTO t VALUES(" + std::to_string(i) + ", 'row');";
    return sql + "COMMIT;";
}
}  // namespace

TEST_F(ProceduresTest, PagingHandsOutBlocksUntilTheRowsRunOut) {
    clsSQLADO& sql = OpenSqlite(TwentyFiveRows());
    ASSERT_TRUE(sql.SQLSetText("SELECT n, s FROM t ORDER BY n"));
    ASSERT_TRUE(sql.SQLRunProcWithRsLimitGet(10));
    EXPECT_EQ(sql.Data().rows, 10u);
    EXPECT_EQ(sql.Data().columns, 2u);
    EXPECT_EQ(sql.Data().At(0, 9).AsInt(), 10);
    ASSERT_TRUE(sql.SQLGetNext(10));
    EXPECT_EQ(sql.Data().rows, 10u);
    EXPECT_EQ(sql.Data().At(0, 0).AsInt(), 11);
    ASSERT_TRUE(sql.SQLGetNext(10));
    EXPECT_EQ(sql.Data().rows, 5u);
    EXPECT_EQ(sql.Data().At(0, 4).AsInt(), 25);
    EXPECT_FALSE(sql.SQLGetNext(10));
    EXPECT_EQ(sql.Data().rows, 1u);
    EXPECT_EQ(sql.Data().columns, 1u);
    EXPECT_TRUE(sql.Data().At(0, 0).IsEmpty());
    EXPECT_THROW(sql.Data().At(1, 0), ado::AdoError);
    sql.SQLCloseRS();
    EXPECT_TRUE(ui.shown.empty());

    // Every row at once, and a statement without rows.
    ASSERT_TRUE(sql.SQLSetText("SELECT n FROM t"));
    ASSERT_TRUE(sql.SQLRunProcWithRs());
    EXPECT_EQ(sql.Data().rows, 25u);
    ASSERT_TRUE(sql.SQLSetText("SELECT n FROM t WHERE n > 100"));
    ASSERT_TRUE(sql.SQLRunProcWithRs());
    EXPECT_EQ(sql.Data().rows, 1u);
    EXPECT_TRUE(sql.Data().At(0, 0).IsEmpty());
}

TEST_F(ProceduresTest, NullsBecomeBlanksByType) {
    clsSQLADO& sql = OpenSqlite("CREATE TABLE t(a TEXT, b INTEGER); INSERT INTO t VALUES(NULL, NULL), ('x', 7);");
    ASSERT_TRUE(sql.SQLSetText("SELECT a, b FROM t ORDER BY b"));
    ASSERT_TRUE(sql.SQLRunProcWithRs());
    EXPECT_EQ(sql.DataNoNulls(0, 0, ado::adVarChar), Variant::FromText(""));
    EXPECT_EQ(sql.DataNoNulls(1, 0, ado::adInteger), Variant::FromInt(0));
    EXPECT_EQ(sql.DataNoNulls(0, 0, ado::adWChar), Variant::FromInt(0));  // not one of the text types that blank
    EXPECT_EQ(sql.DataNoNulls(0, 1, ado::adInteger), Variant::FromText("x"));
    EXPECT_THROW(sql.DataNoNulls(2, 0, ado::adInteger), ado::AdoError);
    EXPECT_EQ(clsSQLADO::ConvertNullToBlank(Variant::MakeNull(), ado::adDBTimeStamp), Variant::FromText(""));
}

// The control ends its transactions on the connection itself: these are only tested here.
TEST_F(ProceduresTest, TransactionsCommitAndRollBackOnSqlite) {
    clsSQLADO& sql = OpenSqlite("CREATE TABLE t(n INTEGER);");
    auto run = [&](const std::string& text) { return sql.SQLSetText(text) && sql.SQLRunProcNoRs(); };
    ASSERT_TRUE(sql.BeginDBTransaction());
    ASSERT_TRUE(run("INSERT INTO t VALUES(1)"));
    ASSERT_TRUE(sql.RollBackDBTrans());
    ASSERT_TRUE(sql.BeginDBTransaction());
    ASSERT_TRUE(run("INSERT INTO t VALUES(2)"));
    ASSERT_TRUE(sql.CommitDBTrans());
    ASSERT_TRUE(sql.SQLSetText("SELECT group_concat(n) FROM t"));
    ASSERT_TRUE(sql.SQLRunProcWithRs());
    EXPECT_EQ(sql.Data().At(0, 0).ToText(), "2");
    EXPECT_FALSE(sql.CommitDBTrans());  // no transaction is open
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_NE(ui.shown[0].text.find("clsSQLADO!CommitDBTrans"), std::string::npos);
}

TEST_F(ProceduresTest, SqliteHasNoProceduresAndSaysSo) {
    clsSQLADO& sql = OpenSqlite("CREATE TABLE t(n INTEGER);");
    ASSERT_TRUE(sql.SQLSetProcName("refresh_stock"));
    EXPECT_FALSE(sql.SQLRunProcWithRs());
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_NE(ui.shown[0].text.find("clsSQLADO!SQLRunProcWithRs"), std::string::npos);
    ASSERT_EQ(ui.shown[0].providerErrors.size(), 1u);
    EXPECT_NE(ui.shown[0].providerErrors[0].find("SQLite has no stored procedures: refresh_stock"), std::string::npos);
    EXPECT_EQ(sql.SQLRunProcNoRsRet(), 0);
    EXPECT_EQ(ui.shown.size(), 2u);
}

TEST_F(ProceduresTest, ParameterFailuresNameTheParameter) {
    clsSQLADO lonely;
    EXPECT_FALSE(lonely.SQLAddParmByType("x", ado::adInteger, ado::adParamInput, Variant::FromInt(1)));
    ASSERT_EQ(ui.shown.size(), 1u);  // no command at all: no extra text
    EXPECT_EQ(ui.shown[0].text.find("Extra Info"), std::string::npos);
    EXPECT_NE(ui.shown[0].text.find("clsSQLADO!SQLAddParmByType"), std::string::npos);

    ASSERT_TRUE(lonely.SQLSetProcName("p"));
    EXPECT_FALSE(lonely.SQLAddParmByType("x", ado::adInteger, ado::adParamInput, Variant::FromInt(1)));
    EXPECT_TRUE(ui.shown.back().text.ends_with("Error Number: 3709\r\nError: " + ado::DescriptionFor(3709) +
                                               "\r\nExtra Info:  Invalid or closed connection "));

    EXPECT_EQ(lonely.SQLGetParameterValue(std::string("x")).Kind(), ado::VarKind::Empty);
    EXPECT_TRUE(
        ui.shown.back().text.ends_with("Error Number: -2147220792\r\nError: Automation error\r\n"
                                       "Extra Info:  Parameter error: ErrorParmName = x"));

    clsSQLADO& sql = OpenSqlite("CREATE TABLE t(n INTEGER);");
    ASSERT_TRUE(sql.SQLSetProcName("p"));
    EXPECT_FALSE(sql.SQLAddParmByType("name", ado::adVarChar, ado::adParamInput, Variant::FromText("Ann")));
    EXPECT_TRUE(ui.shown.back().text.ends_with("Extra Info:  ErrorParmName = name ErrorParmValue = *Ann*"));
    EXPECT_TRUE(sql.SQLAddParmByType("name", ado::adVarChar, ado::adParamInput, Variant::FromText("Ann"), 20));
    EXPECT_TRUE(sql.SQLAddParmByType("ret", ado::adInteger, ado::adParamReturnValue, Variant::FromInt(9)));
}
