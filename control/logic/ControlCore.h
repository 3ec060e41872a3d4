#pragma once
// What one control instance is and does, apart from its window: its state,
// status text and return message, connecting, generating and running
// scripts.  The control widget forwards its members here; tests drive it
// directly.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

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

    // Called once for every status text set, after it is stored.
    void OnStatusTextChanged(std::function<void()> f) { statusChanged_ = std::move(f); }

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
    // Shared end of Generate and RunScript: close the file, publish the failure.
    bool FinishRun(const std::string& failure);

    std::unique_ptr<textfile::TextWriter> mobjOutput;
    std::unique_ptr<textfile::TextReader> mobjInput;
    std::string mstrFileName;
    std::string mstrReturnMessage;
    int32_t mlngState = stNotConnected;
    bool mblnIncludeIdent = false;
    std::string mstrStatusText;
    std::function<void()> statusChanged_;
};

// The connection string with every password entry masked (see
// ado::MaskPasswords); never one that shows a password.
std::string ConnectionStringForDisplay(const std::string& strConnStringIn);

}  // namespace qarn::control
