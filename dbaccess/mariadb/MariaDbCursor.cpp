#include "mariadb/MariaDbCursor.h"

#include "mariadb/MariaDbSession.h"

namespace qarn::ado::mariadb {

Cursor::Cursor(std::shared_ptr<Session> session, std::unique_ptr<RowSource> rows)
    : session_(std::move(session)), rows_(std::move(rows)) {
    const unsigned int n = rows_->FieldCount();
    const MYSQL_FIELD* fields = rows_->Fields();
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
    DropRows();
    session_->Forget(this);
}

void Cursor::DropRows() noexcept {
    if (!rows_) return;
    rows_.reset();  // reads and drops the rows still on the wire
    session_->StreamEnded(this);
}

void Cursor::Store(const std::vector<std::string_view>& values, std::vector<Variant>& row) const {
    const size_t n = forms_.size();
    if (row.size() != n) row.resize(n);
    for (size_t i = 0; i < n; ++i) {
        if (!values[i].data())
            row[i].SetNull();
        else
            StoreValue(forms_[i], values[i], row[i]);
    }
}

bool Cursor::Fetch(std::vector<Variant>& row) {
    if (failure_) std::rethrow_exception(failure_);
    if (buffered_) return FetchBuffered(row);
    if (!rows_) {
        if (connectionClosed_) throw AdoError(err::ObjectClosed);
        return false;
    }
    bool more = false;
    try {
        more = rows_->Next(values_);
    } catch (...) {
        // A lost connection (or no memory for a long value) ends the rows
        // as a failure, never as their end.
        Fail(std::current_exception());
    }
    if (!more) {
        EndOfRows();
        return false;
    }
    Store(values_, row);
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
    values_.resize(n);
    for (size_t i = 0; i < n; ++i) {
        int64_t length = bufferLengths_[nextValue_++];
        if (length < 0) {
            values_[i] = std::string_view();
            continue;
        }
        values_[i] = std::string_view(bufferBytes_).substr(nextByte_, static_cast<size_t>(length));
        nextByte_ += static_cast<size_t>(length);
    }
    Store(values_, row);
    return true;
}

void Cursor::EndOfRows() {
    DropRows();
    int64_t rows = 0;
    std::vector<ErrorRecord> failure = session_->ReadRemaining(rows);
    if (!failure.empty()) Fail(std::make_exception_ptr(ProviderError(std::move(failure))));
}

void Cursor::Fail(std::exception_ptr failure) {
    failure_ = failure;
    buffered_ = false;
    DropRows();
    std::rethrow_exception(failure);
}

void Cursor::BufferRest() noexcept {
    if (!rows_) return;
    try {
        try {
            while (rows_->Next(values_)) {
                for (std::string_view v : values_) {
                    bufferLengths_.push_back(v.data() ? static_cast<int64_t>(v.size()) : -1);
                    bufferBytes_.append(v);
                }
            }
        } catch (const AdoError&) {
            // The rows read so far are served; the failure follows them.
            buffered_ = true;
            pendingFailure_ = std::current_exception();
            DropRows();
            return;
        }
        buffered_ = true;
        DropRows();
        int64_t rows = 0;
        std::vector<ErrorRecord> failure = session_->ReadRemaining(rows);
        if (!failure.empty()) pendingFailure_ = std::make_exception_ptr(ProviderError(std::move(failure)));
    } catch (...) {
        // Out of memory for the rows: this cursor fails, the connection goes on.
        failure_ = std::current_exception();
        buffered_ = false;
        bufferBytes_ = std::string();
        bufferLengths_ = std::vector<int64_t>();
        DropRows();
    }
}

void Cursor::Close() {
    buffered_ = false;
    bufferBytes_ = std::string();
    bufferLengths_ = std::vector<int64_t>();
    pendingFailure_ = nullptr;
    DropRows();
}

void Cursor::Detach() noexcept {
    if (rows_ || buffered_) connectionClosed_ = true;
    buffered_ = false;
    DropRows();
}

}  // namespace qarn::ado::mariadb
