#pragma once
// How reports name the command of a script that failed: its line and its
// first 200 characters.

#include <cstddef>
#include <cstdint>
#include <string>

namespace qarn::control {

// The first `count` characters of UTF-8 text, never cutting one in half.
std::string FirstCharacters(const std::string& text, size_t count);

// "Line N: " and the first 200 characters of `text`.
std::string LineContext(uint64_t line, const std::string& text);

}  // namespace qarn::control
