// The control's one text file: the script being written or read.
#include "ControlCore.h"

#include "ado/AdoError.h"

namespace qarn::control {

bool ControlCore::CreateOutputFile() {
    try {
        CloseTextFile();
        // Only a regular file is replaced; a folder or device at the path is
        // left alone and the run fails.
        if (textfile::FileExists(mstrFileName)) textfile::DeleteFile(mstrFileName);
        mobjOutput = std::make_unique<textfile::TextWriter>(mstrFileName);
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
        // Anything readable but a folder: a pipe or /dev/stdin holds a script too.
        textfile::PathKind kind = textfile::KindOfPath(mstrFileName);
        if (kind == textfile::PathKind::Missing || kind == textfile::PathKind::Folder) return false;
        mobjInput = std::make_unique<textfile::TextReader>(mstrFileName);
        return true;
    } catch (...) {
        return false;
    }
}

void ControlCore::CloseTextFile() {
    try {
        if (mobjOutput) mobjOutput->Close();
    } catch (...) {
    }
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
