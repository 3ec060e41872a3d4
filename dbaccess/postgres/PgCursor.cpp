#include "postgres/PgCursor.h"

#include <string_view>

#include "postgres/PgErrors.h"
#include "postgres/PgSession.h"
#include "postgres/PgValues.h"

namespace qarn::ado::postgres {

Cursor::Cursor(std::shared_ptr<Session> session, ResultHandle first, bool streaming, PGTransactionStatusType before,
               int32_t timeoutSeconds, bool cancelOnClose)
    : session_(std::move(session)), streaming_(streaming), timeoutSeconds_(timeoutSeconds),
      cancelOnClose_(cancelOnClose) {
    session_->Types().Describe(first.get(), columns_, forms_);
    if (PQresultStatus(first.get()) == PGRES_SINGLE_TUPLE) pending_ = std::move(first);
    session_->Register(this);
    if (streaming_) session_->StartStreaming(this, before);
}

Cursor::~Cursor() {
    EndStream(cancelOnClose_);
    session_->Unregister(this);
}

bool Cursor::Fetch(std::vector<Variant>& row) {
    ResultHandle r = TakeRow();
    if (!r) {
        if (failure_) std::rethrow_exception(failure_);
        if (connectionClosed_) throw AdoError(err::ObjectClosed);
        return false;
    }
    const int n = static_cast<int>(forms_.size());
    if (row.size() != forms_.size()) row.resize(forms_.size());
    const PGresult* res = r.get();
    for (int i = 0; i < n; ++i) {
        Variant& v = row[static_cast<size_t>(i)];
        if (PQgetisnull(res, 0, i)) {
            v.SetNull();
        } else {
            DecodeValue(forms_[static_cast<size_t>(i)],
                        std::string_view(PQgetvalue(res, 0, i), static_cast<size_t>(PQgetlength(res, 0, i))), v);
        }
    }
    return true;
}

void Cursor::Close() {
    pending_.reset();
    buffer_.clear();
    EndStream(cancelOnClose_);
}

void Cursor::BufferRest() noexcept {
    try {
        while (ResultHandle r = ReadStreamed()) buffer_.push_back(std::move(r));
    } catch (...) {
        // Kept in failure_: raised when the fetches reach it.
    }
}

void Cursor::Detach() noexcept {
    if (streaming_ || pending_ || !buffer_.empty()) connectionClosed_ = true;
    streaming_ = false;
    pending_.reset();
    buffer_.clear();
}

ResultHandle Cursor::TakeRow() {
    if (pending_) return std::move(pending_);
    if (!buffer_.empty()) {
        ResultHandle r = std::move(buffer_.front());
        buffer_.pop_front();
        return r;
    }
    return ReadStreamed();
}

// The next row from the connection; null at the end of the rows.
ResultHandle Cursor::ReadStreamed() {
    if (!streaming_) return nullptr;
    ResultHandle r = session_->Next(timeoutSeconds_);
    ExecStatusType status = r ? PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
    if (status == PGRES_SINGLE_TUPLE) return r;
    if (status == PGRES_TUPLES_OK) {
        session_->Discard();
        streaming_ = false;
        session_->StopStreaming(this);
        return nullptr;
    }
    Fail(r.get());
}

void Cursor::Fail(const PGresult* result) {
    try {
        if (!result) session_->RaiseConnection();  // the results stopped without an end
        session_->RaiseResult(result);
    } catch (...) {
        failure_ = std::current_exception();
    }
    session_->Discard();
    streaming_ = false;
    session_->StopStreaming(this);
    std::rethrow_exception(failure_);
}

void Cursor::EndStream(bool cancel) noexcept {
    if (!streaming_) return;
    if (cancel) session_->Cancel();
    session_->Discard();
    streaming_ = false;
    session_->StopStreaming(this);
}

}  // namespace qarn::ado::postgres
