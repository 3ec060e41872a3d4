#pragma once
// RunScript's statements run one at a time on the session's connection as
// the run options say: stopping at the first failure, which is reported,
// or going on and writing each failure to the error log only; and each
// statement committing on its own or in batches of so many.
//
// Going on, a statement run inside an open transaction (a batch, or one
// the script began) runs under a savepoint, so its failure undoes only
// itself: PostgreSQL would otherwise fail every statement after it.

#include <cstdint>
#include <string>

#include "logic/ErrorLog.h"
#include "sql/Dialect.h"

namespace qarn::control {

enum class OnError { Stop, Continue };

// How RunScript runs a script beyond its RunMode.
struct RunOptions {
    // Cut the script into statements as the database's own client does
    // (sql::StatementSplitter); RunMode is not looked at then.
    bool statementMode = false;
    OnError onError = OnError::Stop;
    // Where Continue writes the failures; empty: ErrorLog::DefaultPath.
    std::string errorLog;
    // Commit after every so many statements; 0: each commits on its own.
    int32_t commitEvery = 0;
};

class StatementRunner {
public:
    // `log`: where failures go when the run goes on past them (Continue).
    // `nameLines`: reports name the statement's line (not for a whole script).
    StatementRunner(const RunOptions& options, sql::Dialect dialect, ErrorLog* log, bool nameLines);
    // An open batch is rolled back.
    ~StatementRunner();
    StatementRunner(const StatementRunner&) = delete;
    StatementRunner& operator=(const StatementRunner&) = delete;

    // Runs one statement; false when the run must stop.
    bool Run(const std::string& text, uint64_t line);
    // Ends the run: the open batch is committed, or rolled back when the
    // run stopped for `stop` (the script's own reason) or a failure here.
    // Returns the run's failure message; empty on success.
    std::string Finish(std::string stop);

private:
    bool BeginBatch(uint64_t line);
    bool RunGoingOn(const std::string& text, uint64_t line);
    void RollBackBatch() noexcept;

    const RunOptions& options_;
    sql::Dialect dialect_;
    ErrorLog* log_;
    bool nameLines_;
    std::string failure_;
    uint64_t statements_ = 0;
    uint64_t failed_ = 0;
    bool batchOpen_ = false;
    uint64_t batchLine_ = 0;  // the first statement of the open batch
    int32_t inBatch_ = 0;
};

}  // namespace qarn::control
