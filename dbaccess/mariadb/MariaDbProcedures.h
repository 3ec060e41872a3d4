#pragma once
// Stored procedures and functions on MariaDB.
//
// Parameters come from information_schema.PARAMETERS: a function's return
// value first, then the parameters in order, with their directions and the
// ADO types their columns would read as.
//
// Calls travel as SQL text, values written as literals:
//   a function:   SELECT name(args), its one value the return value;
//   a procedure:  CALL name(args); its first result set, if any, is the
//                 command's cursor;
//   with OUT or INOUT parameters: one round trip of
//                 SET @qarn_out_N = value...; CALL name(..., @qarn_out_N, ...);
//                 SELECT @qarn_out_N...
//                 whose last row holds the outputs, read back whole (no
//                 buffer is sized from a declared length) and typed as the
//                 parameters are declared.  Result sets of such a call are
//                 read and dropped.

#include <string>
#include <vector>

#include "ado/Engine.h"

namespace qarn::ado::mariadb {

class Session;

std::vector<BoundParameter> ReadProcedureParameters(Session& session, const std::string& procName);
ExecuteResult CallRoutine(Session& session, const std::string& procName, std::vector<BoundParameter>& params,
                          int32_t timeoutSeconds);

}  // namespace qarn::ado::mariadb
