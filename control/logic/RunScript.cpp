// Running a script file on the session's connection, line by line or whole.
#include "ControlCore.h"
#include "ado/AdoError.h"
#include "ado/Command.h"
#include "basErrorHandlerADO.h"
#include "basSQLGenComp.h"
#include "logic/TransactionStatements.h"
#include "logic/ValueRendering.h"

#include <deque>

namespace qarn::control {

namespace {

// Blank: nothing but spaces (tabs and line breaks count as content).
bool IsBlank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

// The first `count` characters of UTF-8 text, never cutting one in half.
std::string FirstCharacters(const std::string& text, size_t count) {
    size_t end = 0;
    for (size_t seen = 0; end < text.size() && seen < count; ++seen) {
        ++end;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    }
    return text.substr(0, end);
}

bool TransactionOpen() {
    try {
        return gcnnDB && gcnnDB->State() == ado::adStateOpen && gcnnDB->TransactionOpen();
    } catch (const ado::AdoError&) {
        return false;  // cannot tell: nothing to undo
    }
}

// A transaction the script began and did not end would be rolled back by
// the server when the connection closes, after the run reported success.
bool RollBackWhatTheScriptLeftOpen() {
    if (!TransactionOpen()) return false;
    try {
        auto command = ado::Command::Create();
        command->SetActiveConnection(gcnnDB);
        command->SetCommandText("ROLLBACK");
        command->ExecuteBatch();
    } catch (const ado::AdoError&) {
        // The connection's state says what is left; the run fails either way.
    }
    return true;
}

void RollBackQuietly() {
    try {
        if (gcnnDB) gcnnDB->RollbackTrans();
    } catch (const ado::AdoError&) {
        // The run has failed already; a connection that cannot roll back is closing anyway.
    }
}

// The statements a replay may still report a failure for: an engine that
// sends statements ahead reports one long after it was added.
class RecentLines {
public:
    void Add(uint64_t number, const std::string& text) {
        if (lines_.size() == kKept) lines_.pop_front();
        lines_.push_back({number, FirstCharacters(text, 200)});
    }
    std::string Context(uint64_t number) const {
        for (const Line& l : lines_)
            if (l.number == number) return "Line " + std::to_string(number) + ": " + l.text;
        return "Line " + std::to_string(number);
    }

private:
    static constexpr size_t kKept = 20000;
    struct Line {
        uint64_t number;
        std::string text;
    };
    std::deque<Line> lines_;
};

}  // namespace

std::string ControlCore::RunAsOneTransaction(int32_t RunMode) {
    if (!gobjSQLADO || !gcnnDB) throw ado::AdoError(91, "Object variable or With block variable not set");
    if (TransactionOpen())
        throw ado::AdoError(ado::err::IllegalOperation,
                            "A transaction is already open on the connection; the script cannot have one of its own");
    const Dialect dialect = ChooseDialect(glngServerKind, gcnnDB->DbmsName());
    if (!gobjSQLADO->BeginDBTransaction()) return "Error executing SQL statement";
    RecentLines recent;
    try {
        auto replay = gcnnDB->BeginReplay(-1);
        // False when the text may not run in the transaction (reported).
        auto add = [&](const std::string& text, uint64_t number) {
            if (std::string words = FindTransactionStatement(text, dialect); !words.empty()) {
                const ErrObject refusal{ado::err::IllegalOperation,
                                        "A script run as one transaction cannot hold its own transaction "
                                        "statements (" + words + ")"};
                HandleADOError("qarnSqlGenCntl!RunScript", nullptr,
                               "Line " + std::to_string(number) + ": " + FirstCharacters(text, 200), refusal);
                return false;
            }
            recent.Add(number, text);
            replay->Add(text, number);
            return true;
        };
        bool refused = false;
        if (RunMode != rmLineAtATime) {
            std::string text;
            while (!mobjInput->AtEndOfStream()) text += "\r\n" + ReadScriptLine();
            refused = !IsBlank(text) && !add(text, 1);
        } else {
            for (uint64_t number = 1; !refused && !mobjInput->AtEndOfStream(); ++number) {
                const std::string line = ReadScriptLine();
                refused = !IsBlank(line) && !add(line, number);
                Progress(static_cast<int64_t>(number), ShareRead());
            }
        }
        if (refused) {
            RollBackQuietly();
            return "Error executing SQL statement";
        }
        replay->Finish();
    } catch (const ado::ReplayError& e) {
        HandleADOError("clsSQLADO!SQLRunProcNoRs", gcnnDB.get(), recent.Context(e.Tag()), {e.Number(), e.Description()});
        RollBackQuietly();
        return "Error executing SQL statement";
    } catch (...) {
        RollBackQuietly();
        throw;
    }
    if (gobjSQLADO->CommitDBTrans()) return {};
    RollBackQuietly();
    return "Error executing SQL statement";
}

bool ControlCore::RunScript(const std::string& InputPathFileName, int32_t RunMode) {
    mstrReturnMessage.clear();
    mstrFileName = InputPathFileName;
    std::string failure;
    const bool openBefore = TransactionOpen();
    try {
        if (!OpenScriptFile()) return FinishRun("Unable to open the script file " + mstrFileName);
        SetStatusText("Processing script: " + mstrFileName);
        Progress(0, ShareRead(), true);
        if (singleTransaction_) {
            failure = RunAsOneTransaction(RunMode);
            Progress(progressCount_, ShareRead(), true);
            if (failure.empty()) SetStatusText("Script Processed: " + mstrFileName);
            return FinishRun(failure);
        }
        auto run = [&](const std::string& text) -> std::string {
            if (!gobjSQLADO) throw ado::AdoError(91, "Object variable or With block variable not set");
            if (!gobjSQLADO->SQLSetText(text)) return "Error in SQL statement";
            if (!gobjSQLADO->SQLRunProcNoRs()) return "Error executing SQL statement";
            return {};
        };
        if (RunMode != rmLineAtATime) {
            std::string text;
            while (!mobjInput->AtEndOfStream()) text += "\r\n" + ReadScriptLine();
            if (!IsBlank(text)) failure = run(text);
        } else {
            for (size_t number = 1; failure.empty() && !mobjInput->AtEndOfStream(); ++number) {
                std::string line = ReadScriptLine();
                Progress(static_cast<int64_t>(number), ShareRead());
                if (IsBlank(line)) continue;
                if (gobjSQLADO)
                    gobjSQLADO->SetReportContext("Line " + std::to_string(number) + ": " + FirstCharacters(line, 200));
                failure = run(line);
            }
            if (gobjSQLADO) gobjSQLADO->SetReportContext({});
        }
    } catch (...) {
        if (gobjSQLADO) gobjSQLADO->SetReportContext({});
        ErrObject e = CurrentErr();
        failure = "Error running script: " + mstrFileName + "\r\nError: " + std::to_string(e.Number) + " " +
                  e.Description;
    }
    // Also after a failure: the session must not stay inside the script's transaction.
    if (!openBefore && RollBackWhatTheScriptLeftOpen() && failure.empty())
        failure = "The script left a transaction open; it was rolled back";
    Progress(progressCount_, ShareRead(), true);
    if (failure.empty()) SetStatusText("Script Processed: " + mstrFileName);
    return FinishRun(failure);
}

}  // namespace qarn::control
