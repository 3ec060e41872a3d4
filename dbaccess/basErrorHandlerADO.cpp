#include "basErrorHandlerADO.h"

#include "ui/ErrorReport.h"
#include "ui/NumberedFailure.h"
#include "ui/UserInterface.h"

namespace qarn {

ErrObject CurrentErr() {
    NumberedError e = CurrentNumberedError();
    return {e.number, std::move(e.description)};
}

void ClearProviderErrors(const std::shared_ptr<ado::Connection>& connection) {
    if (connection) connection->ClearErrors();
}

std::string BuildErrorReport(const std::string& strSource, const ErrObject& err, const std::string& strExtra) {
    return ErrorReportText(strSource, err.Number, err.Description, strExtra);
}

std::vector<std::string> ProviderErrorLines(const ado::Connection* objConnection) {
    std::vector<std::string> lines;
    if (!objConnection) return lines;
    for (const auto& e : objConnection->Errors()) lines.push_back(std::to_string(e.Number) + " " + e.Description);
    return lines;
}

void HandleADOError(const std::string& strSource, const ado::Connection* objConnection, const std::string& strExtra,
                    const ErrObject& err) {
    // Each step stands alone: one that fails must not keep the user from the rest.
    std::string report;
    std::vector<std::string> lines;
    try {
        report = BuildErrorReport(strSource, err, strExtra);
        lines = ProviderErrorLines(objConnection);
    } catch (...) {
    }
    UserInterface& ui = CurrentUserInterface();
    try {
        ui.RestorePointer();
    } catch (...) {
    }
    try {
        if (!lines.empty()) {
            ui.ShowErrorWindow(report, lines);
        } else {
            ui.MessageBox(report, MsgIcon::Critical);
        }
    } catch (...) {
    }
    GiveBackUserInterface(ui);
}

}  // namespace qarn
