#pragma once
// The rows of one statement, streamed from the server one at a time
// (libpq's single-row mode), so memory stays flat however many there are.
//
// While its statement runs the cursor owns the connection's input.  When
// another command must run first, the session has the cursor read its
// remaining rows into its own buffer (BufferRest), to be fetched later.
//
// A failure on row N (a division by zero, the server stopped) surfaces at
// fetch N and at every fetch after it, never as an early end of the rows.
//
// Closing before the end either reads the remaining rows and drops them
// (the statement completes, whatever it changes) or, for a statement that
// only reads, asks the server to cancel it.

#include <deque>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ado/Engine.h"
#include "postgres/PgHandles.h"
#include "postgres/PgTypeMap.h"

namespace qarn::ado::postgres {

class Session;

class Cursor final : public EngineCursor {
public:
    // `first` is the statement's first result (a row, or the end of no rows);
    // `streaming` when more are still to come.
    // `before` is the transaction state before the statement ran.
    Cursor(std::shared_ptr<Session> session, ResultHandle first, bool streaming, PGTransactionStatusType before,
           int32_t timeoutSeconds, bool cancelOnClose);
    ~Cursor() override;

    const std::vector<ColumnInfo>& Columns() const override { return columns_; }
    bool Fetch(std::vector<Variant>& row) override;
    void Close() override;

    // The session needs the connection: the rest of the rows (and a failure
    // among them) go into this cursor's buffer.
    void BufferRest() noexcept;
    // The connection is closing: later fetches raise.
    void Detach() noexcept;

private:
    ResultHandle ReadStreamed();
    void Decode(const PGresult* result, std::vector<Variant>& row) const;
    void DecodeBuffered(std::string_view packed, std::vector<Variant>& row) const;
    [[noreturn]] void Fail(const PGresult* result);
    void EndStream(bool cancel) noexcept;

    std::shared_ptr<Session> session_;
    std::vector<ColumnInfo> columns_;
    std::vector<ValueForm> forms_;
    ResultHandle pending_;  // a row read but not fetched yet
    // Rows read early for another command, each packed as, per column, a
    // 32-bit length (-1 for NULL) and the bytes of the value's text.
    std::deque<std::string> buffer_;
    bool streaming_;
    int32_t timeoutSeconds_;
    bool cancelOnClose_;
    bool connectionClosed_ = false;
    std::exception_ptr failure_;  // raised after the rows before it
};

}  // namespace qarn::ado::postgres
