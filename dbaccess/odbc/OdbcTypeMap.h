#pragma once
// Which ADO type an ODBC column or parameter type is, and in what form its
// values travel between the driver and a Variant.

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace qarn::ado::odbc {

// SQL Server's time(n), which its drivers report outside the ODBC range.
constexpr SQLSMALLINT kSqlServerTime = -154;

// The C form a value is fetched or bound in, and the Variant it becomes.
enum class ValueForm : uint8_t {
    Int32,       // SQL_C_SLONG, SetInt (MDBTools has no SQL_C_SBIGINT)
    UInt32,      // SQL_C_ULONG, SetInt
    Int64,       // SQL_C_SBIGINT, SetInt
    UInt64,      // SQL_C_UBIGINT, SetUInt
    Single,      // SQL_C_FLOAT widened to SetDouble
    SingleText,  // text read as a float and widened: psqlodbc rounds a float4 through a double
    Double,      // SQL_C_DOUBLE
    Decimal,     // text, SetDecimal with plain digits
    Currency,    // text, SetCurrency with plain digits
    Bit,         // a number, SetBool
    Text,        // SQL_C_WCHAR, SetText
    Binary,      // SQL_C_BINARY, SetBinary
    Timestamp,   // SQL_C_TYPE_TIMESTAMP, SetDate
    DateText,    // text (keeps fractions the time struct drops), SetDate when it is a date or time of
                 // day (a time on day zero), else SetText: MariaDB's zero dates and long times
    Guid,        // text, SetGuid
};

struct TypeMapping {
    int32_t adoType = 0;
    int32_t attributes = 0;  // adFldLong, adFldRowVersion
    ValueForm form = ValueForm::Text;
};

// `sqlType` as SQLDescribeCol or SQLProcedureColumns report it, `typeName`
// the driver's name for it (SQL_DESC_TYPE_NAME).  Types we do not know
// travel as text.
TypeMapping MapSqlType(SQLSMALLINT sqlType, bool isUnsigned, std::string_view typeName);

// How a PostgreSQL column is read, by its type's name in pg_type and its
// kind there (typtype; domains resolved to their base type).  Only types
// whose C form the driver delivers exactly keep it; every other value is
// read as the server's own text, which the type's input reads back.
struct PostgresReading {
    ValueForm form = ValueForm::Text;
    // The type the query converts the column to before the driver sees it,
    // where the driver would rewrite the value; empty when none.
    std::string_view cast;
    int32_t adoType = 0;  // 0: the type the driver reports
    // False where no text reads back as the value (pg_node_tree, the
    // statistics types and pseudo-types).
    bool textInput = true;
};
PostgresReading ReadPostgresType(std::string_view typeName, char typeKind);

// adFldIsNullable and adFldMayBeNull as the column's nullability allows.
int32_t NullableAttributes(SQLSMALLINT nullable);

// The ODBC type a parameter of an ADO type is bound as; SQL_UNKNOWN_TYPE
// when the ADO type says nothing (adEmpty, adVariant), and the value decides.
struct BindingType {
    SQLSMALLINT sqlType = SQL_UNKNOWN_TYPE;
    ValueForm form = ValueForm::Text;
};
BindingType SqlTypeForAdo(int32_t adoType);

// Appends a driver's number text as plain digits: optional '-', digits, and
// '.' with the fraction digits as given; exponents are expanded and a ','
// separator becomes '.'.  False (nothing appended) when the text is not a
// finite number, such as "NaN".
bool AppendPlainDecimal(std::string& out, std::string_view text);

}  // namespace qarn::ado::odbc
