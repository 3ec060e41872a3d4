#include "logic/SelectAnalysis.h"

#include <algorithm>
#include <array>

#include "sql/SqlLexer.h"

namespace qarn::control {

namespace {

using sql::Lexer;
using sql::Token;
using sql::TokenKind;
using Verdict = SelectAnalysis::Verdict;

// Statements that change data or the schema, which may open a subquery in
// some dialects (PostgreSQL's data-changing WITH).
constexpr std::array<std::string_view, 6> kChangingWords = {"INSERT", "UPDATE", "DELETE", "MERGE", "UPSERT", "REPLACE"};

class Analyser {
public:
    Analyser(std::string_view text, Dialect dialect) : lexer_(text, dialect), text_(text), dialect_(dialect) {}

    SelectAnalysis Run() {
        Advance();
        if (IsWord("WITH")) {
            if (!SkipCommonTableExpressions()) return result_;
        }
        if (!IsWord("SELECT")) {
            if (token_.kind == TokenKind::End) return Refuse("the statement is empty");
            return Refuse("it is not a SELECT: it begins with " + std::string(lexer_.Text(token_)));
        }
        return ReadSelect();
    }

private:
    void Advance() { token_ = lexer_.Next(); }
    bool IsWord(std::string_view w) const { return lexer_.IsWord(token_, w); }
    bool IsSymbol(char c) const { return lexer_.IsSymbol(token_, c); }

    SelectAnalysis& Refuse(std::string reason) {
        result_.verdict = Verdict::Refused;
        result_.reason = std::move(reason);
        return result_;
    }

    // At an opening parenthesis: moves past its closing one.  Refuses a
    // data-changing statement inside and text left open.
    bool SkipParenthesised() {
        int depth = 0;
        bool atGroupStart = false;
        do {
            if (token_.kind == TokenKind::Unterminated) return Refuse(Unterminated()), false;
            if (token_.kind == TokenKind::End) return Refuse("a parenthesis is never closed"), false;
            if (atGroupStart) {
                for (std::string_view w : kChangingWords)
                    if (IsWord(w))
                        return Refuse("it holds a " + std::string(w) + " statement, which changes data"), false;
            }
            atGroupStart = IsSymbol('(');
            if (IsSymbol('(')) ++depth;
            if (IsSymbol(')')) --depth;
            result_.end = token_.end;
            Advance();
        } while (depth > 0);
        return true;
    }

    // WITH [RECURSIVE] name [(columns)] AS [[NOT] MATERIALIZED] (query) [, ...]
    bool SkipCommonTableExpressions() {
        Advance();
        if (IsWord("RECURSIVE")) Advance();
        for (;;) {
            if (token_.kind != TokenKind::Word && token_.kind != TokenKind::QuotedName)
                return Refuse("WITH is not followed by a name"), false;
            Advance();
            if (IsSymbol('(') && !SkipParenthesised()) return false;
            if (!IsWord("AS")) return Refuse("a WITH query has no AS"), false;
            Advance();
            if (IsWord("NOT")) Advance();
            if (IsWord("MATERIALIZED")) Advance();
            if (!IsSymbol('(')) return Refuse("a WITH query is not in parentheses"), false;
            if (!SkipParenthesised()) return false;
            if (!IsSymbol(',')) return true;
            Advance();
        }
    }

    std::string Unterminated() const { return "a quoted text, quoted name or comment is never closed"; }

    SelectAnalysis ReadSelect() {
        result_.verdict = Verdict::NoFrom;
        bool fromSeen = false;
        bool afterDistinct = false;  // "a IS DISTINCT FROM b" is no FROM clause
        for (;;) {
            Advance();
            if (token_.kind == TokenKind::Unterminated) return Refuse(Unterminated());
            if (token_.kind == TokenKind::End) break;
            if (IsSymbol('(')) {
                if (!SkipParenthesised()) return result_;
                lexer_.Seek(token_.begin);  // the token after the group is read again below
                afterDistinct = false;
                continue;
            }
            if (IsSymbol(';')) {
                AfterSemicolon();
                return Finish();
            }
            if (IsSymbol(')')) return Refuse("a parenthesis is closed that was never opened");
            result_.end = token_.end;
            if (IsWord("INTO")) return Refuse("SELECT ... INTO writes its rows into a table or a file");
            if (IsWord("ORDER")) result_.hasOrderBy = true;
            if (fromSeen && !orderByAt_ &&
                (IsWord("LIMIT") || IsWord("OFFSET") || IsWord("FETCH") || IsWord("FOR") || IsWord("LOCK")))
                orderByAt_ = token_.begin;
            if (!fromSeen && !afterDistinct && IsWord("FROM")) {
                fromSeen = true;
                if (!ReadTable()) return result_;
            }
            afterDistinct = IsWord("DISTINCT");
        }
        return Finish();
    }

    SelectAnalysis& Finish() {
        result_.orderByAt = orderByAt_ ? orderByAt_ : result_.end;
        return result_;
    }

    // After a top-level ";": only blanks, comments and more ";" may follow.
    SelectAnalysis AfterSemicolon() {
        for (Advance(); token_.kind != TokenKind::End; Advance()) {
            if (token_.kind == TokenKind::Unterminated) return Refuse(Unterminated());
            if (!IsSymbol(';')) return Refuse("a second statement follows the first: " + Excerpt());
        }
        return result_;
    }

    std::string Excerpt() const {
        std::string_view rest = text_.substr(token_.begin);
        return std::string(rest.substr(0, std::min<size_t>(rest.size(), 40)));
    }

    // At FROM: the table reference that follows, as name parts joined by ".".
    bool ReadTable() {
        Advance();
        if (token_.kind == TokenKind::End || IsSymbol(';')) {
            result_.verdict = Verdict::FromAtEnd;
            return false;
        }
        if (dialect_ == Dialect::PostgreSql && IsWord("ONLY")) Advance();  // this table, not its children
        TableName& table = result_.table;
        for (;;) {
            if (token_.kind == TokenKind::Unterminated) return Refuse(Unterminated()), false;
            if (token_.kind != TokenKind::Word && token_.kind != TokenKind::QuotedName)
                return Refuse("FROM is not followed by a table name"), false;
            const std::string_view part = lexer_.Text(token_);
            table.qualified += part;
            table.parts.push_back(sql::UnquoteName(part));
            table.quoted.push_back(token_.kind == TokenKind::QuotedName);
            result_.end = token_.end;
            const size_t after = lexer_.Position();
            Advance();
            if (IsSymbol('(')) return Refuse("FROM is followed by a function, not a table: " + table.qualified), false;
            if (!IsSymbol('.')) {
                lexer_.Seek(after);
                break;
            }
            table.qualified += '.';
            Advance();
        }
        result_.verdict = Verdict::Table;
        return true;
    }

    Lexer lexer_;
    std::string_view text_;
    Dialect dialect_;
    Token token_;
    size_t orderByAt_ = 0;
    SelectAnalysis result_;
};

}  // namespace

SelectAnalysis AnalyseSelect(std::string_view statement, Dialect dialect) {
    return Analyser(statement, dialect).Run();
}

}  // namespace qarn::control
