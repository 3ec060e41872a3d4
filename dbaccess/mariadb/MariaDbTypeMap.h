#pragma once
// Which ADO type a MariaDB column or parameter is, and how the server's text
// form of a value becomes a Variant.  Every value arrives as the server
// writes it (the text protocol), so nothing is converted twice: numbers are
// read exactly, dates that are no calendar date (0000-00-00) and times
// beyond a day stay text as the server wrote them.

#include <mysql.h>

#include <cstdint>
#include <string_view>

#include "ado/Engine.h"
#include "ado/Variant.h"

namespace qarn::ado::mariadb {

// How the text of a value becomes a Variant.
enum class ValueForm : uint8_t {
    Int,       // signed digits, SetInt
    UInt,      // unsigned digits, SetUInt (Int when in the signed range)
    Float,     // FLOAT: read as a float and widened, as the column holds it
    Double,    // DOUBLE: the shortest text that reads back exactly
    Decimal,   // exact digits as they stand
    Bit,       // BIT(1): one byte (or digits, from a user variable), SetBool
    Text,      // UTF-8, every byte (NUL too)
    Binary,    // bytes
    DateTime,  // DATE, DATETIME, TIMESTAMP: SetDate when it reads as one, else text
    Time,      // TIME: SetDate on day zero within a day, else text (838:59:59, -01:00:00)
};

struct ColumnMapping {
    ColumnInfo info;
    ValueForm form = ValueForm::Text;
};

ColumnMapping MapField(const MYSQL_FIELD& field);

// A routine parameter's ADO type from information_schema.PARAMETERS:
// DATA_TYPE ("int") and DTD_IDENTIFIER ("int(10) unsigned", "bit(1)").
int32_t AdoTypeOfDeclaration(std::string_view dataType, std::string_view declaration);

// The form a value of an ADO type is read back in (output parameters).
ValueForm FormOfAdoType(int32_t adoType);

// Sets `v` from the server's text of a non-NULL value.
void StoreValue(ValueForm form, std::string_view text, Variant& v);

}  // namespace qarn::ado::mariadb
