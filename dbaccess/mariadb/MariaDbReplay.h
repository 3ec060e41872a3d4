#pragma once
// A replay that sends many statements per round trip, for a script run
// inside an open transaction.  Statements are joined into one
// multi-statement text (at most kMaxStatements of them, and well under the
// server's max_allowed_packet); the server stops such a text at its first
// failing statement, so the statement that failed is found by counting
// results, and nothing after it has run.
//
// Only a text that reads as one complete statement is joined: no
// unterminated literal or comment, no ';' but a last one, no DELIMITER,
// CALL or EXECUTE (which answer with more than one result), no executable
// comment (/*! */, which the server runs but a reader skips), and no
// backslash where the server takes it literally.  Any other text ends the
// batch and runs alone.

#include <cstdint>
#include <memory>
#include <string_view>

#include "ado/Engine.h"

namespace qarn::ado::mariadb {

class Session;

std::unique_ptr<EngineReplay> MakeBatchReplay(std::shared_ptr<Session> session, int32_t timeoutSeconds);

// The part of `sql` to join with others, without its closing ';'; false
// when the text must run alone.  `backslashLiteral`: the server takes '\'
// literally (NO_BACKSLASH_ESCAPES).
bool JoinableStatement(std::string_view sql, bool backslashLiteral, std::string_view& body);

}  // namespace qarn::ado::mariadb
