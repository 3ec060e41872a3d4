#pragma once
// Every message box and window that the library (and the desktop program)
// shows goes through this interface.  The desktop program shows Qt dialogs,
// a command-line host prints the texts to standard error, and tests record
// them and give the answers they want.

#include <memory>
#include <string>
#include <vector>

namespace qarn {

enum class MsgIcon { None = 0, Critical = 16, Question = 32, Exclamation = 48, Information = 64 };
enum class MsgButtons { Ok = 0, OkCancel = 1, YesNoCancel = 3, YesNo = 4 };
enum class MsgResult { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

class UserInterface {
public:
    virtual ~UserInterface() = default;

    // A modal message box.  An empty title means the program's title.
    virtual MsgResult MessageBox(const std::string& text, MsgIcon icon, const std::string& title = {},
                                 MsgButtons buttons = MsgButtons::Ok) = 0;
    // The error window: the report text and the provider's error lines.
    virtual void ShowErrorWindow(const std::string& report, const std::vector<std::string>& providerErrors) = 0;
    // Puts the mouse pointer back to the normal arrow.
    virtual void RestorePointer() = 0;
    // Enables the active window again when a caller left it disabled.
    virtual void EnableActiveWindow() = 0;
};

// After a report: the pointer back to the arrow and a disabled active window
// enabled again, each step on its own so one that fails never stops the other.
inline void GiveBackUserInterface(UserInterface& ui) {
    try {
        ui.RestorePointer();
    } catch (...) {
    }
    try {
        ui.EnableActiveWindow();
    } catch (...) {
    }
}

// The interface in use on this thread: the one installed last, or the
// default (the windowed one when the program has windows on this thread,
// standard error otherwise).
UserInterface& CurrentUserInterface();
// Installs `ui` for this thread (nullptr: back to the default); the caller
// keeps ownership and must keep it alive while installed.
void SetUserInterface(UserInterface* ui);

// Where the default comes from when windows may be shown: a function that
// gives the windowed interface, or nullptr where this thread has no windows.
// Set once by whoever links a windowed implementation (UseQtUserInterfaceByDefault);
// this layer itself knows no window system.
using WindowedUserInterfaceSource = UserInterface* (*)();
void SetWindowedUserInterfaceSource(WindowedUserInterfaceSource source);

// Prints every text to standard error, for hosts without windows.
class ConsoleUserInterface : public UserInterface {
public:
    MsgResult MessageBox(const std::string& text, MsgIcon icon, const std::string& title, MsgButtons buttons) override;
    void ShowErrorWindow(const std::string& report, const std::vector<std::string>& providerErrors) override;
    void RestorePointer() override {}
    void EnableActiveWindow() override {}
};

}  // namespace qarn
