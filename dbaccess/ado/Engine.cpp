#include "ado/Engine.h"

namespace qarn::ado {

namespace {
// Runs every statement the moment it is added.
class ImmediateReplay : public EngineReplay {
public:
    ImmediateReplay(EngineConnection& connection, int32_t timeoutSeconds)
        : connection_(connection), timeoutSeconds_(timeoutSeconds) {}

    void Add(std::string_view sql, uint64_t tag) override {
        RunTagged(tag, [&] { connection_.ExecuteBatch(std::string(sql), timeoutSeconds_); });
    }
    void Finish() override {}

private:
    EngineConnection& connection_;
    int32_t timeoutSeconds_;
};
}  // namespace

bool CursorWithEnd::Fetch(std::vector<Variant>& row) {
    if (!end_) return inner_->Fetch(row);
    bool more = false;
    try {
        more = inner_->Fetch(row);
    } catch (...) {
        End();
        throw;
    }
    if (!more) End();
    return more;
}

void CursorWithEnd::Close() {
    inner_->Close();
    End();
}

void CursorWithEnd::End() noexcept {
    if (!end_) return;
    auto end = std::move(end_);
    end_ = nullptr;
    try {
        inner_->Close();
        end();
    } catch (...) {
        // Ending a read-only transaction loses nothing; there is no one to tell.
    }
}

std::unique_ptr<EngineReplay> EngineConnection::BeginReplay(int32_t timeoutSeconds) {
    return std::make_unique<ImmediateReplay>(*this, timeoutSeconds);
}

}  // namespace qarn::ado
