#pragma once
// Text between UTF-8, which the rest of the system holds, and UTF-16 as
// unixODBC's SQLWCHAR (two bytes) carries it through the wide calls.
// Unpaired surrogates and broken UTF-8 become U+FFFD.

#include <sql.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qarn::ado::odbc {

void AppendUtf8(std::string& out, const SQLWCHAR* text, size_t units);
std::string ToUtf8(const SQLWCHAR* text, size_t units);
// The text a call left in a buffer of `capacity` units, `units` long as the
// call reported it (negative or too long when the driver says so), up to
// any terminator within.
std::string FromBuffer(const SQLWCHAR* buffer, size_t capacity, SQLLEN units);
// Replaces `out` with the text and a terminating zero.
void ToUtf16(std::string_view text, std::vector<SQLWCHAR>& out);
std::vector<SQLWCHAR> ToUtf16(std::string_view text);

}  // namespace qarn::ado::odbc
