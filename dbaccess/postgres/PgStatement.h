#pragma once
// One statement through the extended protocol, which refuses text holding
// several statements.  The statement is first described (parsed, in one
// round trip), so that the catalog facts its columns need are asked for
// before its rows start to stream; then it runs in single-row mode.
//
// A statement with columns gives a cursor (streaming until its last row);
// any other runs to its end and gives the rows it changed.  Blank text and
// COPY with the client fail with a provider error.

#include <memory>
#include <string>
#include <vector>

#include "ado/Engine.h"
#include "postgres/PgValues.h"

namespace qarn::ado::postgres {

class Session;

// `cancelOnClose`: closing the cursor early may cancel the statement
// (it only reads) rather than read its remaining rows.
ExecuteResult RunStatement(const std::shared_ptr<Session>& session, const std::string& sql,
                           const std::vector<ParameterValue>& params, int32_t timeoutSeconds, bool cancelOnClose);

}  // namespace qarn::ado::postgres
