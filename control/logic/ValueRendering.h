#pragma once
// How a field's name and current value are written into an INSERT statement
// for the database that will run the script.  Values are appended to the
// caller's buffer: the generator writes millions of them and reuses one line.

#include <cstdint>
#include <string>
#include <string_view>

#include "ado/Recordset.h"
#include "sql/Dialect.h"

namespace qarn::control {

// The SQL flavour a script is written in.
using sql::Dialect;

// The product the connection reports decides when it is one we know (an
// SQLite file behind a Jet connection string gets SQLite literals); failing
// that kind 0 is Jet, kind 1 SQL Server (a connection string without a
// Provider entry counts as one) and the other kinds (2 and 5) get plain
// ANSI SQL.
Dialect ChooseDialect(int32_t serverKind, std::string_view dbmsName);

// Whether a field's values can be written as a literal at all: row versions,
// arrays, object references and long binary fields cannot.
// The dialect's name as users know it ("SQL Server", "PostgreSQL", ...).
std::string_view DialectName(Dialect dialect);
// The dialect a user names: sqlite, postgresql, mysql (or mariadb),
// sqlserver, jet or ansi, in any case; false for anything else.
bool ParseDialect(std::string_view name, Dialect& dialect);
// The name ParseDialect reads for the dialect.
std::string_view DialectKeyword(Dialect dialect);

bool IsSupportedField(const ado::Field& field);

// Whether the provider reports the field as auto-increment; false when it
// cannot tell.
bool IsAutoIncrementField(const ado::Field& field);

// A column's name, quoted for the dialect.
void AppendQuotedName(std::string& out, std::string_view name, Dialect dialect);
void AppendFieldName(std::string& out, const ado::Field& field, Dialect dialect);

// The SQL literal of the field's current value.  The literal never holds a
// line break (scripts are replayed line by line) and reads back as exactly
// the value that was read; a value the dialect has no literal for (NaN on
// SQL Server) raises ado::AdoError rather than become another value.
void AppendFieldValue(std::string& out, const ado::Field& field, Dialect dialect);

// TRUE or FALSE as the dialect writes them.
void AppendBooleanLiteral(std::string& out, bool value, Dialect dialect);

std::string FormatFieldName(const ado::Field& field, Dialect dialect);
std::string FormatFieldValue(const ado::Field& field, Dialect dialect);

}  // namespace qarn::control
