#include "postgres/PgCatalog.h"

#include <algorithm>
#include <cstdlib>

#include "ado/DataTypes.h"
#include "postgres/PgHandles.h"

namespace qarn::ado::postgres {

namespace {

constexpr const char* kTypeQuery =
    "SELECT oid, typname, typtype, typcategory FROM pg_catalog.pg_type WHERE oid = ANY($1::pg_catalog.oid[])";

constexpr const char* kColumnQuery =
    "SELECT a.attrelid, a.attnum, a.attnotnull, a.attidentity <> '' OR "
    "coalesce(pg_catalog.pg_get_expr(d.adbin, d.adrelid) LIKE 'nextval(%', false) "
    "FROM pg_catalog.pg_attribute a LEFT JOIN pg_catalog.pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum "
    "WHERE a.attrelid = ANY($1::pg_catalog.oid[]) AND a.attnum > 0 AND NOT a.attisdropped";

// "{1,2,3}": an oid[] literal.
std::string ArrayText(const std::vector<Oid>& oids) {
    std::string text = "{";
    for (size_t i = 0; i < oids.size(); ++i) text += (i ? "," : "") + std::to_string(oids[i]);
    return text + "}";
}

// Runs one catalog query over `oids`; null when it fails.
ResultHandle Ask(PGconn* conn, const char* sql, const std::vector<Oid>& oids) {
    std::string array = ArrayText(oids);
    const char* values[] = {array.c_str()};
    ResultHandle r(PQexecParams(conn, sql, 1, nullptr, values, nullptr, nullptr, 0));
    if (!r || PQresultStatus(r.get()) != PGRES_TUPLES_OK) return nullptr;
    return r;
}

Oid OidAt(const PGresult* r, int row, int column) {
    return static_cast<Oid>(std::strtoul(PQgetvalue(r, row, column), nullptr, 10));
}

bool TrueAt(const PGresult* r, int row, int column) {
    return PQgetvalue(r, row, column)[0] == 't';
}

void AddOnce(std::vector<Oid>& oids, Oid oid) {
    if (std::find(oids.begin(), oids.end(), oid) == oids.end()) oids.push_back(oid);
}

}  // namespace

void Catalog::LearnTypes(PGconn* conn, const std::vector<Oid>& oids) {
    std::vector<Oid> missing;
    for (Oid oid : oids)
        if (!KnownTypeName(oid) && !types_.count(oid)) AddOnce(missing, oid);
    if (missing.empty()) return;
    ResultHandle r = Ask(conn, kTypeQuery, missing);
    if (!r) return;
    for (int row = 0; row < PQntuples(r.get()); ++row) {
        TypeFacts& facts = types_[OidAt(r.get(), row, 0)];
        facts.name = PQgetvalue(r.get(), row, 1);
        facts.kind = PQgetvalue(r.get(), row, 2)[0];
        facts.category = PQgetvalue(r.get(), row, 3)[0];
    }
}

void Catalog::Learn(PGconn* conn, const PGresult* described) {
    const int n = PQnfields(described);
    std::vector<Oid> typeOids, tables;
    for (int i = 0; i < n; ++i) {
        typeOids.push_back(PQftype(described, i));
        Oid table = PQftable(described, i);
        if (table != InvalidOid && !tables_.count(table)) AddOnce(tables, table);
    }
    LearnTypes(conn, typeOids);
    if (tables.empty()) return;
    ResultHandle r = Ask(conn, kColumnQuery, tables);
    if (!r) return;
    for (Oid table : tables) tables_[table];  // known now, even with no columns found
    for (int row = 0; row < PQntuples(r.get()); ++row) {
        ColumnFacts& facts = tables_[OidAt(r.get(), row, 0)][std::atoi(PQgetvalue(r.get(), row, 1))];
        facts.notNull = TrueAt(r.get(), row, 2);
        facts.autoIncrement = TrueAt(r.get(), row, 3);
    }
}

MappedType Catalog::Map(Oid oid, int typmod) const {
    auto found = types_.find(oid);
    return MapType(oid, typmod, found == types_.end() ? nullptr : &found->second);
}

void Catalog::Describe(const PGresult* result, std::vector<ColumnInfo>& columns, std::vector<ValueForm>& forms) const {
    const int n = PQnfields(result);
    columns.assign(static_cast<size_t>(n), ColumnInfo{});
    forms.assign(static_cast<size_t>(n), ValueForm::Text);
    for (int i = 0; i < n; ++i) {
        ColumnInfo& c = columns[static_cast<size_t>(i)];
        const Oid oid = PQftype(result, i);
        const MappedType m = Map(oid, PQfmod(result, i));
        c.name = PQfname(result, i);
        c.type = m.type;
        c.attributes = m.attributes;
        c.definedSize = m.definedSize;
        c.precision = m.precision;
        c.scale = m.scale;
        c.textInput = m.textInput;
        forms[static_cast<size_t>(i)] = m.form;
        if (const char* known = KnownTypeName(oid)) {
            c.typeName = known;
        } else if (auto t = types_.find(oid); t != types_.end()) {
            c.typeName = t->second.name;
        }

        const ColumnFacts* facts = nullptr;
        if (auto t = tables_.find(PQftable(result, i)); t != tables_.end()) {
            if (auto f = t->second.find(PQftablecol(result, i)); f != t->second.end()) facts = &f->second;
        }
        if (!facts) {
            c.attributes |= adFldMayBeNull;  // an expression: it may be NULL
            continue;
        }
        if (!facts->notNull) c.attributes |= adFldIsNullable | adFldMayBeNull;
        c.autoIncrement = facts->autoIncrement;
    }
}

}  // namespace qarn::ado::postgres
