#pragma once
// Comparing and folding ASCII letters, as keys, provider names and SQL
// keywords are compared everywhere in the system: bytes past ASCII (UTF-8)
// are left as they are.

#include <string>
#include <string_view>

namespace qarn::text {

bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view s, std::string_view prefix);
bool ContainsNoCase(std::string_view haystack, std::string_view needle);
std::string ToUpper(std::string_view s);
std::string ToLower(std::string_view s);
// Without the blanks and tabs at its ends.
std::string_view Trim(std::string_view s);

}  // namespace qarn::text
