// SQL text in every dialect through each entry point that reads it.  An
// analysis built on the lexer is fuzzed by adding a function to
// kEntryPoints (and its sources to qarnParsers in CMakeLists.txt).
#include <cstdint>
#include <string_view>

#include "FuzzCheck.h"
#include "logic/SelectAnalysis.h"
#include "logic/TransactionStatements.h"
#include "sql/SqlLexer.h"
#include "sql/StatementSplitter.h"

using namespace qarn::sql;

namespace {
// Tokens cover the text in order, each within it, and the lexer ends.
void LexWholeText(std::string_view sql, Dialect dialect) {
    Lexer lexer(sql, dialect);
    size_t previousEnd = 0;
    for (size_t count = 0;; ++count) {
        FUZZ_CHECK(count <= sql.size());  // every token but the last takes at least one character
        const Token t = lexer.Next();
        FUZZ_CHECK(t.begin >= previousEnd && t.begin <= t.end && t.end <= sql.size());
        FUZZ_CHECK(lexer.Position() == t.end);
        if (t.kind == TokenKind::End) {
            FUZZ_CHECK(t.end == sql.size());
            break;
        }
        FUZZ_CHECK(t.end > t.begin);
        if (t.kind == TokenKind::QuotedName) FUZZ_CHECK(UnquoteName(lexer.Text(t)).size() <= t.end - t.begin);
        if (t.kind == TokenKind::Unterminated) {
            FUZZ_CHECK(t.end == sql.size());
            break;
        }
        previousEnd = t.end;
    }
}

// Generate's reading of a SELECT: a found table has parts, and every
// position it gives lies within the text.
void AnalyseSelectText(std::string_view sql, Dialect dialect) {
    const qarn::control::SelectAnalysis a = qarn::control::AnalyseSelect(sql, dialect);
    FUZZ_CHECK(a.end <= sql.size() && a.orderByAt <= sql.size());
    if (a.verdict == qarn::control::SelectAnalysis::Verdict::Table) {
        FUZZ_CHECK(!a.table.parts.empty() && !a.table.qualified.empty());
        FUZZ_CHECK(a.table.parts.size() == a.table.quoted.size());
    }
    if (a.verdict == qarn::control::SelectAnalysis::Verdict::Refused) FUZZ_CHECK(!a.reason.empty());
}

// RunScript's search for transaction statements ends on any text.
void FindTransactionText(std::string_view sql, Dialect dialect) {
    const std::string words = qarn::control::FindTransactionStatement(sql, dialect);
    FUZZ_CHECK(words.size() <= sql.size() + 16);
}

// The text as a script read line by line: each piece from a line read so
// far, statements in line order (a client command may come out inside
// one), a statement never blank at either end.
void SplitScript(std::string_view sql, Dialect dialect) {
    StatementSplitter splitter(dialect);
    uint64_t lines = 0, last = 0;
    size_t pieces = 0;
    auto drain = [&] {
        // GO n hands a batch out n times: enough of them shows the order.
        for (ScriptPiece p; pieces < 4 * sql.size() + 64 && splitter.Next(p); ++pieces) {
            FUZZ_CHECK(p.line >= 1 && p.line <= lines);
            FUZZ_CHECK(!p.text.empty());
            if (p.kind == ScriptPiece::Kind::Statement) {
                FUZZ_CHECK(p.line >= last);
                last = p.line;
                FUZZ_CHECK(p.text.find_first_of(" \t\n") != 0);
                FUZZ_CHECK(p.text.find_last_of(" \t\n") != p.text.size() - 1);
            }
        }
    };
    for (size_t start = 0; start <= sql.size();) {
        size_t end = sql.find('\n', start);
        if (end == std::string_view::npos) end = sql.size();
        splitter.AddLine(sql.substr(start, end - start));
        ++lines;
        drain();
        start = end + 1;
    }
    splitter.Finish();
    drain();
}

using EntryPoint = void (*)(std::string_view sql, Dialect dialect);
constexpr EntryPoint kEntryPoints[] = {LexWholeText, AnalyseSelectText, FindTransactionText, SplitScript};
constexpr Dialect kDialects[] = {Dialect::Jet,   Dialect::SqlServer, Dialect::PostgreSql,
                                 Dialect::MySql, Dialect::Sqlite,    Dialect::Ansi};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view sql(reinterpret_cast<const char*>(data), size);
    for (EntryPoint entry : kEntryPoints)
        for (Dialect dialect : kDialects) entry(sql, dialect);
    return 0;
}
