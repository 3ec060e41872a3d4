// The SQLite engine through OpenSqlite and the EngineConnection interface.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "ado/AdoError.h"
#include "ado/DataTypes.h"
#include "ado/Engine.h"
#include "sqlite/SqliteEngine.h"
#include "sqlite/SqliteTypeMap.h"
#include "support/TestSupport.h"

namespace qarn::ado {
namespace {

using namespace std::string_literals;

// A new database file made with the library itself, holding `script`.
std::string MakeDatabase(const std::string& name, const std::string& script) {
    std::string path = test::ScratchPath(name);
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr), SQLITE_OK);
    char* msg = nullptr;
    EXPECT_EQ(sqlite3_exec(db, script.c_str(), nullptr, nullptr, &msg), SQLITE_OK) << (msg ? msg : "");
    sqlite3_free(msg);
    sqlite3_close(db);
    return path;
}

std::vector<std::vector<Variant>> FetchAll(EngineCursor& cursor) {
    std::vector<std::vector<Variant>> rows;
    std::vector<Variant> row;
    while (cursor.Fetch(row)) rows.push_back(row);
    return rows;
}

std::vector<std::vector<Variant>> Query(EngineConnection& c, const std::string& sql) {
    ExecuteResult r = c.Execute(sql, -1);
    EXPECT_TRUE(r.cursor) << sql;
    if (!r.cursor) return {};
    return FetchAll(*r.cursor);
}

Variant Scalar(EngineConnection& c, const std::string& sql) {
    auto rows = Query(c, sql);
    EXPECT_EQ(rows.size(), 1u) << sql;
    return rows.empty() ? Variant() : rows[0][0];
}

// Runs `f`, which must raise a provider error; returns it.
template <typename F>
AdoError ProviderFailure(F&& f) {
    try {
        f();
    } catch (const AdoError& e) {
        EXPECT_EQ(e.Number(), err::ProviderFailure) << e.Description();
        EXPECT_EQ(e.Records().size(), 1u);
        if (!e.Records().empty()) {
            EXPECT_EQ(e.Records()[0].Description, e.Description());
        }
        return e;
    }
    ADD_FAILURE() << "no error raised";
    return AdoError(0, "none");
}

int Code(const AdoError& e) { return e.Records().empty() ? 0 : e.Records()[0].Number; }

// ---------------------------------------------------------------- opening

TEST(SqliteOpen, MissingFileFailsNamingThePathAndCreatesNothing) {
    std::string path = test::ScratchPath("missing.db");
    AdoError e = ProviderFailure([&] { OpenSqlite(path); });
    EXPECT_EQ(Code(e), SQLITE_CANTOPEN);
    EXPECT_NE(e.Description().find("not found"), std::string::npos) << e.Description();
    EXPECT_NE(e.Description().find(path), std::string::npos) << e.Description();
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(SqliteOpen, FolderFails) {
    std::string path = test::ScratchPath("folder.db");
    std::filesystem::create_directory(path);
    AdoError e = ProviderFailure([&] { OpenSqlite(path); });
    EXPECT_EQ(Code(e), SQLITE_CANTOPEN);
    EXPECT_NE(e.Description().find("folder"), std::string::npos) << e.Description();
    EXPECT_NE(e.Description().find(path), std::string::npos) << e.Description();
}

TEST(SqliteOpen, FileThatIsNotADatabaseFails) {
    std::string path = test::ScratchPath("text.db");
    test::WriteBytes(path, std::string(2000, 'x') + "\nthis is a text file, not a database\n");
    AdoError e = ProviderFailure([&] { OpenSqlite(path); });
    EXPECT_EQ(Code(e), SQLITE_NOTADB);
    EXPECT_NE(e.Description().find("not a SQLite database"), std::string::npos) << e.Description();
    EXPECT_NE(e.Description().find(path), std::string::npos) << e.Description();
    EXPECT_NE(e.Description().find(sqlite3_errstr(SQLITE_NOTADB)), std::string::npos) << e.Description();
}

TEST(SqliteOpen, EmptyPathFails) {
    AdoError e = ProviderFailure([&] { OpenSqlite(""); });
    EXPECT_EQ(Code(e), SQLITE_CANTOPEN);
}

TEST(SqliteOpen, FileUriIsAPlainPathNeverCreated) {
    std::string uri = "file:" + test::ScratchPath("uri.db") + "?mode=rwc";
    ProviderFailure([&] { OpenSqlite(uri); });
    EXPECT_FALSE(std::filesystem::exists(uri.substr(5, uri.size() - 5 - 9)));
}

TEST(SqliteOpen, MemoryDatabaseAndName) {
    auto c = OpenSqlite(":memory:");
    EXPECT_EQ(c->DbmsName(), "SQLite");
    EXPECT_EQ(Scalar(*c, "SELECT 40 + 2").AsInt(), 42);
}

TEST(SqliteOpen, ExistingFileOpensReadWrite) {
    std::string path = MakeDatabase("rw.db", "CREATE TABLE t(x); INSERT INTO t VALUES (1);");
    auto c = OpenSqlite(path);
    EXPECT_EQ(c->Execute("INSERT INTO t VALUES (2)", -1).rowsAffected, 1);
    EXPECT_EQ(Scalar(*c, "SELECT count(*) FROM t").AsInt(), 2);
}

TEST(SqliteOpen, WriteProtectedFileOpensReadOnly) {
    std::string path = MakeDatabase("ro.db", "CREATE TABLE t(x); INSERT INTO t VALUES (1);");
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    auto c = OpenSqlite(path);
    EXPECT_EQ(Scalar(*c, "SELECT count(*) FROM t").AsInt(), 1);
    if (geteuid() != 0) {  // root writes to write-protected files
        AdoError e = ProviderFailure([&] { c->Execute("INSERT INTO t VALUES (2)", -1); });
        EXPECT_EQ(Code(e) & 0xff, SQLITE_READONLY);
    }
}

TEST(SqliteOpen, LockedDatabaseFailsClearlyAfterTheBusyTimeout) {
    std::string path = MakeDatabase("locked.db", "CREATE TABLE t(x);");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &other, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    auto start = std::chrono::steady_clock::now();
    AdoError e = ProviderFailure([&] { OpenSqlite(path); });
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(Code(e) & 0xff, SQLITE_BUSY);
    EXPECT_NE(e.Description().find("locked"), std::string::npos) << e.Description();
    EXPECT_NE(e.Description().find(path), std::string::npos) << e.Description();
    EXPECT_GE(waited, std::chrono::seconds(2));
    EXPECT_LT(waited, std::chrono::seconds(30));
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
}

// ---------------------------------------------------------------- columns

TEST(SqliteColumns, DeclaredTypesMapToAdoTypes) {
    std::string path = MakeDatabase("types.db",
                                    "CREATE TABLE t(id INTEGER PRIMARY KEY, i INT NOT NULL, big BIGINT, "
                                    "ubig UNSIGNED BIG INT, small SMALLINT, tiny TINYINT, r REAL, f FLOAT, "
                                    "d DOUBLE PRECISION, n DECIMAL(10,2), money MONEY, c CHAR(5), nc NCHAR(3), "
                                    "vc VARCHAR(50), nvc NVARCHAR(20), txt TEXT, cl CLOB, dt DATE, tm TIME, "
                                    "ts DATETIME, stamp TIMESTAMP, b BOOLEAN, bl BLOB, bin BINARY(16), "
                                    "vbin VARBINARY(100), img IMAGE, g UNIQUEIDENTIFIER, untyped, js JSON);");
    auto c = OpenSqlite(path);
    ExecuteResult r = c->Execute("SELECT *, 1 + 1 AS expr FROM t", -1);
    ASSERT_TRUE(r.cursor);
    const auto& cols = r.cursor->Columns();
    ASSERT_EQ(cols.size(), 30u);
    struct Want {
        const char* name;
        int32_t type;
        int64_t size;
    };
    const Want want[] = {
        {"id", adInteger, 4},         {"i", adInteger, 4},          {"big", adBigInt, 8},
        {"ubig", adBigInt, 8},        {"small", adSmallInt, 2},     {"tiny", adUnsignedTinyInt, 1},
        {"r", adDouble, 8},           {"f", adDouble, 8},           {"d", adDouble, 8},
        {"n", adNumeric, 19},         {"money", adCurrency, 8},     {"c", adChar, 5},
        {"nc", adWChar, 3},           {"vc", adVarChar, 50},        {"nvc", adVarWChar, 20},
        {"txt", adLongVarWChar, 0},   {"cl", adLongVarWChar, 0},    {"dt", adDBDate, 6},
        {"tm", adDBTime, 6},          {"ts", adDBTimeStamp, 16},    {"stamp", adDBTimeStamp, 16},
        {"b", adBoolean, 2},          {"bl", adVarBinary, 0},       {"bin", adBinary, 16},
        {"vbin", adVarBinary, 100},   {"img", adLongVarBinary, 0},  {"g", adGUID, 16},
        {"untyped", adVariant, 0},    {"js", adNumeric, 19},        {"expr", adVariant, 0},
    };
    for (size_t k = 0; k < cols.size(); ++k) {
        SCOPED_TRACE(want[k].name);
        EXPECT_EQ(cols[k].name, want[k].name);
        EXPECT_EQ(cols[k].type, want[k].type);
        EXPECT_EQ(cols[k].definedSize, want[k].size);
    }
    EXPECT_EQ(cols[9].precision, 10);
    EXPECT_EQ(cols[9].scale, 2);
    EXPECT_TRUE(cols[15].attributes & adFldLong);
    EXPECT_TRUE(cols[25].attributes & adFldLong);
    EXPECT_FALSE(cols[22].attributes & adFldLong);
    EXPECT_TRUE(cols[11].attributes & adFldFixed);
    EXPECT_FALSE(cols[13].attributes & adFldFixed);

    // Nullability from the table: NOT NULL and the rowid alias never read NULL.
    EXPECT_EQ(cols[0].attributes & (adFldMayBeNull | adFldIsNullable), 0);
    EXPECT_EQ(cols[1].attributes & (adFldMayBeNull | adFldIsNullable), 0);
    EXPECT_EQ(cols[2].attributes & (adFldMayBeNull | adFldIsNullable), adFldMayBeNull | adFldIsNullable);

    // Auto-increment: the rowid alias only; unknown for expressions.
    ASSERT_TRUE(cols[0].autoIncrement.has_value());
    EXPECT_TRUE(*cols[0].autoIncrement);
    for (size_t k = 1; k < 29; ++k) {
        SCOPED_TRACE(want[k].name);
        ASSERT_TRUE(cols[k].autoIncrement.has_value());
        EXPECT_FALSE(*cols[k].autoIncrement);
    }
    EXPECT_FALSE(cols[29].autoIncrement.has_value());
    std::vector<Variant> row;
    EXPECT_FALSE(r.cursor->Fetch(row));
}

TEST(SqliteColumns, AutoIncrementExactlyForTheRowidAlias) {
    auto c = OpenSqlite(":memory:");
    c->ExecuteBatch(
        "CREATE TABLE ipk(id INTEGER PRIMARY KEY, x);"
        "CREATE TABLE lower_ipk(id integer primary key, x);"
        "CREATE TABLE autoinc(id INTEGER PRIMARY KEY AUTOINCREMENT, x);"
        "CREATE TABLE tablepk(id INTEGER, x, PRIMARY KEY(id));"
        "CREATE TABLE desc_ipk(id INTEGER PRIMARY KEY DESC, x);"
        "CREATE TABLE no_rowid(id INTEGER PRIMARY KEY, x) WITHOUT ROWID;"
        "CREATE TABLE int_pk(id INT PRIMARY KEY, x);"
        "CREATE TABLE composite(id INTEGER, y INTEGER, PRIMARY KEY(id, y));"
        "CREATE TABLE text_pk(id TEXT PRIMARY KEY, x);"
        "CREATE VIEW v AS SELECT id AS vid, x FROM ipk;",
        -1);
    auto autoinc = [&](const std::string& sql) {
        ExecuteResult r = c->Execute(sql, -1);
        EXPECT_TRUE(r.cursor);
        return r.cursor ? r.cursor->Columns()[0].autoIncrement : std::nullopt;
    };
    EXPECT_EQ(autoinc("SELECT id FROM ipk"), std::optional<bool>(true));
    EXPECT_EQ(autoinc("SELECT id FROM lower_ipk"), std::optional<bool>(true));
    EXPECT_EQ(autoinc("SELECT id FROM autoinc"), std::optional<bool>(true));
    EXPECT_EQ(autoinc("SELECT id FROM tablepk"), std::optional<bool>(true));
    EXPECT_EQ(autoinc("SELECT id AS renamed FROM ipk"), std::optional<bool>(true));
    EXPECT_EQ(autoinc("SELECT vid FROM v"), std::optional<bool>(true));
    EXPECT_EQ(autoinc("SELECT id FROM desc_ipk"), std::optional<bool>(false));
    EXPECT_EQ(autoinc("SELECT id FROM no_rowid"), std::optional<bool>(false));
    EXPECT_EQ(autoinc("SELECT id FROM int_pk"), std::optional<bool>(false));
    EXPECT_EQ(autoinc("SELECT id FROM composite"), std::optional<bool>(false));
    EXPECT_EQ(autoinc("SELECT id FROM text_pk"), std::optional<bool>(false));
    EXPECT_EQ(autoinc("SELECT x FROM ipk"), std::optional<bool>(false));
    EXPECT_EQ(autoinc("SELECT id + 0 FROM ipk"), std::nullopt);
    // The rowid of a table without an alias is auto-assigned too; a declared
    // column named rowid is an ordinary column.
    EXPECT_EQ(autoinc("SELECT rowid FROM text_pk"), std::optional<bool>(true));
    EXPECT_EQ(autoinc("SELECT _rowid_ FROM int_pk"), std::optional<bool>(true));
    c->Execute("CREATE TABLE named_rowid(rowid TEXT, x)", -1);
    EXPECT_EQ(autoinc("SELECT rowid FROM named_rowid"), std::optional<bool>(false));
}

TEST(SqliteTypeMap, DeclaredTypeText) {
    using sqlite::MapDeclaredType;
    EXPECT_EQ(MapDeclaredType("varchar ( 50 )").type, adVarChar);
    EXPECT_EQ(MapDeclaredType("varchar ( 50 )").definedSize, 50);
    EXPECT_EQ(MapDeclaredType("unsigned big int").type, adBigInt);
    EXPECT_EQ(MapDeclaredType("INT8").type, adBigInt);
    EXPECT_EQ(MapDeclaredType("MEDIUMINT").type, adInteger);
    EXPECT_EQ(MapDeclaredType("int(11)").type, adInteger);
    EXPECT_EQ(MapDeclaredType("INT2").type, adSmallInt);
    EXPECT_EQ(MapDeclaredType("decimal(10, 2)").precision, 10);
    EXPECT_EQ(MapDeclaredType("decimal(10, 2)").scale, 2);
    EXPECT_EQ(MapDeclaredType("NUMERIC").precision, 0);
    EXPECT_EQ(MapDeclaredType("FLOAT(24)").type, adDouble);
    EXPECT_EQ(MapDeclaredType("Currency").type, adCurrency);
    EXPECT_EQ(MapDeclaredType("CHARACTER(20)").type, adChar);
    EXPECT_EQ(MapDeclaredType("CHARACTER(20)").definedSize, 20);
    EXPECT_EQ(MapDeclaredType("VARYING CHARACTER(255)").type, adVarChar);
    EXPECT_EQ(MapDeclaredType("VARYING CHARACTER(255)").definedSize, 255);
    EXPECT_EQ(MapDeclaredType("NATIVE CHARACTER(70)").type, adVarWChar);
    EXPECT_EQ(MapDeclaredType("NATIONAL CHARACTER(3)").type, adWChar);
    EXPECT_EQ(MapDeclaredType("nvarchar(max)").type, adLongVarWChar);
    EXPECT_EQ(MapDeclaredType("ntext").type, adLongVarWChar);
    EXPECT_EQ(MapDeclaredType("memo").attributes & adFldLong, adFldLong);
    EXPECT_EQ(MapDeclaredType("timestamp with time zone").type, adDBTimeStamp);
    EXPECT_EQ(MapDeclaredType("YesNo").type, adBoolean);
    EXPECT_EQ(MapDeclaredType("bit").type, adBoolean);
    EXPECT_EQ(MapDeclaredType("blob").type, adVarBinary);
    EXPECT_EQ(MapDeclaredType("LONGBLOB").type, adLongVarBinary);
    EXPECT_EQ(MapDeclaredType("varbinary(max)").type, adVarBinary);
    EXPECT_EQ(MapDeclaredType("guid").type, adGUID);
    EXPECT_EQ(MapDeclaredType("uuid").type, adGUID);
    EXPECT_EQ(MapDeclaredType("").type, adVariant);
    EXPECT_EQ(MapDeclaredType("ANY").type, adVariant);
    // SQLite's affinity rules for the rest.
    EXPECT_EQ(MapDeclaredType("FLOATING POINT").type, adInteger);  // holds "INT"
    EXPECT_EQ(MapDeclaredType("VARCHAR_IGNORECASE(10)").type, adVarWChar);
    EXPECT_EQ(MapDeclaredType("MYTEXT").type, adLongVarWChar);
    EXPECT_EQ(MapDeclaredType("SMALLBLOB").type, adVarBinary);
    EXPECT_EQ(MapDeclaredType("DOUBLE_ISH").type, adDouble);
    EXPECT_EQ(MapDeclaredType("STRING").type, adNumeric);
}

// ---------------------------------------------------------------- values

TEST(SqliteValues, StorageClassDecidesTheKindAndValuesRoundTrip) {
    auto c = OpenSqlite(":memory:");
    c->ExecuteBatch(
        "CREATE TABLE v(k INTEGER PRIMARY KEY, t TEXT, b BLOB, i INTEGER, r REAL, d DATE, u);"
        "INSERT INTO v VALUES (1, NULL, NULL, NULL, NULL, NULL, NULL);"
        "INSERT INTO v VALUES (2, '', X'', 9223372036854775807, 1e308, 'not a date', -0.0);"
        "INSERT INTO v VALUES (3, 'a' || char(0) || 'b', X'0000FF00', -9223372036854775808, -1e-308, "
        "'2024-02-30', 1.5);"
        "INSERT INTO v VALUES (4, 'it''s \"q\"' || char(10) || 'line2' || char(13, 10) || 'éñ中😀', "
        "X'00', 0, 0.1, 20240101, 'x');",
        -1);
    auto rows = Query(*c, "SELECT t, b, i, r, d, u, typeof(u) FROM v ORDER BY k");
    ASSERT_EQ(rows.size(), 4u);
    for (const Variant& v : rows[0]) {
        if (&v == &rows[0][6]) break;
        EXPECT_TRUE(v.IsNull());
    }
    // Empty text and empty blob stay values, not NULL.
    EXPECT_EQ(rows[1][0].Kind(), VarKind::Text);
    EXPECT_EQ(rows[1][0].AsText(), "");
    EXPECT_EQ(rows[1][1].Kind(), VarKind::Binary);
    EXPECT_EQ(rows[1][1].AsText(), "");
    EXPECT_EQ(rows[1][2].Kind(), VarKind::Int);
    EXPECT_EQ(rows[1][2].AsInt(), INT64_MAX);
    EXPECT_EQ(rows[1][3].Kind(), VarKind::Double);
    EXPECT_EQ(rows[1][3].AsDouble(), 1e308);
    EXPECT_EQ(rows[1][4].Kind(), VarKind::Text);  // text in a DATE column comes out unchanged
    EXPECT_EQ(rows[1][4].AsText(), "not a date");
    EXPECT_EQ(rows[1][5].Kind(), VarKind::Double);  // untyped column: stored as a real
    EXPECT_EQ(rows[1][6].AsText(), "real");
    EXPECT_EQ(rows[1][5].AsDouble(), 0.0);
    EXPECT_TRUE(std::signbit(rows[1][5].AsDouble()));

    EXPECT_EQ(rows[2][0].AsText(), "a\0b"s);
    EXPECT_EQ(rows[2][1].Kind(), VarKind::Binary);
    EXPECT_EQ(rows[2][1].AsText(), "\0\0\xff\0"s);
    EXPECT_EQ(rows[2][2].AsInt(), INT64_MIN);
    EXPECT_EQ(rows[2][3].AsDouble(), -1e-308);
    EXPECT_EQ(rows[2][4].AsText(), "2024-02-30");
    EXPECT_EQ(rows[2][5].AsDouble(), 1.5);

    EXPECT_EQ(rows[3][0].AsText(), "it's \"q\"\nline2\r\néñ中😀");
    EXPECT_EQ(rows[3][1].AsText(), "\0"s);
    EXPECT_EQ(rows[3][2].Kind(), VarKind::Int);
    EXPECT_EQ(rows[3][3].AsDouble(), 0.1);
    EXPECT_EQ(rows[3][4].Kind(), VarKind::Int);  // a number in a DATE column stays a number
    EXPECT_EQ(rows[3][4].AsInt(), 20240101);
    EXPECT_EQ(rows[3][5].Kind(), VarKind::Text);
    EXPECT_EQ(rows[3][5].AsText(), "x");
}

TEST(SqliteValues, RowVariantsAreReused) {
    auto c = OpenSqlite(":memory:");
    ExecuteResult r = c->Execute(
        "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 50) "
        "SELECT x, printf('%.*c', 30 - x % 7, 'a') FROM n",
        -1);
    ASSERT_TRUE(r.cursor);
    std::vector<Variant> row;
    ASSERT_TRUE(r.cursor->Fetch(row));
    ASSERT_EQ(row.size(), 2u);
    const Variant* first = row.data();
    const char* buffer = row[1].AsText().data();
    int count = 1;
    while (r.cursor->Fetch(row)) {
        ++count;
        EXPECT_EQ(row.data(), first);
        EXPECT_EQ(row[1].AsText().data(), buffer);  // shorter texts fit in the same buffer
        EXPECT_EQ(row[0].AsInt(), count);
    }
    EXPECT_EQ(count, 50);
}

// ---------------------------------------------------------------- streaming

TEST(SqliteStreaming, RowsAreFetchedOneAtATime) {
    auto c = OpenSqlite(":memory:");
    // An endless result: only streaming can return its first rows.
    ExecuteResult r = c->Execute("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) SELECT x FROM n", -1);
    ASSERT_TRUE(r.cursor);
    EXPECT_EQ(r.rowsAffected, -1);
    std::vector<Variant> row;
    for (int i = 1; i <= 1000; ++i) {
        ASSERT_TRUE(r.cursor->Fetch(row));
        ASSERT_EQ(row[0].AsInt(), i);
    }
    r.cursor->Close();
    EXPECT_FALSE(r.cursor->Fetch(row));
}

TEST(SqliteStreaming, AnErrorOnRowNAppearsAtFetchN) {
    auto c = OpenSqlite(":memory:");
    ExecuteResult r = c->Execute(
        "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 10) "
        "SELECT CASE WHEN x = 5 THEN abs(-9223372036854775807 - 1) ELSE x END FROM n",
        -1);
    ASSERT_TRUE(r.cursor);
    std::vector<Variant> row;
    for (int i = 1; i <= 4; ++i) {
        ASSERT_TRUE(r.cursor->Fetch(row));
        EXPECT_EQ(row[0].AsInt(), i);
    }
    AdoError e = ProviderFailure([&] { r.cursor->Fetch(row); });
    EXPECT_EQ(Code(e), SQLITE_ERROR);
    EXPECT_EQ(e.Description(), "integer overflow");
    // The statement is not restarted: the failure stays.
    AdoError again = ProviderFailure([&] { r.cursor->Fetch(row); });
    EXPECT_EQ(again.Description(), "integer overflow");
    // The connection goes on working.
    EXPECT_EQ(Scalar(*c, "SELECT 7").AsInt(), 7);
}

TEST(SqliteStreaming, TimeoutInterruptsAStep) {
    auto c = OpenSqlite(":memory:");
    ExecuteResult r =
        c->Execute("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) SELECT count(*) FROM n", 1);
    ASSERT_TRUE(r.cursor);
    std::vector<Variant> row;
    auto start = std::chrono::steady_clock::now();
    AdoError e = ProviderFailure([&] { r.cursor->Fetch(row); });
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(Code(e), SQLITE_INTERRUPT);
    EXPECT_NE(e.Description().find("timeout"), std::string::npos) << e.Description();
    // Without a timeout nothing interrupts later statements.
    EXPECT_EQ(Scalar(*c, "SELECT 1").AsInt(), 1);
}

// ---------------------------------------------------------------- execute

TEST(SqliteExecute, StatementsWithoutRowsReportTheirChanges) {
    auto c = OpenSqlite(":memory:");
    ExecuteResult r = c->Execute("CREATE TABLE t(x)", -1);
    EXPECT_FALSE(r.cursor);
    EXPECT_EQ(r.rowsAffected, 0);
    EXPECT_EQ(c->Execute("INSERT INTO t VALUES (1), (2), (3)", -1).rowsAffected, 3);
    EXPECT_EQ(c->Execute("UPDATE t SET x = x + 1 WHERE x > 1", -1).rowsAffected, 2);
    // Another kind of statement does not repeat the last count.
    EXPECT_EQ(c->Execute("CREATE INDEX tx ON t(x)", -1).rowsAffected, 0);
    EXPECT_EQ(c->Execute("DELETE FROM t WHERE x > 100", -1).rowsAffected, 0);
    EXPECT_EQ(c->Execute("DELETE FROM t", -1).rowsAffected, 3);
}

TEST(SqliteExecute, OneStatementPerCommand) {
    auto c = OpenSqlite(":memory:");
    AdoError e = ProviderFailure([&] { c->Execute("CREATE TABLE a(x); CREATE TABLE b(x)", -1); });
    EXPECT_NE(e.Description().find("only one statement per command"), std::string::npos) << e.Description();
    // Nothing ran.
    EXPECT_EQ(Scalar(*c, "SELECT count(*) FROM sqlite_master").AsInt(), 0);
    // Trailing semicolons and comments are fine.
    c->Execute("CREATE TABLE a(x); ; -- done\n /* really */ ;", -1);
    EXPECT_EQ(Scalar(*c, "SELECT count(*) FROM sqlite_master  -- tail").AsInt(), 1);
}

TEST(SqliteExecute, BlankTextFails) {
    auto c = OpenSqlite(":memory:");
    for (const char* sql : {"", "   \n\t ", "-- nothing\n", " ; ; /* x */"}) {
        AdoError e = ProviderFailure([&] { c->Execute(sql, -1); });
        EXPECT_NE(e.Description().find("no SQL statement"), std::string::npos) << e.Description();
    }
}

TEST(SqliteExecute, SyntaxErrorCarriesCodeAndMessage) {
    auto c = OpenSqlite(":memory:");
    AdoError e = ProviderFailure([&] { c->Execute("SELEC 1", -1); });
    EXPECT_EQ(Code(e), SQLITE_ERROR);
    EXPECT_EQ(e.Description(), "near \"SELEC\": syntax error");
    AdoError missing = ProviderFailure([&] { c->Execute("SELECT * FROM nowhere", -1); });
    EXPECT_EQ(missing.Description(), "no such table: nowhere");
}

TEST(SqliteExecute, ConstraintFailureCarriesTheExtendedCode) {
    auto c = OpenSqlite(":memory:");
    c->ExecuteBatch("CREATE TABLE t(x UNIQUE); INSERT INTO t VALUES (1);", -1);
    AdoError e = ProviderFailure([&] { c->Execute("INSERT INTO t VALUES (1)", -1); });
    EXPECT_EQ(Code(e), SQLITE_CONSTRAINT_UNIQUE);
    EXPECT_EQ(e.Description(), "UNIQUE constraint failed: t.x");
}

TEST(SqliteExecute, NoStoredProcedures) {
    auto c = OpenSqlite(":memory:");
    AdoError e = ProviderFailure([&] { c->ProcedureParameters("usp_x"); });
    EXPECT_EQ(e.Description(), "SQLite has no stored procedures: usp_x");
    std::vector<BoundParameter> params;
    AdoError call = ProviderFailure([&] { c->CallProcedure("usp_y", params, -1); });
    EXPECT_EQ(call.Description(), "SQLite has no stored procedures: usp_y");
}

// ---------------------------------------------------------------- batch

TEST(SqliteBatch, RunsEveryStatementAndSumsChanges) {
    auto c = OpenSqlite(":memory:");
    int64_t n = c->ExecuteBatch(
        "-- a script\nCREATE TABLE t(x);\nINSERT INTO t VALUES (1), (2);\n"
        "SELECT * FROM t;\nINSERT INTO t VALUES ('a;b');\n/* end */\n",
        -1);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(Scalar(*c, "SELECT count(*) FROM t").AsInt(), 3);
    EXPECT_EQ(c->ExecuteBatch("  ", -1), 0);
}

TEST(SqliteBatch, StopsAtTheFirstFailureLeavingEarlierStatementsDone) {
    auto c = OpenSqlite(":memory:");
    AdoError e = ProviderFailure([&] {
        c->ExecuteBatch(
            "CREATE TABLE t(x PRIMARY KEY); INSERT INTO t VALUES (1); INSERT INTO t VALUES (1); "
            "INSERT INTO t VALUES (2);",
            -1);
    });
    EXPECT_EQ(Code(e), SQLITE_CONSTRAINT_PRIMARYKEY);
    EXPECT_EQ(Scalar(*c, "SELECT group_concat(x) FROM t").AsText(), "1");

    AdoError syntax = ProviderFailure([&] { c->ExecuteBatch("INSERT INTO t VALUES (5); INSER 6;", -1); });
    EXPECT_EQ(Code(syntax), SQLITE_ERROR);
    EXPECT_NE(syntax.Description().find("syntax error"), std::string::npos);
    EXPECT_EQ(Scalar(*c, "SELECT group_concat(x) FROM t").AsText(), "1,5");
}

// ---------------------------------------------------------------- transactions

TEST(SqliteTransactions, CommitKeepsAndRollbackUndoes) {
    std::string path = MakeDatabase("trans.db", "CREATE TABLE t(x);");
    auto c = OpenSqlite(path);
    c->BeginTrans();
    c->Execute("INSERT INTO t VALUES (1)", -1);
    c->RollbackTrans();
    EXPECT_EQ(Scalar(*c, "SELECT count(*) FROM t").AsInt(), 0);
    c->BeginTrans();
    c->Execute("INSERT INTO t VALUES (2)", -1);
    c->CommitTrans();
    c->Close();
    auto again = OpenSqlite(path);
    EXPECT_EQ(Scalar(*again, "SELECT group_concat(x) FROM t").AsText(), "2");
    AdoError e = ProviderFailure([&] { again->CommitTrans(); });
    EXPECT_NE(e.Description().find("no transaction is active"), std::string::npos) << e.Description();
}

// ---------------------------------------------------------------- lifetime

TEST(SqliteLifetime, CursorOutlivesItsConnectionObject) {
    std::unique_ptr<EngineCursor> cursor;
    {
        auto c = OpenSqlite(":memory:");
        c->ExecuteBatch("CREATE TABLE t(x); INSERT INTO t VALUES (1), (2);", -1);
        cursor = c->Execute("SELECT x FROM t ORDER BY x", -1).cursor;
    }
    ASSERT_TRUE(cursor);
    auto rows = FetchAll(*cursor);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][0].AsInt(), 2);
}

TEST(SqliteLifetime, CloseFinalizesOpenCursors) {
    auto c = OpenSqlite(":memory:");
    ExecuteResult r = c->Execute("SELECT 1 UNION ALL SELECT 2", -1);
    ExecuteResult done = c->Execute("SELECT 1", -1);
    std::vector<Variant> row;
    ASSERT_TRUE(r.cursor->Fetch(row));
    ASSERT_TRUE(done.cursor->Fetch(row));
    ASSERT_FALSE(done.cursor->Fetch(row));
    c->Close();
    c->Close();  // twice is harmless
    try {
        r.cursor->Fetch(row);
        ADD_FAILURE() << "a cursor of a closed connection fetched";
    } catch (const AdoError& e) {
        EXPECT_EQ(e.Number(), err::ObjectClosed);
    }
    EXPECT_FALSE(done.cursor->Fetch(row));  // it had ended before
    try {
        c->Execute("SELECT 1", -1);
        ADD_FAILURE() << "a closed connection ran a statement";
    } catch (const AdoError& e) {
        EXPECT_EQ(e.Number(), err::InvalidConnection);
    }
    r.cursor.reset();
    c.reset();
}

}  // namespace
}  // namespace qarn::ado
