#include "CommandLine.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
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
    {"", "--verify", nullptr, &Options::verify, kGenerate},
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

std::string CommandName(Command c) {
    return c == Command::Generate ? "generate" : "run";
}

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
        if (word == "generate")
            o.command = Command::Generate;
        else if (word == "run")
            o.command = Command::Run;
        else
            Fail("unknown command '" + word + "' (expected generate or run)");
    }

    void NeedValue(const std::optional<std::string>& value, const char* what) {
        if (!value)
            Fail(std::string("missing ") + what);
        else if (value->empty())
            Fail(std::string(what) + " is empty");
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
            static const char* const kDialects[] = {"sqlite",    "postgresql", "mysql", "mariadb",
                                                    "sqlserver", "jet",        "ansi"};
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
                Fail(
                    "--on-error continue cannot go with --single-transaction: a run that keeps all or nothing "
                    "stops at its first failure");
            if (o.singleTransaction && o.commitEvery && IsWholeNumber(*o.commitEvery) && std::stoi(*o.commitEvery) > 0)
                Fail(
                    "--commit-every cannot go with --single-transaction: a run that keeps all or nothing commits once");
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

std::string Options::OutputTarget() const {
    return output.value_or("qarnSqlGen.sql");
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    return Parser(args).Parse();
}

std::string ReadConnectionFromInput(Options& options, std::FILE* input) {
    if (!options.connection || *options.connection != kStandardInput) return {};
    // As much as a data-link file may hold; anything longer is no connection string.
    constexpr size_t kMaxBytes = size_t{1} << 20;
    std::string line;
    int c;
    while ((c = std::fgetc(input)) != EOF && c != '\n') {
        if (line.size() == kMaxBytes) return "-c -: the first line of standard input is longer than 1 MiB";
        line += static_cast<char>(c);
    }
    if (std::ferror(input)) return std::string("-c -: cannot read standard input: ") + std::strerror(errno);
    while (!line.empty() && line.back() == '\r') line.pop_back();
    // Editors on Windows begin a UTF-8 file with a byte-order mark.
    if (line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
    if (line.find_first_not_of(" \t") == std::string::npos)
        return "-c -: the first line of standard input holds no connection string";
    options.connection = std::move(line);
    return {};
}

std::vector<OptionName> KnownOptions() {
    std::vector<OptionName> names;
    for (const auto& option : kOptions) names.push_back({option.shortName, option.longName});
    return names;
}

std::string UsageSummary() {
    return "Usage:\n"
           "  qarnSqlGenCli generate (-c CONNECTION | -c - | -u UDLFILE) -s SELECT\n"
           "                         [-o FILE] [OPTION...]\n"
           "  qarnSqlGenCli run (-c CONNECTION | -c - | -u UDLFILE) -f SCRIPT [OPTION...]\n"
           "  qarnSqlGenCli --help | --version\n";
}

// One entry per option: its names, what it does, then at least one example
// command.  An option is added by adding its entry to its command's list.
std::string HelpText() {
    return "qarnSqlGenCli turns the rows of a SELECT into a script of INSERT statements,\n"
           "one line per row, and runs SQL scripts, through the qarnSqlGenComp control.\n\n" +
           UsageSummary() +
           "\nBoth commands:\n"
           "  -c, --connection CONNECTION\n"
           "      The connection string. With - it is read from the first line of standard\n"
           "      input, so no process list shows its password.\n"
           "      qarnSqlGenCli generate -c \"Provider=SQLite;Data Source=/data/shop.db\" \\\n"
           "          -s \"SELECT * FROM items\"\n"
           "      qarnSqlGenCli generate -c - -s \"SELECT * FROM items\" < ~/.shop-connection\n"
           "  -u, --udl UDLFILE\n"
           "      A data-link file holding the connection string (keep it chmod 600).\n"
           "      qarnSqlGenCli generate -u shop.udl -s \"SELECT * FROM items\"\n"
           "  -q, --quiet\n"
           "      Print no status texts; failures are still reported.\n"
           "      qarnSqlGenCli run -u shop.udl -f items.sql -q\n"
           "\ngenerate: write an INSERT statement for every row that SELECT returns\n"
           "  -s, --select SELECT\n"
           "      The SELECT whose rows are scripted; the table is the first after its FROM.\n"
           "      qarnSqlGenCli generate -u shop.udl -s \"SELECT * FROM items WHERE price > 10\"\n"
           "  -o, --output FILE\n"
           "      The script file (default qarnSqlGen.sql in the current folder); - writes\n"
           "      the script to standard output.\n"
           "      qarnSqlGenCli generate -u shop.udl -s \"SELECT * FROM items\" -o items.sql\n"
           "      qarnSqlGenCli generate -u shop.udl -s \"SELECT * FROM items\" -o - \\\n"
           "          | gzip > items.sql.gz\n"
           "  --truncate\n"
           "      Begin the script by emptying the table (DELETE FROM or TRUNCATE TABLE).\n"
           "      qarnSqlGenCli generate -u shop.udl -s \"SELECT * FROM items\" --truncate\n"
           "  --include-identity\n"
           "      Script auto-increment (identity) columns too.\n"
           "      qarnSqlGenCli generate -u shop.udl -s \"SELECT * FROM items\" --include-identity\n"
           "  --terminate\n"
           "      End every statement with ;, as psql, mariadb and sqlite3 want.\n"
           "      qarnSqlGenCli generate -u shop.udl -s \"SELECT * FROM items\" --terminate\n"
           "  --rows-per-insert N\n"
           "      Put up to N rows in one INSERT (default 1; not on Jet, at most 1000 on\n"
           "      SQL Server).\n"
           "      qarnSqlGenCli generate -u shop.udl -s \"SELECT * FROM items\" --rows-per-insert 500\n"
           "  --dialect sqlite|postgresql|mysql|sqlserver|jet|ansi\n"
           "      Write for this kind of database (mariadb is mysql) instead of the one\n"
           "      read from.\n"
           "      qarnSqlGenCli generate -u shop.udl -s \"SELECT * FROM items\" --dialect postgresql\n"
           "  --order-by-key\n"
           "      Order the rows by the primary key (or every column) when the SELECT has\n"
           "      no ORDER BY, so two scripts of a table compare line by line.\n"
           "      qarnSqlGenCli generate -u shop.udl -s \"SELECT * FROM items\" --order-by-key\n"
           "  --verify\n"
           "      Prove the script before handing it over: its INSERTs are replayed into a\n"
           "      temporary table in a transaction that is rolled back, and must give back\n"
           "      the SELECT's rows; otherwise Generate fails and leaves no script.\n"
           "      qarnSqlGenCli generate -u shop.udl -s \"SELECT * FROM items\" --verify -o items.sql\n"
           "  --on-duplicate skip|update\n"
           "      A row whose primary key is already in the table is skipped or updated\n"
           "      (PostgreSQL, MariaDB/MySQL and SQLite).\n"
           "      qarnSqlGenCli generate -u shop.udl -s \"SELECT * FROM items\" --on-duplicate update\n"
           "\nrun: run the statements of a script file\n"
           "  -f, --file SCRIPT\n"
           "      The script to run.\n"
           "      qarnSqlGenCli run -u shop.udl -f items.sql\n"
           "  --mode line|complete|statements\n"
           "      line (default): every non-blank line is one statement; complete: the\n"
           "      whole script goes to the database as one batch; statements: statement by\n"
           "      statement as the database's own client cuts them (';', DELIMITER, GO).\n"
           "      qarnSqlGenCli run -u shop.udl -f schema.sql --mode complete\n"
           "      qarnSqlGenCli run -u shop.udl -f dump.sql --mode statements\n"
           "  --single-transaction\n"
           "      Run the whole script as one transaction: at the first failure nothing of\n"
           "      it is kept.\n"
           "      qarnSqlGenCli run -u shop.udl -f items.sql --single-transaction\n"
           "  --on-error stop|continue\n"
           "      At a failing statement stop (default) or go on: each failure goes to the\n"
           "      error log, and the run ends with exit 1 and \"n of m statements failed\".\n"
           "      qarnSqlGenCli run -u shop.udl -f dump.sql --mode statements --on-error continue\n"
           "  --error-log FILE\n"
           "      Where --on-error continue logs the failures (default: the script's file\n"
           "      name + .errors in the current folder).\n"
           "      qarnSqlGenCli run -u shop.udl -f dump.sql --on-error continue --error-log dump.errors\n"
           "  --commit-every N\n"
           "      Commit after every N statements: a failure keeps what was committed and\n"
           "      names the first statement that was not.\n"
           "      qarnSqlGenCli run -u shop.udl -f big.sql --mode statements --commit-every 10000\n"
           "\nOther:\n"
           "  -h, --help\n"
           "      Print this help.\n"
           "      qarnSqlGenCli --help\n"
           "  --version\n"
           "      Print the version.\n"
           "      qarnSqlGenCli --version\n"
           "\nStatus texts and error reports go to standard error. Exit status: 0 success,\n"
           "1 the operation failed, 2 a usage error. See also: man qarnSqlGenCli.\n";
}

}  // namespace qarn::cli
