// clsSQLADO calling real procedures and functions on PostgreSQL and MariaDB:
// parameters by name and by definition, output and return values, result
// pages.
#include <gtest/gtest.h>
#include <unistd.h>

#include "basSQLGenComp.h"
#include "clsSQLADO.h"
#include "support/TestSupport.h"

using namespace qarn;
using namespace std::string_literals;
using ado::Variant;

namespace {
// Test cases run side by side as separate processes: each makes its own
// routines and table.
std::string Own(const char* name) {
    return std::string(name) + "_" + std::to_string(::getpid());
}

struct Server {
    std::string name;
    test::ServerFacts facts;
    std::string connection;
    std::vector<std::string> setup;  // functions and procedures the tests call
};

Server Postgres() {
    return {"PostgreSQL",
            test::PostgresServer(),
            test::PostgresProviderString(),
            {"CREATE OR REPLACE FUNCTION " + Own("qarn_add") +
                 "(a integer, b integer) RETURNS integer AS $$ SELECT a + b $$ LANGUAGE sql",
             "CREATE OR REPLACE FUNCTION " + Own("qarn_greet") +
                 "(who text) RETURNS text AS $$ SELECT coalesce('Hello ' || who, 'nobody') $$ LANGUAGE sql",
             "CREATE OR REPLACE PROCEDURE " + Own("qarn_scale") +
                 "(IN a integer, OUT doubled integer, INOUT total numeric) AS "
                 "$$ BEGIN doubled := a * 2; total := total + a; END $$ LANGUAGE plpgsql",
             "CREATE OR REPLACE FUNCTION " + Own("qarn_series") +
                 "(n integer) RETURNS SETOF integer AS $$ SELECT generate_series(1, n) $$ LANGUAGE sql"}};
}

Server MariaDb() {
    return {"MariaDB",
            test::MariaDbServer(),
            test::MariaDbProviderString(),
            {"DROP FUNCTION IF EXISTS " + Own("qarn_add"),
             "CREATE FUNCTION " + Own("qarn_add") + "(a int, b int) RETURNS int DETERMINISTIC RETURN a + b",
             "DROP FUNCTION IF EXISTS " + Own("qarn_greet"),
             "CREATE FUNCTION " + Own("qarn_greet") +
                 "(who varchar(40)) RETURNS varchar(60) DETERMINISTIC RETURN coalesce(concat('Hello ', who), 'nobody')",
             "DROP PROCEDURE IF EXISTS " + Own("qarn_scale"),
             "CREATE PROCEDURE " + Own("qarn_scale") +
                 "(IN a int, OUT doubled int, INOUT total decimal(10,2)) "
                 "BEGIN SET doubled = a * 2; SET total = total + a; END",
             "DROP PROCEDURE IF EXISTS " + Own("qarn_series"),
             "CREATE PROCEDURE " + Own("qarn_series") +
                 "(IN n int) BEGIN WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < n) SELECT "
                 "i FROM s; END"}};
}

class ServerProceduresTest : public ::testing::TestWithParam<Server (*)()> {
protected:
    void SetUp() override {
        server = GetParam()();
        if (!server.facts.present())
            GTEST_FAIL() << "database server not configured: run the tests through scripts/test";
        ASSERT_TRUE(gblnOpenDB("", server.connection));
        for (const auto& sql : server.setup) ASSERT_TRUE(Run(sql)) << sql;
    }
    void TearDown() override {
        gblnCloseDB();
        gobjSQLADO.reset();
    }
    bool Run(const std::string& sql) { return gobjSQLADO->SQLSetText(sql) && gobjSQLADO->SQLRunProcNoRs(); }
    Server server;
    test::RecordingUserInterface ui;
};
}  // namespace

// One connection and one set of routines for every case of a server.
TEST_P(ServerProceduresTest, ReturnValuesOutputsBlanksAndPages) {
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

INSTANTIATE_TEST_SUITE_P(Servers, ServerProceduresTest, ::testing::Values(&Postgres, &MariaDb),
                         [](const auto& info) { return info.param == &Postgres ? "Postgres" : "MariaDb"; });

namespace {
// Output values far longer than any buffer sized for them, on every path to
// each server: text of four-byte characters and bytes, 100,000 of each.
class LongOutputs : public ::testing::TestWithParam<test::ServerPath> {
protected:
    void SetUp() override {
        QARN_REQUIRE_SERVER(GetParam().facts());
        ASSERT_TRUE(gblnOpenDB("", GetParam().connection()));
    }
    void TearDown() override {
        gblnCloseDB();
        gobjSQLADO.reset();
    }
    test::RecordingUserInterface ui;
};

TEST_P(LongOutputs, ArriveWhole) {
    clsSQLADO& sql = *gobjSQLADO;
    // Named per process: the paths' cases may run at once.
    const std::string name = "qarn_long_" + std::to_string(getpid());
    const std::vector<std::string> setup =
        GetParam().dialect == sql::Dialect::PostgreSql
            ? std::vector<std::string>{"CREATE OR REPLACE FUNCTION " + name +
                                       "(n integer, OUT t text, OUT b bytea) AS "
                                       "$$ SELECT repeat(U&'\\00FC\\+01F600a\\000A', n), "
                                       "decode(repeat('00ff', n * 2), 'hex') $$ LANGUAGE sql"}
            : std::vector<std::string>{"DROP PROCEDURE IF EXISTS " + name,
                                       "CREATE PROCEDURE " + name +
                                           "(IN n int, OUT t LONGTEXT, OUT b LONGBLOB) "
                                           "BEGIN SET t = REPEAT(CONVERT(X'C3BCF09F9880610A' USING utf8mb4), n); "
                                           "SET b = REPEAT(X'00FF', n * 2); END"};
    for (const std::string& statement : setup)
        ASSERT_TRUE(sql.SQLSetText(statement) && sql.SQLRunProcNoRs()) << statement;
    ASSERT_TRUE(sql.SQLSetProcName(name));
    ASSERT_TRUE(sql.SQLAddParm("n", Variant::FromInt(25000), false));
    sql.SQLRunProcNoRsRet();
    std::string text, bytes;
    for (int i = 0; i < 25000; ++i)
        text +=
            "\xC3\xBC\xF0\x9F\x98\x80"
            "a\n";
    for (int i = 0; i < 50000; ++i) bytes += "\x00\xff"s;
    const Variant t = sql.SQLGetParameterValue(std::string("t")), b = sql.SQLGetParameterValue(std::string("b"));
    EXPECT_EQ(t.Kind(), ado::VarKind::Text);
    EXPECT_TRUE(t.AsText() == text) << t.AsText().size() << " bytes instead of " << text.size();
    EXPECT_EQ(b.Kind(), ado::VarKind::Binary);
    EXPECT_TRUE(b.AsText() == bytes) << b.AsText().size() << " bytes instead of " << bytes.size();
    for (const auto& shown : ui.shown) ADD_FAILURE() << shown.text;
    const char* kind = GetParam().dialect == sql::Dialect::PostgreSql ? "DROP FUNCTION " : "DROP PROCEDURE ";
    EXPECT_TRUE(sql.SQLSetText(kind + name) && sql.SQLRunProcNoRs());
}

INSTANTIATE_TEST_SUITE_P(AllPaths, LongOutputs, ::testing::ValuesIn(test::ServerPaths()), test::ServerPathName);
}  // namespace
