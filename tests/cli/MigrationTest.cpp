// Scripts that other tools run and other databases receive: a table of the
// common types, generated with --terminate in another database's dialect,
// replayed by the receiving database's own client (sqlite3, psql, mariadb)
// into an empty table there, and compared value by value.  (Each database's
// own dialect is proven by the control's round trips.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "ado/Command.h"
#include "cli/CliSupport.h"
#include "support/TestSupport.h"

namespace qarn::test::cli {
namespace {

enum Kind { kInt, kText, kReal, kBool, kDate, kStamp, kBytes };
constexpr Kind kKinds[] = {kInt, kInt, kText, kReal, kBool, kDate, kStamp, kBytes};
const char* const kNames[] = {"id", "big", "txt", "real_v", "ok", "born", "stamp", "data"};

struct Database {
    std::string name;
    std::string dialect;                    // as --dialect names it
    std::vector<std::string> types;         // per column of kNames
    std::string textFromHex, bytesFromHex;  // {} = hex digits
    std::string connection;
    std::function<CliRun(const std::string& script)> replay;
};

std::string Fill(std::string pattern, const std::string& value) {
    return pattern.replace(pattern.find("{}"), 2, value);
}

std::string Hex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char b : bytes) hex += {kDigits[b >> 4], kDigits[b & 15]};
    return hex;
}

Database Sqlite() {
    Database d{"sqlite",
               "sqlite",
               {"INTEGER PRIMARY KEY", "INTEGER", "TEXT", "REAL", "BOOLEAN", "DATE", "TIMESTAMP", "BLOB"},
               "CAST(X'{}' AS TEXT)",
               "X'{}'",
               "",
               {}};
    const std::string file = MakeSqliteDatabase("PRAGMA user_version = 1;");
    d.connection = "Provider=SQLite;Data Source=" + file;
    d.replay = [file](const std::string& script) { return RunProgram("sqlite3", {"-bail", file, ".read " + script}); };
    return d;
}

Database Postgres() {
    const ServerFacts f = PostgresServer();
    Database d{
        "postgres",
        "postgresql",
        {"integer PRIMARY KEY", "bigint", "text", "double precision", "boolean", "date", "timestamp(6)", "bytea"},
        "convert_from('\\x{}'::bytea, 'UTF8')",
        "'\\x{}'::bytea",
        PostgresProviderString(),
        {}};
    d.replay = [f](const std::string& script) {
        return PostgresTool("psql", {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-d", f.database, "-f", script});
    };
    return d;
}

Database MariaDb() {
    const ServerFacts f = MariaDbServer();
    Database d{"mariadb",
               "mysql",
               {"INT PRIMARY KEY", "BIGINT", "LONGTEXT", "DOUBLE", "BOOLEAN", "DATE", "DATETIME(6)", "LONGBLOB"},
               "CONVERT(X'{}' USING utf8mb4)",
               "X'{}'",
               MariaDbProviderString(),
               {}};
    d.replay = [f](const std::string& script) { return MariaDbTool("mariadb", {f.database}, script); };
    return d;
}

// The rows, as literals each database reads: extremes, quotes, line breaks,
// Unicode, fractions of a second, empty and NULL values.
std::vector<std::vector<std::string>> Rows(const Database& d) {
    auto text = [&](const std::string& s) { return Fill(d.textFromHex, Hex(s)); };
    auto bytes = [&](const std::string& s) { return Fill(d.bytesFromHex, Hex(s)); };
    return {
        {"1", "9223372036854775807", text("it's \"q\" \\ \xE2\x9C\x93 Ch\xC3\xA2teau"), "0.1", "TRUE", "'2024-02-29'",
         "'2024-02-29 23:59:59.5'", bytes(std::string("\0\xff\x10", 3))},
        {"2", "-9223372036854775808", text("CR\r\nLF\nend"), "-1e300", "FALSE", "'1000-01-01'", "'1970-01-01 00:00:00'",
         bytes("\\'")},
        {"3", "NULL", text(""), "2.2250738585072014e-308", "NULL", "NULL", "NULL", "NULL"},
        {"4", "0", "NULL", "NULL", "TRUE", "'9999-12-31'", "'9999-12-31 23:59:59.999999'", bytes(std::string("\0", 1))},
    };
}

// A value in one form whatever database held it.
std::string Canonical(const ado::Variant& v, Kind kind) {
    if (v.IsNull()) return "NULL";
    std::string out;
    switch (kind) {
        case kBool: return v.IsTrue() ? "T" : "F";
        case kReal:
            ado::AppendShortestDouble(
                out, v.Kind() == ado::VarKind::Double ? v.AsDouble() : std::strtod(v.ToText().c_str(), nullptr));
            return out;
        case kDate: return v.ToText().substr(0, 10);
        case kStamp: {
            ado::DateTime t;
            if (v.Kind() == ado::VarKind::Date)
                t = v.AsDate();
            else if (!ado::ParseDateText(v.ToText(), t))
                return "unreadable:" + v.ToText();
            ado::AppendDateText(out, t);
            return out;
        }
        case kBytes: return Hex(v.AsText());
        default: return v.ToText();
    }
}

std::vector<std::string> Read(const std::string& connection, const std::string& table) {
    auto c = OpenConnection(connection);
    auto command = ado::Command::Create();
    command->SetActiveConnection(c);
    command->SetCommandText("SELECT * FROM " + table + " ORDER BY id");
    std::vector<std::string> rows;
    for (auto rs = command->Execute(); !rs->Eof(); rs->MoveNext()) {
        std::string row;
        for (size_t i = 0; i < rs->FieldCount(); ++i) row += Canonical(rs->Fields(i).Value(), kKinds[i]) + "|";
        rows.push_back(row);
    }
    return rows;
}

void MakeTable(const Database& d, const std::string& table, bool withRows) {
    auto c = OpenConnection(d.connection);
    Exec(c, "DROP TABLE IF EXISTS " + table);
    std::string create = "CREATE TABLE " + table + "(";
    for (size_t i = 0; i < d.types.size(); ++i) create += (i ? ", " : "") + std::string(kNames[i]) + " " + d.types[i];
    Exec(c, create + ")");
    if (!withRows) return;
    for (const auto& row : Rows(d)) {
        std::string insert = "INSERT INTO " + table + " VALUES (";
        for (size_t i = 0; i < row.size(); ++i) insert += (i ? ", " : "") + row[i];
        Exec(c, insert + ")");
    }
}

struct Migration {
    const char* name;
    Database (*from)();
    Database (*to)();
};
void PrintTo(const Migration& m, std::ostream* out) {
    *out << m.name;
}

class MigrationTest : public ::testing::TestWithParam<Migration> {};

TEST_P(MigrationTest, TheReceivingClientReplaysEveryValue) {
    QARN_REQUIRE_SERVER(PostgresServer());
    QARN_REQUIRE_SERVER(MariaDbServer());
    const Database from = GetParam().from(), to = GetParam().to();
    const std::string table = "qarn_mig_" + from.name + "_" + to.name;
    MakeTable(from, table, true);
    const std::vector<std::string> original = Read(from.connection, table);
    ASSERT_EQ(original.size(), 4u);

    const std::string script = ScratchPath(table + ".sql");
    CliRun g = RunCli({"generate", "-c", from.connection, "-s", "SELECT * FROM " + table, "-o", script,
                       "--include-identity", "--terminate", "--dialect", to.dialect, "-q"});
    ASSERT_EQ(g.exitCode, 0) << g.err;
    MakeTable(to, table, false);
    CliRun r = to.replay(script);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(Read(to.connection, table), original);
}

INSTANTIATE_TEST_SUITE_P(Clients, MigrationTest,
                         ::testing::Values(Migration{"SqliteToPostgres", Sqlite, Postgres},
                                           Migration{"PostgresToSqlite", Postgres, Sqlite},
                                           Migration{"MariaDbToPostgres", MariaDb, Postgres},
                                           Migration{"PostgresToMariaDb", Postgres, MariaDb}),
                         [](const ::testing::TestParamInfo<Migration>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qarn::test::cli
