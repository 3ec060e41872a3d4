#pragma once
// What an engine (SQLite, ODBC) offers the ADO-like objects above it.
// Engines raise AdoError; a provider failure carries its error records,
// which the Connection copies into its Errors collection.
//
// Engine objects are shared: a cursor keeps its engine connection alive, so
// whichever of them the caller drops first, the handles are released in the
// order the client library needs.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ado/Variant.h"

namespace qarn::ado {

// What the engine knows of one result column.
struct ColumnInfo {
    std::string name;
    int32_t type = 0;            // ADO data type number
    int32_t attributes = 0;      // ADO field attribute bits
    int64_t definedSize = 0;     // declared size; 0 when unknown
    std::optional<bool> autoIncrement;  // missing when the engine cannot tell
    int32_t precision = 0;
    int32_t scale = 0;
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

struct ExecuteResult {
    std::unique_ptr<EngineCursor> cursor;  // null when the statement returned no rows
    int64_t rowsAffected = -1;             // -1 when the engine cannot tell
};

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

    virtual void BeginTrans() = 0;
    virtual void CommitTrans() = 0;
    virtual void RollbackTrans() = 0;

    // The database product behind the connection ("SQLite", "PostgreSQL",
    // "MySQL", "Microsoft SQL Server", "ACCESS", ...).
    virtual std::string DbmsName() const = 0;

    virtual void Close() = 0;
};

}  // namespace qarn::ado
