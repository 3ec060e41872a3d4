#include "textfile/TextFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "ado/AdoError.h"

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

constexpr size_t kChunk = 64 * 1024;
}  // namespace

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void DeleteFile(const std::string& path) {
    if (!FileExists(path)) RaiseFileError(ENOENT, "Cannot delete", path);
    if (std::remove(path.c_str()) != 0) RaiseFileError(errno, "Cannot delete", path);
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
    constexpr size_t kBufferSize = 1 << 20;
    buffer_ = std::make_unique<char[]>(kBufferSize);
    std::setvbuf(file_, buffer_.get(), _IOFBF, kBufferSize);
}

TextWriter::TextWriter(std::FILE* file, std::string path) : file_(file), path_(std::move(path)) { Buffer(); }

TextWriter::~TextWriter() {
    if (file_) std::fclose(file_);
}

void TextWriter::WriteLine(std::string_view line) {
    if (!file_) throw AdoError(kDeviceIoError, "The file '" + path_ + "' is not open");
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() || std::fwrite("\r\n", 1, 2, file_) != 2)
        RaiseFileError(errno, "Cannot write", path_);
}

void TextWriter::Close() {
    if (!file_) return;
    std::FILE* f = file_;
    file_ = nullptr;
    bool failed = std::ferror(f) != 0;
    int closeResult = std::fclose(f);
    if (failed || closeResult != 0) RaiseFileError(errno ? errno : EIO, "Cannot write", path_);
}

TextReader::TextReader(const std::string& path) : path_(path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) RaiseFileError(errno, "Cannot open", path);
    if (!S_ISREG(st.st_mode)) RaiseFileError(EISDIR, "Cannot open", path);
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) RaiseFileError(errno, "Cannot open", path);
}

TextReader::~TextReader() {
    if (file_) std::fclose(file_);
}

void TextReader::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    buffer_.clear();
    pos_ = 0;
    eofRaw_ = true;
}

// Reads the next chunk of the file and appends its text to buffer_.
bool TextReader::Fill() {
    if (!file_ || eofRaw_) return false;
    std::string raw(kChunk, '\0');
    size_t n = std::fread(raw.data(), 1, raw.size(), file_);
    if (n < raw.size()) {
        if (std::ferror(file_)) RaiseFileError(errno ? errno : EIO, "Cannot read", path_);
        eofRaw_ = true;
    }
    raw.resize(n);
    if (!started_) {
        started_ = true;
        if (raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0xFF && static_cast<unsigned char>(raw[1]) == 0xFE) {
            utf16_ = true;
            raw.erase(0, 2);
        } else if (raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            raw.erase(0, 3);
        }
    }
    if (pos_ > 0) {
        buffer_.erase(0, pos_);
        pos_ = 0;
    }
    if (!utf16_) {
        buffer_ += raw;
        return n > 0;
    }
    std::string bytes = pendingBytes_ + raw;
    size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        uint32_t unit = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 3 >= bytes.size()) {
                if (!eofRaw_) break;  // the low half arrives with the next chunk
                AppendUtf8(buffer_, 0xFFFD);
                continue;
            }
            uint32_t low = static_cast<unsigned char>(bytes[i + 2]) | (static_cast<unsigned char>(bytes[i + 3]) << 8);
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
    return n > 0;
}

bool TextReader::AtEndOfStream() {
    while (pos_ >= buffer_.size()) {
        if (!Fill()) return pos_ >= buffer_.size();
    }
    return false;
}

std::string TextReader::ReadLine() {
    if (!file_) throw AdoError(kDeviceIoError, "The file '" + path_ + "' is not open");
    size_t nl;
    while ((nl = buffer_.find('\n', pos_)) == std::string::npos) {
        if (!Fill()) break;
    }
    if (pos_ >= buffer_.size() && nl == std::string::npos)
        throw AdoError(62, "Input past end of file");
    size_t end = nl == std::string::npos ? buffer_.size() : nl;
    size_t lineEnd = end;
    if (lineEnd > pos_ && buffer_[lineEnd - 1] == '\r') --lineEnd;
    std::string line = buffer_.substr(pos_, lineEnd - pos_);
    pos_ = nl == std::string::npos ? buffer_.size() : nl + 1;
    return line;
}

}  // namespace qarn::textfile
