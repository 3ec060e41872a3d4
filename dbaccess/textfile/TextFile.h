#pragma once
// Text files of scripts and data links.  Written as UTF-8 without a
// byte-order mark with CR LF line ends, whatever the process locale, so no
// character is lost.  Read line by line: a line ends at LF and a CR before
// it is dropped; a UTF-16LE file with a byte-order mark (as Windows writes
// data links) and UTF-8 with or without a mark are decoded.
// Failures raise qarn::ado::AdoError with a file-system number.

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace qarn::textfile {

// Whether a regular file (not a folder, device or socket) exists at `path`.
bool FileExists(const std::string& path);
// Removes a regular file; raises when that fails.
void DeleteFile(const std::string& path);

class TextWriter {
public:
    // Creates the file, replacing an existing one (overwrite).
    explicit TextWriter(const std::string& path);
    // Writes to a file opened elsewhere, which the writer now owns; `path`
    // names it in messages.
    TextWriter(std::FILE* file, std::string path);
    ~TextWriter();
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;

    void WriteLine(std::string_view line);
    // Flushes and closes; raises when the data could not be written.
    // Closing twice does nothing.
    void Close();
    bool IsOpen() const { return file_ != nullptr; }

private:
    void Buffer();
    std::FILE* file_ = nullptr;
    std::string path_;
    std::unique_ptr<char[]> buffer_;  // a large buffer: few, big writes
};

class TextReader {
public:
    // Opens an existing file for reading; raises when it cannot.
    explicit TextReader(const std::string& path);
    ~TextReader();
    TextReader(const TextReader&) = delete;
    TextReader& operator=(const TextReader&) = delete;

    bool AtEndOfStream();
    // The next line without its line end (UTF-8).
    std::string ReadLine();
    void Close();

private:
    bool Fill();  // reads and decodes more of the file into buffer_
    std::FILE* file_ = nullptr;
    std::string path_;
    bool utf16_ = false;
    bool started_ = false;
    std::string buffer_;  // decoded text not yet returned
    size_t pos_ = 0;
    std::string pendingBytes_;  // UTF-16 bytes of an incomplete unit or pair
    bool eofRaw_ = false;
};

}  // namespace qarn::textfile
