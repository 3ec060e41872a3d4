#pragma once
// What the engine tests share: the engine a connection string opens, rows
// read whole, readable values in failure messages, the error an action
// raises, dates, and a port nobody serves.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "ado/AdoError.h"
#include "ado/DataTypes.h"
#include "ado/Engine.h"
#include "ado/ProviderTable.h"
#include "mariadb/MariaDbEngine.h"
#include "odbc/OdbcEngine.h"
#include "postgres/PgEngine.h"
#include "sqlite/SqliteEngine.h"
#include "support/TestSupport.h"

namespace qarn::ado {

inline void PrintTo(const Variant& v, std::ostream* os) {
    *os << "kind " << static_cast<int>(v.Kind()) << " '" << v.ToText() << "'";
}

namespace testing_engine {
using ::testing::HasSubstr;
using Rows = std::vector<std::vector<Variant>>;

// The engine a connection string opens, as Connection::Open picks it.
inline std::shared_ptr<EngineConnection> OpenEngine(const std::string& connectionString) {
    const ProviderRoute route = RouteConnectionString(connectionString);
    switch (route.engine) {
        case ProviderRoute::Engine::Sqlite: return OpenSqlite(route.target);
        case ProviderRoute::Engine::Postgres: return OpenPostgres(route.target);
        case ProviderRoute::Engine::MariaDb: return OpenMariaDb(route.target);
        case ProviderRoute::Engine::Odbc: break;
    }
    return OpenOdbc(route.target);
}

inline Rows ReadAll(EngineCursor& cursor) {
    Rows rows;
    std::vector<Variant> row;
    while (cursor.Fetch(row)) rows.push_back(row);
    return rows;
}

inline Rows Query(EngineConnection& c, const std::string& sql) {
    ExecuteResult r = c.Execute(sql, -1);
    if (!r.cursor) ADD_FAILURE() << "no rows from " << sql;
    return r.cursor ? ReadAll(*r.cursor) : Rows{};
}

inline Variant Scalar(EngineConnection& c, const std::string& sql) {
    Rows rows = Query(c, sql);
    if (rows.size() != 1 || rows[0].empty()) ADD_FAILURE() << rows.size() << " rows from " << sql;
    return rows.empty() || rows[0].empty() ? Variant() : rows[0][0];
}

// The error `action` raises; a failure of the test when it raises none.
inline AdoError Raised(const std::function<void()>& action) {
    try {
        action();
    } catch (const AdoError& e) {
        return e;
    }
    ADD_FAILURE() << "no error raised";
    return AdoError(0, "none");
}

// A provider error, whose description is its first record's.
inline AdoError ProviderFailure(const std::function<void()>& action) {
    AdoError e = Raised(action);
    EXPECT_EQ(e.Number(), err::ProviderFailure) << e.Description();
    EXPECT_FALSE(e.Records().empty()) << e.Description();
    if (!e.Records().empty()) {
        EXPECT_EQ(e.Records()[0].Description, e.Description());
    }
    return e;
}

// One parameter of a routine: as the engine reads it, the value given and
// the value expected back (Empty: none given, none checked).
struct Param {
    std::string name;
    int32_t type, direction;
    Variant in = {}, out = {};
};

// Reads the routine's parameters and checks them against `want`, then calls
// it with the values given and checks those that come back.
inline ExecuteResult CallAndCheck(EngineConnection& c, const std::string& routine, const std::vector<Param>& want) {
    std::vector<BoundParameter> params = c.ProcedureParameters(routine);
    auto shape = [](const std::string& name, int32_t type, int32_t direction) {
        return name + " type " + std::to_string(type) + " direction " + std::to_string(direction);
    };
    EXPECT_EQ(params.size(), want.size()) << routine;
    if (params.size() != want.size()) return {};
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(shape(params[i].name, params[i].type, params[i].direction),
                  shape(want[i].name, want[i].type, want[i].direction))
            << routine;
        if (!want[i].in.IsEmpty()) params[i].value = want[i].in;
    }
    ExecuteResult result = c.CallProcedure(routine, params, -1);
    for (size_t i = 0; i < want.size(); ++i) {
        if (!want[i].out.IsEmpty()) {
            EXPECT_TRUE(params[i].value == want[i].out)
                << routine << " " << want[i].name << ": " << params[i].value.ToText().substr(0, 80);
        }
    }
    return result;
}

inline std::string Repeated(const std::string& piece, size_t times) {
    std::string out;
    while (times--) out += piece;
    return out;
}

// Long output values: text of four-byte characters and bytes, far longer than
// any buffer sized for them.
inline const std::string kLongPiece =
    "\xC3\xBC\xF0\x9F\x98\x80"
    "a\n";
constexpr size_t kLongTimes = 25000;

inline DateTime Date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, uint32_t nanos = 0) {
    return {y, uint8_t(mo), uint8_t(d), uint8_t(h), uint8_t(mi), uint8_t(s), nanos};
}

// A TCP port on 127.0.0.1 that nothing listens on.
inline std::string ClosedPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return std::to_string(ntohs(addr.sin_port));
}
}  // namespace testing_engine

}  // namespace qarn::ado
