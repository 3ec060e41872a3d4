#include "ado/AdoError.h"

namespace qarn::ado {

std::string DescriptionFor(int32_t number) {
    switch (number) {
        case err::ProviderNotFound: return "Provider cannot be found. It may not be properly installed.";
        case err::InvalidConnection:
            return "The connection cannot be used to perform this operation. It is either closed or invalid in this "
                   "context.";
        case err::ObjectClosed: return "Operation is not allowed when the object is closed.";
        case err::ObjectOpen: return "Operation is not allowed when the object is open.";
        case err::ItemNotFound:
            return "Item cannot be found in the collection corresponding to the requested name or ordinal.";
        case err::EofOrBof:
            return "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a "
                   "current record.";
        case err::InvalidParamInfo:
            return "Parameter object is improperly defined. Inconsistent or incomplete information was provided.";
        case err::IllegalOperation: return "Operation is not allowed in this context.";
        case err::BadArguments:
            return "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.";
        case err::NoBackwardFetch: return "Rowset does not support fetching backward.";
        case err::LayerParameterError: return "Automation error";
        case err::ProviderFailure: return "Unspecified error";
        default: return "Application-defined or object-defined error";
    }
}

AdoError ProviderError(std::vector<ErrorRecord> records) {
    std::string description = records.empty() ? DescriptionFor(err::ProviderFailure) : records.front().Description;
    return AdoError(err::ProviderFailure, std::move(description), std::move(records));
}

}  // namespace qarn::ado
