#pragma once
// A failure with the number its report shows, and the one mapping of the
// exception being handled to a number and a description that the library
// and the program share.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace qarn {

class NumberedFailure : public std::runtime_error {
public:
    NumberedFailure(int32_t number, const std::string& description)
        : std::runtime_error(description), number_(number) {}
    int32_t Number() const { return number_; }

private:
    int32_t number_;
};

struct NumberedError {
    int32_t number = 0;
    std::string description;
};

// Call inside a catch block: a NumberedFailure keeps its number, running out
// of memory is 7, any other exception 5 and anything else 440.  Outside a
// catch block there is no error: number 0.
NumberedError CurrentNumberedError();

}  // namespace qarn
