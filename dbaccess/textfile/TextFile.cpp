#include "textfile/TextFile.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "ado/AdoError.h"
#include "ado/ConnectionString.h"

namespace qarn::textfile {

namespace {
using ado::AdoError;

// The run-time numbers a file failure carries, as the reports show them.
constexpr int32_t kFileNotFound = 53;
constexpr int32_t kPermissionDenied = 70;
constexpr int32_t kPathNotFound = 76;
constexpr int32_t kDeviceIoError = 57;

[[noreturn]] void RaiseFileError(int errnum, const std::string& what, const std::string& path) {
    int32_t number = kDeviceIoError;
    if (errnum == ENOENT) number = kFileNotFound;
    if (errnum == EACCES || errnum == EPERM || errnum == EROFS) number = kPermissionDenied;
    if (errnum == ENOTDIR || errnum == EISDIR) number = kPathNotFound;
    throw AdoError(number, what + " '" + path + "': " + std::strerror(errnum));
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

uint32_t Utf16Unit(unsigned char first, unsigned char second, bool bigEndian) {
    return bigEndian ? (uint32_t{first} << 8) | second : (uint32_t{second} << 8) | first;
}
}  // namespace

bool IsCompressedName(std::string_view path) {
    return path.size() > 3 && ado::EqualsNoCase(path.substr(path.size() - 3), ".gz");
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

PathKind KindOfPath(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return PathKind::Missing;
    if (S_ISDIR(st.st_mode)) return PathKind::Folder;
    if (S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode)) return PathKind::File;
    return PathKind::Device;
}

void DeleteFile(const std::string& path) {
    if (!FileExists(path)) RaiseFileError(ENOENT, "Cannot delete", path);
    if (std::remove(path.c_str()) != 0) RaiseFileError(errno, "Cannot delete", path);
}

std::string ReadStart(const std::string& path, size_t maxBytes) {
    if (KindOfPath(path) == PathKind::Folder) RaiseFileError(EISDIR, "Cannot open", path);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) RaiseFileError(errno, "Cannot open", path);
    std::string bytes;
    char chunk[64 * 1024];
    while (bytes.size() < maxBytes) {
        size_t n = std::fread(chunk, 1, std::min(sizeof chunk, maxBytes - bytes.size()), file.get());
        bytes.append(chunk, n);
        if (n == 0) {
            if (std::ferror(file.get())) RaiseFileError(errno ? errno : EIO, "Cannot read", path);
            break;
        }
    }
    return bytes;
}

TextWriter::TextWriter(const std::string& path) : path_(path) {
    struct stat st {};
    // Only a regular file is ever replaced: a folder or device at the path is an error.
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) RaiseFileError(EISDIR, "Cannot create", path);
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) RaiseFileError(errno, "Cannot create", path);
    Buffer();
}

// The C library ignores a buffer size given without a buffer.
void TextWriter::Buffer() {
    constexpr size_t kBufferSize = 256 << 10;
    buffer_ = std::make_unique<char[]>(kBufferSize);
    std::setvbuf(file_, buffer_.get(), _IOFBF, kBufferSize);
}

TextWriter::TextWriter(int fd, std::string path, bool compress) : path_(std::move(path)) {
    if (compress) {
        gz_ = gzdopen(fd, "wb");
        if (!gz_) {
            ::close(fd);
            RaiseFileError(ENOMEM, "Cannot create", path_);
        }
        gzbuffer(gz_, 256 << 10);
        return;
    }
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        const int e = errno;
        ::close(fd);
        RaiseFileError(e, "Cannot create", path_);
    }
    Buffer();
}

TextWriter::~TextWriter() {
    if (file_) std::fclose(file_);
    if (gz_) gzclose(gz_);
}

void TextWriter::WriteLine(std::string_view line) {
    if (gz_) {
        const int n = static_cast<int>(line.size());
        if ((n > 0 && gzwrite(gz_, line.data(), static_cast<unsigned>(n)) != n) || gzwrite(gz_, "\r\n", 2) != 2) {
            int code = 0;
            const char* message = gzerror(gz_, &code);
            throw AdoError(kDeviceIoError,
                           "Cannot write '" + path_ + "': " + (code == Z_ERRNO ? std::strerror(errno) : message));
        }
        return;
    }
    if (!file_) throw AdoError(kDeviceIoError, "The file '" + path_ + "' is not open");
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() || std::fwrite("\r\n", 1, 2, file_) != 2)
        RaiseFileError(errno, "Cannot write", path_);
}

void TextWriter::Close() {
    if (gz_) {
        gzFile_s* gz = gz_;
        gz_ = nullptr;
        // Closing writes the rest of the compressed data and the trailer.
        const int rc = gzclose(gz);
        if (rc != Z_OK) RaiseFileError(rc == Z_ERRNO && errno ? errno : EIO, "Cannot write", path_);
        return;
    }
    if (!file_) return;
    std::FILE* f = file_;
    file_ = nullptr;
    bool failed = std::ferror(f) != 0;
    int closeResult = std::fclose(f);
    if (failed || closeResult != 0) RaiseFileError(errno ? errno : EIO, "Cannot write", path_);
}

TextReader::TextReader(const std::string& path) : path_(path) {
    // A folder opens for reading but has no bytes to give: refused here.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) RaiseFileError(errno, "Cannot open", path);
    if (S_ISDIR(st.st_mode)) RaiseFileError(EISDIR, "Cannot open", path);
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) RaiseFileError(errno, "Cannot open", path);
    if (IsCompressedName(path)) {
        // zlib reads the gzip stream from the descriptor; a file that is no
        // gzip after all is read as it stands.
        gz_ = gzdopen(::dup(fileno(file_)), "rb");
        if (!gz_) RaiseFileError(ENOMEM, "Cannot open", path);
        gzbuffer(gz_, 1 << 16);
    }
    open_ = true;
}

TextReader::TextReader(Bytes bytes)
    : open_(true), path_(bytes.name), memory_(std::move(bytes)), chunk_(std::max<size_t>(memory_.chunk, 1)) {}

TextReader::~TextReader() {
    if (gz_) gzclose(gz_);
    if (file_) std::fclose(file_);
}

void TextReader::Close() {
    if (gz_) gzclose(gz_);
    gz_ = nullptr;
    if (file_) std::fclose(file_);
    file_ = nullptr;
    open_ = false;
    buffer_.clear();
    pos_ = 0;
    eofRaw_ = true;
}

size_t TextReader::ReadRaw(char* into, size_t size) {
    if (!file_) {
        size_t n = std::min(size, memory_.content.size() - memoryPos_);
        memory_.content.copy(into, n, memoryPos_);
        memoryPos_ += n;
        return n;
    }
    if (gz_) {
        const int n = gzread(gz_, into, static_cast<unsigned>(std::min<size_t>(size, 1u << 30)));
        if (n < 0) {
            int code = 0;
            const char* message = gzerror(gz_, &code);
            throw AdoError(kDeviceIoError, "Cannot read '" + path_ +
                                               "': " + (code == Z_ERRNO ? std::strerror(errno) : std::string(message)));
        }
        consumed_ = gzoffset(gz_);
        return static_cast<size_t>(n);
    }
    // fread gathers a pipe's partial reads: fewer bytes than asked for
    // means the end of the data or an error.
    size_t n = std::fread(into, 1, size, file_);
    if (n < size && std::ferror(file_)) RaiseFileError(errno ? errno : EIO, "Cannot read", path_);
    consumed_ += static_cast<int64_t>(n);
    return n;
}

int64_t TextReader::BytesConsumed() const {
    return consumed_;
}

// Replaces the text already returned by the decoded text of the next chunk,
// so the buffer never holds more than a chunk (the line being read is
// collected by ReadLine).
bool TextReader::Fill() {
    if (!open_ || eofRaw_) return false;
    // The first read takes in the whole of the longest byte-order mark.
    std::string raw(started_ ? chunk_ : std::max<size_t>(chunk_, 3), '\0');
    size_t n = ReadRaw(raw.data(), raw.size());
    if (n < raw.size()) eofRaw_ = true;
    raw.resize(n);
    std::string_view text(raw);
    if (!started_) {
        started_ = true;
        if (text.starts_with("\xFF\xFE")) {
            encoding_ = Encoding::Utf16Le;
            text.remove_prefix(2);
        } else if (text.starts_with("\xFE\xFF")) {
            encoding_ = Encoding::Utf16Be;
            text.remove_prefix(2);
        } else if (text.starts_with("\xEF\xBB\xBF")) {
            text.remove_prefix(3);
        }
    }
    buffer_.clear();
    pos_ = 0;
    if (encoding_ == Encoding::Utf8) {
        buffer_.assign(text);
    } else {
        DecodeUtf16(text);
    }
    // The end of the data may still complete a character held back.
    return n > 0 || !buffer_.empty();
}

void TextReader::DecodeUtf16(std::string_view raw) {
    const bool bigEndian = encoding_ == Encoding::Utf16Be;
    std::string bytes = std::move(pendingBytes_);
    bytes.append(raw);
    pendingBytes_.clear();
    auto unitAt = [&](size_t i) {
        return Utf16Unit(static_cast<unsigned char>(bytes[i]), static_cast<unsigned char>(bytes[i + 1]), bigEndian);
    };
    size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        uint32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 3 >= bytes.size()) {
                if (!eofRaw_) break;  // the low half arrives with the next chunk
                AppendUtf8(buffer_, 0xFFFD);
                continue;
            }
            uint32_t low = unitAt(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(buffer_, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
            } else {
                AppendUtf8(buffer_, 0xFFFD);
            }
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            AppendUtf8(buffer_, 0xFFFD);
        } else {
            AppendUtf8(buffer_, unit);
        }
    }
    pendingBytes_ = bytes.substr(i);
    if (eofRaw_ && !pendingBytes_.empty()) {  // half a unit at the end: shown, not lost silently
        AppendUtf8(buffer_, 0xFFFD);
        pendingBytes_.clear();
    }
}

bool TextReader::AtEndOfStream() {
    while (pos_ >= buffer_.size()) {
        if (!Fill()) return true;
    }
    return false;
}

void TextReader::RaiseLineTooLong() const {
    throw AdoError(kDeviceIoError, "Line " + std::to_string(lineNumber_) + " of '" + path_ + "' is longer than 256 MB");
}

std::string TextReader::ReadLine() {
    if (!open_) throw AdoError(kDeviceIoError, "The file '" + path_ + "' is not open");
    if (AtEndOfStream()) throw AdoError(62, "Input past end of file");
    ++lineNumber_;
    std::string line;
    while (true) {
        size_t nl = buffer_.find('\n', pos_);
        size_t end = nl == std::string::npos ? buffer_.size() : nl;
        // One byte over the limit is kept for a CR that is no part of the line.
        const size_t n = end - pos_;
        if (n > kMaxLineBytes + 1 - line.size()) RaiseLineTooLong();
        // Doubling, but never past what the limit lets a line hold: a line at
        // the limit must not need a copy twice its size.
        if (line.size() + n > line.capacity()) {
            size_t capacity = std::max(line.size() + n, 2 * line.capacity());
            line.reserve(capacity >= kMaxLineBytes ? kMaxLineBytes + 1 : capacity);
        }
        line.append(buffer_, pos_, n);
        if (nl != std::string::npos) {
            pos_ = nl + 1;
            break;
        }
        pos_ = buffer_.size();
        if (!Fill()) break;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > kMaxLineBytes) RaiseLineTooLong();
    return line;
}

}  // namespace qarn::textfile
