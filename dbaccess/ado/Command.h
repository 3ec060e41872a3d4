#pragma once
// The ADO-like Command: SQL text or a stored-procedure name run on a connection.

#include <cstdint>
#include <memory>
#include <string>

#include "ado/Connection.h"
#include "ado/Parameter.h"
#include "ado/Recordset.h"

namespace qarn::ado {

// Raises the provider error a SQL text holding a NUL gets: a driver would
// read the text only up to it.
void RefuseNul(std::string_view sql);

class Command {
public:
    static std::shared_ptr<Command> Create();
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    // A closed connection cannot be assigned (3709); none can.
    void SetActiveConnection(std::shared_ptr<Connection> c);
    const std::shared_ptr<Connection>& ActiveConnection() const { return connection_; }
    int32_t CommandType() const { return commandType_; }
    void SetCommandType(int32_t t) { commandType_ = t; }
    const std::string& CommandText() const { return commandText_; }
    void SetCommandText(std::string s) { commandText_ = std::move(s); }
    // Seconds; 0 waits without limit.  A new command has no limit, so a long
    // generation on a big table is never cut short.
    int32_t CommandTimeout() const { return commandTimeout_; }
    void SetCommandTimeout(int32_t s) { commandTimeout_ = s; }

    Parameters& Params() { return parameters_; }
    std::shared_ptr<Parameter> CreateParameter(const std::string& name, int32_t type, int32_t direction, int64_t size,
                                               const Variant& value = Variant()) const;

    // Runs the command.  Returns the recordset of a row-returning statement,
    // a closed recordset otherwise.  `recordsAffected` receives the count
    // where the provider gives one (-1 otherwise).
    std::shared_ptr<Recordset> Execute(int64_t* recordsAffected = nullptr);
    // Runs a statement that must not change the database (see
    // EngineConnection::ExecuteReadOnly).
    std::shared_ptr<Recordset> ExecuteReadOnly();
    // Runs a whole script as one command (see EngineConnection::ExecuteBatch).
    void ExecuteBatch(int64_t* recordsAffected = nullptr);

private:
    Command();
    Connection& OpenConnection();
    std::shared_ptr<Recordset> Wrap(Connection& c, ExecuteResult result, int64_t* recordsAffected);

    std::shared_ptr<Connection> connection_;
    int32_t commandType_ = adCmdUnspecified;
    std::string commandText_;
    int32_t commandTimeout_ = 0;
    Parameters parameters_;
};

}  // namespace qarn::ado
