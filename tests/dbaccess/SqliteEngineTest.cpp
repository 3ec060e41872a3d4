// The SQLite engine through OpenSqlite and the EngineConnection interface.
// Values themselves are proven by the round trips
// (tests/control/RoundTripTest.cpp).

#include <sqlite3.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <filesystem>

#include "EngineTesting.h"
#include "sqlite/SqliteEngine.h"
#include "sqlite/SqliteTypeMap.h"

namespace qarn::ado {
namespace {
using namespace testing_engine;

// A new database file made with the library itself, holding `script`.
std::string MakeDatabase(const std::string& name, const std::string& script) {
    std::string path = test::ScratchPath(name);
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, script.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    return path;
}

// SQLite's own code of a provider error of one record.
int Code(const AdoError& e) {
    EXPECT_EQ(e.Records().size(), 1u) << e.Description();
    return e.Records().empty() ? 0 : e.Records()[0].Number;
}

TEST(SqliteOpen, WhatCannotOpenFailsNamingThePathAndCreatesNothing) {
    const std::string folder = test::ScratchPath("folder.db"), text = test::ScratchPath("text.db");
    std::filesystem::create_directory(folder);
    test::WriteBytes(text, std::string(2000, 'x') + "\nthis is a text file, not a database\n");
    const std::string missing = test::ScratchPath("missing.db"), uriFile = test::ScratchPath("uri.db");
    struct Case {
        std::string path;
        int code;
        std::vector<std::string> said;
    } cases[] = {
        {missing, SQLITE_CANTOPEN, {"not found", missing}},
        {folder, SQLITE_CANTOPEN, {"folder", folder}},
        {text, SQLITE_NOTADB, {"not a SQLite database", text, sqlite3_errstr(SQLITE_NOTADB)}},
        {"", SQLITE_CANTOPEN, {}},
        {"file:" + uriFile + "?mode=rwc", 0, {}},  // a plain path, never a URI that creates
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.path);
        AdoError e = ProviderFailure([&] { OpenSqlite(k.path); });
        if (k.code) {
            EXPECT_EQ(Code(e), k.code);
        }
        for (const std::string& s : k.said) EXPECT_THAT(e.Description(), HasSubstr(s));
    }
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_FALSE(std::filesystem::exists(uriFile));
}

TEST(SqliteOpen, FilesOpenReadWriteOrReadOnlyAsTheyAllow) {
    EXPECT_EQ(OpenSqlite(":memory:")->DbmsName(), "SQLite");
    std::string path = MakeDatabase("rw.db", "CREATE TABLE t(x); INSERT INTO t VALUES (1);");
    EXPECT_EQ(OpenSqlite(path)->Execute("INSERT INTO t VALUES (2)", -1).rowsAffected, 1);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    auto c = OpenSqlite(path);
    EXPECT_EQ(Scalar(*c, "SELECT count(*) FROM t").AsInt(), 2);
    if (geteuid() != 0) {  // root writes to write-protected files
        EXPECT_EQ(Code(ProviderFailure([&] { c->Execute("INSERT INTO t VALUES (3)", -1); })) & 0xff, SQLITE_READONLY);
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
    EXPECT_THAT(e.Description(), HasSubstr("locked"));
    EXPECT_THAT(e.Description(), HasSubstr(path));
    EXPECT_GE(waited, std::chrono::seconds(2));
    EXPECT_LT(waited, std::chrono::seconds(30));
    sqlite3_close(other);
}

TEST(SqliteColumns, DeclaredTypesMapToAdoTypes) {
    // One column of each family: the declared-type table itself is read in SqliteTypeMap.
    std::string path = MakeDatabase("types.db",
                                    "CREATE TABLE t(id INTEGER PRIMARY KEY, i INT NOT NULL, big BIGINT, "
                                    "tiny TINYINT, r REAL, n DECIMAL(10,2), money MONEY, c CHAR(5), "
                                    "nvc NVARCHAR(20), txt TEXT, dt DATE, ts DATETIME, b BOOLEAN, bl BLOB, "
                                    "img IMAGE, g UNIQUEIDENTIFIER, untyped, js JSON);");
    auto c = OpenSqlite(path);
    ExecuteResult r = c->Execute("SELECT *, 1 + 1 AS expr FROM t", -1);
    ASSERT_TRUE(r.cursor);
    const auto& cols = r.cursor->Columns();
    struct Want {
        const char* name;
        int32_t type;
        int64_t size;
    } const want[] = {
        {"id", adInteger, 4},        {"i", adInteger, 4},
        {"big", adBigInt, 8},        {"tiny", adUnsignedTinyInt, 1},
        {"r", adDouble, 8},          {"n", adNumeric, 19},
        {"money", adCurrency, 8},    {"c", adChar, 5},
        {"nvc", adVarWChar, 20},     {"txt", adLongVarWChar, 0},
        {"dt", adDBDate, 6},         {"ts", adDBTimeStamp, 16},
        {"b", adBoolean, 2},         {"bl", adVarBinary, 0},
        {"img", adLongVarBinary, 0}, {"g", adGUID, 16},
        {"untyped", adVariant, 0},   {"js", adNumeric, 19},
        {"expr", adVariant, 0},
    };
    ASSERT_EQ(cols.size(), std::size(want));
    for (size_t k = 0; k < cols.size(); ++k) {
        SCOPED_TRACE(want[k].name);
        EXPECT_EQ(cols[k].name, want[k].name);
        EXPECT_EQ(cols[k].type, want[k].type);
        EXPECT_EQ(cols[k].definedSize, want[k].size);
        // Auto-increment: the rowid alias only; unknown for expressions.
        EXPECT_EQ(cols[k].autoIncrement, k + 1 == cols.size() ? std::nullopt : std::optional<bool>(k == 0));
    }
    EXPECT_EQ(cols[5].precision, 10);
    EXPECT_EQ(cols[5].scale, 2);
    EXPECT_TRUE(cols[9].attributes & adFldLong);
    EXPECT_TRUE(cols[14].attributes & adFldLong);
    EXPECT_FALSE(cols[13].attributes & adFldLong);
    EXPECT_TRUE(cols[7].attributes & adFldFixed);
    EXPECT_FALSE(cols[8].attributes & adFldFixed);
    // Nullability from the table: NOT NULL and the rowid alias never read NULL.
    const int32_t both = adFldMayBeNull | adFldIsNullable;
    EXPECT_EQ(cols[0].attributes & both, 0);
    EXPECT_EQ(cols[1].attributes & both, 0);
    EXPECT_EQ(cols[2].attributes & both, both);
}

TEST(SqliteColumns, AutoIncrementExactlyForTheRowid) {
    auto c = OpenSqlite(":memory:");
    c->ExecuteBatch(
        "CREATE TABLE ipk(id INTEGER PRIMARY KEY, x); CREATE TABLE lower_ipk(id integer primary key, x);"
        "CREATE TABLE autoinc(id INTEGER PRIMARY KEY AUTOINCREMENT, x); CREATE TABLE tablepk(id INTEGER, x, "
        "PRIMARY KEY(id)); CREATE TABLE desc_ipk(id INTEGER PRIMARY KEY DESC, x);"
        "CREATE TABLE no_rowid(id INTEGER PRIMARY KEY, x) WITHOUT ROWID; CREATE TABLE int_pk(id INT PRIMARY KEY, x);"
        "CREATE TABLE composite(id INTEGER, y INTEGER, PRIMARY KEY(id, y)); CREATE TABLE text_pk(id TEXT PRIMARY KEY);"
        "CREATE VIEW v AS SELECT id AS vid, x FROM ipk; CREATE TABLE named_rowid(rowid TEXT, x);",
        -1);
    const std::optional<bool> yes = true, no = false;
    const std::pair<const char*, std::optional<bool>> cases[] = {
        {"id FROM lower_ipk", yes},
        {"id FROM autoinc", yes},
        {"id FROM tablepk", yes},
        {"vid FROM v", yes},
        {"id FROM desc_ipk", no},
        {"id FROM no_rowid", no},
        {"id FROM int_pk", no},
        {"id FROM composite", no},
        {"id + 0 FROM ipk", std::nullopt},
        // The rowid of a table without an alias is auto-assigned too; a
        // declared column named rowid is an ordinary column.
        {"rowid FROM text_pk", yes},
        {"_rowid_ FROM int_pk", yes},
        {"rowid FROM named_rowid", no},
    };
    for (const auto& [sql, want] : cases)
        EXPECT_EQ(c->Execute(std::string("SELECT ") + sql, -1).cursor->Columns()[0].autoIncrement, want) << sql;
}

TEST(SqliteTypeMap, DeclaredTypeText) {
    struct Case {
        const char* text;
        int32_t type;
        int64_t size = -1;  // -1: not checked
    } const cases[] = {
        {"varchar ( 50 )", adVarChar, 50},
        {"INT8", adBigInt},
        {"int(11)", adInteger},
        {"FLOAT(24)", adDouble},
        {"Currency", adCurrency},
        {"VARYING CHARACTER(255)", adVarChar, 255},
        {"NATIVE CHARACTER(70)", adVarWChar},
        {"nvarchar(max)", adLongVarWChar},
        {"timestamp with time zone", adDBTimeStamp},
        {"YesNo", adBoolean},
        {"LONGBLOB", adLongVarBinary},
        {"varbinary(max)", adVarBinary},
        {"uuid", adGUID},
        {"ANY", adVariant},
        // SQLite's affinity rules for the rest.
        {"FLOATING POINT", adInteger},  // holds "INT"
        {"VARCHAR_IGNORECASE(10)", adVarWChar},
        {"MYTEXT", adLongVarWChar},
        {"SMALLBLOB", adVarBinary},
        {"DOUBLE_ISH", adDouble},
        {"STRING", adNumeric},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(sqlite::MapDeclaredType(k.text).type, k.type) << k.text;
        if (k.size >= 0) {
            EXPECT_EQ(sqlite::MapDeclaredType(k.text).definedSize, k.size) << k.text;
        }
    }
    EXPECT_EQ(sqlite::MapDeclaredType("decimal(10, 2)").precision, 10);
    EXPECT_EQ(sqlite::MapDeclaredType("decimal(10, 2)").scale, 2);
    EXPECT_EQ(sqlite::MapDeclaredType("NUMERIC").precision, 0);
    EXPECT_EQ(sqlite::MapDeclaredType("memo").attributes & adFldLong, adFldLong);
}

// What the round trips cannot see: their REAL columns store -0 as 0, and
// SQLite's quote() ends a text at its first NUL.
TEST(SqliteValues, NegativeZeroAndTextPastANulArriveWhole) {
    Rows rows = Query(*OpenSqlite(":memory:"), "SELECT -0.0, 'a' || char(0) || 'b'");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(std::signbit(rows[0][0].AsDouble()));
    EXPECT_EQ(rows[0][1], Variant::FromText(std::string("a\0b", 3)));
}

TEST(SqliteValues, RowsStream) {
    auto c = OpenSqlite(":memory:");
    // An endless result: only streaming can return its first rows.
    ExecuteResult r = c->Execute(
        "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) SELECT x, printf('%.*c', 30 - x % 7, 'a') "
        "FROM n",
        -1);
    ASSERT_TRUE(r.cursor);
    EXPECT_EQ(r.rowsAffected, -1);
    std::vector<Variant> row;
    ASSERT_TRUE(r.cursor->Fetch(row));
    for (int i = 2; i <= 1000; ++i) {
        ASSERT_TRUE(r.cursor->Fetch(row));
        ASSERT_EQ(row[0].AsInt(), i);
    }
    r.cursor->Close();
    EXPECT_FALSE(r.cursor->Fetch(row));
}

TEST(SqliteValues, AnErrorOnRowNAppearsAtFetchNAndTimeoutsInterrupt) {
    auto c = OpenSqlite(":memory:");
    ExecuteResult r = c->Execute(
        "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 10) "
        "SELECT CASE WHEN x = 5 THEN abs(-9223372036854775807 - 1) ELSE x END FROM n",
        -1);
    std::vector<Variant> row;
    for (int i = 1; i <= 4; ++i) {
        ASSERT_TRUE(r.cursor->Fetch(row));
        EXPECT_EQ(row[0].AsInt(), i);
    }
    AdoError e = ProviderFailure([&] { r.cursor->Fetch(row); });
    EXPECT_EQ(Code(e), SQLITE_ERROR);
    EXPECT_EQ(e.Description(), "integer overflow");
    // The statement is not restarted: the failure stays.
    EXPECT_EQ(ProviderFailure([&] { r.cursor->Fetch(row); }).Description(), "integer overflow");

    r = c->Execute("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) SELECT count(*) FROM n", 1);
    auto start = std::chrono::steady_clock::now();
    e = ProviderFailure([&] { r.cursor->Fetch(row); });
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(Code(e), SQLITE_INTERRUPT);
    EXPECT_THAT(e.Description(), HasSubstr("timeout"));
    // The connection goes on, and nothing interrupts later statements.
    EXPECT_EQ(Scalar(*c, "SELECT 7").AsInt(), 7);
}

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
    // Trailing semicolons and comments are no second statement.
    c->Execute("CREATE TABLE a(x); ; -- done\n /* really */ ;", -1);
    EXPECT_EQ(Scalar(*c, "SELECT count(*) FROM sqlite_master  -- tail").AsInt(), 3);
}

TEST(SqliteExecute, FailuresCarryCodeAndMessageAndRunNothing) {
    auto c = OpenSqlite(":memory:");
    c->ExecuteBatch("CREATE TABLE t(x UNIQUE); INSERT INTO t VALUES (1);", -1);
    std::vector<BoundParameter> params;
    const struct {
        std::function<void()> action;
        int code;
        std::string description;  // the whole description, or a part when starting with "..."
    } cases[] = {
        {[&] { c->Execute("CREATE TABLE a(x); CREATE TABLE b(x)", -1); }, 0, "...only one statement per command"},
        {[&] { c->Execute("", -1); }, 0, "...no SQL statement"},
        {[&] { c->Execute(" ; ; /* x */", -1); }, 0, "...no SQL statement"},
        {[&] { c->Execute("SELEC 1", -1); }, SQLITE_ERROR, "near \"SELEC\": syntax error"},
        {[&] { c->Execute("INSERT INTO t VALUES (1)", -1); }, SQLITE_CONSTRAINT_UNIQUE,
         "UNIQUE constraint failed: t.x"},
        {[&] { c->CallProcedure("usp_y", params, -1); }, 0, "SQLite has no stored procedures: usp_y"},
        {[&] { c->CommitTrans(); }, 0, "...no transaction is active"},
    };
    for (const auto& k : cases) {
        AdoError e = ProviderFailure(k.action);
        SCOPED_TRACE(k.description);
        if (k.description.starts_with("...")) {
            EXPECT_THAT(e.Description(), HasSubstr(k.description.substr(3)));
        } else {
            EXPECT_EQ(e.Description(), k.description);
        }
        if (k.code) {
            EXPECT_EQ(Code(e), k.code);
        }
    }
    EXPECT_EQ(Scalar(*c, "SELECT count(*) FROM sqlite_master").AsInt(), 2);  // table and its index only
}

// Comments and blanks are no statements, a ';' in a literal ends none.
TEST(SqliteBatch, CutsTheScriptWhereSqliteDoes) {
    auto c = OpenSqlite(":memory:");
    EXPECT_EQ(c->ExecuteBatch("-- a script\nCREATE TABLE t(x PRIMARY KEY);\nINSERT INTO t VALUES (1), (2);\n"
                              "SELECT * FROM t;\nINSERT INTO t VALUES ('a;b');\n/* end */\n",
                              -1),
              3);
    EXPECT_EQ(c->ExecuteBatch("  ", -1), 0);
    EXPECT_EQ(Scalar(*c, "SELECT group_concat(x) FROM t").AsText(), "1,2,a;b");
}

}  // namespace
}  // namespace qarn::ado
