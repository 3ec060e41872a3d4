#pragma once
// The one way the database layer tells the user about a failure: a report
// naming the place, the failure's number and description and any extra
// text, with the provider's own error lines when the connection has any.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ado/Connection.h"

namespace qarn {

// The failure being handled: its number and description.
struct ErrObject {
    int32_t Number = 0;
    std::string Description;
};

// The failure of the exception being handled; call inside a catch block.
ErrObject CurrentErr();

// "The Following Error Occured in " ... lines joined by CR LF.
std::string BuildErrorReport(const std::string& strSource, const ErrObject& err, const std::string& strExtra);
// One line per provider error: number, a blank, description.
std::vector<std::string> ProviderErrorLines(const ado::Connection* objConnection);

// Shows the report (the error window when the connection holds provider
// errors, a critical message box otherwise), then puts the pointer back to
// the arrow and re-enables a disabled active window.  Never fails.
void HandleADOError(const std::string& strSource, const ado::Connection* objConnection, const std::string& strExtra,
                    const ErrObject& err);

// Empties the connection's Errors (when there is one) at the start of an
// operation, so that its report never shows the provider errors of an
// earlier failure.
void ClearProviderErrors(const std::shared_ptr<ado::Connection>& connection);

// Runs `body` as one operation: the connection's Errors emptied first; on
// any failure reports it under `place` with the connection that
// `connection` refers to at that moment and the extra text `extra(err)`,
// and returns false.
template <class Body, class Extra>
bool RunReported(const std::string& place, const std::shared_ptr<ado::Connection>& connection, Body&& body,
                 Extra&& extra) {
    try {
        ClearProviderErrors(connection);
        body();
        return true;
    } catch (...) {
        ErrObject e = CurrentErr();
        std::string text;
        try {
            text = extra(e);
        } catch (...) {
        }
        HandleADOError(place, connection.get(), text, e);
        return false;
    }
}

template <class Body>
bool RunReported(const std::string& place, const std::shared_ptr<ado::Connection>& connection, Body&& body) {
    return RunReported(place, connection, std::forward<Body>(body), [](const ErrObject&) { return std::string(); });
}

}  // namespace qarn
