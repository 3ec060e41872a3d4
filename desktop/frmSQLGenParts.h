#pragma once
// What the main window's own files share: its layout in twips, the texts of
// its connect buttons, and calls into the control that must succeed.

#include <QPoint>

#include <string>

#include "basErrorHandler.h"
#include "host/ControlHost.h"
#include "ui/UserInterface.h"
#include "widgets/FormLayout.h"

namespace qarn::desktop::main_window {

// The window is laid out in twips, as it was designed.
using control::Twips;
constexpr int kTwipsPerPixel = 15;
inline QPoint TwipsPoint(int left, int top) {
    return Twips(left, top, 0, 0).topLeft();
}

constexpr int kClientWidth = 10260;
constexpr int kClientHeight = 3735;
constexpr int kButtonTop = 3000;
constexpr int kButtonWidth = 1335;
constexpr int kButtonHeight = 375;
constexpr int kArrowTop = 2880;
constexpr int kArrowShownLeft = 240;
constexpr int kArrowParkedLeft = 10440;
constexpr int kArrowSize = 480;

constexpr int kStateConnected = 1;

inline const char* const kConnectCaption[2] = {"Co&nnect", "&Default Connect"};
inline const char* const kConnectToolTip[2] = {"Connect to a database by specifying a Connection or UDL file",
                                               "Connect to a database using the default Connection or UDL file"};
constexpr char kDisconnectCaption[] = "Disco&nnect";
constexpr char kDisconnectToolTip[] = "Close database connection";
// The property that keeps a connect button's first tooltip, to restore it.
constexpr char kTag[] = "Tag";

// A call into the control that raised an error: the demonstration reports it.
struct CallFailure {
    ProgramError error;
};

inline ProgramError ErrorOf(const host::CallResult& r) {
    return {r.number, r.description};
}

inline host::CallResult Required(host::CallResult r) {
    if (!r.ok) throw CallFailure{ErrorOf(r)};
    return r;
}

inline void Message(const std::string& text, MsgIcon icon) {
    CurrentUserInterface().MessageBox(text, icon);
}

}  // namespace qarn::desktop::main_window
