#include "mariadb/MariaDbStatementRows.h"

#include <charconv>
#include <cstring>

namespace qarn::ado::mariadb {

namespace {

// Enough for most values at once; longer ones grow their buffer.
constexpr size_t kFirstBuffer = 256;
// Room for the shortest text of any double.
constexpr size_t kNumberText = 32;

}  // namespace

void StatementRows::RaiseLastError() const {
    // A failure while rows stream is the connection's, not the statement's.
    throw ProviderError({mysql_stmt_errno(stmt_.get()) != 0 ? LastError(stmt_.get()) : LastError(mysql_)});
}

std::unique_ptr<StatementRows> StatementRows::Run(MYSQL* mysql, std::string_view sql) {
    StatementHandle stmt(mysql_stmt_init(mysql));
    if (!stmt) return nullptr;
    if (mysql_stmt_prepare(stmt.get(), sql.data(), static_cast<unsigned long>(sql.size())) != 0) return nullptr;
    // Statements without rows at prepare time (CALL among them) and text
    // with markers go the text way.
    if (mysql_stmt_field_count(stmt.get()) == 0 || mysql_stmt_param_count(stmt.get()) != 0) return nullptr;
    std::unique_ptr<StatementRows> rows(new StatementRows(mysql, std::move(stmt)));
    MYSQL_STMT* s = rows->stmt_.get();
    if (mysql_stmt_execute(s) != 0) rows->RaiseLastError();
    rows->metadata_.reset(mysql_stmt_result_metadata(s));
    if (!rows->metadata_) rows->RaiseLastError();
    rows->Bind();
    return rows;
}

void StatementRows::Bind() {
    const unsigned int n = mysql_num_fields(metadata_.get());
    const MYSQL_FIELD* fields = mysql_fetch_fields(metadata_.get());
    columns_.resize(n);
    binds_.assign(n, MYSQL_BIND{});
    for (unsigned int i = 0; i < n; ++i) {
        Column& c = columns_[i];
        if (fields[i].type == MYSQL_TYPE_DOUBLE || fields[i].type == MYSQL_TYPE_FLOAT) {
            c.bound = fields[i].type;
            c.buffer.resize(kNumberText);
        } else {
            c.buffer.resize(kFirstBuffer);
        }
    }
    BindResults();
}

void StatementRows::BindResults() {
    for (size_t i = 0; i < columns_.size(); ++i) {
        Column& c = columns_[i];
        MYSQL_BIND& b = binds_[i];
        b = MYSQL_BIND{};
        b.buffer_type = c.bound;
        b.length = &c.length;
        b.is_null = &c.isNull;
        b.error = &c.truncated;
        if (c.bound == MYSQL_TYPE_DOUBLE) {
            b.buffer = &c.number;
        } else if (c.bound == MYSQL_TYPE_FLOAT) {
            b.buffer = &c.single;
        } else {
            b.buffer = c.buffer.data();
            b.buffer_length = static_cast<unsigned long>(c.buffer.size());
        }
    }
    if (mysql_stmt_bind_result(stmt_.get(), binds_.data()) != 0) RaiseLastError();
}

void StatementRows::ReadTruncated() {
    bool grown = false;
    for (unsigned int i = 0; i < columns_.size(); ++i) {
        Column& c = columns_[i];
        if (!c.truncated || c.isNull) continue;
        if (c.bound != MYSQL_TYPE_STRING || c.length <= c.buffer.size())
            Raise("A MariaDB value did not convert without loss");
        c.buffer.resize(c.length);
        MYSQL_BIND& b = binds_[i];
        b.buffer = c.buffer.data();
        b.buffer_length = static_cast<unsigned long>(c.buffer.size());
        if (mysql_stmt_fetch_column(stmt_.get(), &b, i, 0) != 0) RaiseLastError();
        if (c.truncated) Raise("A MariaDB value did not arrive whole");
        grown = true;
    }
    // The next rows' values of that size fit at once.
    if (grown) BindResults();
}

bool StatementRows::Next(std::vector<std::string_view>& values) {
    const int rc = mysql_stmt_fetch(stmt_.get());
    if (rc == MYSQL_NO_DATA) return false;
    if (rc == MYSQL_DATA_TRUNCATED)
        ReadTruncated();
    else if (rc != 0)
        RaiseLastError();
    values.resize(columns_.size());
    for (size_t i = 0; i < columns_.size(); ++i) {
        Column& c = columns_[i];
        if (c.isNull) {
            values[i] = std::string_view();
            continue;
        }
        char* text = c.buffer.data();
        size_t length = c.length;
        if (c.bound == MYSQL_TYPE_DOUBLE)
            length = static_cast<size_t>(std::to_chars(text, text + c.buffer.size(), c.number).ptr - text);
        else if (c.bound == MYSQL_TYPE_FLOAT)
            length = static_cast<size_t>(std::to_chars(text, text + c.buffer.size(), c.single).ptr - text);
        values[i] = std::string_view(text, length);
    }
    return true;
}

}  // namespace qarn::ado::mariadb
