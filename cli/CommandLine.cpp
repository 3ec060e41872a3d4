#include "CommandLine.h"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace qarn::cli {

namespace {

constexpr unsigned kGenerate = 1u << static_cast<unsigned>(Command::Generate);
constexpr unsigned kRun = 1u << static_cast<unsigned>(Command::Run);

// One option: a value option points at its text, a switch at its flag.
struct OptionSpec {
    std::string_view shortName;  // empty when there is none
    std::string_view longName;
    std::optional<std::string> Options::*value = nullptr;
    bool Options::*flag = nullptr;
    unsigned commands = 0;  // the commands it belongs to; 0: any
};

const OptionSpec kOptions[] = {
    {"-c", "--connection", &Options::connection, nullptr, kGenerate | kRun},
    {"-u", "--udl", &Options::udlFile, nullptr, kGenerate | kRun},
    {"-s", "--select", &Options::select, nullptr, kGenerate},
    {"-o", "--output", &Options::output, nullptr, kGenerate},
    {"-f", "--file", &Options::script, nullptr, kRun},
    {"", "--mode", &Options::mode, nullptr, kRun},
    {"", "--truncate", nullptr, &Options::truncate, kGenerate},
    {"", "--terminate", nullptr, &Options::terminate, kGenerate},
    {"", "--rows-per-insert", &Options::rowsPerInsert, nullptr, kGenerate},
    {"", "--dialect", &Options::dialect, nullptr, kGenerate},
    {"", "--order-by-key", nullptr, &Options::orderByKey, kGenerate},
    {"", "--on-duplicate", &Options::onDuplicate, nullptr, kGenerate},
    {"", "--include-identity", nullptr, &Options::includeIdentity, kGenerate},
    {"", "--single-transaction", nullptr, &Options::singleTransaction, kRun},
    {"", "--on-error", &Options::onError, nullptr, kRun},
    {"", "--error-log", &Options::errorLog, nullptr, kRun},
    {"", "--commit-every", &Options::commitEvery, nullptr, kRun},
    {"-q", "--quiet", nullptr, &Options::quiet, kGenerate | kRun},
    {"-h", "--help", nullptr, &Options::help, 0},
    {"", "--version", nullptr, &Options::version, 0},
};

std::string CommandName(Command c) { return c == Command::Generate ? "generate" : "run"; }

// Digits only, and few enough for an int32_t.
bool IsWholeNumber(const std::string& text) {
    return !text.empty() && text.size() <= 9 && text.find_first_not_of("0123456789") == std::string::npos;
}

const OptionSpec* FindOption(std::string_view name) {
    for (const auto& option : kOptions)
        if (name == option.longName || (!option.shortName.empty() && name == option.shortName)) return &option;
    return nullptr;
}

// Collects the first mistake; later ones are not worth a second message.
class Parser {
public:
    explicit Parser(const std::vector<std::string>& args) : args_(args) {}

    ParsedCommandLine Parse() {
        for (size_t i = 0; i < args_.size(); ++i) {
            const std::string& arg = args_[i];
            if (arg.size() < 2 || arg[0] != '-') {
                TakeWord(arg);
                continue;
            }
            // --name=value is the same as --name value.
            std::string name = arg;
            std::optional<std::string> inlineValue;
            if (size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
                name = arg.substr(0, eq);
                inlineValue = arg.substr(eq + 1);
            }
            const OptionSpec* option = FindOption(name);
            if (!option) {
                Fail("unknown option '" + name + "'");
                continue;
            }
            for (const OptionSpec* earlier : given_)
                if (earlier == option) Fail("option " + Display(*option) + " is given more than once");
            given_.push_back(option);
            if (option->flag) {
                if (inlineValue) Fail("option " + Display(*option) + " takes no value");
                result_.options.*(option->flag) = true;
            } else if (inlineValue) {
                result_.options.*(option->value) = *inlineValue;
            } else if (i + 1 < args_.size()) {
                result_.options.*(option->value) = args_[++i];
            } else {
                Fail("option " + Display(*option) + " needs a value");
            }
        }
        if (!result_.options.help && !result_.options.version) Check();
        if (result_.options.help || result_.options.version) result_.error.clear();
        return std::move(result_);
    }

private:
    static std::string Display(const OptionSpec& option) {
        return option.shortName.empty() ? std::string(option.longName)
                                       : std::string(option.shortName) + "/" + std::string(option.longName);
    }

    void Fail(const std::string& message) {
        if (result_.error.empty()) result_.error = message;
    }

    void TakeWord(const std::string& word) {
        Options& o = result_.options;
        if (o.command != Command::None) return Fail("unexpected argument '" + word + "'");
        if (word == "generate") o.command = Command::Generate;
        else if (word == "run") o.command = Command::Run;
        else Fail("unknown command '" + word + "' (expected generate or run)");
    }

    void NeedValue(const std::optional<std::string>& value, const char* what) {
        if (!value) Fail(std::string("missing ") + what);
        else if (value->empty()) Fail(std::string(what) + " is empty");
    }

    void Check() {
        Options& o = result_.options;
        if (o.command == Command::None) return Fail("no command given (expected generate or run)");
        const unsigned bit = 1u << static_cast<unsigned>(o.command);
        for (const OptionSpec* option : given_)
            if (option->commands && !(option->commands & bit))
                Fail("option " + Display(*option) + " does not apply to " + CommandName(o.command));
        if (o.connection && o.udlFile) return Fail("give either -c CONNECTION or -u UDLFILE, not both");
        if (!o.connection && !o.udlFile) return Fail("missing -c CONNECTION or -u UDLFILE");
        NeedValue(o.connection ? o.connection : o.udlFile, o.connection ? "-c CONNECTION" : "-u UDLFILE");
        if (o.command == Command::Generate) {
            NeedValue(o.select, "-s SELECT");
            if (o.output && o.output->empty()) Fail("-o FILE is empty");
            if (o.rowsPerInsert && (!IsWholeNumber(*o.rowsPerInsert) || std::stoi(*o.rowsPerInsert) < 1))
                Fail("--rows-per-insert must be a whole number from 1, not '" + *o.rowsPerInsert + "'");
            static const char* const kDialects[] = {"sqlite", "postgresql", "mysql", "mariadb", "sqlserver", "jet", "ansi"};
            if (o.dialect && std::find(std::begin(kDialects), std::end(kDialects), *o.dialect) == std::end(kDialects))
                Fail("--dialect must be sqlite, postgresql, mysql, sqlserver, jet or ansi, not '" + *o.dialect + "'");
            if (o.onDuplicate && *o.onDuplicate != "skip" && *o.onDuplicate != "update")
                Fail("--on-duplicate must be skip or update, not '" + *o.onDuplicate + "'");
        } else {
            NeedValue(o.script, "-f SCRIPT");
            if (o.mode && *o.mode != "line" && *o.mode != "complete" && *o.mode != "statements")
                Fail("--mode must be line, complete or statements, not '" + *o.mode + "'");
            if (o.onError && *o.onError != "stop" && *o.onError != "continue")
                Fail("--on-error must be stop or continue, not '" + *o.onError + "'");
            const bool goOn = o.onError && *o.onError == "continue";
            if (o.errorLog && !goOn) Fail("--error-log needs --on-error continue");
            if (o.errorLog && o.errorLog->empty()) Fail("--error-log FILE is empty");
            if (o.commitEvery && !IsWholeNumber(*o.commitEvery))
                Fail("--commit-every must be a whole number, not '" + *o.commitEvery + "'");
            if (o.singleTransaction && goOn)
                Fail("--on-error continue cannot go with --single-transaction: a run that keeps all or nothing "
                     "stops at its first failure");
            if (o.singleTransaction && o.commitEvery && IsWholeNumber(*o.commitEvery) && std::stoi(*o.commitEvery) > 0)
                Fail("--commit-every cannot go with --single-transaction: a run that keeps all or nothing commits once");
        }
    }

    const std::vector<std::string>& args_;
    std::vector<const OptionSpec*> given_;  // the options on the line, in order
    ParsedCommandLine result_;
};

}  // namespace

RunMode Options::Mode() const {
    return mode && *mode == "complete" ? RunMode::CompleteScript : RunMode::LineAtATime;
}

std::string Options::OutputTarget() const { return output.value_or("qarnSqlGen.sql"); }

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) { return Parser(args).Parse(); }

std::string UsageSummary() {
    return "Usage:\n"
           "  qarnSqlGenCli generate (-c CONNECTION | -u UDLFILE) -s SELECT [-o FILE] [--truncate]\n"
           "                         [--include-identity] [--quiet]\n"
           "  qarnSqlGenCli run (-c CONNECTION | -u UDLFILE) -f SCRIPT [--mode line|complete|statements]\n"
           "                    [--single-transaction] [--on-error stop|continue] [--error-log FILE]\n"
           "                    [--commit-every N] [--quiet]\n"
           "  qarnSqlGenCli --help | --version\n";
}

std::string HelpText() {
    return "qarnSqlGenCli turns the rows of a SELECT into a script of INSERT statements, one line\n"
           "per row, and runs SQL scripts, through the qarnSqlGenComp control.\n\n" +
           UsageSummary() +
           "\nCommands:\n"
           "  generate  write an INSERT statement for every row that SELECT returns\n"
           "  run       run the statements of a script file\n"
           "\nOptions:\n"
           "  -c, --connection CONNECTION  connection string, e.g. \"Provider=SQLite;Data Source=/data/stock.db\"\n"
           "  -u, --udl UDLFILE            data-link file holding the connection string\n"
           "  -s, --select SELECT          the SELECT whose rows are scripted\n"
           "  -o, --output FILE            the script file (default qarnSqlGen.sql in the current folder;\n"
           "                               - writes the script to standard output)\n"
           "      --truncate               begin the script by emptying the table\n"
           "      --include-identity       script auto-increment columns too\n"
           "  -f, --file SCRIPT            the script to run\n"
           "      --mode line|complete|statements\n"
           "                               run the script a line at a time (default), as one batch, or\n"
           "                               statement by statement as the database's own client cuts it\n"
           "                               (psql, mysql, sqlite3, sqlcmd: ';', DELIMITER, GO)\n"
           "      --single-transaction     run the whole script as one transaction: at the first failure\n"
           "                               nothing of it is kept\n"
           "      --on-error stop|continue at a failing statement stop (default) or go on; going on, each\n"
           "                               failure goes to the error log and the run exits 1 at its end\n"
           "      --error-log FILE         where --on-error continue logs the failures (default: the\n"
           "                               script's file name + .errors in the current folder)\n"
           "      --commit-every N         commit after every N statements; a failure keeps what was\n"
           "                               committed\n"
           "  -q, --quiet                  do not print status texts\n"
           "  -h, --help                   print this help\n"
           "      --version                print the version\n"
           "\nStatus texts and error reports go to standard error.\n"
           "Exit status: 0 success, 1 the operation failed, 2 a usage error.\n";
}

}  // namespace qarn::cli
