// A replayed INSERT whose literals are bound instead of parsed must store
// exactly what SQLite's parser would have stored: the same value and the
// same storage class, in a column of every affinity; whatever the cache
// cannot bind that way it leaves to the parser.
#include <gtest/gtest.h>

#include "sqlite/SqliteHandles.h"
#include "sqlite/SqliteInsertCache.h"
#include "support/TestSupport.h"

namespace qarn::ado::sqlite {
namespace {

constexpr const char* kTable =
    "CREATE TABLE t(i INTEGER, r REAL, n NUMERIC, x TEXT, b BLOB, a, v VARCHAR(10), k INTEGER PRIMARY KEY);"
    "CREATE TABLE s(i INTEGER, r REAL, x TEXT, a ANY) STRICT;";

DbHandle Open() {
    sqlite3* db = nullptr;
    sqlite3_open(test::MakeSqliteDatabase(kTable).c_str(), &db);
    return DbHandle(db);
}

std::string Stored(sqlite3* db, const std::string& table, const std::string& column) {
    std::string out;
    sqlite3_stmt* raw = nullptr;
    sqlite3_prepare_v2(db, ("SELECT typeof(" + column + ") || ':' || quote(" + column + ") FROM " + table).c_str(), -1,
                       &raw, nullptr);
    StmtHandle stmt(raw);
    while (sqlite3_step(raw) == SQLITE_ROW)
        out += reinterpret_cast<const char*>(sqlite3_column_text(raw, 0)) + std::string("|");
    return out;
}

TEST(SqliteInsertCache, BoundLiteralsStoreWhatTheParserStores) {
    const char* literals[] = {"NULL",
                              "0",
                              "-5",
                              "123456789012345678",
                              "1234567890123456789",
                              "-9223372036854775808",
                              "3.0",
                              "-0.0",
                              "0.1",
                              "0.30000000000000004",
                              "1e-300",
                              "9e999",
                              "-9e999",
                              "1.5e10",
                              "'text'",
                              "'it''s'",
                              "''",
                              "X'00ff'",
                              "X''",
                              "'3.0'",
                              "'-7'",
                              "' 12 '"};
    struct Target {
        const char* table;
        const char* column;
    };
    const Target targets[] = {{"t", "i"}, {"t", "r"}, {"t", "n"}, {"t", "x"}, {"t", "b"},
                              {"t", "a"}, {"t", "v"}, {"s", "r"}, {"s", "x"}, {"s", "a"}};
    DbHandle bound = Open(), parsed = Open();
    InsertCache cache;
    size_t boundCount = 0;
    for (const Target& target : targets) {
        for (const char* literal : literals) {
            const std::string line =
                std::string("INSERT INTO ") + target.table + "([" + target.column + "]) VALUES(" + literal + ")";
            // Both databases take the line the same way: stored, or refused.
            const int expected = sqlite3_exec(parsed.get(), line.c_str(), nullptr, nullptr, nullptr);
            int got = SQLITE_OK;
            if (sqlite3_stmt* stmt = cache.Bind(bound.get(), line)) {
                ++boundCount;
                got = sqlite3_step(stmt) == SQLITE_DONE ? SQLITE_OK : SQLITE_ERROR;
                sqlite3_reset(stmt);
            } else {
                got = sqlite3_exec(bound.get(), line.c_str(), nullptr, nullptr, nullptr);
            }
            EXPECT_EQ(got == SQLITE_OK, expected == SQLITE_OK) << line;
        }
        EXPECT_EQ(Stored(bound.get(), target.table, target.column), Stored(parsed.get(), target.table, target.column))
            << target.table << "." << target.column;
    }
    EXPECT_GT(boundCount, std::size(targets) * std::size(literals) / 2) << "the cache bound too little to be tried";
}

TEST(SqliteInsertCache, OnlyPlainInsertsOfLiteralsAreBound) {
    DbHandle db = Open();
    InsertCache cache;
    for (const char* line : {"INSERT INTO t([i], [x]) VALUES(1, 'a');", "INSERT INTO main.t(i, x) VALUES(-2, X'01')",
                             "insert into t(r) values(0.5)  ;  "})
        EXPECT_NE(cache.Bind(db.get(), line), nullptr) << line;
    for (const char* line : {"INSERT INTO t([x]) VALUES('a' || char(13,10) || 'b')", "INSERT INTO t([x]) VALUES(0.5)",
                             "INSERT INTO t(i) VALUES(1); DELETE FROM t", "INSERT INTO t VALUES(1)",
                             "INSERT INTO t(i) SELECT 1", "UPDATE t SET i = 1", "INSERT INTO t(i) VALUES(1, 2)",
                             "INSERT INTO t(i) VALUES(abs(1))", "INSERT INTO t(i) VALUES(?)"})
        EXPECT_EQ(cache.Bind(db.get(), line), nullptr) << line;
}

}  // namespace
}  // namespace qarn::ado::sqlite
