#pragma once
// What the database tests share beyond TestDatabase.h: the servers that
// scripts/test started (ports from the environment), the Access sample
// file, and a user interface that records what would have been shown.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ado/Connection.h"
#include "sql/Dialect.h"
#include "support/TestDatabase.h"
#include "ui/UserInterface.h"

namespace qarn::test {

// A pipe holding `bytes` (at most 64 KiB) and no writer, reached through
// its /dev/fd path, as a shell's <(...) hands it over.
class PipeFile {
public:
    explicit PipeFile(const std::string& bytes);
    ~PipeFile();
    PipeFile(const PipeFile&) = delete;
    PipeFile& operator=(const PipeFile&) = delete;
    const std::string& path() const { return path_; }

private:
    int readEnd_ = -1;
    std::string path_;
};

// Server connection facts; empty when the environment does not name a server.
struct ServerFacts {
    std::string host, port, database, user, password;
    bool present() const { return !port.empty(); }
};
ServerFacts PostgresServer();  // QARN_PG_HOST/PORT/DB/USER/PASSWORD
ServerFacts MariaDbServer();   // QARN_MY_HOST/PORT/DB/USER/PASSWORD

// Connection strings in each provider form, to the server of `f`.
std::string ProviderString(const char* provider, const ServerFacts& f);  // Provider=provider;...
std::string OdbcString(const char* driver, const ServerFacts& f);        // Driver={driver};...
std::string PostgresProviderString();                                    // Provider=PostgreSQL;...
std::string PostgresOdbcString();                                        // Driver={PostgreSQL Unicode};...
std::string MariaDbProviderString();                                     // Provider=MariaDB;...
std::string MariaDbOdbcString();                                         // Driver={MariaDB Unicode};...
// Every way the system reaches one of our database servers: each server
// through its provider form and through a plain ODBC string.  Tests of a
// rule that holds on every path are parameterised over these.
struct ServerPath {
    std::string name;  // for test names: letters and digits only
    sql::Dialect dialect;
    std::string (*connection)();
    ServerFacts (*facts)();
};
const std::vector<ServerPath>& ServerPaths();
// SQLite (a new file for every connection string asked for), then ServerPaths().
const std::vector<ServerPath>& DatabasePaths();
std::string ServerPathName(const ::testing::TestParamInfo<ServerPath>& info);
inline void PrintTo(const ServerPath& path, std::ostream* os) {
    *os << path.name;
}

// The Access file shipped by fp-units-db, unpacked into the scratch folder;
// empty when it is not installed.
std::string AccessSampleFile();

// Opens a connection through the ADO layer; fails the test when it cannot.
std::shared_ptr<ado::Connection> OpenConnection(const std::string& connectionString);
// Runs SQL text (one statement) on an open connection.
void Exec(const std::shared_ptr<ado::Connection>& c, const std::string& sql);

// A missing server is a failure, never a skip.
#define QARN_REQUIRE_SERVER(facts)                                                          \
    do {                                                                                    \
        if (!(facts).present()) {                                                           \
            FAIL() << "database server not configured: run the tests through scripts/test"; \
        }                                                                                   \
    } while (0)

// Records every message box and error window; answers message boxes with
// the queued answers (Ok when none is queued).
class RecordingUserInterface : public UserInterface {
public:
    struct Shown {
        std::string kind;  // "message" or "error-window"
        std::string text;
        MsgIcon icon = MsgIcon::None;
        std::string title;
        std::vector<std::string> providerErrors;
    };
    RecordingUserInterface() { SetUserInterface(this); }
    ~RecordingUserInterface() override { SetUserInterface(nullptr); }

    MsgResult MessageBox(const std::string& text, MsgIcon icon, const std::string& title, MsgButtons buttons) override;
    void ShowErrorWindow(const std::string& report, const std::vector<std::string>& providerErrors) override;
    void RestorePointer() override { ++pointerRestores; }
    void EnableActiveWindow() override { ++windowEnables; }

    std::vector<Shown> shown;
    std::vector<MsgResult> answers;
    int pointerRestores = 0;
    int windowEnables = 0;
};

}  // namespace qarn::test
