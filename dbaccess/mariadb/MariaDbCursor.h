#pragma once
// A result of a MariaDB command, read a row per Fetch straight from the
// wire (mysql_use_result, or a prepared statement's rows: see
// MariaDbRows.h), so memory stays flat whatever the row count.
//
// When another command must run before the rows are all read, the session
// has the cursor read the rest into its own buffer (BufferRest), and Fetch
// then serves them from there.  A connection lost mid-read is a failure at
// that Fetch, never an early end of the rows; a failure of a statement that
// follows in the same text is raised by the Fetch that finds the rows ended.

#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ado/Engine.h"
#include "mariadb/MariaDbRows.h"
#include "mariadb/MariaDbTypeMap.h"

namespace qarn::ado::mariadb {

class Session;

class Cursor final : public EngineCursor {
public:
    Cursor(std::shared_ptr<Session> session, std::unique_ptr<RowSource> rows);
    ~Cursor() override;

    const std::vector<ColumnInfo>& Columns() const override { return columns_; }
    bool Fetch(std::vector<Variant>& row) override;
    void Close() override;

    // For the session: read every remaining row (and the results after
    // them) now, as a command is about to be sent.
    void BufferRest() noexcept;
    // For the session: the connection is closing.  Nothing more is read;
    // a later Fetch raises "object closed".
    void Detach() noexcept;

private:
    bool FetchBuffered(std::vector<Variant>& row);
    // The rows are done: the results after them are read, their failure raised.
    void EndOfRows();
    [[noreturn]] void Fail(std::exception_ptr failure);
    void Release() noexcept;
    // The rows are no longer read from the wire.
    void DropRows() noexcept;
    void Store(const std::vector<std::string_view>& values, std::vector<Variant>& row) const;

    std::shared_ptr<Session> session_;  // declared first: outlives the rows
    std::unique_ptr<RowSource> rows_;
    std::vector<std::string_view> values_;  // the row just read
    std::vector<ColumnInfo> columns_;
    std::vector<ValueForm> forms_;

    // Rows read ahead by BufferRest: the values' bytes back to back, and
    // each value's length (-1 for NULL), row after row.
    bool buffered_ = false;
    std::string bufferBytes_;
    std::vector<int64_t> bufferLengths_;
    size_t nextValue_ = 0, nextByte_ = 0;

    std::exception_ptr failure_;         // raised by every later Fetch
    std::exception_ptr pendingFailure_;  // raised when the buffered rows run out
    bool connectionClosed_ = false;
};

}  // namespace qarn::ado::mariadb
