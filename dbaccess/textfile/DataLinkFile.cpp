#include "textfile/DataLinkFile.h"

#include "textfile/TextFile.h"

namespace qarn::textfile {

std::optional<std::string> ConnectionLineOfDataLink(std::string bytes) {
    if (bytes.size() > kMaxDataLinkBytes) return std::nullopt;
    TextReader reader(TextReader::Bytes{std::move(bytes), "data link"});
    std::optional<std::string> line;
    while (!reader.AtEndOfStream()) {
        line = reader.ReadLine();
        if (!line->starts_with(';') && !line->starts_with('[')) break;
    }
    // A line ending in CR CR LF keeps a CR the reader leaves in; no
    // connection string ends in one.
    while (line && line->ends_with('\r')) line->pop_back();
    if (!line || line->empty()) return std::nullopt;
    return line;
}

std::string DataLinkPathFault(const std::string& path) {
    switch (KindOfPath(path)) {
        case PathKind::Missing: return "The specified UDL file does not exist: " + path;
        case PathKind::Folder:
        case PathKind::Device: return "The specified UDL file is not a file: " + path;
        case PathKind::File: break;
    }
    return {};
}

std::optional<std::string> ReadDataLinkFile(const std::string& path) {
    // One byte more than the limit tells a file that is too large.
    return ConnectionLineOfDataLink(ReadStart(path, kMaxDataLinkBytes + 1));
}

}  // namespace qarn::textfile
