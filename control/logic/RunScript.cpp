// Running a script file on the session's connection, line by line or whole.
#include "ControlCore.h"
#include "ado/AdoError.h"
#include "ado/Command.h"
#include "basErrorHandlerADO.h"
#include "basSQLGenComp.h"

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

}  // namespace

bool ControlCore::RunScript(const std::string& InputPathFileName, int32_t RunMode) {
    mstrReturnMessage.clear();
    mstrFileName = InputPathFileName;
    std::string failure;
    const bool openBefore = TransactionOpen();
    try {
        if (!OpenScriptFile()) return FinishRun("Unable to open the script file " + mstrFileName);
        SetStatusText("Processing script: " + mstrFileName);
        auto run = [&](const std::string& text) -> std::string {
            if (!gobjSQLADO) throw ado::AdoError(91, "Object variable or With block variable not set");
            if (!gobjSQLADO->SQLSetText(text)) return "Error in SQL statement";
            if (!gobjSQLADO->SQLRunProcNoRs()) return "Error executing SQL statement";
            return {};
        };
        if (RunMode != rmLineAtATime) {
            std::string text;
            while (!mobjInput->AtEndOfStream()) text += "\r\n" + mobjInput->ReadLine();
            if (!IsBlank(text)) failure = run(text);
        } else {
            for (size_t number = 1; failure.empty() && !mobjInput->AtEndOfStream(); ++number) {
                std::string line = mobjInput->ReadLine();
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
    if (failure.empty()) SetStatusText("Script Processed: " + mstrFileName);
    return FinishRun(failure);
}

}  // namespace qarn::control
