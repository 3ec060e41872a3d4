// The PostgreSQL engine on libpq: connection strings, failures, streaming
// and its failures, procedures and the pipelined replay; columns and
// procedures through ODBC too.  Values themselves are proven by
// the round trips (tests/control/RoundTripTest.cpp).

#include "EngineTesting.h"
#include "ado/ConnectionString.h"
#include "odbc/OdbcEngine.h"
#include "postgres/PgConnectionString.h"
#include "postgres/PgEngine.h"

namespace qarn::ado {
namespace {
using namespace testing_engine;

// The one record of the provider error `action` raises.
ErrorRecord Failure(const std::function<void()>& action) {
    AdoError e = ProviderFailure(action);
    EXPECT_EQ(e.Records().size(), 1u) << e.Description();
    if (e.Records().empty()) return {};
    EXPECT_EQ(e.Records()[0].Number, err::ProviderFailure);
    return e.Records()[0];
}

// ------------------------------------------------------------------ connection strings

std::string Conninfo(const std::string& connectionString) {
    std::string out;
    for (const auto& e : postgres::TranslateConnectionString(connectionString))
        out += (out.empty() ? "" : " ") + e.keyword + "=" + e.value;
    return out;
}

TEST(PgConnectionString, EntriesBecomeLibpqKeywords) {
    const std::string tail = " connect_timeout=15 client_encoding=UTF8";
    struct Case {
        std::string text, conninfo;
    } cases[] = {
        {"Provider=PostgreSQL;Data Source=h1:5432,h2:5433;Initial Catalog=d;User ID=u;Password='p;w'",
         "dbname=d user=u password=p;w host=h1,h2 port=5432,5433" + tail},
        {"Server=h1, h2;Port=6000;UID=u;PWD=x", "user=u password=x host=h1,h2 port=6000,6000" + tail},
        {"Data Source=[::1]:5432,[fe80::1];Database=d", "dbname=d host=::1,fe80::1 port=5432," + tail},
        {
            "Data Source=h;Port=1,2",
            "",
        },  // one host, two ports
        {"Data Source=/run/postgresql;Persist Security Info=False", "host=/run/postgresql" + tail},
        {"sslmode=disable;Connect_Timeout=3;application_name=a b",
         "sslmode=disable connect_timeout=3 application_name=a b"
         " client_encoding=UTF8"},
    };
    for (const Case& c : cases) {
        if (c.conninfo.empty()) {
            EXPECT_THROW(Conninfo(c.text), AdoError) << c.text;
        } else {
            EXPECT_EQ(Conninfo(c.text), c.conninfo) << c.text;
        }
    }
}

TEST(PgConnectionString, RefusalsNameTheEntry) {
    struct Case {
        const char* text;
        const char* named;
    } cases[] = {
        {"Provider=PostgreSQL;Colour=blue", "'Colour'"},
        {"Data Source=h:abc", "'abc'"},
        {"Data Source=[::1", "[::1"},
        {"Data Source=h1,,h2", "empty host"},
        {"Target Session Attrs=primary-ish", "'primary-ish'"},
        {"Server=a;Data Source=b", "'Server' and in 'Data Source'"},
        {"replication=database", "'replication'"},
        {"client_encoding=LATIN1", "LATIN1"},
    };
    for (const Case& c : cases) {
        ErrorRecord r = Failure([&] { postgres::TranslateConnectionString(c.text); });
        EXPECT_THAT(r.Description, HasSubstr(c.named)) << c.text;
    }
}

// ------------------------------------------------------------------ one server

class PgEngine : public ::testing::Test {
protected:
    void SetUp() override { QARN_REQUIRE_SERVER(test::PostgresServer()); }
    static std::shared_ptr<EngineConnection> Open(const std::string& extra = "") {
        return OpenPostgres(test::PostgresProviderString() + extra);
    }
};

TEST_F(PgEngine, FailuresCarryTheServersMessageDetailHintAndState) {
    auto c = Open();
    c->Execute("CREATE TEMPORARY TABLE uniq (k int PRIMARY KEY)", -1);
    c->Execute("INSERT INTO uniq VALUES (1)", -1);
    struct Case {
        std::string sql, state, description;
    } cases[] = {
        {"SELECT 1 / 0", "22012", "ERROR: division by zero"},
        {"INSERT INTO uniq VALUES (1)", "23505",
         "ERROR: duplicate key value violates unique constraint \"uniq_pkey\" DETAIL: Key (k)=(1) already exists."},
        {"SELECT pg_no_such_function(1)", "42883",
         "ERROR: function pg_no_such_function(integer) does not exist HINT: No function matches the given name and "
         "argument types. You might need to add explicit type casts."},
        {"SELECT 1; SELECT 2", "42601", "ERROR: cannot insert multiple commands into a prepared statement"},
        {"  -- nothing\n", "42601", "the command text holds no SQL statement"},
        {"COPY uniq FROM STDIN", "0A000", "COPY FROM STDIN and COPY TO STDOUT"},
    };
    for (const Case& k : cases) {
        ErrorRecord r = Failure([&] { c->Execute(k.sql, -1); });
        EXPECT_EQ(r.SQLState, k.state) << k.sql;
        EXPECT_THAT(r.Description, HasSubstr(k.description)) << k.sql;
        // The connection goes on.
        EXPECT_EQ(Query(*c, "SELECT 7")[0][0], Variant::FromInt(7));
    }
    ErrorRecord timeout = Failure([&] { c->Execute("SELECT pg_sleep(30)", 1); });
    EXPECT_EQ(timeout.SQLState, "57014");
    EXPECT_THAT(timeout.Description, HasSubstr("command timeout of 1 seconds expired"));
}

TEST_F(PgEngine, RowsStreamAndAFailureOnALateRowFailsThatFetch) {
    auto c = Open();
    ExecuteResult r = c->Execute("SELECT i, 1 / (i - 100000) FROM generate_series(1, 100000) AS i", -1);
    ASSERT_NE(r.cursor, nullptr);  // the failing row is still to come
    std::vector<Variant> row;
    int64_t fetched = 0;
    ErrorRecord e = Failure([&] {
        while (r.cursor->Fetch(row)) ASSERT_EQ(row[0].AsInt(), ++fetched);
    });
    EXPECT_EQ(fetched, 99999);
    EXPECT_EQ(e.SQLState, "22012");
    EXPECT_THROW(r.cursor->Fetch(row), AdoError);  // and again, never a silent end
}

// Closing a reading cursor early stops the server rather than reading every
// row to the end; inside a transaction it reads them, since a cancel would
// fail the transaction.  The rows are 10 kB each, so the server is still
// sending (the socket full) when the cursor closes.
TEST_F(PgEngine, AnEarlyCloseCancelsOnlyOutsideATransaction) {
    auto c = Open();
    c->Execute("CREATE TEMPORARY SEQUENCE drawn", -1);
    const auto drawn = [&] { return Query(*c, "SELECT last_value FROM drawn")[0][0].AsInt(); };
    constexpr int64_t kRows = 5000;
    const auto closeAfterOneRow = [&] {
        ExecuteResult r = c->Execute(
            "SELECT nextval('drawn'), repeat('x', 10000) FROM generate_series(1, " + std::to_string(kRows) + ")", -1);
        std::vector<Variant> row;
        ASSERT_TRUE(r.cursor->Fetch(row));
        r.cursor->Close();
    };
    closeAfterOneRow();
    EXPECT_LT(drawn(), kRows);

    c->BeginTrans();
    c->Execute("CREATE TEMPORARY TABLE kept (n int)", -1);
    const int64_t before = drawn();
    closeAfterOneRow();
    EXPECT_EQ(drawn(), before + kRows);
    c->CommitTrans();
    EXPECT_EQ(Query(*c, "SELECT count(*) FROM kept")[0][0].AsInt(), 0);
}

TEST_F(PgEngine, TheCommitOfAFailedTransactionSaysSo) {
    auto c = Open();
    c->Execute("CREATE TEMPORARY TABLE failed (i int)", -1);
    c->BeginTrans();
    c->Execute("INSERT INTO failed VALUES (6)", -1);
    Failure([&] { c->Execute("SELECT 1 / 0", -1); });
    EXPECT_EQ(Failure([&] { c->CommitTrans(); }).SQLState, "25P02");
    EXPECT_FALSE(c->TransactionOpen());
    EXPECT_EQ(Scalar(*c, "SELECT count(*) FROM failed").AsInt(), 0);
}

TEST_F(PgEngine, ReplayInATransactionPipelinesAndNamesTheFailingStatement) {
    auto c = Open();
    c->ExecuteBatch("DROP TABLE IF EXISTS pg_engine_replay; CREATE TABLE pg_engine_replay (i int PRIMARY KEY)", -1);
    auto count = [&] { return Query(*c, "SELECT count(*) FROM pg_engine_replay")[0][0].AsInt(); };
    // Past the first Sync; a text of two statements runs on its own.
    c->BeginTrans();
    auto replay = c->BeginReplay(-1);
    for (uint64_t i = 1; i <= 5000; ++i)
        replay->Add("INSERT INTO pg_engine_replay VALUES (" + std::to_string(i) + ")", i);
    replay->Add("INSERT INTO pg_engine_replay VALUES (5001); INSERT INTO pg_engine_replay VALUES (5002)", 5001);
    replay->Add("INSERT INTO pg_engine_replay VALUES (5003)", 5003);
    replay->Finish();
    EXPECT_TRUE(c->TransactionOpen());
    c->CommitTrans();
    EXPECT_EQ(count(), 5003);

    // The failure is a duplicate key well past a Sync; what follows it is aborted.
    c->BeginTrans();
    replay = c->BeginReplay(-1);
    uint64_t failedTag = 0;
    try {
        for (uint64_t i = 1; i <= 9000; ++i) {
            int64_t key = i == 6000 ? 1 : 10000 + static_cast<int64_t>(i);
            replay->Add("INSERT INTO pg_engine_replay VALUES (" + std::to_string(key) + ")", i);
        }
        replay->Finish();
    } catch (const ReplayError& e) {
        failedTag = e.Tag();
        EXPECT_EQ(e.Records().at(0).SQLState, "23505");
    }
    EXPECT_EQ(failedTag, 6000u);
    replay.reset();
    c->RollbackTrans();
    EXPECT_EQ(count(), 5003);

    // Outside a transaction each statement commits on its own.
    replay = c->BeginReplay(-1);
    replay->Add("INSERT INTO pg_engine_replay VALUES (-1)", 1);
    try {
        replay->Add("INSERT INTO pg_engine_replay VALUES (-1)", 2);
        ADD_FAILURE() << "a duplicate key was replayed";
    } catch (const ReplayError& e) {
        EXPECT_EQ(e.Tag(), 2u);
    }
    EXPECT_EQ(count(), 5004);
    c->Execute("DROP TABLE pg_engine_replay", -1);
}

// Columns, procedures and functions through both engines that reach
// PostgreSQL: libpq and psqlodbc.  Each has routines of its own, as the
// cases run side by side.
struct PgPath {
    std::string name;
    std::shared_ptr<EngineConnection> (*open)();
    std::string unnamed;  // the name of a parameter declared without one
};
void PrintTo(const PgPath& p, std::ostream* os) {
    *os << p.name;
}

class PgPaths : public ::testing::TestWithParam<PgPath> {
protected:
    void SetUp() override { QARN_REQUIRE_SERVER(test::PostgresServer()); }
    std::string Name(const std::string& what) const { return "pg_proc_" + GetParam().name + "_" + what; }
};

TEST_P(PgPaths, ColumnsKnowTheirTypeIdentityNullabilityAndSizes) {
    auto c = GetParam().open();
    EXPECT_EQ(c->DbmsName(), "PostgreSQL");
    c->Execute(
        "CREATE TEMPORARY TABLE typed (id serial PRIMARY KEY, g int GENERATED ALWAYS AS IDENTITY, "
        "i int NOT NULL, b bigint, s smallint, n numeric(20,6), r real, d double precision, bo boolean, "
        "c char(5), v varchar(20), t text, dt date, tm time(6), ts timestamp(3), by bytea, u uuid)",
        -1);
    c->Execute("INSERT INTO typed (i, bo) VALUES (1, true)", -1);
    ExecuteResult r = c->Execute("SELECT *, i + 1 AS e FROM typed", -1);
    ASSERT_NE(r.cursor, nullptr);
    const auto& cols = r.cursor->Columns();
    const int32_t both = adFldIsNullable | adFldMayBeNull;
    const std::optional<bool> yes = true, no = false;
    struct Want {
        int32_t type;
        std::optional<bool> identity;
        int32_t nullable;
        int64_t size = -1;  // -1: not checked
    } const want[] = {
        {adInteger, yes, 0},         {adInteger, yes, 0},        {adInteger, no, 0},
        {adBigInt, no, both},        {adSmallInt, no, both},     {adNumeric, no, both},
        {adSingle, no, both},        {adDouble, no, both},       {adBoolean, no, both},
        {adWChar, no, both, 5},      {adVarWChar, no, both, 20}, {adLongVarWChar, no, both},
        {adDBDate, no, both},        {adDBTime, no, both},       {adDBTimeStamp, no, both},
        {adLongVarBinary, no, both}, {adGUID, no, both},         {adInteger, std::nullopt, adFldMayBeNull},
    };
    ASSERT_EQ(cols.size(), std::size(want));
    for (size_t k = 0; k < cols.size(); ++k) {
        SCOPED_TRACE(cols[k].name);
        EXPECT_EQ(cols[k].type, want[k].type);
        if (k + 1 == cols.size() && GetParam().name == "odbc") continue;  // psqlodbc cannot tell an expression
        EXPECT_EQ(cols[k].autoIncrement, want[k].identity);
        EXPECT_EQ(cols[k].attributes & both, want[k].nullable);
        if (want[k].size >= 0) {
            EXPECT_EQ(cols[k].definedSize, want[k].size);
        }
        EXPECT_EQ((cols[k].attributes & adFldLong) != 0, k == 11 || k == 15);
    }
    EXPECT_EQ(cols[5].precision, 20);
    EXPECT_EQ(cols[5].scale, 6);
    EXPECT_EQ(cols[14].scale, 3);
    Rows rows = ReadAll(*r.cursor);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][8], Variant::FromBool(true));  // a real boolean, not "1"

    // Pseudo-types (a record, anyarray) cannot be read back from any text.
    r = c->Execute("SELECT ROW(1, 'a'), most_common_vals, 1 FROM pg_stats LIMIT 0", -1);
    std::vector<bool> readable;
    for (const ColumnInfo& col : r.cursor->Columns()) readable.push_back(col.textInput);
    EXPECT_EQ(readable, (std::vector<bool>{false, false, true}));
}

TEST_P(PgPaths, ParametersOfEveryKindTravelBothWays) {
    auto c = GetParam().open();
    const std::string out = Name("out"), inout = Name("inout"), add = Name("add"), series = Name("series"),
                      kinds = Name("kinds");
    c->ExecuteBatch(
        "CREATE OR REPLACE FUNCTION " + out +
            "(a integer, b text, OUT doubled integer, OUT label text, OUT bytes bytea) AS $$ BEGIN doubled := a * 2; "
            "label := b || repeat(U&'\\00FC\\+01F600a\\000A', 25000); bytes := decode(repeat('00ff', 50000), 'hex'); "
            "END $$ LANGUAGE plpgsql;"
            "CREATE OR REPLACE PROCEDURE " +
            inout +
            "(IN a integer, OUT twice integer, INOUT total numeric) AS "
            "$$ BEGIN twice := a * 2; total := total + a; END $$ LANGUAGE plpgsql;"
            "CREATE OR REPLACE FUNCTION " +
            add +
            "(integer, b integer) RETURNS integer AS $$ SELECT $1 + b $$ "
            "LANGUAGE sql;"
            "CREATE OR REPLACE FUNCTION " +
            series +
            "(n integer) RETURNS TABLE (i integer) AS "
            "$$ SELECT generate_series(1, n) $$ LANGUAGE sql;"
            "CREATE OR REPLACE FUNCTION " +
            kinds +
            "(d timestamp, t time, flag boolean, b bytea, g uuid, n numeric, "
            "OUT d2 timestamp, OUT t2 time, OUT nflag boolean, OUT b2 bytea, OUT g2 uuid, OUT n2 numeric) AS "
            "$$ BEGIN d2 := d + interval '1 day'; t2 := t + interval '1 hour'; nflag := NOT flag; "
            "b2 := b || '\\x00'::bytea; g2 := g; n2 := n * 10; END $$ LANGUAGE plpgsql",
        -1);
    const Variant none, bytes = Variant::FromBinary(std::string("\0\xff", 2));
    Variant guid;  // psqlodbc writes it in capitals
    guid.SetGuid(GetParam().name == "odbc" ? "A0EEBC99-9C0B-4EF8-BB6D-6BB9BD380A11"
                                           : "a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11");
    CallAndCheck(*c, out,
                 {{"a", adInteger, adParamInput, Variant::FromInt(21)},
                  {"b", adLongVarWChar, adParamInput, Variant::FromText("Ünï 'q'")},
                  {"doubled", adInteger, adParamOutput, none, Variant::FromInt(42)},
                  {"label", adLongVarWChar, adParamOutput, none,
                   Variant::FromText("Ünï 'q'" + Repeated(kLongPiece, kLongTimes))},
                  {"bytes", adLongVarBinary, adParamOutput, none,
                   Variant::FromBinary(Repeated(std::string("\0\xff", 2), 2 * kLongTimes))}});
    CallAndCheck(*c, "public." + inout,
                 {{"a", adInteger, adParamInput, Variant::FromInt(21)},
                  {"twice", adInteger, adParamOutput, none, Variant::FromInt(42)},
                  {"total", adNumeric, adParamInputOutput, Variant::FromDecimal("1.5"), Variant::FromDecimal("22.5")}});

    // Unquoted names fold to lower case; text converts to the declared integer.
    std::vector<Param> sum = {{"RETURN_VALUE", adInteger, adParamReturnValue, none, Variant::FromInt(42)},
                              {GetParam().unnamed, adInteger, adParamInput, Variant::FromInt(40)},
                              {"b", adInteger, adParamInput, Variant::FromText("2")}};
    CallAndCheck(*c, ToUpper(add), sum);
    sum[0].out = sum[1].in = Variant::MakeNull();
    CallAndCheck(*c, add, sum);
    auto a = c->ProcedureParameters(add);
    a[1].value = Variant::FromText("forty");
    EXPECT_EQ(Raised([&] { c->CallProcedure(add, a, -1); }).Number(), err::BadArguments);

    ExecuteResult rows = CallAndCheck(*c, series, {{"n", adInteger, adParamInput, Variant::FromInt(3)}});
    ASSERT_NE(rows.cursor, nullptr);
    EXPECT_EQ(ReadAll(*rows.cursor).size(), 3u);

    // The double goes in as plain digits.
    CallAndCheck(*c, kinds,
                 {{"d", adDBTimeStamp, adParamInput, Variant::FromDate(Date(2024, 2, 28, 23, 0, 0, 123456000))},
                  {"t", adDBTime, adParamInput, Variant::FromDate(Date(1899, 12, 30, 10, 20, 30, 500000000))},
                  {"flag", adBoolean, adParamInput, Variant::FromText("false")},
                  {"b", adLongVarBinary, adParamInput, bytes},
                  {"g", adGUID, adParamInput, Variant::FromText("a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11")},
                  {"n", adNumeric, adParamInput, Variant::FromDouble(1.25e-7)},
                  {"d2", adDBTimeStamp, adParamOutput, none, Variant::FromDate(Date(2024, 2, 29, 23, 0, 0, 123456000))},
                  {"t2", adDBTime, adParamOutput, none, Variant::FromDate(Date(1899, 12, 30, 11, 20, 30, 500000000))},
                  {"nflag", adBoolean, adParamOutput, none, Variant::FromBool(true)},
                  {"b2", adLongVarBinary, adParamOutput, none, Variant::FromBinary(std::string("\0\xff\0", 3))},
                  {"g2", adGUID, adParamOutput, none, guid},
                  {"n2", adNumeric, adParamOutput, none, Variant::FromDecimal("0.000001250")}});

    EXPECT_TRUE(c->ProcedureParameters(Name("no_such_function")).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Engines, PgPaths,
    ::testing::Values(
        PgPath{"native", [] { return OpenPostgres(test::PostgresProviderString()); }, "$1"},
        PgPath{"odbc", [] { return OpenOdbc(test::PostgresOdbcString() + ";UseDeclareFetch=1;BoolsAsChar=0"); }, ""}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace qarn::ado
