#pragma once
// What an engine (SQLite, ODBC) offers the ADO-like objects above it.
// Engines raise AdoError; a provider failure carries its error records,
// which the Connection copies into its Errors collection.
//
// Engine objects are shared: a cursor keeps its engine connection alive, so
// whichever of them the caller drops first, the handles are released in the
// order the client library needs.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ado/AdoError.h"
#include "ado/Variant.h"

namespace qarn::ado {

// What the engine knows of one result column.
struct ColumnInfo {
    std::string name;
    int32_t type = 0;                   // ADO data type number
    int32_t attributes = 0;             // ADO field attribute bits
    int64_t definedSize = 0;            // declared size; 0 when unknown
    std::optional<bool> autoIncrement;  // missing when the engine cannot tell
    int32_t precision = 0;
    int32_t scale = 0;
    std::string typeName;  // the database's own name of the type, where the engine knows it
    // False when the database cannot read a value of this type back from
    // any text (PostgreSQL's pg_node_tree and pseudo-types): no script can
    // recreate it.
    bool textInput = true;
};

// One parameter of a call, as the engine binds it.
struct BoundParameter {
    std::string name;
    int32_t type = 0;
    int32_t direction = 1;
    int64_t size = 0;
    Variant value;
};

// An open result: columns known, rows fetched one at a time.
class EngineCursor {
public:
    virtual ~EngineCursor() = default;
    virtual const std::vector<ColumnInfo>& Columns() const = 0;
    // Fills `row` (one Variant per column) with the next row; false at the end.
    virtual bool Fetch(std::vector<Variant>& row) = 0;
    // Releases the statement early; Fetch afterwards returns false.
    virtual void Close() = 0;
};

// A cursor that runs `end` once, when its rows are exhausted, when it is
// closed or when it goes away: the end of the transaction a read-only
// query runs in.  `end` must not raise.
class CursorWithEnd : public EngineCursor {
public:
    CursorWithEnd(std::unique_ptr<EngineCursor> inner, std::function<void()> end)
        : inner_(std::move(inner)), end_(std::move(end)) {}
    ~CursorWithEnd() override { End(); }
    const std::vector<ColumnInfo>& Columns() const override { return inner_->Columns(); }
    bool Fetch(std::vector<Variant>& row) override;
    void Close() override;

private:
    void End() noexcept;
    std::unique_ptr<EngineCursor> inner_;
    std::function<void()> end_;
};

struct ExecuteResult {
    std::unique_ptr<EngineCursor> cursor;  // null when the statement returned no rows
    int64_t rowsAffected = -1;             // -1 when the engine cannot tell
};

// Statements run one after another as fast as the engine allows (a replay
// of a script inside one transaction).  An engine may queue statements and
// send them together, so a failure may surface only when a later statement
// is added or at Finish.  The first failure stops the run and is raised as
// ReplayError naming the tag of the statement that failed; nothing after it
// runs.  Each text is what SQLRunProcNoRs would run: it may hold several
// statements.
class EngineReplay {
public:
    virtual ~EngineReplay() = default;
    virtual void Add(std::string_view sql, uint64_t tag) = 0;
    // Waits for every statement added; raises the first failure.
    virtual void Finish() = 0;
};

// The failure of one statement of a replay.
class ReplayError : public AdoError {
public:
    ReplayError(const AdoError& e, uint64_t tag) : AdoError(e), tag_(tag) {}
    uint64_t Tag() const { return tag_; }

private:
    uint64_t tag_;
};

// Runs one step of a replay: a failure in it becomes the ReplayError of the
// text tagged `tag`, unless it already names its own text.
template <class Step>
void RunTagged(uint64_t tag, Step&& step) {
    try {
        step();
    } catch (const ReplayError&) {
        throw;
    } catch (const AdoError& e) {
        throw ReplayError(e, tag);
    }
}

class EngineConnection {
public:
    virtual ~EngineConnection() = default;

    // Runs SQL text.  `timeoutSeconds` < 0 leaves the engine's default.
    virtual ExecuteResult Execute(const std::string& sql, int32_t timeoutSeconds) = 0;
    // Runs a whole script in one call: for engines that accept one statement
    // per call, every statement in order, stopping at the first failure.
    virtual int64_t ExecuteBatch(const std::string& sql, int32_t timeoutSeconds) = 0;

    // A stored procedure's parameters, the return value first; raises a
    // provider error where the engine has no procedures.
    virtual std::vector<BoundParameter> ProcedureParameters(const std::string& procName) = 0;
    // Calls a procedure; output and return values are written back into `params`.
    virtual ExecuteResult CallProcedure(const std::string& procName, std::vector<BoundParameter>& params,
                                        int32_t timeoutSeconds) = 0;

    // Runs one statement that must not change the database (Generate's
    // SELECT).  SQLite refuses a statement that would write before it runs;
    // PostgreSQL and MariaDB run it inside a read-only transaction that is
    // rolled back when the cursor is exhausted, closed or destroyed.
    // Engines that have neither run it as Execute does.
    virtual ExecuteResult ExecuteReadOnly(const std::string& sql, int32_t timeoutSeconds) = 0;

    // Whether a transaction is open on the connection, begun by BeginTrans
    // or by SQL text such as BEGIN; false where the engine cannot tell.
    virtual bool TransactionOpen() = 0;

    // A replay of statements; see EngineReplay.  The default runs each
    // statement at once with ExecuteBatch.
    virtual std::unique_ptr<EngineReplay> BeginReplay(int32_t timeoutSeconds);

    // The files the connection reads and writes (an SQLite database and the
    // ones attached to it, an Access file), so nothing is written over them;
    // empty for a server.
    virtual std::vector<std::string> DatabaseFiles() { return {}; }

    virtual void BeginTrans() = 0;
    virtual void CommitTrans() = 0;
    virtual void RollbackTrans() = 0;

    // The database product behind the connection ("SQLite", "PostgreSQL",
    // "MySQL", "Microsoft SQL Server", "ACCESS", ...).
    virtual std::string DbmsName() const = 0;

    virtual void Close() = 0;
};

}  // namespace qarn::ado
