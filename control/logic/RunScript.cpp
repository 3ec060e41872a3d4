// Running a script file on the session's connection, line by line or whole.
#include "ControlCore.h"
#include "ado/AdoError.h"
#include "basErrorHandlerADO.h"
#include "basSQLGenComp.h"

namespace qarn::control {

namespace {
// Blank: nothing but spaces (tabs and line breaks count as content).
bool IsBlank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }
}  // namespace

bool ControlCore::RunScript(const std::string& InputPathFileName, int32_t RunMode) {
    mstrReturnMessage.clear();
    mstrFileName = InputPathFileName;
    std::string failure;
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
            while (failure.empty() && !mobjInput->AtEndOfStream()) {
                std::string line = mobjInput->ReadLine();
                if (!IsBlank(line)) failure = run(line);
            }
        }
        if (failure.empty()) SetStatusText("Script Processed: " + mstrFileName);
    } catch (...) {
        ErrObject e = CurrentErr();
        failure = "Error running script: " + mstrFileName + "\r\nError: " + std::to_string(e.Number) + " " +
                  e.Description;
    }
    return FinishRun(failure);
}

}  // namespace qarn::control
