#include "ui/UserInterface.h"

#include <atomic>
#include <iostream>

namespace qarn {

namespace {
thread_local UserInterface* installed = nullptr;
std::atomic<WindowedUserInterfaceSource> windowedSource{nullptr};

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
    if (WindowedUserInterfaceSource source = windowedSource.load()) {
        if (UserInterface* windowed = source()) return *windowed;
    }
    thread_local ConsoleUserInterface console;
    return console;
}

void SetUserInterface(UserInterface* ui) {
    installed = ui;
}

void SetWindowedUserInterfaceSource(WindowedUserInterfaceSource source) {
    windowedSource.store(source);
}

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
