#include "mariadb/MariaDbCursor.h"

#include "mariadb/MariaDbSession.h"

namespace qarn::ado::mariadb {

Cursor::Cursor(std::shared_ptr<Session> session, ResultHandle result)
    : session_(std::move(session)), result_(std::move(result)) {
    const unsigned int n = mysql_num_fields(result_.get());
    const MYSQL_FIELD* fields = mysql_fetch_fields(result_.get());
    columns_.reserve(n);
    forms_.reserve(n);
    for (unsigned int i = 0; i < n; ++i) {
        ColumnMapping m = MapField(fields[i]);
        columns_.push_back(std::move(m.info));
        forms_.push_back(m.form);
    }
}

Cursor::~Cursor() {
    Release();
}

void Cursor::Release() noexcept {
    if (result_) {
        result_.reset();  // reads and drops the rows still on the wire
        session_->StreamEnded(this);
    }
    session_->Forget(this);
}

bool Cursor::Fetch(std::vector<Variant>& row) {
    if (failure_) std::rethrow_exception(failure_);
    if (buffered_) return FetchBuffered(row);
    if (!result_) {
        if (connectionClosed_) throw AdoError(err::ObjectClosed);
        return false;
    }
    MYSQL_ROW values = mysql_fetch_row(result_.get());
    if (!values) {
        MYSQL* mysql = session_->Handle();
        if (mysql_errno(mysql) != 0) {
            ErrorRecord lost = LastError(mysql);
            Fail(std::make_exception_ptr(ProviderError({lost})));
        }
        EndOfRows();
        return false;
    }
    const unsigned long* lengths = mysql_fetch_lengths(result_.get());
    const size_t n = forms_.size();
    if (row.size() != n) row.resize(n);
    for (size_t i = 0; i < n; ++i) {
        if (!values[i])
            row[i].SetNull();
        else
            StoreValue(forms_[i], std::string_view(values[i], lengths[i]), row[i]);
    }
    return true;
}

bool Cursor::FetchBuffered(std::vector<Variant>& row) {
    const size_t n = forms_.size();
    if (nextValue_ + n > bufferLengths_.size()) {
        buffered_ = false;
        bufferBytes_ = std::string();
        bufferLengths_ = std::vector<int64_t>();
        if (pendingFailure_) Fail(pendingFailure_);
        return false;
    }
    if (row.size() != n) row.resize(n);
    for (size_t i = 0; i < n; ++i) {
        int64_t length = bufferLengths_[nextValue_++];
        if (length < 0) {
            row[i].SetNull();
            continue;
        }
        StoreValue(forms_[i], std::string_view(bufferBytes_).substr(nextByte_, static_cast<size_t>(length)), row[i]);
        nextByte_ += static_cast<size_t>(length);
    }
    return true;
}

void Cursor::EndOfRows() {
    result_.reset();
    session_->StreamEnded(this);
    int64_t rows = 0;
    std::vector<ErrorRecord> failure = session_->ReadRemaining(rows);
    if (!failure.empty()) Fail(std::make_exception_ptr(ProviderError(std::move(failure))));
}

void Cursor::Fail(std::exception_ptr failure) {
    failure_ = failure;
    buffered_ = false;
    if (result_) {
        result_.reset();
        session_->StreamEnded(this);
    }
    std::rethrow_exception(failure);
}

void Cursor::BufferRest() noexcept {
    if (!result_) return;
    try {
        MYSQL_ROW values;
        const size_t n = forms_.size();
        while ((values = mysql_fetch_row(result_.get())) != nullptr) {
            const unsigned long* lengths = mysql_fetch_lengths(result_.get());
            for (size_t i = 0; i < n; ++i) {
                bufferLengths_.push_back(values[i] ? static_cast<int64_t>(lengths[i]) : -1);
                if (values[i]) bufferBytes_.append(values[i], lengths[i]);
            }
        }
        buffered_ = true;
        MYSQL* mysql = session_->Handle();
        if (mysql_errno(mysql) != 0) {
            pendingFailure_ = std::make_exception_ptr(ProviderError({LastError(mysql)}));
            result_.reset();
            session_->StreamEnded(this);
            return;
        }
        result_.reset();
        session_->StreamEnded(this);
        int64_t rows = 0;
        std::vector<ErrorRecord> failure = session_->ReadRemaining(rows);
        if (!failure.empty()) pendingFailure_ = std::make_exception_ptr(ProviderError(std::move(failure)));
    } catch (...) {
        // Out of memory for the rows: this cursor fails, the connection goes on.
        failure_ = std::current_exception();
        buffered_ = false;
        bufferBytes_ = std::string();
        bufferLengths_ = std::vector<int64_t>();
        if (result_) {
            result_.reset();
            session_->StreamEnded(this);
        }
    }
}

void Cursor::Close() {
    buffered_ = false;
    bufferBytes_ = std::string();
    bufferLengths_ = std::vector<int64_t>();
    pendingFailure_ = nullptr;
    if (result_) {
        result_.reset();
        session_->StreamEnded(this);
    }
}

void Cursor::Detach() noexcept {
    if (result_ || buffered_) connectionClosed_ = true;
    buffered_ = false;
    if (result_) {
        result_.reset();
        session_->StreamEnded(this);
    }
}

}  // namespace qarn::ado::mariadb
