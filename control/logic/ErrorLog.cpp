#include "logic/ErrorLog.h"

#include <filesystem>

namespace qarn::control {

std::string ErrorLog::DefaultPath(const std::string& script) {
    return std::filesystem::path(script).filename().string() + ".errors";
}

ErrorLog::ErrorLog(std::string path) : path_(std::move(path)), writer_(std::make_unique<textfile::TextWriter>(path_)) {}

void ErrorLog::WriteLines(std::string_view prefix, std::string_view text) {
    for (size_t start = 0;;) {
        size_t end = text.find('\n', start);
        std::string_view line =
            text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (line.ends_with('\r')) line.remove_suffix(1);
        writer_->WriteLine(std::string(prefix) + std::string(line));
        if (end == std::string_view::npos) return;
        start = end + 1;
    }
}

void ErrorLog::Write(uint64_t line, std::string_view statement, const ErrObject& error,
                     const std::vector<std::string>& providerErrors) {
    const std::string where = line > 0 ? "Line " + std::to_string(line) : "The script";
    WriteLines("-- ", where + ": error " + std::to_string(error.Number) + ": " + error.Description);
    // The provider's own records, where they say more than the error does.
    const std::string said = std::to_string(error.Number) + " " + error.Description;
    for (const std::string& provider : providerErrors)
        if (provider != said) WriteLines("--   ", provider);
    WriteLines({}, statement);
    writer_->WriteLine("");  // a view with no data would reach fwrite as a null pointer
    ++entries_;
}

void ErrorLog::Close() {
    writer_->Close();
    if (entries_ == 0) textfile::DeleteFile(path_);
}

}  // namespace qarn::control
