#pragma once
// The program's report of an unexpected error, naming where it happened.

#include <string>

#include "ui/NumberedFailure.h"

namespace qarn::desktop {

// The error being handled: what HandleError reports.
using ProgramError = NumberedError;

// A failure the program raises itself, with the number its report shows
// (13 for a stored text that is not a Boolean, as a failed conversion is).
using ProgramFailure = NumberedFailure;

// Call inside a catch block: the current exception as a numbered error.
inline ProgramError CurrentProgramError() {
    return CurrentNumberedError();
}

// 3027 shows "This Database is Read Only" (information icon); any other
// number the standard three lines (critical icon); "Extra Info: " follows
// when strExtra is not empty.  Puts the pointer back to the arrow.
void HandleError(const std::string& strSource, const std::string& strExtra, const ProgramError& err);

}  // namespace qarn::desktop
