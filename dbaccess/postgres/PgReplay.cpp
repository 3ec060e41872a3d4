#include "postgres/PgReplay.h"

#include <string>

#include "postgres/PgErrors.h"
#include "sql/SqlLexer.h"

namespace qarn::ado::postgres {

namespace {

// Statements between two Syncs.  A Sync costs nothing but bounds what the
// server aborts after a failure.
constexpr size_t kSyncEvery = 4096;

// Statements that begin or end a transaction: the pipeline relies on one
// staying open.
bool ChangesTransaction(std::string_view sql) {
    sql::Lexer lexer(sql, sql::Dialect::PostgreSql);
    sql::Token first = lexer.Next();
    for (const char* word : {"BEGIN", "START", "COMMIT", "END", "ROLLBACK", "ABORT", "PREPARE"})
        if (lexer.IsWord(first, word)) return true;
    return false;
}

}  // namespace

size_t CountStatements(std::string_view sql) {
    sql::Lexer lexer(sql, sql::Dialect::PostgreSql);
    size_t count = 0;
    bool inStatement = false;
    for (sql::Token t = lexer.Next(); t.kind != sql::TokenKind::End; t = lexer.Next()) {
        if (lexer.IsSymbol(t, ';')) {
            inStatement = false;
        } else if (!inStatement) {
            inStatement = true;
            ++count;
        }
    }
    return count;
}

Replay::Replay(std::shared_ptr<Session> session, int32_t timeoutSeconds)
    : session_(std::move(session)), timeoutSeconds_(timeoutSeconds) {}

Replay::~Replay() {
    Release();
    session_->Unhold(this);
}

void Replay::Add(std::string_view sql, uint64_t tag) {
    if (failure_) RaiseFailure();
    if (detached_) throw AdoError(err::InvalidConnection);
    const std::string text(sql);
    bool alone = CountStatements(text) > 1 || ChangesTransaction(text);
    if (!inPipeline_ && !alone) {
        PGconn* conn = session_->Settle();
        alone = PQtransactionStatus(conn) != PQTRANS_INTRANS;
    }
    if (alone) {
        Drain();
        if (failure_) RaiseFailure();
        RunTagged(tag, [&] { session_->RunScript(text, timeoutSeconds_); });
        return;
    }
    if (!inPipeline_) Enter();
    PGconn* conn = session_->Conn();
    if (!PQsendQueryParams(conn, text.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0)) {
        Fail(ConnectionRecord(conn, state::ConnectionLost), tag);
    } else {
        sent_.push_back({tag, false});
        if (++sinceSync_ >= kSyncEvery) Sync();
        Collect(false);
    }
    if (failure_) {
        Drain();
        RaiseFailure();
    }
}

void Replay::Finish() {
    Drain();
    if (failure_) RaiseFailure();
}

void Replay::Release() noexcept {
    try {
        Drain();
    } catch (...) {
        // A failure to read is kept in failure_ for the next Add or Finish.
    }
}

void Replay::Detach() noexcept {
    inPipeline_ = false;
    detached_ = true;
    sent_.clear();
}

void Replay::Enter() {
    PGconn* conn = session_->Settle();
    session_->BeginCommand();
    if (!PQenterPipelineMode(conn)) session_->RaiseConnection();
    inPipeline_ = true;
    sinceSync_ = 0;
    session_->Hold(this);
}

void Replay::Sync() {
    if (!PQpipelineSync(session_->Conn())) {
        Fail(ConnectionRecord(session_->Conn(), state::ConnectionLost), sent_.empty() ? 0 : sent_.back().tag);
        return;
    }
    sent_.push_back({0, true});
    sinceSync_ = 0;
}

void Replay::Collect(bool wait) {
    PGconn* conn = session_->Conn();
    int ends = 0;  // nulls in a row: more than one means nothing else will come
    while (!sent_.empty()) {
        if (PQstatus(conn) == CONNECTION_BAD) {
            Fail(ConnectionRecord(conn, state::ConnectionLost), sent_.front().tag);
            sent_.clear();
            return;
        }
        if (!wait && (!PQconsumeInput(conn) || PQisBusy(conn))) {
            if (PQstatus(conn) != CONNECTION_BAD) return;
            continue;
        }
        ResultHandle r = wait ? session_->Next(timeoutSeconds_) : ResultHandle(PQgetResult(conn));
        const Sent front = sent_.front();
        if (!r) {
            if (++ends > 1) {
                Fail(ConnectionRecord(conn, state::ConnectionLost), front.tag);
                sent_.clear();
                return;
            }
            if (!front.sync) sent_.pop_front();  // this statement's results are done
            continue;
        }
        ends = 0;
        switch (PQresultStatus(r.get())) {
            case PGRES_PIPELINE_SYNC:
                if (front.sync) sent_.pop_front();
                break;
            case PGRES_FATAL_ERROR:
            case PGRES_BAD_RESPONSE:
            case PGRES_NONFATAL_ERROR: {
                Fail(session_->Record(r.get()), front.tag);
                break;
            }
            default: break;  // done, or aborted after an earlier failure
        }
    }
}

void Replay::Drain() {
    if (!inPipeline_) return;
    if (sent_.empty() || !sent_.back().sync) Sync();
    Collect(true);
    PQexitPipelineMode(session_->Conn());
    inPipeline_ = false;
    session_->Unhold(this);
}

void Replay::Fail(const ErrorRecord& record, uint64_t tag) {
    if (failure_) return;
    failure_ = record;
    failedTag_ = tag;
}

void Replay::RaiseFailure() {
    throw ReplayError(ProviderError({*failure_}), failedTag_);
}

}  // namespace qarn::ado::postgres
