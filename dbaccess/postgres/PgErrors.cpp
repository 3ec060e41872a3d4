#include "postgres/PgErrors.h"

namespace qarn::ado::postgres {

std::string OneLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool blank = false;
    for (char c : text) {
        if (c == '\n' || c == '\r' || c == '\t' || c == ' ') {
            blank = !out.empty();
            continue;
        }
        if (blank) out.push_back(' ');
        blank = false;
        out.push_back(c);
    }
    return out;
}

namespace {
std::string Field(const PGresult* result, int code) {
    const char* text = PQresultErrorField(result, code);
    return text ? OneLine(text) : std::string();
}
}  // namespace

ErrorRecord RecordOf(const PGresult* result, const PGconn* conn) {
    std::string primary = result ? Field(result, PG_DIAG_MESSAGE_PRIMARY) : std::string();
    if (primary.empty()) {
        // libpq's own failure (the connection went away): no fields, only text.
        std::string text = result ? OneLine(PQresultErrorMessage(result)) : std::string();
        if (text.empty()) text = OneLine(PQerrorMessage(conn));
        if (text.empty()) text = "the server sent no answer";
        bool lost = PQstatus(conn) == CONNECTION_BAD;
        std::string sqlState = result ? Field(result, PG_DIAG_SQLSTATE) : std::string();
        if (sqlState.empty()) sqlState = lost ? state::ConnectionLost : state::General;
        return {err::ProviderFailure, text, sqlState};
    }
    std::string severity = Field(result, PG_DIAG_SEVERITY_NONLOCALIZED);
    if (severity.empty()) severity = "ERROR";
    std::string description = severity + ": " + primary;
    if (std::string detail = Field(result, PG_DIAG_MESSAGE_DETAIL); !detail.empty())
        description += " DETAIL: " + detail;
    if (std::string hint = Field(result, PG_DIAG_MESSAGE_HINT); !hint.empty()) description += " HINT: " + hint;
    return {err::ProviderFailure, description, Field(result, PG_DIAG_SQLSTATE)};
}

ErrorRecord ConnectionRecord(const PGconn* conn, const char* sqlState) {
    std::string text = conn ? OneLine(PQerrorMessage(conn)) : std::string();
    if (text.empty()) text = "the connection to the PostgreSQL server ended unexpectedly";
    return {err::ProviderFailure, text, sqlState};
}

void Raise(ErrorRecord record) {
    throw ProviderError({std::move(record)});
}

void Raise(const char* sqlState, std::string description) {
    Raise(ErrorRecord{err::ProviderFailure, std::move(description), sqlState});
}

}  // namespace qarn::ado::postgres
