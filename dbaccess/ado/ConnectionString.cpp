#include "ado/ConnectionString.h"

#include <algorithm>
#include <cctype>

namespace qarn::ado {

namespace {

// Where a scan for each closing character ('"', '\'', '}') once ran off the
// end of the string without finding its close.  Every run of closing
// characters after it then pairs up, so a later value can only close within
// the run right after its opening character: the scan stops there, which
// keeps a string full of unclosed values from being read over and over.
struct UnclosedFrom {
    size_t at[3] = {std::string_view::npos, std::string_view::npos, std::string_view::npos};
    size_t& For(char close) { return at[close == '"' ? 0 : close == '\'' ? 1 : 2]; }
};

// Reads a quoted or braced value starting at s[pos]; returns false when the
// value is not quoted (the caller then reads up to the next ";").
bool ReadQuoted(std::string_view s, size_t& pos, std::string& value, UnclosedFrom& unclosed) {
    char open = s[pos];
    char close = open == '{' ? '}' : open;
    if (open != '"' && open != '\'' && open != '{') return false;
    const bool knownUnclosed = unclosed.For(close) <= pos;
    size_t i = pos + 1;
    std::string v;
    while (i < s.size()) {
        if (s[i] == close) {
            if (i + 1 < s.size() && s[i + 1] == close) {  // doubled: one literal character
                v.push_back(close);
                i += 2;
                continue;
            }
            break;
        }
        if (knownUnclosed) return false;
        v.push_back(s[i++]);
    }
    if (i >= s.size()) {  // unterminated: read as plain text
        unclosed.For(close) = std::min(unclosed.For(close), pos);
        return false;
    }
    // Only blanks may follow the closing quote before the ";".
    size_t j = i + 1;
    while (j < s.size() && s[j] == ' ') ++j;
    if (j < s.size() && s[j] != ';') return false;
    value = std::move(v);
    pos = j;
    return true;
}
}  // namespace

std::vector<ConnectionEntrySpan> ParseConnectionStringSpans(std::string_view s) {
    std::vector<ConnectionEntrySpan> entries;
    UnclosedFrom unclosed;
    size_t pos = 0;
    while (pos < s.size()) {
        const size_t begin = pos;
        // The key ends at the first "=" or ";": one scan, so the whole parse stays linear.
        size_t stop = s.find_first_of("=;", pos);
        if (stop == std::string_view::npos || s[stop] == ';') {
            // An entry without "=": a key with an empty value (or an empty entry).
            size_t end = stop == std::string_view::npos ? s.size() : stop;
            auto key = Trim(s.substr(pos, end - pos));
            if (!key.empty()) entries.push_back({{std::string(key), {}}, begin, end});
            pos = end + 1;
            continue;
        }
        const size_t eq = stop;
        ConnectionEntry e;
        e.key = std::string(Trim(s.substr(pos, eq - pos)));
        size_t vpos = eq + 1;
        while (vpos < s.size() && s[vpos] == ' ') ++vpos;
        size_t end;
        if (vpos < s.size() && ReadQuoted(s, vpos, e.value, unclosed)) {
            end = vpos;
        } else {
            end = s.find(';', eq + 1);
            if (end == std::string_view::npos) end = s.size();
            e.value = std::string(Trim(s.substr(eq + 1, end - eq - 1)));
        }
        pos = end + 1;
        if (!e.key.empty() || !e.value.empty()) entries.push_back({std::move(e), begin, std::min(end, s.size())});
    }
    return entries;
}

std::vector<ConnectionEntry> ParseConnectionString(std::string_view s) {
    std::vector<ConnectionEntry> entries;
    for (auto& span : ParseConnectionStringSpans(s)) entries.push_back(std::move(span.entry));
    return entries;
}

std::string MaskPasswords(std::string_view s) {
    std::string out;
    size_t copied = 0;
    for (const auto& span : ParseConnectionStringSpans(s)) {
        const std::string& key = span.entry.key;
        const bool pwd = EqualsNoCase(key, "pwd");
        if (!pwd && !EqualsNoCase(key, "password")) continue;
        out.append(s.substr(copied, span.begin - copied));
        out.append(pwd ? "pwd=**********" : "password=**********");
        copied = span.end;
    }
    out.append(s.substr(copied));
    return out;
}

std::string EntryValue(const std::vector<ConnectionEntry>& entries, std::initializer_list<std::string_view> keys) {
    for (const auto& e : entries)
        for (auto k : keys)
            if (EqualsNoCase(e.key, k)) return e.value;
    return {};
}

std::string ReplaceEntry(std::string_view connectionString, std::string_view key, std::string_view value) {
    std::string out;
    auto add = [&out](std::string_view k, std::string_view v) {
        if (!out.empty()) out += ';';
        out.append(k).append("=");
        // unixODBC reads a driver name with blanks whole only between braces.
        out += EqualsNoCase(k, "Driver") ? OdbcBraced(v) : OdbcQuote(v);
    };
    for (const ConnectionEntry& e : ParseConnectionString(connectionString))
        if (!EqualsNoCase(e.key, key)) add(e.key, e.value);
    add(key, value);
    return out;
}

}  // namespace qarn::ado
