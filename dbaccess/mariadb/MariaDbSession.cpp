#include "mariadb/MariaDbSession.h"

#include <algorithm>
#include <string>

#include "mariadb/MariaDbCursor.h"
#include "mariadb/MariaDbStatementRows.h"

namespace qarn::ado::mariadb {

Session::Session(ConnectionHandle mysql) : mysql_(std::move(mysql)) {
    dbms_ = mariadb_connection(mysql_.get()) ? "MariaDB" : "MySQL";
}

Session::~Session() {
    Close();
}

MYSQL* Session::Handle() const {
    if (!mysql_) throw AdoError(err::InvalidConnection);
    return mysql_.get();
}

void Session::MakeReady() {
    MYSQL* mysql = Handle();
    if (streaming_) streaming_->BufferRest();
    // Whatever else the last command left unread goes unheard: its cursor
    // was closed before the end of its rows.
    int64_t rows = 0;
    if (mysql_more_results(mysql)) ReadRemaining(rows);
}

void Session::ApplyTimeout(int32_t timeoutSeconds) {
    if (timeoutSeconds < 0 || timeoutSeconds == timeoutSeconds_) return;
    // MariaDB bounds every statement in seconds; MySQL only SELECTs, in milliseconds.
    std::string sql = dbms_ == "MariaDB"
                          ? "SET SESSION max_statement_time = " + std::to_string(timeoutSeconds)
                          : "SET SESSION max_execution_time = " + std::to_string(timeoutSeconds * 1000LL);
    MYSQL* mysql = Handle();
    if (mysql_real_query(mysql, sql.data(), sql.size()) != 0) RaiseLast(mysql);
    timeoutSeconds_ = timeoutSeconds;
}

void Session::Send(std::string_view sql, int32_t timeoutSeconds) {
    MakeReady();
    ApplyTimeout(timeoutSeconds);
    MYSQL* mysql = Handle();
    if (mysql_real_query(mysql, sql.data(), sql.size()) != 0) RaiseLast(mysql);
}

std::unique_ptr<Cursor> Session::TakeResult(int64_t& rowsAffected) {
    MYSQL* mysql = Handle();
    if (mysql_field_count(mysql) == 0) {
        rowsAffected = static_cast<int64_t>(mysql_affected_rows(mysql));
        return nullptr;
    }
    ResultHandle result(mysql_use_result(mysql));
    if (!result) RaiseLast(mysql);
    return Adopt(std::make_unique<TextRows>(mysql, std::move(result)));
}

std::unique_ptr<Cursor> Session::RunPrepared(std::string_view sql, int32_t timeoutSeconds) {
    MakeReady();
    ApplyTimeout(timeoutSeconds);
    std::unique_ptr<StatementRows> rows = StatementRows::Run(Handle(), sql);
    if (!rows) return nullptr;
    return Adopt(std::move(rows));
}

std::unique_ptr<Cursor> Session::Adopt(std::unique_ptr<RowSource> rows) {
    auto cursor = std::make_unique<Cursor>(shared_from_this(), std::move(rows));
    cursors_.push_back(cursor.get());
    streaming_ = cursor.get();
    return cursor;
}

std::vector<ErrorRecord> Session::ReadRemaining(int64_t& rows) {
    MYSQL* mysql = Handle();
    while (mysql_more_results(mysql)) {
        int rc = mysql_next_result(mysql);
        if (rc > 0) return {LastError(mysql)};
        if (rc < 0) break;
        if (mysql_field_count(mysql) == 0) {
            rows += std::max<int64_t>(static_cast<int64_t>(mysql_affected_rows(mysql)), 0);
            continue;
        }
        ResultHandle result(mysql_use_result(mysql));
        if (!result) return {LastError(mysql)};
        while (mysql_fetch_row(result.get())) {
        }
        if (mysql_errno(mysql) != 0) return {LastError(mysql)};
    }
    return {};
}

int64_t Session::FinishCommand() {
    MYSQL* mysql = Handle();
    int64_t rows = 0;
    if (mysql_field_count(mysql) == 0) {
        rows = std::max<int64_t>(static_cast<int64_t>(mysql_affected_rows(mysql)), 0);
    } else {
        ResultHandle result(mysql_use_result(mysql));
        if (!result) RaiseLast(mysql);
        while (mysql_fetch_row(result.get())) {
        }
        if (mysql_errno(mysql) != 0) RaiseLast(mysql);
    }
    std::vector<ErrorRecord> failure = ReadRemaining(rows);
    if (!failure.empty()) throw ProviderError(std::move(failure));
    return rows;
}

int64_t Session::Run(std::string_view sql, int32_t timeoutSeconds) {
    Send(sql, timeoutSeconds);
    return FinishCommand();
}

unsigned int Session::ServerStatus() const {
    unsigned int status = 0;
    if (mariadb_get_infov(Handle(), MARIADB_CONNECTION_SERVER_STATUS, &status) != 0) return 0;
    return status;
}

void Session::Forget(Cursor* cursor) noexcept {
    cursors_.erase(std::remove(cursors_.begin(), cursors_.end(), cursor), cursors_.end());
    if (streaming_ == cursor) streaming_ = nullptr;
}

void Session::StreamEnded(Cursor* cursor) noexcept {
    if (streaming_ == cursor) streaming_ = nullptr;
}

void Session::Close() noexcept {
    if (!mysql_) return;
    // Rows still on the wire are not worth reading now.
    if (streaming_) mariadb_cancel(mysql_.get());
    for (Cursor* c : std::vector<Cursor*>(cursors_)) c->Detach();
    mysql_.reset();
}

}  // namespace qarn::ado::mariadb
