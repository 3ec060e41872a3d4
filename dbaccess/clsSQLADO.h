#pragma once
// The wrapper through which the control runs SQL on a connection: SQL text
// to a recordset or executed, and a connection of its own when used alone.
// Every failing member reports through HandleADOError and returns false.

#include <cstdint>
#include <memory>
#include <string>

#include "ado/Command.h"
#include "ado/Connection.h"
#include "ado/Recordset.h"

namespace qarn {

class clsSQLADO {
public:
    clsSQLADO() = default;
    clsSQLADO(const clsSQLADO&) = delete;
    clsSQLADO& operator=(const clsSQLADO&) = delete;

    // The connection's connection string, or empty without a connection.
    std::string ConnectionString() const;
    const std::string& ReturnMessage() const { return mstrConnectMessage; }
    void SetActiveConnection(std::shared_ptr<ado::Connection> objActiveConnection) {
        mcnnConnection = std::move(objActiveConnection);
    }
    const std::shared_ptr<ado::Connection>& ActiveConnection() const { return mcnnConnection; }
    // Seconds; -1 leaves the command's own time-out.
    void SetCommandTimeout(int32_t lngCommandTimeout) { mlngCommandTimeout = lngCommandTimeout; }
    const std::shared_ptr<ado::Recordset>& SQLrs() const { return mrsRecordset; }
    int32_t RowsAffected() const { return mlngRowsAffected; }

    bool SQLSetText(const std::string& strSQL);
    bool SQLRunSQLWithRs();
    bool SQLRunProcNoRs();
    void SQLCloseRS();
    void SQLSetRSNothing();

    bool SQLConnect(const std::string& ConnectionString = {}, const std::string& UDLFileName = {});
    bool SQLDisconnect();
    bool IsConnected() const;

private:
    bool mblnOpenDB(const std::string& strUDLFile, const std::string& strConnect);
    std::string mstrReadUDL(const std::string& strUDLFile);
    void ApplyTimeout();

    std::shared_ptr<ado::Connection> mcnnConnection;
    std::shared_ptr<ado::Command> mcmdCommand;
    int32_t mlngRowsAffected = 0;
    int32_t mlngCommandTimeout = -1;
    std::shared_ptr<ado::Recordset> mrsRecordset;
    std::string mstrConnectMessage;
};

}  // namespace qarn
