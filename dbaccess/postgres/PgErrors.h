#pragma once
// How PostgreSQL's failures become provider errors: one record each, with
// Number E_FAIL, the SQLSTATE, and a one-line Description
// "ERROR: message DETAIL: detail HINT: hint" (the severity word is the
// server's own: FATAL when it ends the session).  Failures libpq itself
// reports (a lost connection, a refused connect) keep libpq's text, made
// one line, under SQLSTATE 08006 (08001 when connecting).

#include <libpq-fe.h>

#include <string>
#include <string_view>

#include "ado/AdoError.h"

namespace qarn::ado::postgres {

// SQLSTATEs of the failures this engine names itself.
namespace state {
constexpr const char* ConnectFailed = "08001";
constexpr const char* ConnectionLost = "08006";
constexpr const char* Syntax = "42601";
constexpr const char* FeatureNotSupported = "0A000";
constexpr const char* InFailedTransaction = "25P02";
constexpr const char* QueryCanceled = "57014";
constexpr const char* General = "HY000";
}  // namespace state

// Newlines and tabs become single blanks; leading and trailing blanks go.
std::string OneLine(std::string_view text);

// The record of a failed result; `conn` supplies libpq's own message when
// the result carries none.
ErrorRecord RecordOf(const PGresult* result, const PGconn* conn);
// The record of a failure libpq reports on the connection.
ErrorRecord ConnectionRecord(const PGconn* conn, const char* sqlState);

[[noreturn]] void Raise(ErrorRecord record);
[[noreturn]] void Raise(const char* sqlState, std::string description);

}  // namespace qarn::ado::postgres
