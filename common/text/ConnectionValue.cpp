#include "text/ConnectionValue.h"

namespace qarn::text {

std::string OdbcBraced(std::string_view value) {
    std::string out = "{";
    for (char c : value) {
        out.push_back(c);
        if (c == '}') out.push_back('}');
    }
    out.push_back('}');
    return out;
}

std::string OdbcQuote(std::string_view value) {
    // Bare, a quote at the start would be taken for quoting and blanks or
    // tabs at the ends would be trimmed.
    const bool needs = value.find_first_of(";{}=") != std::string_view::npos ||
                       (!value.empty() && (value.front() == ' ' || value.back() == ' ' || value.front() == '\t' ||
                                           value.back() == '\t' || value.front() == '"' || value.front() == '\''));
    return needs ? OdbcBraced(value) : std::string(value);
}

}  // namespace qarn::text
