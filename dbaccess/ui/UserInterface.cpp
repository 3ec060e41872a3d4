#include "ui/UserInterface.h"

#include <QApplication>
#include <QThread>
#include <iostream>

#include "ui/QtUserInterface.h"

namespace qarn {

namespace {
thread_local UserInterface* installed = nullptr;

bool QtWindowsAvailable() {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    return app && QThread::currentThread() == app->thread();
}

const char* IconWord(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::Critical: return "Error";
    case MsgIcon::Question: return "Question";
    case MsgIcon::Exclamation: return "Warning";
    case MsgIcon::Information: return "Information";
    default: return "Message";
    }
}
}  // namespace

UserInterface& CurrentUserInterface() {
    if (installed) return *installed;
    if (QtWindowsAvailable()) {
        static QtUserInterface qtUi;
        return qtUi;
    }
    thread_local ConsoleUserInterface console;
    return console;
}

void SetUserInterface(UserInterface* ui) { installed = ui; }

MsgResult ConsoleUserInterface::MessageBox(const std::string& text, MsgIcon icon, const std::string& title,
                                           MsgButtons buttons) {
    std::cerr << IconWord(icon);
    if (!title.empty()) std::cerr << " (" << title << ")";
    std::cerr << ": " << text << std::endl;
    // Nobody can answer here: questions take their safe answer.
    switch (buttons) {
    case MsgButtons::YesNo: return MsgResult::No;
    case MsgButtons::YesNoCancel:
    case MsgButtons::OkCancel: return MsgResult::Cancel;
    default: return MsgResult::Ok;
    }
}

void ConsoleUserInterface::ShowErrorWindow(const std::string& report, const std::vector<std::string>& providerErrors) {
    std::cerr << "Error: " << report << std::endl;
    for (const auto& line : providerErrors) std::cerr << "  " << line << std::endl;
}

}  // namespace qarn
