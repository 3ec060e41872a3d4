#include "postgres/PgProcedures.h"

#include <cstdlib>
#include <optional>

#include "ado/ConnectionString.h"
#include "ado/DataTypes.h"
#include "postgres/PgSession.h"
#include "postgres/PgStatement.h"
#include "postgres/PgValues.h"
#include "sql/SqlLexer.h"

namespace qarn::ado::postgres {

namespace {

constexpr Oid kVoidOid = 2278;

// One row per argument (none for a routine without any); no row when the
// name is unknown.  $1 the name, $2 the schema or NULL for the search path.
constexpr const char* kRoutineQuery =
    "WITH r AS (SELECT p.prokind, p.proretset, p.prorettype, p.proargnames, p.proargmodes, "
    "coalesce(p.proallargtypes, p.proargtypes::pg_catalog.oid[]) AS types FROM pg_catalog.pg_proc p "
    "WHERE p.proname = $1 AND CASE WHEN $2::text IS NULL THEN pg_catalog.pg_function_is_visible(p.oid) "
    "ELSE p.pronamespace = (SELECT n.oid FROM pg_catalog.pg_namespace n WHERE n.nspname = $2) END "
    "ORDER BY p.oid LIMIT 1) "
    "SELECT r.prokind, r.proretset, r.prorettype, a.ord, coalesce(r.proargnames[a.ord], ''), "
    "coalesce(r.proargmodes[a.ord]::text, 'i'), a.type "
    "FROM r LEFT JOIN LATERAL unnest(r.types) WITH ORDINALITY AS a(type, ord) ON true ORDER BY a.ord";

struct Argument {
    std::string name;
    char mode = 'i';
    Oid type = 0;
};

struct Routine {
    bool found = false;
    char kind = 'f';
    bool returnsSet = false;
    Oid returnType = kVoidOid;
    std::vector<Argument> arguments;

    bool HasOutputs() const {
        for (const Argument& a : arguments)
            if (a.mode == 'o' || a.mode == 'b' || a.mode == 't') return true;
        return false;
    }
    // A function giving one value: the call's return value.
    bool ReturnsValue() const { return kind == 'f' && !returnsSet && !HasOutputs() && returnType != kVoidOid; }
};

// "name", "schema.name", "Quoted"."Name": unquoted parts fold to lower case,
// as the server folds them.
std::vector<std::string> NameParts(const std::string& procName) {
    std::vector<std::string> parts;
    sql::Lexer lexer(procName, sql::Dialect::PostgreSql);
    for (sql::Token t = lexer.Next(); t.kind != sql::TokenKind::End; t = lexer.Next()) {
        if (t.kind == sql::TokenKind::Word)
            parts.push_back(ToLower(lexer.Text(t)));
        else if (t.kind == sql::TokenKind::QuotedName)
            parts.push_back(sql::UnquoteName(lexer.Text(t)));
        else if (!lexer.IsSymbol(t, '.'))
            break;
    }
    return parts;
}

Routine FindRoutine(Session& session, const std::string& procName) {
    Routine routine;
    std::vector<std::string> parts = NameParts(procName);
    if (parts.empty()) return routine;
    std::optional<std::string> schema;
    if (parts.size() >= 2) schema = parts[parts.size() - 2];
    ResultHandle r = session.Ask(kRoutineQuery, {parts.back().c_str(), schema ? schema->c_str() : nullptr});
    const PGresult* res = r.get();
    if (PQntuples(res) == 0) return routine;
    routine.found = true;
    routine.kind = PQgetvalue(res, 0, 0)[0];
    routine.returnsSet = PQgetvalue(res, 0, 1)[0] == 't';
    routine.returnType = static_cast<Oid>(std::strtoul(PQgetvalue(res, 0, 2), nullptr, 10));
    for (int row = 0; row < PQntuples(res); ++row) {
        if (PQgetisnull(res, row, 3)) continue;  // no arguments
        Argument a;
        a.name = PQgetvalue(res, row, 4);
        if (a.name.empty()) a.name = "$" + std::string(PQgetvalue(res, row, 3));
        a.mode = PQgetvalue(res, row, 5)[0];
        a.type = static_cast<Oid>(std::strtoul(PQgetvalue(res, row, 6), nullptr, 10));
        routine.arguments.push_back(std::move(a));
    }
    return routine;
}

int32_t Direction(char mode) {
    switch (mode) {
        case 'o': return adParamOutput;
        case 'b': return adParamInputOutput;
        default: return adParamInput;
    }
}

bool IsOutput(int32_t direction) {
    return direction == adParamOutput || direction == adParamInputOutput;
}

}  // namespace

std::vector<BoundParameter> ProcedureParameters(Session& session, const std::string& procName) {
    Routine routine = FindRoutine(session, procName);
    std::vector<BoundParameter> parameters;
    if (!routine.found) return parameters;
    std::vector<Oid> types{routine.returnType};
    for (const Argument& a : routine.arguments) types.push_back(a.type);
    session.Types().LearnTypes(session.Conn(), types);
    if (routine.ReturnsValue())
        parameters.push_back(
            {"RETURN_VALUE", session.Types().Map(routine.returnType, -1).type, adParamReturnValue, 0, {}});
    for (const Argument& a : routine.arguments) {
        if (a.mode == 't') continue;
        parameters.push_back({a.name, session.Types().Map(a.type, -1).type, Direction(a.mode), 0, {}});
    }
    return parameters;
}

ExecuteResult CallProcedure(const std::shared_ptr<Session>& session, const std::string& procName,
                            std::vector<BoundParameter>& params, int32_t timeoutSeconds) {
    const Routine routine = FindRoutine(*session, procName);
    const bool procedure = routine.found && routine.kind == 'p';
    std::optional<size_t> returned;
    std::vector<size_t> outputs;
    std::vector<ParameterValue> values;
    for (size_t i = 0; i < params.size(); ++i) {
        const BoundParameter& p = params[i];
        if (p.direction == adParamReturnValue) {
            if (!returned) returned = i;
            continue;
        }
        if (IsOutput(p.direction)) outputs.push_back(i);
        // A procedure takes its OUT arguments in the call, as NULL; a function does not.
        if (p.direction == adParamOutput) {
            if (procedure) values.emplace_back();
        } else {
            values.push_back(EncodeParameter(p));
        }
    }

    std::string sql = procedure ? "CALL " : returned ? "SELECT " : "SELECT * FROM ";
    sql += procName;
    sql += '(';
    for (size_t i = 0; i < values.size(); ++i) sql += (i ? ", $" : "$") + std::to_string(i + 1);
    sql += ')';

    ExecuteResult result = RunStatement(session, sql, values, timeoutSeconds, false);
    if (!returned && outputs.empty()) return result;
    // The one row holds the return value, or the output values in order.
    std::vector<Variant> row;
    if (result.cursor && result.cursor->Fetch(row)) {
        if (returned && !row.empty()) params[*returned].value = row.front();
        for (size_t k = 0; !returned && k < outputs.size() && k < row.size(); ++k) params[outputs[k]].value = row[k];
    }
    if (result.cursor) result.cursor->Close();
    return {nullptr, -1};
}

}  // namespace qarn::ado::postgres
