// The native MariaDB engine against the test server: column types on both
// paths, rows that stream and fail loudly, batched replays, output
// parameters, and the connection-string entries it reads.  Values themselves
// are proven by the round trips (tests/control/RoundTripTest.cpp) and, for
// read-only queries' binary rows, against the text protocol's here.

#include <charconv>
#include <tuple>

#include "EngineTesting.h"
#include "ado/ConnectionString.h"
#include "mariadb/MariaDbEngine.h"
#include "mariadb/MariaDbOptions.h"
#include "odbc/OdbcEngine.h"

namespace qarn::ado {
namespace {
using namespace testing_engine;
using ::testing::AnyOf;

int64_t Count(EngineConnection& c, const std::string& sql) {
    return Scalar(c, sql).AsInt();
}
constexpr auto Failure = Raised;
const Variant maxUnsigned = [] {
    Variant v;
    v.SetUInt(UINT64_MAX);
    return v;
}();

class MariaDbEngine : public ::testing::Test {
protected:
    void SetUp() override { QARN_REQUIRE_SERVER(test::MariaDbServer()); }
    static std::shared_ptr<EngineConnection> Open() { return OpenMariaDb(test::MariaDbProviderString()); }
};

// Columns and procedures through both engines that reach MariaDB: its own client
// library and MariaDB Connector/ODBC.
struct MyPath {
    std::string name;
    std::shared_ptr<EngineConnection> (*open)();
    int32_t unsignedBigInt;  // the type a bigint unsigned parameter is declared as
};
void PrintTo(const MyPath& p, std::ostream* os) {
    *os << p.name;
}

class MyPaths : public ::testing::TestWithParam<MyPath> {
protected:
    void SetUp() override { QARN_REQUIRE_SERVER(test::MariaDbServer()); }
};

TEST_P(MyPaths, ColumnsTellNullabilitySizesAndAutoIncrement) {
    auto c = GetParam().open();
    c->Execute(
        "CREATE TEMPORARY TABLE described (id int AUTO_INCREMENT PRIMARY KEY, v varchar(20) NOT NULL, "
        "n decimal(12,3), u decimal(12,3) unsigned, t longtext, vb varbinary(20), bl blob, "
        "ub bigint unsigned, tm time(6), bo bit(1), d date, dt datetime(6), y year, f float, e enum('x'), b bit(9))",
        -1);
    c->Execute("INSERT INTO described (v, ub, tm, bo) VALUES ('x', 18446744073709551615, '-838:59:59', b'1')", -1);
    ExecuteResult r = c->Execute("SELECT * FROM described", -1);
    const auto& cols = r.cursor->Columns();
    // Both paths give each column the same type.
    const int32_t types[] = {adInteger,          adVarWChar,       adNumeric, adNumeric, adLongVarWChar, adVarBinary,
                             adLongVarBinary,    adUnsignedBigInt, adDBTime,  adBoolean, adDBDate,       adDBTimeStamp,
                             adUnsignedSmallInt, adSingle,         adWChar,   adBinary};
    ASSERT_EQ(cols.size(), std::size(types));
    for (size_t i = 0; i < cols.size(); ++i) EXPECT_EQ(cols[i].type, types[i]) << cols[i].name;
    EXPECT_EQ(cols[0].autoIncrement, true);
    EXPECT_EQ(cols[1].autoIncrement, false);
    EXPECT_EQ(cols[1].attributes & (adFldIsNullable | adFldMayBeNull), 0);
    EXPECT_EQ(cols[2].attributes & (adFldIsNullable | adFldMayBeNull), adFldIsNullable | adFldMayBeNull);
    EXPECT_EQ(cols[1].definedSize, 20);  // characters, not utf8mb4 bytes
    EXPECT_EQ(cols[5].definedSize, 20);
    for (size_t i : {2u, 3u}) {
        EXPECT_EQ(cols[i].precision, 12) << i;
        EXPECT_EQ(cols[i].scale, 3) << i;
    }
    EXPECT_TRUE(cols[4].attributes & adFldLong);
    EXPECT_TRUE(cols[6].attributes & adFldLong);
    EXPECT_FALSE(cols[5].attributes & adFldLong);
    // The ODBC driver names each text type "text".
    EXPECT_EQ(cols[4].typeName, GetParam().name == "native" ? "longtext" : "text");
    Rows rows = ReadAll(*r.cursor);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][7], maxUnsigned);
    EXPECT_EQ(rows[0][8], Variant::FromText("-838:59:59.000000"));  // beyond a time of day
    EXPECT_EQ(rows[0][9], Variant::FromBool(true));
}

TEST_P(MyPaths, ProceduresAndFunctionsReturnTheirOutputsWholeAndTyped) {
    auto c = GetParam().open();
    const std::string prefix = "my_proc_" + GetParam().name, outs = prefix + "_outs", add = prefix + "_add",
                      kinds = prefix + "_kinds", rows = prefix + "_rows";
    for (const std::string& sql :
         {"DROP PROCEDURE IF EXISTS " + outs,
          "CREATE PROCEDURE " + outs +
              "(IN n int, OUT big longtext, OUT d datetime(6), OUT t time, "
              "OUT u bigint unsigned, OUT b varbinary(4), OUT f bit(1), INOUT s varchar(10), IN note varchar(5), "
              "INOUT total decimal(10,2), OUT lb longblob) BEGIN "
              "SET big = REPEAT(CONVERT(X'C3BCF09F9880610A' USING utf8mb4), n); SET d = '2024-02-29 23:00:00.5'; "
              "SET t = '-01:00:00'; SET u = 18446744073709551615; SET b = x'00ff'; SET f = b'1'; "
              "SET s = CONCAT(s, note); SET total = total + 21; SET lb = REPEAT(X'00FF', n * 2); END",
          "DROP PROCEDURE IF EXISTS " + rows,
          "CREATE PROCEDURE " + rows + "(IN n int) SELECT seq FROM seq_1_to_1000 WHERE seq <= n",
          "DROP FUNCTION IF EXISTS " + add,
          "CREATE FUNCTION " + add + "(a int, b int) RETURNS int DETERMINISTIC RETURN a + b",
          "DROP PROCEDURE IF EXISTS " + kinds,
          "CREATE PROCEDURE " + kinds +
              "(IN d datetime(6), IN t time(6), IN flag tinyint, IN b varbinary(10), "
              "IN n decimal(38,10), IN u bigint unsigned, OUT d2 datetime(6), OUT t2 time(6), OUT nflag tinyint, "
              "OUT b2 varbinary(12), OUT n2 decimal(38,10), OUT u2 bigint unsigned) "
              "BEGIN SET d2 = d + INTERVAL 1 DAY; SET t2 = t + INTERVAL 1 HOUR; SET nflag = NOT flag; "
              "SET b2 = CONCAT(b, x'00'); SET n2 = n * 10; SET u2 = u DIV 2; END"})
        c->Execute(sql, -1);
    const Variant none, bytes = Variant::FromBinary(std::string("\0\xff", 2));
    const bool native = GetParam().name == "native";
    const int32_t ubig = GetParam().unsignedBigInt;
    // Through ODBC the catalog declares u signed and 2^64-1 comes back as -1:
    // a known fault of that path, left out until it is mended.
    CallAndCheck(*c, outs,
                 {{"n", adInteger, adParamInput, Variant::FromInt(kLongTimes)},
                  {"big", adLongVarWChar, adParamOutput, none, Variant::FromText(Repeated(kLongPiece, kLongTimes))},
                  {"d", adDBTimeStamp, adParamOutput, none, Variant::FromDate(Date(2024, 2, 29, 23, 0, 0, 500000000))},
                  {"t", adDBTime, adParamOutput, none, Variant::FromText("-01:00:00")},
                  {"u", ubig, adParamOutput, none, native ? maxUnsigned : none},
                  {"b", adVarBinary, adParamOutput, none, bytes},
                  {"f", adBoolean, adParamOutput, none, Variant::FromBool(true)},
                  {"s", adVarWChar, adParamInputOutput, Variant::FromText("it's\\"), Variant::FromText("it's\\Ü")},
                  {"note", adVarWChar, adParamInput, Variant::FromText("Ü")},
                  {"total", adNumeric, adParamInputOutput, Variant::FromDecimal("1.5"), Variant::FromDecimal("22.50")},
                  {"lb", adLongVarBinary, adParamOutput, none,
                   Variant::FromBinary(Repeated(std::string("\0\xff", 2), 2 * kLongTimes))}});
    CallAndCheck(*c, "qarn." + add,
                 {{"RETURN_VALUE", adInteger, adParamReturnValue, none, Variant::FromInt(42)},
                  {"a", adInteger, adParamInput, Variant::FromInt(40)},
                  {"b", adInteger, adParamInput, Variant::FromInt(2)}});
    ExecuteResult called = CallAndCheck(*c, rows, {{"n", adInteger, adParamInput, Variant::FromInt(3)}});
    ASSERT_NE(called.cursor, nullptr);
    EXPECT_EQ(ReadAll(*called.cursor).size(), 3u);

    // Parameters of every kind go in; a catalog that drops "unsigned" still binds the value unsigned.
    Variant half;
    half.SetUInt(INT64_MAX);
    CallAndCheck(*c, kinds,
                 {{"d", adDBTimeStamp, adParamInput, Variant::FromDate(Date(2024, 2, 28, 23, 0, 0, 123456000))},
                  {"t", adDBTime, adParamInput, Variant::FromText("10:20:30.5")},
                  {"flag", adTinyInt, adParamInput, Variant::FromBool(true)},
                  {"b", adVarBinary, adParamInput, bytes},
                  {"n", adNumeric, adParamInput, Variant::FromDecimal("-12345678901234567890.0123456789")},
                  {"u", ubig, adParamInput, maxUnsigned},
                  {"d2", adDBTimeStamp, adParamOutput, none, Variant::FromDate(Date(2024, 2, 29, 23, 0, 0, 123456000))},
                  {"t2", adDBTime, adParamOutput, none, Variant::FromDate(Date(1899, 12, 30, 11, 20, 30, 500000000))},
                  {"nflag", adTinyInt, adParamOutput, none, Variant::FromInt(0)},
                  {"b2", adVarBinary, adParamOutput, none, Variant::FromBinary(std::string("\0\xff\0", 3))},
                  {"n2", adNumeric, adParamOutput, none, Variant::FromDecimal("-123456789012345678900.1234567890")},
                  {"u2", ubig, adParamOutput, none, native ? half : Variant::FromInt(INT64_MAX)}});
}

INSTANTIATE_TEST_SUITE_P(
    Engines, MyPaths,
    ::testing::Values(MyPath{"native", [] { return OpenMariaDb(test::MariaDbProviderString()); }, adUnsignedBigInt},
                      MyPath{"odbc", [] { return OpenOdbc(test::MariaDbOdbcString()); }, adBigInt}),
    [](const auto& info) { return info.param.name; });

TEST_F(MariaDbEngine, ALostConnectionFailsTheFetchInsteadOfEndingTheRows) {
    auto killer = Open();
    for (bool readOnly : {false, true}) {  // text rows, binary rows
        auto c = Open();
        const int64_t id = Count(*c, "SELECT CONNECTION_ID()");
        constexpr int64_t kRows = 5000000;
        const std::string sql = "SELECT seq FROM seq_1_to_" + std::to_string(kRows);
        ExecuteResult r = readOnly ? c->ExecuteReadOnly(sql, -1) : c->Execute(sql, -1);
        std::vector<Variant> row;
        ASSERT_TRUE(r.cursor->Fetch(row));
        killer->ExecuteBatch("KILL CONNECTION " + std::to_string(id), -1);
        int64_t fetched = 1;
        AdoError e = Failure([&] {
            while (r.cursor->Fetch(row)) ++fetched;
        });
        EXPECT_LT(fetched, kRows);
        ASSERT_EQ(e.Records().size(), 1u);
        EXPECT_THAT(e.Records()[0].Number, AnyOf(2013, 2006, 1927)) << readOnly;  // lost, gone, killed
        EXPECT_THROW(r.cursor->Fetch(row), AdoError);                             // and stays failed
    }
}

TEST_F(MariaDbEngine, ALaterStatementsFailureSurfacesAtTheEndOfTheRows) {
    auto c = Open();
    std::vector<Variant> row;
    // A failure of a later statement in the text surfaces at the end of the
    // rows, whether they streamed or were read ahead.
    for (bool readAhead : {false, true}) {
        ExecuteResult r = c->Execute("SELECT 1; INSERT INTO native_no_such_table VALUES (1)", -1);
        if (readAhead) {
            EXPECT_EQ(Count(*c, "SELECT 2"), 2);
        }
        ASSERT_TRUE(r.cursor->Fetch(row));
        AdoError e = Failure([&] { r.cursor->Fetch(row); });
        ASSERT_FALSE(e.Records().empty()) << readAhead;
        EXPECT_EQ(e.Records()[0].Number, 1146);
        EXPECT_EQ(e.Records()[0].SQLState, "42S02");
        EXPECT_THAT(e.Records()[0].Description, HasSubstr("native_no_such_table"));
    }
}

TEST_F(MariaDbEngine, ReplayInATransactionStopsAtTheFailingStatementsTag) {
    auto c = Open();
    c->Execute("CREATE TEMPORARY TABLE replayed (n int, note varchar(20))", -1);
    c->ExecuteBatch(
        "DROP PROCEDURE IF EXISTS native_rows; CREATE PROCEDURE native_rows(n int) "
        "BEGIN INSERT INTO replayed VALUES (n, 'call'); SELECT n; END",
        -1);
    // Texts that answer with more than one result must run alone, or the
    // failure would be blamed on the wrong statement.
    const std::vector<std::string> texts = {
        "INSERT INTO replayed VALUES (1, 'a') -- a line comment at the end",
        "INSERT INTO replayed VALUES (2, 'b') # another kind",
        "INSERT INTO replayed VALUES (3, 'c;d');  /* trailing */ ",
        "INSERT INTO replayed VALUES (4, 'e'); INSERT INTO replayed VALUES (5, 'f')",
        "CALL native_rows(6)",
        "/*!40101 INSERT INTO replayed VALUES (7, 'g') */",  // the server runs what a reader skips
        "INSERT INTO replayed VALUES (8, 'it''s')",
        "INSERT INTO native_no_such_table VALUES (9)",
        "INSERT INTO replayed VALUES (10, 'never')",
    };
    for (bool inTransaction : {true, false}) {
        SCOPED_TRACE(inTransaction);
        c->Execute("DELETE FROM replayed", -1);
        if (inTransaction) c->BeginTrans();
        std::unique_ptr<EngineReplay> replay = c->BeginReplay(-1);
        try {
            for (size_t i = 0; i < texts.size(); ++i) replay->Add(texts[i], 100 + i);
            replay->Finish();
            ADD_FAILURE() << "the replay did not fail";
        } catch (const ReplayError& e) {
            EXPECT_EQ(e.Tag(), 107u);
            EXPECT_EQ(e.Records().at(0).Number, 1146);
        }
        Rows rows = Query(*c, "SELECT n, note FROM replayed ORDER BY n");
        std::vector<int64_t> ns;
        for (const auto& r : rows) ns.push_back(r[0].AsInt());
        EXPECT_EQ(ns, (std::vector<int64_t>{1, 2, 3, 4, 5, 6, 7, 8}));
        EXPECT_EQ(rows.at(2)[1].AsText(), "c;d");
        if (inTransaction) c->RollbackTrans();
    }
}

TEST_F(MariaDbEngine, ACommandTimeoutStopsTheStatementOnTheServer) {
    auto c = Open();
    const std::string slow = "SELECT COUNT(*) FROM seq_1_to_100000 a, seq_1_to_100000 b WHERE a.seq + b.seq = 3";
    AdoError e = Failure([&] { c->ExecuteBatch(slow, 1); });
    EXPECT_EQ(e.Records().at(0).Number, 1969);  // interrupted: max_statement_time exceeded
    // 0 lifts the bound again.
    EXPECT_EQ(Count(*c, "SELECT COUNT(*) FROM seq_1_to_10"), 10);
    c->ExecuteBatch("DO 1", 0);
    EXPECT_EQ(Query(*c, "SELECT @@max_statement_time").at(0).at(0), Variant::FromDouble(0));
}

// A read-only query streams a prepared statement's binary rows; every value
// must be the Variant the text protocol gives, and every column described alike.
TEST_F(MariaDbEngine, ReadOnlyRowsInBinaryMatchTheTextProtocol) {
    auto c = Open();
    c->ExecuteBatch(
        "SET SESSION sql_mode = '', time_zone = '+00:00'; DROP TABLE IF EXISTS native_types;"
        "CREATE TABLE native_types (id INT PRIMARY KEY, ti TINYINT, tu TINYINT UNSIGNED, si SMALLINT,"
        " sz SMALLINT(5) UNSIGNED ZEROFILL, mi MEDIUMINT, mu MEDIUMINT UNSIGNED, i INT, iu INT UNSIGNED,"
        " iz INT(8) ZEROFILL, bi BIGINT, bu BIGINT UNSIGNED, y YEAR, de DECIMAL(65,30),"
        " du DECIMAL(10,2) UNSIGNED, b1 BIT(1), b64 BIT(64), da DATE, dt DATETIME, dt3 DATETIME(3),"
        " dt6 DATETIME(6), ts TIMESTAMP(6) NULL, tm TIME, tm1 TIME(1), tm6 TIME(6), ch CHAR(5),"
        " vc VARCHAR(300), bn BINARY(3), vb VARBINARY(300), tx TEXT, lt LONGTEXT, lb LONGBLOB, js JSON,"
        " en ENUM('a','bé'), st SET('x','y'), u UUID, ip INET6, g POINT, f FLOAT, d DOUBLE,"
        " fd FLOAT(7,3))",
        -1);
    const std::vector<std::string> rows = {
        "(1" + Repeated(", NULL", 40) + ")",
        "(2, -128, 0, -32768, 0, -8388608, 0, -2147483648, 0, 0, -9223372036854775808, 0, 1901,"
        " -99999999999999999999999999999999999.999999999999999999999999999999, 0, b'0', 0, '1000-01-01',"
        " '1000-01-01 00:00:00', '1000-01-01 00:00:00.001', '1000-01-01 00:00:00.000001', '2000-01-01 00:00:00',"
        " '-838:59:59', '-838:59:59.9', '-838:59:59.999999', '', '', x'', x'', '', '', x'', '[]', 'a', '',"
        " '00000000-0000-0000-0000-000000000000', '::', POINT(0, 0), -3.40282e38, -1.7976931348623157e308, -9999.999)",
        "(3, 127, 255, 32767, 65535, 8388607, 16777215, 2147483647, 4294967295, 99999999, 9223372036854775807,"
        " 18446744073709551615, 2155, 99999999999999999999999999999999999.999999999999999999999999999999,"
        " 99999999.99, b'1', b'1111111111111111111111111111111111111111111111111111111111111111', '9999-12-31',"
        " '9999-12-31 23:59:59', '9999-12-31 23:59:59.999', '9999-12-31 23:59:59.999999',"
        " '2038-01-19 03:14:07.999999', '838:59:59', '838:59:59.9', '838:59:59.999999', 'ééééé',"
        " REPEAT('ü', 300), x'000102', REPEAT(x'00ff', 150), REPEAT('t€', 20000), REPEAT('abc€\\0', 600000),"
        " REPEAT(x'00ff7f80', 700000), '{\"a\": [1, 2.5, \"x\"]}', 'bé', 'x,y',"
        " 'ffffffff-ffff-ffff-ffff-ffffffffffff', 'ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff', POINT(1.5, -2.25),"
        " 3.40282e38, 1.7976931348623157e308, 9999.999)",
        "(4, 0, 1, 0, 7, 0, 1, 0, 1, 42, 0, 1, 0, 0.000000000000000000000000000001, 0.01, b'0', b'101', '0000-00-00',"
        " '0000-00-00 00:00:00', '0000-00-00 00:00:00.000', '2024-02-00 12:00:00.050000', '0000-00-00 00:00:00',"
        " '-25:00:00', '-00:00:01.5', '100:00:00.000001', 'a', 'x', x'00', x'00', 'x', 'x', x'00', 'null', 'bé',"
        " 'y', '12345678-9abc-def0-1234-56789abcdef0', '::ffff:1.2.3.4', POINT(-1e300, 1e-300), 0.1, 0.5, 1.5)",
        "(5, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 2024, 1.5, 2.25, b'1', b'1', '2024-02-29', '2024-02-29 12:34:56',"
        " '2024-02-29 12:34:56.5', '2024-02-29 12:34:56.05', '2024-02-29 12:34:56.000001', '00:00:00',"
        " '12:34:56.7', '23:59:59.999999', 'ab ', 'tab\\tcr\\r', x'ff', x'ffff', 'é\\0x', 'q', x'ff', '1.5', 'a',"
        " 'x', '00000000-0000-0000-0000-000000000001', '1::', POINT(2, 3), -0.25, 1e-300, -0.5)",
    };
    for (const std::string& row : rows) c->ExecuteBatch("INSERT INTO native_types VALUES " + row, -1);

    const std::string select =
        "SELECT *, -id, id * 1.5, CONCAT('a', id), NULL, dt6 + INTERVAL 1 DAY, CAST(bu AS CHAR), tm6 - INTERVAL 1 "
        "SECOND, f * 2, d / 3 FROM native_types ORDER BY id";
    ExecuteResult binary = c->ExecuteReadOnly(select, -1);
    ExecuteResult text = c->Execute(select, -1);  // reads the binary rows ahead first
    const std::vector<ColumnInfo>& want = text.cursor->Columns();
    const std::vector<ColumnInfo>& got = binary.cursor->Columns();
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].name, want[i].name);
        EXPECT_EQ(got[i].typeName, want[i].typeName) << want[i].name;
        EXPECT_EQ(std::tie(got[i].type, got[i].attributes, got[i].definedSize, got[i].precision, got[i].scale),
                  std::tie(want[i].type, want[i].attributes, want[i].definedSize, want[i].precision, want[i].scale))
            << want[i].name;
    }
    const Rows fromText = ReadAll(*text.cursor);
    const Rows fromBinary = ReadAll(*binary.cursor);
    ASSERT_EQ(fromBinary.size(), rows.size());
    ASSERT_EQ(fromText.size(), rows.size());
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t i = 0; i < want.size(); ++i)
            EXPECT_EQ(fromBinary[r][i], fromText[r][i]) << r << " " << want[i].name;
    c->ExecuteBatch("DROP TABLE native_types", -1);
}

// FLOAT and DOUBLE columns come as text rounded to 6 and 15 digits; the
// binary rows carry the value the column holds.
TEST_F(MariaDbEngine, ReadOnlyRowsCarryFloatsAndDoublesExactly) {
    auto c = Open();
    const std::vector<double> doubles = {
        0.1 + 0.2,          5e-324,  2.2250738585072014e-308, 1.7976931348623157e308, 9007199254740993.0,
        123456789.12345678, -1.0 / 3};
    const std::vector<float> floats = {16777217.0f, 1.17549435e-38f, 3.40282347e38f, 0.1f, 123456789.0f, -1.0f / 3};
    // FLT_MAX written shortest reads as a double just above it.
    c->ExecuteBatch(
        "SET SESSION sql_mode = ''; DROP TABLE IF EXISTS native_floats; CREATE TABLE native_floats (id INT, f FLOAT, d "
        "DOUBLE)",
        -1);
    auto written = [](auto x) {
        char text[32];
        return std::string(text, std::to_chars(text, text + sizeof text, x).ptr);
    };
    for (size_t i = 0; i < doubles.size(); ++i)
        c->ExecuteBatch("INSERT INTO native_floats VALUES (" + std::to_string(i) + ", " +
                            written(floats[i % floats.size()]) + ", " + written(doubles[i]) + ")",
                        -1);
    const Rows got = ReadAll(*c->ExecuteReadOnly("SELECT f, d FROM native_floats ORDER BY id", -1).cursor);
    ASSERT_EQ(got.size(), doubles.size());
    for (size_t i = 0; i < doubles.size(); ++i) {
        EXPECT_EQ(got[i][0].AsDouble(), static_cast<double>(floats[i % floats.size()])) << i;
        EXPECT_EQ(got[i][1].AsDouble(), doubles[i]) << i;
    }
    c->ExecuteBatch("DROP TABLE native_floats", -1);
}

// A query run in binary fails as it would as text: the same record, whether
// the server could not prepare it or failed it while running.
TEST_F(MariaDbEngine, ReadOnlyFailuresCarryTheTextPathsRecord) {
    auto c = Open();
    struct Case {
        std::string sql;
        int32_t timeout;
    };
    const std::vector<Case> cases = {
        {"SELECT * FROM native_no_such_table", -1},
        {"SELECT 1 +", -1},
        {"SELECT (SELECT 1 UNION SELECT 2)", -1},
        {"SELECT COUNT(*) FROM seq_1_to_100000 a, seq_1_to_100000 b WHERE a.seq + b.seq = 3", 1},
    };
    for (const Case& k : cases) {
        auto run = [&](bool readOnly) {
            return Failure([&] {
                ExecuteResult r = readOnly ? c->ExecuteReadOnly(k.sql, k.timeout) : c->Execute(k.sql, k.timeout);
                if (r.cursor) ReadAll(*r.cursor);
            });
        };
        AdoError want = run(false), got = run(true);
        ASSERT_EQ(got.Records().size(), 1u) << k.sql;
        ASSERT_EQ(want.Records().size(), 1u) << k.sql;
        EXPECT_EQ(std::tie(got.Records()[0].Number, got.Records()[0].SQLState, got.Records()[0].Description),
                  std::tie(want.Records()[0].Number, want.Records()[0].SQLState, want.Records()[0].Description));
        EXPECT_FALSE(c->TransactionOpen()) << k.sql;
    }
    // What the server cannot prepare runs as text: several statements, a CALL.
    EXPECT_EQ(ReadAll(*c->ExecuteReadOnly("SELECT 1; SELECT 2", -1).cursor), (Rows{{Variant::FromInt(1)}}));
}

TEST_F(MariaDbEngine, ConnectionFailuresCarryTheServersRecord) {
    const test::ServerFacts f = test::MariaDbServer();
    struct Case {
        std::string connection;
        int32_t number;
        const char* state;
    };
    const std::vector<Case> cases = {
        {"Provider=MariaDB;Server=" + f.host + ";Port=" + f.port + ";User ID=" + f.user + ";Password=wrong", 1045,
         "28000"},
        {"Provider=MariaDB;Server=" + f.host + ";Port=" + f.port + ";User ID=" + f.user + ";Password=" + f.password +
             ";Database=native_no_such_db",
         1049, "42000"},
        {"Provider=MariaDB;Server=127.0.0.1;Port=1", 2002, "HY000"},
    };
    for (const Case& k : cases) {
        AdoError e = Failure([&] { OpenMariaDb(k.connection); });
        ASSERT_EQ(e.Records().size(), 1u) << k.connection;
        EXPECT_EQ(e.Records()[0].Number, k.number) << e.Description();
        EXPECT_EQ(e.Records()[0].SQLState, k.state) << e.Description();
    }
}

TEST(MariaDbOptions, EntriesTranslateAndOthersAreRefusedByName) {
    struct Case {
        const char* text;
        const char* host;
        unsigned int port;
        const char* refusal;  // in the error; null when the string is fine
    };
    const std::vector<Case> cases = {
        {"Provider=MariaDB;Data Source=db.local:3307;Initial Catalog=sales;User ID=ann;Password=p;"
         "Persist Security Info=False;Charset=latin1",
         "db.local", 3307, nullptr},
        {"Provider=MySQL;Server=[::1]:3308", "::1", 3308, nullptr},
        {"Provider=MariaDB;Server=h;Port=3309;Connect Timeout=5;SSL Mode=Required", "h", 3309, nullptr},
        {"Provider=MariaDB;Server=h;Foo Bar=1", nullptr, 0, "'Foo Bar'"},
        {"Provider=MariaDB;Server=h:1;Port=2", nullptr, 0, "two ports"},
        {"Provider=MariaDB;Server=h;Port=70000", nullptr, 0, "'70000'"},
        {"Provider=MariaDB;Server=h;SSL Mode=sometimes", nullptr, 0, "'sometimes'"},
        {"Provider=MariaDB;Server=h;SSL CA=/ca.pem", nullptr, 0, "SSL CA"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.text);
        auto entries = ParseConnectionString(k.text);
        if (k.refusal) {
            EXPECT_THAT(Failure([&] { mariadb::ReadOptions(entries); }).Description(), HasSubstr(k.refusal));
            continue;
        }
        mariadb::Options o = mariadb::ReadOptions(entries);
        EXPECT_EQ(o.host, k.host);
        EXPECT_EQ(o.port, k.port);
    }
    mariadb::Options o = mariadb::ReadOptions(ParseConnectionString(cases[0].text));
    EXPECT_EQ(o.database, "sales");
    EXPECT_EQ(o.user, "ann");
    EXPECT_EQ(o.password, "p");
    EXPECT_EQ(o.connectTimeoutSeconds, 15u);
    EXPECT_EQ(mariadb::ReadOptions(ParseConnectionString(cases[2].text)).connectTimeoutSeconds, 5u);
    EXPECT_EQ(mariadb::ReadOptions(ParseConnectionString(cases[2].text)).sslMode, mariadb::SslMode::Required);
}

}  // namespace
}  // namespace qarn::ado
