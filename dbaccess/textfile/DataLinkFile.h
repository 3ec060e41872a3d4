#pragma once
// Data-link (UDL) files: a few header and comment lines and one line that
// is the connection string, usually UTF-16 with a byte-order mark.

#include <cstddef>
#include <optional>
#include <string>

namespace qarn::textfile {

// Larger files are no data link: a stray path must not be read whole.
constexpr size_t kMaxDataLinkBytes = size_t{1} << 20;

// The connection string of a data link's bytes: the first line that is
// neither a section header ("[") nor a comment (";"), or the last line when
// every line is one, without trailing CRs.  Nothing when the content is no
// data link: empty, only a byte-order mark, an empty connection line, or
// larger than kMaxDataLinkBytes.
std::optional<std::string> ConnectionLineOfDataLink(std::string bytes);

// Why nothing can be read from a data link at `path`, as the connect
// methods say it: "The specified UDL file does not exist: " or "The
// specified UDL file is not a file: " (a folder or device) and the path;
// empty when there is a file or pipe to read.
std::string DataLinkPathFault(const std::string& path);

// The connection string of the file (or pipe) at `path`; raises AdoError when it cannot
// be read.
std::optional<std::string> ReadDataLinkFile(const std::string& path);

}  // namespace qarn::textfile
