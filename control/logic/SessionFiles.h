#pragma once
// Which of the session's own files a path names, so that nothing the
// control writes (a script, an error log) lands on what it reads.

#include <string>

namespace qarn::control {

enum class SessionFile { None, Udl, Database };

// The UDL file in use, a file of the open database, or neither; the same
// file through any link counts.
SessionFile SessionFileAt(const std::string& path);

}  // namespace qarn::control
