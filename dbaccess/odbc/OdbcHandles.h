#pragma once
// Owners of the ODBC handles the engine uses, and the reader of their
// diagnostics.  Nothing outside dbaccess/odbc sees these types.
//
// Lifetimes: a connection owner keeps the environment alive and a statement
// keeps its connection owner alive, so handles are always freed child first.
// Closing a connection frees the statements still open on it; a statement
// freed that way reports itself closed from then on.

#include <sql.h>
#include <sqlext.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ado/AdoError.h"

namespace qarn::ado::odbc {

// Every diagnostic record of the handle, in order.
std::vector<ErrorRecord> ReadDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle);
// Raises a provider error with the handle's records; `what` names the call
// when the driver left no record.
[[noreturn]] void RaiseDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle, const char* what);
inline void Check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* what) {
    if (!SQL_SUCCEEDED(rc)) RaiseDiagnostics(handleType, handle, what);
}

// Frees one handle of a kind on destruction.
template <SQLSMALLINT Kind>
class UniqueHandle {
public:
    UniqueHandle() = default;
    // Allocates under `parent`; raises the parent's diagnostics on failure.
    UniqueHandle(SQLSMALLINT parentKind, SQLHANDLE parent) {
        if (!SQL_SUCCEEDED(SQLAllocHandle(Kind, parent, &handle_))) {
            handle_ = SQL_NULL_HANDLE;
            RaiseDiagnostics(parentKind, parent, "SQLAllocHandle");
        }
    }
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    SQLHANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != SQL_NULL_HANDLE; }
    void Reset() {
        if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(Kind, handle_);
        handle_ = SQL_NULL_HANDLE;
    }
    void Check(SQLRETURN rc, const char* what) const { odbc::Check(rc, Kind, handle_, what); }
    [[noreturn]] void Raise(const char* what) const { RaiseDiagnostics(Kind, handle_, what); }

private:
    SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// The process's ODBC 3 environment, shared by every connection.
class Environment {
public:
    static std::shared_ptr<Environment> Shared();
    SQLHENV Get() const { return handle_.Get(); }
    void Check(SQLRETURN rc, const char* what) const { handle_.Check(rc, what); }

    Environment();

private:
    UniqueHandle<SQL_HANDLE_ENV> handle_;
};

class Statement;

// A connection handle, connected by Connect and released by Close or the
// last owner going away.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // SQLDriverConnect without prompting, after a login timeout is set.
    void Connect(std::string_view connectionString, SQLUINTEGER loginTimeoutSeconds);
    bool IsOpen() const { return connected_; }
    // Frees the statements still open, disconnects and frees the handle.
    void Close();

    SQLHDBC Get() const { return handle_.Get(); }
    // The handle of an open connection; raises "object closed" otherwise.
    SQLHDBC OpenHandle() const;
    void Check(SQLRETURN rc, const char* what) const { handle_.Check(rc, what); }
    // SQLGetInfo for a text item, as UTF-8; the Try form gives nothing
    // when the driver cannot tell.
    std::string InfoText(SQLUSMALLINT item) const;
    std::optional<std::string> TryInfoText(SQLUSMALLINT item) const;

private:
    friend class Statement;
    std::shared_ptr<Environment> env_;
    UniqueHandle<SQL_HANDLE_DBC> handle_;
    bool connected_ = false;
    std::vector<Statement*> statements_;  // open on this connection, not owned
};

// A statement handle on an open connection.
class Statement {
public:
    explicit Statement(std::shared_ptr<Connection> connection);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // False once freed, by Free or by its connection closing.
    bool IsOpen() const { return static_cast<bool>(handle_); }
    void Free();

    SQLHSTMT Get() const { return handle_.Get(); }
    void Check(SQLRETURN rc, const char* what) const { handle_.Check(rc, what); }
    std::vector<ErrorRecord> Diagnostics() const { return ReadDiagnostics(SQL_HANDLE_STMT, handle_.Get()); }

private:
    std::shared_ptr<Connection> connection_;
    UniqueHandle<SQL_HANDLE_STMT> handle_;
};

}  // namespace qarn::ado::odbc
