// The SQLite engine, on libsqlite3 directly.
//
// Opening: the path names an existing database file; it is opened read-write
// (read-only when the file is write-protected) and never created.  The path
// is always a plain file name, never a "file:" URI.  ":memory:" opens a new
// memory database.  A missing path, a folder, or a file SQLite cannot read as
// a database fails at once with a provider error naming the path.  (An empty
// file is, to SQLite, an empty database and opens.)  Every connection waits
// up to kBusyTimeoutMs for a lock held by another process, then fails with
// SQLite's "database is locked".
//
// Execute runs exactly ONE statement: text other than blanks, comments and
// semicolons after the first statement fails before anything runs ("only one
// statement per command; use complete-script mode"); ExecuteBatch runs
// scripts.  A statement with result columns returns a cursor that steps once
// per Fetch, so rows stream and a failure on row N surfaces at fetch N.  A
// statement without columns is stepped to completion; rowsAffected is the
// number of rows it inserted, updated or deleted itself (not by triggers),
// 0 for other statements.
//
// Values come out as stored: the storage class of each value, never the
// declared type, decides the Variant kind.
//
// Timeouts: SQLite has no statement timeout, so a positive timeoutSeconds
// becomes a deadline for each sqlite3_step done for the command (each
// statement of a batch, each Fetch of a cursor), enforced by a progress
// handler that interrupts the statement.  0 or less: no deadline.
//
// Errors: every SQLite failure is a provider error with one record,
// Number = the extended result code, Description = sqlite3_errmsg.  Our own
// refusals (blank command, several statements, no procedures) are provider
// errors with SQLITE_ERROR.
//
// Lifetime: the database handle lives in a Session shared by the connection
// and its cursors.  Close() finalizes every open cursor's statement and closes
// the handle; a cursor outliving its connection object keeps the session
// alive, so the order in which the caller drops them never matters.

#include "sqlite/SqliteEngine.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <vector>

#include "ado/AdoError.h"
#include "ado/DataTypes.h"
#include "sqlite/SqliteHandles.h"
#include "sqlite/SqliteInsertCache.h"
#include "sqlite/SqliteTypeMap.h"

namespace qarn::ado {
namespace {

using sqlite::DbHandle;
using sqlite::StmtHandle;
namespace fs = std::filesystem;

constexpr int kBusyTimeoutMs = 5000;
constexpr int kProgressOps = 1000;  // VM instructions between deadline checks

[[noreturn]] void Raise(int code, std::string description) {
    throw ProviderError({ErrorRecord{code, std::move(description), {}}});
}

class SqliteCursor;

// The database handle and what the connection's cursors share.
class Session {
public:
    Session(DbHandle db, std::string path) : db_(std::move(db)), path_(std::move(path)) {}
    ~Session() { Close(); }

    sqlite3* Db() const { return db_.get(); }
    bool IsOpen() const { return db_ != nullptr; }
    const std::string& Path() const { return path_; }

    void Register(SqliteCursor* c) { cursors_.push_back(c); }
    void Unregister(SqliteCursor* c) noexcept {
        cursors_.erase(std::remove(cursors_.begin(), cursors_.end(), c), cursors_.end());
    }
    void Close() noexcept;

    // The error SQLite reports for the last failed call, as a provider error.
    [[noreturn]] void RaiseLast() const {
        sqlite3* db = db_.get();
        int code = sqlite3_extended_errcode(db);
        std::string text = sqlite3_errmsg(db);
        if ((code & 0xff) == SQLITE_INTERRUPT && expired_)
            text += " (the command timeout of " + std::to_string(timeoutSeconds_) + " seconds expired)";
        Raise(code, std::move(text));
    }

    // Runs `step` under the command's deadline (none when timeoutSeconds <= 0).
    int Step(sqlite3_stmt* stmt, int32_t timeoutSeconds) {
        expired_ = false;
        if (timeoutSeconds <= 0) return sqlite3_step(stmt);
        timeoutSeconds_ = timeoutSeconds;
        deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
        sqlite3_progress_handler(db_.get(), kProgressOps, &Session::Progress, this);
        int rc = sqlite3_step(stmt);
        sqlite3_progress_handler(db_.get(), 0, nullptr, nullptr);
        return rc;
    }

private:
    static int Progress(void* self) {
        auto* s = static_cast<Session*>(self);
        if (std::chrono::steady_clock::now() < s->deadline_) return 0;
        s->expired_ = true;
        return 1;
    }

    DbHandle db_;
    std::string path_;
    std::vector<SqliteCursor*> cursors_;
    std::chrono::steady_clock::time_point deadline_{};
    int32_t timeoutSeconds_ = 0;
    bool expired_ = false;
};

class SqliteCursor : public EngineCursor {
public:
    SqliteCursor(std::shared_ptr<Session> session, StmtHandle stmt, std::vector<ColumnInfo> columns,
                 int32_t timeoutSeconds)
        : session_(std::move(session)),
          stmt_(std::move(stmt)),
          columns_(std::move(columns)),
          timeoutSeconds_(timeoutSeconds) {
        session_->Register(this);
    }
    ~SqliteCursor() override {
        stmt_.reset();
        session_->Unregister(this);
    }

    const std::vector<ColumnInfo>& Columns() const override { return columns_; }

    bool Fetch(std::vector<Variant>& row) override {
        if (failure_) std::rethrow_exception(failure_);
        if (!stmt_) {
            if (connectionClosed_) throw AdoError(err::ObjectClosed);
            return false;
        }
        sqlite3_stmt* stmt = stmt_.get();
        int rc = session_->Step(stmt, timeoutSeconds_);
        if (rc == SQLITE_DONE) {
            stmt_.reset();  // releases the read lock at once
            return false;
        }
        if (rc != SQLITE_ROW) Fail();
        const int n = static_cast<int>(columns_.size());
        if (row.size() != columns_.size()) row.resize(columns_.size());
        for (int i = 0; i < n; ++i) {
            Variant& v = row[static_cast<size_t>(i)];
            switch (sqlite3_column_type(stmt, i)) {
                case SQLITE_INTEGER: v.SetInt(sqlite3_column_int64(stmt, i)); break;
                case SQLITE_FLOAT: v.SetDouble(sqlite3_column_double(stmt, i)); break;
                case SQLITE_TEXT: {
                    const unsigned char* p = sqlite3_column_text(stmt, i);
                    int len = sqlite3_column_bytes(stmt, i);
                    if (!p) OutOfMemoryCheck();
                    v.SetText(p ? std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(len))
                                : std::string_view());
                    break;
                }
                case SQLITE_BLOB: {
                    const void* p = sqlite3_column_blob(stmt, i);
                    int len = sqlite3_column_bytes(stmt, i);
                    if (!p) OutOfMemoryCheck();  // a zero-length blob also gives NULL
                    v.SetBinary(p && len > 0 ? std::string_view(static_cast<const char*>(p), static_cast<size_t>(len))
                                             : std::string_view());
                    break;
                }
                default: v.SetNull(); break;
            }
        }
        return true;
    }

    void Close() override { stmt_.reset(); }

    // The connection is closing: finalize now; later fetches raise.
    void Detach() noexcept {
        if (stmt_) connectionClosed_ = true;
        stmt_.reset();
    }

private:
    void OutOfMemoryCheck() {
        if (sqlite3_errcode(session_->Db()) == SQLITE_NOMEM) Fail();
    }
    // Records the failure (a later Fetch raises it again rather than letting
    // SQLite restart the statement), releases the statement and raises.
    [[noreturn]] void Fail() {
        try {
            session_->RaiseLast();
        } catch (...) {
            failure_ = std::current_exception();
        }
        stmt_.reset();
        std::rethrow_exception(failure_);
    }

    std::shared_ptr<Session> session_;  // declared first: outlives the statement
    StmtHandle stmt_;
    std::vector<ColumnInfo> columns_;
    int32_t timeoutSeconds_;
    bool connectionClosed_ = false;
    std::exception_ptr failure_;
};

void Session::Close() noexcept {
    // Statements first, then the handle.  A detached cursor stays registered
    // until it is destroyed.
    for (SqliteCursor* c : cursors_) c->Detach();
    db_.reset();
}

bool EqualsNoCase(const char* a, std::string_view b) {
    if (!a) return false;
    size_t i = 0;
    for (; a[i] && i < b.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return a[i] == '\0' && i == b.size();
}

// Whether the text holds nothing SQLite would run: blanks, comments, semicolons.
bool OnlyBlank(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        char c = s[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' || c == ';') {
            ++i;
        } else if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
            size_t nl = s.find('\n', i);
            i = nl == std::string_view::npos ? s.size() : nl + 1;
        } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
            size_t end = s.find("*/", i + 2);
            i = end == std::string_view::npos ? s.size() : end + 2;
        } else {
            return false;
        }
    }
    return true;
}

class SqliteConnection : public EngineConnection {
public:
    explicit SqliteConnection(std::shared_ptr<Session> session) : session_(std::move(session)) {}

    ExecuteResult Execute(const std::string& sql, int32_t timeoutSeconds) override {
        return Run(PrepareOne(sql), timeoutSeconds);
    }

    ExecuteResult ExecuteReadOnly(const std::string& sql, int32_t timeoutSeconds) override {
        StmtHandle stmt = PrepareOne(sql);
        if (!sqlite3_stmt_readonly(stmt.get()))
            Raise(SQLITE_READONLY, "the statement would change the database; only a statement that reads is run here");
        return Run(std::move(stmt), timeoutSeconds);
    }

    bool TransactionOpen() override { return sqlite3_get_autocommit(RequireOpen()) == 0; }

    std::vector<std::string> DatabaseFiles() override {
        sqlite3* db = RequireOpen();
        std::vector<std::string> files;
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT file FROM pragma_database_list", -1, &raw, nullptr) != SQLITE_OK)
            session_->RaiseLast();
        StmtHandle stmt(raw);
        while (sqlite3_step(raw) == SQLITE_ROW) {
            const unsigned char* file = sqlite3_column_text(raw, 0);
            if (file && *file) files.emplace_back(reinterpret_cast<const char*>(file));
        }
        return files;
    }

    int64_t ExecuteBatch(const std::string& sql, int32_t timeoutSeconds) override {
        sqlite3* db = RequireOpen();
        CheckText(sql);
        const char* p = sql.data();
        const char* end = p + sql.size();
        int64_t total = 0;
        while (p < end) {
            sqlite3_stmt* raw = nullptr;
            const char* tail = nullptr;
            int rc = sqlite3_prepare_v2(db, p, static_cast<int>(end - p), &raw, &tail);
            StmtHandle stmt(raw);
            if (rc != SQLITE_OK) session_->RaiseLast();
            if (!tail || tail <= p) {  // nothing consumed: only blanks were left
                if (stmt) total += RunToEnd(stmt.get(), timeoutSeconds);
                break;
            }
            p = tail;
            if (stmt) total += RunToEnd(stmt.get(), timeoutSeconds);
        }
        return total;
    }

    std::vector<BoundParameter> ProcedureParameters(const std::string& procName) override {
        RequireOpen();
        Raise(SQLITE_ERROR, "SQLite has no stored procedures: " + procName);
    }
    ExecuteResult CallProcedure(const std::string& procName, std::vector<BoundParameter>&, int32_t) override {
        RequireOpen();
        Raise(SQLITE_ERROR, "SQLite has no stored procedures: " + procName);
    }

    std::unique_ptr<EngineReplay> BeginReplay(int32_t timeoutSeconds) override;

    void BeginTrans() override { Simple("BEGIN"); }
    void CommitTrans() override { Simple("COMMIT"); }
    void RollbackTrans() override { Simple("ROLLBACK"); }

    std::string DbmsName() const override { return "SQLite"; }

    void Close() override { session_->Close(); }

    // For the replay, which runs what the insert cache cannot bind as text.
    Session& SessionOf() { return *session_; }

    sqlite3* RequireOpen() const {
        if (!session_->IsOpen()) throw AdoError(err::InvalidConnection);
        return session_->Db();
    }

private:
    // Exactly one statement: text other than blanks, comments and semicolons
    // after it fails before anything runs.
    StmtHandle PrepareOne(const std::string& sql) {
        sqlite3* db = RequireOpen();
        CheckText(sql);
        if (OnlyBlank(sql)) Raise(SQLITE_ERROR, "the command text holds no SQL statement");
        sqlite3_stmt* raw = nullptr;
        const char* tail = nullptr;
        int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &raw, &tail);
        StmtHandle stmt(raw);
        if (rc != SQLITE_OK) session_->RaiseLast();
        if (!stmt) Raise(SQLITE_ERROR, "the command text holds no SQL statement");
        if (tail && !OnlyBlank(std::string_view(tail, static_cast<size_t>(sql.data() + sql.size() - tail))))
            Raise(SQLITE_ERROR, "only one statement per command; use complete-script mode");
        return stmt;
    }

    // A statement with columns becomes a cursor; any other runs to its end.
    ExecuteResult Run(StmtHandle stmt, int32_t timeoutSeconds) {
        ExecuteResult result;
        if (sqlite3_column_count(stmt.get()) > 0) {
            std::vector<ColumnInfo> columns = DescribeColumns(stmt.get());
            result.cursor =
                std::make_unique<SqliteCursor>(session_, std::move(stmt), std::move(columns), timeoutSeconds);
            return result;
        }
        result.rowsAffected = RunToEnd(stmt.get(), timeoutSeconds);
        return result;
    }

    static void CheckText(const std::string& sql) {
        if (sql.size() > static_cast<size_t>(INT_MAX)) Raise(SQLITE_TOOBIG, "the SQL text is too long for SQLite");
        size_t nul = sql.find('\0');
        if (nul != std::string::npos)
            Raise(SQLITE_ERROR, "the SQL text holds a NUL character at offset " + std::to_string(nul));
    }

    // Steps a statement to its end; the rows it changed itself.
    int64_t RunToEnd(sqlite3_stmt* stmt, int32_t timeoutSeconds) {
        sqlite3* db = session_->Db();
        const int64_t before = sqlite3_total_changes64(db);
        int rc;
        while ((rc = session_->Step(stmt, timeoutSeconds)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE) session_->RaiseLast();
        // sqlite3_changes64 keeps the count of the last INSERT/UPDATE/DELETE
        // when another kind of statement runs; only a statement that changed
        // rows (total_changes moved) is such a statement.
        return sqlite3_total_changes64(db) != before ? sqlite3_changes64(db) : 0;
    }

    void Simple(const char* sql) {
        sqlite3* db = RequireOpen();
        sqlite3_stmt* raw = nullptr;
        int rc = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
        StmtHandle stmt(raw);
        if (rc != SQLITE_OK) session_->RaiseLast();
        RunToEnd(stmt.get(), -1);
    }

    std::vector<ColumnInfo> DescribeColumns(sqlite3_stmt* stmt) {
        const int n = sqlite3_column_count(stmt);
        std::vector<ColumnInfo> columns(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            ColumnInfo& c = columns[static_cast<size_t>(i)];
            const char* name = sqlite3_column_name(stmt, i);
            c.name = name ? name : "";
            const char* decl = sqlite3_column_decltype(stmt, i);
            sqlite::MappedType t = sqlite::MapDeclaredType(decl ? decl : "");
            c.type = t.type;
            c.attributes = t.attributes;
            c.definedSize = t.definedSize;
            c.precision = t.precision;
            c.scale = t.scale;

            const char* schema = sqlite3_column_database_name(stmt, i);
            const char* table = sqlite3_column_table_name(stmt, i);
            const char* origin = sqlite3_column_origin_name(stmt, i);
            if (!schema || !table || !origin) continue;  // an expression: autoIncrement unknown
            const char* declared = nullptr;
            int notNull = 0, primaryKey = 0, autoinc = 0;
            if (sqlite3_table_column_metadata(session_->Db(), schema, table, origin, &declared, nullptr, &notNull,
                                              &primaryKey, &autoinc) != SQLITE_OK)
                continue;
            bool rowidAlias = autoinc != 0 || IsTrueRowid(schema, table, origin) ||
                              (primaryKey && EqualsNoCase(declared, "INTEGER") && IsRowidAlias(schema, table));
            c.autoIncrement = rowidAlias;
            // The rowid never reads as NULL (a NULL written to it becomes a new rowid).
            if (!notNull && !rowidAlias) c.attributes |= adFldMayBeNull | adFldIsNullable;
        }
        return columns;
    }

    // Whether the column is the table's own rowid (a table without an
    // INTEGER PRIMARY KEY, "SELECT rowid FROM t"): SQLite names its origin
    // "rowid"; a declared column of that name hides the rowid.
    bool IsTrueRowid(const char* schema, const char* table, const char* origin) {
        if (!EqualsNoCase(origin, "ROWID") && !EqualsNoCase(origin, "OID") && !EqualsNoCase(origin, "_ROWID_"))
            return false;
        return !HasRow("SELECT 1 FROM pragma_table_info(?1, ?2) WHERE name = ?3 COLLATE NOCASE", table, schema, origin);
    }

    // For an INTEGER column in the primary key of `table`: it is the rowid
    // alias unless SQLite keeps the key in an index of its own, which it
    // does for WITHOUT ROWID tables, composite keys and "INTEGER PRIMARY KEY
    // DESC" column constraints.
    bool IsRowidAlias(const char* schema, const char* table) {
        return !HasRow("SELECT 1 FROM pragma_index_list(?1, ?2) WHERE origin = 'pk'", table, schema, nullptr);
    }

    // Whether a catalog query returns a row.  A query that fails counts as
    // returning one, so that doubt never reports a column as the rowid.
    bool HasRow(const char* sql, const char* a, const char* b, const char* c) {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(session_->Db(), sql, -1, &raw, nullptr) != SQLITE_OK) return true;
        StmtHandle stmt(raw);
        sqlite3_bind_text(raw, 1, a, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(raw, 2, b, -1, SQLITE_TRANSIENT);
        if (c) sqlite3_bind_text(raw, 3, c, -1, SQLITE_TRANSIENT);
        return sqlite3_step(raw) != SQLITE_DONE;
    }

    std::shared_ptr<Session> session_;
};

// A replay that runs a script's INSERT lines through the insert cache, the
// rest as texts of their own.
class SqliteReplay : public EngineReplay {
public:
    SqliteReplay(SqliteConnection& connection, int32_t timeoutSeconds)
        : connection_(connection), timeoutSeconds_(timeoutSeconds) {}

    void Add(std::string_view sql, uint64_t tag) override {
        RunTagged(tag, [&] {
            sqlite3* db = connection_.RequireOpen();
            if (sqlite3_stmt* stmt = cache_.Bind(db, sql)) {
                struct Reset {
                    sqlite3_stmt* stmt;
                    ~Reset() { sqlite3_reset(stmt); }
                } reset{stmt};
                const int rc = connection_.SessionOf().Step(stmt, timeoutSeconds_);
                if (rc != SQLITE_DONE && rc != SQLITE_ROW) connection_.SessionOf().RaiseLast();
                return;
            }
            // Whatever else runs may change the tables the cache knows.
            cache_.Clear();
            connection_.ExecuteBatch(std::string(sql), timeoutSeconds_);
        });
    }
    void Finish() override {}

private:
    SqliteConnection& connection_;
    int32_t timeoutSeconds_;
    sqlite::InsertCache cache_;
};

std::unique_ptr<EngineReplay> SqliteConnection::BeginReplay(int32_t timeoutSeconds) {
    return std::make_unique<SqliteReplay>(*this, timeoutSeconds);
}

[[noreturn]] void OpenFailure(sqlite3* db, int rc, const std::string& what, const std::string& path) {
    int code = db ? sqlite3_extended_errcode(db) : rc;
    if (code == SQLITE_OK) code = rc;
    std::string detail = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    Raise(code, what + ": " + path + " (" + detail + ")");
}

}  // namespace

std::shared_ptr<EngineConnection> OpenSqlite(const std::string& path) {
    // SQLite counts its memory under a lock on every allocation unless told
    // not to; nothing here reads those counts.  (Too late once SQLite has
    // started in this process: then it keeps counting, which only costs time.)
    static std::once_flag configured;
    std::call_once(configured, [] { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); });
    const bool memory = path == ":memory:";
    std::string fileName = path;
    if (!memory) {
        if (path.empty()) Raise(SQLITE_CANTOPEN, "no SQLite database file was named");
        if (path.find('\0') != std::string::npos)
            Raise(SQLITE_CANTOPEN, "the SQLite database path holds a NUL character: " + path);
        std::error_code ec;
        fs::file_status st = fs::status(path, ec);
        if (st.type() == fs::file_type::not_found) Raise(SQLITE_CANTOPEN, "SQLite database file not found: " + path);
        if (ec) Raise(SQLITE_CANTOPEN, "cannot reach SQLite database file: " + path + " (" + ec.message() + ")");
        if (st.type() == fs::file_type::directory)
            Raise(SQLITE_CANTOPEN, "not a SQLite database file but a folder: " + path);
        // Never let a path be read as a URI ("file:...?mode=rwc" could create).
        if (fileName.compare(0, 5, "file:") == 0) fileName = "./" + fileName;
    }

    // A connection belongs to one thread's session: SQLite need not lock it
    // around every call, which would cost more than reading the values.
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (memory ? SQLITE_OPEN_CREATE : 0);
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(fileName.c_str(), &raw, flags, nullptr);
    DbHandle db(raw);
    if (rc != SQLITE_OK) OpenFailure(db.get(), rc, "cannot open SQLite database file", path);
    sqlite3_extended_result_codes(db.get(), 1);
    sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);

    // Opening reads nothing; reading the schema tells whether this is a database.
    sqlite3_stmt* check = nullptr;
    rc = sqlite3_prepare_v2(db.get(), "SELECT count(*) FROM sqlite_master", -1, &check, nullptr);
    StmtHandle checkStmt(check);
    if (rc == SQLITE_OK) rc = sqlite3_step(check);
    if (rc != SQLITE_ROW) {
        int code = sqlite3_extended_errcode(db.get());
        std::string what = (code & 0xff) == SQLITE_NOTADB ? "not a SQLite database"
                           : (code & 0xff) == SQLITE_BUSY ? "SQLite database is locked"
                                                          : "cannot read SQLite database";
        OpenFailure(db.get(), rc, what, path);
    }
    checkStmt.reset();
    return std::make_shared<SqliteConnection>(std::make_shared<Session>(std::move(db), path));
}

}  // namespace qarn::ado
