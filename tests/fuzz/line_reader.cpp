// Script files line by line: the same bytes give the same lines whether
// they come in chunks of any size or from a file.  The first byte picks the
// chunk size, so chunk edges fall everywhere in small inputs.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "textfile/TextFile.h"

using qarn::textfile::TextReader;

namespace {
std::vector<std::string> Lines(TextReader& reader) {
    std::vector<std::string> lines;
    while (!reader.AtEndOfStream()) lines.push_back(reader.ReadLine());
    return lines;
}

// The bytes as a file: a memory file reached through its /proc path.
std::vector<std::string> LinesOfFile(const std::string& bytes) {
    static const int fd = memfd_create("script", 0);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(ftruncate(fd, 0) == 0);
    FUZZ_CHECK(pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()));
    TextReader reader("/proc/self/fd/" + std::to_string(fd));
    return Lines(reader);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t chunk = 1 + data[0] % 16;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    TextReader chunked(TextReader::Bytes{bytes, "fuzz", chunk});
    const auto lines = Lines(chunked);
    TextReader whole(TextReader::Bytes{bytes, "fuzz", bytes.size() + 1});
    FUZZ_CHECK(Lines(whole) == lines);
    FUZZ_CHECK(LinesOfFile(bytes) == lines);
    for (const auto& line : lines) FUZZ_CHECK(line.find('\n') == std::string::npos);
    return 0;
}
