#include "postgres/PgSession.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>

#include "postgres/PgCursor.h"
#include "postgres/PgErrors.h"

namespace qarn::ado::postgres {

namespace {
constexpr const char* kCopyRefused =
    "COPY FROM STDIN cannot be fed from here; use COPY FROM a file or INSERT statements";
}  // namespace

int64_t RowsOf(const PGresult* result) {
    const char* text = PQcmdTuples(const_cast<PGresult*>(result));
    int64_t rows = -1;
    if (text && *text) std::from_chars(text, text + std::strlen(text), rows);
    return rows;
}

Session::Session(ConnHandle conn) : conn_(std::move(conn)) {}

Session::~Session() {
    Close();
}

PGconn* Session::Conn() const {
    if (!conn_) throw AdoError(err::InvalidConnection);
    return conn_.get();
}

void Session::Close() noexcept {
    // Cursors and replays first, then the connection.  A detached cursor
    // stays registered until it is destroyed.
    for (Cursor* c : cursors_) c->Detach();
    streaming_ = nullptr;
    if (holder_) holder_->Detach();
    holder_ = nullptr;
    conn_.reset();
}

PGconn* Session::Settle() {
    PGconn* conn = Conn();
    if (holder_) holder_->Release();
    if (streaming_) streaming_->BufferRest();
    return conn;
}

void Session::Register(Cursor* c) {
    cursors_.push_back(c);
}

void Session::Unregister(Cursor* c) noexcept {
    cursors_.erase(std::remove(cursors_.begin(), cursors_.end(), c), cursors_.end());
    if (streaming_ == c) streaming_ = nullptr;
}

void Session::StartStreaming(Cursor* c, PGTransactionStatusType before) {
    streaming_ = c;
    beforeStreaming_ = before;
}

void Session::StopStreaming(Cursor* c) noexcept {
    if (streaming_ == c) streaming_ = nullptr;
}

void Session::Unhold(ConnectionHolder* h) noexcept {
    if (holder_ == h) holder_ = nullptr;
}

bool Session::TransactionOpen() const {
    switch (PQtransactionStatus(Conn())) {
        case PQTRANS_INTRANS:
        case PQTRANS_INERROR: return true;
        // A statement is running: a streaming cursor's, in whatever state it
        // began, or a replay's pipeline, which runs only inside a transaction.
        case PQTRANS_ACTIVE: return streaming_ ? beforeStreaming_ != PQTRANS_IDLE : holder_ != nullptr;
        default: return false;
    }
}

bool Session::WaitForResult(int32_t timeoutSeconds) {
    PGconn* conn = conn_.get();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (PQisBusy(conn)) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{PQsocket(conn), POLLIN, 0};
        int rc = poll(&p, 1, static_cast<int>(std::min<int64_t>(left.count(), 60000)));
        // A broken socket is for PQgetResult to report.
        if ((rc < 0 && errno != EINTR) || !PQconsumeInput(conn)) return true;
    }
    return true;
}

ResultHandle Session::Next(int32_t timeoutSeconds) {
    PGconn* conn = Conn();
    if (timeoutSeconds > 0 && !WaitForResult(timeoutSeconds)) {
        Cancel();
        timedOut_ = true;
        timeoutSeconds_ = timeoutSeconds;
    }
    return ResultHandle(PQgetResult(conn));
}

void Session::Discard() noexcept {
    PGconn* conn = conn_.get();
    if (!conn) return;
    while (ResultHandle r{PQgetResult(conn)}) {
        switch (PQresultStatus(r.get())) {
            case PGRES_COPY_IN: PQputCopyEnd(conn, kCopyRefused); break;
            case PGRES_COPY_OUT: {
                char* data = nullptr;
                while (PQgetCopyData(conn, &data, 0) > 0) PQfreemem(data);
                break;
            }
            default: break;
        }
        if (PQstatus(conn) == CONNECTION_BAD && PQresultStatus(r.get()) == PGRES_FATAL_ERROR) {
            // Nothing more will come; what libpq still holds is dropped with the connection.
            while (ResultHandle rest{PQgetResult(conn)}) {
            }
            return;
        }
    }
}

void Session::Cancel() noexcept {
    if (!conn_) return;
    CancelHandle cancel(PQgetCancel(conn_.get()));
    char message[256];
    if (cancel) PQcancel(cancel.get(), message, sizeof message);
}

ErrorRecord Session::Record(const PGresult* result) const {
    ErrorRecord record = RecordOf(result, conn_.get());
    if (timedOut_ && record.SQLState == state::QueryCanceled)
        record.Description += " (the command timeout of " + std::to_string(timeoutSeconds_) + " seconds expired)";
    return record;
}

void Session::RaiseConnection() const {
    bool lost = !conn_ || PQstatus(conn_.get()) == CONNECTION_BAD;
    Raise(ConnectionRecord(conn_.get(), lost ? state::ConnectionLost : state::General));
}

int64_t Session::RunScript(const std::string& sql, int32_t timeoutSeconds, std::string* lastTag) {
    PGconn* conn = Settle();
    BeginCommand();
    if (!PQsendQuery(conn, sql.c_str())) RaiseConnection();
    // Rows of a SELECT in the script come one at a time and are dropped.
    PQsetSingleRowMode(conn);
    int64_t total = 0;
    ResultHandle failure;
    bool copyRefused = false;
    while (ResultHandle r = Next(timeoutSeconds)) {
        switch (PQresultStatus(r.get())) {
            case PGRES_COMMAND_OK:
                total += std::max<int64_t>(RowsOf(r.get()), 0);
                if (lastTag) *lastTag = PQcmdStatus(r.get());
                break;
            case PGRES_TUPLES_OK:
                if (lastTag) *lastTag = PQcmdStatus(r.get());
                break;
            case PGRES_SINGLE_TUPLE:
            case PGRES_EMPTY_QUERY: break;
            case PGRES_COPY_IN:
                copyRefused = true;
                PQputCopyEnd(conn, kCopyRefused);
                break;
            case PGRES_COPY_OUT: {
                char* data = nullptr;
                while (PQgetCopyData(conn, &data, 0) > 0) PQfreemem(data);
                break;
            }
            default:
                if (!failure) failure = std::move(r);
                break;
        }
        if (PQstatus(conn) == CONNECTION_BAD) {
            Discard();
            if (failure) RaiseResult(failure.get());
            RaiseConnection();
        }
    }
    if (failure) {
        if (copyRefused) Raise(state::FeatureNotSupported, kCopyRefused);
        RaiseResult(failure.get());
    }
    return total;
}

ResultHandle Session::Ask(const char* sql, const std::vector<const char*>& params) {
    PGconn* conn = Settle();
    BeginCommand();
    ResultHandle r(
        PQexecParams(conn, sql, static_cast<int>(params.size()), nullptr, params.data(), nullptr, nullptr, 0));
    if (!r) RaiseConnection();
    if (PQresultStatus(r.get()) != PGRES_TUPLES_OK && PQresultStatus(r.get()) != PGRES_COMMAND_OK) RaiseResult(r.get());
    return r;
}

}  // namespace qarn::ado::postgres
