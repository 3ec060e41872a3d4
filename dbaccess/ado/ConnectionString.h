#pragma once
// Splitting a connection string into its key=value entries.

#include <string>
#include <string_view>
#include <vector>

#include "text/ConnectionValue.h"
#include "text/TextCase.h"

namespace qarn::ado {

struct ConnectionEntry {
    std::string key;    // as written, trimmed of blanks
    std::string value;  // unquoted
};

// Entries separated by ";"; a value may be quoted with "..." or '...' (a
// doubled quote stands for one) or braced {...} as ODBC writes it, and may
// then hold ";".  Empty entries are dropped.
std::vector<ConnectionEntry> ParseConnectionString(std::string_view s);

// An entry of ParseConnectionString and where its text stands in the string.
struct ConnectionEntrySpan {
    ConnectionEntry entry;
    size_t begin = 0;  // the entry's first character (blanks before the key included)
    size_t end = 0;    // its ";" or the end of the string
};
// The entries of ParseConnectionString, in order, each with its span.
std::vector<ConnectionEntrySpan> ParseConnectionStringSpans(std::string_view s);

// The connection string with the text of every entry whose key is
// "password" or "pwd" (any case, blanks around it) replaced by
// "password=**********" or "pwd=**********"; all other text kept as it is.
// The entries are the engine's, so what it would send is what is masked.
std::string MaskPasswords(std::string_view s);

// Value of the first entry whose key equals one of `keys` (any case), or empty.
std::string EntryValue(const std::vector<ConnectionEntry>& entries, std::initializer_list<std::string_view> keys);

using text::OdbcBraced;
using text::OdbcQuote;

// An ODBC connection string with every entry named `key` (any case) left
// out and key=value added at its end; a Driver value stays braced.
std::string ReplaceEntry(std::string_view connectionString, std::string_view key, std::string_view value);

using text::ContainsNoCase;
using text::EqualsNoCase;
using text::StartsWithNoCase;
using text::ToLower;
using text::ToUpper;
using text::Trim;

}  // namespace qarn::ado
