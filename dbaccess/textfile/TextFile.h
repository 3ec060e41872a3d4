#pragma once
// Text files of scripts and data links.  Written as UTF-8 without a
// byte-order mark with CR LF line ends, whatever the process locale, so no
// character is lost.  Read line by line: a line ends at LF and a CR before
// it is dropped; UTF-16 with a byte-order mark (Windows writes data links
// as UTF-16LE) and UTF-8 with or without a mark are decoded.  Reading takes
// time linear in the input and memory in the longest line, and works on
// anything that streams bytes (a pipe, /dev/stdin), not only regular files.
// Failures raise qarn::ado::AdoError with a file-system number.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

struct gzFile_s;

namespace qarn::textfile {

// Whether a file of this name holds gzip data: its name ends in ".gz".
bool IsCompressedName(std::string_view path);

// Whether a regular file (not a folder, device or socket) exists at `path`.
bool FileExists(const std::string& path);
// What is at a path, as far as reading it goes.  A pipe counts as a file:
// its bytes are read like a file's (`run -f <(...)`, /dev/stdin on a pipe).
enum class PathKind { Missing, Folder, Device, File };  // Device: also a socket
PathKind KindOfPath(const std::string& path);
// Removes a regular file; raises when that fails.
void DeleteFile(const std::string& path);
// The first `maxBytes` bytes of the file (all of it when shorter).
std::string ReadStart(const std::string& path, size_t maxBytes);

class TextWriter {
public:
    // Creates the file, replacing an existing one (overwrite).
    explicit TextWriter(const std::string& path);
    // Writes to a descriptor opened elsewhere, which the writer now owns,
    // gzip-compressed when `compress`; `path` names it in messages.
    TextWriter(int fd, std::string path, bool compress);
    ~TextWriter();
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;

    void WriteLine(std::string_view line);
    // Flushes and closes; raises when the data could not be written.
    // Closing twice does nothing.
    void Close();
    bool IsOpen() const { return file_ != nullptr || gz_ != nullptr; }

private:
    void Buffer();
    std::FILE* file_ = nullptr;
    gzFile_s* gz_ = nullptr;
    std::string path_;
    std::unique_ptr<char[]> buffer_;  // a large buffer: few, big writes
};

class TextReader {
public:
    // A line longer than this (decoded to UTF-8) fails the read: a file
    // without line ends must not take all the memory there is.
    static constexpr size_t kMaxLineBytes = size_t{256} << 20;

    // Content already in memory, read as a file's bytes `chunk` at a time.
    struct Bytes {
        std::string content;
        std::string name;  // for messages, in place of a path
        size_t chunk = 64 * 1024;
    };

    // Opens an existing file (or pipe or device) for reading; raises when it cannot.
    explicit TextReader(const std::string& path);
    explicit TextReader(Bytes bytes);
    ~TextReader();
    TextReader(const TextReader&) = delete;
    TextReader& operator=(const TextReader&) = delete;

    bool AtEndOfStream();
    // The next line without its line end (UTF-8).
    std::string ReadLine();
    void Close();
    // Bytes taken from the file so far (compressed bytes for a gzip file).
    int64_t BytesConsumed() const;

private:
    size_t ReadRaw(char* into, size_t size);  // the next bytes of the file or content
    bool Fill();  // reads and decodes the next chunk into buffer_, replacing what was returned
    void DecodeUtf16(std::string_view raw);
    [[noreturn]] void RaiseLineTooLong() const;

    std::FILE* file_ = nullptr;
    gzFile_s* gz_ = nullptr;  // a gzip file, read through zlib
    int64_t consumed_ = 0;
    bool open_ = false;
    std::string path_;
    Bytes memory_;
    size_t memoryPos_ = 0;
    size_t chunk_ = 64 * 1024;
    enum class Encoding { Utf8, Utf16Le, Utf16Be } encoding_ = Encoding::Utf8;
    bool started_ = false;
    std::string buffer_;        // decoded text of the current chunk
    size_t pos_ = 0;            // where in buffer_ the next line starts
    std::string pendingBytes_;  // UTF-16 bytes of an incomplete unit or pair
    bool eofRaw_ = false;
    uint64_t lineNumber_ = 0;  // lines returned so far
};

}  // namespace qarn::textfile
