#pragma once
// Where a script run that goes on past failing statements writes each
// failure: the statement's line, the error and the statement itself, so
// the failures can be mended and run again.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "basErrorHandlerADO.h"
#include "textfile/TextFile.h"

namespace qarn::control {

class ErrorLog {
public:
    // The script's file name and ".errors", in the current folder.
    static std::string DefaultPath(const std::string& script);

    // Creates the log, replacing a file at the path; raises ado::AdoError
    // when it cannot.
    explicit ErrorLog(std::string path);
    ErrorLog(const ErrorLog&) = delete;
    ErrorLog& operator=(const ErrorLog&) = delete;

    // `line` 0: the whole script, no line named.  Each line of the entry
    // but the statement's is an SQL comment.
    void Write(uint64_t line, std::string_view statement, const ErrObject& error,
               const std::vector<std::string>& providerErrors);
    // Closes the log, and removes it when it holds nothing; raises when the
    // entries could not be written.
    void Close();

    size_t Entries() const { return entries_; }
    const std::string& Path() const { return path_; }

private:
    // Each line of `text` as its own line of the log, after `prefix`.
    void WriteLines(std::string_view prefix, std::string_view text);

    std::string path_;
    std::unique_ptr<textfile::TextWriter> writer_;
    size_t entries_ = 0;
};

}  // namespace qarn::control
