#include "ado/Connection.h"

#include <algorithm>

#include "ado/Command.h"
#include "ado/ProviderTable.h"
#include "ado/Recordset.h"
#include "mariadb/MariaDbEngine.h"
#include "odbc/OdbcEngine.h"
#include "postgres/PgEngine.h"
#include "sqlite/SqliteEngine.h"

namespace qarn::ado {

namespace {
// ODBC takes lengths as 16-bit numbers: a driver given a longer string can
// crash the process, so no engine is given one.
constexpr size_t kMaxConnectionStringCharacters = 32767;

size_t CountCharacters(std::string_view utf8) {
    // Every byte but a UTF-8 continuation byte starts a character.
    return static_cast<size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

void RequireShortEnough(std::string_view connectionString) {
    size_t n = CountCharacters(connectionString);
    if (n > kMaxConnectionStringCharacters)
        throw ProviderError({{err::ProviderFailure,
                              "The connection string is too long (" + std::to_string(n) + " characters; at most " +
                                  std::to_string(kMaxConnectionStringCharacters) + ")",
                              ""}});
}
}  // namespace

std::shared_ptr<Connection> Connection::Create() {
    return std::shared_ptr<Connection>(new Connection());
}

Connection::~Connection() {
    try {
        Close();
    } catch (...) {
        // A connection going away has no one left to tell.
    }
}

void Connection::SetConnectionString(const std::string& s) {
    if (engine_) throw AdoError(err::ObjectOpen);
    connectionString_ = s;
}

void Connection::Open() {
    Guarded([&] {
        if (engine_) throw AdoError(err::ObjectOpen);
        RequireShortEnough(connectionString_);
        ProviderRoute route = RouteConnectionString(connectionString_);
        // The translated string is what the engine sees; it can be longer.
        RequireShortEnough(route.target);
        switch (route.engine) {
            case ProviderRoute::Engine::Sqlite: engine_ = OpenSqlite(route.target); break;
            case ProviderRoute::Engine::Postgres: engine_ = OpenPostgres(route.target); break;
            case ProviderRoute::Engine::MariaDb: engine_ = OpenMariaDb(route.target); break;
            case ProviderRoute::Engine::Odbc: engine_ = OpenOdbc(route.target); break;
        }
    });
}

void Connection::Close() {
    if (!engine_) return;
    for (auto& weak : openRecordsets_)
        if (auto rs = weak.lock()) rs->Close();
    openRecordsets_.clear();
    auto engine = std::move(engine_);
    engine_.reset();
    engine->Close();
}

EngineConnection& Connection::Engine() {
    if (!engine_) throw AdoError(err::InvalidConnection);
    return *engine_;
}

const AdoError& Connection::Record(const AdoError& e) {
    errors_ = e.Records();
    return e;
}

void Connection::Track(const std::shared_ptr<Recordset>& rs) {
    std::erase_if(openRecordsets_, [](const std::weak_ptr<Recordset>& w) { return w.expired(); });
    openRecordsets_.push_back(rs);
}

void Connection::BeginTrans() {
    Guarded([&] { Engine().BeginTrans(); });
}
void Connection::CommitTrans() {
    Guarded([&] { Engine().CommitTrans(); });
}
void Connection::RollbackTrans() {
    Guarded([&] { Engine().RollbackTrans(); });
}

bool Connection::TransactionOpen() {
    return engine_ && Guarded([&] { return engine_->TransactionOpen(); });
}

std::vector<std::string> Connection::DatabaseFiles() {
    return engine_ ? Guarded([&] { return engine_->DatabaseFiles(); }) : std::vector<std::string>();
}

namespace {
// Keeps a replay's failures in the connection's Errors.
class RecordedReplay : public EngineReplay {
public:
    RecordedReplay(Connection& connection, std::shared_ptr<EngineConnection> engine,
                   std::unique_ptr<EngineReplay> inner)
        : connection_(connection), engine_(std::move(engine)), inner_(std::move(inner)) {}
    void Add(std::string_view sql, uint64_t tag) override {
        connection_.Guarded([&] {
            RunTagged(tag, [&] { RefuseNul(sql); });
            inner_->Add(sql, tag);
        });
    }
    void Finish() override {
        connection_.Guarded([&] { inner_->Finish(); });
    }

private:
    Connection& connection_;
    std::shared_ptr<EngineConnection> engine_;  // outlives the replay
    std::unique_ptr<EngineReplay> inner_;
};
}  // namespace

std::unique_ptr<EngineReplay> Connection::BeginReplay(int32_t timeoutSeconds) {
    return Guarded([&]() -> std::unique_ptr<EngineReplay> {
        std::shared_ptr<EngineConnection> engine = engine_;
        if (!engine) throw AdoError(err::InvalidConnection);
        return std::make_unique<RecordedReplay>(*this, engine, engine->BeginReplay(timeoutSeconds));
    });
}

std::string Connection::DbmsName() const {
    return engine_ ? engine_->DbmsName() : std::string();
}

}  // namespace qarn::ado
