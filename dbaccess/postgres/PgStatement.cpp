#include "postgres/PgStatement.h"

#include "postgres/PgCursor.h"
#include "postgres/PgErrors.h"
#include "postgres/PgSession.h"

namespace qarn::ado::postgres {

namespace {

constexpr Oid kByteaOid = 17;

// The parameters as libpq takes them.
struct ParameterArrays {
    std::vector<Oid> types;
    std::vector<const char*> values;
    std::vector<int> lengths, formats;

    explicit ParameterArrays(const std::vector<ParameterValue>& params) {
        for (const ParameterValue& p : params) {
            // Text goes untyped, as a quoted literal would: the server gives
            // it the type the statement needs.
            types.push_back(p.binary ? kByteaOid : 0);
            values.push_back(p.isNull ? nullptr : p.data.c_str());
            lengths.push_back(static_cast<int>(p.data.size()));
            formats.push_back(p.binary ? 1 : 0);
        }
    }
    int Count() const { return static_cast<int>(values.size()); }
};

// Parses and describes the statement in one round trip (a pipeline of
// Parse, Describe and Sync); raises its parse failure.  Returns the
// description of its result columns.
ResultHandle Describe(Session& session, PGconn* conn, const std::string& sql, const ParameterArrays& a,
                      int32_t timeoutSeconds) {
    if (!PQenterPipelineMode(conn)) session.RaiseConnection();
    bool sent = PQsendPrepare(conn, "", sql.c_str(), a.Count(), a.types.data()) && PQsendDescribePrepared(conn, "") &&
                PQpipelineSync(conn);
    ResultHandle failure, described;
    int answers = 0, ends = 0;
    bool synced = !sent;
    // Each request's results end with a null; more nulls than requests
    // mean nothing else will come.
    while (!synced && PQstatus(conn) != CONNECTION_BAD && ends <= 2) {
        ResultHandle r = session.Next(timeoutSeconds);
        if (!r) {
            ++ends;
            continue;
        }
        switch (PQresultStatus(r.get())) {
            case PGRES_PIPELINE_SYNC: synced = true; break;
            case PGRES_PIPELINE_ABORTED: ++answers; break;
            case PGRES_COMMAND_OK:
                if (++answers == 2) described = std::move(r);
                break;
            default:
                ++answers;
                if (!failure) failure = std::move(r);
                break;
        }
    }
    PQexitPipelineMode(conn);
    if (failure) session.RaiseResult(failure.get());
    if (!sent || !described) session.RaiseConnection();
    return described;
}

}  // namespace

ExecuteResult RunStatement(const std::shared_ptr<Session>& session, const std::string& sql,
                           const std::vector<ParameterValue>& params, int32_t timeoutSeconds, bool cancelOnClose) {
    PGconn* conn = session->Settle();
    session->BeginCommand();
    const PGTransactionStatusType before = PQtransactionStatus(conn);
    ParameterArrays a(params);
    ResultHandle described = Describe(*session, conn, sql, a, timeoutSeconds);
    if (PQnfields(described.get()) > 0) session->Types().Learn(conn, described.get());
    described.reset();

    if (!PQsendQueryParams(conn, sql.c_str(), a.Count(), a.types.data(), a.values.data(), a.lengths.data(),
                           a.formats.data(), 0))
        session->RaiseConnection();
    if (!PQsetSingleRowMode(conn)) {
        // Never expected; rows arriving whole would be read as none.
        session->Discard();
        Raise(state::General, "libpq refused to stream the statement's rows one at a time");
    }
    ResultHandle r = session->Next(timeoutSeconds);
    if (!r) session->RaiseConnection();

    ExecuteResult result;
    switch (PQresultStatus(r.get())) {
        case PGRES_SINGLE_TUPLE:
            result.cursor =
                std::make_unique<Cursor>(session, std::move(r), true, before, timeoutSeconds, cancelOnClose);
            return result;
        case PGRES_TUPLES_OK:
            session->Discard();
            if (PQnfields(r.get()) == 0) return {nullptr, RowsOf(r.get())};
            result.cursor =
                std::make_unique<Cursor>(session, std::move(r), false, before, timeoutSeconds, cancelOnClose);
            return result;
        case PGRES_COMMAND_OK: session->Discard(); return {nullptr, RowsOf(r.get())};
        case PGRES_EMPTY_QUERY: session->Discard(); Raise(state::Syntax, "the command text holds no SQL statement");
        case PGRES_COPY_IN:
        case PGRES_COPY_OUT:
        case PGRES_COPY_BOTH:
            session->Discard();
            Raise(state::FeatureNotSupported,
                  "COPY FROM STDIN and COPY TO STDOUT cannot run as a command here; use a file or INSERT and SELECT");
        default: session->Discard(); session->RaiseResult(r.get());
    }
}

}  // namespace qarn::ado::postgres
