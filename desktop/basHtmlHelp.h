#pragma once
// Opening the program's help: the HTML help file beside the program, in the
// desktop's browser.

namespace qarn::desktop {

void ShowHelp();

}  // namespace qarn::desktop
