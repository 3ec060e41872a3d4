#include "odbc/OdbcTypeMap.h"

#include <algorithm>
#include <array>

#include "ado/ConnectionString.h"
#include "ado/DataTypes.h"
#include "text/TextNumbers.h"

namespace qarn::ado::odbc {

namespace {
struct Row {
    SQLSMALLINT sqlType;
    int32_t ado;
    int32_t adoUnsigned;  // for integers whose column is unsigned
    ValueForm form;
    int32_t attributes;
};

// Where two ODBC types map to one ADO type, the first row is the one a
// parameter of that ADO type is bound as.
constexpr std::array kRows = {
    Row{SQL_CHAR, adChar, adChar, ValueForm::Text, 0},
    Row{SQL_VARCHAR, adVarChar, adVarChar, ValueForm::Text, 0},
    Row{SQL_LONGVARCHAR, adLongVarChar, adLongVarChar, ValueForm::Text, adFldLong},
    Row{SQL_WCHAR, adWChar, adWChar, ValueForm::Text, 0},
    Row{SQL_WVARCHAR, adVarWChar, adVarWChar, ValueForm::Text, 0},
    Row{SQL_WLONGVARCHAR, adLongVarWChar, adLongVarWChar, ValueForm::Text, adFldLong},
    Row{SQL_NUMERIC, adNumeric, adNumeric, ValueForm::Decimal, 0},
    Row{SQL_DECIMAL, adNumeric, adNumeric, ValueForm::Decimal, 0},
    Row{SQL_TINYINT, adTinyInt, adUnsignedTinyInt, ValueForm::Int32, 0},
    Row{SQL_SMALLINT, adSmallInt, adUnsignedSmallInt, ValueForm::Int32, 0},
    Row{SQL_INTEGER, adInteger, adUnsignedInt, ValueForm::Int32, 0},
    Row{SQL_BIGINT, adBigInt, adUnsignedBigInt, ValueForm::Int64, 0},
    Row{SQL_REAL, adSingle, adSingle, ValueForm::Single, 0},
    Row{SQL_DOUBLE, adDouble, adDouble, ValueForm::Double, 0},
    Row{SQL_FLOAT, adDouble, adDouble, ValueForm::Double, 0},
    Row{SQL_BIT, adBoolean, adBoolean, ValueForm::Bit, 0},
    Row{SQL_BINARY, adBinary, adBinary, ValueForm::Binary, 0},
    Row{SQL_VARBINARY, adVarBinary, adVarBinary, ValueForm::Binary, 0},
    Row{SQL_LONGVARBINARY, adLongVarBinary, adLongVarBinary, ValueForm::Binary, adFldLong},
    Row{SQL_TYPE_DATE, adDBDate, adDBDate, ValueForm::Timestamp, 0},
    Row{SQL_DATE, adDBDate, adDBDate, ValueForm::Timestamp, 0},
    Row{SQL_TYPE_TIME, adDBTime, adDBTime, ValueForm::DateText, 0},
    Row{SQL_TIME, adDBTime, adDBTime, ValueForm::DateText, 0},
    Row{kSqlServerTime, adDBTime, adDBTime, ValueForm::DateText, 0},
    Row{SQL_TYPE_TIMESTAMP, adDBTimeStamp, adDBTimeStamp, ValueForm::Timestamp, 0},
    Row{SQL_TIMESTAMP, adDBTimeStamp, adDBTimeStamp, ValueForm::Timestamp, 0},
    Row{SQL_GUID, adGUID, adGUID, ValueForm::Guid, 0},
    // ADO types no column reads as, for parameters: their ODBC types find
    // the rows above first.
    Row{SQL_DECIMAL, adDecimal, adDecimal, ValueForm::Decimal, 0},
    Row{SQL_DECIMAL, adCurrency, adCurrency, ValueForm::Currency, 0},
    Row{SQL_TYPE_TIMESTAMP, adDate, adDate, ValueForm::Timestamp, 0},
    Row{SQL_WVARCHAR, adBSTR, adBSTR, ValueForm::Text, 0},
};

ValueForm UnsignedForm(ValueForm form) {
    return form == ValueForm::Int64 ? ValueForm::UInt64 : ValueForm::UInt32;
}

using text::IsDigit;

// "integer.decimals" without leading zeros ("0" when there is no integer part).
void AppendDigits(std::string& out, std::string_view integer, std::string_view decimals) {
    while (integer.size() > 1 && integer.front() == '0') integer.remove_prefix(1);
    out.append(integer.empty() ? std::string_view("0") : integer);
    if (!decimals.empty()) {
        out.push_back('.');
        out.append(decimals);
    }
}
}  // namespace

TypeMapping MapSqlType(SQLSMALLINT sqlType, bool isUnsigned, std::string_view typeName) {
    // SQL Server names its exact money types and its row version; the
    // names alone are not enough, as PostgreSQL also has "money" and
    // "timestamp" types of other kinds.
    bool exact = sqlType == SQL_DECIMAL || sqlType == SQL_NUMERIC;
    bool binary = sqlType == SQL_BINARY || sqlType == SQL_VARBINARY;
    if (exact && (EqualsNoCase(typeName, "money") || EqualsNoCase(typeName, "smallmoney")))
        return {adCurrency, 0, ValueForm::Currency};
    if (binary && (EqualsNoCase(typeName, "timestamp") || EqualsNoCase(typeName, "rowversion")))
        return {adBinary, adFldRowVersion, ValueForm::Binary};

    auto row = std::find_if(kRows.begin(), kRows.end(), [&](const Row& r) { return r.sqlType == sqlType; });
    if (row == kRows.end()) return {adVarWChar, 0, ValueForm::Text};
    if (isUnsigned && row->ado != row->adoUnsigned) return {row->adoUnsigned, row->attributes, UnsignedForm(row->form)};
    return {row->ado, row->attributes, row->form};
}

PostgresReading ReadPostgresType(std::string_view typeName, char typeKind) {
    struct Known {
        std::string_view name;
        PostgresReading reading;
    };
    constexpr auto as = [](ValueForm form, std::string_view cast = {}, int32_t adoType = 0) {
        return PostgresReading{form, cast, adoType, true};
    };
    constexpr PostgresReading kNoInput{ValueForm::Text, {}, 0, false};
    static constexpr Known kKnown[] = {
        {"int2", as(ValueForm::Int32)},
        {"int4", as(ValueForm::Int32)},
        {"int8", as(ValueForm::Int64)},
        {"float4", as(ValueForm::SingleText)},
        {"float8", as(ValueForm::Double)},
        {"numeric", as(ValueForm::Decimal)},
        {"bool", as(ValueForm::Bit)},
        {"bytea", as(ValueForm::Binary)},
        {"text", as(ValueForm::Text)},
        {"varchar", as(ValueForm::Text)},
        {"bpchar", as(ValueForm::Text)},
        {"name", as(ValueForm::Text)},
        {"uuid", as(ValueForm::Guid)},  // in capitals, which read back as the same value
        // psqlodbc writes these in its own format, losing infinities, eras,
        // years past 9999 and offsets from UTC.
        {"date", as(ValueForm::Text, "text")},
        {"time", as(ValueForm::Text, "text")},
        {"timestamp", as(ValueForm::Text, "text")},
        {"timestamptz", as(ValueForm::Text, "text")},
        // Money's text follows lc_monetary; its digits do not.
        {"money", as(ValueForm::Currency, "numeric", adCurrency)},
        // No input function: a script cannot recreate these.
        {"pg_node_tree", kNoInput},
        {"pg_ndistinct", kNoInput},
        {"pg_dependencies", kNoInput},
        {"pg_mcv_list", kNoInput},
    };
    constexpr char kPseudoType = 'p';
    for (const Known& k : kKnown)
        if (k.name == typeName) return k.reading;
    PostgresReading text;
    text.textInput = typeKind != kPseudoType;
    return text;
}

int32_t NullableAttributes(SQLSMALLINT nullable) {
    switch (nullable) {
        case SQL_NULLABLE: return adFldIsNullable | adFldMayBeNull;
        case SQL_NULLABLE_UNKNOWN: return adFldMayBeNull;
        default: return 0;
    }
}

BindingType SqlTypeForAdo(int32_t adoType) {
    auto matches = [&](const Row& r) { return r.ado == adoType || r.adoUnsigned == adoType; };
    auto row = std::find_if(kRows.begin(), kRows.end(), matches);
    if (row != kRows.end()) {
        bool isUnsigned = row->adoUnsigned == adoType && row->ado != adoType;
        return {row->sqlType, isUnsigned ? UnsignedForm(row->form) : row->form};
    }
    return {};
}

bool AppendPlainDecimal(std::string& out, std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
    size_t intStart = pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos;
    std::string_view whole = text.substr(intStart, pos - intStart);
    std::string_view fraction;
    if (pos < text.size() && (text[pos] == '.' || text[pos] == ',')) {
        size_t fracStart = ++pos;
        while (pos < text.size() && IsDigit(text[pos])) ++pos;
        fraction = text.substr(fracStart, pos - fracStart);
    }
    if (whole.empty() && fraction.empty()) return false;
    long exponent = 0;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        bool expNegative = false;
        if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) expNegative = text[pos++] == '-';
        size_t expStart = pos;
        // Beyond this the text is not a value any column holds.
        constexpr long kLargestExponent = 100000;
        while (pos < text.size() && IsDigit(text[pos])) {
            exponent = exponent * 10 + (text[pos++] - '0');
            if (exponent > kLargestExponent) return false;
        }
        if (pos == expStart) return false;
        if (expNegative) exponent = -exponent;
    }
    if (pos != text.size()) return false;

    if (negative) out.push_back('-');
    if (exponent == 0) {
        AppendDigits(out, whole, fraction);
        return true;
    }
    // Move the point through the digits, padding with zeros either side.
    std::string digits;
    digits.reserve(whole.size() + fraction.size());
    digits.append(whole).append(fraction);
    long point = static_cast<long>(whole.size()) + exponent;
    long count = static_cast<long>(digits.size());
    if (point <= 0) {
        std::string decimals(static_cast<size_t>(-point), '0');
        AppendDigits(out, {}, decimals.append(digits));
    } else if (point >= count) {
        AppendDigits(out, digits.append(static_cast<size_t>(point - count), '0'), {});
    } else {
        std::string_view all = digits;
        AppendDigits(out, all.substr(0, static_cast<size_t>(point)), all.substr(static_cast<size_t>(point)));
    }
    return true;
}

}  // namespace qarn::ado::odbc
