#pragma once
// The lines of a generated script: the head lines (emptying the table,
// identity values switched on), the INSERT statements, and the tail lines
// (identity values switched off, sequences moved past the values written).
// Each statement is one line.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ado/Recordset.h"
#include "logic/SelectAnalysis.h"
#include "logic/TableFacts.h"

namespace qarn::control {

// What a row whose key is already in the table does on replay.
enum class OnDuplicate { Fail, Skip, Update };

struct ScriptOptions {
    bool truncateTable = false;
    bool includeIdent = false;
    bool terminate = false;         // end every statement with ";"
    int32_t rowsPerInsert = 1;      // rows in one INSERT, where the dialect has such INSERTs
    std::optional<Dialect> target;  // the dialect written; the one read when empty
    OnDuplicate onDuplicate = OnDuplicate::Fail;
};

// Why the options cannot make a script for `target`; empty when they can.
// What needs the table's key is checked when the script starts.
std::string CheckScriptOptions(const ScriptOptions& options, Dialect target);

using LineSink = std::function<void(std::string_view)>;

class ScriptWriter {
public:
    // Chooses the columns from the recordset's fields: row versions and
    // other values no literal can hold, computed columns, and identity
    // columns unless they are included, are left out.  Raises ado::AdoError
    // when no column is left, a column cannot be scripted, or the table has
    // no primary key where the options need one.
    ScriptWriter(const ado::Recordset& rs, TableName table, Dialect source, const TableFacts& facts,
                 ScriptOptions options);

    void WriteHead(const LineSink& sink);
    // The current row of the recordset.  A value the target dialect has no
    // literal for fails, naming the row and the column.
    void WriteRow(const ado::Recordset& rs, const LineSink& sink);
    void WriteTail(const LineSink& sink);

    Dialect Target() const { return target_; }
    // What the INSERT statements begin with: "INSERT INTO " + the table.
    std::string InsertHead() const { return "INSERT INTO " + table_; }
    // What every INSERT ends with: the duplicates clause and the terminator.
    std::string InsertTail() const { return suffix_ + (options_.terminate ? ";" : ""); }
    // The columns written, by name, and their ADO types.
    const std::vector<std::string>& ColumnNames() const { return names_; }
    const std::vector<int32_t>& ColumnTypes() const { return types_; }

private:
    void Statement(const LineSink& sink, std::string text) const;
    void Flush(const LineSink& sink);
    std::string DuplicateClause(const ado::Recordset& rs, const TableFacts& facts) const;

    std::string table_;  // as written into the script
    Dialect target_;
    ScriptOptions options_;
    std::vector<size_t> columns_;  // fields written, in order
    std::vector<char> booleans_;   // per column written: a number that stands for TRUE or FALSE
    std::vector<std::string> names_;
    std::vector<int32_t> types_;
    std::vector<std::string> identities_;  // identity columns written (their names)
    bool identitySeen_ = false;
    std::string prefix_;     // "INSERT INTO t(...) VALUES"
    std::string suffix_;     // what follows the rows (duplicates clause)
    std::string statement_;  // the INSERT being built, reused
    std::string row_;        // one row's values, reused
    int32_t pendingRows_ = 0;
    uint64_t rowNumber_ = 0;
};

}  // namespace qarn::control
