// The PostgreSQL engine, on libpq directly.
//
// Connecting: see PgConnectionString.h.  Each session is set up so that
// values read back exactly: client_encoding UTF8, DateStyle ISO,
// IntervalStyle postgres, extra_float_digits 3 (shortest exact floats),
// bytea_output hex.  The server's notices are dropped.
//
// Execute runs one statement through the extended protocol and streams its
// rows (PgStatement.h, PgCursor.h); ExecuteBatch runs a whole script
// through the simple protocol and raises its first failure.  Values come
// in PostgreSQL's text form and are read exactly (PgTypeMap.h).
//
// Transactions: BeginTrans while one is open (by BeginTrans or SQL text)
// raises 3219; CommitTrans and RollbackTrans without one raise 3219, and
// CommitTrans of a transaction that has failed rolls it back and raises.
// ExecuteReadOnly runs outside a transaction as BEGIN READ ONLY, the query,
// and ROLLBACK when its cursor ends, closes or goes away; inside one, as
// Execute does.
//
// Errors: provider errors with one record each (PgErrors.h).

#include "postgres/PgEngine.h"

#include <vector>

#include "ado/DataTypes.h"
#include "postgres/PgConnectionString.h"
#include "postgres/PgErrors.h"
#include "postgres/PgHandles.h"
#include "postgres/PgProcedures.h"
#include "postgres/PgReplay.h"
#include "postgres/PgSession.h"
#include "postgres/PgStatement.h"
#include "sql/SqlLexer.h"

namespace qarn::ado {

namespace {

using namespace postgres;

constexpr const char* kSessionSetup =
    "SET DateStyle = ISO; SET IntervalStyle = postgres; SET extra_float_digits = 3; SET bytea_output = hex";

// A statement that only reads: closing its cursor early may cancel it,
// when no transaction would fail with it.
bool OnlyReads(const std::string& sql) {
    sql::Lexer lexer(sql, sql::Dialect::PostgreSql);
    sql::Token first = lexer.Next();
    for (const char* word : {"SELECT", "VALUES", "TABLE", "SHOW"})
        if (lexer.IsWord(first, word)) return true;
    return false;
}

class PgConnection final : public EngineConnection {
public:
    explicit PgConnection(std::shared_ptr<Session> session) : session_(std::move(session)) {}

    ExecuteResult Execute(const std::string& sql, int32_t timeoutSeconds) override {
        session_->Settle();
        const bool cancelOnClose = OnlyReads(sql) && !session_->TransactionOpen();
        return RunStatement(session_, sql, {}, timeoutSeconds, cancelOnClose);
    }

    ExecuteResult ExecuteReadOnly(const std::string& sql, int32_t timeoutSeconds) override {
        session_->Settle();
        if (session_->TransactionOpen()) return Execute(sql, timeoutSeconds);
        session_->RunScript("BEGIN READ ONLY", timeoutSeconds);
        try {
            ExecuteResult result = RunStatement(session_, sql, {}, timeoutSeconds, true);
            if (!result.cursor) {
                EndReadOnly(*session_);
                return result;
            }
            result.cursor = std::make_unique<CursorWithEnd>(std::move(result.cursor),
                                                            [session = session_] { EndReadOnly(*session); });
            return result;
        } catch (...) {
            try {
                EndReadOnly(*session_);
            } catch (...) {
            }
            throw;
        }
    }

    bool TransactionOpen() override { return session_->TransactionOpen(); }

    int64_t ExecuteBatch(const std::string& sql, int32_t timeoutSeconds) override {
        return session_->RunScript(sql, timeoutSeconds);
    }

    std::vector<BoundParameter> ProcedureParameters(const std::string& procName) override {
        return postgres::ProcedureParameters(*session_, procName);
    }

    ExecuteResult CallProcedure(const std::string& procName, std::vector<BoundParameter>& params,
                                int32_t timeoutSeconds) override {
        return postgres::CallProcedure(session_, procName, params, timeoutSeconds);
    }

    std::unique_ptr<EngineReplay> BeginReplay(int32_t timeoutSeconds) override {
        session_->Conn();
        return std::make_unique<Replay>(session_, timeoutSeconds);
    }

    void BeginTrans() override {
        session_->Settle();
        if (session_->TransactionOpen()) throw AdoError(err::IllegalOperation);
        session_->RunScript("BEGIN", -1);
    }

    void CommitTrans() override {
        PGconn* conn = session_->Settle();
        const PGTransactionStatusType status = PQtransactionStatus(conn);
        if (status != PQTRANS_INTRANS && status != PQTRANS_INERROR) throw AdoError(err::IllegalOperation);
        std::string tag;
        session_->RunScript("COMMIT", -1, &tag);
        // PostgreSQL answers COMMIT of a failed transaction by rolling it back.
        if (tag == "ROLLBACK")
            Raise(state::InFailedTransaction,
                  "ERROR: the transaction had failed, so it was rolled back instead of committed");
    }

    void RollbackTrans() override {
        PGconn* conn = session_->Settle();
        const PGTransactionStatusType status = PQtransactionStatus(conn);
        if (status != PQTRANS_INTRANS && status != PQTRANS_INERROR) throw AdoError(err::IllegalOperation);
        session_->RunScript("ROLLBACK", -1);
    }

    std::string DbmsName() const override { return "PostgreSQL"; }

    void Close() override { session_->Close(); }

private:
    // Ends the read-only transaction, if it is still open.
    static void EndReadOnly(Session& session) {
        if (!session.IsOpen()) return;
        const PGTransactionStatusType status = PQtransactionStatus(session.Settle());
        if (status == PQTRANS_INTRANS || status == PQTRANS_INERROR) session.RunScript("ROLLBACK", -1);
    }

    std::shared_ptr<Session> session_;
};

void DropNotice(void*, const PGresult*) {}

}  // namespace

std::shared_ptr<EngineConnection> OpenPostgres(const std::string& connectionString) {
    std::vector<ConninfoEntry> entries = TranslateConnectionString(connectionString);
    std::vector<const char*> keywords, values;
    for (const ConninfoEntry& e : entries) {
        keywords.push_back(e.keyword.c_str());
        values.push_back(e.value.c_str());
    }
    keywords.push_back(nullptr);
    values.push_back(nullptr);
    ConnHandle conn(PQconnectdbParams(keywords.data(), values.data(), 0));
    if (!conn || PQstatus(conn.get()) != CONNECTION_OK) Raise(ConnectionRecord(conn.get(), state::ConnectFailed));
    PQsetNoticeReceiver(conn.get(), DropNotice, nullptr);
    ResultHandle setup(PQexec(conn.get(), kSessionSetup));
    if (!setup || PQresultStatus(setup.get()) != PGRES_COMMAND_OK) Raise(RecordOf(setup.get(), conn.get()));
    return std::make_shared<PgConnection>(std::make_shared<Session>(std::move(conn)));
}

}  // namespace qarn::ado
