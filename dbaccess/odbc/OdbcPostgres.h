#pragma once
// The SQL the ODBC engine sends PostgreSQL around a query so that every
// value arrives exactly: psqlodbc names few types, and writes dates and
// times in a format of its own, so the engine asks the server for the
// types of a query's columns and has it convert the ones the driver would
// change into text first.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qarn::ado::odbc {

// Settings under which the server writes every value as exactly as its
// input reads it back: shortest exact floats, ISO dates (the order of day
// and month left as it is), intervals as they are read, bytea in hex.
extern const char* const kPostgresExactSettings;

// The text of `sql` up to its last token when it is one statement that a
// subquery can hold (SELECT, VALUES, TABLE, or WITH without data changes);
// nothing when it is any other statement or more than one.
std::optional<std::string_view> PostgresQueryBody(std::string_view sql);

// No rows, the body's columns with their names and attributes.
std::string PostgresShapeQuery(std::string_view body);

// One row per column of the body, which has `columns` of them, in order:
// its position from 1, the name of its type in pg_type and the kind of
// that type (typtype), domains resolved to their base types.  The body
// itself does not run.
std::string PostgresTypeQuery(std::string_view body, size_t columns);

// The body's rows, each column converted to the type named in `casts`
// where that is not empty.
std::string PostgresReadingQuery(std::string_view body, const std::vector<std::string_view>& casts);

}  // namespace qarn::ado::odbc
