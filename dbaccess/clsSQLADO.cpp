#include "clsSQLADO.h"

#include <limits>

#include "basErrorHandlerADO.h"
#include "basSQLGenComp.h"
#include "textfile/DataLinkFile.h"
#include "textfile/TextFile.h"
#include "ui/UserInterface.h"

namespace qarn {

namespace {
const std::string kClass = "clsSQLADO";

bool IsOpen(const std::shared_ptr<ado::Connection>& c) {
    return c && c->State() == ado::adStateOpen;
}

int32_t ClampToInt32(int64_t n) {
    if (n > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (n < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(n);
}
}  // namespace

std::string clsSQLADO::ConnectionString() const {
    return mcnnConnection ? mcnnConnection->ConnectionString() : std::string();
}

void clsSQLADO::ApplyTimeout() {
    if (mlngCommandTimeout != -1) mcmdCommand->SetCommandTimeout(mlngCommandTimeout);
}

void clsSQLADO::NewCommand(int32_t commandType, const std::string& commandText) {
    mcmdCommand = ado::Command::Create();
    mcmdCommand->SetActiveConnection(mcnnConnection);
    mcmdCommand->SetCommandType(commandType);
    mcmdCommand->SetCommandText(commandText);
}

bool clsSQLADO::SQLSetText(const std::string& strSQL) {
    return RunReported(
        kClass + "!SQLSetText", mcnnConnection, [&] { NewCommand(ado::adCmdText, strSQL); },
        [&](const ErrObject&) { return reportContext_; });
}

bool clsSQLADO::SQLRunSQLWithRs(bool readOnly) {
    return RunReported(
        kClass + "!SQLRunSQLWithRs", mcnnConnection,
        [&] {
            if (!mcmdCommand) throw ado::AdoError(ado::err::BadArguments, "No SQL text has been set.");
            mrsRecordset = readOnly ? mcmdCommand->ExecuteReadOnly() : mcmdCommand->Execute();
        },
        [&](const ErrObject&) { return "Sql String = " + (mcmdCommand ? mcmdCommand->CommandText() : std::string()); });
}

bool clsSQLADO::SQLRunProcNoRs() {
    return RunReported(
        kClass + "!SQLRunProcNoRs", mcnnConnection,
        [&] {
            if (!mcmdCommand) throw ado::AdoError(ado::err::BadArguments, "No SQL text has been set.");
            ApplyTimeout();
            int64_t affected = -1;
            if (mcmdCommand->CommandType() == ado::adCmdText) {
                // SQL text may hold a whole script: every statement runs, in order.
                mcmdCommand->ExecuteBatch(&affected);
            } else {
                mcmdCommand->Execute(&affected)->Close();
            }
            mlngRowsAffected = ClampToInt32(affected);
        },
        [&](const ErrObject&) { return reportContext_; });
}

void clsSQLADO::SQLCloseRS() {
    try {
        if (mrsRecordset) mrsRecordset->Close();
    } catch (...) {
    }
    mrsRecordset.reset();
}

void clsSQLADO::SQLSetRSNothing() {
    mrsRecordset.reset();
}

bool clsSQLADO::SQLConnect(const std::string& ConnectionString, const std::string& UDLFileName) {
    mstrConnectMessage.clear();
    try {
        if (!ConnectionString.empty()) {
            bool ok = mblnOpenDB({}, ConnectionString);
            mstrConnectMessage = ok ? "Connection Succeeded" : "Connection Failed";
            return ok;
        }
        if (!UDLFileName.empty()) {
            mstrConnectMessage = textfile::DataLinkPathFault(UDLFileName);
            if (!mstrConnectMessage.empty()) return false;
            if (mblnOpenDB(UDLFileName, {})) return true;
            mstrConnectMessage = "Connection Failed";
            return false;
        }
        mstrConnectMessage = "No Connection string supplied";
        return false;
    } catch (...) {
        mstrConnectMessage = "Connection Failed";
        return false;
    }
}

bool clsSQLADO::mblnOpenDB(const std::string& strUDLFile, const std::string& strConnect) {
    if (IsOpen(mcnnConnection)) return true;
    bool noDataLink = false;
    bool ok = RunReported(kClass + "!mblnOpenDB", mcnnConnection, [&] {
        mcnnConnection = ado::Connection::Create();
        std::string connect = strUDLFile.empty() ? strConnect : mstrReadUDL(strUDLFile);
        // A UDL file that is no data link has been told about: nothing to open.
        if (connect.empty() && !strUDLFile.empty()) {
            noDataLink = true;
            return;
        }
        mcnnConnection->SetConnectionString(connect);
        mcnnConnection->Open();
    });
    return ok && !noDataLink;
}

std::string clsSQLADO::mstrReadUDL(const std::string& strUDLFile) {
    std::optional<std::string> line = textfile::ReadDataLinkFile(strUDLFile);
    if (!line) {
        CurrentUserInterface().MessageBox("This is a not a valid UDL file: \r\n" + strUDLFile, MsgIcon::Exclamation);
        return {};
    }
    return *line;
}

bool clsSQLADO::SQLDisconnect() {
    try {
        if (IsOpen(mcnnConnection)) {
            mcnnConnection->Close();
            mcnnConnection.reset();
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool clsSQLADO::IsConnected() const {
    try {
        return mcnnConnection && mcnnConnection->State() != ado::adStateClosed;
    } catch (...) {
        return false;
    }
}

}  // namespace qarn
