#pragma once
// Running programs as users run them, for the tests of the command-line
// host: qarnSqlGenCli and the database peers (psql, sqlite3, mariadb).

#include <QProcess>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qarn::test::cli {

struct CliRun {
    bool finished = false;  // false: still running at the time-out, killed
    int exitCode = -1;      // -1 when it did not exit normally (a crash or a kill)
    std::string out, err;
};

struct RunOptions {
    std::string workDir;                           // the scratch folder when empty
    std::string standardInput;                     // a file; no input when empty
    std::map<std::string, std::string> environment;  // added to the child's
    std::function<void(QProcess&)> whileRunning;   // called once the child has started
    bool bare = false;  // only what a bare shell has; otherwise this program's environment
};

std::string MakeFolder(const std::string& name);
// The child's temporary folder, to see that nothing is left behind in it.
const std::string& ChildTempDir();

// Runs a program (in this program's environment, or a bare shell's).
CliRun RunProgram(const std::string& program, const std::vector<std::string>& args, const RunOptions& options = {});
// qarnSqlGenCli from a bare shell: it must find the control beside itself,
// pick the offscreen platform and make its runtime folder unaided, quietly.
CliRun RunCli(const std::vector<std::string>& args, const std::string& workDir = {},
              const std::function<void(QProcess&)>& whileRunning = {});

// qarnSqlGenCli from a bare shell with its standard error on a
// pseudo-terminal (standard output and input on /dev/null); `err` holds
// what the terminal showed.
CliRun RunCliInTerminal(const std::vector<std::string>& args);

// Lines of a script as the control writes them: each ends with CR LF.
std::vector<std::string> ScriptLines(const std::string& text);
bool Contains(const std::string& text, const std::string& part);

}  // namespace qarn::test::cli
