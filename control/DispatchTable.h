#pragma once
// The control's members as its type library describes them: names,
// dispatch identifiers, kinds, arguments and their defaults.  Hosts call
// by these identifiers, so they are part of the contract.

#include <vector>

#include "api/qarnDispatch.h"

namespace qarn::control {

using dispatch::DispId;
using dispatch::InvokeKind;
using dispatch::Value;

enum MemberId : DispId {
    DISPID_State = 0x68030000,
    DISPID_ReturnMessage = 0x68030001,
    DISPID_IncludeIdent = 0x68030002,
    DISPID_StatusText = 0x68030003,
    DISPID_PromptForConnection = 0x60030004,
    DISPID_PromptForLogin = 0x60030005,
    DISPID_ConnectionStringForDisplay = 0x60030006,
    DISPID_Connect = 0x60030007,
    DISPID_Disconnect = 0x60030008,
    DISPID_Generate = 0x60030009,
    DISPID_RunScript = 0x6003000A,
    DISPID_ShowAboutBox = -552,  // the standard About-box identifier
    // Members added since: the numbering goes on after the last one above.
    DISPID_SingleTransaction = 0x6803000B,
    DISPID_Terminate = 0x6803000C,
    DISPID_RowsPerInsert = 0x6803000D,
    DISPID_TargetDialect = 0x6803000E,
    DISPID_OrderByKey = 0x6803000F,
    DISPID_OnDuplicate = 0x68030010,
    DISPID_ProgressCount = 0x68030011,
    DISPID_ProgressShare = 0x68030012,
    DISPID_Verify = 0x68030013,
    DISPID_StatementMode = 0x68030014,
    DISPID_OnError = 0x68030015,
    DISPID_ErrorLog = 0x68030016,
    DISPID_CommitEvery = 0x68030017,
};

enum class ArgType { Text, Bool, Int };

struct ParamInfo {
    const char* name;
    ArgType type;
    bool optional;
    Value defaultValue;
};

struct MemberInfo {
    const char* name;
    DispId id;
    InvokeKind kind;
    std::vector<ParamInfo> params;
    bool browsable = true;
};

// Every member, in the order of the interface's slots.
const std::vector<MemberInfo>& Members();
const MemberInfo* FindMember(DispId id, InvokeKind kind);
// Any case; DISPID_UNKNOWN when no member has the name.
DispId IdOfName(std::string_view name);

// Completes `args` with the defaults of omitted optional arguments and
// converts each to its declared type; returns an hr:: result.
int32_t PrepareArguments(const MemberInfo& member, std::vector<Value>& args);

}  // namespace qarn::control
