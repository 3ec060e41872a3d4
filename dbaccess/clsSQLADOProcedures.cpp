// clsSQLADO: stored procedures with parameters, row blocks fetched all at
// once or page by page, and transactions on the object's connection.
#include <cmath>
#include <limits>

#include "ado/AdoError.h"
#include "ado/ConnectionString.h"
#include "basErrorHandlerADO.h"
#include "clsSQLADO.h"

namespace qarn {

namespace {
const std::string kClass = "clsSQLADO!";

// " ErrorParmName = x ErrorParmValue = *value*", for reports on parameters.
std::string ParameterText(const std::string& name, const ado::Variant& value) {
    return " ErrorParmName = " + name + " ErrorParmValue = *" + value.ToText() + "*";
}

std::string IdText(const ParameterId& id) {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return v;
            } else if constexpr (std::is_same_v<T, double>) {
                return ado::Variant::FromDouble(v).ToText();
            } else {
                return std::to_string(v);
            }
        },
        id);
}

bool IsVariableLength(int32_t type) {
    switch (type) {
        case ado::adChar:
        case ado::adWChar:
        case ado::adVarChar:
        case ado::adVarWChar:
        case ado::adLongVarChar:
        case ado::adLongVarWChar:
        case ado::adBinary:
        case ado::adVarBinary:
        case ado::adLongVarBinary: return true;
        default: return false;
    }
}
}  // namespace

ado::Command& clsSQLADO::RequireCommand() const {
    if (!mcmdCommand) throw ado::AdoError(91, "Object variable or With block variable not set");
    return *mcmdCommand;
}

ado::Connection& clsSQLADO::RequireConnection() const {
    if (!mcnnConnection) throw ado::AdoError(ado::err::InvalidConnection);
    return *mcnnConnection;
}

void clsSQLADO::SetEmptyBlock() {
    mvntData = ado::RowBlock{};
    mvntData.columns = 1;
    mvntData.rows = 1;
    mvntData.cells.assign(1, ado::Variant());
}

void clsSQLADO::FetchBlock(ado::Recordset& rs, int32_t rows) {
    if (rs.State() == ado::adStateClosed || rs.Eof()) {
        SetEmptyBlock();
    } else {
        mvntData = rs.GetRows(rows);
    }
}

bool clsSQLADO::SQLSetProcName(const std::string& strProcName) {
    return RunReported(kClass + "SQLSetProcName", mcnnConnection,
                       [&] { NewCommand(ado::adCmdStoredProc, strProcName); });
}

bool clsSQLADO::SQLAddParm(const std::string& strParmName, const ado::Variant& vntParmValue, bool blnNullable) {
    return RunReported(
        kClass + "SQLAddParm", mcnnConnection,
        [&] {
            ado::Command& cmd = RequireCommand();
            // The procedure's own parameters are asked for on first use.
            if (cmd.Params().Count() == 0 && cmd.CommandType() == ado::adCmdStoredProc) cmd.Params().Refresh();
            ado::Parameter& p = cmd.Params().Item(strParmName);
            if (blnNullable) {
                if (vntParmValue.IsNull()) throw ado::AdoError(94, "Invalid use of Null");
                if (ado::Trim(vntParmValue.ToText()).empty()) {
                    p.SetValue(ado::Variant::MakeNull());
                    return;
                }
            }
            p.SetValue(vntParmValue);
        },
        [&](const ErrObject&) { return ParameterText(strParmName, vntParmValue); });
}

bool clsSQLADO::SQLAddParmByType(const std::string& strParmName, int32_t lngVarType, int32_t lngParamType,
                                 const ado::Variant& vntParmValue, int32_t lngVarLength) {
    return RunReported(
        kClass + "SQLAddParmByType", mcnnConnection,
        [&] {
            ado::Command& cmd = RequireCommand();
            if (!cmd.ActiveConnection()) throw ado::AdoError(ado::err::InvalidConnection);
            std::shared_ptr<ado::Parameter> p =
                lngParamType != ado::adParamReturnValue
                    ? cmd.CreateParameter(strParmName, lngVarType, lngParamType, lngVarLength, vntParmValue)
                    : cmd.CreateParameter(strParmName, lngVarType, ado::adParamReturnValue, 0);
            // A text or binary parameter passing a value needs its size.
            if (lngParamType != ado::adParamReturnValue && IsVariableLength(lngVarType) && lngVarLength <= 0)
                throw ado::AdoError(ado::err::InvalidParamInfo);
            cmd.Params().Append(std::move(p));
        },
        [&](const ErrObject& e) {
            if (e.Number == ado::err::InvalidParamInfo) return ParameterText(strParmName, vntParmValue);
            if (e.Number == ado::err::InvalidConnection) return std::string(" Invalid or closed connection ");
            return std::string();
        });
}

bool clsSQLADO::SQLRunProcWithRs() {
    return RunReported(kClass + "SQLRunProcWithRs", mcnnConnection, [&] {
        ado::Command& cmd = RequireCommand();
        ApplyTimeout();
        auto rs = cmd.Execute();
        FetchBlock(*rs, ado::adGetRowsRest);
        rs->Close();
    });
}

bool clsSQLADO::SQLRunProcWithRsLimitGet(int32_t lngRowCount) {
    return RunReported(kClass + "SQLRunProcWithRsLimitGet", mcnnConnection, [&] {
        mrsRecordset = std::make_shared<ado::Recordset>();
        ado::Command& cmd = RequireCommand();
        ApplyTimeout();
        mrsRecordset = cmd.Execute();
        FetchBlock(*mrsRecordset, lngRowCount);
    });
}

bool clsSQLADO::SQLGetNext(int32_t lngRowCount) {
    bool fetched = false;
    bool ok = RunReported(kClass + "SQLGetNext", mcnnConnection, [&] {
        if (!mrsRecordset) throw ado::AdoError(91, "Object variable or With block variable not set");
        if (mrsRecordset->State() == ado::adStateClosed || mrsRecordset->Eof()) {
            SetEmptyBlock();
            return;
        }
        mvntData = mrsRecordset->GetRows(lngRowCount);
        fetched = true;
    });
    return ok && fetched;
}

int32_t clsSQLADO::SQLRunProcNoRsRet() {
    ClearProviderErrors(mcnnConnection);
    try {
        ado::Command& cmd = RequireCommand();
        ApplyTimeout();
        if (cmd.Params().Count() == 0) cmd.Params().Refresh();
        int64_t affected = -1;
        cmd.Execute(&affected)->Close();
        mlngRowsAffected = affected > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                                          : static_cast<int32_t>(affected);
        mprmParameters = cmd.Params().Items();
        mblnParametersKept = true;
        // A procedure without any parameter has no return value to give: 0.
        int32_t result = cmd.Params().Count() == 0 ? 0 : cmd.Params().Item(size_t{0}).Value().ToInt32();
        cmd.SetActiveConnection(nullptr);
        mcmdCommand.reset();
        return result;
    } catch (...) {
        ErrObject e = CurrentErr();
        // A procedure that signals its failure with a return code yields that code.
        // A return value that is no number (a function returning text) has
        // no code to give: the failure is reported instead of escaping.
        if (mcmdCommand && mcmdCommand->Params().Count() > 0) {
            const ado::Variant& returned = mcmdCommand->Params().Item(size_t{0}).Value();
            int32_t code = 0;
            try {
                code = returned.IsEmpty() || returned.IsNull() ? 0 : returned.ToInt32();
            } catch (...) {
            }
            if (code != 0) return code;
        }
        HandleADOError(kClass + "SQLRunProcNoRsRet", mcnnConnection.get(), "", e);
        return 0;
    }
}

ado::Variant clsSQLADO::SQLGetParameterValue(const ParameterId& vntID) {
    ado::Variant value;
    ClearProviderErrors(mcnnConnection);
    try {
        bool byName = std::holds_alternative<std::string>(vntID);
        if (!mblnParametersKept || (!byName && !std::holds_alternative<int16_t>(vntID)))
            throw ado::AdoError(ado::err::LayerParameterError);
        std::shared_ptr<ado::Parameter> found;
        if (byName) {
            for (const auto& p : mprmParameters)
                if (ado::EqualsNoCase(p->Name(), std::get<std::string>(vntID))) found = p;
        } else {
            int16_t index = std::get<int16_t>(vntID);
            if (index >= 0 && static_cast<size_t>(index) < mprmParameters.size()) found = mprmParameters[index];
        }
        if (!found) throw ado::AdoError(ado::err::ItemNotFound);
        value = found->Value();
    } catch (...) {
        ErrObject e = CurrentErr();
        std::string extra = e.Number == ado::err::LayerParameterError
                                ? " Parameter error: ErrorParmName = " + IdText(vntID)
                                : std::string(" Could not get parameter value");
        HandleADOError(kClass + "SQLGetParameterValue", mcnnConnection.get(), extra, e);
        return ado::Variant();
    }
    return value;
}

bool clsSQLADO::BeginDBTransaction() {
    return RunReported(kClass + "BeginDBTransaction", mcnnConnection, [&] { RequireConnection().BeginTrans(); });
}

bool clsSQLADO::CommitDBTrans() {
    return RunReported(kClass + "CommitDBTrans", mcnnConnection, [&] { RequireConnection().CommitTrans(); });
}

bool clsSQLADO::RollBackDBTrans() {
    return RunReported(kClass + "RollBackDBTrans", mcnnConnection, [&] { RequireConnection().RollbackTrans(); });
}

ado::Variant clsSQLADO::DataNoNulls(int16_t intColumnIX, int32_t lngRowIX, int32_t enumDataType) const {
    if (intColumnIX < 0 || lngRowIX < 0) throw ado::AdoError(9, "Subscript out of range");
    return ConvertNullToBlank(mvntData.At(static_cast<size_t>(intColumnIX), static_cast<size_t>(lngRowIX)),
                              enumDataType);
}

ado::Variant clsSQLADO::ConvertNullToBlank(const ado::Variant& vntField, int32_t enumDataType) {
    if (!vntField.IsNull()) return vntField;
    switch (enumDataType) {
        case ado::adChar:
        case ado::adDBDate:
        case ado::adDBTime:
        case ado::adDBTimeStamp:
        case ado::adVarChar:
        case ado::adVarWChar: return ado::Variant::FromText("");
        default: return ado::Variant::FromInt(0);
    }
}

}  // namespace qarn
