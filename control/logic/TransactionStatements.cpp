#include "logic/TransactionStatements.h"

#include "ado/ConnectionString.h"
#include "sql/SqlLexer.h"

namespace qarn::control {

namespace {

using sql::Dialect;
using sql::TokenKind;

// The opening words of a transaction statement, or empty.
std::string TransactionWords(sql::Lexer& lexer, const sql::Token& first, Dialect dialect) {
    const std::string word = ado::ToUpper(lexer.Text(first));
    const sql::Token second = lexer.Next();
    const std::string next = second.kind == TokenKind::Word ? ado::ToUpper(lexer.Text(second)) : std::string();
    if (dialect == Dialect::SqlServer) {
        // T-SQL's BEGIN alone opens a block; SAVE TRAN marks a savepoint.
        if ((word == "BEGIN" || word == "SAVE") && (next == "TRAN" || next == "TRANSACTION" || next == "DISTRIBUTED"))
            return word + " " + next;
        return word == "COMMIT" || word == "ROLLBACK" ? word : std::string();
    }
    if (word == "START" && next == "TRANSACTION") return "START TRANSACTION";
    if (word == "SET" && next == "AUTOCOMMIT") return "SET AUTOCOMMIT";  // MySQL: commits what is open
    for (const char* w : {"BEGIN", "COMMIT", "ROLLBACK", "SAVEPOINT", "RELEASE", "END", "ABORT"})
        if (word == w) return word;
    return {};
}

}  // namespace

std::string FindTransactionStatement(std::string_view text, Dialect dialect) {
    sql::Lexer lexer(text, dialect);
    // Most texts hold one statement, at most ended by ";": then only its
    // first words matter, and a long INSERT need not be read to its end.
    const size_t semicolon = text.find(';');
    if (semicolon == std::string_view::npos || semicolon == text.find_last_not_of(" \t\r\n")) {
        const sql::Token first = lexer.Next();
        if (first.kind != TokenKind::Word || lexer.IsWord(first, "CREATE")) return {};
        return TransactionWords(lexer, first, dialect);
    }
    bool atStart = true;
    int depth = 0;
    for (sql::Token t = lexer.Next(); t.kind != TokenKind::End && t.kind != TokenKind::Unterminated; t = lexer.Next()) {
        if (lexer.IsSymbol(t, '(')) ++depth;
        if (lexer.IsSymbol(t, ')')) --depth;
        if (depth == 0 && lexer.IsSymbol(t, ';')) {
            atStart = true;
            continue;
        }
        if (!atStart) continue;
        atStart = false;
        if (t.kind != TokenKind::Word) continue;
        if (lexer.IsWord(t, "CREATE")) return {};
        const size_t after = lexer.Position();
        if (std::string words = TransactionWords(lexer, t, dialect); !words.empty()) return words;
        lexer.Seek(after);
    }
    return {};
}

}  // namespace qarn::control
