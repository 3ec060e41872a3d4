#include "odbc/OdbcProcedures.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "ado/ConnectionString.h"
#include "ado/DataTypes.h"
#include "odbc/OdbcCursor.h"
#include "odbc/OdbcText.h"
#include "odbc/OdbcTypeMap.h"

namespace qarn::ado::odbc {

namespace {
int32_t AdoDirection(SQLSMALLINT columnType) {
    switch (columnType) {
        case SQL_PARAM_OUTPUT: return adParamOutput;
        case SQL_PARAM_INPUT_OUTPUT: return adParamInputOutput;
        case SQL_RETURN_VALUE: return adParamReturnValue;
        default: return adParamInput;
    }
}

// One part of "catalog.schema.name", without its quotes.
struct NamePart {
    std::string text;
    bool quoted = false;
};

std::vector<NamePart> NameParts(const std::string& name) {
    std::vector<NamePart> parts;
    size_t start = 0;
    for (;;) {
        size_t dot = name.find('.', start);
        NamePart part{name.substr(start, dot == std::string::npos ? std::string::npos : dot - start)};
        if (part.text.size() >= 2 && std::string_view("\"[`").find(part.text.front()) != std::string_view::npos) {
            part.text = part.text.substr(1, part.text.size() - 2);
            part.quoted = true;
        }
        parts.push_back(std::move(part));
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    return parts;
}

// A SQL string literal.
std::string Quoted(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

// Escapes the pattern characters of a catalog-function argument.
std::string EscapePattern(const std::string& text, const std::string& escape) {
    if (escape.empty()) return text;
    std::string out;
    for (char c : text) {
        if (c == '_' || c == '%' || escape.find(c) != std::string::npos) out += escape;
        out.push_back(c);
    }
    return out;
}

int64_t IntAt(const std::vector<Variant>& row, size_t i, int64_t fallback) {
    return i < row.size() && row[i].Kind() == VarKind::Int ? row[i].AsInt() : fallback;
}

std::string TextAt(const std::vector<Variant>& row, size_t i) {
    return i < row.size() ? row[i].ToText() : std::string();
}
}  // namespace

ProcName ResolveProcName(const std::string& procName, bool oneQualifierIsCatalog, bool foldsToLowerCase) {
    std::vector<NamePart> parts = NameParts(procName);
    if (foldsToLowerCase) {
        for (NamePart& part : parts)
            if (!part.quoted) part.text = ToLower(part.text);
    }
    ProcName out;
    out.name = parts.back().text;
    if (parts.size() >= 3) out.catalog = parts[parts.size() - 3].text;
    if (parts.size() >= 2) (oneQualifierIsCatalog ? out.catalog : out.schema) = parts[parts.size() - 2].text;
    return out;
}

std::vector<BoundParameter> CatalogParameters(std::unique_ptr<Statement> stmt,
                                              const std::optional<std::string>& catalog,
                                              const std::optional<std::string>& schema, const std::string& name,
                                              const std::string& escape) {
    std::vector<SQLWCHAR> catalogW = ToUtf16(catalog.value_or(""));
    std::vector<SQLWCHAR> schemaW = ToUtf16(EscapePattern(schema.value_or(""), escape));
    std::vector<SQLWCHAR> nameW = ToUtf16(EscapePattern(name, escape));
    stmt->Check(SQLProcedureColumnsW(stmt->Get(), catalog ? catalogW.data() : nullptr, catalog ? SQL_NTS : 0,
                                     schema ? schemaW.data() : nullptr, schema ? SQL_NTS : 0, nameW.data(), SQL_NTS,
                                     nullptr, 0),
                "SQLProcedureColumns");

    // Result columns of SQLProcedureColumns (1-based in ODBC).
    enum : size_t {
        kProcName = 2,
        kColumnName = 3,
        kColumnType = 4,
        kDataType = 5,
        kTypeName = 6,
        kColumnSize = 7,
        kOrdinal = 17
    };
    struct Found {
        int64_t ordinal;
        BoundParameter parameter;
    };
    std::vector<Found> found;
    OdbcCursor cursor(std::move(stmt));
    std::vector<Variant> row;
    while (cursor.Fetch(row)) {
        auto columnType = static_cast<SQLSMALLINT>(IntAt(row, kColumnType, SQL_PARAM_TYPE_UNKNOWN));
        if (columnType == SQL_RESULT_COL || !EqualsNoCase(TextAt(row, kProcName), name)) continue;
        BoundParameter p;
        p.name = TextAt(row, kColumnName);
        p.direction = AdoDirection(columnType);
        if (p.name.empty() && p.direction == adParamReturnValue) p.name = "RETURN_VALUE";
        // The catalog does not say whether an integer is unsigned
        // (MariaDB reports "bigint" for "bigint unsigned").
        p.type =
            MapSqlType(static_cast<SQLSMALLINT>(IntAt(row, kDataType, SQL_UNKNOWN_TYPE)), false, TextAt(row, kTypeName))
                .adoType;
        p.size = std::max<int64_t>(IntAt(row, kColumnSize, 0), 0);
        found.push_back({IntAt(row, kOrdinal, static_cast<int64_t>(found.size()) + 1), std::move(p)});
    }
    std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        bool aReturn = a.parameter.direction == adParamReturnValue;
        bool bReturn = b.parameter.direction == adParamReturnValue;
        return aReturn != bReturn ? aReturn : a.ordinal < b.ordinal;
    });
    std::vector<BoundParameter> parameters;
    for (auto& f : found) parameters.push_back(std::move(f.parameter));
    return parameters;
}

std::string CallText(CallStyle style, const std::string& procName, size_t arguments, bool hasReturn) {
    std::string text = style == CallStyle::Call     ? "CALL "
                       : style == CallStyle::Select ? "SELECT "
                       : hasReturn                  ? "{? = call "
                                                    : "{call ";
    text += procName;
    text += '(';
    for (size_t i = 0; i < arguments; ++i) text += i ? ", ?" : "?";
    text += ')';
    if (style == CallStyle::Escape) text += '}';
    return text;
}

std::string PostgresProcedureQuery(const ProcName& target) {
    std::string where =
        target.schema
            ? "pronamespace = (SELECT oid FROM pg_catalog.pg_namespace WHERE nspname = " + Quoted(*target.schema) + ")"
            : "pg_catalog.pg_function_is_visible(oid)";
    return "SELECT 1 FROM pg_catalog.pg_proc WHERE prokind = 'p' AND proname = " + Quoted(target.name) + " AND " +
           where;
}

}  // namespace qarn::ado::odbc
