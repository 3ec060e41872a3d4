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
#include <tuple>

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
    for (const Case& c :
         {Case{0, "SQLite", Dialect::Sqlite}, Case{0, "", Dialect::Jet}, Case{1, "PostgreSQL", Dialect::PostgreSql},
          Case{5, "MariaDB", Dialect::MySql}, Case{2, "Microsoft SQL Server", Dialect::SqlServer},
          Case{5, "Microsoft Access Driver", Dialect::Jet}, Case{2, "MySQL", Dialect::MySql},
          Case{2, "MS Jet", Dialect::Jet}, Case{2, "MDBTOOLS", Dialect::Jet}, Case{1, "Firebird", Dialect::SqlServer},
          Case{5, "Oracle", Dialect::Ansi}}) {
        EXPECT_EQ(ChooseDialect(c.kind, c.dbms), c.expected) << c.kind << " " << c.dbms;
    }
}

TEST(IsSupportedField, RejectsRowVersionsArraysAndObjects) {
    // bytea, BLOB and image keep their data; a row version, an array or an object has none to write.
    const std::tuple<int32_t, int32_t, bool> cases[] = {{adLongVarBinary, adFldLong, true},
                                                        {adBinary, adFldRowVersion | adFldFixed, false},
                                                        {adArray | adInteger, 0, false},
                                                        {adIDispatch, 0, false},
                                                        {adIUnknown, 0, false},
                                                        {adPropVariant, 0, false}};
    for (const auto& [type, attributes, supported] : cases) {
        Column c(type, Variant::MakeNull());
        c.info.attributes = attributes;
        EXPECT_EQ(IsSupportedField(c.AsField()), supported) << type;
    }
}

TEST(FieldName, QuotesPerDialectAndDoublesTheClosingCharacter) {
    Column c(adInteger, Variant::FromInt(1));
    c.info.name = "a]\"`b";
    const PerDialect quoted{"[a]]\"`b]", "[a]]\"`b]", "\"a]\"\"`b\"", "`a]\"``b`", "\"a]\"\"`b\"", "\"a]\"\"`b\""};
    for (size_t i = 0; i < quoted.size(); ++i) EXPECT_EQ(FormatFieldName(c.AsField(), kAllDialects[i]), quoted[i]);
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
    for (const char* name :
         {"two words", "select", "it's", "we]ird", "we\"ird", "we`ird", "\xC3\x9Cn\xC3\xAF \xE2\x9C\x93"}) {
        Column c(adInteger, Variant::FromInt(1));
        c.info.name = name;
        const SqliteResult r =
            EvaluateInSqlite("CREATE TABLE t(" + FormatFieldName(c.AsField(), Dialect::Sqlite) + " INT)",
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
    };
    std::string manyLines;
    for (int i = 0; i < 5000; ++i) manyLines += "it's line " + std::to_string(i) + "\r\n\n";
    for (const std::string& text : {std::string("a'b\r\nc"), std::string("nul\0in\0", 7), manyLines, std::string()})
        check(Variant::FromText(text), SQLITE_TEXT, text);
    for (const std::string& bytes : {std::string("\0\x01\xff", 3), std::string()})
        check(Variant::FromBinary(bytes), SQLITE_BLOB, bytes);
    check(Variant::FromInt(std::numeric_limits<int64_t>::min()), SQLITE_INTEGER, "-9223372036854775808");
    check(Variant::FromBool(true), SQLITE_INTEGER, "1");
    // Doubles stay REAL, every bit of them, whole numbers and infinities too.
    for (double v : {3.0, -0.0, 0.1, 5e-324, 1e-300, DBL_MAX, HUGE_VAL, -HUGE_VAL}) {
        const SqliteResult r =
            EvaluateInSqlite("", "SELECT " + Render(adDouble, Variant::FromDouble(v), Dialect::Sqlite));
        EXPECT_EQ(r.type, SQLITE_FLOAT) << v;
        EXPECT_EQ(std::bit_cast<uint64_t>(r.real), std::bit_cast<uint64_t>(v)) << v;
    }
}

TEST(TextValue, EveryValueStaysOnOneLineAndReadsBack) {
    const std::string texts[] = {
        "\r\n",
        "\n\nlead",
        "trail\r",
        "a\rb\nc\r\n\r\nd",
        "quote ' and \" and ` here",
        "back\\slash",
        "\\r is not a break",
        std::string("nul\0inside", 10),
        "ctrl\x1az",
        "ünïcödé\n€",
        "'\n'",
        "",
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
    // SQL Server cuts at 8000 bytes a joined text that does not start from a max string.
    const std::string half(4000, 'a');
    const std::string sql = Render(adLongVarChar, Variant::FromText(half + "\n" + half), Dialect::SqlServer);
    EXPECT_TRUE(sql.starts_with("CONVERT(varchar(max), '') + '")) << sql.substr(0, 40);
    const std::string wide = Render(adLongVarWChar, Variant::FromText(half + "\né"), Dialect::SqlServer);
    EXPECT_TRUE(wide.starts_with("CONVERT(nvarchar(max), N'') + N'")) << wide.substr(0, 40);
}

TEST(TextValue, SqlServerUsesNationalLiteralsOnlyForNonAsciiUnicodeText) {
    for (int32_t type : {adBSTR, adWChar, adVarWChar, adLongVarWChar}) {
        EXPECT_EQ(Render(type, Variant::FromText("Zoë"), Dialect::SqlServer), "N'Zoë'");
        EXPECT_EQ(Render(type, Variant::FromText("Zoe"), Dialect::SqlServer), "'Zoe'");
    }
    for (int32_t type : {adChar, adVarChar, adLongVarChar, adChapter})
        EXPECT_EQ(Render(type, Variant::FromText("Zoë"), Dialect::SqlServer), "'Zoë'");
}

// The same value in every dialect, in the order of kAllDialects.
TEST(FieldValue, EachDialectsLiterals) {
    const PerDialect yes{"True", "1", "TRUE", "1", "1", "TRUE"}, no{"False", "0", "FALSE", "0", "0", "FALSE"};
    const std::tuple<int32_t, Variant, PerDialect> cases[] = {
        {adVarChar,
         Variant::FromText("it's \"x\""),
         {"\"it's \"\"x\"\"\"", "'it''s \"x\"'", "'it''s \"x\"'", "'it''s \"x\"'", "'it''s \"x\"'", "'it''s \"x\"'"}},
        {adLongVarChar,
         Variant::FromText("ab\r\ncd"),
         {"\"ab\" & Chr(13) & Chr(10) & \"cd\"", "'ab' + CHAR(13) + CHAR(10) + 'cd'", "E'ab\\r\\ncd'", "'ab\\r\\ncd'",
          "'ab' || char(13,10) || 'cd'", "'ab' || CHR(13) || CHR(10) || 'cd'"}},
        {adVarChar,
         Variant::FromText("C:\\dir's"),
         {"\"C:\\dir's\"", "'C:\\dir''s'", "E'C:\\\\dir''s'", "'C:\\\\dir''s'", "'C:\\dir''s'", "'C:\\dir''s'"}},
        {adBoolean, Variant::FromBool(true), yes},
        {adBoolean, Variant::FromBool(false), no},
        {adInteger, Variant::FromBool(false), no},
        {adVarBinary,
         Variant::FromBinary(std::string("\0\x0a\xab", 3)),
         {"0x000aab", "CONVERT(VarBinary(max), 0x000aab)", "'\\x000aab'", "0x000aab", "X'000aab'", "X'000aab'"}},
        {adVarBinary, Variant::FromBinary(""), {"0x", "CONVERT(VarBinary(max), 0x)", "'\\x'", "X''", "X''", "X''"}},
        // Bytes held in a column of another type are still written as bytes.
        {adVariant, Variant::FromBinary("\x01"), {"0x01", "0x01", "'\\x01'", "0x01", "X'01'", "X'01'"}},
    };
    for (const auto& [type, value, expected] : cases) {
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(Render(type, value, kAllDialects[i]), expected[i]) << "dialect " << i << ", type " << type;
    }
    for (Dialect d : kAllDialects)
        for (int32_t type : {adInteger, adVarWChar, adDBDate, adVarBinary})
            EXPECT_EQ(Render(type, Variant::MakeNull(), d), "NULL");
}

// One value in one dialect, where the type or the dialect makes it special.
struct Literal {
    int32_t type;
    Variant value;
    Dialect dialect;
    std::string expected;
    int64_t size = 0;
};

void ExpectLiterals(const std::vector<Literal>& cases) {
    for (const Literal& c : cases)
        EXPECT_EQ(Render(c.type, c.value, c.dialect, c.size), c.expected)
            << "type " << c.type << ", dialect " << static_cast<int>(c.dialect) << ", size " << c.size;
}

TEST(FieldValue, TextBooleanBinaryAndGuidLiterals) {
    const Variant bytes = Variant::FromBinary(std::string("\0\0\x01\xff", 4));
    const char* guid = "{6F9619FF-8B86-D011-B42D-00C04FC964FF}";
    ExpectLiterals({
        {adVarWChar, Variant::FromText("é\nx"), Dialect::SqlServer, "N'é' + NCHAR(10) + N'x'"},
        {adLongVarChar, Variant::FromText("a\nb"), Dialect::SqlServer, "'a' + CHAR(10) + 'b'"},
        {adVarChar, Variant::FromText("\n"), Dialect::Sqlite, "char(10)"},
        // Without breaks a single literal is a long string by itself.
        {adLongVarChar, Variant::FromText(std::string(8000, 'a')), Dialect::SqlServer,
         "'" + std::string(8000, 'a') + "'"},
        {adVarWChar, Variant::FromText("Zoë"), Dialect::PostgreSql, "'Zoë'"},
        {adVarChar, Variant::FromText(std::string("a\0b\x1a", 4)), Dialect::MySql, "'a\\0b\\Z'"},
        // A value of another kind in a text column is written by its kind; an unknown type keeps a text a text.
        {adVarChar, Variant::FromInt(42), Dialect::SqlServer, "42"},
        {adVarChar, Variant::FromDecimal("1.50"), Dialect::SqlServer, "'1.50'"},
        {adVariant, Variant::FromText("ë"), Dialect::SqlServer, "N'ë'"},
        // A Boolean column holding a number or text: true when it counts as true; PostgreSQL
        // reads its own text back ('t' is true there), SQLite keeps what it stored.
        {adBoolean, Variant::FromInt(-1), Dialect::SqlServer, "1"},
        {adBoolean, Variant::FromText("t"), Dialect::PostgreSql, "'t'"},
        {adBoolean, Variant::FromText("no"), Dialect::Jet, "False"},
        {adBoolean, Variant::FromInt(-1), Dialect::Sqlite, "-1"},
        // SQL Server converts bytes to the column's type, keeping leading zeros.
        {adVarBinary, bytes, Dialect::SqlServer, "CONVERT(VarBinary(16), 0x000001ff)", 16},
        {adVarBinary, bytes, Dialect::SqlServer, "CONVERT(VarBinary(max), 0x000001ff)", 8001},
        {adVarBinary, bytes, Dialect::SqlServer, "CONVERT(VarBinary(8000), 0x000001ff)", 8000},
        {adBinary, bytes, Dialect::SqlServer, "CONVERT(binary(8), 0x000001ff)", 8},
        {adBinary, bytes, Dialect::SqlServer, "CONVERT(binary(4), 0x000001ff)", 0},
        {adLongVarBinary, bytes, Dialect::SqlServer, "CONVERT(VarBinary(max), 0x000001ff)", 2147483647},
        // A GUID is quoted except on Jet.
        {adGUID, Guid(guid), Dialect::SqlServer, "'" + std::string(guid) + "'"},
        {adGUID, Variant::FromText(guid), Dialect::SqlServer, "'" + std::string(guid) + "'"},
        {adGUID, Guid(guid), Dialect::Jet, guid},
        {adGUID, Variant::FromText(guid), Dialect::Jet, guid},
    });
}

bool ReadsBackExactly(const std::string& text, double expected) {
    double read = 0;
    auto r = std::from_chars(text.data(), text.data() + text.size(), read);
    return r.ec == std::errc() && r.ptr == text.data() + text.size() && std::memcmp(&read, &expected, sizeof read) == 0;
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
}

TEST(NumberValue, NumberLiterals) {
    const double single = static_cast<double>(0.1f);
    ExpectLiterals({
        // A single gets the float form only when that is exact.
        {adSingle, Variant::FromDouble(single), Dialect::SqlServer, "0.1"},
        {adDouble, Variant::FromDouble(single), Dialect::SqlServer, "0.10000000149011612"},
        {adSingle, Variant::FromDouble(1e300), Dialect::SqlServer, "1e+300"},
        {adSingle, Variant::FromDouble(single), Dialect::Sqlite, "0.10000000149011612"},
        // SQLite: the kind decides, not the column.
        {adInteger, Variant::FromDouble(3.0), Dialect::Sqlite, "3.0"},
        {adDouble, Variant::FromInt(3), Dialect::Sqlite, "3"},
        {adDouble, Variant::FromDouble(std::nan("")), Dialect::PostgreSql, "'NaN'"},
        {adDouble, Variant::FromDouble(HUGE_VAL), Dialect::PostgreSql, "'Infinity'"},
        // What is no number is quoted rather than left to break the statement.
        {adNumeric, Variant::FromDecimal("NaN"), Dialect::PostgreSql, "'NaN'"},
        {adNumeric, Variant::FromDecimal(""), Dialect::SqlServer, "''"},
    });
    // No column of these databases holds them: writing anything else would change the value.
    for (Dialect d : {Dialect::Jet, Dialect::SqlServer, Dialect::MySql}) {
        EXPECT_THROW(Render(adDouble, Variant::FromDouble(HUGE_VAL), d), AdoError);
        EXPECT_THROW(Render(adDouble, Variant::FromDouble(std::nan("")), d), AdoError);
        EXPECT_THROW(Render(adNumeric, Variant::FromDecimal("NaN"), d), AdoError);
    }
    EXPECT_THROW(Render(adDouble, Variant::FromDouble(std::nan("")), Dialect::Sqlite), AdoError);
}

TEST(NumberValue, ExactNumbersAndIntegersKeepEveryDigitAsHeld) {
    const char* digits[] = {"-12345678901234567890123456789012345678", "0.00000000000000000000000000000000000001",
                            "1234.5000", "99999999999999999999999999999999999999"};
    Variant big;
    big.SetUInt(std::numeric_limits<uint64_t>::max());
    for (Dialect d : kAllDialects) {
        for (const char* text : digits) {
            EXPECT_EQ(Render(adNumeric, Variant::FromDecimal(text), d), text);
            EXPECT_EQ(Render(adDecimal, Variant::FromDecimal(text), d), text);
        }
        EXPECT_EQ(Render(adCurrency, Currency("-922337203685477.5808"), d), "-922337203685477.5808");
        EXPECT_EQ(Render(adBigInt, Variant::FromInt(std::numeric_limits<int64_t>::min()), d), "-9223372036854775808");
        EXPECT_EQ(Render(adUnsignedBigInt, big, d), "18446744073709551615");
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

TEST(DateValue, EachServerGetsTheFormItReads) {
    const Variant stamp = Variant::FromDate(MakeDate(2024, 3, 5, 14, 7, 9));
    const Variant dateOnly = Variant::FromDate(MakeDate(2024, 3, 5));
    const Variant timeOnly = Variant::FromDate(MakeDate(1899, 12, 30, 10, 11, 12));
    // Jet and SQL Server get the full text for every date type.
    for (int32_t type : {adDate, adFileTime, adDBDate, adDBTime, adDBTimeStamp}) {
        EXPECT_EQ(Render(type, stamp, Dialect::Jet), "#2024-03-05 14:07:09#");
        EXPECT_EQ(Render(type, dateOnly, Dialect::Jet), "#2024-03-05 00:00:00#");
        EXPECT_EQ(Render(type, timeOnly, Dialect::Jet), "#1899-12-30 10:11:12#");
        EXPECT_EQ(Render(type, stamp, Dialect::SqlServer), "'2024-03-05 14:07:09'");
        EXPECT_EQ(Render(type, timeOnly, Dialect::SqlServer), "'1899-12-30 10:11:12'");
    }
    // Servers with date and time columns get their own part.
    for (Dialect d : {Dialect::PostgreSql, Dialect::MySql, Dialect::Sqlite, Dialect::Ansi}) {
        EXPECT_EQ(Render(adDBDate, dateOnly, d), "'2024-03-05'");
        EXPECT_EQ(Render(adDBTime, timeOnly, d), "'10:11:12'");
        EXPECT_EQ(Render(adDate, dateOnly, d), "'2024-03-05 00:00:00'");
        EXPECT_EQ(Render(adDBTimeStamp, timeOnly, d), "'1899-12-30 10:11:12'");
    }
    const Variant isoT = Variant::FromText("2024-03-05T14:07:09.5");
    const Variant odd = Variant::FromText("end of '24");
    ExpectLiterals({
        // A date in a column of another type is a full timestamp.
        {adVariant, stamp, Dialect::SqlServer, "'2024-03-05 14:07:09'"},
        // Fractions are kept, and absent when zero.
        {adDBTimeStamp, Variant::FromDate(MakeDate(2024, 3, 5, 1, 2, 3, 123456700)), Dialect::SqlServer,
         "'2024-03-05 01:02:03.1234567'"},
        {adDate, Variant::FromDate(MakeDate(2024, 3, 5, 1, 2, 3, 500000000)), Dialect::Jet, "#2024-03-05 01:02:03.5#"},
        {adDBTimeStamp, Variant::FromDate(MakeDate(2024, 3, 5, 1, 2, 3, 1)), Dialect::PostgreSql,
         "'2024-03-05 01:02:03.000000001'"},
        {adDBTime, Variant::FromDate(MakeDate(1899, 12, 30, 1, 2, 3, 250000000)), Dialect::MySql, "'01:02:03.25'"},
        // A date held as text: SQLite gets back the very text it stored, the others read it as a date...
        {adDBTimeStamp, isoT, Dialect::Sqlite, "'2024-03-05T14:07:09.5'"},
        {adDBDate, Variant::FromText("05/03/2024"), Dialect::Sqlite, "'05/03/2024'"},
        {adDBTimeStamp, isoT, Dialect::SqlServer, "'2024-03-05 14:07:09.5'"},
        {adDate, isoT, Dialect::Jet, "#2024-03-05 14:07:09.5#"},
        {adDBTime, Variant::FromText("10:11:12"), Dialect::Jet, "#1899-12-30 10:11:12#"},
        // ...unless it is no date: then it is kept as it stands, quoted by the dialect's rule.
        {adDBTimeStamp, odd, Dialect::SqlServer, "'end of ''24'"},
        {adDate, odd, Dialect::Jet, "\"end of '24\""},
        {adDBDate, Variant::FromText("2024-13-01"), Dialect::PostgreSql, "'2024-13-01'"},
    });
}

}  // namespace
}  // namespace qarn::control
