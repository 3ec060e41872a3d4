#include "logic/ValueRendering.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cfloat>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <locale>
#include <optional>
#include <sstream>

#include <sqlite3.h>

#include "ado/DataTypes.h"

namespace qarn::control {
namespace {

using namespace ado;

constexpr Dialect kAllDialects[] = {Dialect::Jet,   Dialect::SqlServer, Dialect::PostgreSql,
                                    Dialect::MySql, Dialect::Sqlite,    Dialect::Ansi};

// A column and its current value, as a recordset would hand them out.
struct Column {
    ColumnInfo info;
    Variant value;
    Column(int32_t type, Variant v, int64_t size = 0) : value(std::move(v)) {
        info.name = "c";
        info.type = type;
        info.definedSize = size;
    }
    Field AsField() const { return Field(&info, &value); }
};

std::string Render(int32_t type, const Variant& value, Dialect dialect, int64_t size = 0) {
    return FormatFieldValue(Column(type, value, size).AsField(), dialect);
}

// Expected literals in the order of kAllDialects.
using PerDialect = std::array<std::string_view, std::size(kAllDialects)>;

void ExpectEachDialect(int32_t type, const Variant& value, const PerDialect& expected) {
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(Render(type, value, kAllDialects[i]), expected[i]) << "dialect " << static_cast<int>(kAllDialects[i]);
}

Variant Guid(std::string_view text) {
    Variant v;
    v.SetGuid(text);
    return v;
}

Variant Currency(std::string_view digits) {
    Variant v;
    v.SetCurrency(digits);
    return v;
}

DateTime MakeDate(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, uint32_t nanos = 0) {
    DateTime t;
    t.year = y;
    t.month = static_cast<uint8_t>(mo);
    t.day = static_cast<uint8_t>(d);
    t.hour = static_cast<uint8_t>(h);
    t.minute = static_cast<uint8_t>(mi);
    t.second = static_cast<uint8_t>(s);
    t.nanos = nanos;
    return t;
}

// Reads a text literal back the way the dialect's server does, noting how
// long its chains of joins are and whether each opens with a max string.
struct LiteralReader {
    LiteralReader(std::string_view literal, Dialect d) : sql(literal), dialect(d) {}

    std::string_view sql;
    Dialect dialect;
    size_t p = 0;
    std::string text;
    size_t longestChain = 0;
    bool everyChainLed = true;

    // The whole literal, on one line; false when it is not well formed.
    bool ReadAll() { return Chain() && p == sql.size(); }

private:
    bool Take(std::string_view s) {
        if (sql.substr(p, s.size()) != s) return false;
        p += s.size();
        return true;
    }
    std::string_view Joiner() const {
        switch (dialect) {
        case Dialect::Jet: return " & ";
        case Dialect::SqlServer: return " + ";
        case Dialect::Sqlite:
        case Dialect::Ansi: return " || ";
        default: return {};  // one literal only
        }
    }
    bool Chain() {
        const bool led = dialect == Dialect::SqlServer &&
                         (Take("CONVERT(varchar(max), '') + ") || Take("CONVERT(nvarchar(max), N'') + "));
        everyChainLed = everyChainLed && led;
        size_t terms = 0;
        do {
            if (!Term()) return false;
            ++terms;
        } while (!Joiner().empty() && Take(Joiner()));
        longestChain = std::max(longestChain, terms);
        return true;
    }
    bool Term() {
        if (!Joiner().empty() && Take("(")) return Chain() && Take(")");
        for (std::string_view call : {"Chr(", "CHAR(", "NCHAR(", "char(", "CHR("}) {
            if (!Take(call)) continue;
            do {
                int code = 0;
                auto r = std::from_chars(sql.data() + p, sql.data() + sql.size(), code);
                if (r.ec != std::errc()) return false;
                text += static_cast<char>(code);
                p = static_cast<size_t>(r.ptr - sql.data());
            } while (Take(","));
            return Take(")");
        }
        return Quoted();
    }
    bool Quoted() {
        const char quote = dialect == Dialect::Jet ? '"' : '\'';
        bool backslashes = dialect == Dialect::MySql;
        if (dialect == Dialect::SqlServer) Take("N");
        if (dialect == Dialect::PostgreSql && Take("E")) backslashes = true;
        if (!Take(std::string_view(&quote, 1))) return false;
        while (p < sql.size()) {
            const char c = sql[p++];
            if (c == '\r' || c == '\n') return false;
            if (c == '\\' && backslashes && p < sql.size()) {
                const char e = sql[p++];
                text += e == 'r' ? '\r' : e == 'n' ? '\n' : e == '0' ? '\0' : e == 'Z' ? '\x1a' : e;
            } else if (c != quote) {
                text += c;
            } else if (p < sql.size() && sql[p] == quote) {
                text += quote;
                ++p;
            } else {
                return true;
            }
        }
        return false;
    }
};

std::optional<std::string> ReadBack(std::string_view sql, Dialect dialect) {
    LiteralReader reader(sql, dialect);
    if (!reader.ReadAll()) return std::nullopt;
    return reader.text;
}

TEST(ChooseDialect, TheProductNameThenTheKind) {
    struct Case {
        int32_t kind;
        const char* dbms;
        Dialect expected;
    };
    // An SQLite file behind a Jet connection string reads SQLite literals.
    for (const Case& c : {Case{0, "SQLite", Dialect::Sqlite}, Case{0, "MDBTOOLS", Dialect::Jet}, Case{0, "", Dialect::Jet},
                          Case{1, "PostgreSQL", Dialect::PostgreSql}, Case{2, "MySQL", Dialect::MySql},
                          Case{5, "MariaDB", Dialect::MySql}, Case{2, "SQLite", Dialect::Sqlite},
                          Case{2, "Microsoft SQL Server", Dialect::SqlServer}, Case{1, "ACCESS", Dialect::Jet},
                          Case{2, "MS Jet", Dialect::Jet}, Case{5, "Microsoft Access Driver", Dialect::Jet},
                          Case{1, "", Dialect::SqlServer}, Case{1, "Firebird", Dialect::SqlServer},
                          Case{2, "", Dialect::Ansi}, Case{5, "Oracle", Dialect::Ansi}}) {
        EXPECT_EQ(ChooseDialect(c.kind, c.dbms), c.expected) << c.kind << " " << c.dbms;
    }
}

TEST(IsSupportedField, RejectsRowVersionsArraysAndObjects) {
    auto supported = [](int32_t type, int32_t attributes = 0) {
        Column c(type, Variant::MakeNull());
        c.info.attributes = attributes;
        return IsSupportedField(c.AsField());
    };
    EXPECT_TRUE(supported(adInteger));
    EXPECT_TRUE(supported(adVarBinary));
    EXPECT_TRUE(supported(adLongVarWChar, adFldLong | adFldMayBeNull));
    EXPECT_FALSE(supported(adBinary, adFldRowVersion | adFldFixed));
    EXPECT_FALSE(supported(adArray | adInteger));
    EXPECT_FALSE(supported(adIDispatch));
    EXPECT_FALSE(supported(adIUnknown));
    EXPECT_FALSE(supported(adPropVariant));
    EXPECT_TRUE(supported(adLongVarBinary, adFldLong));  // bytea, BLOB and image keep their data
}

TEST(IsAutoIncrementField, ReadsThePropertyAndIsFalseWhenMissing) {
    Column c(adInteger, Variant::FromInt(1));
    c.info.autoIncrement = true;
    EXPECT_TRUE(IsAutoIncrementField(c.AsField()));
    c.info.autoIncrement = false;
    EXPECT_FALSE(IsAutoIncrementField(c.AsField()));
    c.info.autoIncrement.reset();
    EXPECT_FALSE(IsAutoIncrementField(c.AsField()));
}

TEST(FieldName, QuotesPerDialectAndDoublesTheClosingCharacter) {
    Column c(adInteger, Variant::FromInt(1));
    c.info.name = "a]\"`b";
    EXPECT_EQ(FormatFieldName(c.AsField(), Dialect::Jet), "[a]]\"`b]");
    EXPECT_EQ(FormatFieldName(c.AsField(), Dialect::SqlServer), "[a]]\"`b]");
    EXPECT_EQ(FormatFieldName(c.AsField(), Dialect::Sqlite), "\"a]\"\"`b\"");
    EXPECT_EQ(FormatFieldName(c.AsField(), Dialect::PostgreSql), "\"a]\"\"`b\"");
    EXPECT_EQ(FormatFieldName(c.AsField(), Dialect::Ansi), "\"a]\"\"`b\"");
    EXPECT_EQ(FormatFieldName(c.AsField(), Dialect::MySql), "`a]\"``b`");

    std::string line = "INSERT INTO t (";
    AppendFieldName(line, c.AsField(), Dialect::MySql);
    EXPECT_EQ(line, "INSERT INTO t (`a]\"``b`");

    c.info.name = "two \"words\"";
    EXPECT_EQ(FormatFieldName(c.AsField(), Dialect::Sqlite), "[two \"words\"]");
}

// What SQLite itself makes of an expression: its storage class and bytes,
// or -1 and the error.
struct SqliteResult {
    int type = -1;
    std::string bytes;
    double real = 0;
};

SqliteResult EvaluateInSqlite(const std::string& setup, const std::string& query) {
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    sqlite3_stmt* st = nullptr;
    SqliteResult r;
    if (sqlite3_exec(db, setup.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, query.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW) {
        r.type = sqlite3_column_type(st, 0);
        r.real = sqlite3_column_double(st, 0);
        const char* bytes = static_cast<const char*>(sqlite3_column_blob(st, 0));
        r.bytes.assign(bytes ? bytes : "", static_cast<size_t>(sqlite3_column_bytes(st, 0)));
    } else {
        r.bytes = sqlite3_errmsg(db);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return r;
}

TEST(SqliteReadsBack, NamesThatNeedQuoting) {
    for (const char* name : {"two words", "select", "it's", "we]ird", "we\"ird", "we`ird", "\xC3\x9Cn\xC3\xAF \xE2\x9C\x93"}) {
        Column c(adInteger, Variant::FromInt(1));
        c.info.name = name;
        const SqliteResult r = EvaluateInSqlite("CREATE TABLE t(" + FormatFieldName(c.AsField(), Dialect::Sqlite) + " INT)",
                                                "SELECT name FROM pragma_table_info('t')");
        EXPECT_EQ(r.type, SQLITE_TEXT) << r.bytes;
        EXPECT_EQ(r.bytes, name);
    }
}

TEST(SqliteReadsBack, ValuesKeepTheirStorageClassAndBytes) {
    auto check = [](const Variant& value, int type, const std::string& bytes) {
        const std::string literal = Render(adVariant, value, Dialect::Sqlite);
        const SqliteResult r = EvaluateInSqlite("", "SELECT " + literal);
        EXPECT_EQ(r.type, type) << literal.substr(0, 100) << ": " << r.bytes.substr(0, 100);
        EXPECT_EQ(r.bytes, bytes) << literal.substr(0, 100);
        return r;
    };
    std::string manyLines;
    for (int i = 0; i < 5000; ++i) manyLines += "it's line " + std::to_string(i) + "\r\n\n";
    for (const std::string& text : {std::string("a'b\r\nc"), std::string("nul\0in\0", 8), manyLines, std::string()})
        check(Variant::FromText(text), SQLITE_TEXT, text);
    for (const std::string& bytes : {std::string("\0\x01\xff", 3), std::string()})
        check(Variant::FromBinary(bytes), SQLITE_BLOB, bytes);
    check(Variant::FromInt(std::numeric_limits<int64_t>::min()), SQLITE_INTEGER, "-9223372036854775808");
    check(Variant::FromBool(true), SQLITE_INTEGER, "1");
    for (double v : {3.0, -0.0, 0.1, 5e-324, DBL_MAX, -HUGE_VAL}) {
        const SqliteResult r = EvaluateInSqlite("", "SELECT " + Render(adDouble, Variant::FromDouble(v), Dialect::Sqlite));
        EXPECT_EQ(r.type, SQLITE_FLOAT) << v;
        EXPECT_EQ(std::bit_cast<uint64_t>(r.real), std::bit_cast<uint64_t>(v)) << v;
    }
}

TEST(FieldValue, NullIsNullInEveryDialectAndType) {
    for (Dialect d : kAllDialects)
        for (int32_t type : {adInteger, adVarWChar, adBoolean, adDBDate, adVarBinary, adGUID}) {
            EXPECT_EQ(Render(type, Variant::MakeNull(), d), "NULL");
        }
}

TEST(FieldValue, AppendsBehindWhatTheLineHolds) {
    Column c(adVarChar, Variant::FromText("x"));
    std::string line = "VALUES (1, ";
    AppendFieldValue(line, c.AsField(), Dialect::SqlServer);
    EXPECT_EQ(line, "VALUES (1, 'x'");
}

TEST(TextValue, PlainTextIsOneQuotedLiteral) {
    ExpectEachDialect(adVarChar, Variant::FromText("it's \"x\""),
                      {"\"it's \"\"x\"\"\"", "'it''s \"x\"'", "'it''s \"x\"'", "'it''s \"x\"'", "'it''s \"x\"'",
                       "'it''s \"x\"'"});
    ExpectEachDialect(adChar, Variant::FromText(""), {"\"\"", "''", "''", "''", "''", "''"});
}

TEST(TextValue, LineBreaksBecomeCharacterExpressions) {
    ExpectEachDialect(adLongVarChar, Variant::FromText("ab\r\ncd"),
                      {"\"ab\" & Chr(13) & Chr(10) & \"cd\"", "'ab' + CHAR(13) + CHAR(10) + 'cd'", "E'ab\\r\\ncd'",
                       "'ab\\r\\ncd'", "'ab' || char(13,10) || 'cd'", "'ab' || CHR(13) || CHR(10) || 'cd'"});
    EXPECT_EQ(Render(adVarWChar, Variant::FromText("é\nx"), Dialect::SqlServer), "N'é' + NCHAR(10) + N'x'");
    EXPECT_EQ(Render(adVarChar, Variant::FromText("\n"), Dialect::Sqlite), "char(10)");
}

TEST(TextValue, EveryValueStaysOnOneLineAndReadsBack) {
    const std::string texts[] = {
        "\r\n",         "\n\nlead",   "trail\r",          "a\rb\nc\r\n\r\nd", "quote ' and \" and ` here",
        "back\\slash",  "\\r is not a break", std::string("nul\0inside", 10), "ctrl\x1az",   "ünïcödé\n€",
        "'\n'",         "",
    };
    for (Dialect d : kAllDialects) {
        for (const std::string& text : texts) {
            for (int32_t type : {adVarChar, adVarWChar}) {
                const std::string sql = Render(type, Variant::FromText(text), d);
                EXPECT_EQ(sql.find_first_of("\r\n"), std::string::npos) << sql;
                if (d == Dialect::PostgreSql && text.find('\0') != std::string::npos) continue;  // no NUL in its text
                EXPECT_EQ(sql.find('\0'), std::string::npos) << sql;
                EXPECT_EQ(ReadBack(sql, d), text) << "dialect " << static_cast<int>(d) << ": " << sql;
            }
        }
    }
}

TEST(TextValue, ManyLineBreaksStayWithinTheServersExpressionDepth) {
    std::string text;
    for (int i = 0; i < 5000; ++i) text += "line " + std::to_string(i) + "\r\n";
    for (Dialect d : {Dialect::Jet, Dialect::SqlServer, Dialect::Sqlite, Dialect::Ansi}) {
        const std::string sql = Render(adLongVarChar, Variant::FromText(text), d);
        LiteralReader reader(sql, d);
        ASSERT_TRUE(reader.ReadAll()) << sql.substr(0, 200);
        EXPECT_EQ(reader.text, text);
        EXPECT_LE(reader.longestChain, 32u);
        // Every chain of a long text starts from a max string, or the server cuts it.
        EXPECT_EQ(reader.everyChainLed, d == Dialect::SqlServer);
    }
}

TEST(TextValue, SqlServerUsesNationalLiteralsOnlyForNonAsciiUnicodeText) {
    for (int32_t type : {adBSTR, adWChar, adVarWChar, adLongVarWChar}) {
        EXPECT_EQ(Render(type, Variant::FromText("Zoë"), Dialect::SqlServer), "N'Zoë'");
        EXPECT_EQ(Render(type, Variant::FromText("Zoe"), Dialect::SqlServer), "'Zoe'");
    }
    for (int32_t type : {adChar, adVarChar, adLongVarChar, adChapter})
        EXPECT_EQ(Render(type, Variant::FromText("Zoë"), Dialect::SqlServer), "'Zoë'");
    EXPECT_EQ(Render(adVarWChar, Variant::FromText("Zoë"), Dialect::PostgreSql), "'Zoë'");
}

TEST(TextValue, SqlServerLongTextWithBreaksIsNotCutAt8000Bytes) {
    const std::string half(4000, 'a');
    const std::string sql = Render(adLongVarChar, Variant::FromText(half + "\n" + half), Dialect::SqlServer);
    EXPECT_EQ(sql.rfind("CONVERT(varchar(max), '') + '", 0), 0u) << sql.substr(0, 40);
    const std::string wide = Render(adLongVarWChar, Variant::FromText(half + "\né"), Dialect::SqlServer);
    EXPECT_EQ(wide.rfind("CONVERT(nvarchar(max), N'') + N'", 0), 0u) << wide.substr(0, 40);
    // Without breaks the single literal is a long string by itself.
    EXPECT_EQ(Render(adLongVarChar, Variant::FromText(half + half), Dialect::SqlServer), "'" + half + half + "'");
    EXPECT_EQ(Render(adLongVarChar, Variant::FromText("a\nb"), Dialect::SqlServer), "'a' + CHAR(10) + 'b'");
}

TEST(TextValue, BackslashesFollowEachServersRule) {
    ExpectEachDialect(adVarChar, Variant::FromText("C:\\dir's"),
                      {"\"C:\\dir's\"", "'C:\\dir''s'", "E'C:\\\\dir''s'", "'C:\\\\dir''s'", "'C:\\dir''s'",
                       "'C:\\dir''s'"});
    EXPECT_EQ(Render(adVarChar, Variant::FromText(std::string("a\0b\x1a", 4)), Dialect::MySql), "'a\\0b\\Z'");
}

TEST(TextValue, NonTextKindInTextColumnIsWrittenByItsKind) {
    EXPECT_EQ(Render(adVarChar, Variant::FromInt(42), Dialect::SqlServer), "42");
    EXPECT_EQ(Render(adVarChar, Variant::FromDecimal("1.50"), Dialect::SqlServer), "'1.50'");
    // A column of unknown type keeps a text as a text.
    EXPECT_EQ(Render(adVariant, Variant::FromText("a'b"), Dialect::SqlServer), "'a''b'");
    EXPECT_EQ(Render(adVariant, Variant::FromText("ë"), Dialect::SqlServer), "N'ë'");
}

TEST(BooleanValue, EachDialectsLiterals) {
    const PerDialect yes{"True", "1", "TRUE", "1", "1", "TRUE"}, no{"False", "0", "FALSE", "0", "0", "FALSE"};
    ExpectEachDialect(adBoolean, Variant::FromBool(true), yes);
    ExpectEachDialect(adBoolean, Variant::FromBool(false), no);
    ExpectEachDialect(adVariant, Variant::FromBool(true), yes);
    ExpectEachDialect(adInteger, Variant::FromBool(false), no);
    // A Boolean column that holds a number or text is true when the value counts as true.
    EXPECT_EQ(Render(adBoolean, Variant::FromInt(-1), Dialect::SqlServer), "1");
    // PostgreSQL reads its own text back, whatever it says ('t' is true there).
    EXPECT_EQ(Render(adBoolean, Variant::FromText("t"), Dialect::PostgreSql), "'t'");
    EXPECT_EQ(Render(adBoolean, Variant::FromText("no"), Dialect::Jet), "False");
    // SQLite keeps what it stored.
    EXPECT_EQ(Render(adBoolean, Variant::FromInt(-1), Dialect::Sqlite), "-1");
}

TEST(BinaryValue, SqlServerConvertsToTheColumnTypeKeepingLeadingZeros) {
    const Variant bytes = Variant::FromBinary(std::string("\0\0\x01\xff", 4));
    EXPECT_EQ(Render(adVarBinary, bytes, Dialect::SqlServer, 16), "CONVERT(VarBinary(16), 0x000001ff)");
    EXPECT_EQ(Render(adVarBinary, bytes, Dialect::SqlServer, 0), "CONVERT(VarBinary(max), 0x000001ff)");
    EXPECT_EQ(Render(adVarBinary, bytes, Dialect::SqlServer, 8001), "CONVERT(VarBinary(max), 0x000001ff)");
    EXPECT_EQ(Render(adVarBinary, bytes, Dialect::SqlServer, 8000), "CONVERT(VarBinary(8000), 0x000001ff)");
    EXPECT_EQ(Render(adBinary, bytes, Dialect::SqlServer, 8), "CONVERT(binary(8), 0x000001ff)");
    EXPECT_EQ(Render(adBinary, bytes, Dialect::SqlServer, 0), "CONVERT(binary(4), 0x000001ff)");
    EXPECT_EQ(Render(adVarBinary, Variant::FromBinary(""), Dialect::SqlServer, 16), "CONVERT(VarBinary(16), 0x)");
    EXPECT_EQ(Render(adLongVarBinary, bytes, Dialect::SqlServer, 2147483647), "CONVERT(VarBinary(max), 0x000001ff)");
    EXPECT_EQ(Render(adLongVarBinary, bytes, Dialect::PostgreSql, 0), "'\\x000001ff'");
}

TEST(BinaryValue, OtherDialectsHexLiterals) {
    ExpectEachDialect(adVarBinary, Variant::FromBinary(std::string("\0\x0a\xab", 3)),
                      {"0x000aab", "CONVERT(VarBinary(max), 0x000aab)", "'\\x000aab'", "0x000aab", "X'000aab'",
                       "X'000aab'"});
    ExpectEachDialect(adVarBinary, Variant::FromBinary(""),
                      {"0x", "CONVERT(VarBinary(max), 0x)", "'\\x'", "X''", "X''", "X''"});
    // Bytes held in a column of another type are still written as bytes.
    ExpectEachDialect(adVariant, Variant::FromBinary("\x01"), {"0x01", "0x01", "'\\x01'", "0x01", "X'01'", "X'01'"});
}

TEST(GuidValue, QuotedExceptOnJet) {
    const char* text = "{6F9619FF-8B86-D011-B42D-00C04FC964FF}";
    EXPECT_EQ(Render(adGUID, Guid(text), Dialect::SqlServer), std::string("'") + text + "'");
    EXPECT_EQ(Render(adGUID, Variant::FromText(text), Dialect::SqlServer), std::string("'") + text + "'");
    EXPECT_EQ(Render(adGUID, Guid(text), Dialect::PostgreSql), std::string("'") + text + "'");
    EXPECT_EQ(Render(adGUID, Guid(text), Dialect::Jet), text);
    EXPECT_EQ(Render(adGUID, Variant::FromText(text), Dialect::Jet), text);
}

bool ReadsBackExactly(const std::string& text, double expected) {
    double read = 0;
    auto r = std::from_chars(text.data(), text.data() + text.size(), read);
    return r.ec == std::errc() && r.ptr == text.data() + text.size() &&
           std::memcmp(&read, &expected, sizeof read) == 0;
}

TEST(NumberValue, DoublesAreShortestAndReadBackExactly) {
    const double values[] = {0.1, 1e-300, 5e-324, -0.0, DBL_MAX, -123456.789, 1e21, 0.30000000000000004};
    for (double v : values) {
        for (Dialect d : {Dialect::Jet, Dialect::SqlServer, Dialect::PostgreSql, Dialect::MySql, Dialect::Ansi}) {
            std::string sql = Render(adDouble, Variant::FromDouble(v), d);
            // PostgreSQL reads a bare -0 as the integer 0, so it gets the quoted float input.
            if (d == Dialect::PostgreSql && v == 0 && std::signbit(v)) {
                ASSERT_EQ(sql, "'-0'");
                sql = sql.substr(1, sql.size() - 2);
            }
            EXPECT_TRUE(ReadsBackExactly(sql, v)) << sql;
        }
    }
    EXPECT_EQ(Render(adDouble, Variant::FromDouble(0.1), Dialect::SqlServer), "0.1");
    EXPECT_EQ(Render(adDouble, Variant::FromDouble(5e-324), Dialect::SqlServer), "5e-324");
    EXPECT_EQ(Render(adDouble, Variant::FromDouble(DBL_MAX), Dialect::Jet), "1.7976931348623157e+308");
}

TEST(NumberValue, SinglesUseTheFloatFormOnlyWhenExact) {
    EXPECT_EQ(Render(adSingle, Variant::FromDouble(static_cast<double>(0.1f)), Dialect::SqlServer), "0.1");
    EXPECT_EQ(Render(adDouble, Variant::FromDouble(static_cast<double>(0.1f)), Dialect::SqlServer),
              "0.10000000149011612");
    // A value the float form would change keeps its double form.
    EXPECT_EQ(Render(adSingle, Variant::FromDouble(0.1), Dialect::SqlServer), "0.1");
    EXPECT_EQ(Render(adSingle, Variant::FromDouble(1e300), Dialect::SqlServer), "1e+300");
}

TEST(NumberValue, SqliteDoublesStayReal) {
    EXPECT_EQ(Render(adDouble, Variant::FromDouble(3.0), Dialect::Sqlite), "3.0");
    EXPECT_EQ(Render(adInteger, Variant::FromDouble(3.0), Dialect::Sqlite), "3.0");
    EXPECT_EQ(Render(adDouble, Variant::FromDouble(-0.0), Dialect::Sqlite), "-0.0");
    EXPECT_EQ(Render(adDouble, Variant::FromDouble(0.5), Dialect::Sqlite), "0.5");
    EXPECT_EQ(Render(adDouble, Variant::FromDouble(1e-300), Dialect::Sqlite), "1e-300");
    EXPECT_EQ(Render(adSingle, Variant::FromDouble(static_cast<double>(0.1f)), Dialect::Sqlite),
              "0.10000000149011612");
    EXPECT_EQ(Render(adDouble, Variant::FromDouble(HUGE_VAL), Dialect::Sqlite), "9e999");
    EXPECT_EQ(Render(adDouble, Variant::FromDouble(-HUGE_VAL), Dialect::Sqlite), "-9e999");
    // The kind decides: an integer in a REAL column stays an integer.
    EXPECT_EQ(Render(adDouble, Variant::FromInt(3), Dialect::Sqlite), "3");
}

TEST(NumberValue, NonFiniteNumbersAreQuotedWordsOrFailWhereTheDialectHasNone) {
    EXPECT_EQ(Render(adDouble, Variant::FromDouble(std::nan("")), Dialect::PostgreSql), "'NaN'");
    EXPECT_EQ(Render(adDouble, Variant::FromDouble(HUGE_VAL), Dialect::PostgreSql), "'Infinity'");
    EXPECT_EQ(Render(adDouble, Variant::FromDouble(-HUGE_VAL), Dialect::PostgreSql), "'-Infinity'");
    // No column of these databases holds them: writing anything else would change the value.
    for (Dialect d : {Dialect::Jet, Dialect::SqlServer, Dialect::MySql}) {
        EXPECT_THROW(Render(adDouble, Variant::FromDouble(HUGE_VAL), d), AdoError);
        EXPECT_THROW(Render(adDouble, Variant::FromDouble(std::nan("")), d), AdoError);
        EXPECT_THROW(Render(adNumeric, Variant::FromDecimal("NaN"), d), AdoError);
    }
    EXPECT_THROW(Render(adDouble, Variant::FromDouble(std::nan("")), Dialect::Sqlite), AdoError);
}

TEST(NumberValue, ExactNumbersKeepEveryDigitAsHeld) {
    const char* digits[] = {"-12345678901234567890123456789012345678", "0.00000000000000000000000000000000000001",
                            "1234.5000", "99999999999999999999999999999999999999"};
    for (Dialect d : kAllDialects) {
        for (const char* text : digits) {
            EXPECT_EQ(Render(adNumeric, Variant::FromDecimal(text), d), text);
            EXPECT_EQ(Render(adDecimal, Variant::FromDecimal(text), d), text);
        }
        EXPECT_EQ(Render(adCurrency, Currency("-922337203685477.5808"), d), "-922337203685477.5808");
    }
    // What is no number is quoted rather than left to break the statement.
    EXPECT_EQ(Render(adNumeric, Variant::FromDecimal("NaN"), Dialect::PostgreSql), "'NaN'");
    EXPECT_EQ(Render(adNumeric, Variant::FromDecimal(""), Dialect::SqlServer), "''");
}

TEST(NumberValue, IntegersArePlain) {
    Variant big;
    big.SetUInt(std::numeric_limits<uint64_t>::max());
    for (Dialect d : kAllDialects) {
        EXPECT_EQ(Render(adBigInt, Variant::FromInt(std::numeric_limits<int64_t>::min()), d), "-9223372036854775808");
        EXPECT_EQ(Render(adUnsignedBigInt, big, d), "18446744073709551615");
        EXPECT_EQ(Render(adInteger, Variant::FromInt(1234567), d), "1234567");
    }
}

// Sets a locale whose decimal separator is a comma for the test's duration:
// a named one when installed, else a comma numpunct for the C++ streams.
class CommaLocale {
public:
    CommaLocale() : savedC_(std::setlocale(LC_ALL, nullptr)), savedCpp_(std::locale()) {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "nl_NL.UTF-8"}) {
            if (std::setlocale(LC_ALL, name) && *std::localeconv()->decimal_point == ',') {
                named_ = true;
                break;
            }
        }
        if (!named_) std::setlocale(LC_ALL, savedC_.c_str());
        std::locale::global(std::locale(std::locale(), new Comma));
    }
    ~CommaLocale() {
        std::locale::global(savedCpp_);
        std::setlocale(LC_ALL, savedC_.c_str());
    }
    bool named() const { return named_; }

private:
    struct Comma : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
        char do_thousands_sep() const override { return '.'; }
        std::string do_grouping() const override { return "\3"; }
    };
    std::string savedC_;
    std::locale savedCpp_;
    bool named_ = false;
};

TEST(NumberValue, DecimalPointWhateverTheLocale) {
    CommaLocale comma;
    // The locale really is in force: a stream formats with its comma.
    std::ostringstream probe;
    probe << 1234.5;
    EXPECT_EQ(probe.str(), "1.234,5");
    if (comma.named()) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%g", 0.5);
        EXPECT_STREQ(buf, "0,5");
    }
    for (Dialect d : kAllDialects) {
        EXPECT_EQ(Render(adDouble, Variant::FromDouble(1234567.25), d), "1234567.25");
        EXPECT_EQ(Render(adSingle, Variant::FromDouble(0.5), d), "0.5");
        EXPECT_EQ(Render(adInteger, Variant::FromInt(1234567), d), "1234567");
        EXPECT_EQ(Render(adDBTimeStamp, Variant::FromDate(MakeDate(2024, 1, 2, 3, 4, 5, 500000000)), d).find(','),
                  std::string::npos);
    }
    EXPECT_EQ(Render(adDouble, Variant::FromDouble(1234567.0), Dialect::Sqlite), "1234567.0");
}

TEST(DateValue, JetAndSqlServerGetTheFullTextForEveryDateType) {
    const Variant stamp = Variant::FromDate(MakeDate(2024, 3, 5, 14, 7, 9));
    const Variant dateOnly = Variant::FromDate(MakeDate(2024, 3, 5));
    const Variant timeOnly = Variant::FromDate(MakeDate(1899, 12, 30, 10, 11, 12));
    for (int32_t type : {adDate, adFileTime, adDBDate, adDBTime, adDBTimeStamp}) {
        EXPECT_EQ(Render(type, stamp, Dialect::Jet), "#2024-03-05 14:07:09#");
        EXPECT_EQ(Render(type, dateOnly, Dialect::Jet), "#2024-03-05 00:00:00#");
        EXPECT_EQ(Render(type, timeOnly, Dialect::Jet), "#1899-12-30 10:11:12#");
        EXPECT_EQ(Render(type, stamp, Dialect::SqlServer), "'2024-03-05 14:07:09'");
        EXPECT_EQ(Render(type, dateOnly, Dialect::SqlServer), "'2024-03-05 00:00:00'");
        EXPECT_EQ(Render(type, timeOnly, Dialect::SqlServer), "'1899-12-30 10:11:12'");
    }
}

TEST(DateValue, FractionsAreKeptAndAbsentWhenZero) {
    EXPECT_EQ(Render(adDBTimeStamp, Variant::FromDate(MakeDate(2024, 3, 5, 1, 2, 3, 123456700)), Dialect::SqlServer),
              "'2024-03-05 01:02:03.1234567'");
    EXPECT_EQ(Render(adDate, Variant::FromDate(MakeDate(2024, 3, 5, 1, 2, 3, 500000000)), Dialect::Jet),
              "#2024-03-05 01:02:03.5#");
    EXPECT_EQ(Render(adDBTimeStamp, Variant::FromDate(MakeDate(2024, 3, 5, 1, 2, 3, 1)), Dialect::PostgreSql),
              "'2024-03-05 01:02:03.000000001'");
    EXPECT_EQ(Render(adDBTime, Variant::FromDate(MakeDate(1899, 12, 30, 1, 2, 3, 250000000)), Dialect::MySql),
              "'01:02:03.25'");
    EXPECT_EQ(Render(adDBTime, Variant::FromDate(MakeDate(1899, 12, 30, 1, 2, 3)), Dialect::Ansi), "'01:02:03'");
}

TEST(DateValue, ServersWithDateAndTimeColumnsGetTheirOwnPart) {
    const Variant dateOnly = Variant::FromDate(MakeDate(2024, 3, 5));
    const Variant timeOnly = Variant::FromDate(MakeDate(1899, 12, 30, 10, 11, 12));
    const Variant stamp = Variant::FromDate(MakeDate(2024, 3, 5, 14, 7, 9));
    for (Dialect d : {Dialect::PostgreSql, Dialect::MySql, Dialect::Sqlite, Dialect::Ansi}) {
        EXPECT_EQ(Render(adDBDate, dateOnly, d), "'2024-03-05'");
        EXPECT_EQ(Render(adDBTime, timeOnly, d), "'10:11:12'");
        EXPECT_EQ(Render(adDBTimeStamp, stamp, d), "'2024-03-05 14:07:09'");
        EXPECT_EQ(Render(adDate, dateOnly, d), "'2024-03-05 00:00:00'");
        EXPECT_EQ(Render(adDBTimeStamp, timeOnly, d), "'1899-12-30 10:11:12'");
    }
    // A date in a column of another type is a full timestamp.
    EXPECT_EQ(Render(adVariant, stamp, Dialect::SqlServer), "'2024-03-05 14:07:09'");
}

TEST(DateValue, DatesHeldAsTextAreReformattedOrKept) {
    const Variant isoT = Variant::FromText("2024-03-05T14:07:09.5");
    // SQLite gets back the very text it stored.
    EXPECT_EQ(Render(adDBTimeStamp, isoT, Dialect::Sqlite), "'2024-03-05T14:07:09.5'");
    EXPECT_EQ(Render(adDBDate, Variant::FromText("05/03/2024"), Dialect::Sqlite), "'05/03/2024'");
    // The others read it as a date.
    EXPECT_EQ(Render(adDBTimeStamp, isoT, Dialect::SqlServer), "'2024-03-05 14:07:09.5'");
    EXPECT_EQ(Render(adDate, isoT, Dialect::Jet), "#2024-03-05 14:07:09.5#");
    EXPECT_EQ(Render(adDBDate, Variant::FromText("2024-03-05"), Dialect::PostgreSql), "'2024-03-05'");
    EXPECT_EQ(Render(adDBTime, Variant::FromText("10:11:12"), Dialect::Jet), "#1899-12-30 10:11:12#");
    EXPECT_EQ(Render(adDBTime, Variant::FromText("10:11:12"), Dialect::MySql), "'10:11:12'");
    // A text that is no date is kept as it stands, quoted by the dialect's rule.
    const Variant odd = Variant::FromText("end of '24");
    EXPECT_EQ(Render(adDBTimeStamp, odd, Dialect::SqlServer), "'end of ''24'");
    EXPECT_EQ(Render(adDate, odd, Dialect::Jet), "\"end of '24\"");
    EXPECT_EQ(Render(adDBDate, odd, Dialect::Ansi), "'end of ''24'");
    EXPECT_EQ(Render(adDBDate, Variant::FromText("2024-13-01"), Dialect::PostgreSql), "'2024-13-01'");
}


}  // namespace
}  // namespace qarn::control
