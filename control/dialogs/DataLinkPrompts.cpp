#include "dialogs/DataLinkPrompts.h"

#include <QApplication>
#include <QThread>

#include <optional>

#include "basErrorHandlerADO.h"
#include "dialogs/DataLinkDialog.h"
#include "ui/UserInterface.h"

namespace qarn::control {

namespace {

thread_local DataLinkDialogDriver tDriver;

// Widgets exist only on the thread of a running QApplication.
bool WindowsAvailable() {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    return app && QThread::currentThread() == app->thread();
}

// Runs the dialog, filled from `initial` when given; the string on OK.
std::optional<std::string> RunDialog(QWidget* parent, const std::string* initial) {
    try {
        if (!WindowsAvailable()) {
            CurrentUserInterface().MessageBox(
                "The Data Link Properties dialog can only be shown on the thread that runs the program's windows.",
                MsgIcon::Exclamation, kDataLinkTitle);
            return std::nullopt;
        }
        DataLinkDialog dialog(parent);
        if (initial) dialog.LoadFrom(*initial);
        int result = 0;
        if (DataLinkDialogDriver driver = tDriver) {
            driver(dialog);
            result = dialog.result();
        } else {
            result = dialog.exec();
        }
        if (result != QDialog::Accepted) return std::nullopt;
        return dialog.ConnectionString();
    } catch (...) {
        HandleADOError(kDataLinkTitle, nullptr, "", CurrentErr());
        return std::nullopt;
    }
}

}  // namespace

std::string PromptNewConnection(QWidget* parent) {
    return RunDialog(parent, nullptr).value_or(std::string());
}

bool PromptEditConnection(QWidget* parent, std::string& connectionString) {
    std::optional<std::string> edited = RunDialog(parent, &connectionString);
    if (!edited) return false;
    connectionString = std::move(*edited);
    return true;
}

void SetDataLinkDialogDriver(DataLinkDialogDriver driver) {
    tDriver = std::move(driver);
}

}  // namespace qarn::control
