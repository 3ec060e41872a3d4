#pragma once
// The ADO-like Connection: a connection string, Open/Close/State, the
// provider's Errors collection and transactions.  The Provider entry of the
// connection string picks the engine (see ProviderTable).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ado/AdoError.h"
#include "ado/DataTypes.h"
#include "ado/Engine.h"

namespace qarn::ado {

class Recordset;

class Connection : public std::enable_shared_from_this<Connection> {
public:
    static std::shared_ptr<Connection> Create();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const std::string& ConnectionString() const { return connectionString_; }
    // Assigning while open fails with 3705, as ADO does.
    void SetConnectionString(const std::string& s);

    // Opens the ConnectionString synchronously; raises AdoError on failure
    // and leaves the provider's records in Errors.
    void Open();
    int32_t State() const { return engine_ ? adStateOpen : adStateClosed; }
    // Closes every recordset still open on the connection, then the connection.
    void Close();

    // The provider errors of the last failed operation, in order.
    const std::vector<ErrorRecord>& Errors() const { return errors_; }

    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();

    // Whether a transaction is open on the connection (false when closed).
    bool TransactionOpen();
    // A replay of statements (see EngineReplay); its failures are kept in
    // Errors like any other.
    std::unique_ptr<EngineReplay> BeginReplay(int32_t timeoutSeconds);
    // The files behind the connection (see EngineConnection::DatabaseFiles).
    std::vector<std::string> DatabaseFiles();

    // The database product behind an open connection; empty when closed.
    std::string DbmsName() const;

    // For the Command and Recordset objects of this layer.
    EngineConnection& Engine();  // raises 3709 when closed
    void ClearErrors() { errors_.clear(); }
    // Keeps the records of a failure in Errors; returns the failure to rethrow.
    const AdoError& Record(const AdoError& e);
    void Track(const std::shared_ptr<Recordset>& rs);

    // Runs `op` as one ADO operation: Errors cleared first, a failure's
    // records kept in Errors before it propagates.
    template <class Op>
    auto Guarded(Op&& op) -> decltype(op()) {
        ClearErrors();
        try {
            return op();
        } catch (const AdoError& e) {
            Record(e);
            throw;  // as it is: a ReplayError keeps its tag
        }
    }

private:
    Connection() = default;

    std::string connectionString_;
    std::shared_ptr<EngineConnection> engine_;
    std::vector<ErrorRecord> errors_;
    std::vector<std::weak_ptr<Recordset>> openRecordsets_;
};

}  // namespace qarn::ado
