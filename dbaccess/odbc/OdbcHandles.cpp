#include "odbc/OdbcHandles.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "odbc/OdbcText.h"

namespace qarn::ado::odbc {

namespace {
constexpr SQLSMALLINT kMessageChars = 1024;
}  // namespace

std::vector<ErrorRecord> ReadDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
    std::vector<ErrorRecord> records;
    if (handle == SQL_NULL_HANDLE) return records;
    std::vector<SQLWCHAR> message(kMessageChars);
    for (SQLSMALLINT i = 1;; ++i) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, i, state, &native, message.data(),
                                      static_cast<SQLSMALLINT>(message.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
            message.resize(static_cast<size_t>(length) + 1);
            rc = SQLGetDiagRecW(handleType, handle, i, state, &native, message.data(),
                                static_cast<SQLSMALLINT>(message.size()), &length);
        }
        if (!SQL_SUCCEEDED(rc)) break;
        records.push_back({native, FromBuffer(message.data(), message.size(), length), ToUtf8(state, 5)});
    }
    return records;
}

void RaiseDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle, const char* what) {
    std::vector<ErrorRecord> records = ReadDiagnostics(handleType, handle);
    if (records.empty()) records.push_back({0, std::string(what) + " failed without a diagnostic record", "HY000"});
    throw ProviderError(std::move(records));
}

std::shared_ptr<Environment> Environment::Shared() {
    static const std::shared_ptr<Environment> shared = std::make_shared<Environment>();
    return shared;
}

Environment::Environment() : handle_(SQL_HANDLE_ENV, SQL_NULL_HANDLE) {
    Check(SQLSetEnvAttr(Get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0), "SQLSetEnvAttr");
}

Connection::Connection() : env_(Environment::Shared()), handle_(SQL_HANDLE_ENV, env_->Get()) {}

Connection::~Connection() {
    Close();
}

void Connection::Connect(std::string_view connectionString, SQLUINTEGER loginTimeoutSeconds) {
    Check(SQLSetConnectAttrW(Get(), SQL_ATTR_LOGIN_TIMEOUT,
                             reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(loginTimeoutSeconds)), 0),
          "SQLSetConnectAttr");
    std::vector<SQLWCHAR> text = ToUtf16(connectionString);
    SQLSMALLINT outLength = 0;
    Check(SQLDriverConnectW(Get(), nullptr, text.data(), SQL_NTS, nullptr, 0, &outLength, SQL_DRIVER_NOPROMPT),
          "SQLDriverConnect");
    connected_ = true;
}

void Connection::Close() {
    // Freeing a statement unregisters it, so work from a copy.
    std::vector<Statement*> open = statements_;
    for (Statement* s : open) s->Free();
    // A transaction still open keeps the driver from disconnecting: it is
    // rolled back, as closing a connection does.
    if (connected_ && !SQL_SUCCEEDED(SQLDisconnect(Get()))) {
        SQLEndTran(SQL_HANDLE_DBC, Get(), SQL_ROLLBACK);
        SQLDisconnect(Get());
    }
    connected_ = false;
    handle_.Reset();
}

SQLHDBC Connection::OpenHandle() const {
    if (!connected_) throw AdoError(err::ObjectClosed);
    return Get();
}

std::optional<std::string> Connection::TryInfoText(SQLUSMALLINT item) const {
    std::vector<SQLWCHAR> buffer(256);
    SQLSMALLINT bytes = 0;
    SQLHDBC handle = OpenHandle();
    auto get = [&] {
        return SQLGetInfoW(handle, item, buffer.data(), static_cast<SQLSMALLINT>(buffer.size() * sizeof(SQLWCHAR)),
                           &bytes);
    };
    SQLRETURN rc = get();
    if (rc == SQL_SUCCESS_WITH_INFO && static_cast<size_t>(bytes) >= buffer.size() * sizeof(SQLWCHAR)) {
        buffer.resize(static_cast<size_t>(bytes) / sizeof(SQLWCHAR) + 1);
        rc = get();
    }
    if (!SQL_SUCCEEDED(rc)) return std::nullopt;
    return FromBuffer(buffer.data(), buffer.size(), bytes / static_cast<SQLSMALLINT>(sizeof(SQLWCHAR)));
}

std::string Connection::InfoText(SQLUSMALLINT item) const {
    std::optional<std::string> text = TryInfoText(item);
    if (!text) handle_.Raise("SQLGetInfo");
    return *text;
}

Statement::Statement(std::shared_ptr<Connection> connection)
    : connection_(std::move(connection)), handle_(SQL_HANDLE_DBC, connection_->OpenHandle()) {
    connection_->statements_.push_back(this);
}

Statement::~Statement() {
    Free();
}

void Statement::Free() {
    if (!handle_) return;
    handle_.Reset();
    auto& list = connection_->statements_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

}  // namespace qarn::ado::odbc
