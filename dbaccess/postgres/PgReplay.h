#pragma once
// A replay of statements on PostgreSQL.  Inside an open transaction the
// statements go through libpq's pipeline mode: each is sent without
// waiting for the one before, with a Sync every few thousand and at the
// end, and results are read as they arrive, so a script costs no round trip
// per statement.  The first failure is raised as ReplayError with its
// statement's tag; the transaction has failed by then, so every statement
// sent after it is aborted by the server.
//
// A text holding several statements cannot go into a pipeline, and one that
// begins or ends a transaction must not: the pipeline is drained first and
// the text runs on its own.  Outside a transaction each text runs at once
// and commits on its own, as the default replay does.

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string_view>

#include "ado/Engine.h"
#include "postgres/PgSession.h"

namespace qarn::ado::postgres {

class Replay final : public EngineReplay, public ConnectionHolder {
public:
    Replay(std::shared_ptr<Session> session, int32_t timeoutSeconds);
    ~Replay() override;

    void Add(std::string_view sql, uint64_t tag) override;
    void Finish() override;

    void Release() noexcept override;
    void Detach() noexcept override;

private:
    struct Sent {
        uint64_t tag;
        bool sync;
    };

    void Enter();
    void Sync();
    // Reads the results that have arrived (all of them when `wait`).
    void Collect(bool wait);
    // Reads every result and leaves pipeline mode.
    void Drain();
    void Fail(const ErrorRecord& record, uint64_t tag);
    void RaiseFailure();

    std::shared_ptr<Session> session_;
    int32_t timeoutSeconds_;
    std::deque<Sent> sent_;
    bool inPipeline_ = false;
    bool detached_ = false;
    size_t sinceSync_ = 0;
    std::optional<ErrorRecord> failure_;
    uint64_t failedTag_ = 0;
};

// Statements in SQL text, as ';' separates them outside literals and comments.
size_t CountStatements(std::string_view sql);

}  // namespace qarn::ado::postgres
