#pragma once
// The connection handle that a MariaDB connection and its cursors share,
// and the one rule of the protocol they keep between them: a command is
// sent only when every result of the one before has been read.
//
// Rows stream (mysql_use_result): while a cursor reads, its rows are still
// on the wire.  A command sent meanwhile first has that cursor read the rest
// of its rows into its own buffer, so no cursor is ever cut short; results
// that follow (the later statements of a script, the status of a CALL) are
// then read and dropped.
//
// Close() ends every cursor (their later fetches raise "object closed") and
// closes the handle; a cursor that outlives its connection object keeps the
// session alive, so the order in which the caller drops them never matters.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "ado/Engine.h"
#include "mariadb/MariaDbHandles.h"

namespace qarn::ado::mariadb {

class Cursor;
class RowSource;

class Session : public std::enable_shared_from_this<Session> {
public:
    explicit Session(ConnectionHandle mysql);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool IsOpen() const { return mysql_ != nullptr; }
    // The open handle; raises "invalid connection" once closed.
    MYSQL* Handle() const;
    // "MariaDB" or "MySQL", as the server says.
    const std::string& DbmsName() const { return dbms_; }

    // Sends SQL text once the connection is ready; raises the failure of its
    // first statement.  `timeoutSeconds` > 0 bounds each statement's run on
    // the server, 0 lifts the bound, < 0 leaves it as it is.
    void Send(std::string_view sql, int32_t timeoutSeconds = -1);
    // The current result as a streaming cursor, or null when it has no rows
    // (its row count then goes to `rowsAffected`).
    std::unique_ptr<Cursor> TakeResult(int64_t& rowsAffected);
    // Runs `sql` as a prepared statement whose rows a cursor streams in
    // binary; null when the server cannot prepare it or it has no rows, so
    // the caller sends it as text.  Raises the failure of running it.
    std::unique_ptr<Cursor> RunPrepared(std::string_view sql, int32_t timeoutSeconds = -1);
    // Reads the results that remain of the command (rows dropped); the
    // first failure, or nothing.  Row counts of the results that are not
    // row sets add up in `rows`.
    std::vector<ErrorRecord> ReadRemaining(int64_t& rows);
    // Reads every result of the command just sent; raises the first failure.
    int64_t FinishCommand();
    // Sends and finishes a command.
    int64_t Run(std::string_view sql, int32_t timeoutSeconds = -1);

    // The server's status bits of the last reply (SERVER_STATUS_IN_TRANS, ...).
    unsigned int ServerStatus() const;

    void Forget(Cursor* cursor) noexcept;
    void StreamEnded(Cursor* cursor) noexcept;
    void Close() noexcept;

private:
    void MakeReady();
    void ApplyTimeout(int32_t timeoutSeconds);
    std::unique_ptr<Cursor> Adopt(std::unique_ptr<RowSource> rows);

    ConnectionHandle mysql_;
    std::string dbms_;
    std::vector<Cursor*> cursors_;  // open on this session, not owned
    Cursor* streaming_ = nullptr;   // the cursor whose rows are on the wire
    int32_t timeoutSeconds_ = 0;    // the bound set on the server
};

}  // namespace qarn::ado::mariadb
