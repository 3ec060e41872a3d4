#pragma once
// The connection a PostgreSQL engine and its cursors and replays share.
//
// libpq runs one command at a time on a connection.  A cursor streams its
// rows from the connection for as long as its statement runs; when a new
// command must start first, Settle() has the cursor read the rest of its
// rows into its own buffer (a replay drains its pipeline), so nobody's rows
// are cut short.
//
// Waiting: a command's results are waited for at most its timeout (each
// wait for the server starts the count again); when it expires the server is
// asked to cancel the statement, whose failure (57014) then says so.
//
// Close() detaches every cursor and replay and closes the connection; a
// cursor outliving its connection object keeps the session alive, so the
// order in which the caller drops them never matters.

#include <libpq-fe.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ado/AdoError.h"
#include "postgres/PgCatalog.h"
#include "postgres/PgErrors.h"
#include "postgres/PgHandles.h"

namespace qarn::ado::postgres {

class Cursor;

// Something holding the connection between its own calls (a replay in
// pipeline mode).  Release() leaves the connection ready for a command.
class ConnectionHolder {
public:
    virtual ~ConnectionHolder() = default;
    virtual void Release() noexcept = 0;
    virtual void Detach() noexcept = 0;
};

class Session {
public:
    explicit Session(ConnHandle conn);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool IsOpen() const { return conn_ != nullptr; }
    // Raises 3709 when the connection is closed.
    PGconn* Conn() const;
    void Close() noexcept;

    // Makes the connection ready for a new command (see above) and returns it.
    PGconn* Settle();

    void Register(Cursor* c);
    void Unregister(Cursor* c) noexcept;
    // The cursor whose rows are arriving; the transaction state before its statement ran.
    void StartStreaming(Cursor* c, PGTransactionStatusType before);
    void StopStreaming(Cursor* c) noexcept;
    void Hold(ConnectionHolder* h) { holder_ = h; }
    void Unhold(ConnectionHolder* h) noexcept;

    // Whether a transaction is open (begun by BeginTrans or by SQL text).
    bool TransactionOpen() const;

    // A new command starts: no timeout has expired yet.
    void BeginCommand() { timedOut_ = false; }
    // The next result of the running command, waiting at most
    // `timeoutSeconds` (<= 0: no limit); null at the end of its results.
    ResultHandle Next(int32_t timeoutSeconds);
    // Reads and drops what is left of the running command's results,
    // ending a COPY the command began.
    void Discard() noexcept;
    // Asks the server to stop the running statement.
    void Cancel() noexcept;

    // The failure of a result, noting an expired timeout.
    ErrorRecord Record(const PGresult* result) const;
    [[noreturn]] void RaiseResult(const PGresult* result) const { Raise(Record(result)); }
    // A failure libpq reports on the connection (it is gone, or refused a call).
    [[noreturn]] void RaiseConnection() const;

    // Runs SQL text of any number of statements (the simple protocol),
    // rows dropped as they come; raises the first failure.  Returns the sum
    // of the rows the statements changed; `lastTag` receives the command
    // tag of the last statement.
    int64_t RunScript(const std::string& sql, int32_t timeoutSeconds, std::string* lastTag = nullptr);
    // A catalog query with text parameters, its rows whole.
    ResultHandle Ask(const char* sql, const std::vector<const char*>& params);

    Catalog& Types() { return catalog_; }

private:
    bool WaitForResult(int32_t timeoutSeconds);

    ConnHandle conn_;
    std::vector<Cursor*> cursors_;
    Cursor* streaming_ = nullptr;
    PGTransactionStatusType beforeStreaming_ = PQTRANS_IDLE;
    ConnectionHolder* holder_ = nullptr;
    Catalog catalog_;
    bool timedOut_ = false;
    int32_t timeoutSeconds_ = 0;
};

// The rows a command tag says were changed ("INSERT 0 3" -> 3); -1 when it says none.
int64_t RowsOf(const PGresult* result);

}  // namespace qarn::ado::postgres
