#pragma once
// The command line of qarnSqlGenCli: what the user asked for, checked before
// anything is loaded, so a mistyped command never touches a database.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qarn::cli {

enum class Command { None, Generate, Run };

// The control's RunMode values.
enum class RunMode : int32_t { LineAtATime = 0, CompleteScript = 1 };

struct Options {
    Command command = Command::None;
    bool help = false;
    bool version = false;
    std::optional<std::string> connection;     // -c
    std::optional<std::string> udlFile;        // -u
    std::optional<std::string> select;         // -s
    std::optional<std::string> output;         // -o
    std::optional<std::string> script;         // -f
    std::optional<std::string> mode;           // --mode, as typed
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
    bool verify = false;

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
// What "-c -" means: the connection string is the first line of standard
// input, where no process list shows its password.
constexpr const char* kStandardInput = "-";

// Replaces a "-c -" by the first line of `input`, its line end trimmed.
// Returns the usage error (no line, an empty or overlong one), or "" when
// there is nothing to read or it was read.
std::string ReadConnectionFromInput(Options& options, std::FILE* input);

// The names of every option the parser knows, for those who document them.
struct OptionName {
    std::string_view shortName;  // empty when there is none
    std::string_view longName;
};
std::vector<OptionName> KnownOptions();

std::string UsageSummary();  // the command forms, for usage errors
std::string HelpText();      // everything, for --help

}  // namespace qarn::cli
