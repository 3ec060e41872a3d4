#include "basErrorHandler.h"

#include "ui/ErrorReport.h"
#include "ui/UserInterface.h"

namespace qarn::desktop {

namespace {
constexpr int32_t kReadOnlyDatabase = 3027;
}

void HandleError(const std::string& strSource, const std::string& strExtra, const ProgramError& err) {
    // Each step stands alone: the user must get the window back even when the
    // message cannot be shown.
    UserInterface& ui = CurrentUserInterface();
    try {
        std::string text;
        MsgIcon icon = MsgIcon::Critical;
        if (err.number == kReadOnlyDatabase) {
            text = "This Database is Read Only";
            icon = MsgIcon::Information;
            if (!strExtra.empty()) text += "\r\nExtra Info: " + strExtra;
        } else {
            text = ErrorReportText(strSource, err.number, err.description, strExtra);
        }
        ui.MessageBox(text, icon);
    } catch (...) {
    }
    GiveBackUserInterface(ui);
}

}  // namespace qarn::desktop
