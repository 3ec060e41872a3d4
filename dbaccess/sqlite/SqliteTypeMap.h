#pragma once
// From a SQLite column's declared type ("VARCHAR(50)", "unsigned big int",
// "DECIMAL(10,2)", ...) to the ADO type, attributes and sizes a Field shows.
//
// SQLite is dynamically typed: the declared type is only a hint, and a
// value's storage class (not this mapping) decides how it is fetched.  The
// mapping tells callers what the column was meant to hold.
//
// Rules, matched without regard to case on the type name (the text before
// any parentheses, blanks collapsed):
//   - empty (an expression, or a column declared without a type) and ANY,
//     SQL_VARIANT: adVariant.  An expression's values can change storage
//     class from row to row, and knowing the first row's class would mean
//     reading ahead, so adVariant is the only sound answer; each value
//     still carries its own kind.
//   - names holding INT (SQLite's INTEGER affinity): BIG, INT8 or INT64
//     -> adBigInt; SMALLINT, INT2 -> adSmallInt; TINYINT, INT1 ->
//     adUnsignedTinyInt; any other -> adInteger.
//   - REAL, FLOAT, FLOAT(n), DOUBLE [PRECISION] -> adDouble (SQLite REAL is
//     8 bytes).  NUMERIC, DECIMAL, DEC, NUMBER -> adNumeric, precision and
//     scale from the parentheses (0 when not declared).  MONEY, SMALLMONEY,
//     CURRENCY -> adCurrency.
//   - CHAR(n), CHARACTER(n) -> adChar; NCHAR, NATIONAL CHAR[ACTER] ->
//     adWChar; VARCHAR, VARCHAR2, VARYING CHARACTER, CHAR[ACTER] VARYING ->
//     adVarChar; NVARCHAR, NATIVE CHARACTER, NATIONAL ... VARYING ->
//     adVarWChar; size n, 0 when not declared.  (MAX) makes them long.
//   - TEXT, CLOB, NTEXT, MEMO, [TINY|MEDIUM|LONG]TEXT, NCLOB, LONG VARCHAR
//     -> adLongVarWChar with adFldLong (SQLite text is Unicode).
//   - DATE -> adDBDate, TIME -> adDBTime, DATETIME, TIMESTAMP, DATETIME2,
//     SMALLDATETIME (and TIMESTAMP/TIME ... WITH TIME ZONE) -> adDBTimeStamp
//     (adDBTime).
//   - BOOLEAN, BOOL, BIT, YESNO, LOGICAL -> adBoolean.
//   - BLOB, TINYBLOB, MEDIUMBLOB, VARBINARY(MAX) -> adVarBinary, size 0
//     (unknown): SQLite users keep ordinary data in BLOB columns, and the
//     generator refuses long binary columns.  BINARY(n) -> adBinary,
//     VARBINARY(n) -> adVarBinary (size n).  IMAGE, LONGBLOB, LONG
//     VARBINARY -> adLongVarBinary with adFldLong.
//   - UNIQUEIDENTIFIER, GUID, UUID -> adGUID.
//   - anything else by SQLite's affinity rules: CHAR/CLOB/TEXT -> text
//     (adVarWChar size n when sized, else adLongVarWChar), BLOB ->
//     adVarBinary, REAL/FLOA/DOUB -> adDouble, else adNumeric (NUMERIC
//     affinity, e.g. "JSON" or "STRING").
// Fixed-length types carry adFldFixed and their ADO byte size as
// DefinedSize (adInteger 4, adDouble 8, adDBTimeStamp 16, ...).
// Nullability is not a property of the type; the engine adds it.

#include <cstdint>
#include <string_view>

namespace qarn::ado::sqlite {

struct MappedType {
    int32_t type = 0;         // ADO data type number
    int32_t attributes = 0;   // adFldFixed / adFldLong
    int64_t definedSize = 0;  // 0 when unknown
    int32_t precision = 0;
    int32_t scale = 0;
};

MappedType MapDeclaredType(std::string_view declared);

}  // namespace qarn::ado::sqlite
