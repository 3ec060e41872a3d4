#include "mariadb/MariaDbProcedures.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "ado/ConnectionString.h"
#include "ado/DataTypes.h"
#include "mariadb/MariaDbCursor.h"
#include "mariadb/MariaDbSession.h"
#include "mariadb/MariaDbTypeMap.h"
#include "sql/SqlLexer.h"

namespace qarn::ado::mariadb {

namespace {

struct RoutineName {
    std::string schema;  // empty: the current database
    std::string name;
};

// "name", "db.name", "`db`.`name`" as the server reads them.
RoutineName ReadRoutineName(const std::string& procName) {
    sql::Lexer lexer(procName, sql::Dialect::MySql);
    std::vector<std::string> parts;
    for (;;) {
        sql::Token t = lexer.Next();
        if (t.kind != sql::TokenKind::Word && t.kind != sql::TokenKind::QuotedName) break;
        parts.push_back(sql::UnquoteName(lexer.Text(t)));
        sql::Token after = lexer.Next();
        if (after.kind == sql::TokenKind::End) {
            if (parts.size() == 1) return {{}, parts[0]};
            return {parts[0], parts[1]};
        }
        if (!lexer.IsSymbol(after, '.') || parts.size() == 2) break;
    }
    Raise("Cannot read the routine name '" + procName + "': a name or database.name is needed.");
}

void AppendQuoted(MYSQL* mysql, std::string& out, std::string_view text) {
    const size_t at = out.size();
    out.resize(at + 2 * text.size() + 3);
    out[at] = '\'';
    unsigned long n = mysql_real_escape_string(mysql, out.data() + at + 1, text.data(), text.size());
    out.resize(at + 1 + n);
    out.push_back('\'');
}

bool IsPlainNumber(std::string_view s) {
    size_t i = !s.empty() && (s[0] == '-' || s[0] == '+') ? 1 : 0;
    size_t digits = 0, points = 0;
    for (; i < s.size(); ++i) {
        if (s[i] >= '0' && s[i] <= '9')
            ++digits;
        else if (s[i] == '.' && points++ == 0)
            continue;
        else
            return false;
    }
    return digits > 0;
}

[[noreturn]] void RaiseMismatch(const BoundParameter& p) {
    throw AdoError(err::BadArguments,
                   "Parameter '" + p.name + "' holds a value of the wrong type: '" + p.value.ToText() + "'");
}

// The value of an input parameter as a literal the server converts to the
// parameter's type.
void AppendLiteral(MYSQL* mysql, std::string& out, const BoundParameter& p) {
    const Variant& v = p.value;
    switch (v.Kind()) {
        case VarKind::Empty:
        case VarKind::Null: out += "NULL"; return;
        case VarKind::Boolean: out += v.AsBool() ? "1" : "0"; return;
        case VarKind::Int: AppendInt(out, v.AsInt()); return;
        case VarKind::UInt: AppendUInt(out, v.AsUInt()); return;
        case VarKind::Double:
            if (!std::isfinite(v.AsDouble())) RaiseMismatch(p);
            AppendShortestDouble(out, v.AsDouble(), p.type == adSingle);
            return;
        case VarKind::Decimal:
        case VarKind::Currency:
            if (!IsPlainNumber(v.AsText())) RaiseMismatch(p);
            out += v.AsText();
            return;
        case VarKind::Binary: {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "X'";
            for (unsigned char b : v.AsText()) {
                out += kHex[b >> 4];
                out += kHex[b & 15];
            }
            out += '\'';
            return;
        }
        case VarKind::Date: {
            std::string text;
            AppendDateText(text, v.AsDate());
            // DATE and TIME parameters take only their own part.
            if (p.type == adDBDate)
                text.resize(text.find(' '));
            else if (p.type == adDBTime)
                text.erase(0, text.find(' ') + 1);
            AppendQuoted(mysql, out, text);
            return;
        }
        case VarKind::Text:
        case VarKind::Guid:
            if (p.type == adBoolean) {
                std::string lower = ToLower(Trim(v.AsText()));
                if (!v.IsTrue() && lower != "false" && lower != "0") RaiseMismatch(p);
                out += v.IsTrue() ? "1" : "0";
                return;
            }
            AppendQuoted(mysql, out, v.AsText());
            return;
    }
}

bool IsOutput(const BoundParameter& p) {
    return p.direction == adParamOutput || p.direction == adParamInputOutput;
}

std::string OutputVariable(size_t index) {
    return "@qarn_out_" + std::to_string(index);
}

// Reads every result of the call; the outputs are the last result set's row.
void ReadOutputs(Session& session, std::vector<BoundParameter*>& outputs, int64_t& rows) {
    MYSQL* mysql = session.Handle();
    std::vector<Variant> last;
    std::vector<ValueForm> forms;
    for (;;) {
        if (mysql_field_count(mysql) == 0) {
            rows += std::max<int64_t>(static_cast<int64_t>(mysql_affected_rows(mysql)), 0);
        } else {
            ResultHandle result(mysql_use_result(mysql));
            if (!result) RaiseLast(mysql);
            const unsigned int n = mysql_num_fields(result.get());
            const MYSQL_FIELD* fields = mysql_fetch_fields(result.get());
            forms.assign(n, ValueForm::Text);
            for (unsigned int i = 0; i < n && i < outputs.size(); ++i) {
                const BoundParameter& p = *outputs[i];
                forms[i] = p.type == adEmpty || p.type == adVariant ? MapField(fields[i]).form : FormOfAdoType(p.type);
            }
            last.assign(n, Variant::MakeNull());
            while (MYSQL_ROW values = mysql_fetch_row(result.get())) {
                const unsigned long* lengths = mysql_fetch_lengths(result.get());
                for (unsigned int i = 0; i < n; ++i) {
                    if (!values[i])
                        last[i].SetNull();
                    else
                        StoreValue(forms[i], std::string_view(values[i], lengths[i]), last[i]);
                }
            }
            if (mysql_errno(mysql) != 0) RaiseLast(mysql);
        }
        if (!mysql_more_results(mysql)) break;
        int rc = mysql_next_result(mysql);
        if (rc > 0) RaiseLast(mysql);
        if (rc < 0) break;
    }
    if (last.size() != outputs.size()) Raise("The call did not return its output parameters.");
    for (size_t i = 0; i < outputs.size(); ++i) outputs[i]->value = last[i];
}

}  // namespace

std::vector<BoundParameter> ReadProcedureParameters(Session& session, const std::string& procName) {
    RoutineName routine = ReadRoutineName(procName);
    MYSQL* mysql = session.Handle();
    std::string sql =
        "SELECT PARAMETER_MODE, PARAMETER_NAME, DATA_TYPE, DTD_IDENTIFIER, "
        "COALESCE(CHARACTER_MAXIMUM_LENGTH, NUMERIC_PRECISION, 0), ROUTINE_TYPE "
        "FROM information_schema.PARAMETERS WHERE SPECIFIC_SCHEMA = ";
    if (routine.schema.empty())
        sql += "DATABASE()";
    else
        AppendQuoted(mysql, sql, routine.schema);
    sql += " AND SPECIFIC_NAME = ";
    AppendQuoted(mysql, sql, routine.name);
    // A function and a procedure may share a name; the function is taken.
    sql += " ORDER BY ROUTINE_TYPE, ORDINAL_POSITION";
    session.Send(sql);
    int64_t ignored = 0;
    std::unique_ptr<Cursor> cursor = session.TakeResult(ignored);
    std::vector<BoundParameter> parameters;
    std::vector<Variant> row;
    std::string routineType;
    while (cursor && cursor->Fetch(row)) {
        if (routineType.empty()) routineType = row[5].ToText();
        if (row[5].ToText() != routineType) continue;
        BoundParameter p;
        std::string mode = row[0].ToText();
        p.direction = row[0].IsNull()   ? adParamReturnValue
                      : mode == "OUT"   ? adParamOutput
                      : mode == "INOUT" ? adParamInputOutput
                                        : adParamInput;
        p.name = p.direction == adParamReturnValue ? "RETURN_VALUE" : row[1].ToText();
        p.type = AdoTypeOfDeclaration(row[2].ToText(), row[3].ToText());
        p.size = row[4].Kind() == VarKind::Int ? row[4].AsInt() : row[4].Kind() == VarKind::UInt ? INT64_MAX : 0;
        parameters.push_back(std::move(p));
    }
    return parameters;
}

ExecuteResult CallRoutine(Session& session, const std::string& procName, std::vector<BoundParameter>& params,
                          int32_t timeoutSeconds) {
    MYSQL* mysql = session.Handle();
    auto returnValue = std::find_if(params.begin(), params.end(),
                                    [](const BoundParameter& p) { return p.direction == adParamReturnValue; });
    ExecuteResult result;
    std::string args, set, select;
    std::vector<BoundParameter*> outputs;
    for (size_t i = 0; i < params.size(); ++i) {
        BoundParameter& p = params[i];
        if (p.direction == adParamReturnValue) continue;
        if (!args.empty()) args += ", ";
        if (!IsOutput(p) || returnValue != params.end()) {
            AppendLiteral(mysql, args, p);
            continue;
        }
        std::string variable = OutputVariable(i);
        args += variable;
        set += set.empty() ? "SET " : ", ";
        set += variable + " = ";
        if (p.direction == adParamInputOutput)
            AppendLiteral(mysql, set, p);
        else
            set += "NULL";
        select += select.empty() ? "SELECT " : ", ";
        select += variable;
        outputs.push_back(&p);
    }

    if (returnValue != params.end()) {
        session.Send("SELECT " + procName + "(" + args + ")", timeoutSeconds);
        int64_t ignored = 0;
        std::unique_ptr<Cursor> cursor = session.TakeResult(ignored);
        std::vector<Variant> row;
        if (cursor && cursor->Fetch(row) && !row.empty()) returnValue->value = row.front();
        if (cursor) cursor->Close();
        return result;
    }
    std::string call = "CALL " + procName + "(" + args + ")";
    if (outputs.empty()) {
        session.Send(call, timeoutSeconds);
        result.cursor = session.TakeResult(result.rowsAffected);
        if (!result.cursor) {
            std::vector<ErrorRecord> failure = session.ReadRemaining(result.rowsAffected);
            if (!failure.empty()) throw ProviderError(std::move(failure));
        }
        return result;
    }
    session.Send(set + ";\n" + call + ";\n" + select, timeoutSeconds);
    result.rowsAffected = 0;
    ReadOutputs(session, outputs, result.rowsAffected);
    return result;
}

}  // namespace qarn::ado::mariadb
