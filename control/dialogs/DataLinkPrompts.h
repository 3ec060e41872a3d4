#pragma once
// The control's two ways into the Data Link Properties dialog.  Neither
// throws: a failure is reported to the user and counts as Cancel.

#include <functional>
#include <string>

class QWidget;

namespace qarn::control {

class DataLinkDialog;

// Shows the dialog empty (SQLite chosen); the new string on OK, "" on Cancel.
std::string PromptNewConnection(QWidget* parent);

// Shows the dialog filled from `connectionString`.  OK writes the edited
// string back and returns true; Cancel leaves it as it was and returns false.
bool PromptEditConnection(QWidget* parent, std::string& connectionString);

// Lets tests answer the dialog.  While a driver is set on this thread, the
// prompts hand it the filled dialog instead of showing it modally; the driver
// sets fields and calls accept() or reject() (calling neither is Cancel).
// An empty function shows the dialog again.
using DataLinkDialogDriver = std::function<void(DataLinkDialog&)>;
void SetDataLinkDialogDriver(DataLinkDialogDriver driver);

}  // namespace qarn::control
