#pragma once
// What one control instance is and does, apart from its window: its state,
// status text and return message, connecting, generating and running
// scripts.  The control widget forwards its members here; tests drive it
// directly.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "logic/ScriptOutput.h"
#include "logic/ScriptWriter.h"
#include "logic/StatementRunner.h"
#include "textfile/TextFile.h"

namespace qarn::control {

enum stState : int32_t { stNotConnected = 0, stConnected = 1 };
enum rmRunMode : int32_t { rmLineAtATime = 0, rmCompleteScript = 1 };

class ControlCore {
public:
    ControlCore() = default;
    ~ControlCore();
    ControlCore(const ControlCore&) = delete;
    ControlCore& operator=(const ControlCore&) = delete;

    const std::string& StatusText() const { return mstrStatusText; }
    const std::string& ReturnMessage() const { return mstrReturnMessage; }
    int32_t State() const { return mlngState; }
    bool IncludeIdent() const { return mblnIncludeIdent; }
    void SetIncludeIdent(bool b) { mblnIncludeIdent = b; }
    // How Generate writes its statements (terminator, rows per INSERT, target
    // dialect, duplicates); TruncateTable and IncludeIdent come apart.
    const ScriptOptions& Script() const { return scriptOptions_; }
    ScriptOptions& Script() { return scriptOptions_; }
    // Generate orders the rows by the table's primary key (or every column)
    // when the SELECT has no ORDER BY, so two scripts of a table compare line by line.
    bool OrderByKey() const { return orderByKey_; }
    void SetOrderByKey(bool b) { orderByKey_ = b; }
    // Generate proves the script before handing it over (see ProveScript).
    bool Verify() const { return verify_; }
    void SetVerify(bool b) { verify_ = b; }
    // RunScript runs the whole script as one transaction: all or nothing.
    bool SingleTransaction() const { return singleTransaction_; }
    void SetSingleTransaction(bool b) { singleTransaction_ = b; }
    // How RunScript cuts the script into statements, what it does at a
    // failing one and how often it commits.  Going on past failures and
    // committing in batches cannot go with SingleTransaction: such a run
    // fails at once, naming the clash.
    const RunOptions& Running() const { return runOptions_; }
    RunOptions& Running() { return runOptions_; }

    // Called once for every status text set, after it is stored.
    void OnStatusTextChanged(std::function<void()> f) { statusChanged_ = std::move(f); }

    // How far the running Generate or RunScript is: rows written or lines
    // run, and for RunScript the share of the file read in thousandths (-1
    // when unknown).  Announced at most four times a second, and at the end.
    int64_t ProgressCount() const { return progressCount_; }
    int32_t ProgressShare() const { return progressShare_; }
    void OnProgress(std::function<void()> f) { progressChanged_ = std::move(f); }

    bool Connect(const std::string& ConnectionString = {}, const std::string& UDLFileName = {});
    void Disconnect(bool blnShowStatus);
    bool Generate(const std::string& OutputPathFileName, const std::string& SelectString, bool TruncateTable = false);
    bool RunScript(const std::string& InputPathFileName, int32_t RunMode = rmLineAtATime);

    // The only way the status text changes: stores it and tells the host.
    void SetStatusText(const std::string& text);

private:
    // The text file slot shared by Generate and RunScript.
    bool CreateOutputFile();
    void WriteOutputLine(std::string_view line);
    bool OpenScriptFile();
    void CloseTextFile();
    // Reads the script (by statements, lines or whole, as the options and
    // RunMode say) and hands each command and its line to `run`, which
    // returns false to stop.  Returns why the script itself stops the run
    // (a client's command met), empty otherwise.
    std::string ForEachCommand(int32_t RunMode, Dialect dialect,
                               const std::function<bool(const std::string& text, uint64_t line)>& run);
    // RunScript's commands replayed inside one transaction; returns the
    // failure message, empty on success.
    std::string RunAsOneTransaction(int32_t RunMode);
    // RunScript's commands run one at a time as the options say; returns
    // the failure message, empty on success.
    std::string RunEachCommand(int32_t RunMode);
    // The message of a run ended by the failure being handled; call in a catch block.
    std::string ErrorRunning() const;
    // The next line of the script being run.
    std::string ReadScriptLine();
    int32_t ShareRead() const;
    // Counts one more row or line; announces progress when it is time.
    void Progress(int64_t count, int32_t share, bool final = false);
    // Shared end of Generate and RunScript: close the file, publish the failure.
    bool FinishRun(const std::string& failure);

    std::unique_ptr<ScriptOutput> output_;
    std::unique_ptr<textfile::TextReader> input_;
    std::string mstrFileName;
    std::string mstrReturnMessage;
    int32_t mlngState = stNotConnected;
    bool mblnIncludeIdent = false;
    std::string mstrStatusText;
    bool singleTransaction_ = false;
    RunOptions runOptions_;
    ScriptOptions scriptOptions_;
    bool orderByKey_ = false;
    bool verify_ = false;
    std::function<void()> statusChanged_;
    std::function<void()> progressChanged_;
    int64_t progressCount_ = 0;
    int32_t progressShare_ = -1;
    int64_t scriptSize_ = 0;  // bytes; 0 when unknown (a pipe)
    std::chrono::steady_clock::time_point lastProgress_{};
};

// The connection string with every password entry masked (see
// ado::MaskPasswords); never one that shows a password.
std::string ConnectionStringForDisplay(const std::string& strConnStringIn);

}  // namespace qarn::control
