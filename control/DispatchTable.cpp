#include "DispatchTable.h"

#include "text/TextCase.h"

namespace qarn::control {

namespace {
using dispatch::hr::DISP_E_BADPARAMCOUNT;
using dispatch::hr::DISP_E_PARAMNOTOPTIONAL;
using dispatch::hr::DISP_E_TYPEMISMATCH;
using dispatch::hr::S_OK;

// Automation's coercions between the argument kinds the control takes.
bool Coerce(Value& v, ArgType type) {
    switch (type) {
        case ArgType::Text:
            if (std::holds_alternative<std::string>(v)) return true;
            if (auto* i = std::get_if<int32_t>(&v)) return v = std::to_string(*i), true;
            if (auto* b = std::get_if<bool>(&v)) return v = std::string(*b ? "True" : "False"), true;
            return false;
        case ArgType::Bool:
            if (std::holds_alternative<bool>(v)) return true;
            if (auto* i = std::get_if<int32_t>(&v)) return v = (*i != 0), true;
            return false;
        case ArgType::Int:
            if (std::holds_alternative<int32_t>(v)) return true;
            if (auto* b = std::get_if<bool>(&v)) return v = int32_t(*b ? -1 : 0), true;
            return false;
    }
    return false;
}
}  // namespace

const std::vector<MemberInfo>& Members() {
    using K = InvokeKind;
    static const std::vector<MemberInfo> members = {
        {"StatusText", DISPID_StatusText, K::PropertyGet, {}},
        {"IncludeIdent", DISPID_IncludeIdent, K::PropertyGet, {}, false},
        {"IncludeIdent", DISPID_IncludeIdent, K::PropertyPut, {{"blnIncludeIdent", ArgType::Bool, false, {}}}, false},
        {"ReturnMessage", DISPID_ReturnMessage, K::PropertyGet, {}},
        {"State", DISPID_State, K::PropertyGet, {}},
        {"PromptForConnection", DISPID_PromptForConnection, K::Method, {}},
        {"PromptForLogin", DISPID_PromptForLogin, K::Method, {{"strConnStringIn", ArgType::Text, false, {}}}},
        {"ConnectionStringForDisplay",
         DISPID_ConnectionStringForDisplay,
         K::Method,
         {{"strConnStringIn", ArgType::Text, false, {}}}},
        {"Connect",
         DISPID_Connect,
         K::Method,
         {{"ConnectionString", ArgType::Text, true, std::string()},
          {"UDLFileName", ArgType::Text, true, std::string()}}},
        {"Disconnect", DISPID_Disconnect, K::Method, {{"blnShowStatus", ArgType::Bool, false, {}}}},
        {"Generate",
         DISPID_Generate,
         K::Method,
         {{"OutputPathFileName", ArgType::Text, false, {}},
          {"SelectString", ArgType::Text, false, {}},
          {"TruncateTable", ArgType::Bool, true, false}}},
        {"RunScript",
         DISPID_RunScript,
         K::Method,
         {{"InputPathFileName", ArgType::Text, false, {}}, {"RunMode", ArgType::Int, true, int32_t(0)}}},
        {"ShowAboutBox", DISPID_ShowAboutBox, K::Method, {}},
        {"SingleTransaction", DISPID_SingleTransaction, K::PropertyGet, {}},
        {"SingleTransaction",
         DISPID_SingleTransaction,
         K::PropertyPut,
         {{"blnSingleTransaction", ArgType::Bool, false, {}}}},
        {"Terminate", DISPID_Terminate, K::PropertyGet, {}},
        {"Terminate", DISPID_Terminate, K::PropertyPut, {{"blnTerminate", ArgType::Bool, false, {}}}},
        {"RowsPerInsert", DISPID_RowsPerInsert, K::PropertyGet, {}},
        {"RowsPerInsert", DISPID_RowsPerInsert, K::PropertyPut, {{"lngRowsPerInsert", ArgType::Int, false, {}}}},
        {"TargetDialect", DISPID_TargetDialect, K::PropertyGet, {}},
        {"TargetDialect", DISPID_TargetDialect, K::PropertyPut, {{"strTargetDialect", ArgType::Text, false, {}}}},
        {"OrderByKey", DISPID_OrderByKey, K::PropertyGet, {}},
        {"OrderByKey", DISPID_OrderByKey, K::PropertyPut, {{"blnOrderByKey", ArgType::Bool, false, {}}}},
        {"OnDuplicate", DISPID_OnDuplicate, K::PropertyGet, {}},
        {"OnDuplicate", DISPID_OnDuplicate, K::PropertyPut, {{"strOnDuplicate", ArgType::Text, false, {}}}},
        {"ProgressCount", DISPID_ProgressCount, K::PropertyGet, {}},
        {"ProgressShare", DISPID_ProgressShare, K::PropertyGet, {}},
        {"Verify", DISPID_Verify, K::PropertyGet, {}},
        {"Verify", DISPID_Verify, K::PropertyPut, {{"blnVerify", ArgType::Bool, false, {}}}},
        {"StatementMode", DISPID_StatementMode, K::PropertyGet, {}},
        {"StatementMode", DISPID_StatementMode, K::PropertyPut, {{"blnStatementMode", ArgType::Bool, false, {}}}},
        {"OnError", DISPID_OnError, K::PropertyGet, {}},
        {"OnError", DISPID_OnError, K::PropertyPut, {{"strOnError", ArgType::Text, false, {}}}},
        {"ErrorLog", DISPID_ErrorLog, K::PropertyGet, {}},
        {"ErrorLog", DISPID_ErrorLog, K::PropertyPut, {{"strErrorLog", ArgType::Text, false, {}}}},
        {"CommitEvery", DISPID_CommitEvery, K::PropertyGet, {}},
        {"CommitEvery", DISPID_CommitEvery, K::PropertyPut, {{"lngCommitEvery", ArgType::Int, false, {}}}},
    };
    return members;
}

const MemberInfo* FindMember(DispId id, InvokeKind kind) {
    for (const auto& m : Members())
        if (m.id == id && m.kind == kind) return &m;
    // Automation lets a property read be asked for as a method call.
    if (kind == InvokeKind::Method) return FindMember(id, InvokeKind::PropertyGet);
    return nullptr;
}

DispId IdOfName(std::string_view name) {
    for (const auto& m : Members())
        if (text::EqualsNoCase(m.name, name)) return m.id;
    return dispatch::DISPID_UNKNOWN;
}

int32_t PrepareArguments(const MemberInfo& member, std::vector<Value>& args) {
    if (args.size() > member.params.size()) return DISP_E_BADPARAMCOUNT;
    for (size_t i = 0; i < member.params.size(); ++i) {
        const ParamInfo& p = member.params[i];
        if (i >= args.size()) args.emplace_back();
        if (std::holds_alternative<std::monostate>(args[i])) {
            if (!p.optional) return DISP_E_PARAMNOTOPTIONAL;
            args[i] = p.defaultValue;
        }
        if (!Coerce(args[i], p.type)) return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

}  // namespace qarn::control
