#include "sql/SqlLexer.h"

#include "ado/ConnectionString.h"
#include "text/TextNumbers.h"

namespace qarn::sql {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
using text::IsDigit;
bool IsWordStart(char c, Dialect d) {
    const auto u = static_cast<unsigned char>(c);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || u >= 0x80) return true;
    // SQL Server's variables and temporary tables, MySQL's variables.
    return (c == '@' && (d == Dialect::SqlServer || d == Dialect::MySql)) || (c == '#' && d == Dialect::SqlServer);
}
bool IsWordPart(char c, Dialect d) {
    return IsWordStart(c, d) || IsDigit(c) || (c == '$' && d != Dialect::SqlServer && d != Dialect::Jet) ||
           (c == '#' && d == Dialect::SqlServer);
}

}  // namespace

Lexer::Lexer(std::string_view text, Dialect dialect, bool keepExecutableComments)
    : text_(text), dialect_(dialect), keepExecutable_(keepExecutableComments && dialect == Dialect::MySql) {}

namespace {
// At "/*": whether the comment is one MySQL or MariaDB runs (/*!, /*M!).
bool IsExecutableComment(std::string_view text, size_t at) {
    const std::string_view rest = text.substr(at + 2);
    return rest.starts_with('!') || rest.starts_with("M!");
}
}  // namespace

bool Lexer::IsWord(const Token& t, std::string_view keyword) const {
    return t.kind == TokenKind::Word && ado::EqualsNoCase(Text(t), keyword);
}

bool Lexer::SkipBlanksAndComments(size_t& openComment) {
    const size_t n = text_.size();
    while (pos_ < n) {
        const char c = text_[pos_];
        const char next = pos_ + 1 < n ? text_[pos_ + 1] : '\0';
        if (IsBlank(c)) {
            ++pos_;
        } else if (c == '-' && next == '-' &&
                   // MySQL takes "--" for a comment only before a blank or a control character.
                   (dialect_ != Dialect::MySql || pos_ + 2 >= n ||
                    static_cast<unsigned char>(text_[pos_ + 2]) <= ' ')) {
            const size_t nl = text_.find('\n', pos_);
            pos_ = nl == std::string_view::npos ? n : nl + 1;
        } else if (c == '#' && dialect_ == Dialect::MySql) {
            const size_t nl = text_.find('\n', pos_);
            pos_ = nl == std::string_view::npos ? n : nl + 1;
        } else if (c == '/' && next == '*' && !(keepExecutable_ && IsExecutableComment(text_, pos_))) {
            // PostgreSQL nests block comments; the others end at the first "*/".
            openComment = pos_;
            size_t depth = 1;
            pos_ += 2;
            while (pos_ < n && depth > 0) {
                if (text_[pos_] == '*' && pos_ + 1 < n && text_[pos_ + 1] == '/') {
                    --depth;
                    pos_ += 2;
                } else if (dialect_ == Dialect::PostgreSql && text_[pos_] == '/' && pos_ + 1 < n &&
                           text_[pos_ + 1] == '*') {
                    ++depth;
                    pos_ += 2;
                } else {
                    ++pos_;
                }
            }
            if (depth > 0) return false;
        } else {
            break;
        }
    }
    return true;
}

// From just after an opening quote to just after its closing one; a doubled
// closing quote stands for itself.  Sets open_ when the text ends first.
void Lexer::SkipQuoted(char close, bool backslashEscapes) {
    const size_t n = text_.size();
    while (pos_ < n) {
        const char c = text_[pos_++];
        if (backslashEscapes && c == '\\') {
            if (pos_ < n) ++pos_;
        } else if (c == close) {
            if (pos_ >= n || text_[pos_] != close) return;
            ++pos_;
        }
    }
    open_ = true;
}

// At a "$": PostgreSQL's $tag$...$tag$ (the tag may be empty).  False
// when this "$" opens no such body (a parameter such as $1).
bool Lexer::TrySkipDollarQuote() {
    const size_t n = text_.size();
    size_t i = pos_ + 1;
    if (i < n && IsDigit(text_[i])) return false;
    while (i < n && text_[i] != '$' && IsWordPart(text_[i], dialect_)) ++i;
    if (i >= n || text_[i] != '$') return false;
    const std::string_view tag = text_.substr(pos_, i + 1 - pos_);
    const size_t close = text_.find(tag, i + 1);
    if (close == std::string_view::npos) {
        pos_ = n;
        open_ = true;
    } else {
        pos_ = close + tag.size();
    }
    return true;
}

Token Lexer::Next() {
    Token t;
    open_ = false;
    size_t openComment = 0;
    if (!SkipBlanksAndComments(openComment)) {
        // The token is the comment the text leaves open.
        t.kind = TokenKind::Unterminated;
        t.begin = openComment;
        t.end = pos_;
        return t;
    }
    const size_t n = text_.size();
    t.begin = pos_;
    if (pos_ >= n) {
        t.end = pos_;
        return t;
    }
    const char c = text_[pos_];
    const Dialect d = dialect_;
    if (c == '/' && pos_ + 1 < n && text_[pos_ + 1] == '*') {
        // Only an executable comment is left unskipped; it ends at the first "*/".
        const size_t close = text_.find("*/", pos_ + 2);
        pos_ = close == std::string_view::npos ? n : close + 2;
        open_ = close == std::string_view::npos;
        t.kind = TokenKind::ExecutableComment;
    } else if (c == '\'') {
        ++pos_;
        SkipQuoted('\'', d == Dialect::MySql);
        t.kind = TokenKind::String;
    } else if ((c == 'E' || c == 'e') && d == Dialect::PostgreSql && pos_ + 1 < n && text_[pos_ + 1] == '\'') {
        pos_ += 2;
        SkipQuoted('\'', true);
        t.kind = TokenKind::String;
    } else if (c == '"') {
        ++pos_;
        const bool isText = d == Dialect::MySql || d == Dialect::Jet;
        SkipQuoted('"', d == Dialect::MySql);
        t.kind = isText ? TokenKind::String : TokenKind::QuotedName;
    } else if (c == '[' && (d == Dialect::SqlServer || d == Dialect::Jet || d == Dialect::Sqlite)) {
        ++pos_;
        SkipQuoted(']', false);
        t.kind = TokenKind::QuotedName;
    } else if (c == '`' && (d == Dialect::MySql || d == Dialect::Sqlite)) {
        ++pos_;
        SkipQuoted('`', false);
        t.kind = TokenKind::QuotedName;
    } else if (c == '#' && d == Dialect::Jet) {
        ++pos_;
        const size_t close = text_.find('#', pos_);
        if (close == std::string_view::npos) {
            pos_ = n;
            open_ = true;
        } else {
            pos_ = close + 1;
        }
        t.kind = TokenKind::String;
    } else if (c == '$' && d == Dialect::PostgreSql && TrySkipDollarQuote()) {
        t.kind = TokenKind::String;
    } else if (IsWordStart(c, d)) {
        while (pos_ < n && IsWordPart(text_[pos_], d)) ++pos_;
        t.kind = TokenKind::Word;
    } else if (IsDigit(c) || (c == '.' && pos_ + 1 < n && IsDigit(text_[pos_ + 1]))) {
        while (pos_ < n && (IsDigit(text_[pos_]) || text_[pos_] == '.' || IsWordPart(text_[pos_], d))) {
            // An exponent's sign belongs to the number.
            const char e = text_[pos_];
            ++pos_;
            if ((e == 'e' || e == 'E') && pos_ < n && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
        }
        t.kind = TokenKind::Number;
    } else {
        ++pos_;
        t.kind = TokenKind::Symbol;
    }
    if (open_) t.kind = TokenKind::Unterminated;
    t.end = pos_;
    return t;
}

std::string UnquoteName(std::string_view name) {
    if (name.size() < 2) return std::string(name);
    const char open = name.front();
    const char close = open == '[' ? ']' : open;
    if ((open != '"' && open != '[' && open != '`') || name.back() != close) return std::string(name);
    std::string out;
    for (size_t i = 1; i + 1 < name.size(); ++i) {
        out += name[i];
        if (name[i] == close && i + 2 < name.size() && name[i + 1] == close) ++i;
    }
    return out;
}

}  // namespace qarn::sql
