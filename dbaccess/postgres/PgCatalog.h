#pragma once
// What the catalog tells about result columns, asked once per connection:
// the names and kinds of types not known by their OID, and for columns read
// straight from a table whether they are NOT NULL and whether the table
// numbers them itself (an identity column, or a default of nextval(...)
// as serial gives).  Columns of expressions keep nullability and
// auto-increment unknown.
//
// The cache lives as long as the connection: a table altered afterwards
// (an identity added to an existing column) keeps what was first learned.

#include <libpq-fe.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "ado/Engine.h"
#include "postgres/PgTypeMap.h"

namespace qarn::ado::postgres {

class Catalog {
public:
    // Asks the server what the columns of `described` need and the cache
    // lacks.  Runs queries on `conn`, which must be idle.  A lookup that
    // fails leaves the facts unknown.
    void Learn(PGconn* conn, const PGresult* described);
    void LearnTypes(PGconn* conn, const std::vector<Oid>& oids);

    // The columns of a result and the form each one's values are read in.
    void Describe(const PGresult* result, std::vector<ColumnInfo>& columns, std::vector<ValueForm>& forms) const;

    MappedType Map(Oid oid, int typmod) const;

private:
    struct ColumnFacts {
        bool notNull = false;
        bool autoIncrement = false;
    };
    using TableFacts = std::unordered_map<int, ColumnFacts>;  // by attribute number

    std::unordered_map<Oid, TypeFacts> types_;
    std::unordered_map<Oid, TableFacts> tables_;
};

}  // namespace qarn::ado::postgres
