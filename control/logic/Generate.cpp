// Generating the INSERT script from a SELECT: one line per row, streamed.
#include <vector>

#include "ControlCore.h"
#include "SelectAnalysis.h"
#include "ValueRendering.h"
#include "ado/AdoError.h"
#include "basErrorHandlerADO.h"
#include "basSQLGenComp.h"

namespace qarn::control {

namespace {
// How each column of the result is treated, decided once from its metadata.
struct ScriptColumns {
    std::vector<size_t> written;  // indexes of the columns that go into the script
    bool identitySeen = false;
};

ScriptColumns ChooseColumns(const ado::Recordset& rs, bool includeIdent) {
    ScriptColumns c;
    for (size_t i = 0; i < rs.FieldCount(); ++i) {
        ado::Field f = rs.Fields(i);
        if (!IsSupportedField(f)) continue;
        if (!f.Info().textInput)
            throw ado::AdoError(5, "The column " + f.Name() + " of type " + f.TypeName() +
                                       " cannot be scripted: the database cannot read its values back from text");
        bool identity = IsAutoIncrementField(f);
        c.identitySeen = c.identitySeen || identity;
        if (includeIdent || !identity) c.written.push_back(i);
    }
    return c;
}

clsSQLADO& SessionWrapper() {
    // Without a session there is nothing to run the statement on.
    if (!gobjSQLADO) throw ado::AdoError(91, "Object variable or With block variable not set");
    return *gobjSQLADO;
}
}  // namespace

bool ControlCore::Generate(const std::string& OutputPathFileName, const std::string& SelectString,
                           bool TruncateTable) {
    mstrReturnMessage.clear();
    std::string failure;
    try {
        if (SelectString.empty()) return FinishRun("Please supply a SQL statement");
        std::string statement = SelectString, qualified, bare;
        if (!ParseTableName(statement, qualified, bare)) return FinishRun("Error in SQL statement");
        SetStatusText("Generating SQL Insert statements for script " + OutputPathFileName);
        std::string runText = BuildRunText(statement, qualified, bare);

        mstrFileName = OutputPathFileName;
        if (!CreateOutputFile()) return FinishRun("Unable to open the output file " + mstrFileName);

        clsSQLADO& sql = SessionWrapper();
        if (!sql.SQLSetText(runText) || !sql.SQLRunSQLWithRs()) return FinishRun("Error in SQL statement");
        std::shared_ptr<ado::Recordset> rs = sql.SQLrs();
        if (!rs) return FinishRun("Select statement has failed");
        if (rs->Eof() && rs->Bof()) return FinishRun("Select statement has not returned any rows");

        const int32_t kind = glngServerKind;
        const Dialect dialect = ChooseDialect(kind, gcnnDB ? gcnnDB->DbmsName() : std::string());
        ScriptColumns columns = ChooseColumns(*rs, mblnIncludeIdent);
        if (columns.written.empty())
            throw ado::AdoError(5, "None of the selected columns can be written as a value");

        // Everything before the values is the same on every line.
        std::string line = "INSERT INTO " + qualified + "(";
        for (size_t n = 0; n < columns.written.size(); ++n) {
            if (n) line += ", ";
            AppendFieldName(line, rs->Fields(columns.written[n]), dialect);
        }
        line += ") VALUES(";
        const size_t prefixLength = line.size();

        if (TruncateTable) {
            // Jet and SQLite have no TRUNCATE TABLE.
            bool deleteFrom = kind == 0 || dialect == Dialect::Jet || dialect == Dialect::Sqlite;
            WriteOutputLine((deleteFrom ? "DELETE FROM " : "TRUNCATE TABLE ") + qualified);
        }
        const bool identityLines =
            mblnIncludeIdent && columns.identitySeen && kind == skSqlServer && dialect == Dialect::SqlServer;
        if (identityLines) WriteOutputLine("SET IDENTITY_INSERT " + qualified + " ON");

        rs->MoveFirst();
        while (!rs->Eof()) {
            line.resize(prefixLength);
            for (size_t n = 0; n < columns.written.size(); ++n) {
                if (n) line += ", ";
                AppendFieldValue(line, rs->Fields(columns.written[n]), dialect);
            }
            line += ')';
            WriteOutputLine(line);
            rs->MoveNext();
        }
        rs.reset();
        if (identityLines) WriteOutputLine("SET IDENTITY_INSERT " + qualified + " OFF");
        // The script is complete only once it is safely on disk.
        if (mobjOutput) mobjOutput->Close();
        sql.SQLCloseRS();
        SetStatusText("Statements Generated");
    } catch (...) {
        ErrObject e = CurrentErr();
        failure = "Error generating statements: " + std::to_string(e.Number) + " " + e.Description;
    }
    return FinishRun(failure);
}

}  // namespace qarn::control
