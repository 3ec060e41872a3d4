// The control's one text file: the script being written or read.
#include "ControlCore.h"

#include "ado/AdoError.h"

namespace qarn::control {

bool ControlCore::CreateOutputFile() {
    try {
        CloseTextFile();
        mobjOutput = std::make_unique<ScriptOutput>(mstrFileName);
        return true;
    } catch (...) {
        return false;
    }
}

// A line that cannot be written fails the run: a script cut short must not
// pass for a complete one.
void ControlCore::WriteOutputLine(std::string_view line) { mobjOutput->WriteLine(line); }

bool ControlCore::OpenScriptFile() {
    try {
        CloseTextFile();
        if (!textfile::FileExists(mstrFileName)) return false;
        mobjInput = std::make_unique<textfile::TextReader>(mstrFileName);
        return true;
    } catch (...) {
        return false;
    }
}

void ControlCore::CloseTextFile() {
    // A script not committed by now is incomplete: it never reaches its path.
    if (mobjOutput) mobjOutput->Abandon();
    try {
        if (mobjInput) mobjInput->Close();
    } catch (...) {
    }
}

bool ControlCore::FinishRun(const std::string& failure) {
    CloseTextFile();
    if (!failure.empty()) {
        mstrReturnMessage = failure;
        SetStatusText(failure);
    }
    return mstrReturnMessage.empty();
}

}  // namespace qarn::control
