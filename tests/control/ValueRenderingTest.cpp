#include "logic/ValueRendering.h"

#include <gtest/gtest.h>

#include <array>
#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <locale>
#include <sstream>
#include <tuple>

#include "ado/DataTypes.h"
#include "dbaccess/EngineTesting.h"

namespace qarn::control {
namespace {

using namespace ado;
using testing_engine::Date;

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

TEST(ChooseDialect, TheProductNameThenTheKind) {
    struct Case {
        int32_t kind;
        const char* dbms;
        Dialect expected;
    };
    // The products the round trips reach are theirs to check; these are the others.
    for (const Case& c : {Case{0, "", Dialect::Jet}, Case{2, "Microsoft SQL Server", Dialect::SqlServer},
                          Case{5, "Microsoft Access Driver", Dialect::Jet}, Case{2, "MySQL", Dialect::MySql},
                          Case{2, "MS Jet", Dialect::Jet}, Case{2, "MDBTOOLS", Dialect::Jet},
                          Case{1, "Firebird", Dialect::SqlServer}, Case{5, "Oracle", Dialect::Ansi}}) {
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

// SQL Server cuts a joined text at 8000 bytes unless its chain starts from a
// max string; a long text is split into groups, and each group is a chain.
TEST(TextValue, ALongSqlServerTextStartsEveryChainFromAMaxString) {
    const std::string half(4000, 'a');
    const std::string sql = Render(adLongVarChar, Variant::FromText(half + "\n" + half), Dialect::SqlServer);
    EXPECT_TRUE(sql.starts_with("CONVERT(varchar(max), '') + '")) << sql.substr(0, 40);
    const std::string wide = Render(adLongVarWChar, Variant::FromText(half + "\n\xC3\xA9"), Dialect::SqlServer);
    EXPECT_TRUE(wide.starts_with("CONVERT(nvarchar(max), N'') + N'")) << wide.substr(0, 40);

    std::string text;
    for (int i = 0; i < 5000; ++i) text += "line " + std::to_string(i) + "\r\n";
    const std::string lines = Render(adLongVarChar, Variant::FromText(text), Dialect::SqlServer);
    size_t groups = 0;
    for (size_t at = lines.find(" ("); at != std::string::npos; at = lines.find(" (", at + 1), ++groups)
        ASSERT_EQ(lines.substr(at + 2, 8), "CONVERT(") << "group " << groups;
    EXPECT_GT(groups, 1u);
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
        // Without breaks a single literal is a long string by itself.
        {adLongVarChar, Variant::FromText(std::string(8000, 'a')), Dialect::SqlServer,
         "'" + std::string(8000, 'a') + "'"},
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

TEST(NumberValue, NumberLiterals) {
    const double single = static_cast<double>(0.1f);
    ExpectLiterals({
        // A single gets the float form only when that is exact.
        {adSingle, Variant::FromDouble(single), Dialect::SqlServer, "0.1"},
        {adDouble, Variant::FromDouble(single), Dialect::SqlServer, "0.10000000149011612"},
        {adSingle, Variant::FromDouble(1e300), Dialect::SqlServer, "1e+300"},
        // The largest float's short form, 3.4028235e+38, reads as a double past it.
        {adSingle, Variant::FromDouble(-FLT_MAX), Dialect::MySql, "-3.4028234663852886e+38"},
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
        EXPECT_EQ(Render(adDBTimeStamp, Variant::FromDate(Date(2024, 1, 2, 3, 4, 5, 500000000)), d).find(','),
                  std::string::npos);
    }
    EXPECT_EQ(Render(adDouble, Variant::FromDouble(1234567.0), Dialect::Sqlite), "1234567.0");
}

TEST(DateValue, EachServerGetsTheFormItReads) {
    const Variant stamp = Variant::FromDate(Date(2024, 3, 5, 14, 7, 9));
    const Variant dateOnly = Variant::FromDate(Date(2024, 3, 5));
    const Variant timeOnly = Variant::FromDate(Date(1899, 12, 30, 10, 11, 12));
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
    }
    const Variant isoT = Variant::FromText("2024-03-05T14:07:09.5");
    const Variant odd = Variant::FromText("end of '24");
    ExpectLiterals({
        // A date in a column of another type is a full timestamp.
        {adVariant, stamp, Dialect::SqlServer, "'2024-03-05 14:07:09'"},
        // Fractions are kept, and absent when zero.
        {adDBTimeStamp, Variant::FromDate(Date(2024, 3, 5, 1, 2, 3, 123456700)), Dialect::SqlServer,
         "'2024-03-05 01:02:03.1234567'"},
        {adDate, Variant::FromDate(Date(2024, 3, 5, 1, 2, 3, 500000000)), Dialect::Jet, "#2024-03-05 01:02:03.5#"},
        {adDBTimeStamp, Variant::FromDate(Date(2024, 3, 5, 1, 2, 3, 1)), Dialect::PostgreSql,
         "'2024-03-05 01:02:03.000000001'"},
        // A date held as text: SQLite gets back the very text it stored, the others read it as a date...
        {adDBTimeStamp, isoT, Dialect::Sqlite, "'2024-03-05T14:07:09.5'"},
        {adDBTimeStamp, isoT, Dialect::SqlServer, "'2024-03-05 14:07:09.5'"},
        {adDate, isoT, Dialect::Jet, "#2024-03-05 14:07:09.5#"},
        {adDBTime, Variant::FromText("10:11:12"), Dialect::Jet, "#1899-12-30 10:11:12#"},
        // ...unless it is no date: then it is kept as it stands, quoted by the dialect's rule.
        {adDBTimeStamp, odd, Dialect::SqlServer, "'end of ''24'"},
        {adDate, odd, Dialect::Jet, "\"end of '24\""},
    });
}

}  // namespace
}  // namespace qarn::control
