#pragma once
// Small services of the main window shared by its handlers.

#include <string>

namespace qarn::desktop {

// Shows `text` in the main window's status bar and lets pending window
// events run, so it is painted at once.
void ShowStatus(const std::string& text);

// The program's folder, and the output script in it (or, where that folder
// cannot be written, in the per-user data folder).
std::string ApplicationFolder();
std::string OutputFilePath();

// Lets tests run the program against a folder of their own (the sample
// database, the output script); empty restores the program's folder.
void SetApplicationFolder(const std::string& folder);

}  // namespace qarn::desktop
