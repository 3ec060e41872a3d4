#pragma once
// Writing a value into a connection string so that the provider's parser
// (and ODBC) reads it back unchanged.

#include <string>
#include <string_view>

namespace qarn::text {

// Braced when it holds ";", "{", "}", "=", opens with a quote or has blanks
// at its ends; bare otherwise.
std::string OdbcQuote(std::string_view value);
// The value between braces, as ODBC writes driver names.
std::string OdbcBraced(std::string_view value);

}  // namespace qarn::text
