#pragma once
// Functions and procedures, from pg_proc.
//
// Parameters: a function that returns one value (not a set, no OUT
// parameters, not void) lists RETURN_VALUE first; then every argument in
// order, IN as adParamInput (VARIADIC too), OUT as adParamOutput, INOUT as
// adParamInputOutput.  TABLE columns are result columns, not parameters.
// An argument without a name is named by its position ("$2").  Of several
// functions of one name the oldest is described.  An unknown name gives
// no parameters.
//
// Calls: a procedure runs as CALL name(args), its OUT arguments passed as
// NULL and its OUT and INOUT values read back from the row CALL returns; a
// function with a return value as SELECT name(args); any other function as
// SELECT * FROM name(args), whose row fills the OUT and INOUT parameters,
// or whose rows come back as a cursor when it has none (a set-returning
// function).  Arguments travel as text the server converts to the declared
// types (bytes as bytea); output values of any length come back whole.

#include <memory>
#include <string>
#include <vector>

#include "ado/Engine.h"

namespace qarn::ado::postgres {

class Session;

std::vector<BoundParameter> ProcedureParameters(Session& session, const std::string& procName);
ExecuteResult CallProcedure(const std::shared_ptr<Session>& session, const std::string& procName,
                            std::vector<BoundParameter>& params, int32_t timeoutSeconds);

}  // namespace qarn::ado::postgres
