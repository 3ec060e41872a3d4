#include "mariadb/MariaDbReplay.h"

#include <algorithm>
#include <string>
#include <vector>

#include "mariadb/MariaDbCursor.h"
#include "mariadb/MariaDbSession.h"
#include "sql/SqlLexer.h"

namespace qarn::ado::mariadb {

namespace {

constexpr size_t kMaxStatements = 1000;
constexpr size_t kMaxBytes = 1 << 20;
// Joined statements are parted by a line break first, so that a line
// comment at the end of one ends there.
constexpr std::string_view kSeparator = "\n;\n";

class BatchReplay final : public EngineReplay {
public:
    BatchReplay(std::shared_ptr<Session> session, int32_t timeoutSeconds, size_t maxBytes)
        : session_(std::move(session)), timeoutSeconds_(timeoutSeconds), maxBytes_(maxBytes) {}

    void Add(std::string_view sql, uint64_t tag) override {
        bool backslashLiteral = (session_->ServerStatus() & SERVER_STATUS_NO_BACKSLASH_ESCAPES) != 0;
        std::string_view body;
        if (!JoinableStatement(sql, backslashLiteral, body) || body.size() + kSeparator.size() > maxBytes_) {
            Flush();
            RunAlone(sql, tag);
            return;
        }
        if (tags_.size() >= kMaxStatements || text_.size() + kSeparator.size() + body.size() > maxBytes_) Flush();
        if (!tags_.empty()) text_ += kSeparator;
        text_ += body;
        tags_.push_back(tag);
    }

    void Finish() override { Flush(); }

private:
    void RunAlone(std::string_view sql, uint64_t tag) {
        RunTagged(tag, [&] { session_->Run(sql, timeoutSeconds_); });
    }

    // Sends the batch; the n-th result is the n-th statement's.
    void Flush() {
        if (tags_.empty()) return;
        std::string text = std::move(text_);
        std::vector<uint64_t> tags = std::move(tags_);
        text_.clear();
        tags_.clear();
        size_t index = 0;
        try {
            session_->Send(text, timeoutSeconds_);
            MYSQL* mysql = session_->Handle();
            for (;;) {
                if (mysql_field_count(mysql) > 0) {
                    ResultHandle result(mysql_use_result(mysql));
                    if (!result) RaiseLast(mysql);
                    while (mysql_fetch_row(result.get())) {
                    }
                    if (mysql_errno(mysql) != 0) RaiseLast(mysql);
                }
                if (!mysql_more_results(mysql)) break;
                ++index;
                if (mysql_next_result(mysql) > 0) RaiseLast(mysql);
            }
        } catch (const AdoError& e) {
            throw ReplayError(e, tags[std::min(index, tags.size() - 1)]);
        }
        if (index + 1 != tags.size())
            throw ReplayError(ProviderError({{err::ProviderFailure,
                                              "The server answered " + std::to_string(index + 1) + " of " +
                                                  std::to_string(tags.size()) + " statements sent together",
                                              "HY000"}}),
                              tags[std::min(index + 1, tags.size() - 1)]);
    }

    std::shared_ptr<Session> session_;
    int32_t timeoutSeconds_;
    size_t maxBytes_;
    std::string text_;
    std::vector<uint64_t> tags_;
};

}  // namespace

bool JoinableStatement(std::string_view sql, bool backslashLiteral, std::string_view& body) {
    if (sql.find("/*!") != std::string_view::npos || sql.find("/*M!") != std::string_view::npos) return false;
    if (backslashLiteral && sql.find('\\') != std::string_view::npos) return false;
    sql::Lexer lexer(sql, sql::Dialect::MySql);
    sql::Token first = lexer.Next();
    if (first.kind == sql::TokenKind::End || first.kind == sql::TokenKind::Unterminated) return false;
    if (lexer.IsWord(first, "DELIMITER") || lexer.IsWord(first, "CALL") || lexer.IsWord(first, "EXECUTE")) return false;
    size_t end = sql.size();
    for (sql::Token t = first;; t = lexer.Next()) {
        if (t.kind == sql::TokenKind::End) break;
        if (t.kind == sql::TokenKind::Unterminated) return false;
        if (lexer.IsSymbol(t, ';')) {
            if (t.begin == first.begin || lexer.Next().kind != sql::TokenKind::End) return false;
            end = t.begin;
            break;
        }
    }
    body = sql.substr(0, end);
    return true;
}

std::unique_ptr<EngineReplay> MakeBatchReplay(std::shared_ptr<Session> session, int32_t timeoutSeconds) {
    // A quarter of what the server takes in one packet leaves room for any
    // statement's own growth in the server's character set.
    size_t maxBytes = kMaxBytes;
    session->Send("SELECT @@max_allowed_packet");
    int64_t ignored = 0;
    if (std::unique_ptr<Cursor> cursor = session->TakeResult(ignored)) {
        std::vector<Variant> row;
        if (cursor->Fetch(row) && row[0].Kind() == VarKind::Int && row[0].AsInt() > 0)
            maxBytes = std::min<size_t>(maxBytes, static_cast<size_t>(row[0].AsInt()) / 4);
        cursor->Close();
    }
    return std::make_unique<BatchReplay>(std::move(session), timeoutSeconds, maxBytes);
}

}  // namespace qarn::ado::mariadb
