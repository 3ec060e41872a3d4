#include "logic/LineContext.h"

namespace qarn::control {

std::string FirstCharacters(const std::string& text, size_t count) {
    if (text.size() <= count) return text;  // no more characters than bytes
    size_t end = 0;
    for (size_t seen = 0; end < text.size() && seen < count; ++seen) {
        ++end;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    }
    return text.substr(0, end);
}

std::string LineContext(uint64_t line, const std::string& text) {
    return "Line " + std::to_string(line) + ": " + FirstCharacters(text, 200);
}

}  // namespace qarn::control
