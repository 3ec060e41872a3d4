#include "logic/ValueRendering.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <exception>
#include <vector>

#include "ado/ConnectionString.h"
#include "ado/DataTypes.h"

namespace qarn::control {

using namespace ado;
using namespace std::string_view_literals;

namespace {

constexpr size_t kNotFound = std::string_view::npos;

// A set of bytes with a constant-time test: the text writers look at every
// character of every value.
class ByteSet {
public:
    constexpr explicit ByteSet(std::string_view members) {
        for (char c : members) in_[static_cast<unsigned char>(c)] = true;
    }
    constexpr bool Has(char c) const { return in_[static_cast<unsigned char>(c)]; }
    size_t FindIn(std::string_view text, size_t from) const {
        for (size_t i = from; i < text.size(); ++i)
            if (Has(text[i])) return i;
        return kNotFound;
    }
    size_t SpanEnd(std::string_view text, size_t from) const {
        while (from < text.size() && Has(text[from])) ++from;
        return from;
    }

private:
    std::array<bool, 256> in_{};
};

// Characters written as character-function calls: line breaks would split
// the one-line-per-row script, and a NUL ends the statement for drivers that
// read its text up to the first NUL.
constexpr ByteSet kLineBreakers("\r\n\0"sv);
// Under standard_conforming_strings a plain literal takes a backslash as it
// stands, so any text that needs one goes into an E'' literal.
constexpr ByteSet kPostgresNeedsEscape("\r\n\\"sv);
constexpr ByteSet kPostgresEscaped("\r\n\\'"sv);
constexpr ByteSet kMySqlEscaped("\\'\r\n\0\x1a"sv);

// Appends `text`, writing each character that `find` reports through `escape`.
template <class Find, class Escape>
void AppendEscaped(std::string& out, std::string_view text, Find find, Escape escape) {
    size_t from = 0;
    for (size_t hit = find(text, from); hit != kNotFound; hit = find(text, from)) {
        out.append(text.data() + from, hit - from);
        escape(out, text[hit]);
        from = hit + 1;
    }
    out.append(text.data() + from, text.size() - from);
}

void AppendQuoted(std::string& out, std::string_view text, char open, char close) {
    out += open;
    AppendEscaped(
        out, text, [close](std::string_view t, size_t from) { return t.find(close, from); },
        [](std::string& o, char c) {
            o += c;
            o += c;
        });
    out += close;
}

// The escapes that PostgreSQL's E'' and MySQL's literals share; each caller
// hands over only the characters its server reads back this way.
void AppendBackslashEscaped(std::string& out, std::string_view text, const ByteSet& escaped) {
    out += '\'';
    AppendEscaped(
        out, text, [&escaped](std::string_view t, size_t from) { return escaped.FindIn(t, from); },
        [](std::string& o, char c) {
            switch (c) {
                case '\r': o += "\\r"; break;
                case '\n': o += "\\n"; break;
                case '\\': o += "\\\\"; break;
                case '\'': o += "''"; break;
                case '\0': o += "\\0"; break;
                default: o += "\\Z"; break;  // Ctrl-Z, which Windows clients take for end of file
            }
        });
    out += '\'';
}

// How a dialect joins quoted parts and character-function calls.
struct ConcatStyle {
    std::string_view prefix;  // before each quoted part
    char quote;
    std::string_view joiner;
    std::string_view charCall;   // opens a call that turns a code into a character
    bool codesPerCall;           // one call takes a whole run of codes
    std::string_view lead = {};  // opens every chain, joiner included
};

constexpr ConcatStyle kJetText{"", '"', " & ", "Chr(", false};
constexpr ConcatStyle kSqlServerText{"", '\'', " + ", "CHAR(", false};
constexpr ConcatStyle kSqlServerNational{"N", '\'', " + ", "NCHAR(", false};
constexpr ConcatStyle kSqliteText{"", '\'', " || ", "char(", true};
constexpr ConcatStyle kAnsiText{"", '\'', " || ", "CHR(", false};

// Where the term of a concatenation that starts at `pos` ends: a run of
// plain characters, or the line breakers that one character call takes.
size_t TermEnd(std::string_view text, size_t pos, const ConcatStyle& style) {
    if (!kLineBreakers.Has(text[pos])) {
        const size_t end = kLineBreakers.FindIn(text, pos);
        return end == kNotFound ? text.size() : end;
    }
    return style.codesPerCall ? kLineBreakers.SpanEnd(text, pos) : pos + 1;
}

void AppendTerm(std::string& out, std::string_view text, size_t begin, size_t end, const ConcatStyle& style) {
    if (!kLineBreakers.Has(text[begin])) {
        out += style.prefix;
        AppendQuoted(out, text.substr(begin, end - begin), style.quote, style.quote);
        return;
    }
    out += style.charCall;
    for (size_t i = begin; i < end; ++i) {
        if (i > begin) out += ',';
        AppendInt(out, static_cast<unsigned char>(text[i]));
    }
    out += ')';
}

// Servers parse a chain of joins as a tree as deep as the chain is long and
// refuse deep trees (SQLite at 1000), so a long chain is split into
// parenthesised groups of at most this many terms.
constexpr size_t kTermsPerGroup = 32;

// Terms first..last-1, their starts in `starts`.
void AppendTerms(std::string& out, std::string_view text, const std::vector<size_t>& starts, size_t first, size_t last,
                 const ConcatStyle& style) {
    const size_t count = last - first;
    const size_t step = count <= kTermsPerGroup ? 1 : (count + kTermsPerGroup - 1) / kTermsPerGroup;
    out += style.lead;
    for (size_t group = first; group < last; group += step) {
        if (group > first) out += style.joiner;
        const size_t end = std::min(group + step, last);
        if (end - group == 1) {
            AppendTerm(out, text, starts[group], starts[end], style);
        } else {
            out += '(';
            AppendTerms(out, text, starts, group, end, style);
            out += ')';
        }
    }
}

void AppendConcatenated(std::string& out, std::string_view text, const ConcatStyle& style) {
    if (kLineBreakers.FindIn(text, 0) == kNotFound) {
        out += style.prefix;
        AppendQuoted(out, text, style.quote, style.quote);
        return;
    }
    // Reused so that a value with line breaks costs no allocation.
    thread_local std::vector<size_t> starts;
    starts.clear();
    for (size_t pos = 0; pos < text.size(); pos = TermEnd(text, pos, style)) starts.push_back(pos);
    starts.push_back(text.size());
    AppendTerms(out, text, starts, 0, starts.size() - 1, style);
}

bool HasNonAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

// Above this many bytes a text may exceed the 8000 bytes of a short string.
constexpr size_t kSqlServerShortText = 4000;
constexpr int64_t kSqlServerLongestBinary = 8000;

void AppendSqlServerText(std::string& out, std::string_view text, bool unicodeColumn) {
    // Without N the server converts the text to its code page and loses
    // whatever the code page lacks.
    const bool national = unicodeColumn && HasNonAscii(text);
    ConcatStyle style = national ? kSqlServerNational : kSqlServerText;
    // Joining short strings gives a short string, cut at 8000 bytes; an empty
    // max string in front of every chain keeps a long text whole.
    if (text.size() > kSqlServerShortText)
        style.lead = national ? "CONVERT(nvarchar(max), N'') + " : "CONVERT(varchar(max), '') + ";
    AppendConcatenated(out, text, style);
}

void AppendTextLiteral(std::string& out, std::string_view text, Dialect dialect, bool unicodeColumn) {
    switch (dialect) {
        case Dialect::Jet: AppendConcatenated(out, text, kJetText); break;
        case Dialect::SqlServer: AppendSqlServerText(out, text, unicodeColumn); break;
        case Dialect::PostgreSql:
            if (kPostgresNeedsEscape.FindIn(text, 0) == kNotFound) {
                AppendQuoted(out, text, '\'', '\'');
            } else {
                out += 'E';
                AppendBackslashEscaped(out, text, kPostgresEscaped);
            }
            break;
        case Dialect::MySql: AppendBackslashEscaped(out, text, kMySqlEscaped); break;
        case Dialect::Sqlite: AppendConcatenated(out, text, kSqliteText); break;
        case Dialect::Ansi: AppendConcatenated(out, text, kAnsiText); break;
    }
}

void AppendBoolean(std::string& out, bool value, Dialect dialect) {
    switch (dialect) {
        case Dialect::Jet: out += value ? "True" : "False"; break;
        case Dialect::PostgreSql:
        case Dialect::Ansi: out += value ? "TRUE" : "FALSE"; break;
        default: out += value ? '1' : '0'; break;
    }
}

// The float form is shorter, but only a value that is exactly a float reads
// back the same from it.  The largest float is left out: its short form,
// 3.4028235e+38, read as a double (as MariaDB does before it checks a
// FLOAT's range) is past it, and a strict server refuses it.  Every smaller
// float's short form lies below the midpoint to its neighbour, so below it.
bool IsExactSingle(double value, int32_t type) {
    return type == adSingle && std::fabs(value) < FLT_MAX && static_cast<double>(static_cast<float>(value)) == value;
}

[[noreturn]] void RaiseNoLiteral(Dialect dialect, std::string_view what) {
    throw AdoError(5, std::string(DialectName(dialect)) + " has no literal for " + std::string(what));
}

// Which dialects can hold NaN and the infinities: the others' columns never
// had them, and a value turned into another one is worse than a failure.
void CheckNonFinite(Dialect dialect, bool nan) {
    const bool has = dialect == Dialect::PostgreSql || dialect == Dialect::Ansi || (dialect == Dialect::Sqlite && !nan);
    if (!has) RaiseNoLiteral(dialect, nan ? "NaN" : "infinity");
}

void AppendDouble(std::string& out, double value, bool single, Dialect dialect) {
    if (!std::isfinite(value)) {
        CheckNonFinite(dialect, std::isnan(value));
        if (dialect == Dialect::Sqlite) {
            // SQLite reads an overflowing number as infinity.
            out += value > 0 ? "9e999" : "-9e999";
        } else {
            AppendTextLiteral(out, std::isnan(value) ? "NaN" : value > 0 ? "Infinity" : "-Infinity", dialect, false);
        }
        return;
    }
    if (dialect == Dialect::PostgreSql && value == 0 && std::signbit(value)) {
        out += "'-0'";  // a bare -0 is the integer 0; the float input keeps the sign
        return;
    }
    const size_t start = out.size();
    AppendShortestDouble(out, value, single);
    // SQLite stores a number written without point or exponent as an INTEGER.
    if (dialect == Dialect::Sqlite && out.find_first_of(".e", start) == std::string::npos) out += ".0";
}

// Exact numbers go out as held; a NaN or Infinity that a server keeps in a
// NUMERIC column is only read back from a quoted text.
void AppendExactNumber(std::string& out, std::string_view digits, Dialect dialect) {
    constexpr ByteSet kNumberCharacters("0123456789+-.eE"sv);
    if (!digits.empty() && kNumberCharacters.SpanEnd(digits, 0) == digits.size()) {
        out += digits;
    } else {
        for (std::string_view word : {"NaN", "Infinity", "-Infinity", "+Infinity"})
            if (EqualsNoCase(digits, word)) CheckNonFinite(dialect, word == "NaN");
        AppendTextLiteral(out, digits, dialect, false);
    }
}

void AppendHex(std::string& out, std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    size_t at = out.size();
    out.resize(at + 2 * bytes.size());
    for (unsigned char b : bytes) {
        out[at++] = kDigits[b >> 4];
        out[at++] = kDigits[b & 15];
    }
}

bool IsBinaryType(int32_t type) {
    return type == adBinary || type == adVarBinary || type == adLongVarBinary;
}

// CONVERT gives the literal the column's type; every byte is written, leading
// zeros too, since they are part of the value.
void AppendSqlServerBinary(std::string& out, std::string_view bytes, const Field& field) {
    const bool fixed = field.Type() == adBinary;
    int64_t size = field.DefinedSize();
    if (fixed && (size <= 0 || size > kSqlServerLongestBinary)) size = static_cast<int64_t>(bytes.size());
    const bool sized = size > 0 && size <= kSqlServerLongestBinary;
    out += fixed && sized ? "CONVERT(binary(" : "CONVERT(VarBinary(";
    if (sized) {
        AppendInt(out, size);
    } else {
        out += "max";
    }
    out += "), 0x";
    AppendHex(out, bytes);
    out += ')';
}

void AppendBinaryLiteral(std::string& out, std::string_view bytes, const Field& field, Dialect dialect) {
    std::string_view open = "0x", close;
    switch (dialect) {
        case Dialect::SqlServer:
            if (IsBinaryType(field.Type())) {
                AppendSqlServerBinary(out, bytes, field);
                return;
            }
            break;
        case Dialect::Jet: break;
        case Dialect::PostgreSql:  // bytea's hex input
            open = "'\\x";
            close = "'";
            break;
        case Dialect::MySql:  // 0x alone is no literal
            if (!bytes.empty()) break;
            [[fallthrough]];
        case Dialect::Sqlite:
        case Dialect::Ansi:
            open = "X'";
            close = "'";
            break;
    }
    out += open;
    AppendHex(out, bytes);
    out += close;
}

void AppendDateLiteral(std::string& out, const DateTime& date, int32_t type, Dialect dialect) {
    const char quote = dialect == Dialect::Jet ? '#' : '\'';
    out += quote;
    const size_t start = out.size();
    AppendDateText(out, date);
    // Jet and SQL Server read every date type from the full text; the others
    // have DATE and TIME columns that take only their own part.
    if (dialect != Dialect::Jet && dialect != Dialect::SqlServer) {
        const size_t blank = out.find(' ', start);
        if (type == adDBDate) {
            out.resize(blank);
        } else if (type == adDBTime) {
            out.erase(start, blank + 1 - start);
        }
    }
    out += quote;
}

void AppendGuid(std::string& out, std::string_view text, Dialect dialect) {
    if (dialect == Dialect::Jet) {
        out += text;
    } else {
        AppendTextLiteral(out, text, dialect, false);
    }
}

bool IsTextType(int32_t type) {
    switch (type) {
        case adBSTR:
        case adChar:
        case adWChar:
        case adChapter:
        case adVarChar:
        case adLongVarChar:
        case adVarWChar:
        case adLongVarWChar: return true;
        default: return false;
    }
}

bool IsNarrowTextType(int32_t type) {
    return IsTextType(type) && type != adBSTR && type != adWChar && type != adVarWChar && type != adLongVarWChar;
}

bool IsDateType(int32_t type) {
    return type == adDate || type == adFileTime || type == adDBDate || type == adDBTime || type == adDBTimeStamp;
}

bool HoldsText(VarKind kind) {
    return kind == VarKind::Text || kind == VarKind::Guid || kind == VarKind::Decimal || kind == VarKind::Currency ||
           kind == VarKind::Binary;
}

// The value as it is held, whatever the column was declared as.
void AppendByKind(std::string& out, const Variant& value, const Field& field, Dialect dialect) {
    switch (value.Kind()) {
        case VarKind::Empty:
        case VarKind::Null: out += "NULL"; break;
        case VarKind::Boolean: AppendBoolean(out, value.AsBool(), dialect); break;
        case VarKind::Int: AppendInt(out, value.AsInt()); break;
        case VarKind::UInt: AppendUInt(out, value.AsUInt()); break;
        case VarKind::Double:
            AppendDouble(out, value.AsDouble(),
                         dialect != Dialect::Sqlite && IsExactSingle(value.AsDouble(), field.Type()), dialect);
            break;
        case VarKind::Decimal:
        case VarKind::Currency: AppendExactNumber(out, value.AsText(), dialect); break;
        case VarKind::Text: AppendTextLiteral(out, value.AsText(), dialect, !IsNarrowTextType(field.Type())); break;
        case VarKind::Guid: AppendGuid(out, value.AsText(), dialect); break;
        case VarKind::Binary: AppendBinaryLiteral(out, value.AsText(), field, dialect); break;
        case VarKind::Date: AppendDateLiteral(out, value.AsDate(), field.Type(), dialect); break;
    }
}

// Where the column's declared type asks for another literal than the value's
// kind would give; false to leave the value to its kind.
bool AppendByDeclaredType(std::string& out, const Variant& value, const Field& field, Dialect dialect) {
    const int32_t type = field.Type();
    if (value.IsNull() || value.IsEmpty()) return false;
    if (type == adBoolean) {
        AppendBoolean(out, value.IsTrue(), dialect);
        return true;
    }
    if (!HoldsText(value.Kind())) return false;
    const std::string& text = value.AsText();
    if (IsDateType(type) && value.Kind() == VarKind::Text) {
        DateTime parsed;
        if (ParseDateText(text, parsed)) {
            AppendDateLiteral(out, parsed, type, dialect);
        } else {
            AppendTextLiteral(out, text, dialect, true);  // not ours to mend
        }
    } else if (IsTextType(type)) {
        AppendTextLiteral(out, text, dialect, !IsNarrowTextType(type));
    } else if (type == adGUID) {
        AppendGuid(out, text, dialect);
    } else if (IsBinaryType(type)) {
        AppendBinaryLiteral(out, text, field, dialect);
    } else {
        return false;
    }
    return true;
}

}  // namespace

std::string_view DialectName(Dialect dialect) {
    switch (dialect) {
        case Dialect::Jet: return "Jet";
        case Dialect::SqlServer: return "SQL Server";
        case Dialect::PostgreSql: return "PostgreSQL";
        case Dialect::MySql: return "MySQL";
        case Dialect::Sqlite: return "SQLite";
        case Dialect::Ansi: return "ANSI SQL";
    }
    return "SQL";
}

namespace {
constexpr std::pair<std::string_view, Dialect> kDialectKeywords[] = {
    {"sqlite", Dialect::Sqlite}, {"postgresql", Dialect::PostgreSql},
    {"mysql", Dialect::MySql},   {"sqlserver", Dialect::SqlServer},
    {"jet", Dialect::Jet},       {"ansi", Dialect::Ansi},
    {"mariadb", Dialect::MySql}};
}  // namespace

bool ParseDialect(std::string_view name, Dialect& dialect) {
    for (const auto& [keyword, d] : kDialectKeywords)
        if (EqualsNoCase(name, keyword)) return dialect = d, true;
    return false;
}

std::string_view DialectKeyword(Dialect dialect) {
    for (const auto& [keyword, d] : kDialectKeywords)
        if (d == dialect) return keyword;
    return {};
}

Dialect ChooseDialect(int32_t serverKind, std::string_view dbmsName) {
    struct Product {
        std::string_view name;
        Dialect dialect;
    };
    static constexpr Product kProducts[] = {
        {"PostgreSQL", Dialect::PostgreSql},
        {"MariaDB", Dialect::MySql},
        {"MySQL", Dialect::MySql},
        {"SQLite", Dialect::Sqlite},
        {"SQL Server", Dialect::SqlServer},
        {"Access", Dialect::Jet},
        {"MS Jet", Dialect::Jet},
        {"MDBTools", Dialect::Jet},
    };
    for (const Product& product : kProducts)
        if (ContainsNoCase(dbmsName, product.name)) return product.dialect;
    return serverKind == 0 ? Dialect::Jet : serverKind == 1 ? Dialect::SqlServer : Dialect::Ansi;
}

bool IsSupportedField(const Field& field) {
    if (field.Attributes() & adFldRowVersion) return false;
    const int32_t type = field.Type();
    if (type & adArray) return false;
    // Long binary columns (bytea, BLOB, image) are scripted like any other
    // binary: leaving them out would lose their data from the copy.
    return type != adIDispatch && type != adIUnknown && type != adPropVariant;
}

bool IsAutoIncrementField(const Field& field) {
    try {
        return field.Properties("ISAUTOINCREMENT").Value.IsTrue();
    } catch (const std::exception&) {
        return false;  // the provider cannot tell
    }
}

void AppendQuotedName(std::string& out, std::string_view name, Dialect dialect) {
    switch (dialect) {
        case Dialect::Jet:
        case Dialect::SqlServer: AppendQuoted(out, name, '[', ']'); break;
        case Dialect::Sqlite:
            // SQLite's brackets end at the first "]", whatever follows it; such a
            // name goes between double quotes instead.
            if (name.find(']') == std::string_view::npos) {
                AppendQuoted(out, name, '[', ']');
            } else {
                AppendQuoted(out, name, '"', '"');
            }
            break;
        case Dialect::PostgreSql:
        case Dialect::Ansi: AppendQuoted(out, name, '"', '"'); break;
        case Dialect::MySql: AppendQuoted(out, name, '`', '`'); break;
    }
}

void AppendFieldName(std::string& out, const Field& field, Dialect dialect) {
    AppendQuotedName(out, field.Name(), dialect);
}

void AppendFieldValue(std::string& out, const Field& field, Dialect dialect) {
    const Variant& value = field.Value();
    // A value PostgreSQL gave as its own text goes back as it came: the
    // column type's input reads it, infinities, eras and offsets included.
    if (dialect == Dialect::PostgreSql && value.Kind() == VarKind::Text) {
        AppendTextLiteral(out, value.AsText(), dialect, true);
        return;
    }
    // SQLite keeps each value as it was stored, whatever the declared type.
    if (dialect != Dialect::Sqlite && AppendByDeclaredType(out, value, field, dialect)) return;
    AppendByKind(out, value, field, dialect);
}

void AppendBooleanLiteral(std::string& out, bool value, Dialect dialect) {
    AppendBoolean(out, value, dialect);
}

std::string FormatFieldName(const Field& field, Dialect dialect) {
    std::string out;
    AppendFieldName(out, field, dialect);
    return out;
}

std::string FormatFieldValue(const Field& field, Dialect dialect) {
    std::string out;
    AppendFieldValue(out, field, dialect);
    return out;
}

}  // namespace qarn::control
