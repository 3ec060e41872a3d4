#pragma once
// The engine connection on an ODBC connection: statements, calls and
// transactions, with what each server's driver needs to deliver its values
// exactly (see OdbcEngine.h).

#include <sql.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ado/Engine.h"
#include "odbc/OdbcDriverHabits.h"
#include "odbc/OdbcHandles.h"
#include "odbc/OdbcProcedures.h"

namespace qarn::ado::odbc {

// Long enough for a server that is down but still routed, short enough
// that nobody waits on a dead host.
constexpr SQLUINTEGER kLoginTimeoutSeconds = 15;

class OdbcConnection final : public EngineConnection, public std::enable_shared_from_this<OdbcConnection> {
public:
    // Takes a connected handle and the string it was connected with, which
    // names the database files and may be used to connect again.
    OdbcConnection(std::shared_ptr<Connection> connection, const std::string& connectionString);

    ExecuteResult ExecuteReadOnly(const std::string& sql, int32_t timeoutSeconds) override;
    bool TransactionOpen() override;
    std::vector<std::string> DatabaseFiles() override { return files_; }
    ExecuteResult Execute(const std::string& sql, int32_t timeoutSeconds) override;
    int64_t ExecuteBatch(const std::string& sql, int32_t timeoutSeconds) override;
    std::vector<BoundParameter> ProcedureParameters(const std::string& procName) override;
    ExecuteResult CallProcedure(const std::string& procName, std::vector<BoundParameter>& params,
                                int32_t timeoutSeconds) override;
    void BeginTrans() override;
    void CommitTrans() override { EndTransaction(SQL_COMMIT); }
    void RollbackTrans() override { EndTransaction(SQL_ROLLBACK); }
    std::string DbmsName() const override { return dbms_; }
    void Close() override;

private:
    std::unique_ptr<Statement> NewStatement(int32_t timeoutSeconds);
    SQLRETURN ExecDirect(const Statement& stmt, const std::string& sql);

    bool IsMySql() const;
    bool IsPostgres() const { return dbms_ == "PostgreSQL"; }
    bool IsSqlServer() const { return dbms_.find("SQL Server") != std::string::npos; }

    // Runs SQL text with the driver's own view of its result.
    ExecuteResult ExecuteAsIs(const std::string& sql, int32_t timeoutSeconds);
    // The first row of SQL text run as it is; empty when there is none.
    std::vector<Variant> FirstRow(const std::string& sql);
    Variant FirstValue(const std::string& sql);

    // A query on PostgreSQL, read by the types of its columns as the server
    // names them: the columns whose values psqlodbc would change reach it as
    // text the server wrote.  A query the server cannot take as a subquery
    // runs as it is, and so fails with its own message if it is wrong.
    ExecuteResult ExecutePostgresQuery(const std::string& sql, std::string_view body, int32_t timeoutSeconds);
    // Makes psqlodbc deliver text as the server holds it and the server
    // write every value exactly; psqlodbc may be set (in the string or its
    // data source) to turn line feeds into CR LF, which a second connection
    // without that setting replaces.
    void ExactPostgresSession(const std::string& connectionString);
    // Text is read as the connection's bytes, which must be UTF-8 whatever
    // character set the string asked for; the driver and the server must
    // agree on it, so the connection is made again with utf8mb4.
    void Utf8MySqlSession(const std::string& connectionString);
    void Reconnect(const std::string& connectionString);
    // PostgreSQL takes a savepoint only inside a transaction block, and
    // says which: 25P01 outside one, 25P02 in one that has failed.
    bool PostgresBlockOpen();

    ProcName Resolve(const std::string& procName) const;
    CallStyle StyleOfCall(const std::string& procName, bool hasReturn);
    // Whether PostgreSQL knows the name as a procedure rather than a function.
    bool IsPostgresProcedure(const std::string& procName);
    std::string CurrentCatalog() const;

    void SetAutoCommit(bool on);
    void EndTransaction(SQLSMALLINT completion);

    std::shared_ptr<Connection> connection_;
    std::string dbms_;
    DriverHabits habits_;
    std::vector<std::string> files_;
    bool inTransaction_ = false;
    std::vector<SQLWCHAR> wideSql_;
};

}  // namespace qarn::ado::odbc
