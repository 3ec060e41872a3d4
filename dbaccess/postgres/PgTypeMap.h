#pragma once
// From a PostgreSQL type (its OID and modifier) to the ADO type, attributes
// and sizes a Field shows, and the form its text values are read in.
//
//   int2, int4, int8         adSmallInt, adInteger, adBigInt      Int
//   float4, float8           adSingle, adDouble                   Double
//   numeric(p,s)             adNumeric, precision p, scale s      Decimal ("NaN", "Infinity" stay Text)
//   money                    adCurrency                           Text, the server's own form
//   bool                     adBoolean                            Boolean
//   bytea                    adLongVarBinary (long)               Binary
//   text, varchar(n), bpchar(n), name, "char"
//                            adLongVarWChar, adVarWChar, adWChar  Text
//   date, time, timestamp    adDBDate, adDBTime, adDBTimeStamp    Date when ParseDateText reads
//                                                                 the text, else Text (BC, infinity,
//                                                                 years past 9999)
//   timestamptz, timetz      adDBTimeStamp, adDBTime              Text with its offset
//   uuid                     adGUID                               Guid
//   oid, xid, cid, reg*, tid, interval, bit strings, network, geometric, json,
//   xml, tsvector, arrays, ranges, enums, composites and other types
//                            adVarWChar or adLongVarWChar         Text, exactly as the server wrote it
// The integers that are no SQL integers (oid, xid, ...) stay text because
// only a quoted literal reads back into them.  Domains arrive as their base
// type.  pg_node_tree, pg_ndistinct, pg_dependencies, pg_mcv_list and the
// pseudo-types (record, anyarray, ...) cannot be read back from any text.
// Fixed-length types carry adFldFixed and ADO's byte size as DefinedSize;
// text sizes are characters, 0 when unbounded.

#include <libpq-fe.h>

#include <cstdint>
#include <string>

namespace qarn::ado::postgres {

enum class ValueForm : uint8_t { Int, Float4, Float8, Numeric, Bool, Bytea, Text, DateTime, Guid };

// What the catalog says of a type this map does not know by its OID.
struct TypeFacts {
    std::string name;
    char kind = 'b';      // pg_type.typtype: b base, c composite, d domain, e enum, p pseudo, r range, m multirange
    char category = 'U';  // pg_type.typcategory: A array, ...
};

struct MappedType {
    int32_t type = 0;
    int32_t attributes = 0;
    int64_t definedSize = 0;
    int32_t precision = 0;
    int32_t scale = 0;
    ValueForm form = ValueForm::Text;
    bool textInput = true;
};

// The name of a type this map knows by its OID, or nullptr.
const char* KnownTypeName(Oid oid);
// `facts` is used (and may be null) only for a type not known by its OID.
MappedType MapType(Oid oid, int typmod, const TypeFacts* facts);

}  // namespace qarn::ado::postgres
