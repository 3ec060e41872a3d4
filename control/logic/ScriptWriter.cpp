#include "logic/ScriptWriter.h"

#include "ado/AdoError.h"
#include "basSQLGenComp.h"
#include "logic/ValueRendering.h"

namespace qarn::control {

namespace {

// A line break in a column name would split the row's line.
std::string Visible(const std::string& name) {
    std::string out;
    for (char c : name) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

}  // namespace

ScriptWriter::ScriptWriter(const ado::Recordset& rs, TableName table, Dialect dialect, int32_t serverKind,
                           const TableFacts& facts, ScriptOptions options)
    : table_(std::move(table)), dialect_(dialect), serverKind_(serverKind), options_(options) {
    bool overriding = false;
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
        if (identity) identities_.push_back(f.Name());
        overriding = overriding || facts.IsAlwaysIdentity(f.Name());
    }
    if (columns_.empty()) throw ado::AdoError(5, "None of the selected columns can be written as a value");

    line_ = "INSERT INTO " + table_.qualified + "(";
    for (size_t n = 0; n < columns_.size(); ++n) {
        if (n) line_ += ", ";
        AppendFieldName(line_, rs.Fields(columns_[n]), dialect_);
    }
    line_ += ")";
    // An identity column that is always generated takes a value only when told.
    if (overriding && dialect_ == Dialect::PostgreSql) line_ += " OVERRIDING SYSTEM VALUE";
    line_ += " VALUES(";
    prefixLength_ = line_.size();
}

void ScriptWriter::WriteHead(const LineSink& sink) {
    if (options_.truncateTable) {
        // Jet and SQLite have no TRUNCATE TABLE.
        const bool deleteFrom = serverKind_ == skJet || dialect_ == Dialect::Jet || dialect_ == Dialect::Sqlite;
        sink((deleteFrom ? "DELETE FROM " : "TRUNCATE TABLE ") + table_.qualified);
    }
    if (options_.includeIdent && identitySeen_ && dialect_ == Dialect::SqlServer)
        sink("SET IDENTITY_INSERT " + table_.qualified + " ON");
}

void ScriptWriter::WriteRow(const ado::Recordset& rs, const LineSink& sink) {
    line_.resize(prefixLength_);
    for (size_t n = 0; n < columns_.size(); ++n) {
        if (n) line_ += ", ";
        AppendFieldValue(line_, rs.Fields(columns_[n]), dialect_);
    }
    line_ += ')';
    sink(line_);
}

void ScriptWriter::WriteTail(const LineSink& sink) {
    if (options_.includeIdent && identitySeen_ && dialect_ == Dialect::SqlServer)
        sink("SET IDENTITY_INSERT " + table_.qualified + " OFF");
    if (dialect_ != Dialect::PostgreSql) return;
    // Explicit values do not move a sequence: the table's next ordinary
    // INSERT would take a value already there.
    for (const std::string& column : identities_) {
        std::string name;
        AppendQuotedName(name, column, dialect_);
        sink("SELECT setval(pg_get_serial_sequence(" + QuotedText(table_.qualified, dialect_) + ", " +
             QuotedText(column, dialect_) + "), max(" + name + ")) FROM " + table_.qualified);
    }
}

}  // namespace qarn::control
