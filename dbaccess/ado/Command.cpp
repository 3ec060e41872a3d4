#include "ado/Command.h"

#include "ado/AdoError.h"

namespace qarn::ado {

std::shared_ptr<Command> Command::Create() { return std::shared_ptr<Command>(new Command()); }

Command::Command() {
    // Refresh asks the provider behind whatever connection the command has then.
    parameters_.SetRefresher([this] {
        Connection& c = OpenConnection();
        return c.Guarded([&] { return c.Engine().ProcedureParameters(commandText_); });
    });
}

std::shared_ptr<Parameter> Command::CreateParameter(const std::string& name, int32_t type, int32_t direction,
                                                    int64_t size, const Variant& value) const {
    if (direction < adParamUnknown || direction > adParamReturnValue) throw AdoError(err::NoCommandText);
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

std::shared_ptr<Recordset> Command::Execute(int64_t* recordsAffected) {
    Connection& c = OpenConnection();
    if (commandText_.empty()) throw AdoError(err::NoCommandText, "Command text was not set for the command object.");
    return c.Guarded([&] {
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
        if (recordsAffected) *recordsAffected = result.rowsAffected;
        if (!result.cursor) return std::make_shared<Recordset>();
        auto rs = std::make_shared<Recordset>(connection_, std::move(result.cursor));
        c.Track(rs);
        return rs;
    });
}

void Command::ExecuteBatch(int64_t* recordsAffected) {
    Connection& c = OpenConnection();
    c.Guarded([&] {
        int64_t n = c.Engine().ExecuteBatch(commandText_, commandTimeout_);
        if (recordsAffected) *recordsAffected = n;
    });
}

}  // namespace qarn::ado
