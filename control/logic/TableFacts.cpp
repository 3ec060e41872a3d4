#include "logic/TableFacts.h"

#include <algorithm>

#include "ado/Command.h"
#include "ado/ConnectionString.h"

namespace qarn::control {

namespace {

bool Contains(const std::vector<std::string>& names, const std::string& name, bool ignoreCase) {
    return std::any_of(names.begin(), names.end(), [&](const std::string& n) {
        return ignoreCase ? ado::EqualsNoCase(n, name) : n == name;
    });
}

// Runs a catalog query; each row's first column, and its second when there is one.
std::vector<std::pair<std::string, std::string>> Rows(ado::Connection& connection, const std::string& sql) {
    auto command = ado::Command::Create();
    command->SetActiveConnection(connection.shared_from_this());
    command->SetCommandText(sql);
    auto rs = command->Execute();
    std::vector<std::pair<std::string, std::string>> rows;
    while (rs->State() == ado::adStateOpen && !rs->Eof()) {
        rows.emplace_back(rs->Fields(0).Value().ToText(), rs->FieldCount() > 1 ? rs->Fields(1).Value().ToText() : "");
        rs->MoveNext();
    }
    rs->Close();
    return rows;
}

// The schema part of a name (the one before the table), or empty.
std::string SchemaOf(const TableName& table) {
    return table.parts.size() >= 2 ? table.parts[table.parts.size() - 2] : std::string();
}

}  // namespace

bool TableFacts::IsGenerated(const std::string& column) const { return Contains(generated, column, namesIgnoreCase); }

bool TableFacts::IsAlwaysIdentity(const std::string& column) const {
    return Contains(alwaysIdentity, column, namesIgnoreCase);
}

std::string QuotedText(std::string_view text, Dialect dialect) {
    const bool backslashes = dialect == Dialect::MySql || (dialect == Dialect::PostgreSql &&
                                                           text.find('\\') != std::string_view::npos);
    std::string out = dialect == Dialect::PostgreSql && backslashes ? "E'" : dialect == Dialect::SqlServer ? "N'" : "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        if (c == '\\' && backslashes) out += '\\';
        out += c;
    }
    return out + "'";
}

TableFacts ReadTableFacts(ado::Connection& connection, Dialect dialect, const TableName& table) {
    TableFacts facts;
    if (table.parts.empty()) return facts;
    const std::string& name = table.parts.back();
    try {
        switch (dialect) {
        case Dialect::PostgreSql:
            facts.namesIgnoreCase = false;
            for (const auto& [column, kind] :
                 Rows(connection, "SELECT attname, CASE WHEN attgenerated <> '' THEN 'g' ELSE attidentity::text END "
                                  "FROM pg_catalog.pg_attribute WHERE attrelid = to_regclass(" +
                                      QuotedText(table.qualified, dialect) +
                                      ") AND attnum > 0 AND NOT attisdropped "
                                      "AND (attgenerated <> '' OR attidentity = 'a')")) {
                (kind == "g" ? facts.generated : facts.alwaysIdentity).push_back(column);
            }
            break;
        case Dialect::MySql: {
            const std::string schema = SchemaOf(table);
            for (const auto& row : Rows(connection, "SELECT COLUMN_NAME FROM information_schema.COLUMNS "
                                                    "WHERE TABLE_SCHEMA = " +
                                                        (schema.empty() ? "DATABASE()" : QuotedText(schema, dialect)) +
                                                        " AND TABLE_NAME = " + QuotedText(name, dialect) +
                                                        " AND IS_GENERATED = 'ALWAYS'"))
                facts.generated.push_back(row.first);
            break;
        }
        case Dialect::Sqlite: {
            const std::string schema = SchemaOf(table);
            for (const auto& row : Rows(connection, "SELECT name FROM pragma_table_xinfo(" + QuotedText(name, dialect) +
                                                        (schema.empty() ? "" : ", " + QuotedText(schema, dialect)) +
                                                        ") WHERE hidden IN (2, 3)"))
                facts.generated.push_back(row.first);
            break;
        }
        case Dialect::SqlServer:
            for (const auto& row : Rows(connection, "SELECT name FROM sys.columns WHERE is_computed = 1 AND object_id = "
                                                    "OBJECT_ID(" +
                                                        QuotedText(table.qualified, dialect) + ")"))
                facts.generated.push_back(row.first);
            break;
        case Dialect::Jet:
        case Dialect::Ansi: break;
        }
    } catch (const ado::AdoError&) {
        return {};
    }
    return facts;
}

}  // namespace qarn::control
