#pragma once
// Running programs as users run them, for the tests of the command-line
// host: qarnSqlGenCli and the database peers (psql, sqlite3, mariadb).

#include <QProcess>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/TestDatabase.h"

namespace qarn::test::cli {

struct CliRun {
    bool finished = false;  // false: still running at the time-out, killed
    int exitCode = -1;      // -1 when it did not exit normally (a crash or a kill)
    std::string out, err;
};

struct RunOptions {
    std::string workDir;                             // the scratch folder when empty
    std::string standardInput;                       // a file; no input when empty
    std::map<std::string, std::string> environment;  // added to the child's
    std::function<void(QProcess&)> whileRunning;     // called once the child has started
    bool bare = false;                               // only what a bare shell has; otherwise this program's environment
};

std::string MakeFolder(const std::string& name);
// The child's temporary folder, to see that nothing is left behind in it.
const std::string& ChildTempDir();

CliRun RunProgram(const std::string& program, const std::vector<std::string>& args, const RunOptions& options = {});
// qarnSqlGenCli from a bare shell: it must find the control beside itself,
// pick the offscreen platform and make its runtime folder unaided, quietly.
CliRun RunCli(const std::vector<std::string>& args, const std::string& workDir = {},
              const std::function<void(QProcess&)>& whileRunning = {});
// The same with `input` as its standard input.
CliRun RunCliWithInput(const std::vector<std::string>& args, const std::string& input);
// The same with its standard error on a terminal (standard output and input
// on /dev/null); `err` holds what the terminal showed.
CliRun RunCliInTerminal(const std::vector<std::string>& args);

// The servers' own tools (psql, pg_dump; mariadb, mysqldump), logged in as
// the tests' user, with `input` (a file) as standard input.
CliRun PostgresTool(const std::string& tool, std::vector<std::string> args);
CliRun MariaDbTool(const std::string& tool, std::vector<std::string> args, const std::string& input = {});

// Lines of a script as the control writes them: each ends with CR LF.
std::vector<std::string> ScriptLines(const std::string& text);
inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace qarn::test::cli
