#pragma once
// The wrapper through which the control runs SQL on a connection: SQL text
// to a recordset or executed, and a connection of its own when used alone.
// Every failing member reports through HandleADOError and returns false.

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "ado/Command.h"
#include "ado/Connection.h"
#include "ado/Recordset.h"

namespace qarn {

// A parameter named by its name or by its 16-bit index; other kinds of
// identifier (a 32-bit index, a number with a fraction) are refused.
using ParameterId = std::variant<std::string, int16_t, int32_t, double>;

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

    // Extra text for the reports of SQLSetText and SQLRunProcNoRs, naming
    // where a statement comes from ("Line 3: INSERT ..."); empty for none.
    void SetReportContext(std::string context) { reportContext_ = std::move(context); }

    bool SQLSetText(const std::string& strSQL);
    // `readOnly`: the statement must not change the database (Generate's
    // SELECT); see ado::Command::ExecuteReadOnly.
    bool SQLRunSQLWithRs(bool readOnly = false);
    bool SQLRunProcNoRs();
    void SQLCloseRS();
    void SQLSetRSNothing();

    // Stored procedures, parameters, row blocks and transactions.
    bool SQLSetProcName(const std::string& strProcName);
    bool SQLAddParm(const std::string& strParmName, const ado::Variant& vntParmValue, bool blnNullable);
    bool SQLAddParmByType(const std::string& strParmName, int32_t lngVarType, int32_t lngParamType,
                          const ado::Variant& vntParmValue, int32_t lngVarLength = 0);
    bool SQLRunProcWithRs();
    bool SQLRunProcWithRsLimitGet(int32_t lngRowCount = 0);
    bool SQLGetNext(int32_t lngRowCount = 0);
    int32_t SQLRunProcNoRsRet();
    ado::Variant SQLGetParameterValue(const ParameterId& vntID);
    bool BeginDBTransaction();
    bool CommitDBTrans();
    bool RollBackDBTrans();
    // The last block of rows, indexed (column, row); reading outside it raises.
    ado::RowBlock Data() const { return mvntData; }
    ado::Variant DataNoNulls(int16_t intColumnIX, int32_t lngRowIX, int32_t enumDataType) const;
    static ado::Variant ConvertNullToBlank(const ado::Variant& vntField, int32_t enumDataType);

    bool SQLConnect(const std::string& ConnectionString = {}, const std::string& UDLFileName = {});
    bool SQLDisconnect();
    bool IsConnected() const;

private:
    bool mblnOpenDB(const std::string& strUDLFile, const std::string& strConnect);
    std::string mstrReadUDL(const std::string& strUDLFile);
    void ApplyTimeout();
    // A new command on the object's connection; the previous one and its parameters are dropped.
    void NewCommand(int32_t commandType, const std::string& commandText);
    ado::Command& RequireCommand() const;
    ado::Connection& RequireConnection() const;
    void SetEmptyBlock();
    void FetchBlock(ado::Recordset& rs, int32_t rows);

    ado::RowBlock mvntData;
    std::shared_ptr<ado::Connection> mcnnConnection;
    std::shared_ptr<ado::Command> mcmdCommand;
    int32_t mlngRowsAffected = 0;
    int32_t mlngCommandTimeout = -1;
    std::vector<std::shared_ptr<ado::Parameter>> mprmParameters;
    bool mblnParametersKept = false;
    std::shared_ptr<ado::Recordset> mrsRecordset;
    std::string mstrConnectMessage;
    std::string reportContext_;
};

}  // namespace qarn
