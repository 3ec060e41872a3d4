#include "logic/ScriptWriter.h"

#include <algorithm>

#include "ado/AdoError.h"
#include "ado/ConnectionString.h"
#include "logic/ValueRendering.h"

namespace qarn::control {

namespace {

// No server takes a statement of any size: one INSERT ends before it would
// pass this, however many rows were asked for.
constexpr size_t kLongestStatement = 1 << 20;
constexpr int32_t kSqlServerRowsPerInsert = 1000;

// A line break in a column name would split the row's line.
std::string Visible(const std::string& name) {
    std::string out;
    for (char c : name) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string Quoted(std::string_view name, Dialect dialect) {
    std::string out;
    AppendQuotedName(out, name, dialect);
    return out;
}

// The table name for another dialect: each part quoted its way.
std::string Requoted(const TableName& table, Dialect dialect) {
    std::string out;
    for (size_t i = 0; i < table.parts.size(); ++i) {
        if (i) out += '.';
        AppendQuotedName(out, table.parts[i], dialect);
    }
    return out;
}

}  // namespace

std::string CheckScriptOptions(const ScriptOptions& options, Dialect target) {
    if (options.rowsPerInsert < 1) return "Rows per INSERT must be 1 or more";
    if (options.rowsPerInsert > 1 && target == Dialect::Jet)
        return "Jet has no INSERT of several rows: rows per INSERT must be 1";
    if (options.rowsPerInsert > kSqlServerRowsPerInsert && target == Dialect::SqlServer)
        return "SQL Server takes at most 1000 rows in one INSERT";
    if (options.onDuplicate != OnDuplicate::Fail &&
        (target == Dialect::Jet || target == Dialect::SqlServer || target == Dialect::Ansi))
        return "Rows already in the table cannot be skipped or updated in this dialect: it has no such INSERT";
    return {};
}

ScriptWriter::ScriptWriter(const ado::Recordset& rs, TableName table, Dialect source, const TableFacts& facts,
                           ScriptOptions options)
    : target_(options.target.value_or(source)), options_(options) {
    table_ = target_ == source ? table.qualified : Requoted(table, target_);
    bool alwaysIdentity = false;
    for (size_t i = 0; i < rs.FieldCount(); ++i) {
        ado::Field f = rs.Fields(i);
        if (!IsSupportedField(f) || facts.IsGenerated(f.Name())) continue;
        const bool identity = IsAutoIncrementField(f);
        identitySeen_ = identitySeen_ || identity;
        if (identity && !options_.includeIdent) continue;
        if (!f.Info().textInput)
            throw ado::AdoError(5, "The column " + f.Name() + " of type " + f.TypeName() +
                                       " cannot be scripted: the database cannot read its values back from text");
        if (f.Name().find_first_of("\r\n") != std::string::npos)
            throw ado::AdoError(5, "The column name " + Visible(f.Name()) + " cannot be written on one line");
        columns_.push_back(i);
        names_.push_back(f.Name());
        types_.push_back(f.Type());
        // Elsewhere a number is no boolean: it goes as TRUE or FALSE.
        booleans_.push_back(target_ != source && facts.IsBoolean(f.Name()));
        if (identity) identities_.push_back(f.Name());
        alwaysIdentity = alwaysIdentity || facts.IsAlwaysIdentity(f.Name());
    }
    if (columns_.empty()) throw ado::AdoError(5, "None of the selected columns can be written as a value");

    prefix_ = "INSERT INTO " + table_ + "(";
    for (size_t n = 0; n < columns_.size(); ++n) {
        if (n) prefix_ += ", ";
        AppendFieldName(prefix_, rs.Fields(columns_[n]), target_);
    }
    prefix_ += ")";
    // An identity column that is always generated takes a value only when
    // told; a table made elsewhere may have one wherever identity values go.
    if (target_ == Dialect::PostgreSql && (alwaysIdentity || (source != target_ && !identities_.empty())))
        prefix_ += " OVERRIDING SYSTEM VALUE";
    prefix_ += " VALUES";
    suffix_ = DuplicateClause(rs, facts);
}

std::string ScriptWriter::DuplicateClause(const ado::Recordset& rs, const TableFacts& facts) const {
    if (options_.onDuplicate == OnDuplicate::Fail) return {};
    if (facts.primaryKey.empty())
        throw ado::AdoError(5, "The table " + table_ + " has no primary key: rows already there cannot be found");
    std::string key, updates;
    for (const std::string& k : facts.primaryKey) key += (key.empty() ? "" : ", ") + Quoted(k, target_);
    for (size_t index : columns_) {
        const std::string& name = rs.Fields(index).Name();
        if (std::any_of(facts.primaryKey.begin(), facts.primaryKey.end(), [&](const std::string& k) {
                return facts.namesIgnoreCase ? ado::EqualsNoCase(k, name) : k == name;
            }))
            continue;
        const std::string q = Quoted(name, target_);
        if (!updates.empty()) updates += ", ";
        updates += q + " = " +
                   (target_ == Dialect::MySql        ? "VALUES(" + q + ")"
                    : target_ == Dialect::PostgreSql ? "EXCLUDED." + q
                                                     : "excluded." + q);
    }
    const bool skip = options_.onDuplicate == OnDuplicate::Skip || updates.empty();
    if (target_ == Dialect::MySql) {
        // Never INSERT IGNORE: it turns data errors into warnings.
        const std::string first = Quoted(facts.primaryKey.front(), target_);
        return " ON DUPLICATE KEY UPDATE " + (skip ? first + " = " + first : updates);
    }
    return " ON CONFLICT (" + key + ") DO " + (skip ? "NOTHING" : "UPDATE SET " + updates);
}

void ScriptWriter::Statement(const LineSink& sink, std::string text) const {
    if (options_.terminate) text += ';';
    sink(text);
}

void ScriptWriter::WriteHead(const LineSink& sink) {
    if (options_.truncateTable) {
        // Jet and SQLite have no TRUNCATE TABLE.
        const bool deleteFrom = target_ == Dialect::Jet || target_ == Dialect::Sqlite;
        Statement(sink, (deleteFrom ? "DELETE FROM " : "TRUNCATE TABLE ") + table_);
    }
    if (options_.includeIdent && identitySeen_ && target_ == Dialect::SqlServer)
        Statement(sink, "SET IDENTITY_INSERT " + table_ + " ON");
}

void ScriptWriter::WriteRow(const ado::Recordset& rs, const LineSink& sink) {
    ++rowNumber_;
    // One row a statement (the usual case) is built in place; several are
    // joined once each row is known to fit.
    std::string& out = options_.rowsPerInsert == 1 ? statement_ : row_;
    if (&out == &statement_) {
        statement_.assign(prefix_);
    } else {
        row_.clear();
    }
    out += '(';
    for (size_t n = 0; n < columns_.size(); ++n) {
        if (n) out += ", ";
        try {
            const ado::Field field = rs.Fields(columns_[n]);
            if (booleans_[n] && !field.Value().IsNull()) {
                AppendBooleanLiteral(out, field.Value().IsTrue(), target_);
                continue;
            }
            AppendFieldValue(out, field, target_);
        } catch (const ado::AdoError& e) {
            throw ado::AdoError(e.Number(), "Row " + std::to_string(rowNumber_) + ", column " +
                                                rs.Fields(columns_[n]).Name() + ": " + e.Description());
        }
    }
    out += ')';
    if (&out == &statement_) {
        pendingRows_ = 1;
        Flush(sink);
        return;
    }
    if (pendingRows_ > 0 && statement_.size() + 2 + row_.size() + suffix_.size() + 1 > kLongestStatement) Flush(sink);
    if (pendingRows_ == 0) {
        statement_ = prefix_;
    } else {
        statement_ += ", ";
    }
    statement_ += row_;
    if (++pendingRows_ >= options_.rowsPerInsert) Flush(sink);
}

void ScriptWriter::Flush(const LineSink& sink) {
    if (pendingRows_ == 0) return;
    statement_ += suffix_;
    if (options_.terminate) statement_ += ';';
    sink(statement_);
    pendingRows_ = 0;
}

void ScriptWriter::WriteTail(const LineSink& sink) {
    Flush(sink);
    if (options_.includeIdent && identitySeen_ && target_ == Dialect::SqlServer)
        Statement(sink, "SET IDENTITY_INSERT " + table_ + " OFF");
    if (target_ != Dialect::PostgreSql) return;
    // Explicit values do not move a sequence: the table's next ordinary
    // INSERT would take a value already there.
    for (const std::string& column : identities_)
        Statement(sink, "SELECT setval(pg_get_serial_sequence(" + QuotedText(table_, target_) + ", " +
                            QuotedText(column, target_) + "), max(" + Quoted(column, target_) + ")) FROM " + table_);
}

}  // namespace qarn::control
