// The control's one text file: the script being written or read.
#include "ControlCore.h"

#include <sys/stat.h>

#include <algorithm>

#include "ado/AdoError.h"

namespace qarn::control {

bool ControlCore::CreateOutputFile() {
    try {
        CloseTextFile();
        // A script to be proven reaches no stream before the proof.
        output_ = std::make_unique<ScriptOutput>(mstrFileName, verify_);
        return true;
    } catch (...) {
        return false;
    }
}

// A line that cannot be written fails the run: a script cut short must not
// pass for a complete one.
void ControlCore::WriteOutputLine(std::string_view line) {
    output_->WriteLine(line);
}

bool ControlCore::OpenScriptFile() {
    try {
        CloseTextFile();
        // Anything readable but a folder: a pipe or /dev/stdin holds a script too.
        textfile::PathKind kind = textfile::KindOfPath(mstrFileName);
        if (kind == textfile::PathKind::Missing || kind == textfile::PathKind::Folder) return false;
        input_ = std::make_unique<textfile::TextReader>(mstrFileName);
        struct stat st {};
        scriptSize_ = ::stat(mstrFileName.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : 0;
        return true;
    } catch (...) {
        return false;
    }
}

void ControlCore::CloseTextFile() {
    // A script not committed by now is incomplete: it never reaches its path.
    if (output_) output_->Abandon();
    try {
        if (input_) input_->Close();
    } catch (...) {
    }
}

std::string ControlCore::ReadScriptLine() {
    return input_->ReadLine();
}

int32_t ControlCore::ShareRead() const {
    if (input_ && input_->AtEndOfStream()) return 1000;
    if (scriptSize_ <= 0 || !input_) return -1;
    return static_cast<int32_t>(std::min<int64_t>(1000, input_->BytesConsumed() * 1000 / scriptSize_));
}

void ControlCore::Progress(int64_t count, int32_t share, bool final) {
    // A quarter of a second between announcements: often enough to see, too
    // seldom to cost anything.
    constexpr auto kInterval = std::chrono::milliseconds(250);
    progressCount_ = count;
    progressShare_ = share;
    if (!progressChanged_) return;
    const auto now = std::chrono::steady_clock::now();
    if (!final && now - lastProgress_ < kInterval) return;
    lastProgress_ = now;
    progressChanged_();
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
