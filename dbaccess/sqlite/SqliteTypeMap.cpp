#include "sqlite/SqliteTypeMap.h"

#include <array>
#include <limits>
#include <string>

#include "ado/DataTypes.h"

namespace qarn::ado::sqlite {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The declared type split into its name and its parenthesized numbers.
struct ParsedType {
    std::string name;  // upper case, blanks collapsed to one space, trimmed
    int argCount = 0;  // numbers found in the parentheses
    std::array<int64_t, 2> args{};
    bool max = false;  // "(MAX)"
};

// A number in a type's parentheses; false for anything else.  Values too
// large for a size are capped.
bool ParseArg(std::string_view s, int64_t& out, bool& isMax) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    if (s.size() == 3 && Upper(s[0]) == 'M' && Upper(s[1]) == 'A' && Upper(s[2]) == 'X') {
        isMax = true;
        return false;
    }
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    int64_t v = 0;
    constexpr int64_t cap = std::numeric_limits<int32_t>::max();
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
        if (v > cap) v = cap;
    }
    out = v;
    return true;
}

ParsedType Parse(std::string_view declared) {
    ParsedType p;
    std::string name;
    size_t open = declared.find('(');
    std::string_view before = declared.substr(0, open);
    std::string_view after;
    if (open != std::string_view::npos) {
        size_t close = declared.find(')', open);
        std::string_view inside =
            declared.substr(open + 1, close == std::string_view::npos ? std::string_view::npos : close - open - 1);
        if (close != std::string_view::npos) after = declared.substr(close + 1);
        while (p.argCount < 2) {
            size_t comma = inside.find(',');
            int64_t v = 0;
            if (ParseArg(inside.substr(0, comma), v, p.max))
                p.args[p.argCount] = v;
            else
                p.args[p.argCount] = 0;
            ++p.argCount;
            if (comma == std::string_view::npos) break;
            inside.remove_prefix(comma + 1);
        }
        if (p.max) p.argCount = 0;
    }
    bool pendingSpace = false;
    for (std::string_view part : {before, after}) {
        for (char c : part) {
            if (IsBlank(c)) {
                pendingSpace = !name.empty();
                continue;
            }
            if (pendingSpace) name += ' ';
            pendingSpace = false;
            name += Upper(c);
        }
        pendingSpace = !name.empty();
    }
    p.name = std::move(name);
    return p;
}

bool Contains(const std::string& s, std::string_view part) {
    return s.find(part) != std::string::npos;
}
bool StartsWith(const std::string& s, std::string_view part) {
    return s.compare(0, part.size(), part) == 0;
}
bool OneOf(const std::string& s, std::initializer_list<std::string_view> names) {
    for (std::string_view n : names)
        if (s == n) return true;
    return false;
}

MappedType Fixed(int32_t type, int64_t size, int32_t precision = 0, int32_t scale = 0) {
    return MappedType{type, adFldFixed, size, precision, scale};
}
MappedType Long(int32_t type) {
    return MappedType{type, adFldLong, 0, 0, 0};
}
MappedType Sized(int32_t type, const ParsedType& p, bool fixed = false) {
    return MappedType{type, fixed ? static_cast<int32_t>(adFldFixed) : 0, p.argCount > 0 ? p.args[0] : 0, 0, 0};
}
MappedType Numeric(const ParsedType& p) {
    MappedType m = Fixed(adNumeric, 19);
    if (p.argCount > 0) m.precision = static_cast<int32_t>(p.args[0]);
    if (p.argCount > 1) m.scale = static_cast<int32_t>(p.args[1]);
    return m;
}

}  // namespace

MappedType MapDeclaredType(std::string_view declared) {
    const ParsedType p = Parse(declared);
    const std::string& n = p.name;

    if (n.empty() || OneOf(n, {"ANY", "SQL_VARIANT", "VARIANT"})) return MappedType{adVariant, 0, 0, 0, 0};

    // SQLite's first affinity rule: any name holding INT has INTEGER affinity.
    if (Contains(n, "INT")) {
        if (Contains(n, "BIG") || OneOf(n, {"INT8", "INT64"})) return Fixed(adBigInt, 8, 19);
        if (Contains(n, "SMALLINT") || OneOf(n, {"INT2", "INT16"})) return Fixed(adSmallInt, 2, 5);
        if (Contains(n, "TINYINT") || n == "INT1") return Fixed(adUnsignedTinyInt, 1, 3);
        return Fixed(adInteger, 4, 10);
    }

    if (OneOf(n, {"REAL", "FLOAT", "DOUBLE", "DOUBLE PRECISION", "FLOAT4", "FLOAT8"})) return Fixed(adDouble, 8, 15);
    if (OneOf(n, {"NUMERIC", "DECIMAL", "DEC", "NUMBER"})) return Numeric(p);
    if (OneOf(n, {"MONEY", "SMALLMONEY", "CURRENCY"})) return Fixed(adCurrency, 8, 19, 4);

    if (OneOf(n, {"CHAR", "CHARACTER"})) return p.max ? Long(adLongVarChar) : Sized(adChar, p, true);
    if (OneOf(n, {"NCHAR", "NATIONAL CHAR", "NATIONAL CHARACTER"}))
        return p.max ? Long(adLongVarWChar) : Sized(adWChar, p, true);
    if (OneOf(n, {"VARCHAR", "VARCHAR2", "VARYING CHARACTER", "CHARACTER VARYING", "CHAR VARYING"}))
        return p.max ? Long(adLongVarChar) : Sized(adVarChar, p);
    if (OneOf(n, {"NVARCHAR", "NVARCHAR2", "NATIVE CHARACTER", "NATIONAL CHARACTER VARYING", "NATIONAL CHAR VARYING",
                  "NCHAR VARYING", "NATIONAL VARCHAR"}))
        return p.max ? Long(adLongVarWChar) : Sized(adVarWChar, p);
    if (OneOf(n, {"TEXT", "CLOB", "NTEXT", "MEMO", "TINYTEXT", "MEDIUMTEXT", "LONGTEXT", "NCLOB", "LONG VARCHAR",
                  "LONGVARCHAR", "LONG NVARCHAR", "LONG TEXT"}))
        return Long(adLongVarWChar);

    if (n == "DATE") return Fixed(adDBDate, 6);
    if (n == "TIME" || StartsWith(n, "TIME WITH")) return Fixed(adDBTime, 6);
    if (OneOf(n, {"DATETIME", "DATETIME2", "SMALLDATETIME"}) || StartsWith(n, "TIMESTAMP"))
        return Fixed(adDBTimeStamp, 16);

    if (OneOf(n, {"BOOLEAN", "BOOL", "BIT", "YESNO", "LOGICAL"})) return Fixed(adBoolean, 2);

    if (OneOf(n, {"IMAGE", "LONGBLOB", "LONG VARBINARY", "LONGVARBINARY"})) return Long(adLongVarBinary);
    if (n == "BINARY") return p.max ? MappedType{adVarBinary, 0, 0, 0, 0} : Sized(adBinary, p, true);
    if (n == "VARBINARY") return Sized(adVarBinary, p);  // (MAX): size 0, unknown
    if (OneOf(n, {"BLOB", "TINYBLOB", "MEDIUMBLOB"})) return MappedType{adVarBinary, 0, 0, 0, 0};

    if (OneOf(n, {"UNIQUEIDENTIFIER", "GUID", "UUID"})) return Fixed(adGUID, 16);

    // SQLite's remaining affinity rules, in its order.
    if (Contains(n, "CHAR") || Contains(n, "CLOB") || Contains(n, "TEXT"))
        return p.argCount > 0 ? Sized(adVarWChar, p) : Long(adLongVarWChar);
    if (Contains(n, "BLOB")) return MappedType{adVarBinary, 0, 0, 0, 0};
    if (Contains(n, "REAL") || Contains(n, "FLOA") || Contains(n, "DOUB")) return Fixed(adDouble, 8, 15);
    return Numeric(p);
}

}  // namespace qarn::ado::sqlite
