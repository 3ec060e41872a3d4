#pragma once
// The failure every database and file operation raises: a number and a
// description, as the error reports show them.  Provider failures also carry
// the provider's own error records, which the connection keeps in Errors.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/NumberedFailure.h"

namespace qarn::ado {

// One entry of a connection's Errors collection.
struct ErrorRecord {
    int32_t Number = 0;
    std::string Description;
    std::string SQLState;
};

// Numbers we raise.  Where ADO has a number for the condition we use it, so
// hosts that test for ADO's numbers keep working.
namespace err {
constexpr int32_t ProviderFailure = -2147467259;        // 0x80004005 E_FAIL: a provider call failed
constexpr int32_t InvalidArgument = -2147024809;        // 0x80070057 E_INVALIDARG
constexpr int32_t FileNotFound = -2147024894;           // 0x80070002 file not found
constexpr int32_t AccessDenied = -2147024891;           // 0x80070005 access denied
constexpr int32_t NoBackwardFetch = -2147217884;        // 0x80040E24 rowset cannot fetch backward
constexpr int32_t ProcedureNotSupported = -2147217837;  // 0x80040E53 provider does not support the call
constexpr int32_t EofOrBof = 3021;                      // adErrNoCurrentRecord
constexpr int32_t ItemNotFound = 3265;                  // adErrItemNotFound
constexpr int32_t IllegalOperation = 3219;              // adErrIllegalOperation
constexpr int32_t ObjectClosed = 3704;                  // adErrObjectClosed
constexpr int32_t ObjectOpen = 3705;                    // adErrObjectOpen
constexpr int32_t ProviderNotFound = 3706;              // adErrProviderNotFound
constexpr int32_t InvalidParamInfo = 3708;              // adErrInvalidParamInfo
constexpr int32_t InvalidConnection = 3709;             // adErrInvalidConnection
constexpr int32_t BadArguments = 3001;                  // adErrInvalidArgument: wrong type, out of range or in conflict
constexpr int32_t LayerParameterError = -2147220792;    // 0x800402C8 raised by clsSQLADO itself
constexpr int32_t StatementRefused = -2147217900;       // 0x80040E14 DB_E_ERRORSINCOMMAND: a statement not run
}  // namespace err

// ADO's own texts for its numbers.
std::string DescriptionFor(int32_t number);

class AdoError : public NumberedFailure {
public:
    AdoError(int32_t number, std::string description, std::vector<ErrorRecord> records = {})
        : NumberedFailure(number, description), description_(std::move(description)), records_(std::move(records)) {}
    explicit AdoError(int32_t number) : AdoError(number, DescriptionFor(number)) {}

    const std::string& Description() const { return description_; }
    // The provider's error records behind this failure (empty for our own failures).
    const std::vector<ErrorRecord>& Records() const { return records_; }

private:
    std::string description_;
    std::vector<ErrorRecord> records_;
};

// A provider failure: the raised number is E_FAIL, the description the first
// record's text, and every record goes to the connection's Errors collection.
AdoError ProviderError(std::vector<ErrorRecord> records);

}  // namespace qarn::ado
