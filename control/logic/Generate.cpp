// Generating the INSERT script from a SELECT: one line per row, streamed.
#include "ControlCore.h"
#include "ado/AdoError.h"
#include "basErrorHandlerADO.h"
#include "basSQLGenComp.h"
#include "logic/ScriptOutput.h"
#include "logic/ScriptProof.h"
#include "logic/ScriptWriter.h"
#include "logic/SelectAnalysis.h"
#include "logic/SessionFiles.h"
#include "logic/TableFacts.h"
#include "logic/ValueRendering.h"
#include "ui/UserInterface.h"

namespace qarn::control {

namespace {

clsSQLADO& SessionWrapper() {
    // Without a session there is nothing to run the statement on.
    if (!gobjSQLADO) throw ado::AdoError(91, "Object variable or With block variable not set");
    return *gobjSQLADO;
}

Dialect SessionDialect() {
    return ChooseDialect(glngServerKind, gcnnDB ? gcnnDB->DbmsName() : std::string());
}

// Why the script may not go to `path`: it would overwrite what is being
// read.  Empty when it may.
std::string OutputClash(const std::string& path) {
    switch (SessionFileAt(path)) {
        case SessionFile::Udl: return "it is the UDL file being read";
        case SessionFile::Database: return "it is the database being read";
        default: return {};
    }
}

// The statement with an ORDER BY on the table's primary key, or on every
// column when it has none, where the statement's own clauses allow one.
std::string WithOrderByKey(const std::string& statement, const SelectAnalysis& analysis, const TableFacts& facts,
                           Dialect dialect) {
    if (!facts.keysRead)
        throw ado::AdoError(5, "The columns of " + analysis.table.qualified +
                                   " cannot be read from the catalog: the rows cannot be put in key order");
    std::string order;
    for (const std::string& column : facts.primaryKey.empty() ? facts.columns : facts.primaryKey) {
        order += order.empty() ? " ORDER BY " : ", ";
        AppendQuotedName(order, column, dialect);
    }
    return statement.substr(0, analysis.orderByAt) + order + " " + statement.substr(analysis.orderByAt);
}

struct ReadCloser {
    std::shared_ptr<ado::Recordset> rs;
    ~ReadCloser() {
        try {
            rs->Close();
        } catch (...) {
            // The run's own failure is what the caller hears of.
        }
    }
};

// Shows why a statement is not run, as the library reports any failure.
void ReportRefusal(const std::string& reason) {
    const ErrObject refusal{ado::err::StatementRefused, "Only one statement that reads can be scripted"};
    HandleADOError("qarnSqlGenCntl!Generate", nullptr, reason, refusal);
}

}  // namespace

bool ControlCore::Generate(const std::string& OutputPathFileName, const std::string& SelectString, bool TruncateTable) {
    mstrReturnMessage.clear();
    std::string failure;
    try {
        if (SelectString.empty()) return FinishRun("Please supply a SQL statement");
        if (std::string clash = OutputClash(OutputPathFileName); !clash.empty())
            return FinishRun("Unable to open the output file " + OutputPathFileName + ": " + clash);
        const Dialect dialect = SessionDialect();
        const SelectAnalysis statement = AnalyseSelect(SelectString, dialect);
        switch (statement.verdict) {
            case SelectAnalysis::Verdict::Table: break;
            case SelectAnalysis::Verdict::NoFrom:
                CurrentUserInterface().MessageBox("No FROM clause in the select statement", MsgIcon::Exclamation,
                                                  "qarnSqlGenComp", MsgButtons::Ok);
                return FinishRun("Error in SQL statement");
            case SelectAnalysis::Verdict::FromAtEnd: return FinishRun("Error in SQL statement");
            case SelectAnalysis::Verdict::Refused:
                ReportRefusal(statement.reason);
                return FinishRun("Error in SQL statement");
        }
        if (std::string wrong = CheckScriptOptions(scriptOptions_, scriptOptions_.target.value_or(dialect));
            !wrong.empty())
            return FinishRun(wrong);
        SetStatusText("Generating SQL Insert statements for script " + OutputPathFileName);

        mstrFileName = OutputPathFileName;
        if (!CreateOutputFile()) return FinishRun("Unable to open the output file " + mstrFileName);

        clsSQLADO& sql = SessionWrapper();
        // The catalog is read before the rows: some servers take nothing
        // else while a result streams.
        const bool ordered = orderByKey_ && !statement.hasOrderBy;
        const bool withKeys = ordered || scriptOptions_.onDuplicate != OnDuplicate::Fail;
        const bool converting = scriptOptions_.target && *scriptOptions_.target != dialect;
        const TableFacts facts =
            gcnnDB ? ReadTableFacts(*gcnnDB, dialect, statement.table, withKeys, converting) : TableFacts{};
        // The statement runs as the user typed it, the order added when asked for.
        std::string runText = SelectString;
        if (ordered) runText = WithOrderByKey(SelectString, statement, facts, dialect);
        if (!sql.SQLSetText(runText) || !sql.SQLRunSQLWithRs(true)) return FinishRun("Error in SQL statement");
        std::shared_ptr<ado::Recordset> rs = sql.SQLrs();
        if (!rs) return FinishRun("Select statement has failed");
        // However the run ends, the read ends with it: its read-only
        // transaction must not outlive the run.
        const ReadCloser closer{rs};
        if (rs->Eof() && rs->Bof()) return FinishRun("Select statement has not returned any rows");

        ScriptOptions options = scriptOptions_;
        options.truncateTable = TruncateTable;
        options.includeIdent = mblnIncludeIdent;
        ScriptWriter writer(*rs, statement.table, dialect, facts, options);
        const LineSink sink = [this](std::string_view line) { WriteOutputLine(line); };
        writer.WriteHead(sink);
        rs->MoveFirst();
        Progress(0, -1, true);
        for (int64_t rows = 1; !rs->Eof(); ++rows) {
            writer.WriteRow(*rs, sink);
            // The clock is read every few rows only.
            if ((rows & 255) == 0) Progress(rows, -1);
            rs->MoveNext();
            if (rs->Eof()) Progress(rows, -1, true);
        }
        rs.reset();
        writer.WriteTail(sink);
        sql.SQLCloseRS();
        if (verify_) {
            output_->Finish();
            if (!gcnnDB) throw ado::AdoError(91, "Object variable or With block variable not set");
            if (std::string verdict = ProveScript(*gcnnDB, dialect, runText, output_->WrittenPath(), writer);
                !verdict.empty())
                return FinishRun(verdict);
        }
        // The script is at its path only once it is whole.
        output_->Commit();
        SetStatusText("Statements Generated");
    } catch (...) {
        ErrObject e = CurrentErr();
        failure = "Error generating statements: " + std::to_string(e.Number) + " " + e.Description;
    }
    return FinishRun(failure);
}

}  // namespace qarn::control
