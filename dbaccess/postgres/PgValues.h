#pragma once
// Values in PostgreSQL's text form, both ways: a column's text into a
// Variant (see PgTypeMap.h for the kind each form gives) and a parameter's
// Variant into the text the server reads.  Every conversion is exact; a
// text that does not read as its form stays Text rather than lose anything.
//
// The session runs with DateStyle ISO, extra_float_digits 3 and
// bytea_output hex, which these readers expect (bytea's escape output is
// read too).  Numbers are read without regard to the C locale.

#include <string>
#include <string_view>

#include "ado/Engine.h"
#include "postgres/PgTypeMap.h"

namespace qarn::ado::postgres {

void DecodeValue(ValueForm form, std::string_view text, Variant& v);

// One parameter as it travels: NULL, text, or bytes (bytea, sent binary).
struct ParameterValue {
    bool isNull = true;
    bool binary = false;
    std::string data;
};

// The value of an input parameter, read as its declared ADO type (or as its
// own kind where the type says nothing).  Raises AdoError BadArguments
// naming the parameter when the value is no such type, as the ODBC engine does.
ParameterValue EncodeParameter(const BoundParameter& p);

}  // namespace qarn::ado::postgres
