// qarnSqlGenCli: the command-line host of the qarnSqlGenCntl control.  Like
// every host it loads the control library at run time and calls the control's
// members by name; it knows nothing of the control's class.
#include <QApplication>
#include <QWidget>

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "CommandLine.h"
#include "ProgressLine.h"
#include "host/ControlHost.h"
#include "ui/UserInterface.h"

namespace {

using qarn::dispatch::Value;
using qarn::host::CallResult;
using qarn::host::ControlHost;

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// The progress display of the running command, cleared before other text.
qarn::cli::ProgressLine* progressLine = nullptr;

// One line on standard error, at once: it interleaves with the library's reports.
void PrintToStderr(const std::string& text) {
    if (progressLine) progressLine->Clear();
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

void PrintError(const std::string& message) {
    PrintToStderr("qarnSqlGenCli: " + message);
}

std::string TextProperty(ControlHost& control, std::string_view name) {
    return control.Call(control.IdOf(name), qarn::dispatch::InvokeKind::PropertyGet).Text();
}

// Whether the call reached the member and the member answered True;
// otherwise prints why not: the control's ReturnMessage, or the call's error.
bool Succeeded(ControlHost& control, const CallResult& result, const std::string& member) {
    if (result.ok && result.Bool()) return true;
    std::string message = result.ok ? TextProperty(control, "ReturnMessage")
                                    : member + ": " + result.description + " (" + std::to_string(result.number) + ")";
    PrintError(message.empty() ? member + " failed" : message);
    return false;
}

// Sets the control's properties; false (and says why) when one is refused.
bool PutAll(ControlHost& control, const std::vector<std::pair<const char*, Value>>& properties) {
    for (const auto& [name, value] : properties) {
        CallResult put = control.Put(name, value);
        if (!put.ok) {
            PrintError(std::string(name) + ": " + put.description);
            return false;
        }
    }
    return true;
}

bool Generate(ControlHost& control, const qarn::cli::Options& options) {
    std::vector<std::pair<const char*, Value>> properties = {{"IncludeIdent", options.includeIdentity},
                                                             {"Terminate", options.terminate},
                                                             {"OrderByKey", options.orderByKey},
                                                             {"Verify", options.verify}};
    if (options.rowsPerInsert) properties.emplace_back("RowsPerInsert", std::stoi(*options.rowsPerInsert));
    if (options.dialect) properties.emplace_back("TargetDialect", *options.dialect);
    if (options.onDuplicate) properties.emplace_back("OnDuplicate", *options.onDuplicate);
    if (!PutAll(control, properties)) return false;
    std::string target = options.OutputTarget();
    // The control streams to a descriptor it is given as /dev/stdout.
    if (target == qarn::cli::kStandardOutput) target = "/dev/stdout";
    std::vector<Value> args{target, *options.select, options.truncate};
    return Succeeded(control, control.Call("Generate", std::move(args)), "Generate");
}

bool RunScript(ControlHost& control, const qarn::cli::Options& options) {
    std::vector<std::pair<const char*, Value>> properties = {{"SingleTransaction", options.singleTransaction},
                                                             {"StatementMode", options.StatementMode()},
                                                             {"OnError", options.onError.value_or("stop")}};
    if (options.errorLog) properties.emplace_back("ErrorLog", *options.errorLog);
    if (options.commitEvery) properties.emplace_back("CommitEvery", std::stoi(*options.commitEvery));
    if (!PutAll(control, properties)) return false;
    std::vector<Value> args{*options.script, static_cast<int32_t>(options.Mode())};
    return Succeeded(control, control.Call("RunScript", std::move(args)), "RunScript");
}

// The library's reports, printed where no progress line is in the way.
class CliUserInterface : public qarn::ConsoleUserInterface {
public:
    qarn::MsgResult MessageBox(const std::string& text, qarn::MsgIcon icon, const std::string& title,
                               qarn::MsgButtons buttons) override {
        if (progressLine) progressLine->Clear();
        return ConsoleUserInterface::MessageBox(text, icon, title, buttons);
    }
    void ShowErrorWindow(const std::string& report, const std::vector<std::string>& providerErrors) override {
        if (progressLine) progressLine->Clear();
        ConsoleUserInterface::ShowErrorWindow(report, providerErrors);
    }
};

int Execute(const qarn::cli::Options& options, char* programName) {
    // The control is a widget, so Qt needs a platform even though nothing is
    // ever shown; the minimal platform needs no display and loads the least.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "minimal");
    qarn::host::PrepareRuntimeDirectory();
    int qtArgc = 1;
    char* qtArgv[] = {programName, nullptr};
    QApplication app(qtArgc, qtArgv);

    // Declared in this order so the control goes first, then what it used.
    QWidget container;
    // Message boxes and error reports of the library are printed; questions
    // take the answer that changes nothing, as no one is there to answer.
    CliUserInterface ui;
    std::string error;
    std::unique_ptr<ControlHost> control = ControlHost::Create(qarn::dispatch::kProgId, &container, &error);
    if (!control) {
        PrintError("cannot load the control " + std::string(qarn::dispatch::kProgId) + ": " + error);
        return kExitFailure;
    }
    control->SetUserInterface(&ui);
    control->SetAmbientUserMode(true);
    // A terminal gets a line that tells how far the work is; a pipe or file
    // gets the status texts only.
    // A script streaming to the same terminal would be torn by it.
    const bool scriptOnTerminal = options.command == qarn::cli::Command::Generate &&
                                  options.OutputTarget() == qarn::cli::kStandardOutput && ::isatty(STDOUT_FILENO);
    qarn::cli::ProgressLine progress(options.command == qarn::cli::Command::Generate ? "rows" : "lines",
                                     !options.quiet && ::isatty(STDERR_FILENO) && !scriptOnTerminal);
    progressLine = &progress;
    if (!options.quiet) {
        control->OnStatusTextChanged([&control] {
            std::string status = TextProperty(*control, "StatusText");
            if (!status.empty()) PrintToStderr(status);
        });
        control->OnProgress([&control, &progress] {
            const auto count = control->Call("ProgressCount");
            const auto share = control->Call("ProgressShare");
            if (count.ok && share.ok) progress.Show(count.Int(), share.Int());
        });
    }

    std::vector<Value> connectArgs{options.connection.value_or(""), options.udlFile.value_or("")};
    bool ok = Succeeded(*control, control->Call("Connect", std::move(connectArgs)), "Connect");
    if (ok)
        ok = options.command == qarn::cli::Command::Generate ? Generate(*control, options)
                                                             : RunScript(*control, options);

    progress.Clear();
    progressLine = nullptr;
    control->Call("Disconnect", {false});
    control->SetUserInterface(nullptr);
    control.reset();
    return ok ? kExitSuccess : kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
    // A reader that goes away (| head) makes the write fail, which Generate
    // reports; the signal would end the program on the spot.
    std::signal(SIGPIPE, SIG_IGN);

    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    const qarn::cli::ParsedCommandLine parsed = qarn::cli::ParseCommandLine(args);
    if (parsed.options.help) {
        std::fputs(qarn::cli::HelpText().c_str(), stdout);
        return kExitSuccess;
    }
    if (parsed.options.version) {
        std::fputs("qarnSqlGenCli " QARN_CLI_VERSION "\n", stdout);
        return kExitSuccess;
    }
    qarn::cli::Options options = parsed.options;
    std::string error = parsed.error;
    if (error.empty() && options.connection == qarn::cli::kStandardInput) {
        // Someone at a terminal is told what is awaited.
        if (::isatty(STDIN_FILENO)) PrintToStderr("Connection string:");
        error = qarn::cli::ReadConnectionFromInput(options, stdin);
    }
    if (!error.empty()) {
        PrintError(error);
        PrintToStderr(qarn::cli::UsageSummary() + "Try 'qarnSqlGenCli --help' for more.");
        return kExitUsage;
    }
    try {
        static char fallbackName[] = "qarnSqlGenCli";
        return Execute(options, argc > 0 ? argv[0] : fallbackName);
    } catch (const std::exception& e) {
        PrintError(e.what());
    }
    return kExitFailure;
}
