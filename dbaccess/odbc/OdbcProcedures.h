#pragma once
// Stored procedures and functions: the parameters the driver's catalog
// lists for one, and the text that calls it.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ado/Engine.h"
#include "odbc/OdbcHandles.h"

namespace qarn::ado::odbc {

// A procedure's name split as the server reads it.
struct ProcName {
    std::optional<std::string> catalog, schema;
    std::string name;
};

// How a server reads "catalog.schema.name" (each part may be quoted with
// "", [] or ``): MySQL's one qualifier is the database; PostgreSQL folds
// unquoted names to lower case.
ProcName ResolveProcName(const std::string& procName, bool oneQualifierIsCatalog, bool foldsToLowerCase);

// The parameters SQLProcedureColumns lists on the new `stmt` for the procedure
// (the catalog and schema when given, the name as it is, its pattern
// characters escaped with `escape`), the return value first, then in the
// order of their ordinals.  The catalog's own rows of other procedures
// that the name matches as a pattern are left out.
std::vector<BoundParameter> CatalogParameters(std::unique_ptr<Statement> stmt,
                                              const std::optional<std::string>& catalog,
                                              const std::optional<std::string>& schema, const std::string& name,
                                              const std::string& escape);

enum class CallStyle {
    Escape,  // {? = call name(?)} or {call name(?)}
    Call,    // CALL name(?): PostgreSQL's procedures, which psqlodbc's escape turns into a SELECT
    Select,  // SELECT name(?): MariaDB's functions, which its driver cannot call by escape
};

std::string CallText(CallStyle style, const std::string& procName, size_t arguments, bool hasReturn);

// A query that has a row when PostgreSQL knows the name as a procedure
// rather than a function.
std::string PostgresProcedureQuery(const ProcName& target);

}  // namespace qarn::ado::odbc
