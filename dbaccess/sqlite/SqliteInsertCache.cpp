#include "sqlite/SqliteInsertCache.h"

#include <charconv>
#include <cstdint>

#include "ado/ConnectionString.h"
#include "sql/SqlLexer.h"
#include "text/TextNumbers.h"

namespace qarn::ado::sqlite {

namespace {

using sql::Lexer;
using sql::Token;
using sql::TokenKind;

constexpr size_t kMostShapes = 16;
// Whole numbers of up to this many digits always fit 64 bits; longer ones
// (and SQLite's treatment of -9223372036854775808) are left to the parser.
constexpr size_t kSafeDigits = 18;

// SQLite's affinity rules for a declared type: whether a text bound to the
// column is converted to a number by the same conversion the parser gives
// a real literal (INTEGER, REAL and NUMERIC affinity).
bool ConvertsTextToNumber(const char* declared) {
    if (!declared) return false;  // no type: no affinity, a text stays a text
    const std::string type = ToUpper(declared);
    // ANY keeps every value as it is in a STRICT table (elsewhere it would
    // be NUMERIC): not worth telling the two apart.
    if (type == "ANY") return false;
    if (type.find("INT") != std::string::npos) return true;
    if (type.find("CHAR") != std::string::npos || type.find("CLOB") != std::string::npos ||
        type.find("TEXT") != std::string::npos)
        return false;
    if (type.empty() || type.find("BLOB") != std::string::npos) return false;
    return true;  // REAL, FLOA, DOUB, and everything else is NUMERIC
}

bool IsRealLiteral(std::string_view s) {
    bool digit = false;
    for (char c : s) {
        if (c >= '0' && c <= '9')
            digit = true;
        else if (c != '.' && c != 'e' && c != 'E' && c != '+' && c != '-')
            return false;
    }
    return digit;
}

}  // namespace

InsertCache::Shape* InsertCache::ShapeOf(sqlite3* db, std::string_view head, const std::string& schema,
                                         const std::string& table, const std::vector<std::string>& columns) {
    if (auto found = shapes_.find(head); found != shapes_.end()) return &found->second;
    if (shapes_.size() >= kMostShapes) shapes_.clear();
    std::string text(head);
    text += '(';
    for (size_t i = 0; i < columns.size(); ++i) text += i ? ",?" : "?";
    text += ')';
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v3(db, text.c_str(), static_cast<int>(text.size()), SQLITE_PREPARE_PERSISTENT, &raw, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(raw);
        return nullptr;  // the parser will say what is wrong with it
    }
    Shape shape{StmtHandle(raw), {}};
    for (const std::string& column : columns) {
        const char* declared = nullptr;
        const bool known =
            sqlite3_table_column_metadata(db, schema.empty() ? nullptr : schema.c_str(), table.c_str(), column.c_str(),
                                          &declared, nullptr, nullptr, nullptr, nullptr) == SQLITE_OK;
        shape.realAsText.push_back(known && ConvertsTextToNumber(declared));
    }
    return &shapes_.emplace(std::string(head), std::move(shape)).first->second;
}

sqlite3_stmt* InsertCache::Bind(sqlite3* db, std::string_view sql) {
    Lexer lexer(sql, sql::Dialect::Sqlite);
    Token t = lexer.Next();
    if (!lexer.IsWord(t, "INSERT") || !lexer.IsWord(t = lexer.Next(), "INTO")) return nullptr;
    // The table: one or two name parts.
    std::vector<std::string> parts;
    for (t = lexer.Next();; t = lexer.Next()) {
        if (t.kind != TokenKind::Word && t.kind != TokenKind::QuotedName) return nullptr;
        parts.push_back(sql::UnquoteName(lexer.Text(t)));
        t = lexer.Next();
        if (!lexer.IsSymbol(t, '.')) break;
    }
    if (parts.size() > 2 || !lexer.IsSymbol(t, '(')) return nullptr;
    std::vector<std::string> columns;
    for (t = lexer.Next();; t = lexer.Next()) {
        if (t.kind != TokenKind::Word && t.kind != TokenKind::QuotedName) return nullptr;
        columns.push_back(sql::UnquoteName(lexer.Text(t)));
        t = lexer.Next();
        if (lexer.IsSymbol(t, ')')) break;
        if (!lexer.IsSymbol(t, ',')) return nullptr;
    }
    t = lexer.Next();
    if (!lexer.IsWord(t, "VALUES")) return nullptr;
    const std::string_view head = sql.substr(0, t.end);
    if (!lexer.IsSymbol(lexer.Next(), '(')) return nullptr;

    Shape* shape = ShapeOf(db, head, parts.size() == 2 ? parts[0] : std::string(), parts.back(), columns);
    if (!shape) return nullptr;
    sqlite3_stmt* stmt = shape->stmt.get();
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (texts_.size() < columns.size()) texts_.resize(columns.size());

    for (size_t i = 0; i < columns.size(); ++i) {
        const int index = static_cast<int>(i) + 1;
        t = lexer.Next();
        bool negative = false;
        if (lexer.IsSymbol(t, '-')) {
            negative = true;
            t = lexer.Next();
        }
        const std::string_view token = lexer.Text(t);
        if (!negative && lexer.IsWord(t, "NULL")) {
            sqlite3_bind_null(stmt, index);
        } else if (t.kind == TokenKind::Number && text::IsDigits(token) && token.size() <= kSafeDigits) {
            int64_t value = 0;
            std::from_chars(token.data(), token.data() + token.size(), value);
            sqlite3_bind_int64(stmt, index, negative ? -value : value);
        } else if (t.kind == TokenKind::Number && IsRealLiteral(token) && shape->realAsText[i]) {
            // The column's affinity converts this text with the function
            // the parser uses for the literal.
            std::string& text = texts_[i];
            text.assign(negative ? "-" : "");
            text.append(token);
            sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
        } else if (!negative && t.kind == TokenKind::String && token.size() >= 2 && token.front() == '\'') {
            std::string& text = texts_[i];
            text.clear();
            for (size_t k = 1; k + 1 < token.size(); ++k) {
                text += token[k];
                if (token[k] == '\'') ++k;  // a doubled quote stands for one
            }
            sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
        } else if (!negative && lexer.IsWord(t, "X")) {
            const Token bytes = lexer.Next();
            const std::string_view hex = lexer.Text(bytes);
            if (bytes.kind != TokenKind::String || bytes.begin != t.end || hex.size() < 2 || hex.front() != '\'' ||
                (hex.size() - 2) % 2 != 0)
                return nullptr;
            std::string& blob = texts_[i];
            blob.clear();
            for (size_t k = 1; k + 2 < hex.size(); k += 2) {
                const int high = text::HexDigitValue(hex[k]), low = text::HexDigitValue(hex[k + 1]);
                if (high < 0 || low < 0) return nullptr;
                blob += static_cast<char>(high * 16 + low);
            }
            sqlite3_bind_blob(stmt, index, blob.data(), static_cast<int>(blob.size()), SQLITE_STATIC);
        } else {
            return nullptr;
        }
        t = lexer.Next();
        if (!lexer.IsSymbol(t, i + 1 < columns.size() ? ',' : ')')) return nullptr;
    }
    // Only a terminator may follow.
    for (t = lexer.Next(); t.kind != TokenKind::End; t = lexer.Next())
        if (!lexer.IsSymbol(t, ';')) return nullptr;
    return stmt;
}

}  // namespace qarn::ado::sqlite
