#include "odbc/OdbcColumns.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "odbc/OdbcText.h"
#include "odbc/OdbcValues.h"

namespace qarn::ado::odbc {

namespace {
// ADO's Precision and NumericScale of a column that has neither.
constexpr int32_t kNoPrecision = 255;

std::optional<SQLLEN> NumericAttribute(SQLHSTMT h, SQLUSMALLINT column, SQLUSMALLINT field) {
    SQLLEN value = 0;
    if (!SQL_SUCCEEDED(SQLColAttributeW(h, column, field, nullptr, 0, nullptr, &value))) return std::nullopt;
    return value;
}

std::string TextAttribute(SQLHSTMT h, SQLUSMALLINT column, SQLUSMALLINT field) {
    SQLWCHAR buffer[256];
    SQLSMALLINT bytes = 0;
    if (!SQL_SUCCEEDED(SQLColAttributeW(h, column, field, buffer, sizeof buffer, &bytes, nullptr))) return {};
    return FromBuffer(buffer, std::size(buffer), bytes / static_cast<SQLSMALLINT>(sizeof(SQLWCHAR)));
}

bool IsCharacterOrBinary(ValueForm form) {
    return form == ValueForm::Text || form == ValueForm::Binary;
}

// Whether ADO gives the column a precision and scale.
bool HasDigits(ValueForm form) {
    switch (form) {
        case ValueForm::Bit: return false;
        case ValueForm::Decimal:
        case ValueForm::Currency:
        case ValueForm::SingleText:
        case ValueForm::DateText: return true;
        default: return IsFixed(form);
    }
}
}  // namespace

ColumnInfo DescribeColumn(const Statement& stmt, SQLUSMALLINT column, ValueForm& form, const DriverHabits& habits) {
    SQLHSTMT h = stmt.Get();
    std::vector<SQLWCHAR> name(256);
    SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = SQL_NULLABLE_UNKNOWN;
    SQLULEN size = 0;
    auto describe = [&] {
        return SQLDescribeColW(h, column, name.data(), static_cast<SQLSMALLINT>(name.size()), &nameLength, &sqlType,
                               &size, &digits, &nullable);
    };
    SQLRETURN rc = describe();
    if (SQL_SUCCEEDED(rc) && static_cast<size_t>(nameLength) >= name.size()) {
        name.resize(static_cast<size_t>(nameLength) + 1);
        rc = describe();
    }
    stmt.Check(rc, "SQLDescribeCol");

    // MDBTools fails these attributes; what it cannot tell stays unknown.
    std::optional<SQLLEN> isUnsigned = NumericAttribute(h, column, SQL_DESC_UNSIGNED);
    std::optional<SQLLEN> autoIncrement = NumericAttribute(h, column, SQL_DESC_AUTO_UNIQUE_VALUE);
    std::string typeName = TextAttribute(h, column, SQL_DESC_TYPE_NAME);
    TypeMapping mapping = MapSqlType(sqlType, isUnsigned.value_or(SQL_FALSE) == SQL_TRUE, typeName);
    form = habits.datesAsText && mapping.form == ValueForm::Timestamp ? ValueForm::DateText : mapping.form;

    ColumnInfo info;
    info.name = FromBuffer(name.data(), name.size(), nameLength);
    info.type = mapping.adoType;
    info.typeName = std::move(typeName);
    info.attributes = mapping.attributes | NullableAttributes(nullable);
    // Characters for text, bytes for everything else.
    std::optional<SQLLEN> length =
        NumericAttribute(h, column, IsCharacterOrBinary(form) ? SQL_DESC_LENGTH : SQL_DESC_OCTET_LENGTH);
    info.definedSize = std::max<SQLLEN>(length.value_or(0), 0);
    if (autoIncrement) info.autoIncrement = *autoIncrement == SQL_TRUE;
    bool numeric = HasDigits(form);
    info.precision = numeric ? static_cast<int32_t>(size) : kNoPrecision;
    info.scale = numeric ? digits : kNoPrecision;
    return info;
}

}  // namespace qarn::ado::odbc
