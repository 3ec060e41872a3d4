// The native MariaDB engine against the test server: column types on both
// paths, rows that stream and fail loudly, batched replays, output
// parameters, and the connection-string entries it reads.  Values themselves
// are proven by the round trips (tests/control/RoundTripTest.cpp).

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
    auto c = Open();
    auto killer = Open();
    const int64_t id = Count(*c, "SELECT CONNECTION_ID()");
    constexpr int64_t kRows = 5000000;
    ExecuteResult r = c->Execute("SELECT seq FROM seq_1_to_" + std::to_string(kRows), -1);
    std::vector<Variant> row;
    ASSERT_TRUE(r.cursor->Fetch(row));
    killer->ExecuteBatch("KILL CONNECTION " + std::to_string(id), -1);
    int64_t fetched = 1;
    AdoError e = Failure([&] {
        while (r.cursor->Fetch(row)) ++fetched;
    });
    EXPECT_LT(fetched, kRows);
    ASSERT_EQ(e.Records().size(), 1u);
    EXPECT_THAT(e.Records()[0].Number, AnyOf(2013, 2006, 1927));  // lost, gone, killed
    EXPECT_THROW(r.cursor->Fetch(row), AdoError);                 // and stays failed
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
