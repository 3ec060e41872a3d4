#pragma once
// The SQL flavours this system reads and writes: how a database quotes
// names and texts, writes literals and ends statements.

namespace qarn::sql {

enum class Dialect { Jet, SqlServer, PostgreSql, MySql, Sqlite, Ansi };

}  // namespace qarn::sql
