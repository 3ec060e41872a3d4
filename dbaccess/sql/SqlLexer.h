#pragma once
// SQL text cut into tokens the way a database's own parser cuts it: blanks
// and comments skipped, string literals, quoted names and dollar-quoted
// bodies kept whole, so that a word or a ";" found here is really one.
// Used to find the table a SELECT reads, to refuse what is no SELECT, and
// to split scripts into statements.

#include <cstddef>
#include <string>
#include <string_view>

#include "sql/Dialect.h"

namespace qarn::sql {

enum class TokenKind {
    Word,          // a name or keyword, unquoted (letters, digits, _, $ and any non-ASCII byte)
    QuotedName,    // "name", [name] or `name`, as the dialect quotes names
    String,        // '...', E'...', $tag$...$tag$, "..." where it is a text, #date# on Jet
    Number,        // a numeric literal
    Symbol,        // one character of punctuation or an operator
    Unterminated,  // a literal, quoted name or comment that the text never closes
    End,
    // MySQL's /*! ... */ and MariaDB's /*M! ... */, which the server runs as
    // SQL; only from a lexer asked to keep them, others skip them as comments.
    ExecutableComment,
};

struct Token {
    TokenKind kind = TokenKind::End;
    size_t begin = 0;  // offsets into the text
    size_t end = 0;
};

class Lexer {
public:
    // `keepExecutableComments`: on MySQL, /*! ... */ comes out as a token
    // rather than being skipped (a script splitter must not take a statement
    // made of one for a blank one).
    Lexer(std::string_view text, Dialect dialect, bool keepExecutableComments = false);

    // The next token, blanks and comments skipped.
    Token Next();
    // Where the next token's search starts.
    size_t Position() const { return pos_; }
    void Seek(size_t pos) { pos_ = pos; }

    std::string_view Text(const Token& t) const { return text_.substr(t.begin, t.end - t.begin); }
    // Whether the token is the word `keyword` (any case).
    bool IsWord(const Token& t, std::string_view keyword) const;
    bool IsSymbol(const Token& t, char c) const { return t.kind == TokenKind::Symbol && text_[t.begin] == c; }

private:
    bool SkipBlanksAndComments(size_t& openComment);  // false when a comment is left open (where it starts)
    void SkipQuoted(char close, bool backslashEscapes);
    bool TrySkipDollarQuote();

    std::string_view text_;
    Dialect dialect_;
    bool keepExecutable_;
    size_t pos_ = 0;
    bool open_ = false;  // the last skip or literal ran off the end
};

// A quoted name without its quotes, doubled quotes made single; an
// unquoted word as it stands.
std::string UnquoteName(std::string_view name);

}  // namespace qarn::sql
