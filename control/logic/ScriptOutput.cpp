#include "logic/ScriptOutput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "ado/AdoError.h"

namespace qarn::control {

namespace {

constexpr int32_t kPathNotFound = 76;
constexpr int32_t kPermissionDenied = 70;
constexpr int32_t kDeviceIoError = 57;

[[noreturn]] void Raise(int errnum, const std::string& what, const std::string& path) {
    const int32_t number = errnum == EACCES || errnum == EPERM || errnum == EROFS ? kPermissionDenied
                           : errnum == ENOENT || errnum == ENOTDIR || errnum == EISDIR ? kPathNotFound
                                                                                      : kDeviceIoError;
    throw ado::AdoError(number, what + " '" + path + "': " + std::strerror(errnum));
}

// The descriptor a path such as /dev/stdout or /dev/fd/3 stands for, or -1.
// Such a path is written through the descriptor the process holds: opening
// it anew would truncate a file the shell appends to.
int InheritedDescriptor(const std::string& path) {
    if (path == "/dev/stdout") return STDOUT_FILENO;
    if (path == "/dev/stderr") return STDERR_FILENO;
    for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        const size_t n = std::strlen(prefix);
        if (path.compare(0, n, prefix) != 0 || path.size() == n) continue;
        int fd = 0;
        for (size_t i = n; i < path.size(); ++i) {
            if (path[i] < '0' || path[i] > '9' || fd > 100000) return -1;
            fd = fd * 10 + (path[i] - '0');
        }
        return fd;
    }
    return -1;
}

mode_t NewFileMode() {
    // What a plain create would give: 0666 less the process's umask.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

bool SameFile(const std::string& path, const std::string& other) {
    struct stat a {}, b {};
    return !path.empty() && !other.empty() && ::stat(path.c_str(), &a) == 0 && ::stat(other.c_str(), &b) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

ScriptOutput::ScriptOutput(const std::string& path) : path_(path) {
    // NAME.gz is written compressed, wherever it goes.
    const bool compress = textfile::IsCompressedName(path);
    if (int fd = InheritedDescriptor(path); fd >= 0) {
        const int copy = ::dup(fd);
        if (copy < 0) Raise(errno, "Cannot create", path);
        writer_ = std::make_unique<textfile::TextWriter>(copy, path, compress);
        return;
    }
    struct stat st {};
    const bool exists = ::lstat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) Raise(EISDIR, "Cannot create", path);
    if (exists && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) Raise(errno, "Cannot create", path);
        writer_ = std::make_unique<textfile::TextWriter>(fd, path, compress);
        return;
    }
    if (exists) {
        // A link to a folder or device is replaced like any other link.
        if (::unlink(path.c_str()) != 0) Raise(errno, "Cannot delete", path);
    }
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string pattern = folder + "." + name + ".XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) Raise(errno, "Cannot create", path);
    temporary_ = pattern;
    cleanup_.emplace(temporary_);
    ::fchmod(fd, NewFileMode());
    try {
        writer_ = std::make_unique<textfile::TextWriter>(fd, path, compress);
    } catch (...) {
        Abandon();
        throw;
    }
}

ScriptOutput::~ScriptOutput() { Abandon(); }

void ScriptOutput::Commit() {
    if (!writer_) return;
    // Closing flushes and reports any write that failed; the rename then
    // shows the whole script at once.
    writer_->Close();
    writer_.reset();
    if (temporary_.empty()) return;
    if (::rename(temporary_.c_str(), path_.c_str()) != 0) {
        const int e = errno;
        Abandon();
        Raise(e, "Cannot create", path_);
    }
    temporary_.clear();
    cleanup_.reset();
}

void ScriptOutput::Abandon() noexcept {
    try {
        if (writer_) writer_->Close();
    } catch (...) {
        // What was written is dropped anyway.
    }
    writer_.reset();
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
    cleanup_.reset();
}

}  // namespace qarn::control
