#include "sql/StatementSplitter.h"

#include <sqlite3.h>

#include <algorithm>

#include "ado/AdoError.h"
#include "ado/ConnectionString.h"
#include "sql/SqlLexer.h"

namespace qarn::sql {

namespace {

// No server takes a statement longer than a gibibyte; one that grows past
// it is an unclosed quote or comment swallowing the script.
constexpr size_t kMaxStatementBytes = size_t{1} << 30;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The line's first word (letters only) and what follows it.
std::string_view FirstWord(std::string_view line, std::string_view& rest) {
    size_t end = 0;
    while (end < line.size() && IsLetter(line[end])) ++end;
    rest = line.substr(end);
    return line.substr(0, end);
}

// sqlcmd's GO line: GO, a count, a comment; the count (1 when none) or 0.
size_t GoCount(std::string_view line) {
    std::string_view rest;
    if (!ado::EqualsNoCase(FirstWord(ado::Trim(line), rest), "GO")) return 0;
    if (!rest.empty() && rest[0] != ' ' && rest[0] != '\t' && !rest.starts_with("--")) return 0;
    rest = ado::Trim(rest);
    size_t count = 1;
    if (!rest.empty() && rest[0] >= '0' && rest[0] <= '9') {
        count = 0;
        size_t i = 0;
        for (; i < rest.size() && rest[i] >= '0' && rest[i] <= '9'; ++i) {
            count = count * 10 + static_cast<size_t>(rest[i] - '0');
            if (count > 1000000) return 0;  // no batch is meant to run that often
        }
        rest = ado::Trim(rest.substr(i));
    }
    return rest.empty() || rest.starts_with("--") ? count : 0;
}

// What opens the literal or comment that the token `open` leaves open: the
// next line, read after it alone, tells whether the line can close it.
// (Each line ends with a line feed, so the reading never stops halfway
// through a doubled quote or an escape; a nested comment reads as one level,
// which may only make a line seem to close what it does not.)
std::string Opener(std::string_view open) {
    if (open.starts_with("/*")) return "/*";
    if (open.starts_with("$")) return std::string(open.substr(0, open.find('$', 1) + 1));
    if (open[0] == 'E' || open[0] == 'e') return "E'";
    return std::string(1, open[0]);
}

}  // namespace

StatementSplitter::StatementSplitter(Dialect dialect) : dialect_(dialect) {}

bool StatementSplitter::Next(ScriptPiece& piece) {
    if (ready_.empty()) return false;
    Ready& front = ready_.front();
    if (--front.repeat > 0) {
        piece = front.piece;
        return true;
    }
    piece = std::move(front.piece);
    ready_.pop_front();
    return true;
}

void StatementSplitter::AddLine(std::string_view line) {
    ++lines_;
    if (!open_ && TakeClientLine(line)) return;
    Compact();
    if (pending_.size() + line.size() >= kMaxStatementBytes)
        throw ado::AdoError(ado::err::StatementRefused,
                            "The statement that begins on line " +
                                std::to_string(LineAt(begin_ == std::string::npos ? scan_ : begin_)) +
                                " is longer than a server takes (is a quote or comment left open?)");
    lineStarts_.emplace_back(pending_.size(), lines_);
    pending_.append(line);
    pending_ += '\n';
    // Inside a literal or comment, a line that leaves it open needs no
    // reading from where it began: a long one would be read again and again.
    if (open_) {
        probe_.assign(opener_).append(line) += '\n';
        if (Lexer(probe_, dialect_, true).Next().kind == TokenKind::Unterminated) return;
    }
    Scan();
}

void StatementSplitter::Finish() {
    if (begin_ == std::string::npos && open_) begin_ = scan_;  // an unclosed comment: the server says so
    Emit(pending_.size());
    pending_.clear();
    lineStarts_.clear();
    scan_ = 0;
    open_ = false;
}

bool StatementSplitter::TakeClientLine(std::string_view line) {
    const std::string_view text = ado::Trim(line);
    auto command = [&](std::string why) {
        ready_.push_back({{ScriptPiece::Kind::ClientCommand, std::string(text), lines_, std::move(why)}, 1});
        return true;
    };
    const bool atStart = begin_ == std::string::npos;
    if (text.starts_with('\\')) {
        std::string_view rest;
        const std::string_view word = FirstWord(text.substr(1), rest);
        if (dialect_ == Dialect::PostgreSql) {
            // pg_dump's guard against a server slipping commands into a replay: nothing to run.
            if (ado::EqualsNoCase(word, "restrict") || ado::EqualsNoCase(word, "unrestrict")) return true;
            return command("is a psql command, not SQL");
        }
        return command(dialect_ == Dialect::MySql ? "is a mysql client command, not SQL"
                                                  : "is a client command, not SQL");
    }
    switch (dialect_) {
        case Dialect::SqlServer:
            if ((text.starts_with(':') && text.size() > 1 && IsLetter(text[1])) || text.starts_with("!!"))
                return command("is a sqlcmd command, not SQL");
            if (const size_t count = GoCount(text)) {
                Emit(pending_.size(), count);
                return true;
            }
            return false;
        case Dialect::Sqlite:
            if (atStart && line.starts_with('.')) return command("is a sqlite3 command, not SQL");
            return false;
        case Dialect::MySql: {
            std::string_view rest;
            if (!atStart || !ado::EqualsNoCase(FirstWord(text, rest), "DELIMITER") ||
                !(rest.empty() || rest[0] == ' ' || rest[0] == '\t'))
                return false;
            // The first word after it, or a quoted one, as the mysql client reads it.
            rest = ado::Trim(rest);
            std::string delimiter;
            if (!rest.empty() && (rest[0] == '\'' || rest[0] == '"' || rest[0] == '`')) {
                const size_t close = rest.find(rest[0], 1);
                delimiter = rest.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
            } else {
                delimiter = rest.substr(0, std::min(rest.find(' '), rest.find('\t')));
            }
            if (delimiter.empty() || delimiter.find('\\') != std::string::npos)
                return command("sets no delimiter the mysql client takes");
            delimiter_ = std::move(delimiter);
            return true;
        }
        default: return false;
    }
}

void StatementSplitter::Scan() {
    Lexer lexer(pending_, dialect_, true);
    lexer.Seek(scan_);
    for (;;) {
        const Token t = lexer.Next();
        if (t.kind == TokenKind::End) {
            scan_ = pending_.size();
            open_ = false;
            return;
        }
        if (t.kind == TokenKind::Unterminated) {
            scan_ = t.begin;
            open_ = true;
            opener_ = Opener(lexer.Text(t));
            return;
        }
        if (dialect_ == Dialect::MySql &&
            (t.kind == TokenKind::Word || t.kind == TokenKind::Number || t.kind == TokenKind::Symbol)) {
            // The mysql client looks for its delimiter anywhere outside literals: "END$$" ends at "$$".
            if (const size_t at = FindDelimiter(t.begin, t.end); at != std::string::npos) {
                if (at > t.begin && begin_ == std::string::npos) StartStatement(t.begin);
                Emit(at);
                scan_ = at + delimiter_.size();
                lexer.Seek(scan_);
                continue;
            }
        } else if (dialect_ != Dialect::MySql && dialect_ != Dialect::SqlServer && lexer.IsSymbol(t, ';') &&
                   parens_ == 0 && bodyDepth_ == 0 &&
                   (dialect_ != Dialect::Sqlite || begin_ == std::string::npos || EndsSqlite(t.end))) {
            Emit(t.end);
            scan_ = t.end;
            continue;
        }
        if (begin_ == std::string::npos) StartStatement(t.begin);
        if (dialect_ != Dialect::PostgreSql) continue;
        if (lexer.IsSymbol(t, '('))
            ++parens_;
        else if (lexer.IsSymbol(t, ')') && parens_ > 0)
            --parens_;
        else if (t.kind == TokenKind::Word && parens_ == 0)
            FollowPostgresWord(lexer.Text(t));
    }
}

void StatementSplitter::StartStatement(size_t at) {
    begin_ = at;
    parens_ = bodyDepth_ = words_ = 0;
    routine_ = false;
    head_.clear();
}

// psql keeps a CREATE FUNCTION or PROCEDURE whose body is BEGIN ATOMIC ...
// END together: inside such a statement BEGIN opens a block, CASE too once
// inside one, and END closes either.
void StatementSplitter::FollowPostgresWord(std::string_view word) {
    if (words_ < 4) {
        ++words_;
        head_ += ado::ToUpper(word);
        head_ += ' ';
        if (head_ == "CREATE FUNCTION " || head_ == "CREATE PROCEDURE " || head_ == "CREATE OR REPLACE FUNCTION " ||
            head_ == "CREATE OR REPLACE PROCEDURE ")
            routine_ = true;
    }
    if (!routine_) return;
    if (ado::EqualsNoCase(word, "BEGIN"))
        ++bodyDepth_;
    else if (ado::EqualsNoCase(word, "CASE") && bodyDepth_ > 0)
        ++bodyDepth_;
    else if (ado::EqualsNoCase(word, "END") && bodyDepth_ > 0)
        --bodyDepth_;
}

size_t StatementSplitter::FindDelimiter(size_t from, size_t to) const {
    for (size_t at = from; at < to; ++at)
        if (pending_.compare(at, delimiter_.size(), delimiter_) == 0) return at;
    return std::string::npos;
}

bool StatementSplitter::EndsSqlite(size_t end) {
    probe_.assign(pending_, begin_, end - begin_);
    return sqlite3_complete(probe_.c_str()) != 0;
}

void StatementSplitter::Emit(size_t end, size_t repeat) {
    if (begin_ != std::string::npos) {
        size_t last = end;
        while (last > begin_ && IsBlank(pending_[last - 1])) --last;
        if (last > begin_)
            ready_.push_back(
                {{ScriptPiece::Kind::Statement, pending_.substr(begin_, last - begin_), LineAt(begin_), {}}, repeat});
    }
    StartStatement(std::string::npos);
}

uint64_t StatementSplitter::LineAt(size_t offset) const {
    auto after = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset,
                                  [](size_t o, const std::pair<size_t, uint64_t>& s) { return o < s.first; });
    return after == lineStarts_.begin() ? lines_ : std::prev(after)->second;
}

// Drops the text of statements already handed out, so only the current one is held.
void StatementSplitter::Compact() {
    const size_t cut = begin_ != std::string::npos ? begin_ : scan_;
    if (cut == 0) return;
    pending_.erase(0, cut);
    scan_ -= cut;
    if (begin_ != std::string::npos) begin_ -= cut;
    auto first = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), cut,
                                  [](size_t o, const std::pair<size_t, uint64_t>& s) { return o < s.first; });
    if (first != lineStarts_.begin()) --first;
    lineStarts_.erase(lineStarts_.begin(), first);
    for (auto& start : lineStarts_) start.first = start.first > cut ? start.first - cut : 0;
}

}  // namespace qarn::sql
