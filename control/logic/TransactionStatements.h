#pragma once
// Statements that begin, end or mark a transaction.  A script replayed as
// one transaction may hold none: one COMMIT would make the rest of the run
// no longer all or nothing.

#include <string>
#include <string_view>

#include "sql/Dialect.h"

namespace qarn::control {

// The first transaction statement in `text` (one line of a script, which
// may hold several statements separated by ";"), as its opening words
// ("COMMIT", "START TRANSACTION"); empty when there is none.  A statement
// that creates a routine or trigger ends the search: its body's BEGIN and
// END are no transaction statements.
std::string FindTransactionStatement(std::string_view text, sql::Dialect dialect);

}  // namespace qarn::control
