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
#include "text/TextCase.h"

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
    std::string batchOptions;      // what a batch of statements needs
    int64_t rowsAfterFailedBatch;  // the batch table after a batch failing in its second statement
    std::string textType, decimalType, bigintCast, doubleCast;
    bool backslashEscapes;  // MariaDB reads '\' in literals as an escape
    std::string (*binaryLiteral)(const std::string& hex);
    std::string closedPortState;  // SQLSTATE of a refused connection
    std::string missingTableState;
};

void PrintTo(const Server& s, std::ostream* os) {
    *os << s.name;
}

std::string PgBinary(const std::string& hex) {
    return "'\\x" + hex + "'::bytea";
}
std::string MyBinary(const std::string& hex) {
    return "x'" + hex + "'";
}

// psqlodbc streams through a server cursor 500 rows at a time and reports
// booleans as SQL_BIT.
const Server kPostgres{"Postgres",
                       test::PostgresServer,
                       test::PostgresOdbcString,
                       ";UseDeclareFetch=1;Fetch=500;BoolsAsChar=0",
                       "",
                       3,
                       "text",
                       "numeric(38,10)",
                       "bigint",
                       "double precision",
                       false,
                       PgBinary,
                       "08001",
                       "42P01"};
const Server kMariaDb{"MariaDb",
                      test::MariaDbServer,
                      test::MariaDbOdbcString,
                      "",
                      ";OPTION=67108864",
                      4,
                      "longtext",
                      "decimal(38,10)",
                      "signed",
                      "double",
                      true,
                      MyBinary,
                      "HY000",
                      "42S02"};

std::shared_ptr<EngineConnection> OpenOn(const Server& s, const std::string& extra = "") {
    return OpenOdbc(s.odbcString() + s.streamingOptions + extra);
}

// Cases for one server.
template <const Server& S>
class OdbcOn : public ::testing::Test {
protected:
    void SetUp() override { QARN_REQUIRE_SERVER(S.facts()); }
    static std::shared_ptr<EngineConnection> Open(const std::string& extra = "") { return OpenOn(S, extra); }
};
using OdbcPostgres = OdbcOn<kPostgres>;
using OdbcMariaDb = OdbcOn<kMariaDb>;

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
    // A table of this test's own, so that parallel runs never meet.
    std::string Table(const std::string& what) const { return "odbc_" + what + "_" + GetParam().name; }
};

TEST_P(OdbcServer, AwkwardTextBinaryAndExtremeNumbersArriveExactly) {
    auto c = Open();
    const Server& s = GetParam();
    const std::vector<std::string> texts = {"",          "it's",     "back\\slash\\", "line1\nline2\r\n", "tab\there",
                                            "Ünïcødé ✓", "😀 astral", "%_ pattern",    "\"quoted\""};
    c->Execute("CREATE TEMPORARY TABLE awkward (id int, t " + s.textType + ")", -1);
    c->Execute("INSERT INTO awkward VALUES (0, NULL)", -1);
    for (size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(
            c->Execute("INSERT INTO awkward VALUES (" + std::to_string(i + 1) + ", " + Literal(texts[i]) + ")", -1)
                .rowsAffected,
            1);
    Rows rows = Query(*c, "SELECT t FROM awkward ORDER BY id");
    ASSERT_EQ(rows.size(), texts.size() + 1);
    EXPECT_TRUE(rows[0][0].IsNull());
    for (size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(rows[i + 1][0], Variant::FromText(texts[i])) << i;

    const std::string& dec = s.decimalType;
    rows = Query(*c, "SELECT " + s.binaryLiteral("0000ff10") + ", " + s.binaryLiteral("") + ", NULL, CAST(" +
                         "-9223372036854775808 AS " + s.bigintCast + "), CAST(9223372036854775807 AS " + s.bigintCast +
                         "), CAST('-1234567890123456789012345678.0123456789' AS " + dec + "), CAST('0.0000000001' AS " +
                         dec + "), CAST(1.7976931348623157e308 AS " + s.doubleCast + "), CAST(NULL AS " + dec + ")");
    const Rows want = {{Variant::FromBinary(std::string("\0\0\xff\x10", 4)), Variant::FromBinary(""),
                        Variant::MakeNull(), Variant::FromInt(INT64_MIN), Variant::FromInt(INT64_MAX),
                        Variant::FromDecimal("-1234567890123456789012345678.0123456789"),
                        Variant::FromDecimal("0.0000000001"), Variant::FromDouble(1.7976931348623157e308),
                        Variant::MakeNull()}};
    EXPECT_EQ(rows, want);
}

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

TEST_P(OdbcServer, FailuresCarryTheDriversRecords) {
    auto c = Open();
    AdoError e = ProviderFailure([&] { c->Execute("SELECT * FROM odbc_no_such_table", -1); });
    ASSERT_FALSE(e.Records().empty());
    EXPECT_EQ(e.Records()[0].SQLState, GetParam().missingTableState);
    EXPECT_THAT(e.Records()[0].Description, HasSubstr("odbc_no_such_table"));
    // The connection is still usable afterwards.
    EXPECT_EQ(Scalar(*c, "SELECT 7"), Variant::FromInt(7));

    // A refused connection fails fast.
    test::ServerFacts f = GetParam().facts();
    std::string cs = GetParam().odbcString();
    cs.replace(cs.find("Port=" + f.port), 5 + f.port.size(), "Port=" + ClosedPort());
    auto start = std::chrono::steady_clock::now();
    e = ProviderFailure([&] { OpenOdbc(cs); });
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ASSERT_FALSE(e.Records().empty());
    EXPECT_EQ(e.Records()[0].SQLState, GetParam().closedPortState);
}

TEST_P(OdbcServer, BatchSumsCountsAndRaisesTheFailingStatement) {
    auto c = Open(GetParam().batchOptions);
    c->Execute("CREATE TEMPORARY TABLE batch (i int)", -1);
    EXPECT_EQ(c->ExecuteBatch("INSERT INTO batch VALUES (1); INSERT INTO batch VALUES (2), (3); "
                              "SELECT * FROM batch; UPDATE batch SET i = i + 1",
                              -1),
              6);
    AdoError e = ProviderFailure([&] {
        c->ExecuteBatch(
            "INSERT INTO batch VALUES (4); INSERT INTO odbc_no_such_table VALUES (5); "
            "INSERT INTO batch VALUES (6)",
            -1);
    });
    EXPECT_THAT(e.Description(), HasSubstr("odbc_no_such_table"));
    // MariaDB ran the statement before the failure; both stop at the failure.
    EXPECT_EQ(Scalar(*c, "SELECT COUNT(*) FROM batch").AsInt(), GetParam().rowsAfterFailedBatch);
}

TEST_P(OdbcServer, TransactionsCommitRollBackAndCloseRollsBack) {
    const std::string table = Table("tx");
    auto c = Open();
    auto other = Open();
    c->Execute("DROP TABLE IF EXISTS " + table, -1);
    c->Execute("CREATE TABLE " + table + " (i int)", -1);
    auto count = [&] { return Scalar(*other, "SELECT COUNT(*) FROM " + table).AsInt(); };

    c->BeginTrans();
    c->Execute("INSERT INTO " + table + " VALUES (1)", -1);
    EXPECT_EQ(Scalar(*c, "SELECT COUNT(*) FROM " + table).AsInt(), 1);
    c->RollbackTrans();
    EXPECT_EQ(count(), 0);

    c->BeginTrans();
    EXPECT_EQ(c->Execute("INSERT INTO " + table + " VALUES (2), (3), (4)", -1).rowsAffected, 3);
    EXPECT_EQ(count(), 0);  // not before the commit
    c->CommitTrans();
    EXPECT_EQ(count(), 3);
    // Auto-commit is back on after the commit; counts of changes, none included.
    EXPECT_EQ(c->Execute("UPDATE " + table + " SET i = i + 1 WHERE i > 2", -1).rowsAffected, 2);
    ExecuteResult none = c->Execute("DELETE FROM " + table + " WHERE i > 100", -1);
    EXPECT_EQ(none.rowsAffected, 0);
    EXPECT_EQ(none.cursor, nullptr);
    c->Execute("INSERT INTO " + table + " VALUES (5)", -1);
    EXPECT_EQ(count(), 4);

    EXPECT_THROW(c->CommitTrans(), AdoError);
    c->BeginTrans();
    EXPECT_THROW(c->BeginTrans(), AdoError);
    c->Execute("INSERT INTO " + table + " VALUES (6)", -1);
    c->Close();
    EXPECT_EQ(count(), 4);
    other->Execute("DROP TABLE " + table, -1);
}

TEST_P(OdbcServer, CursorOutlivesItsConnectionAndClosesEarly) {
    std::unique_ptr<EngineCursor> cursor;
    {
        auto c = Open();
        cursor = c->Execute("SELECT 1 UNION ALL SELECT 2", -1).cursor;
    }
    Rows rows = ReadAll(*cursor);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][0], Variant::FromInt(2));

    auto c = Open();
    auto early = c->Execute("SELECT 1 UNION ALL SELECT 2", -1).cursor;
    std::vector<Variant> row;
    ASSERT_TRUE(early->Fetch(row));
    early->Close();
    EXPECT_FALSE(early->Fetch(row));
    EXPECT_EQ(Query(*c, "SELECT 3")[0][0], Variant::FromInt(3));

    // Closing the connection ends its open cursors.
    auto open = c->Execute("SELECT 1 UNION ALL SELECT 2", -1).cursor;
    c->Close();
    EXPECT_FALSE(open->Fetch(row));
    EXPECT_THROW(c->Execute("SELECT 1", -1), AdoError);
}

INSTANTIATE_TEST_SUITE_P(Odbc, OdbcServer, ::testing::Values(kPostgres, kMariaDb),
                         [](const auto& info) { return info.param.name; });

// ------------------------------------------------------------------ PostgreSQL

// psqlodbc writes dates and times its own way, rounds a real through a
// double, reads money as a double and xid as a signed number, and may be
// set to turn line feeds into CR LF: each value must still arrive as the
// server holds it, and each column name its type.
TEST_F(OdbcPostgres, ValuesArriveAsTheServerHoldsThem) {
    auto c = Open(";LFConversion=1");
    c->Execute("SET TimeZone = 'America/New_York'", -1);
    ExecuteResult r = c->Execute(
        "SELECT timestamptz '2024-11-03 01:30:00-05', date '5874897-12-31', time '24:00:00', real '7.038531e-26', "
        "money '-92233720368547758.08', xid '4294967295', E'a\\nb', uuid 'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11', "
        "ev_action FROM pg_rewrite LIMIT 1;",
        -1);
    ASSERT_NE(r.cursor, nullptr);
    const auto& cols = r.cursor->Columns();
    const std::vector<std::string> types = {"timestamptz", "date", "time", "float4",      "money",
                                            "xid",         "text", "uuid", "pg_node_tree"};
    ASSERT_EQ(cols.size(), types.size());
    for (size_t i = 0; i < cols.size(); ++i) {
        EXPECT_EQ(cols[i].typeName, types[i]);
        EXPECT_EQ(cols[i].textInput, i + 1 < cols.size()) << types[i];
    }
    EXPECT_EQ(cols[4].type, adCurrency);
    Rows rows = ReadAll(*r.cursor);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], Variant::FromText("2024-11-03 01:30:00-05"));
    EXPECT_EQ(rows[0][1], Variant::FromText("5874897-12-31"));
    EXPECT_EQ(rows[0][2], Variant::FromText("24:00:00"));
    EXPECT_EQ(rows[0][3], Variant::FromDouble(static_cast<double>(7.038531e-26f)));
    Variant money;
    money.SetCurrency("-92233720368547758.08");
    EXPECT_EQ(rows[0][4], money);
    EXPECT_EQ(rows[0][5], Variant::FromText("4294967295"));
    EXPECT_EQ(rows[0][6], Variant::FromText("a\nb"));
    EXPECT_EQ(rows[0][7].Kind(), VarKind::Guid);
    EXPECT_EQ(text::ToLower(rows[0][7].AsText()), "a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11");
}

TEST_F(OdbcPostgres, QueryTimeoutCancelsTheStatement) {
    // MariaDB's driver (3.1.15) ignores SQL_ATTR_QUERY_TIMEOUT; psqlodbc cancels.
    auto c = Open();
    auto start = std::chrono::steady_clock::now();
    AdoError e = ProviderFailure([&] { c->Execute("SELECT pg_sleep(10)", 1); });
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(e.Records()[0].SQLState, "57014");
}

// ------------------------------------------------------------------ MariaDB

TEST_F(OdbcMariaDb, TextArrivesAsUtf8AndZeroDatesAsThemselves) {
    auto c = Open(";CHARSET=latin1");
    c->Execute("CREATE TEMPORARY TABLE zero (d date, t datetime(6))", -1);
    c->Execute("INSERT INTO zero VALUES ('0000-00-00', '2024-02-29 12:34:56.789012')", -1);
    Rows rows = Query(*c, "SELECT CONVERT(X'C39CF09F9880' USING utf8mb4), d, t FROM zero");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], Variant::FromText("\xC3\x9C\xF0\x9F\x98\x80"));
    EXPECT_EQ(rows[0][1], Variant::FromText("0000-00-00"));
    EXPECT_EQ(rows[0][2], Variant::FromDate(Date(2024, 2, 29, 12, 34, 56, 789012000)));
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
