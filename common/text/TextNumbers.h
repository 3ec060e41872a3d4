#pragma once
// Reading digits and numbers out of text, as the engines and the lexer read
// the values and entries they are given.

#include <charconv>
#include <string_view>
#include <system_error>

namespace qarn::text {

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Not empty, and nothing but the digits 0 to 9.
inline bool IsDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!IsDigit(c)) return false;
    return true;
}

// The value of a hexadecimal digit in either case; -1 for any other character.
inline int HexDigitValue(char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The whole text as one number of type T; false (out unspecified) when any
// of it is not part of the number or the number does not fit.
template <typename T>
bool ReadWholeNumber(std::string_view text, T& out) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace qarn::text
