#include "logic/SelectAnalysis.h"

#include <string_view>

#include "ado/ConnectionString.h"
#include "ui/UserInterface.h"

namespace qarn::control {

namespace {

void NormaliseLineBreaks(std::string& statement) {
    size_t kept = 0;
    for (char c : statement) {
        if (c == '\n') continue;
        statement[kept++] = c == '\r' ? ' ' : c;
    }
    statement.resize(kept);
}

}  // namespace

bool ParseTableName(std::string& statement, std::string& qualifiedTable, std::string& bareTable) {
    qualifiedTable.clear();
    bareTable.clear();
    NormaliseLineBreaks(statement);

    const std::string_view text(statement);
    bool fromSeen = false;
    size_t start = 0;
    while (true) {
        const size_t blank = text.find(' ', start);
        const std::string_view word = text.substr(start, blank == std::string_view::npos ? blank : blank - start);
        if (fromSeen) {
            qualifiedTable.assign(word);
            const size_t point = qualifiedTable.rfind('.');
            bareTable = point == std::string::npos ? qualifiedTable : qualifiedTable.substr(point + 1);
            return true;
        }
        fromSeen = ado::EqualsNoCase(word, "FROM");
        if (blank == std::string_view::npos) break;
        start = blank + 1;
    }
    if (!fromSeen) {
        CurrentUserInterface().MessageBox("No FROM clause in the select statement", MsgIcon::Exclamation,
                                          "qarnSqlGenComp", MsgButtons::Ok);
    }
    return false;
}

std::string BuildRunText(const std::string& normalised, const std::string& qualified, const std::string& bare) {
    if (qualified == bare) return normalised;
    std::string out;
    out.reserve(normalised.size());
    size_t from = 0;
    for (size_t hit = normalised.find(qualified); hit != std::string::npos; hit = normalised.find(qualified, from)) {
        out.append(normalised, from, hit - from);
        out += bare;
        from = hit + qualified.size();
    }
    out.append(normalised, from);
    return out;
}

}  // namespace qarn::control
