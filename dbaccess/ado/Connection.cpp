#include "ado/Connection.h"

#include <algorithm>

#include "ado/ProviderTable.h"
#include "ado/Recordset.h"
#include "mariadb/MariaDbEngine.h"
#include "odbc/OdbcEngine.h"
#include "postgres/PgEngine.h"
#include "sqlite/SqliteEngine.h"

namespace qarn::ado {

std::shared_ptr<Connection> Connection::Create() { return std::shared_ptr<Connection>(new Connection()); }

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
        ProviderRoute route = RouteConnectionString(connectionString_);
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

void Connection::BeginTrans() { Guarded([&] { Engine().BeginTrans(); }); }
void Connection::CommitTrans() { Guarded([&] { Engine().CommitTrans(); }); }
void Connection::RollbackTrans() { Guarded([&] { Engine().RollbackTrans(); }); }

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
        connection_.Guarded([&] { inner_->Add(sql, tag); });
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

std::string Connection::DbmsName() const { return engine_ ? engine_->DbmsName() : std::string(); }

}  // namespace qarn::ado
