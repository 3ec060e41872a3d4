#pragma once
// A value in the C form the driver delivers it in, and the Variant it
// becomes; and the reader that takes one value of the current row with
// SQLGetData, of any length.

#include <sql.h>
#include <sqlext.h>

#include <cstddef>
#include <vector>

#include "ado/Variant.h"
#include "odbc/OdbcHandles.h"
#include "odbc/OdbcTypeMap.h"

namespace qarn::ado::odbc {

// The C type a value of the form is fetched or bound as.
SQLSMALLINT CTypeFor(ValueForm form);

// One value in its fixed-size C form.
union FixedValue {
    SQLINTEGER i32;
    SQLUINTEGER u32;
    SQLBIGINT i;
    SQLUBIGINT u;
    SQLREAL f;
    SQLDOUBLE d;
    SQL_TIMESTAMP_STRUCT ts;
};

// Whether the form travels as a FixedValue rather than as text or bytes.
bool IsFixed(ValueForm form);

DateTime FromStruct(const SQL_TIMESTAMP_STRUCT& ts);
SQL_TIMESTAMP_STRUCT ToStruct(const DateTime& d);

// Sets `v` from a value the driver delivered in `form`'s C type: the fixed
// forms as their C value, Text as UTF-16 units, Binary as bytes and the
// other forms as narrow text.
void StoreValue(ValueForm form, const void* data, size_t bytes, Variant& v);

// Reads column values with SQLGetData into buffers that grow to the
// largest value seen and are then reused.
class ValueReader {
public:
    explicit ValueReader(bool utf8Text = false) : utf8Text_(utf8Text) {}

    void Read(const Statement& stmt, SQLUSMALLINT column, ValueForm form, Variant& v);

private:
    bool utf8Text_;
    std::vector<SQLWCHAR> wide_;
    std::vector<char> narrow_;
    std::vector<char> bytes_;
};

}  // namespace qarn::ado::odbc
