// A generated script replayed into an empty copy of its table recreates
// every row exactly, on SQLite, PostgreSQL and MariaDB: every common type
// holding awkward values, with the identity column's values and without
// them, and over rows still there.  Original and copy are compared value
// by value twice: as the ADO layer reads them (kind and every bit) and as
// the server itself writes them as text, so that a difference the reader
// cannot see (a lost fraction of a second) is caught too.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <optional>

#include "ado/Command.h"
#include "basSQLGenComp.h"
#include "logic/ControlCore.h"
#include "support/TestSupport.h"

namespace qarn::control {
namespace {

using namespace std::string_literals;

constexpr size_t kRows = 6;
using Value = std::optional<std::string>;  // bytes; nullopt is NULL

enum Engine : size_t { kSqlite, kPostgres, kMariaDb };

// How the test itself writes SQL for one server, and what the script should say.
struct Server {
    Engine engine;
    std::string connection;
    std::string identity;       // definition of the identity column id
    std::string tableOptions;   // after CREATE TABLE's closing parenthesis
    std::string textFromHex;    // {} = hex digits of UTF-8 bytes: that text
    std::string binaryFromHex;  // {} = hex digits: those bytes
    std::string exactText;      // {} = a column: the server's own exact text of its value
    char quote;                 // around names in the test's own SQL
    std::string scriptK;        // the column k as the script names it
    std::string scriptId;
    std::string emptyingHead;   // the head line before the table name
};

struct Column {
    std::string name;
    std::string type;
    std::vector<std::string> literals;  // one per row
};

std::string Fill(std::string pattern, const std::string& value) {
    for (size_t at = pattern.find("{}"); at != std::string::npos; at = pattern.find("{}", at + value.size()))
        pattern.replace(at, 2, value);
    return pattern;
}

std::string Quote(const Server& s, const std::string& name) {
    std::string out(1, s.quote);
    for (char c : name) out += c == s.quote ? std::string(2, c) : std::string(1, c);
    return out + s.quote;
}

std::vector<std::string> Encoded(const std::vector<Value>& values, const std::string& fromHex) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::vector<std::string> literals;
    for (const Value& v : values) {
        std::string hex;
        for (unsigned char b : v.value_or("")) hex += {kDigits[b >> 4], kDigits[b & 15]};
        literals.push_back(v ? Fill(fromHex, hex) : "NULL");
    }
    return literals;
}

const std::string& LongText() {
    static const std::string text = [] {
        std::string t;
        for (int i = 0; t.size() < 100000; ++i) t += std::to_string(i) + ": it's \"long\" \\ \xE2\x9C\x93 \xE6\x97\xA5\r\n";
        return t;
    }();
    return text;
}

const std::vector<Value> kBinaries = {"\0\0\x01\xff"s, ""s, [] {
                                          std::string all;
                                          for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
                                          return all;
                                      }(),
                                      std::nullopt, "\r\n'\"\\\0"s, "\0"s};
const std::vector<Value> kControlTexts = {"\0"s, "a\x1a" "b"s, "\x01\x02\x7f"s, std::nullopt, "a\0b"s, "\x1b[0m"s};

// The columns every server has: types in engine order (SQLite, PostgreSQL, MariaDB).
std::vector<Column> CommonColumns(const Server& s) {
    using Types = std::array<const char*, 3>;
    auto plain = [&s](const char* name, Types types, std::vector<std::string> literals) {
        return Column{name, types[s.engine], std::move(literals)};
    };
    auto text = [&s](const char* name, Types types, const std::vector<Value>& values) {
        return Column{name, types[s.engine], Encoded(values, s.textFromHex)};
    };
    return {
        plain("c_i16", {"SMALLINT", "smallint", "SMALLINT"}, {"0", "-32768", "32767", "NULL", "-1", "12345"}),
        plain("c_i32", {"INTEGER", "integer", "INT"}, {"0", "-2147483648", "2147483647", "NULL", "-1", "123456789"}),
        plain("c_i64", {"BIGINT", "bigint", "BIGINT"},
              {"0", "-9223372036854775808", "9223372036854775807", "NULL", "-1", "1234567890123456789"}),
        plain("c_dec", {"DECIMAL(38,10)", "numeric(38,10)", "DECIMAL(38,10)"},
              {"0", "-9999999999999999999999999999.9999999999", "1234567890123456789012345678.0123456789", "NULL",
               "0.0000000001", "-1.5"}),
        plain("c_real", {"REAL", "real", "FLOAT"}, {"0.1", "-3.4e38", "3.4e38", "NULL", "'-0'", "1.17549435e-38"}),
        plain("c_dbl", {"DOUBLE", "double precision", "DOUBLE"},
              {"0.1", "1e-300", "1.7976931348623157e308", "NULL", "'-0'", "-2.2250738585072014e-308"}),
        plain("c_bool", {"BOOLEAN", "boolean", "BOOLEAN"}, {"TRUE", "FALSE", "TRUE", "NULL", "FALSE", "TRUE"}),
        plain("c_date", {"DATE", "date", "DATE"},
              {"'2024-02-29'", "'1000-01-01'", "'9999-12-31'", "NULL", "'1970-01-01'", "'2000-01-01'"}),
        plain("c_time", {"TIME", "time(6)", "TIME(6)"},
              {"'12:34:56.5'", "'00:00:00'", "'23:59:59.999999'", "NULL", "'00:00:00.000001'", "'13:00:00'"}),
        plain("c_ts", {"TIMESTAMP", "timestamp(6)", "DATETIME(6)"},
              {"'2024-02-29 23:59:59.123456'", "'1000-01-01 00:00:00'", "'9999-12-31 23:59:59.999999'", "NULL",
               "'1970-01-01 00:00:00.000001'", "'2000-01-01 12:00:00.5'"}),
        text("c_char", {"CHAR(20)", "char(20)", "CHAR(20)"},
             {"NULL", "  spaced  ", "it's \"q\"", std::nullopt, "", "Ch\xC3\xA2teau \xE2\x9C\x93"}),
        text("c_varchar", {"VARCHAR(200)", "varchar(200)", "VARCHAR(200)"},
             {"Ch\xC3\xA2teau d'Yquem \xE2\x9C\x93 \xE6\x97\xA5\xE6\x9C\xAC", "back\\slash \\n \\\\ \\' end\\",
              "CR\rLF\nCRLF\r\nend\n", std::nullopt, "", "\ttab\t and trailing  "}),
        text("c_text", {"TEXT", "text", "LONGTEXT"},
             {"plain", "'\"'\"'' \\'", "\r\n\r\n\n\n\r\r", std::nullopt, "", LongText()}),
        Column{"c_bin", Types{"BLOB", "bytea", "VARBINARY(300)"}[s.engine], Encoded(kBinaries, s.binaryFromHex)},
    };
}

// The common columns and the types only this server has.
std::vector<Column> AllColumns(const Server& s) {
    std::vector<Column> columns = CommonColumns(s);
    std::vector<Column> own;
    switch (s.engine) {
    case kSqlite:
        own = {{"c_any", "", {"42", "4.5", "'text'", "X'00ff'", "NULL", "9e999"}},
               {"c_ctl", "TEXT", Encoded(kControlTexts, s.textFromHex)}};
        break;
    case kPostgres:
        own = {{"c_uuid", "uuid",
                {"'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11'", "'00000000-0000-0000-0000-000000000000'",
                 "'ffffffff-ffff-ffff-ffff-ffffffffffff'", "NULL", "'A0EEBC99-9C0B-4EF8-BB6D-6BB9BD380A12'",
                 "'12345678-1234-1234-1234-123456789abc'"}},
               {"c_fspecial", "double precision",
                {"'NaN'", "'Infinity'", "'-Infinity'", "NULL", "'5e-324'", "0.30000000000000004"}},
               {"c_nspecial", "numeric",
                {"'NaN'", "-123.4500", "0.00000000000000000000000000000000000001", "NULL", "1e100", "0"}}};
        break;
    case kMariaDb:
        own = {{"c_i8", "TINYINT", {"0", "-128", "127", "NULL", "-1", "1"}},
               {"c_i24", "MEDIUMINT", {"0", "-8388608", "8388607", "NULL", "-1", "1"}},
               {"c_u64", "BIGINT UNSIGNED", {"0", "9223372036854775808", "18446744073709551615", "NULL", "1", "42"}},
               {"c_blob", "BLOB", Encoded(kBinaries, s.binaryFromHex)},
               {"c_ctl", "VARCHAR(20)", Encoded(kControlTexts, s.textFromHex)}};
        break;
    }
    columns.insert(columns.end(), own.begin(), own.end());
    return columns;
}

// Names each dialect must quote: blanks, a keyword, quote characters.
std::vector<Column> AwkwardNames() {
    std::vector<Column> columns;
    for (const char* name : {"two words", "select", "it's", "we]ird", "we\"ird", "we`ird", "\xC3\x9Cn\xC3\xAF \xE2\x9C\x93"})
        columns.push_back({name, "INTEGER", {"1", "2", "3", "NULL", "-5", "6"}});
    return columns;
}

Server Sqlite() {
    return {kSqlite, "Provider=SQLite;Data Source=" + test::MakeSqliteDatabase("PRAGMA user_version = 1;"),
            "INTEGER PRIMARY KEY", "", "CAST(X'{}' AS TEXT)", "X'{}'", "typeof({}) || ':' || quote({})", '"', "[k]",
            "[id]", "DELETE FROM "};
}

Server Postgres(std::string connection) {
    return {kPostgres, std::move(connection), "bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY", "",
            "convert_from('\\x{}'::bytea, 'UTF8')", "'\\x{}'::bytea", "CAST({} AS text)", '"', "\"k\"", "\"id\"",
            "TRUNCATE TABLE "};
}

Server MariaDb(std::string connection) {
    return {kMariaDb, std::move(connection), "BIGINT AUTO_INCREMENT PRIMARY KEY",
            " ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin", "CONVERT(X'{}' USING utf8mb4)", "X'{}'",
            "HEX(CAST({} AS BINARY))", '`', "`k`", "`id`", "TRUNCATE TABLE "};
}

// Same kind and every bit: -0 is not 0, a NaN equals itself.
bool Identical(const ado::Variant& a, const ado::Variant& b) {
    if (a.Kind() != b.Kind()) return false;
    switch (a.Kind()) {
    case ado::VarKind::Empty:
    case ado::VarKind::Null: return true;
    case ado::VarKind::Boolean: return a.AsBool() == b.AsBool();
    case ado::VarKind::Int: return a.AsInt() == b.AsInt();
    case ado::VarKind::UInt: return a.AsUInt() == b.AsUInt();
    case ado::VarKind::Double: return std::bit_cast<uint64_t>(a.AsDouble()) == std::bit_cast<uint64_t>(b.AsDouble());
    case ado::VarKind::Date: return a.AsDate() == b.AsDate();
    default: return a.AsText() == b.AsText();
    }
}

// The value's kind and its first bytes, each byte outside printable ASCII as \xNN.
std::string Describe(const ado::Variant& v) {
    const std::string text = v.IsNull() ? "NULL" : v.Kind() == ado::VarKind::Binary ? v.AsText() : v.ToText();
    std::string shown;
    for (unsigned char c : text.substr(0, 60)) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
        shown += c >= 0x20 && c < 0x7f && c != '\\' ? std::string(1, static_cast<char>(c)) : std::string(escaped);
    }
    if (text.size() > 60) shown += "... (" + std::to_string(text.size()) + " bytes)";
    return "kind " + std::to_string(static_cast<int>(v.Kind())) + " [" + shown + "]";
}

class RoundTripTest : public ::testing::Test {
protected:
    void SetUp() override { gblnCloseDB(); }
    void TearDown() override {
        DropTables();
        gblnCloseDB();
    }

    void Exec(const std::string& sql) { test::Exec(gcnnDB, sql); }

    void DropTables() {
        if (!gcnnDB || gcnnDB->State() != ado::adStateOpen) return;
        for (const std::string& name : {table, original}) {
            try {
                Exec("DROP TABLE IF EXISTS " + name);
            } catch (...) {
                ADD_FAILURE() << "cannot drop " << name;
            }
        }
    }

    void CreateTable(const Server& s, const std::string& name, const std::vector<Column>& columns) {
        std::string sql = "CREATE TABLE " + name + "(id " + s.identity + ", k INTEGER NOT NULL";
        for (const Column& c : columns) sql += ", " + Quote(s, c.name) + " " + c.type;
        Exec(sql + ")" + s.tableOptions);
    }

    // Rows whose identity values are neither 1, 2, ... nor contiguous.
    void InsertRows(const Server& s, const std::vector<Column>& columns) {
        for (size_t r = 0; r < kRows; ++r) {
            std::string names = "id, k", values = std::to_string(1000 + 7 * r * r) + ", " + std::to_string(r);
            for (const Column& c : columns) {
                ASSERT_EQ(c.literals.size(), kRows) << c.name;
                names += ", " + Quote(s, c.name);
                values += ", " + c.literals[r];
            }
            Exec("INSERT INTO " + table + "(" + names + ") VALUES(" + values + ")");
        }
    }

    std::string Generate(bool includeIdent, bool truncate) {
        const std::string path = test::ScratchPath("roundtrip.sql");
        core.SetIncludeIdent(includeIdent);
        EXPECT_TRUE(core.Generate(path, "SELECT * FROM " + table, truncate)) << core.ReturnMessage();
        return path;
    }

    // The head line when asked for, then one INSERT line per row ended by CR
    // LF with no other line break, the identity column first or absent.
    void ExpectScriptLines(const Server& s, const std::string& path, bool withId, bool truncate) {
        const std::string bytes = test::ReadBytes(path);
        std::vector<std::string> lines;
        for (size_t from = 0, end = 0; from < bytes.size(); from = end + 1) {
            end = bytes.find('\n', from);
            ASSERT_NE(end, std::string::npos) << "the last line has no line end";
            ASSERT_TRUE(end > from && bytes[end - 1] == '\r') << "LF without CR after line " << lines.size() + 1;
            lines.push_back(bytes.substr(from, end - 1 - from));
            EXPECT_EQ(lines.back().find('\r'), std::string::npos) << "CR inside line " << lines.size();
        }
        const size_t head = truncate ? 1 : 0;
        // PostgreSQL's sequence is moved past the identity values written.
        const size_t tail = withId && s.engine == kPostgres ? 1 : 0;
        ASSERT_EQ(lines.size(), kRows + head + tail) << path;
        if (tail) EXPECT_EQ(lines.back().rfind("SELECT setval(pg_get_serial_sequence(", 0), 0u) << lines.back();
        lines.resize(kRows + head);
        if (truncate) {
            EXPECT_EQ(lines[0], s.emptyingHead + table);
        }
        const std::string prefix = "INSERT INTO " + table + "(" + (withId ? s.scriptId + ", " : "") + s.scriptK + ", ";
        for (size_t i = head; i < lines.size(); ++i) EXPECT_EQ(lines[i].substr(0, prefix.size()), prefix);
    }

    void Replay(const std::string& path, int32_t mode) {
        EXPECT_TRUE(core.RunScript(path, mode)) << core.ReturnMessage();
    }

    using Rows = std::vector<std::vector<ado::Variant>>;
    static Rows ReadAll(const std::string& sql) {
        auto cmd = ado::Command::Create();
        cmd->SetActiveConnection(gcnnDB);
        cmd->SetCommandText(sql);
        Rows rows;
        for (auto rs = cmd->Execute(); !rs->Eof(); rs->MoveNext()) {
            rows.emplace_back();
            for (size_t i = 0; i < rs->FieldCount(); ++i) rows.back().push_back(rs->Fields(i).Value());
        }
        return rows;
    }

    // Rows are matched by k, the first column: a row missing from the copy
    // does not keep the others from being compared.
    static void ExpectSameRows(const std::vector<std::string>& names, const std::string& sqlOfOriginal,
                               const std::string& sqlOfCopy, const std::string& how) {
        const Rows a = ReadAll(sqlOfOriginal), b = ReadAll(sqlOfCopy);
        ASSERT_EQ(a.size(), kRows) << how;
        EXPECT_EQ(b.size(), a.size()) << how;
        for (const auto& row : a) {
            const auto same = std::find_if(b.begin(), b.end(), [&](const auto& other) { return Identical(other[0], row[0]); });
            if (same == b.end()) {
                ADD_FAILURE() << how << ": row k=" << row[0].ToText() << " is missing from the copy";
                continue;
            }
            for (size_t c = 1; c < names.size(); ++c) {
                if (Identical(row[c], (*same)[c])) continue;
                ADD_FAILURE() << how << ": row k=" << row[0].ToText() << ", column " << names[c] << ": original "
                              << Describe(row[c]) << ", copy " << Describe((*same)[c]);
            }
        }
    }

    void ExpectCopyMatches(const Server& s, const std::vector<Column>& columns, bool withId, const std::string& how) {
        std::vector<std::string> names = {"k"};
        if (withId) names.push_back("id");
        for (const Column& c : columns) names.push_back(c.name);
        std::string read = "k", exact = "k";
        for (size_t i = 1; i < names.size(); ++i) {
            read += ", " + Quote(s, names[i]);
            exact += ", " + Fill(s.exactText, Quote(s, names[i]));
        }
        auto select = [](const std::string& list, const std::string& from) {
            return "SELECT " + list + " FROM " + from + " ORDER BY k";
        };
        ExpectSameRows(names, select(read, original), select(read, table), how + ", as read");
        ExpectSameRows(names, select(exact, original), select(exact, table), how + ", as the server writes it");
    }

    // Scripts written from the table, replayed into an empty copy after the
    // original was moved away under another name.
    void RoundTrip(const Server& s, const std::vector<Column>& columns) {
        ASSERT_TRUE(core.Connect(s.connection)) << core.ReturnMessage();
        DropTables();
        CreateTable(s, table, columns);
        InsertRows(s, columns);

        const std::string withIds = Generate(true, false);
        const std::string withoutIds = Generate(false, false);
        const std::string emptyingFirst = Generate(true, true);
        ExpectScriptLines(s, withIds, true, false);
        ExpectScriptLines(s, withoutIds, false, false);
        ExpectScriptLines(s, emptyingFirst, true, true);

        Exec("ALTER TABLE " + table + " RENAME TO " + original);
        CreateTable(s, table, columns);
        Replay(withIds, rmLineAtATime);
        ExpectCopyMatches(s, columns, true, "identity values included, line by line");

        Exec("DELETE FROM " + table);
        Replay(withoutIds, rmLineAtATime);
        ExpectCopyMatches(s, columns, false, "identity values left out, line by line");

        // The copy still holds rows: the head line empties it first.
        Replay(emptyingFirst, rmLineAtATime);
        ExpectCopyMatches(s, columns, true, "with its head line");
        for (const auto& shown : ui.shown) ADD_FAILURE() << "shown: " << shown.text;
    }

    test::RecordingUserInterface ui;
    ControlCore core;
    // Named per process: the servers are shared with other test programs.
    const std::string table = "qarn_rt_" + std::to_string(getpid());
    const std::string original = table + "_orig";
};

// Each server through each form of connection string it is reached by.
struct Target {
    const char* name;
    test::ServerFacts (*facts)();  // the server's settings; none for SQLite
    Server (*make)();
};

void PrintTo(const Target& target, std::ostream* os) { *os << target.name; }

// Without a Provider entry the server kind is SQL Server's; the dialect still
// follows the product, so no SET IDENTITY_INSERT line may appear.
const Target kTargets[] = {
    {"Sqlite", nullptr, Sqlite},
    {"Postgres", test::PostgresServer, [] { return Postgres(test::PostgresProviderString()); }},
    {"PostgresOdbcString", test::PostgresServer, [] { return Postgres(test::PostgresOdbcString()); }},
    {"MariaDb", test::MariaDbServer, [] { return MariaDb(test::MariaDbProviderString()); }},
    {"MariaDbOdbcString", test::MariaDbServer, [] { return MariaDb(test::MariaDbOdbcString()); }},
};

class RoundTripOn : public RoundTripTest, public ::testing::WithParamInterface<Target> {
protected:
    void SetUp() override {
        RoundTripTest::SetUp();
        if (GetParam().facts) QARN_REQUIRE_SERVER(GetParam().facts());
    }
};

TEST_P(RoundTripOn, RecreatesEveryRow) {
    const Server s = GetParam().make();
    RoundTrip(s, AllColumns(s));
}

TEST_P(RoundTripOn, ColumnNamesThatNeedQuoting) { RoundTrip(GetParam().make(), AwkwardNames()); }

INSTANTIATE_TEST_SUITE_P(RoundTrip, RoundTripOn, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<Target>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qarn::control
