#pragma once
// The program's report of an unexpected error, naming where it happened.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace qarn::desktop {

// The error being handled: what HandleError reports.
struct ProgramError {
    int32_t number = 0;
    std::string description;
};

// A failure the program raises itself, with the number its report shows
// (13 for a stored text that is not a Boolean, as a failed conversion is).
class ProgramFailure : public std::runtime_error {
public:
    ProgramFailure(int32_t number, const std::string& description)
        : std::runtime_error(description), number_(number) {}
    int32_t Number() const { return number_; }

private:
    int32_t number_;
};

// Call inside a catch block: the current exception as a numbered error.
ProgramError CurrentProgramError();

// 3027 shows "This Database is Read Only" (information icon); any other
// number the standard three lines (critical icon); "Extra Info: " follows
// when strExtra is not empty.  Puts the pointer back to the arrow.
void HandleError(const std::string& strSource, const std::string& strExtra, const ProgramError& err);

}  // namespace qarn::desktop
