#pragma once
// The lines of a generated script: the head lines (emptying the table,
// identity values switched on), one INSERT per row, and the tail lines
// (identity values switched off, sequences moved past the values written).

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ado/Recordset.h"
#include "logic/SelectAnalysis.h"
#include "logic/TableFacts.h"

namespace qarn::control {

struct ScriptOptions {
    bool truncateTable = false;
    bool includeIdent = false;
};

using LineSink = std::function<void(std::string_view)>;

class ScriptWriter {
public:
    // Chooses the columns from the recordset's fields: row versions and
    // other values no literal can hold, computed columns, and identity
    // columns unless they are included, are left out.  Raises ado::AdoError
    // when no column is left, or a column cannot be scripted.
    ScriptWriter(const ado::Recordset& rs, TableName table, Dialect dialect, int32_t serverKind,
                 const TableFacts& facts, ScriptOptions options);

    void WriteHead(const LineSink& sink);
    // The INSERT of the recordset's current row.
    void WriteRow(const ado::Recordset& rs, const LineSink& sink);
    void WriteTail(const LineSink& sink);

private:
    TableName table_;
    Dialect dialect_;
    int32_t serverKind_;
    ScriptOptions options_;
    std::vector<size_t> columns_;          // fields written, in order
    std::vector<std::string> identities_;  // identity columns written (their names)
    bool identitySeen_ = false;
    std::string line_;                     // reused for every row
    size_t prefixLength_ = 0;              // everything before the values
};

}  // namespace qarn::control
