#include "logic/ScriptOutput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ado/AdoError.h"

namespace qarn::control {

namespace {

constexpr int32_t kPathNotFound = 76;
constexpr int32_t kPermissionDenied = 70;
constexpr int32_t kDeviceIoError = 57;

[[noreturn]] void Raise(int errnum, const std::string& what, const std::string& path) {
    const int32_t number = errnum == EACCES || errnum == EPERM || errnum == EROFS      ? kPermissionDenied
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
    struct stat a {
    }, b{};
    return !path.empty() && !other.empty() && ::stat(path.c_str(), &a) == 0 && ::stat(other.c_str(), &b) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

ScriptOutput::ScriptOutput(const std::string& path, bool holdStreams) : path_(path) {
    // NAME.gz is written compressed, wherever it goes.
    const bool compress = textfile::IsCompressedName(path);
    int stream = -1;
    if (int fd = InheritedDescriptor(path); fd >= 0) {
        stream = ::dup(fd);
        if (stream < 0) Raise(errno, "Cannot create", path);
    } else {
        struct stat st {};
        const bool exists = ::lstat(path.c_str(), &st) == 0;
        if (exists && S_ISDIR(st.st_mode)) Raise(EISDIR, "Cannot create", path);
        if (exists && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
            stream = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
            if (stream < 0) Raise(errno, "Cannot create", path);
        } else if (exists) {
            // A link to a folder or device is replaced like any other link.
            if (::unlink(path.c_str()) != 0) Raise(errno, "Cannot delete", path);
        }
    }
    if (stream >= 0 && !holdStreams) {
        writer_ = std::make_unique<textfile::TextWriter>(stream, path, compress);
        return;
    }
    stream_ = stream;
    const char* tmp = std::getenv("TMPDIR");
    try {
        OpenTemporary(stream >= 0 ? std::string(tmp && *tmp ? tmp : "/tmp") + "/qarnSqlGen.sql" : path, compress);
    } catch (...) {
        Abandon();
        throw;
    }
}

void ScriptOutput::OpenTemporary(const std::string& beside, bool compress) {
    const size_t slash = beside.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : beside.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? beside : beside.substr(slash + 1);
    std::string pattern = folder + "." + name + ".XXXXXX";
    int fd = -1;
    {
        // An interrupt between the file's creation and its guard would leave it behind.
        InterruptsHeld held;
        fd = ::mkstemp(pattern.data());
        if (fd >= 0) {
            temporary_ = pattern;
            cleanup_.emplace(temporary_);
        }
    }
    if (fd < 0) Raise(errno, "Cannot create", path_);
    ::fchmod(fd, NewFileMode());
    writer_ = std::make_unique<textfile::TextWriter>(fd, path_, compress);
}

ScriptOutput::~ScriptOutput() {
    Abandon();
}

void ScriptOutput::Commit() {
    Finish();
    Publish();
}

void ScriptOutput::Finish() {
    // Closing flushes and reports any write that failed.
    if (writer_) writer_->Close();
    writer_.reset();
}

void ScriptOutput::Publish() {
    if (temporary_.empty()) return;
    try {
        if (stream_ >= 0) {
            CopyToStream();
            ::unlink(temporary_.c_str());
        } else if (::rename(temporary_.c_str(), path_.c_str()) != 0) {
            // The rename shows the whole script at once.
            Raise(errno, "Cannot create", path_);
        }
    } catch (...) {
        Abandon();
        throw;
    }
    temporary_.clear();
    Abandon();  // nothing left to drop: closes the stream
}

void ScriptOutput::CopyToStream() {
    const int in = ::open(temporary_.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) Raise(errno, "Cannot read", temporary_);
    std::vector<char> buffer(1 << 16);
    int failure = 0;
    for (ssize_t n; failure == 0 && (n = ::read(in, buffer.data(), buffer.size())) != 0;) {
        if (n < 0) {
            failure = errno;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(stream_, buffer.data() + done, static_cast<size_t>(n - done));
            if (w < 0) {
                failure = errno;
                break;
            }
            done += w;
        }
    }
    ::close(in);
    if (failure) Raise(failure, "Cannot write", path_);
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
    if (stream_ >= 0) ::close(stream_);
    stream_ = -1;
}

}  // namespace qarn::control
