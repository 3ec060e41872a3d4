#include "cli/CliSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

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

CliRun RunCliInTerminal(const std::vector<std::string>& args) {
    CliRun run;
    int master = -1, slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        ADD_FAILURE() << "no pseudo-terminal";
        return run;
    }
    std::vector<std::string> argv = {QARN_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    QProcessEnvironment bare = BareEnvironment();
    bare.insert("TMPDIR", QString::fromStdString(ChildTempDir()));
    std::vector<std::string> environment;
    for (const QString& entry : bare.toStringList()) environment.push_back(entry.toStdString());
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(slave, STDERR_FILENO);
        ::close(master);
        ::chdir(ScratchDir().c_str());
        std::vector<char*> raw, env;
        for (std::string& a : argv) raw.push_back(a.data());
        raw.push_back(nullptr);
        for (std::string& e : environment) env.push_back(e.data());
        env.push_back(nullptr);
        ::execve(raw[0], raw.data(), env.data());
        ::_exit(127);
    }
    ::close(slave);
    char buffer[4096];
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) run.err.append(buffer, static_cast<size_t>(n));
    ::close(master);
    int status = 0;
    run.finished = ::waitpid(child, &status, 0) == child;
    if (run.finished && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
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
