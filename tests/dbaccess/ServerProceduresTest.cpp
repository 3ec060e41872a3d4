// clsSQLADO calling real procedures and functions (on PostgreSQL; what each
// engine binds and returns is the engine tests'): parameters by name and by
// definition, output and return values, reports, result pages.
#include <gtest/gtest.h>
#include <unistd.h>

#include "basSQLGenComp.h"
#include "clsSQLADO.h"
#include "support/TestSupport.h"

using namespace qarn;
using ado::Variant;

namespace {
// Test cases run side by side as separate processes: each makes its own
// routines and table.
std::string Own(const char* name) {
    return std::string(name) + "_" + std::to_string(::getpid());
}

class ServerProceduresTest : public ::testing::Test {
protected:
    void SetUp() override {
        QARN_REQUIRE_SERVER(test::PostgresServer());
        ASSERT_TRUE(gblnOpenDB("", test::PostgresProviderString()));
        for (const std::string& sql :
             {"CREATE OR REPLACE FUNCTION " + Own("qarn_add") +
                  "(a integer, b integer) RETURNS integer AS $$ SELECT a + b $$ LANGUAGE sql",
              "CREATE OR REPLACE FUNCTION " + Own("qarn_greet") +
                  "(who text) RETURNS text AS $$ SELECT coalesce('Hello ' || who, 'nobody') $$ LANGUAGE sql",
              "CREATE OR REPLACE PROCEDURE " + Own("qarn_scale") +
                  "(IN a integer, OUT doubled integer, INOUT total numeric) AS "
                  "$$ BEGIN doubled := a * 2; total := total + a; END $$ LANGUAGE plpgsql",
              "CREATE OR REPLACE FUNCTION " + Own("qarn_series") +
                  "(n integer) RETURNS SETOF integer AS $$ SELECT generate_series(1, n) $$ LANGUAGE sql"})
            ASSERT_TRUE(gobjSQLADO->SQLSetText(sql) && gobjSQLADO->SQLRunProcNoRs()) << sql;
    }
    void TearDown() override {
        gblnCloseDB();
        gobjSQLADO.reset();
    }
    test::RecordingUserInterface ui;
};
}  // namespace

TEST_F(ServerProceduresTest, ReturnValuesOutputsBlanksAndPages) {
    clsSQLADO& sql = *gobjSQLADO;
    ASSERT_TRUE(sql.SQLSetProcName(Own("qarn_add")));
    ASSERT_TRUE(sql.SQLAddParm("a", Variant::FromInt(40), false));
    ASSERT_TRUE(sql.SQLAddParm("b", Variant::FromInt(2), false));
    EXPECT_EQ(sql.SQLRunProcNoRsRet(), 42);
    EXPECT_EQ(sql.SQLGetParameterValue(std::string("a")).AsInt(), 40);
    EXPECT_EQ(sql.SQLGetParameterValue(int16_t{2}).AsInt(), 2);
    EXPECT_TRUE(ui.shown.empty());
    // A 32-bit index is refused, naming it.
    EXPECT_TRUE(sql.SQLGetParameterValue(int32_t{1}).IsEmpty());
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_TRUE(ui.shown[0].text.ends_with("Extra Info:  Parameter error: ErrorParmName = 1")) << ui.shown[0].text;

    // Parameters by definition, return value first.
    ASSERT_TRUE(sql.SQLSetProcName(Own("qarn_add")));
    ASSERT_TRUE(sql.SQLAddParmByType("RETURN_VALUE", ado::adInteger, ado::adParamReturnValue, Variant::FromInt(7)));
    ASSERT_TRUE(sql.SQLAddParmByType("a", ado::adInteger, ado::adParamInput, Variant::FromInt(-50)));
    ASSERT_TRUE(sql.SQLAddParmByType("b", ado::adInteger, ado::adParamInput, Variant::FromInt(8)));
    EXPECT_EQ(sql.SQLRunProcNoRsRet(), -42);

    ASSERT_TRUE(sql.SQLSetProcName(Own("qarn_scale")));
    ASSERT_TRUE(sql.SQLAddParm("a", Variant::FromInt(21), false));
    ASSERT_TRUE(sql.SQLAddParm("total", Variant::FromDecimal("1.5"), false));
    sql.SQLRunProcNoRsRet();
    EXPECT_EQ(sql.SQLGetParameterValue(std::string("doubled")).AsInt(), 42);
    EXPECT_EQ(std::stod(sql.SQLGetParameterValue(std::string("total")).AsText()), 22.5);
    EXPECT_EQ(ui.shown.size(), 1u);

    // Blank nullable parameters become NULL, and unknown ones are reported.
    // The function returns text: there is no 32-bit code to give, which is
    // reported, while its value can still be read.
    ui.shown.clear();
    ASSERT_TRUE(sql.SQLSetProcName(Own("qarn_greet")));
    ASSERT_TRUE(sql.SQLAddParm("who", Variant::FromText("   "), true));
    EXPECT_EQ(sql.SQLRunProcNoRsRet(), 0);
    EXPECT_EQ(sql.SQLGetParameterValue(int16_t{0}).ToText(), "nobody");
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_NE(ui.shown[0].text.find("clsSQLADO!SQLRunProcNoRsRet\r\nError Number: 13"), std::string::npos);

    ASSERT_TRUE(sql.SQLSetProcName(Own("qarn_greet")));
    ASSERT_TRUE(sql.SQLAddParm("who", Variant::FromText("   "), false));  // blanks pass through
    sql.SQLRunProcNoRsRet();
    EXPECT_EQ(sql.SQLGetParameterValue(int16_t{0}).ToText(), "Hello    ");

    ui.shown.clear();
    ASSERT_TRUE(sql.SQLSetProcName(Own("qarn_greet")));
    EXPECT_FALSE(sql.SQLAddParm("nobody_here", Variant::FromInt(1), false));
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_TRUE(ui.shown[0].text.ends_with("Extra Info:  ErrorParmName = nobody_here ErrorParmValue = *1*"));

    // Rows come in pages.
    ui.shown.clear();
    ASSERT_TRUE(sql.SQLSetProcName(Own("qarn_series")));
    ASSERT_TRUE(sql.SQLAddParm("n", Variant::FromInt(25), false));
    ASSERT_TRUE(sql.SQLRunProcWithRsLimitGet(10));
    std::vector<size_t> pages{sql.Data().rows};
    while (sql.SQLGetNext(10)) pages.push_back(sql.Data().rows);
    EXPECT_EQ(pages, (std::vector<size_t>{10, 10, 5}));
    EXPECT_EQ(sql.Data().rows, 1u);
    sql.SQLCloseRS();
    // The same command runs again with the same parameters, all at once.
    ASSERT_TRUE(sql.SQLRunProcWithRs());
    EXPECT_EQ(sql.Data().rows, 25u);
    EXPECT_TRUE(ui.shown.empty());
}
