#include "mariadb/MariaDbTypeMap.h"

#include <mariadb_ctype.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <string>

#include "ado/ConnectionString.h"
#include "ado/DataTypes.h"
#include "text/TextNumbers.h"

namespace qarn::ado::mariadb {

namespace {

constexpr unsigned int kBinaryCharset = 63;
// ADO's Precision and NumericScale of a column that has neither.
constexpr int32_t kNoPrecision = 255;

enum class Bytes : uint8_t { Any, Text, Binary };

struct Row {
    std::string_view name;  // as information_schema's DATA_TYPE writes it
    enum_field_types type;
    Bytes bytes;  // which character set the row is for (strings only)
    int32_t ado;
    int32_t adoUnsigned;
    ValueForm form;
    int32_t attributes;
    int32_t precision;  // of the fixed-size numbers; 0 elsewhere
    int32_t octets;     // their size in bytes
};

// The ADO types are the ones MariaDB Connector/ODBC reports for the same
// columns, so that whichever way a database is reached its fields look alike.
// Where a type has several names, the first row gives a column's type name.
constexpr std::array kRows = {
    Row{"tinyint", MYSQL_TYPE_TINY, Bytes::Any, adTinyInt, adUnsignedTinyInt, ValueForm::Int, 0, 3, 1},
    Row{"smallint", MYSQL_TYPE_SHORT, Bytes::Any, adSmallInt, adUnsignedSmallInt, ValueForm::Int, 0, 5, 2},
    Row{"mediumint", MYSQL_TYPE_INT24, Bytes::Any, adInteger, adUnsignedInt, ValueForm::Int, 0, 7, 4},
    Row{"int", MYSQL_TYPE_LONG, Bytes::Any, adInteger, adUnsignedInt, ValueForm::Int, 0, 10, 4},
    Row{"bigint", MYSQL_TYPE_LONGLONG, Bytes::Any, adBigInt, adUnsignedBigInt, ValueForm::Int, 0, 19, 8},
    Row{"year", MYSQL_TYPE_YEAR, Bytes::Any, adSmallInt, adUnsignedSmallInt, ValueForm::Int, 0, 4, 2},
    Row{"float", MYSQL_TYPE_FLOAT, Bytes::Any, adSingle, adSingle, ValueForm::Float, 0, 7, 4},
    Row{"double", MYSQL_TYPE_DOUBLE, Bytes::Any, adDouble, adDouble, ValueForm::Double, 0, 15, 8},
    Row{"decimal", MYSQL_TYPE_NEWDECIMAL, Bytes::Any, adNumeric, adNumeric, ValueForm::Decimal, 0, 0, 0},
    Row{"decimal", MYSQL_TYPE_DECIMAL, Bytes::Any, adNumeric, adNumeric, ValueForm::Decimal, 0, 0, 0},
    Row{"bit", MYSQL_TYPE_BIT, Bytes::Any, adBoolean, adBoolean, ValueForm::Bit, 0, 0, 0},
    Row{"date", MYSQL_TYPE_DATE, Bytes::Any, adDBDate, adDBDate, ValueForm::DateTime, 0, 0, 0},
    Row{"date", MYSQL_TYPE_NEWDATE, Bytes::Any, adDBDate, adDBDate, ValueForm::DateTime, 0, 0, 0},
    Row{"time", MYSQL_TYPE_TIME, Bytes::Any, adDBTime, adDBTime, ValueForm::Time, 0, 0, 0},
    Row{"datetime", MYSQL_TYPE_DATETIME, Bytes::Any, adDBTimeStamp, adDBTimeStamp, ValueForm::DateTime, 0, 0, 0},
    Row{"timestamp", MYSQL_TYPE_TIMESTAMP, Bytes::Any, adDBTimeStamp, adDBTimeStamp, ValueForm::DateTime, 0, 0, 0},
    Row{"char", MYSQL_TYPE_STRING, Bytes::Text, adWChar, adWChar, ValueForm::Text, 0, 0, 0},
    Row{"binary", MYSQL_TYPE_STRING, Bytes::Binary, adBinary, adBinary, ValueForm::Binary, 0, 0, 0},
    Row{"varchar", MYSQL_TYPE_VAR_STRING, Bytes::Text, adVarWChar, adVarWChar, ValueForm::Text, 0, 0, 0},
    Row{"varbinary", MYSQL_TYPE_VAR_STRING, Bytes::Binary, adVarBinary, adVarBinary, ValueForm::Binary, 0, 0, 0},
    Row{"varchar", MYSQL_TYPE_VARCHAR, Bytes::Text, adVarWChar, adVarWChar, ValueForm::Text, 0, 0, 0},
    Row{"varbinary", MYSQL_TYPE_VARCHAR, Bytes::Binary, adVarBinary, adVarBinary, ValueForm::Binary, 0, 0, 0},
    Row{"text", MYSQL_TYPE_BLOB, Bytes::Text, adLongVarWChar, adLongVarWChar, ValueForm::Text, adFldLong, 0, 0},
    Row{"blob", MYSQL_TYPE_BLOB, Bytes::Binary, adLongVarBinary, adLongVarBinary, ValueForm::Binary, adFldLong, 0, 0},
    Row{"tinytext", MYSQL_TYPE_TINY_BLOB, Bytes::Text, adLongVarWChar, adLongVarWChar, ValueForm::Text, adFldLong, 0,
        0},
    Row{"tinyblob", MYSQL_TYPE_TINY_BLOB, Bytes::Binary, adLongVarBinary, adLongVarBinary, ValueForm::Binary, adFldLong,
        0, 0},
    Row{"mediumtext", MYSQL_TYPE_MEDIUM_BLOB, Bytes::Text, adLongVarWChar, adLongVarWChar, ValueForm::Text, adFldLong,
        0, 0},
    Row{"mediumblob", MYSQL_TYPE_MEDIUM_BLOB, Bytes::Binary, adLongVarBinary, adLongVarBinary, ValueForm::Binary,
        adFldLong, 0, 0},
    Row{"longtext", MYSQL_TYPE_LONG_BLOB, Bytes::Text, adLongVarWChar, adLongVarWChar, ValueForm::Text, adFldLong, 0,
        0},
    Row{"longblob", MYSQL_TYPE_LONG_BLOB, Bytes::Binary, adLongVarBinary, adLongVarBinary, ValueForm::Binary, adFldLong,
        0, 0},
    // MySQL's JSON comes with the binary character set, yet is text.
    Row{"json", MYSQL_TYPE_JSON, Bytes::Any, adLongVarWChar, adLongVarWChar, ValueForm::Text, adFldLong, 0, 0},
    Row{"enum", MYSQL_TYPE_ENUM, Bytes::Any, adWChar, adWChar, ValueForm::Text, 0, 0, 0},
    Row{"set", MYSQL_TYPE_SET, Bytes::Any, adWChar, adWChar, ValueForm::Text, 0, 0, 0},
    Row{"geometry", MYSQL_TYPE_GEOMETRY, Bytes::Any, adLongVarBinary, adLongVarBinary, ValueForm::Binary, adFldLong, 0,
        0},
    Row{"null", MYSQL_TYPE_NULL, Bytes::Any, adVarWChar, adVarWChar, ValueForm::Text, 0, 0, 0},
};

// Types the server knows that no result row above names; their values
// arrive as text (inet6, uuid, the geometry kinds arrive as geometry).
constexpr Row kOther{"", MYSQL_TYPE_NULL, Bytes::Any, adVarWChar, adVarWChar, ValueForm::Text, 0, 0, 0};

const Row& RowOf(enum_field_types type, bool binary) {
    for (const Row& r : kRows)
        if (r.type == type && (r.bytes == Bytes::Any || (r.bytes == Bytes::Binary) == binary)) return r;
    return kOther;
}

unsigned int BytesPerCharacter(unsigned int charsetnr) {
    const MARIADB_CHARSET_INFO* cs = mariadb_get_charset_by_nr(charsetnr);
    return cs && cs->char_maxlen > 0 ? cs->char_maxlen : 1;
}

// The text and blob types all arrive as MYSQL_TYPE_BLOB; their size tells which.
std::string_view BlobName(uint64_t units, bool binary) {
    if (units <= 255) return binary ? "tinyblob" : "tinytext";
    if (units <= 65535) return binary ? "blob" : "text";
    if (units <= 16777215) return binary ? "mediumblob" : "mediumtext";
    return binary ? "longblob" : "longtext";
}

using text::ReadWholeNumber;

}  // namespace

ColumnMapping MapField(const MYSQL_FIELD& field) {
    const bool binary = field.charsetnr == kBinaryCharset;
    const bool isUnsigned = (field.flags & UNSIGNED_FLAG) != 0;
    enum_field_types type = field.type;
    // ENUM and SET columns arrive as strings marked by a flag.
    if (type == MYSQL_TYPE_STRING && (field.flags & ENUM_FLAG)) type = MYSQL_TYPE_ENUM;
    if (type == MYSQL_TYPE_STRING && (field.flags & SET_FLAG)) type = MYSQL_TYPE_SET;
    const Row& row = RowOf(type, binary);

    ColumnMapping m;
    ColumnInfo& c = m.info;
    c.name.assign(field.name ? field.name : "", field.name_length);
    c.type = isUnsigned ? row.adoUnsigned : row.ado;
    c.attributes = row.attributes | ((field.flags & NOT_NULL_FLAG) ? 0 : adFldIsNullable | adFldMayBeNull);
    c.autoIncrement = (field.flags & AUTO_INCREMENT_FLAG) != 0;
    c.precision = c.scale = kNoPrecision;
    m.form = row.form;
    if (m.form == ValueForm::Int && isUnsigned && row.type == MYSQL_TYPE_LONGLONG) m.form = ValueForm::UInt;

    const uint64_t length = field.length;
    c.typeName = std::string(row.name);
    switch (m.form) {
        case ValueForm::Text:
        case ValueForm::Binary: {
            uint64_t units = m.form == ValueForm::Text ? length / BytesPerCharacter(field.charsetnr) : length;
            c.definedSize = static_cast<int64_t>(units);
            if (row.attributes & adFldLong && row.type != MYSQL_TYPE_JSON && row.type != MYSQL_TYPE_GEOMETRY)
                c.typeName = std::string(BlobName(units, binary));
            break;
        }
        case ValueForm::Bit:
            if (length > 1) {  // BIT(n) holds n bits in whole bytes
                c.type = adBinary;
                m.form = ValueForm::Binary;
                c.definedSize = static_cast<int64_t>((length + 7) / 8);
            } else {
                c.definedSize = 1;
            }
            break;
        case ValueForm::Decimal: {
            // The width counts the point and, when signed, the sign.
            int64_t digits = static_cast<int64_t>(length) - (field.decimals > 0 ? 1 : 0) - (isUnsigned ? 0 : 1);
            c.precision = static_cast<int32_t>(std::max<int64_t>(digits, 1));
            c.scale = static_cast<int32_t>(field.decimals);
            c.definedSize = c.precision + 2;
            break;
        }
        case ValueForm::DateTime:
        case ValueForm::Time:
            c.precision = static_cast<int32_t>(length);
            c.scale = static_cast<int32_t>(field.decimals);
            c.definedSize = static_cast<int64_t>(length);
            break;
        default:
            c.precision = isUnsigned && row.type == MYSQL_TYPE_LONGLONG ? 20 : row.precision;
            c.scale = 0;
            c.definedSize = row.octets;
            break;
    }
    const bool number = m.form == ValueForm::Int || m.form == ValueForm::UInt || m.form == ValueForm::Float ||
                        m.form == ValueForm::Double || m.form == ValueForm::Decimal;
    if (isUnsigned && number && row.type != MYSQL_TYPE_YEAR) c.typeName += " unsigned";
    // A type the server names itself (inet6, uuid, json as MariaDB marks it).
    MARIADB_CONST_STRING name{};
    if (mariadb_field_attr(&name, &field, MARIADB_FIELD_ATTR_DATA_TYPE_NAME) == 0 && name.length > 0)
        c.typeName.assign(name.str, name.length);
    return m;
}

int32_t AdoTypeOfDeclaration(std::string_view dataType, std::string_view declaration) {
    const bool isUnsigned = ContainsNoCase(declaration, "unsigned");
    for (const Row& r : kRows) {
        if (!EqualsNoCase(r.name, dataType)) continue;
        if (r.type == MYSQL_TYPE_BIT && !EqualsNoCase(Trim(declaration), "bit(1)") &&
            !EqualsNoCase(Trim(declaration), "bit"))
            return adBinary;
        return isUnsigned ? r.adoUnsigned : r.ado;
    }
    return kOther.ado;
}

ValueForm FormOfAdoType(int32_t adoType) {
    switch (adoType) {
        case adTinyInt:
        case adSmallInt:
        case adInteger:
        case adBigInt:
        case adUnsignedTinyInt:
        case adUnsignedSmallInt:
        case adUnsignedInt: return ValueForm::Int;
        case adUnsignedBigInt: return ValueForm::UInt;
        case adSingle: return ValueForm::Float;
        case adDouble: return ValueForm::Double;
        case adNumeric:
        case adDecimal:
        case adCurrency: return ValueForm::Decimal;
        case adBoolean: return ValueForm::Bit;
        case adDBDate:
        case adDBTimeStamp:
        case adDate: return ValueForm::DateTime;
        case adDBTime: return ValueForm::Time;
        case adBinary:
        case adVarBinary:
        case adLongVarBinary: return ValueForm::Binary;
        default: return ValueForm::Text;
    }
}

void StoreValue(ValueForm form, std::string_view text, Variant& v) {
    switch (form) {
        case ValueForm::Int: {
            int64_t i = 0;
            if (ReadWholeNumber(text, i)) return v.SetInt(i);
            break;
        }
        case ValueForm::UInt: {
            uint64_t u = 0;
            if (ReadWholeNumber(text, u)) return v.SetUInt(u);
            int64_t i = 0;  // an unsigned output parameter may still come back signed
            if (ReadWholeNumber(text, i)) return v.SetInt(i);
            break;
        }
        case ValueForm::Float: {
            float f = 0;
            if (ReadWholeNumber(text, f)) return v.SetDouble(static_cast<double>(f));
            break;
        }
        case ValueForm::Double: {
            double d = 0;
            if (ReadWholeNumber(text, d)) return v.SetDouble(d);
            break;
        }
        case ValueForm::Decimal: return v.SetDecimal(text);
        case ValueForm::Bit:
            if (text.size() == 1 && (text[0] == '\0' || text[0] == '\1')) return v.SetBool(text[0] == '\1');
            if (text::IsDigits(text)) return v.SetBool(text.find_first_not_of('0') != std::string_view::npos);
            return v.SetBinary(text);
        case ValueForm::Binary: return v.SetBinary(text);
        case ValueForm::DateTime:
        case ValueForm::Time: {
            DateTime d;
            if (ParseDateText(text, d)) return v.SetDate(d);
            break;
        }
        case ValueForm::Text: break;
    }
    // Text, and what no other form reads: as the server wrote it.
    v.SetText(text);
}

}  // namespace qarn::ado::mariadb
