#pragma once
// Where a generated script goes.  A regular file is written beside its path
// under a temporary name and moved into place only when the script is
// complete, so whatever stands at the path is a whole script or nothing; an
// interrupt removes the temporary file.  A device or pipe (/dev/null, a
// FIFO) and an inherited descriptor (/dev/stdout, /dev/fd/N) are written
// directly.  A symbolic link at the path is replaced, its target never
// written; a folder fails.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "logic/InterruptCleanup.h"
#include "textfile/TextFile.h"

namespace qarn::control {

class ScriptOutput {
public:
    // Removes an old file or link at the path and opens the new script;
    // raises ado::AdoError when it cannot.  `holdStreams`: a device, pipe or
    // descriptor gets nothing before Publish (the script waits in a
    // temporary file), so nothing unproven reaches it.
    explicit ScriptOutput(const std::string& path, bool holdStreams = false);
    // Without Commit the temporary file is removed.
    ~ScriptOutput();
    ScriptOutput(const ScriptOutput&) = delete;
    ScriptOutput& operator=(const ScriptOutput&) = delete;

    void WriteLine(std::string_view line) { writer_->WriteLine(line); }
    // Puts the complete script at its path: Finish, then Publish.  Raises
    // when it cannot.
    void Commit();
    // Ends the writing; the script can then be read at WrittenPath.
    void Finish();
    const std::string& WrittenPath() const { return temporary_.empty() ? path_ : temporary_; }
    // Moves a finished script into place, or copies it to the stream.
    void Publish();
    // Drops what was written (the temporary file); a stream keeps what it got.
    void Abandon() noexcept;

private:
    void OpenTemporary(const std::string& beside, bool compress);
    void CopyToStream();
    std::string path_;
    std::string temporary_;  // empty when writing directly
    int stream_ = -1;        // where a held script goes at Publish
    std::unique_ptr<textfile::TextWriter> writer_;
    std::optional<InterruptCleanup> cleanup_;
};

// Whether `path` names the same file as `other` (same device and inode,
// links followed); false when either does not exist.
bool SameFile(const std::string& path, const std::string& other);

}  // namespace qarn::control
