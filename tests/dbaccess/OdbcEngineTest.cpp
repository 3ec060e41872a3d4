// The ODBC engine against the real drivers: psqlodbc, MariaDB Connector/ODBC
// and MDBTools, through OpenOdbc and the engine interface.

#include <chrono>
#include <optional>

#include "EngineTesting.h"
#include "ado/ConnectionString.h"
#include "odbc/OdbcEngine.h"
#include "odbc/OdbcPostgres.h"
#include "odbc/OdbcText.h"
#include "odbc/OdbcTypeMap.h"

namespace qarn::ado {
namespace {
using namespace testing_engine;

// ------------------------------------------------------------------ both servers

// What differs between the servers for the shared cases.
struct Server {
    std::string name;
    test::ServerFacts (*facts)();
    std::string (*odbcString)();
    std::string streamingOptions;  // added to the connection string
    bool backslashEscapes;         // MariaDB reads '\' in literals as an escape
    std::string alteringOption;    // a driver option that would change the text read
};

void PrintTo(const Server& s, std::ostream* os) {
    *os << s.name;
}

// psqlodbc streams through a server cursor 500 rows at a time and reports
// booleans as SQL_BIT.
const Server kPostgres{
    "Postgres", test::PostgresServer, test::PostgresOdbcString, ";UseDeclareFetch=1;Fetch=500;BoolsAsChar=0",
    false,      ";LFConversion=1"};
const Server kMariaDb{"MariaDb", test::MariaDbServer, test::MariaDbOdbcString, "", true, ";CHARSET=latin1"};

std::shared_ptr<EngineConnection> OpenOn(const Server& s, const std::string& extra = "") {
    return OpenOdbc(s.odbcString() + s.streamingOptions + extra);
}

class OdbcPostgres : public ::testing::Test {
protected:
    void SetUp() override { QARN_REQUIRE_SERVER(test::PostgresServer()); }
    static std::shared_ptr<EngineConnection> Open() { return OpenOn(kPostgres); }
};

// Cases for each server.
class OdbcServer : public ::testing::TestWithParam<Server> {
protected:
    void SetUp() override { QARN_REQUIRE_SERVER(GetParam().facts()); }
    std::shared_ptr<EngineConnection> Open(const std::string& extra = "") { return OpenOn(GetParam(), extra); }
    std::string Literal(const std::string& text) const {
        std::string out = "'";
        for (char c : text) {
            if (c == '\'' || (c == '\\' && GetParam().backslashEscapes)) out += c;
            out += c;
        }
        return out + "'";
    }
};

TEST_P(OdbcServer, LongValuesArriveWhole) {
    auto c = Open();
    // 3000 astral characters are 6000 UTF-16 units: the chunks split surrogate pairs.
    std::string text;
    for (int i = 0; i < 3000; ++i) text += i % 2 ? "😀" : "é✓";
    std::string bytes;
    for (int i = 0; i < 100000; ++i) bytes += std::string("\0\xff", 2);
    std::string binaryPart =
        GetParam().name == "Postgres" ? "decode(repeat('00ff', 100000), 'hex')" : "repeat(x'00ff', 100000)";
    for (int pass = 0; pass < 2; ++pass) {  // the second pass reuses the grown buffers
        Rows rows = Query(*c, "SELECT " + Literal(text) + ", " + binaryPart + ", 'short'");
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0][0].AsText(), text);
        EXPECT_EQ(rows[0][1], Variant::FromBinary(bytes));
        EXPECT_EQ(rows[0][2], Variant::FromText("short"));
    }
}

// psqlodbc may turn line feeds into CR LF, MariaDB's driver may read latin1:
// the engine opens again without the option rather than alter the text.
TEST_P(OdbcServer, DriverOptionsThatWouldAlterTextAreUndone) {
    const std::string text = "a\n\xC3\x9C\xF0\x9F\x98\x80";
    EXPECT_EQ(Scalar(*Open(GetParam().alteringOption), "SELECT " + Literal(text)), Variant::FromText(text));
}

INSTANTIATE_TEST_SUITE_P(Odbc, OdbcServer, ::testing::Values(kPostgres, kMariaDb),
                         [](const auto& info) { return info.param.name; });

// ------------------------------------------------------------------ PostgreSQL

TEST_F(OdbcPostgres, QueryTimeoutCancelsTheStatement) {
    // MariaDB's driver (3.1.15) ignores SQL_ATTR_QUERY_TIMEOUT; psqlodbc cancels.
    auto c = Open();
    auto start = std::chrono::steady_clock::now();
    AdoError e = ProviderFailure([&] { c->Execute("SELECT pg_sleep(10)", 1); });
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(e.Records()[0].SQLState, "57014");
}

// ------------------------------------------------------------------ Access, drivers, bad input

TEST(OdbcAccess, ReadsTheSampleFile) {
    std::string file = test::AccessSampleFile();
    ASSERT_FALSE(file.empty()) << "fp-units-db's sample file is missing";
    auto c = OpenOdbc("Driver=MDBTools;DBQ=" + file);
    EXPECT_FALSE(c->DbmsName().empty());
    EXPECT_EQ(c->DbmsName().find('\0'), std::string::npos);
    ExecuteResult r = c->Execute("SELECT * FROM FPdev", -1);
    const auto& cols = r.cursor->Columns();
    ASSERT_EQ(cols.size(), 3u);
    EXPECT_EQ(cols[0].type, adInteger);
    EXPECT_EQ(cols[1].type, adVarChar);
    // MDBTools cannot tell these: unknown, never an error.
    EXPECT_FALSE(cols[0].autoIncrement.has_value());
    EXPECT_EQ(cols[1].definedSize, 0);
    Rows rows = ReadAll(*r.cursor);
    ASSERT_EQ(rows.size(), 8u);
    EXPECT_EQ(rows[0][1], Variant::FromText("Michael Van Canneyt"));
    EXPECT_EQ(rows[0][2], Variant::FromText("Michael@tfdec1.fys.kuleuven.ac.be"));
    ProviderFailure([&] { c->ProcedureParameters("FPdev"); });
}

TEST(OdbcConnect, BadConnectionStringsFailClearly) {
    AdoError unknown = ProviderFailure([] { OpenOdbc("Driver={No Such Driver};Server=x"); });
    EXPECT_THAT(unknown.Description(), HasSubstr("No Such Driver"));
    AdoError garbage = ProviderFailure([] { OpenOdbc("this is not a connection string"); });
    EXPECT_EQ(garbage.Records()[0].SQLState, "IM002");
    ProviderFailure([] { OpenOdbc("Driver={MDBTools};DBQ=/nonexistent/file.mdb"); });
}

// ------------------------------------------------------------------ conversions without a server

TEST(OdbcTypeMap, DriverTypeNamesRefineTheSqlType) {
    using odbc::MapSqlType;
    EXPECT_EQ(MapSqlType(SQL_DECIMAL, false, "money").adoType, adCurrency);
    EXPECT_EQ(MapSqlType(SQL_FLOAT, false, "money").adoType, adDouble);  // PostgreSQL's money
    odbc::TypeMapping version = MapSqlType(SQL_BINARY, false, "timestamp");
    EXPECT_EQ(version.adoType, adBinary);
    EXPECT_EQ(version.attributes, adFldRowVersion);
    EXPECT_EQ(MapSqlType(odbc::kSqlServerTime, false, "time").adoType, adDBTime);
    EXPECT_EQ(MapSqlType(SQL_TINYINT, true, "tinyint").adoType, adUnsignedTinyInt);
    EXPECT_EQ(MapSqlType(SQL_BIGINT, true, "bigint").form, odbc::ValueForm::UInt64);
    EXPECT_EQ(MapSqlType(SQL_DOUBLE, true, "double").adoType, adDouble);  // only integers have unsigned kinds
    odbc::TypeMapping unknown = MapSqlType(SQL_INTERVAL_DAY_TO_SECOND, false, "interval");
    EXPECT_EQ(unknown.adoType, adVarWChar);
    EXPECT_EQ(unknown.form, odbc::ValueForm::Text);
}

TEST(OdbcTypeMap, ParametersBindAsTheTypeTheirColumnsReadAs) {
    for (int32_t ado : {adChar,        adVarChar,   adLongVarChar,     adWChar,    adVarWChar,         adLongVarWChar,
                        adNumeric,     adTinyInt,   adUnsignedTinyInt, adSmallInt, adUnsignedSmallInt, adInteger,
                        adUnsignedInt, adBigInt,    adUnsignedBigInt,  adSingle,   adDouble,           adBoolean,
                        adBinary,      adVarBinary, adLongVarBinary,   adDBDate,   adDBTime,           adDBTimeStamp,
                        adGUID}) {
        odbc::BindingType b = odbc::SqlTypeForAdo(ado);
        bool isUnsigned =
            ado == adUnsignedTinyInt || ado == adUnsignedSmallInt || ado == adUnsignedInt || ado == adUnsignedBigInt;
        EXPECT_EQ(odbc::MapSqlType(b.sqlType, isUnsigned, "").adoType, ado) << ado;
    }
    EXPECT_EQ(odbc::SqlTypeForAdo(adCurrency).form, odbc::ValueForm::Currency);
    EXPECT_EQ(odbc::SqlTypeForAdo(adVariant).sqlType, SQL_UNKNOWN_TYPE);
}

// Only one statement that a subquery can hold is read through one: the
// others would fail there, or lose their effect.
TEST(OdbcPostgresQuery, OnlyStatementsASubqueryHoldsAreWrapped) {
    const std::vector<std::pair<std::string_view, std::optional<std::string_view>>> cases = {
        {"SELECT 1;  -- done\n", "SELECT 1"},
        {"(SELECT 1) UNION (SELECT 2);;", "(SELECT 1) UNION (SELECT 2)"},
        {"VALUES (1, 'x;y')", "VALUES (1, 'x;y')"},
        {"WITH a AS (SELECT 'delete' AS \"into\") SELECT * FROM a",
         "WITH a AS (SELECT 'delete' AS \"into\") SELECT * FROM a"},
        {"WITH d AS (DELETE FROM t RETURNING *) SELECT * FROM d", std::nullopt},
        {"SELECT * INTO t2 FROM t", std::nullopt},
        {"INSERT INTO t VALUES (1)", std::nullopt},
        {"SHOW DateStyle", std::nullopt},
        {"SELECT 'open", std::nullopt},
    };
    for (const auto& [sql, body] : cases) EXPECT_EQ(odbc::PostgresQueryBody(sql), body) << sql;
}

TEST(OdbcTypeMap, DecimalTextBecomesPlainDigits) {
    const std::vector<std::pair<std::string, std::string>> cases = {{"123.4500", "123.4500"},
                                                                    {"-0.5", "-0.5"},
                                                                    {".5", "0.5"},
                                                                    {"+7", "7"},
                                                                    {"007.10", "7.10"},
                                                                    {"1,25", "1.25"},
                                                                    {"1.5E+20", "150000000000000000000"},
                                                                    {"1.5e-3", "0.0015"},
                                                                    {"-12.345e1", "-123.45"},
                                                                    {"  42 ", "42"},
                                                                    {"5.", "5"}};
    for (const auto& [in, want] : cases) {
        std::string out;
        EXPECT_TRUE(odbc::AppendPlainDecimal(out, in)) << in;
        EXPECT_EQ(out, want) << in;
    }
    for (const char* bad : {"NaN", "", "-", "1e", "1.2.3", "Infinity", "1e999999"}) {
        std::string out;
        EXPECT_FALSE(odbc::AppendPlainDecimal(out, bad)) << bad;
        EXPECT_TRUE(out.empty()) << bad;
    }
}

TEST(OdbcText, Utf16RoundTripsAndRepairsBrokenInput) {
    const std::string text = "aé✓😀\n";
    std::vector<SQLWCHAR> wide = odbc::ToUtf16(text);
    ASSERT_EQ(wide.size(), 7u);  // the emoji is a surrogate pair, then a terminator
    EXPECT_EQ(wide[3], 0xD83D);
    EXPECT_EQ(wide[4], 0xDE00);
    EXPECT_EQ(odbc::ToUtf8(wide.data(), wide.size() - 1), text);

    const SQLWCHAR lone[] = {'a', 0xD800, 'b'};
    EXPECT_EQ(odbc::ToUtf8(lone, 3),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(odbc::ToUtf16("\xC3")[0], 0xFFFD);          // cut short
    EXPECT_EQ(odbc::ToUtf16("\xED\xA0\x80")[0], 0xFFFD);  // an encoded surrogate
    const SQLWCHAR padded[] = {'A', 'B', 0, 0};
    EXPECT_EQ(odbc::FromBuffer(padded, 4, 3), "AB");  // a length that counts the terminator
}

}  // namespace
}  // namespace qarn::ado
