// Connection strings as users type them: the engine's parser, the entries'
// spans, and the masking of passwords for display.
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "ado/ConnectionString.h"

using namespace qarn::ado;

namespace {
bool IsPasswordKey(std::string_view key) {
    return EqualsNoCase(key, "password") || EqualsNoCase(key, "pwd");
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view s(reinterpret_cast<const char*>(data), size);
    const auto entries = ParseConnectionString(s);
    const auto spans = ParseConnectionStringSpans(s);
    FUZZ_CHECK(entries.size() == spans.size());
    size_t previousEnd = 0, maskedSize = s.size(), passwords = 0;
    for (size_t i = 0; i < spans.size(); ++i) {
        const auto& span = spans[i];
        FUZZ_CHECK(span.entry.key == entries[i].key && span.entry.value == entries[i].value);
        FUZZ_CHECK(i == 0 ? span.begin >= previousEnd : span.begin > previousEnd);  // a ";" between entries
        FUZZ_CHECK(span.begin <= span.end && span.end <= s.size());
        FUZZ_CHECK(span.end == s.size() || s[span.end] == ';');
        previousEnd = span.end;
        // An entry's text read alone is that entry: the span holds all of it and nothing more.
        const auto alone = ParseConnectionString(s.substr(span.begin, span.end - span.begin));
        FUZZ_CHECK(alone.size() == 1 && alone[0].key == span.entry.key && alone[0].value == span.entry.value);
        if (IsPasswordKey(span.entry.key)) {
            ++passwords;
            maskedSize += (EqualsNoCase(span.entry.key, "pwd") ? 14 : 19) - (span.end - span.begin);
        }
    }
    // Every password entry is replaced by the mask, all other text kept.
    const std::string masked = MaskPasswords(s);
    FUZZ_CHECK(masked.size() == maskedSize);
    FUZZ_CHECK(passwords > 0 || masked == s);
    return 0;
}
