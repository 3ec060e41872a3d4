#include "postgres/PgCursor.h"

#include <cstring>
#include <string_view>

#include "postgres/PgErrors.h"
#include "postgres/PgSession.h"
#include "postgres/PgValues.h"

namespace qarn::ado::postgres {

Cursor::Cursor(std::shared_ptr<Session> session, ResultHandle first, bool streaming, PGTransactionStatusType before,
               int32_t timeoutSeconds, bool cancelOnClose)
    : session_(std::move(session)),
      streaming_(streaming),
      timeoutSeconds_(timeoutSeconds),
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
    if (row.size() != forms_.size()) row.resize(forms_.size());
    if (pending_) {
        Decode(pending_.get(), row);
        pending_.reset();
        return true;
    }
    if (!buffer_.empty()) {
        DecodeBuffered(buffer_.front(), row);
        buffer_.pop_front();
        return true;
    }
    if (ResultHandle r = ReadStreamed()) {
        Decode(r.get(), row);
        return true;
    }
    if (failure_) std::rethrow_exception(failure_);
    if (connectionClosed_) throw AdoError(err::ObjectClosed);
    return false;
}

void Cursor::Decode(const PGresult* result, std::vector<Variant>& row) const {
    for (size_t i = 0; i < forms_.size(); ++i) {
        const int column = static_cast<int>(i);
        if (PQgetisnull(result, 0, column)) {
            row[i].SetNull();
        } else {
            DecodeValue(
                forms_[i],
                std::string_view(PQgetvalue(result, 0, column), static_cast<size_t>(PQgetlength(result, 0, column))),
                row[i]);
        }
    }
}

void Cursor::DecodeBuffered(std::string_view packed, std::vector<Variant>& row) const {
    size_t at = 0;
    for (size_t i = 0; i < forms_.size(); ++i) {
        int32_t length = 0;
        std::memcpy(&length, packed.data() + at, sizeof length);
        at += sizeof length;
        if (length < 0) {
            row[i].SetNull();
            continue;
        }
        DecodeValue(forms_[i], packed.substr(at, static_cast<size_t>(length)), row[i]);
        at += static_cast<size_t>(length);
    }
}

void Cursor::Close() {
    pending_.reset();
    buffer_.clear();
    EndStream(cancelOnClose_);
}

void Cursor::BufferRest() noexcept {
    try {
        while (ResultHandle r = ReadStreamed()) {
            std::string& packed = buffer_.emplace_back();
            for (int i = 0; i < PQnfields(r.get()); ++i) {
                const int32_t length = PQgetisnull(r.get(), 0, i) ? -1 : PQgetlength(r.get(), 0, i);
                packed.append(reinterpret_cast<const char*>(&length), sizeof length);
                if (length > 0) packed.append(PQgetvalue(r.get(), 0, i), static_cast<size_t>(length));
            }
        }
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
