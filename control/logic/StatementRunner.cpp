#include "logic/StatementRunner.h"

#include <optional>

#include "ado/AdoError.h"
#include "ado/Command.h"
#include "basErrorHandlerADO.h"
#include "basSQLGenComp.h"
#include "logic/LineContext.h"
#include "logic/TransactionStatements.h"

namespace qarn::control {

namespace {

constexpr const char* kExecuteFailed = "Error executing SQL statement";

struct Savepoints {
    const char* mark;
    const char* undo;
    const char* release;  // null where a savepoint needs no release
};

// Jet has no savepoints; its failed statements leave the transaction usable.
std::optional<Savepoints> SavepointsOf(sql::Dialect dialect) {
    if (dialect == sql::Dialect::Jet) return std::nullopt;
    if (dialect == sql::Dialect::SqlServer)
        return Savepoints{"SAVE TRANSACTION qarn_statement", "ROLLBACK TRANSACTION qarn_statement", nullptr};
    return Savepoints{"SAVEPOINT qarn_statement", "ROLLBACK TO SAVEPOINT qarn_statement",
                      "RELEASE SAVEPOINT qarn_statement"};
}

struct Failure {
    ErrObject error;
    std::vector<std::string> providerErrors;
};

// Runs SQL text on the session's connection without telling the user.
std::optional<Failure> RunQuietly(const std::string& text) {
    try {
        if (!gcnnDB) throw ado::AdoError(91, "Object variable or With block variable not set");
        ClearProviderErrors(gcnnDB);
        auto command = ado::Command::Create();
        command->SetActiveConnection(gcnnDB);
        command->SetCommandText(text);
        command->ExecuteBatch();
        return std::nullopt;
    } catch (...) {
        ErrObject e = CurrentErr();
        return Failure{std::move(e), ProviderErrorLines(gcnnDB.get())};
    }
}

clsSQLADO& SessionWrapper() {
    if (!gobjSQLADO) throw ado::AdoError(91, "Object variable or With block variable not set");
    return *gobjSQLADO;
}

}  // namespace

StatementRunner::StatementRunner(const RunOptions& options, sql::Dialect dialect, ErrorLog* log, bool nameLines)
    : options_(options), dialect_(dialect), log_(log), nameLines_(nameLines) {}

StatementRunner::~StatementRunner() {
    RollBackBatch();
}

bool StatementRunner::BeginBatch(uint64_t line) {
    batchLine_ = line;
    inBatch_ = 0;
    if (!SessionWrapper().BeginDBTransaction()) return false;
    batchOpen_ = true;
    return true;
}

void StatementRunner::RollBackBatch() noexcept {
    if (!batchOpen_) return;
    batchOpen_ = false;
    try {
        if (gcnnDB) gcnnDB->RollbackTrans();
    } catch (...) {
        // The run has failed already; a connection that cannot roll back is closing anyway.
    }
}

bool StatementRunner::Run(const std::string& text, uint64_t line) {
    if (options_.commitEvery > 0) {
        // A COMMIT or BEGIN of the script's own would cut across the batches.
        if (std::string words = FindTransactionStatement(text, dialect_); !words.empty()) {
            HandleADOError("qarnSqlGenCntl!RunScript", nullptr, LineContext(line, text),
                           {ado::err::IllegalOperation,
                            "A script run with commit batches cannot hold its own "
                            "transaction statements (" +
                                words + ")"});
            failure_ = kExecuteFailed;
            return false;
        }
        if (!batchOpen_ && !BeginBatch(line)) {
            failure_ = kExecuteFailed;
            return false;
        }
    }
    ++statements_;
    if (options_.onError == OnError::Continue) {
        if (!RunGoingOn(text, line)) return false;
    } else {
        clsSQLADO& wrapper = SessionWrapper();
        wrapper.SetReportContext(nameLines_ ? LineContext(line, text) : std::string());
        if (!wrapper.SQLSetText(text))
            failure_ = "Error in SQL statement";
        else if (!wrapper.SQLRunProcNoRs())
            failure_ = kExecuteFailed;
        wrapper.SetReportContext({});
        if (!failure_.empty()) return false;
    }
    if (batchOpen_ && ++inBatch_ >= options_.commitEvery) {
        batchOpen_ = false;
        if (!SessionWrapper().CommitDBTrans()) {
            batchOpen_ = true;  // still to be rolled back
            failure_ = kExecuteFailed;
            return false;
        }
    }
    return true;
}

bool StatementRunner::RunGoingOn(const std::string& text, uint64_t line) {
    // The first statement of a batch needs no savepoint: undoing it is
    // undoing the batch.  (psqlODBC, which undoes a failing first statement
    // by rolling back, would take a savepoint made before it with it.)
    const bool firstOfBatch = batchOpen_ && inBatch_ == 0;
    // Transaction statements run bare: a savepoint around COMMIT has nothing to release.
    const std::optional<Savepoints> savepoints = SavepointsOf(dialect_);
    const bool guarded = !firstOfBatch && savepoints && gcnnDB && gcnnDB->TransactionOpen() &&
                         FindTransactionStatement(text, dialect_).empty();
    if (guarded) {
        if (std::optional<Failure> f = RunQuietly(savepoints->mark)) {
            HandleADOError("qarnSqlGenCntl!RunScript", gcnnDB.get(), LineContext(line, text), f->error);
            failure_ = kExecuteFailed;
            return false;
        }
    }
    std::optional<Failure> failure = RunQuietly(text);
    // Undoing or releasing a savepoint fails only where the statement took
    // it away (MySQL's implicit commit), and then there is nothing to undo.
    if (guarded && failure) RunQuietly(savepoints->undo);
    if (guarded && savepoints->release) RunQuietly(savepoints->release);
    if (failure) {
        if (firstOfBatch) RollBackBatch();  // the next statement begins the batch again
        log_->Write(nameLines_ ? line : 0, text, failure->error, failure->providerErrors);
        ++failed_;
    }
    return true;
}

std::string StatementRunner::Finish(std::string stop) {
    if (failure_.empty()) failure_ = std::move(stop);
    if (batchOpen_ && failure_.empty()) {
        batchOpen_ = false;
        if (!SessionWrapper().CommitDBTrans()) {
            batchOpen_ = true;
            failure_ = kExecuteFailed;
        }
    }
    if (batchOpen_) {
        RollBackBatch();
        failure_ += "; the statements from line " + std::to_string(batchLine_) + " on were not committed";
    }
    if (failed_ > 0) {
        const std::string summary =
            std::to_string(failed_) + " of " + std::to_string(statements_) + " statements failed; see " + log_->Path();
        failure_ = failure_.empty() ? summary : failure_ + "; " + summary;
    }
    return failure_;
}

}  // namespace qarn::control
