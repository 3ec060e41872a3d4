#include "postgres/PgTypeMap.h"

#include "ado/DataTypes.h"

namespace qarn::ado::postgres {

namespace {

// A varlena header: type modifiers of sized types count it.
constexpr int kHeader = 4;
// Fractional second digits of a time or timestamp without a modifier.
constexpr int32_t kDefaultSecondDigits = 6;

struct Row {
    Oid oid;
    const char* name;
    int32_t type;
    int32_t attributes;
    int64_t size;
    int32_t precision;
    ValueForm form;
    bool textInput = true;
};

constexpr int32_t kFixed = adFldFixed;
constexpr int32_t kLong = adFldLong;

// Built-in types by their fixed OIDs (pg_type.dat); every other type is
// looked up in the catalog.
constexpr Row kRows[] = {
    {16, "bool", adBoolean, kFixed, 2, 0, ValueForm::Bool},
    {17, "bytea", adLongVarBinary, kLong, 0, 0, ValueForm::Bytea},
    {18, "char", adWChar, kFixed, 1, 0, ValueForm::Text},
    {19, "name", adVarWChar, 0, 63, 0, ValueForm::Text},
    {20, "int8", adBigInt, kFixed, 8, 19, ValueForm::Int},
    {21, "int2", adSmallInt, kFixed, 2, 5, ValueForm::Int},
    {22, "int2vector", adVarWChar, 0, 0, 0, ValueForm::Text},
    {23, "int4", adInteger, kFixed, 4, 10, ValueForm::Int},
    {24, "regproc", adVarWChar, 0, 0, 0, ValueForm::Text},
    {25, "text", adLongVarWChar, kLong, 0, 0, ValueForm::Text},
    {26, "oid", adVarWChar, 0, 10, 0, ValueForm::Text},
    {27, "tid", adVarWChar, 0, 0, 0, ValueForm::Text},
    {28, "xid", adVarWChar, 0, 10, 0, ValueForm::Text},
    {29, "cid", adVarWChar, 0, 10, 0, ValueForm::Text},
    {30, "oidvector", adVarWChar, 0, 0, 0, ValueForm::Text},
    {114, "json", adLongVarWChar, kLong, 0, 0, ValueForm::Text},
    {142, "xml", adLongVarWChar, kLong, 0, 0, ValueForm::Text},
    {194, "pg_node_tree", adLongVarWChar, kLong, 0, 0, ValueForm::Text, false},
    {3361, "pg_ndistinct", adLongVarWChar, kLong, 0, 0, ValueForm::Text, false},
    {3402, "pg_dependencies", adLongVarWChar, kLong, 0, 0, ValueForm::Text, false},
    {5017, "pg_mcv_list", adLongVarWChar, kLong, 0, 0, ValueForm::Text, false},
    {600, "point", adVarWChar, 0, 0, 0, ValueForm::Text},
    {650, "cidr", adVarWChar, 0, 0, 0, ValueForm::Text},
    {700, "float4", adSingle, kFixed, 4, 7, ValueForm::Float4},
    {701, "float8", adDouble, kFixed, 8, 15, ValueForm::Float8},
    {774, "macaddr8", adVarWChar, 0, 0, 0, ValueForm::Text},
    {790, "money", adCurrency, kFixed, 8, 19, ValueForm::Text},
    {829, "macaddr", adVarWChar, 0, 0, 0, ValueForm::Text},
    {869, "inet", adVarWChar, 0, 0, 0, ValueForm::Text},
    {1042, "bpchar", adWChar, kFixed, 0, 0, ValueForm::Text},
    {1043, "varchar", adVarWChar, 0, 0, 0, ValueForm::Text},
    {1082, "date", adDBDate, kFixed, 6, 0, ValueForm::DateTime},
    {1083, "time", adDBTime, kFixed, 6, 0, ValueForm::DateTime},
    {1114, "timestamp", adDBTimeStamp, kFixed, 16, 0, ValueForm::DateTime},
    {1184, "timestamptz", adDBTimeStamp, kFixed, 16, 0, ValueForm::Text},
    {1186, "interval", adVarWChar, 0, 0, 0, ValueForm::Text},
    {1266, "timetz", adDBTime, kFixed, 6, 0, ValueForm::Text},
    {1560, "bit", adVarWChar, 0, 0, 0, ValueForm::Text},
    {1562, "varbit", adVarWChar, 0, 0, 0, ValueForm::Text},
    {1700, "numeric", adNumeric, kFixed, 19, 0, ValueForm::Numeric},
    {2202, "regprocedure", adVarWChar, 0, 0, 0, ValueForm::Text},
    {2203, "regoper", adVarWChar, 0, 0, 0, ValueForm::Text},
    {2204, "regoperator", adVarWChar, 0, 0, 0, ValueForm::Text},
    {2205, "regclass", adVarWChar, 0, 0, 0, ValueForm::Text},
    {2206, "regtype", adVarWChar, 0, 0, 0, ValueForm::Text},
    {2950, "uuid", adGUID, kFixed, 16, 0, ValueForm::Guid},
    {3614, "tsvector", adLongVarWChar, kLong, 0, 0, ValueForm::Text},
    {3615, "tsquery", adLongVarWChar, kLong, 0, 0, ValueForm::Text},
    {3802, "jsonb", adLongVarWChar, kLong, 0, 0, ValueForm::Text},
    {4089, "regnamespace", adVarWChar, 0, 0, 0, ValueForm::Text},
    {4096, "regrole", adVarWChar, 0, 0, 0, ValueForm::Text},
    {5069, "xid8", adVarWChar, 0, 20, 0, ValueForm::Text},
};

const Row* Find(Oid oid) {
    for (const Row& r : kRows)
        if (r.oid == oid) return &r;
    return nullptr;
}

// Characters of varchar(n) and char(n).
void ApplyLength(MappedType& m, int typmod) {
    if (typmod >= kHeader) m.definedSize = typmod - kHeader;
}

// numeric(p,s): the scale is a signed 11-bit number since PostgreSQL 15.
void ApplyDigits(MappedType& m, int typmod) {
    if (typmod < kHeader) return;
    int packed = typmod - kHeader;
    m.precision = (packed >> 16) & 0xffff;
    m.scale = ((packed & 0x7ff) ^ 1024) - 1024;
}

}  // namespace

const char* KnownTypeName(Oid oid) {
    const Row* r = Find(oid);
    return r ? r->name : nullptr;
}

MappedType MapType(Oid oid, int typmod, const TypeFacts* facts) {
    MappedType m;
    if (const Row* r = Find(oid)) {
        m = {r->type, r->attributes, r->size, r->precision, 0, r->form, r->textInput};
        switch (oid) {
            case 1042:
            case 1043: ApplyLength(m, typmod); break;
            case 1700: ApplyDigits(m, typmod); break;
            case 1083:
            case 1114:
            case 1184:
            case 1266: m.scale = typmod >= 0 ? typmod : kDefaultSecondDigits; break;
            default: break;
        }
        return m;
    }
    // Arrays, extension types and anything unknown hold text of any length;
    // enums, ranges and composites are short values.
    const char kind = facts ? facts->kind : 'b';
    const bool shortText = kind == 'e' || kind == 'r' || kind == 'm' || kind == 'c';
    m.type = shortText ? adVarWChar : adLongVarWChar;
    m.attributes = shortText ? 0 : adFldLong;
    m.textInput = kind != 'p';
    return m;
}

}  // namespace qarn::ado::postgres
