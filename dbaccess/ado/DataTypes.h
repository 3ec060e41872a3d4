#pragma once
// ADO's numbers for data types, field attributes, parameter directions and
// object states. Callers compare against these exact values, so they keep
// ADO's meaning whatever engine sits behind the connection.

#include <cstdint>

namespace qarn::ado {

enum DataTypeEnum : int32_t {
    adEmpty = 0,
    adSmallInt = 2,
    adInteger = 3,
    adSingle = 4,
    adDouble = 5,
    adCurrency = 6,
    adDate = 7,
    adBSTR = 8,
    adIDispatch = 9,
    adError = 10,
    adBoolean = 11,
    adVariant = 12,
    adIUnknown = 13,
    adDecimal = 14,
    adTinyInt = 16,
    adUnsignedTinyInt = 17,
    adUnsignedSmallInt = 18,
    adUnsignedInt = 19,
    adBigInt = 20,
    adUnsignedBigInt = 21,
    adFileTime = 64,
    adGUID = 72,
    adBinary = 128,
    adChar = 129,
    adWChar = 130,
    adNumeric = 131,
    adUserDefined = 132,
    adDBDate = 133,
    adDBTime = 134,
    adDBTimeStamp = 135,
    adChapter = 136,
    adPropVariant = 138,
    adVarChar = 200,
    adLongVarChar = 201,
    adVarWChar = 202,
    adLongVarWChar = 203,
    adVarBinary = 204,
    adLongVarBinary = 205,
    adArray = 0x2000,
};

enum FieldAttributeEnum : int32_t {
    adFldMayBeNull = 0x40,
    adFldLong = 0x80,
    adFldRowVersion = 0x200,
    adFldIsNullable = 0x20,
    adFldUnknownUpdatable = 0x8,
    adFldFixed = 0x10,
};

enum ParameterDirectionEnum : int32_t {
    adParamUnknown = 0,
    adParamInput = 1,
    adParamOutput = 2,
    adParamInputOutput = 3,
    adParamReturnValue = 4,
};

enum ObjectStateEnum : int32_t {
    adStateClosed = 0,
    adStateOpen = 1,
    adStateConnecting = 2,
    adStateExecuting = 4,
    adStateFetching = 8,
};

enum CommandTypeEnum : int32_t {
    adCmdUnspecified = -1,
    adCmdText = 1,
    adCmdTable = 2,
    adCmdStoredProc = 4,
};

// GetRows with this count fetches every remaining row.
constexpr int32_t adGetRowsRest = -1;

}  // namespace qarn::ado
