#pragma once
// The user interface in windows: Qt message boxes and the error window.

#include "ui/UserInterface.h"

namespace qarn {

class QtUserInterface : public UserInterface {
public:
    MsgResult MessageBox(const std::string& text, MsgIcon icon, const std::string& title, MsgButtons buttons) override;
    void ShowErrorWindow(const std::string& report, const std::vector<std::string>& providerErrors) override;
    void RestorePointer() override;
    void EnableActiveWindow() override;
};

// The title message boxes carry when the caller gives none: the program's.
std::string DefaultMessageTitle();

// Makes Qt dialogs the default user interface wherever a QApplication runs
// on the calling thread (standard error elsewhere).  Called by the control
// library and the desktop program before they show anything.
void UseQtUserInterfaceByDefault();

}  // namespace qarn
