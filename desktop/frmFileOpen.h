#pragma once
// The file-open prompt: the chosen existing file's path, or empty.

#include <functional>
#include <string>

namespace qarn::desktop {

// `filter` in the form "Description (*.EXT)|*.EXT"; defaults to all files.
// Patterns match in any case; the chosen file must exist.
std::string gstrPromptForFile(const std::string& filter = {});

// Tests answer the prompt instead of a person: while set, it is called with
// the filter and its result is returned without showing a dialog.
void SetFilePromptAnswer(std::function<std::string(const std::string& filter)> answer);

}  // namespace qarn::desktop
