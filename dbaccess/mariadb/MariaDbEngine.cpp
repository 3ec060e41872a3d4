// The MariaDB engine.
//
// Every connection speaks utf8mb4, whatever the server's default, so text
// arrives as UTF-8; it allows several statements per text (scripts) and
// several results per statement (procedures).
//
// Execute runs SQL text; a first result with columns becomes a cursor that
// streams (see MariaDbCursor.h), otherwise its row count is returned and
// any later statements' results are read, their first failure raised.
// ExecuteBatch runs a script and reads every result, raising the first
// failure (the server runs nothing after it).
// ExecuteReadOnly (what Generate reads with) runs a query the server can
// prepare as a prepared statement, whose rows come in binary and cost the
// server less to send (MariaDbStatementRows.h); anything else as text.
//
// Transactions: BeginTrans turns autocommit off, so that a statement that
// commits on its own (DDL) does not leave the rest of the work outside a
// transaction; CommitTrans and RollbackTrans end it and turn autocommit on.
//
// Timeouts: a positive timeout bounds each statement's run on the server
// (MariaDB's max_statement_time, MySQL's max_execution_time for SELECTs),
// which includes the time its rows take to be read.

#include "mariadb/MariaDbEngine.h"

#include <string_view>

#include "ado/ConnectionString.h"
#include "mariadb/MariaDbCursor.h"
#include "mariadb/MariaDbHandles.h"
#include "mariadb/MariaDbOptions.h"
#include "mariadb/MariaDbProcedures.h"
#include "mariadb/MariaDbReplay.h"
#include "mariadb/MariaDbSession.h"

namespace qarn::ado {

namespace {

using mariadb::Session;

class MariaDbConnection final : public EngineConnection {
public:
    explicit MariaDbConnection(std::shared_ptr<Session> session) : session_(std::move(session)) {}

    ExecuteResult Execute(const std::string& sql, int32_t timeoutSeconds) override {
        session_->Send(sql, timeoutSeconds);
        ExecuteResult result;
        result.cursor = session_->TakeResult(result.rowsAffected);
        if (!result.cursor) {
            int64_t ignored = 0;
            std::vector<ErrorRecord> failure = session_->ReadRemaining(ignored);
            if (!failure.empty()) throw ProviderError(std::move(failure));
        }
        return result;
    }

    int64_t ExecuteBatch(const std::string& sql, int32_t timeoutSeconds) override {
        return session_->Run(sql, timeoutSeconds);
    }

    ExecuteResult ExecuteReadOnly(const std::string& sql, int32_t timeoutSeconds) override {
        if (TransactionOpen()) return Read(sql, timeoutSeconds);
        session_->Run("START TRANSACTION READ ONLY");
        ExecuteResult result;
        try {
            result = Read(sql, timeoutSeconds);
        } catch (...) {
            EndReadOnly(session_);
            throw;
        }
        if (!result.cursor) {
            session_->Run("ROLLBACK");
            return result;
        }
        result.cursor = std::make_unique<CursorWithEnd>(
            std::move(result.cursor), [weak = std::weak_ptr<Session>(session_)] { EndReadOnly(weak.lock()); });
        return result;
    }

    bool TransactionOpen() override {
        return inTransaction_ || (session_->ServerStatus() & SERVER_STATUS_IN_TRANS) != 0;
    }

    std::unique_ptr<EngineReplay> BeginReplay(int32_t timeoutSeconds) override {
        if (!TransactionOpen()) return EngineConnection::BeginReplay(timeoutSeconds);
        return mariadb::MakeBatchReplay(session_, timeoutSeconds);
    }

    std::vector<BoundParameter> ProcedureParameters(const std::string& procName) override {
        return mariadb::ReadProcedureParameters(*session_, procName);
    }

    ExecuteResult CallProcedure(const std::string& procName, std::vector<BoundParameter>& params,
                                int32_t timeoutSeconds) override {
        return mariadb::CallRoutine(*session_, procName, params, timeoutSeconds);
    }

    void BeginTrans() override {
        if (inTransaction_) throw AdoError(err::IllegalOperation);
        session_->Run("SET autocommit = 0");
        inTransaction_ = true;
    }
    void CommitTrans() override { EndTransaction("COMMIT; SET autocommit = 1"); }
    void RollbackTrans() override { EndTransaction("ROLLBACK; SET autocommit = 1"); }

    std::string DbmsName() const override { return session_->IsOpen() ? session_->DbmsName() : std::string(); }

    void Close() override {
        session_->Close();
        inTransaction_ = false;
    }

private:
    // A query's rows in binary when the server prepares it, which spares it
    // writing every value as text; as text otherwise.
    ExecuteResult Read(const std::string& sql, int32_t timeoutSeconds) {
        ExecuteResult result;
        result.cursor = session_->RunPrepared(sql, timeoutSeconds);
        if (!result.cursor) return Execute(sql, timeoutSeconds);
        return result;
    }

    // Ends the transaction a read-only query ran in; a connection that is
    // gone has ended it already.
    static void EndReadOnly(const std::shared_ptr<Session>& session) noexcept {
        if (!session || !session->IsOpen()) return;
        try {
            session->Run("ROLLBACK");
        } catch (...) {
            // Nothing was written; the transaction ends with the connection at the latest.
        }
    }

    void EndTransaction(std::string_view sql) {
        if (!inTransaction_) throw AdoError(err::IllegalOperation);
        session_->Run(sql);
        inTransaction_ = false;
    }

    std::shared_ptr<Session> session_;
    bool inTransaction_ = false;
};

}  // namespace

std::shared_ptr<EngineConnection> OpenMariaDb(const std::string& connectionString) {
    mariadb::Options o = mariadb::ReadOptions(ParseConnectionString(connectionString));
    mariadb::ConnectionHandle mysql(mysql_init(nullptr));
    if (!mysql) mariadb::Raise("Out of memory for a MariaDB connection");
    MYSQL* m = mysql.get();
    unsigned int timeout = o.connectTimeoutSeconds;
    mysql_optionsv(m, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
    mysql_optionsv(m, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    // Rows stream: a reader that pauses (a page of rows on screen) leaves
    // the server waiting to write, which by default it gives up after a
    // minute, dropping the connection.
    mysql_optionsv(m, MYSQL_INIT_COMMAND, "SET SESSION net_write_timeout = 28800");
    if (o.sslMode != mariadb::SslMode::Disabled) {
        my_bool on = 1;
        mysql_optionsv(m, MYSQL_OPT_SSL_ENFORCE, &on);
        if (o.sslMode == mariadb::SslMode::VerifyFull) mysql_optionsv(m, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &on);
        if (!o.sslCa.empty()) mysql_optionsv(m, MYSQL_OPT_SSL_CA, o.sslCa.c_str());
    }
    auto orNull = [](const std::string& s) { return s.empty() ? nullptr : s.c_str(); };
    if (!mysql_real_connect(m, orNull(o.host), orNull(o.user), o.password.c_str(), orNull(o.database), o.port,
                            orNull(o.socket), CLIENT_MULTI_STATEMENTS | CLIENT_MULTI_RESULTS))
        mariadb::RaiseLast(m);
    return std::make_shared<MariaDbConnection>(std::make_shared<Session>(std::move(mysql)));
}

}  // namespace qarn::ado
