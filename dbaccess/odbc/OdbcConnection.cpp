#include "odbc/OdbcConnection.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "ado/ConnectionString.h"
#include "ado/DataTypes.h"
#include "odbc/OdbcColumns.h"
#include "odbc/OdbcCursor.h"
#include "odbc/OdbcParameters.h"
#include "odbc/OdbcPostgres.h"
#include "odbc/OdbcResults.h"
#include "odbc/OdbcRowBlocks.h"
#include "odbc/OdbcText.h"

namespace qarn::ado::odbc {

OdbcConnection::OdbcConnection(std::shared_ptr<Connection> connection, const std::string& connectionString)
    : connection_(std::move(connection)) {
    dbms_ = connection_->InfoText(SQL_DBMS_NAME);
    habits_.utf8Text = habits_.datesAsText = IsMySql();
    // The file-based drivers name their database file in the string.
    std::vector<ConnectionEntry> entries = ParseConnectionString(connectionString);
    for (std::string_view key : {"DBQ", "Database"}) {
        if (key == "Database" && !EqualsNoCase(dbms_, "SQLite")) continue;
        if (std::string file = EntryValue(entries, {key}); !file.empty()) files_.push_back(file);
    }
    if (CanFetchBlocks(connection_->Get())) habits_.blockRows = kBlockRows;
    if (IsPostgres()) {
        // psqlodbc reads its server cursor in blocks of a multiple of the
        // row array (UseDeclareFetch): a row array dividing its Fetch size
        // (100 unless the string says) keeps its blocks, and so the rows
        // that arrive before a failing one.
        long fetch = std::strtol(EntryValue(entries, {"Fetch"}).c_str(), nullptr, 10);
        const size_t serverBlock = fetch > 0 ? static_cast<size_t>(fetch) : 100;
        while (habits_.blockRows > 1 && serverBlock % habits_.blockRows != 0) --habits_.blockRows;
        habits_.positionedReads = true;
        ExactPostgresSession(connectionString);
    }
    if (IsMySql()) Utf8MySqlSession(connectionString);
}

ExecuteResult OdbcConnection::ExecuteReadOnly(const std::string& sql, int32_t timeoutSeconds) {
    // Inside a transaction the host began, the query runs as it is.
    const char* begin = IsPostgres() ? "SET TRANSACTION READ ONLY"
                        : IsMySql()  ? "START TRANSACTION READ ONLY"
                                     : nullptr;
    if (!begin || inTransaction_) return Execute(sql, timeoutSeconds);
    BeginTrans();
    try {
        // psqlodbc has begun the transaction itself by now; MariaDB's
        // driver leaves it to this statement.
        Execute(begin, timeoutSeconds);
        ExecuteResult result = Execute(sql, timeoutSeconds);
        if (!result.cursor) {
            RollbackTrans();
            return result;
        }
        result.cursor = std::make_unique<CursorWithEnd>(std::move(result.cursor), [weak = weak_from_this()] {
            if (auto self = weak.lock()) self->RollbackTrans();
        });
        return result;
    } catch (...) {
        try {
            RollbackTrans();
        } catch (...) {
        }
        throw;
    }
}

bool OdbcConnection::TransactionOpen() {
    if (inTransaction_) return true;
    if (IsMySql()) return FirstValue("SELECT @@in_transaction").IsTrue();
    if (IsSqlServer()) return FirstValue("SELECT @@TRANCOUNT").IsTrue();
    if (IsPostgres()) return PostgresBlockOpen();
    return false;
}

ExecuteResult OdbcConnection::Execute(const std::string& sql, int32_t timeoutSeconds) {
    if (IsPostgres()) {
        if (std::optional<std::string_view> body = PostgresQueryBody(sql))
            return ExecutePostgresQuery(sql, *body, timeoutSeconds);
    }
    return ExecuteAsIs(sql, timeoutSeconds);
}

int64_t OdbcConnection::ExecuteBatch(const std::string& sql, int32_t timeoutSeconds) {
    auto stmt = NewStatement(timeoutSeconds);
    int64_t rows = 0;
    std::vector<ErrorRecord> failures = WalkResults(*stmt, ExecDirect(*stmt, sql), rows);
    if (!failures.empty()) throw ProviderError(std::move(failures));
    return rows;
}

std::vector<BoundParameter> OdbcConnection::ProcedureParameters(const std::string& procName) {
    ProcName target = Resolve(procName);
    std::optional<std::string> catalog = target.catalog, schema = target.schema;
    const std::string& name = target.name;
    if (!schema && IsPostgres()) schema = "public";
    if (!catalog && IsMySql()) catalog = CurrentCatalog();

    // MDBTools cannot name its escape; the exact-name check still holds.
    std::string escape = connection_->TryInfoText(SQL_SEARCH_PATTERN_ESCAPE).value_or("");
    return CatalogParameters(NewStatement(-1), catalog, schema, name, escape);
}

ExecuteResult OdbcConnection::CallProcedure(const std::string& procName, std::vector<BoundParameter>& params,
                                            int32_t timeoutSeconds) {
    // The return value comes first wherever it stands.
    std::vector<size_t> order(params.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_partition(order.begin(), order.end(),
                          [&](size_t i) { return params[i].direction == adParamReturnValue; });
    bool hasReturn = !order.empty() && params[order.front()].direction == adParamReturnValue;
    CallStyle style = StyleOfCall(procName, hasReturn);
    // A function called in a SELECT returns its value as the one row.
    size_t firstMarker = style == CallStyle::Select ? 1 : 0;

    // The buffers outlive the statement bound to them.
    std::vector<ParameterSlot> slots;
    slots.reserve(params.size());
    for (size_t m = firstMarker; m < order.size(); ++m) slots.emplace_back(params[order[m]], habits_);
    auto stmt = NewStatement(timeoutSeconds);
    for (size_t m = 0; m < slots.size(); ++m) slots[m].Bind(*stmt, static_cast<SQLUSMALLINT>(m + 1));
    size_t arguments = params.size() - (hasReturn ? 1 : 0);
    SQLRETURN rc = ExecDirect(*stmt, CallText(style, procName, arguments, hasReturn));
    if (rc != SQL_NO_DATA) stmt->Check(rc, "SQLExecDirect");

    ExecuteResult result;
    if (style == CallStyle::Select) {
        OdbcCursor cursor(std::move(stmt), habits_);
        std::vector<Variant> row;
        if (cursor.Fetch(row) && !row.empty()) params[order.front()].value = row.front();
        return result;
    }
    bool hasOutput = std::any_of(slots.begin(), slots.end(), [](const ParameterSlot& s) { return s.IsOutput(); });
    if (!hasOutput && rc != SQL_NO_DATA && HasResultSet(*stmt)) {
        // The cursor outlives the input buffers.
        stmt->Check(SQLFreeStmt(stmt->Get(), SQL_RESET_PARAMS), "SQLFreeStmt");
        result.cursor = std::make_unique<OdbcCursor>(std::move(stmt), habits_);
        return result;
    }
    // The drivers fill output buffers only once every result is consumed.
    const auto outputs = static_cast<size_t>(
        std::count_if(slots.begin(), slots.end(), [](const ParameterSlot& s) { return s.IsOutput(); }));
    OutputRow outputRow(outputs, habits_);
    std::vector<ErrorRecord> failures = WalkResults(*stmt, rc == SQL_NO_DATA ? SQL_SUCCESS : rc, result.rowsAffected,
                                                    [&](const Statement& rows) { outputRow.Read(rows); });
    if (!failures.empty()) throw ProviderError(std::move(failures));
    for (size_t m = 0, k = 0; m < slots.size(); ++m) {
        if (!slots[m].IsOutput()) continue;
        slots[m].StoreOutput(params[order[m + firstMarker]], outputRow.Value(k++));
    }
    return result;
}

void OdbcConnection::BeginTrans() {
    if (inTransaction_) throw AdoError(err::IllegalOperation);
    SetAutoCommit(false);
    inTransaction_ = true;
}

void OdbcConnection::Close() {
    connection_->Close();
    inTransaction_ = false;
}

std::unique_ptr<Statement> OdbcConnection::NewStatement(int32_t timeoutSeconds) {
    auto stmt = std::make_unique<Statement>(connection_);
    // A driver without query timeouts still runs the statement.
    if (timeoutSeconds > 0)
        SQLSetStmtAttrW(stmt->Get(), SQL_ATTR_QUERY_TIMEOUT,
                        reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeoutSeconds)), 0);
    return stmt;
}

SQLRETURN OdbcConnection::ExecDirect(const Statement& stmt, const std::string& sql) {
    ToUtf16(sql, wideSql_);
    return SQLExecDirectW(stmt.Get(), wideSql_.data(), SQL_NTS);
}

bool OdbcConnection::IsMySql() const {
    return EqualsNoCase(dbms_, "MySQL") || EqualsNoCase(dbms_, "MariaDB");
}

ExecuteResult OdbcConnection::ExecuteAsIs(const std::string& sql, int32_t timeoutSeconds) {
    auto stmt = NewStatement(timeoutSeconds);
    SQLRETURN rc = ExecDirect(*stmt, sql);
    // A searched UPDATE or DELETE that touched nothing.
    if (rc == SQL_NO_DATA) return {nullptr, 0};
    stmt->Check(rc, "SQLExecDirect");
    return ResultOf(std::move(stmt), habits_);
}

std::vector<Variant> OdbcConnection::FirstRow(const std::string& sql) {
    ExecuteResult result = ExecuteAsIs(sql, -1);
    std::vector<Variant> row;
    if (!result.cursor || !result.cursor->Fetch(row)) return {};
    result.cursor->Close();
    return row;
}

Variant OdbcConnection::FirstValue(const std::string& sql) {
    std::vector<Variant> row = FirstRow(sql);
    return row.empty() ? Variant::MakeNull() : row.front();
}

ExecuteResult OdbcConnection::ExecutePostgresQuery(const std::string& sql, std::string_view body,
                                                   int32_t timeoutSeconds) {
    auto shape = NewStatement(timeoutSeconds);
    if (!SQL_SUCCEEDED(ExecDirect(*shape, PostgresShapeQuery(body)))) return ExecuteAsIs(sql, timeoutSeconds);
    SQLSMALLINT count = 0;
    shape->Check(SQLNumResultCols(shape->Get(), &count), "SQLNumResultCols");
    const auto columnCount = static_cast<size_t>(std::max<SQLSMALLINT>(count, 0));
    std::vector<ColumnInfo> columns(columnCount);
    std::vector<ValueForm> forms(columnCount);
    for (size_t i = 0; i < columnCount; ++i)
        columns[i] = DescribeColumn(*shape, static_cast<SQLUSMALLINT>(i + 1), forms[i], habits_);
    shape->Free();
    if (columnCount == 0) return ExecuteAsIs(sql, timeoutSeconds);

    std::vector<std::string_view> casts(columnCount);
    ExecuteResult types = ExecuteAsIs(PostgresTypeQuery(body, columnCount), timeoutSeconds);
    std::vector<Variant> row;
    size_t described = 0;
    while (types.cursor && types.cursor->Fetch(row)) {
        const int64_t position = row.size() == 3 && row[0].Kind() == VarKind::Int ? row[0].AsInt() : 0;
        if (position < 1 || static_cast<size_t>(position) > columnCount) continue;
        const auto i = static_cast<size_t>(position - 1);
        const std::string kind = row[2].ToText();
        PostgresReading reading = ReadPostgresType(row[1].ToText(), kind.empty() ? ' ' : kind[0]);
        columns[i].typeName = row[1].ToText();
        columns[i].textInput = reading.textInput;
        if (reading.adoType) columns[i].type = reading.adoType;
        forms[i] = reading.form;
        casts[i] = reading.cast;
        ++described;
    }
    types.cursor.reset();
    if (described != columnCount)
        throw ProviderError(
            {{err::ProviderFailure, "PostgreSQL did not name the types of the query's columns", "HY000"}});

    const bool converted = std::any_of(casts.begin(), casts.end(), [](std::string_view c) { return !c.empty(); });
    auto stmt = NewStatement(timeoutSeconds);
    SQLRETURN rc = ExecDirect(*stmt, converted ? PostgresReadingQuery(body, casts) : sql);
    stmt->Check(rc, "SQLExecDirect");
    SQLSMALLINT readCount = 0;
    stmt->Check(SQLNumResultCols(stmt->Get(), &readCount), "SQLNumResultCols");
    if (readCount != count)
        throw ProviderError({{err::ProviderFailure, "The query's columns changed while it was read", "HY000"}});
    ExecuteResult result;
    result.cursor = std::make_unique<OdbcCursor>(std::move(stmt), std::move(columns), std::move(forms), habits_);
    return result;
}

void OdbcConnection::ExactPostgresSession(const std::string& connectionString) {
    auto convertsLineFeeds = [this] { return FirstValue("SELECT E'\\n'").AsText() != "\n"; };
    if (convertsLineFeeds()) {
        Reconnect(ReplaceEntry(connectionString, "LFConversion", "0"));
        if (convertsLineFeeds())
            throw ProviderError(
                {{err::ProviderFailure, "The PostgreSQL driver turns line feeds into CR LF and cannot be told not to",
                  "HY000"}});
    }
    ExecuteBatch(kPostgresExactSettings, -1);
}

void OdbcConnection::Utf8MySqlSession(const std::string& connectionString) {
    auto utf8 = [this] {
        std::vector<Variant> row =
            FirstRow("SELECT @@character_set_client, @@character_set_connection, @@character_set_results");
        return row.size() == 3 && std::all_of(row.begin(), row.end(),
                                              [](const Variant& v) { return EqualsNoCase(v.ToText(), "utf8mb4"); });
    };
    if (utf8()) return;
    Reconnect(ReplaceEntry(connectionString, "CHARSET", "utf8mb4"));
    if (!utf8())
        throw ProviderError(
            {{err::ProviderFailure, "The connection to " + dbms_ + " cannot be made to use the character set utf8mb4",
              "HY000"}});
}

void OdbcConnection::Reconnect(const std::string& connectionString) {
    auto fresh = std::make_shared<Connection>();
    fresh->Connect(connectionString, kLoginTimeoutSeconds);
    connection_ = std::move(fresh);
}

bool OdbcConnection::PostgresBlockOpen() {
    auto stmt = NewStatement(-1);
    SQLRETURN rc = ExecDirect(*stmt, "SAVEPOINT qarn_transaction_probe");
    if (SQL_SUCCEEDED(rc)) {
        Execute("RELEASE SAVEPOINT qarn_transaction_probe", -1);
        return true;
    }
    std::vector<ErrorRecord> records = stmt->Diagnostics();
    const std::string state = records.empty() ? std::string() : records.front().SQLState;
    if (state == "25P01") return false;
    if (state == "25P02") return true;
    throw ProviderError(std::move(records));
}

ProcName OdbcConnection::Resolve(const std::string& procName) const {
    return ResolveProcName(procName, IsMySql(), IsPostgres());
}

CallStyle OdbcConnection::StyleOfCall(const std::string& procName, bool hasReturn) {
    if (hasReturn && IsMySql()) return CallStyle::Select;
    if (!hasReturn && IsPostgres() && IsPostgresProcedure(procName)) return CallStyle::Call;
    return CallStyle::Escape;
}

bool OdbcConnection::IsPostgresProcedure(const std::string& procName) {
    ExecuteResult found = ExecuteAsIs(PostgresProcedureQuery(Resolve(procName)), -1);
    std::vector<Variant> row;
    return found.cursor && found.cursor->Fetch(row);
}

std::string OdbcConnection::CurrentCatalog() const {
    SQLWCHAR buffer[256] = {};
    SQLINTEGER bytes = 0;
    connection_->Check(
        SQLGetConnectAttrW(connection_->OpenHandle(), SQL_ATTR_CURRENT_CATALOG, buffer, sizeof buffer, &bytes),
        "SQLGetConnectAttr");
    return FromBuffer(buffer, std::size(buffer), bytes / static_cast<SQLINTEGER>(sizeof(SQLWCHAR)));
}

void OdbcConnection::SetAutoCommit(bool on) {
    connection_->Check(
        SQLSetConnectAttrW(connection_->OpenHandle(), SQL_ATTR_AUTOCOMMIT,
                           reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER),
        "SQLSetConnectAttr");
}

void OdbcConnection::EndTransaction(SQLSMALLINT completion) {
    if (!inTransaction_) throw AdoError(err::IllegalOperation);
    connection_->Check(SQLEndTran(SQL_HANDLE_DBC, connection_->OpenHandle(), completion), "SQLEndTran");
    inTransaction_ = false;
    SetAutoCommit(true);
}

}  // namespace qarn::ado::odbc
