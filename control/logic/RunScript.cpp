// Running a script file on the session's connection: line by line, whole,
// or statement by statement as the database's own client would cut it.
#include "ControlCore.h"
#include "ado/AdoError.h"
#include "ado/Command.h"
#include "basErrorHandlerADO.h"
#include "basSQLGenComp.h"
#include "logic/ErrorLog.h"
#include "logic/LineContext.h"
#include "logic/SessionFiles.h"
#include "logic/StatementRunner.h"
#include "logic/TransactionStatements.h"
#include "logic/ValueRendering.h"
#include "sql/StatementSplitter.h"

#include <deque>

namespace qarn::control {

namespace {

// Blank: nothing but spaces (tabs and line breaks count as content).
bool IsBlank(const std::string& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}

bool TransactionOpen() {
    try {
        return gcnnDB && gcnnDB->State() == ado::adStateOpen && gcnnDB->TransactionOpen();
    } catch (const ado::AdoError&) {
        return false;  // cannot tell: nothing to undo
    }
}

void RequireNoTransaction() {
    if (TransactionOpen())
        throw ado::AdoError(ado::err::IllegalOperation,
                            "A transaction is already open on the connection; the script cannot have one of its own");
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
class RecentCommands {
public:
    void Add(uint64_t tag, uint64_t line, const std::string& text) {
        // A ring of slots whose texts keep their buffers: nothing is
        // allocated per command once the ring is full.
        if (commands_.size() < kKept) commands_.emplace_back();
        Command& c = commands_[next_];
        next_ = (next_ + 1) % kKept;
        c.tag = tag;
        c.line = line;
        c.text.assign(text.size() <= 200 ? text : FirstCharacters(text, 200));
    }
    std::string Context(uint64_t tag) const {
        for (const Command& c : commands_)
            if (c.tag == tag) return "Line " + std::to_string(c.line) + ": " + c.text;
        return {};
    }

private:
    static constexpr size_t kKept = 20000;
    struct Command {
        uint64_t tag = 0;
        uint64_t line = 0;
        std::string text;
    };
    std::vector<Command> commands_;
    size_t next_ = 0;
};

// Why the run options cannot go together; empty when they can.
std::string OptionsClash(const RunOptions& options, bool singleTransaction) {
    if (!singleTransaction) return {};
    if (options.onError == OnError::Continue)
        return "OnError continue cannot go with SingleTransaction: a run that keeps all or nothing stops at its "
               "first failure";
    if (options.commitEvery > 0)
        return "CommitEvery cannot go with SingleTransaction: a run that keeps all or nothing commits once";
    return {};
}

// Why the error log may not go to `path`: it would overwrite what the run reads.
std::string ErrorLogClash(const std::string& path, const std::string& script) {
    if (SameFile(path, script)) return "it is the script being run";
    switch (SessionFileAt(path)) {
        case SessionFile::Udl: return "it is the UDL file in use";
        case SessionFile::Database: return "it is the database being written";
        default: return {};
    }
}

}  // namespace

std::string ControlCore::ForEachCommand(int32_t RunMode, Dialect dialect,
                                        const std::function<bool(const std::string& text, uint64_t line)>& run) {
    if (runOptions_.statementMode) {
        sql::StatementSplitter splitter(dialect);
        std::string stop;
        // False when the run stops.
        auto hand = [&] {
            for (sql::ScriptPiece piece; splitter.Next(piece);) {
                if (piece.kind == sql::ScriptPiece::Kind::ClientCommand) {
                    stop = "Line " + std::to_string(piece.line) + ": \"" + FirstCharacters(piece.text, 200) + "\" " +
                           piece.why;
                    return false;
                }
                if (!run(piece.text, piece.line)) return false;
            }
            return true;
        };
        for (uint64_t number = 1; !input_->AtEndOfStream(); ++number) {
            splitter.AddLine(ReadScriptLine());
            Progress(static_cast<int64_t>(number), ShareRead());
            if (!hand()) return stop;
        }
        splitter.Finish();
        hand();
        return stop;
    }
    if (RunMode != rmLineAtATime) {
        std::string text;
        while (!input_->AtEndOfStream()) text += "\r\n" + ReadScriptLine();
        if (!IsBlank(text)) run(text, 1);
        return {};
    }
    for (uint64_t number = 1; !input_->AtEndOfStream(); ++number) {
        const std::string line = ReadScriptLine();
        Progress(static_cast<int64_t>(number), ShareRead());
        if (!IsBlank(line) && !run(line, number)) break;
    }
    return {};
}

std::string ControlCore::RunAsOneTransaction(int32_t RunMode) {
    if (!gobjSQLADO || !gcnnDB) throw ado::AdoError(91, "Object variable or With block variable not set");
    RequireNoTransaction();
    const Dialect dialect = ChooseDialect(glngServerKind, gcnnDB->DbmsName());
    if (!gobjSQLADO->BeginDBTransaction()) return "Error executing SQL statement";
    RecentCommands recent;
    try {
        auto replay = gcnnDB->BeginReplay(-1);
        uint64_t tag = 0;
        bool refused = false;
        const std::string stop = ForEachCommand(RunMode, dialect, [&](const std::string& text, uint64_t line) {
            if (std::string words = FindTransactionStatement(text, dialect); !words.empty()) {
                const ErrObject refusal{ado::err::IllegalOperation,
                                        "A script run as one transaction cannot hold its own transaction "
                                        "statements (" +
                                            words + ")"};
                HandleADOError("qarnSqlGenCntl!RunScript", nullptr, LineContext(line, text), refusal);
                refused = true;
                return false;
            }
            recent.Add(++tag, line, text);
            replay->Add(text, tag);
            return true;
        });
        if (refused || !stop.empty()) {
            RollBackQuietly();
            return refused ? "Error executing SQL statement" : stop + "; nothing of the script was kept";
        }
        replay->Finish();
    } catch (const ado::ReplayError& e) {
        HandleADOError("clsSQLADO!SQLRunProcNoRs", gcnnDB.get(), recent.Context(e.Tag()),
                       {e.Number(), e.Description()});
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

std::string ControlCore::RunEachCommand(int32_t RunMode) {
    const Dialect dialect = ChooseDialect(glngServerKind, gcnnDB ? gcnnDB->DbmsName() : std::string());
    if (runOptions_.commitEvery > 0) RequireNoTransaction();
    std::unique_ptr<ErrorLog> log;
    if (runOptions_.onError == OnError::Continue) {
        const std::string path =
            runOptions_.errorLog.empty() ? ErrorLog::DefaultPath(mstrFileName) : runOptions_.errorLog;
        if (std::string clash = ErrorLogClash(path, mstrFileName); !clash.empty())
            return "Unable to write the error log " + path + ": " + clash;
        log = std::make_unique<ErrorLog>(path);
    }
    // Reports name lines, but not of a script sent whole.
    StatementRunner runner(runOptions_, dialect, log.get(), runOptions_.statementMode || RunMode == rmLineAtATime);
    std::string stop;
    try {
        stop = ForEachCommand(RunMode, dialect,
                              [&](const std::string& text, uint64_t line) { return runner.Run(text, line); });
        if (!stop.empty()) stop += "; the run stopped there";
    } catch (...) {
        stop = ErrorRunning();
    }
    std::string failure = runner.Finish(stop);
    if (log) log->Close();
    return failure;
}

std::string ControlCore::ErrorRunning() const {
    ErrObject e = CurrentErr();
    return "Error running script: " + mstrFileName + "\r\nError: " + std::to_string(e.Number) + " " + e.Description;
}

bool ControlCore::RunScript(const std::string& InputPathFileName, int32_t RunMode) {
    mstrReturnMessage.clear();
    mstrFileName = InputPathFileName;
    if (std::string clash = OptionsClash(runOptions_, singleTransaction_); !clash.empty()) return FinishRun(clash);
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
        failure = RunEachCommand(RunMode);
    } catch (...) {
        if (gobjSQLADO) gobjSQLADO->SetReportContext({});
        failure = ErrorRunning();
    }
    // Also after a failure: the session must not stay inside the script's transaction.
    if (!openBefore && RollBackWhatTheScriptLeftOpen() && failure.empty())
        failure = "The script left a transaction open; it was rolled back";
    Progress(progressCount_, ShareRead(), true);
    if (failure.empty()) SetStatusText("Script Processed: " + mstrFileName);
    return FinishRun(failure);
}

}  // namespace qarn::control
