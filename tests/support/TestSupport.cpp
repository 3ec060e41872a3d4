#include "support/TestSupport.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "ado/Command.h"

namespace qarn::test {
namespace fs = std::filesystem;

namespace {
std::string Env(const char* name, const char* fallback = "") {
    const char* v = std::getenv(name);
    return v && *v ? v : fallback;
}

ServerFacts FactsFrom(const std::string& prefix) {
    ServerFacts f;
    f.host = Env((prefix + "_HOST").c_str(), "127.0.0.1");
    f.port = Env((prefix + "_PORT").c_str());
    f.database = Env((prefix + "_DB").c_str(), "qarn");
    f.user = Env((prefix + "_USER").c_str(), "qarn");
    f.password = Env((prefix + "_PASSWORD").c_str(), "qarn");
    return f;
}
}  // namespace

PipeFile::PipeFile(const std::string& bytes) {
    int ends[2];
    if (::pipe(ends) != 0) std::abort();
    // Fits the pipe's buffer, so it is written at once; the closed write end lets the reader see the end.
    if (bytes.size() > 65536 || ::write(ends[1], bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        std::abort();
    ::close(ends[1]);
    readEnd_ = ends[0];
    path_ = "/dev/fd/" + std::to_string(readEnd_);
}

PipeFile::~PipeFile() {
    ::close(readEnd_);
}

ServerFacts PostgresServer() {
    return FactsFrom("QARN_PG");
}
ServerFacts MariaDbServer() {
    return FactsFrom("QARN_MY");
}

std::string ProviderString(const char* provider, const ServerFacts& f) {
    return std::string("Provider=") + provider + ";Data Source=" + f.host + ";Port=" + f.port +
           ";Initial Catalog=" + f.database + ";User ID=" + f.user + ";Password=" + f.password;
}
std::string OdbcString(const char* driver, const ServerFacts& f) {
    return std::string("Driver={") + driver + "};Server=" + f.host + ";Port=" + f.port + ";Database=" + f.database +
           ";UID=" + f.user + ";PWD=" + f.password;
}

std::string PostgresProviderString() {
    return ProviderString("PostgreSQL", PostgresServer());
}
std::string PostgresOdbcString() {
    return OdbcString("PostgreSQL Unicode", PostgresServer());
}
std::string MariaDbProviderString() {
    return ProviderString("MariaDB", MariaDbServer());
}
std::string MariaDbOdbcString() {
    return OdbcString("MariaDB Unicode", MariaDbServer());
}

const std::vector<ServerPath>& ServerPaths() {
    static const std::vector<ServerPath> paths = {
        {"PostgreSqlProvider", sql::Dialect::PostgreSql, PostgresProviderString, PostgresServer},
        {"PostgreSqlOdbc", sql::Dialect::PostgreSql, PostgresOdbcString, PostgresServer},
        {"MariaDbProvider", sql::Dialect::MySql, MariaDbProviderString, MariaDbServer},
        {"MariaDbOdbc", sql::Dialect::MySql, MariaDbOdbcString, MariaDbServer},
    };
    return paths;
}

const std::vector<ServerPath>& DatabasePaths() {
    static const std::vector<ServerPath> paths = [] {
        std::vector<ServerPath> all = {
            {"Sqlite", sql::Dialect::Sqlite,
             [] { return "Provider=SQLite;Data Source=" + MakeSqliteDatabase("PRAGMA user_version = 1;"); },
             [] {
                 return ServerFacts{"", "file", "", "", ""};
             }}};
        all.insert(all.end(), ServerPaths().begin(), ServerPaths().end());
        return all;
    }();
    return paths;
}

std::string ServerPathName(const ::testing::TestParamInfo<ServerPath>& info) {
    return info.param.name;
}

std::string AccessSampleFile() {
    static std::string path = [] {
        const std::string gz = "/usr/share/doc/fp-units-db/3.2.2/examples/odbc/testodbc.mdb.gz";
        if (!fs::exists(gz)) return std::string();
        std::string out = ScratchDir() + "/testodbc.mdb";
        std::string cmd = "gzip -dc '" + gz + "' > '" + out + "'";
        if (std::system(cmd.c_str()) != 0) return std::string();
        return out;
    }();
    return path;
}

std::shared_ptr<ado::Connection> OpenConnection(const std::string& connectionString) {
    auto c = ado::Connection::Create();
    c->SetConnectionString(connectionString);
    try {
        c->Open();
    } catch (const ado::AdoError& e) {
        ADD_FAILURE() << "cannot open " << connectionString << ": " << e.Description();
    }
    return c;
}

void Exec(const std::shared_ptr<ado::Connection>& c, const std::string& sql) {
    auto cmd = ado::Command::Create();
    cmd->SetActiveConnection(c);
    cmd->SetCommandText(sql);
    cmd->Execute();
}

MsgResult RecordingUserInterface::MessageBox(const std::string& text, MsgIcon icon, const std::string& title,
                                             MsgButtons) {
    shown.push_back({"message", text, icon, title, {}});
    if (answers.empty()) return MsgResult::Ok;
    MsgResult r = answers.front();
    answers.erase(answers.begin());
    return r;
}

void RecordingUserInterface::ShowErrorWindow(const std::string& report,
                                             const std::vector<std::string>& providerErrors) {
    shown.push_back({"error-window", report, MsgIcon::Critical, "Error", providerErrors});
}

}  // namespace qarn::test
