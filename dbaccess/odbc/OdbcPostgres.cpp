#include "odbc/OdbcPostgres.h"

#include "sql/SqlLexer.h"

namespace qarn::ado::odbc {

namespace {
constexpr std::string_view kAlias = "qarn_q";

// "c1, c2, ...": the names the body's columns get by their places, so that
// duplicate or odd names cannot get in the way.
std::string PositionalNames(size_t columns) {
    std::string names;
    for (size_t i = 1; i <= columns; ++i) names += (i > 1 ? ", c" : "c") + std::to_string(i);
    return names;
}

std::string Subquery(std::string_view body, size_t columns) {
    std::string text = "(\n";
    text += body;
    text += "\n) AS ";
    text += kAlias;
    if (columns) text += "(" + PositionalNames(columns) + ")";
    return text;
}

std::string Column(size_t i) {
    return std::string(kAlias) + ".c" + std::to_string(i);
}
}  // namespace

const char* const kPostgresExactSettings =
    "SET extra_float_digits = 3; SET DateStyle = ISO; SET IntervalStyle = postgres; SET bytea_output = hex";

std::optional<std::string_view> PostgresQueryBody(std::string_view sql) {
    sql::Lexer lexer(sql, sql::Dialect::PostgreSql);
    sql::Token first = lexer.Next();
    const bool with = lexer.IsWord(first, "WITH");
    if (!with && !lexer.IsWord(first, "SELECT") && !lexer.IsWord(first, "VALUES") && !lexer.IsWord(first, "TABLE") &&
        !lexer.IsSymbol(first, '('))
        return std::nullopt;
    size_t end = first.end;
    bool ended = false;  // a ";" was seen: only more of them may follow
    for (sql::Token t = lexer.Next(); t.kind != sql::TokenKind::End; t = lexer.Next()) {
        if (t.kind == sql::TokenKind::Unterminated) return std::nullopt;
        if (lexer.IsSymbol(t, ';')) {
            ended = true;
            continue;
        }
        if (ended) return std::nullopt;
        // SELECT INTO makes a table, and a WITH may change data: neither can
        // stand in a subquery.
        if (lexer.IsWord(t, "INTO")) return std::nullopt;
        if (with && (lexer.IsWord(t, "INSERT") || lexer.IsWord(t, "UPDATE") || lexer.IsWord(t, "DELETE") ||
                     lexer.IsWord(t, "MERGE")))
            return std::nullopt;
        end = t.end;
    }
    return sql.substr(0, end);
}

std::string PostgresShapeQuery(std::string_view body) {
    return "SELECT * FROM " + Subquery(body, 0) + " LIMIT 0";
}

std::string PostgresTypeQuery(std::string_view body, size_t columns) {
    // Joined on false, the body is planned but never run, and its one row of
    // nulls still carries the column types.
    std::string types;
    for (size_t i = 1; i <= columns; ++i)
        types += (i > 1 ? ", (" : "(") + std::to_string(i) + ", pg_catalog.pg_typeof(" + Column(i) + ")::oid)";
    return "WITH RECURSIVE qarn_types(i, t) AS (SELECT c.i, c.t FROM (SELECT 1) AS qarn_one LEFT JOIN " +
           Subquery(body, columns) + " ON false CROSS JOIN LATERAL (VALUES " + types +
           ") AS c(i, t) UNION ALL SELECT qarn_types.i, pg_type.typbasetype FROM qarn_types JOIN pg_catalog.pg_type "
           "ON pg_type.oid = qarn_types.t WHERE pg_type.typtype = 'd') "
           "SELECT qarn_types.i, pg_type.typname, pg_type.typtype FROM qarn_types JOIN pg_catalog.pg_type "
           "ON pg_type.oid = qarn_types.t WHERE pg_type.typtype <> 'd' ORDER BY qarn_types.i";
}

std::string PostgresReadingQuery(std::string_view body, const std::vector<std::string_view>& casts) {
    std::string list;
    for (size_t i = 1; i <= casts.size(); ++i) {
        if (i > 1) list += ", ";
        const std::string_view cast = casts[i - 1];
        list += cast.empty() ? Column(i) : "CAST(" + Column(i) + " AS " + std::string(cast) + ")";
    }
    return "SELECT " + list + " FROM " + Subquery(body, casts.size());
}

}  // namespace qarn::ado::odbc
