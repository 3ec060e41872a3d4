#include "ado/Command.h"

#include "ado/AdoError.h"

namespace qarn::ado {

std::shared_ptr<Command> Command::Create() {
    return std::shared_ptr<Command>(new Command());
}

Command::Command() {
    // Refresh asks the provider behind whatever connection the command has then.
    parameters_.SetRefresher([this] {
        Connection& c = OpenConnection();
        return c.Guarded([&] { return c.Engine().ProcedureParameters(commandText_); });
    });
}

std::shared_ptr<Parameter> Command::CreateParameter(const std::string& name, int32_t type, int32_t direction,
                                                    int64_t size, const Variant& value) const {
    if (direction < adParamUnknown || direction > adParamReturnValue) throw AdoError(err::BadArguments);
    return std::make_shared<Parameter>(name, type, direction, size, value);
}

void Command::SetActiveConnection(std::shared_ptr<Connection> c) {
    if (c && c->State() != adStateOpen) throw AdoError(err::InvalidConnection);
    connection_ = std::move(c);
}

Connection& Command::OpenConnection() {
    if (!connection_ || connection_->State() != adStateOpen) throw AdoError(err::InvalidConnection);
    return *connection_;
}

// What follows a NUL would be lost without a word, so such a text never
// reaches any engine.
void RefuseNul(std::string_view sql) {
    if (size_t nul = sql.find('\0'); nul != std::string::npos)
        throw ProviderError({{err::ProviderFailure,
                              "The SQL text holds a NUL character at offset " + std::to_string(nul) +
                                  ", where the database would cut it",
                              "HY000"}});
}

std::shared_ptr<Recordset> Command::Wrap(Connection& c, ExecuteResult result, int64_t* recordsAffected) {
    if (recordsAffected) *recordsAffected = result.rowsAffected;
    if (!result.cursor) return std::make_shared<Recordset>();
    auto rs = std::make_shared<Recordset>(connection_, std::move(result.cursor));
    c.Track(rs);
    return rs;
}

std::shared_ptr<Recordset> Command::Execute(int64_t* recordsAffected) {
    Connection& c = OpenConnection();
    if (commandText_.empty()) throw AdoError(err::BadArguments, "Command text was not set for the command object.");
    return c.Guarded([&] {
        RefuseNul(commandText_);
        ExecuteResult result;
        if (commandType_ == adCmdStoredProc) {
            std::vector<BoundParameter> bound;
            for (const auto& p : parameters_.Items())
                bound.push_back({p->Name(), p->Type(), p->Direction(), p->Size(), p->Value()});
            result = c.Engine().CallProcedure(commandText_, bound, commandTimeout_);
            for (size_t i = 0; i < bound.size(); ++i)
                if (bound[i].direction != adParamInput) parameters_.Items()[i]->SetValue(bound[i].value);
        } else {
            result = c.Engine().Execute(commandText_, commandTimeout_);
        }
        return Wrap(c, std::move(result), recordsAffected);
    });
}

std::shared_ptr<Recordset> Command::ExecuteReadOnly() {
    Connection& c = OpenConnection();
    if (commandText_.empty()) throw AdoError(err::BadArguments, "Command text was not set for the command object.");
    return c.Guarded([&] {
        RefuseNul(commandText_);
        return Wrap(c, c.Engine().ExecuteReadOnly(commandText_, commandTimeout_), nullptr);
    });
}

void Command::ExecuteBatch(int64_t* recordsAffected) {
    Connection& c = OpenConnection();
    c.Guarded([&] {
        RefuseNul(commandText_);
        int64_t n = c.Engine().ExecuteBatch(commandText_, commandTimeout_);
        if (recordsAffected) *recordsAffected = n;
    });
}

}  // namespace qarn::ado
