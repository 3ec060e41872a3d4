#include "cli/CliSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestSupport.h"

namespace qarn::test::cli {

namespace fs = std::filesystem;

std::string MakeFolder(const std::string& name) {
    std::string dir = ScratchPath(name);
    fs::create_directories(dir);
    return dir;
}

const std::string& ChildTempDir() {
    static const std::string dir = MakeFolder("tmp");
    return dir;
}

namespace {

// What a bare shell (cron, ssh host command, a fresh container) gives a
// program: a PATH and a HOME, no display, no XDG folders, no locale.  The
// sanitizers' settings are kept.
QProcessEnvironment BareEnvironment() {
    static const std::string home = MakeFolder("home");
    const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
    QProcessEnvironment env;
    env.insert("PATH", "/usr/bin:/bin");
    env.insert("HOME", QString::fromStdString(home));
    for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"})
        if (system.contains(name)) env.insert(name, system.value(name));
    return env;
}

}  // namespace

CliRun RunProgram(const std::string& program, const std::vector<std::string>& args, const RunOptions& options) {
    QProcess process;
    process.setProgram(QString::fromStdString(program));
    QStringList list;
    for (const auto& a : args) list << QString::fromStdString(a);
    process.setArguments(list);
    QProcessEnvironment env = options.bare ? BareEnvironment() : QProcessEnvironment::systemEnvironment();
    // Its own temporary folder, to see what a child leaves behind.
    env.insert("TMPDIR", QString::fromStdString(ChildTempDir()));
    for (const auto& [name, value] : options.environment)
        env.insert(QString::fromStdString(name), QString::fromStdString(value));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(QString::fromStdString(options.workDir.empty() ? ScratchDir() : options.workDir));
    process.setStandardInputFile(options.standardInput.empty() ? QProcess::nullDevice()
                                                               : QString::fromStdString(options.standardInput));
    process.start();
    CliRun run;
    const bool started = process.waitForStarted(30000);
    if (started && options.whileRunning) options.whileRunning(process);
    run.finished = started && process.waitForFinished(90000);
    if (!run.finished) {
        process.kill();
        process.waitForFinished(10000);
    }
    if (process.exitStatus() == QProcess::NormalExit) run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

CliRun RunCli(const std::vector<std::string>& args, const std::string& workDir,
              const std::function<void(QProcess&)>& whileRunning) {
    return RunProgram(QARN_CLI_PATH, args, {workDir, {}, {}, whileRunning, true});
}

CliRun RunCliWithInput(const std::vector<std::string>& args, const std::string& input) {
    const std::string file = ScratchPath("input");
    WriteBytes(file, input);
    return RunProgram(QARN_CLI_PATH, args, {{}, file, {}, {}, true});
}

CliRun PostgresTool(const std::string& tool, std::vector<std::string> args) {
    const ServerFacts f = PostgresServer();
    args.insert(args.begin(), {"-h", f.host, "-p", f.port, "-U", f.user});
    return RunProgram(tool, args, {{}, {}, {{"PGPASSWORD", f.password}}, {}});
}

CliRun MariaDbTool(const std::string& tool, std::vector<std::string> args, const std::string& input) {
    const ServerFacts f = MariaDbServer();
    args.insert(args.begin(), {"--no-defaults", "-h", f.host, "-P", f.port, "-u", f.user, "-p" + f.password});
    return RunProgram(tool, args, {{}, input, {}, {}});
}

// util-linux's script gives the command a terminal and copies what it shows.
CliRun RunCliInTerminal(const std::vector<std::string>& args) {
    auto quoted = [](const std::string& word) {
        std::string q = "'";
        for (char c : word) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return q + "'";
    };
    std::string command = "exec " + quoted(QARN_CLI_PATH);
    for (const std::string& a : args) command += " " + quoted(a);
    CliRun run =
        RunProgram("script", {"-qec", command + " </dev/null >/dev/null", "/dev/null"}, {{}, {}, {}, {}, true});
    run.err = std::move(run.out);
    run.out.clear();
    return run;
}

std::vector<std::string> ScriptLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text after the last line end";
    return lines;
}

}  // namespace qarn::test::cli
