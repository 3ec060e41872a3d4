#pragma once
// The command line of qarnSqlGenCli: what the user asked for, checked before
// anything is loaded, so a mistyped command never touches a database.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qarn::cli {

enum class Command { None, Generate, Run };

// The control's RunMode values.
enum class RunMode : int32_t { LineAtATime = 0, CompleteScript = 1 };

struct Options {
    Command command = Command::None;
    bool help = false;
    bool version = false;
    std::optional<std::string> connection;  // -c
    std::optional<std::string> udlFile;     // -u
    std::optional<std::string> select;      // -s
    std::optional<std::string> output;      // -o
    std::optional<std::string> script;      // -f
    std::optional<std::string> mode;        // --mode, as typed
    std::optional<std::string> rowsPerInsert;  // --rows-per-insert, as typed
    std::optional<std::string> dialect;        // --dialect
    std::optional<std::string> onDuplicate;    // --on-duplicate
    std::optional<std::string> onError;        // --on-error
    std::optional<std::string> errorLog;       // --error-log
    std::optional<std::string> commitEvery;    // --commit-every, as typed
    bool truncate = false;
    bool includeIdentity = false;
    bool quiet = false;
    bool singleTransaction = false;
    bool terminate = false;
    bool orderByKey = false;

    RunMode Mode() const;
    // --mode statements: the script is cut into statements as the database's client cuts it.
    bool StatementMode() const { return mode && *mode == "statements"; }
    // Where generate writes: -o, or qarnSqlGen.sql in the current folder.
    std::string OutputTarget() const;
};

struct ParsedCommandLine {
    Options options;
    std::string error;  // empty when the command line is usable (or asks for help/version)
};

// `args` are the arguments after the program name.  --help and --version
// win over any mistake elsewhere on the line.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// What "-o -" means: the script goes to standard output.
constexpr const char* kStandardOutput = "-";

std::string UsageSummary();  // the command forms, for usage errors
std::string HelpText();      // everything, for --help

}  // namespace qarn::cli
