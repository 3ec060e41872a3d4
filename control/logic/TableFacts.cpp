#include "logic/TableFacts.h"

#include <algorithm>

#include "ado/Command.h"
#include "ado/ConnectionString.h"

namespace qarn::control {

namespace {

bool Contains(const std::vector<std::string>& names, const std::string& name, bool ignoreCase) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& n) { return ignoreCase ? ado::EqualsNoCase(n, name) : n == name; });
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

bool TableFacts::IsGenerated(const std::string& column) const {
    return Contains(generated, column, namesIgnoreCase);
}

bool TableFacts::IsBoolean(const std::string& column) const {
    return Contains(booleans, column, namesIgnoreCase);
}

bool TableFacts::IsAlwaysIdentity(const std::string& column) const {
    return Contains(alwaysIdentity, column, namesIgnoreCase);
}

std::string QuotedText(std::string_view text, Dialect dialect) {
    const bool backslashes =
        dialect == Dialect::MySql || (dialect == Dialect::PostgreSql && text.find('\\') != std::string_view::npos);
    std::string out = dialect == Dialect::PostgreSql && backslashes ? "E'" : dialect == Dialect::SqlServer ? "N'" : "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        if (c == '\\' && backslashes) out += '\\';
        out += c;
    }
    return out + "'";
}

namespace {

// The primary key (rows whose second value is "k", in key order) and every
// column, from the dialect's catalog; false where it has none we can read.
bool ReadKeys(ado::Connection& connection, Dialect dialect, const TableName& table, TableFacts& facts) {
    const std::string& name = table.parts.back();
    const std::string schema = SchemaOf(table);
    std::string sql;
    switch (dialect) {
        case Dialect::PostgreSql:
            sql =
                "SELECT a.attname, CASE WHEN k.pos IS NULL THEN '' ELSE 'k' || lpad(k.pos::text, 4, '0') END "
                "FROM pg_catalog.pg_attribute a LEFT JOIN (SELECT i.indrelid, u.attnum, u.pos FROM pg_catalog.pg_index "
                "i, "
                "unnest(i.indkey::int2[]) WITH ORDINALITY AS u(attnum, pos) WHERE i.indisprimary) k "
                "ON k.indrelid = a.attrelid AND k.attnum = a.attnum WHERE a.attrelid = to_regclass(" +
                QuotedText(table.qualified, dialect) + ") AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum";
            break;
        case Dialect::MySql:
            sql =
                "SELECT c.COLUMN_NAME, IF(k.ORDINAL_POSITION IS NULL, '', CONCAT('k', LPAD(k.ORDINAL_POSITION, 4, "
                "'0'))) "
                "FROM information_schema.COLUMNS c LEFT JOIN information_schema.KEY_COLUMN_USAGE k "
                "ON k.TABLE_SCHEMA = c.TABLE_SCHEMA AND k.TABLE_NAME = c.TABLE_NAME AND k.COLUMN_NAME = c.COLUMN_NAME "
                "AND k.CONSTRAINT_NAME = 'PRIMARY' WHERE c.TABLE_SCHEMA = " +
                (schema.empty() ? std::string("DATABASE()") : QuotedText(schema, dialect)) +
                " AND c.TABLE_NAME = " + QuotedText(name, dialect) + " ORDER BY c.ORDINAL_POSITION";
            break;
        case Dialect::Sqlite:
            sql =
                "SELECT name, CASE WHEN pk > 0 THEN 'k' || substr('000' || pk, -4) ELSE '' END FROM "
                "pragma_table_info(" +
                QuotedText(name, dialect) + (schema.empty() ? "" : ", " + QuotedText(schema, dialect)) +
                ") ORDER BY cid";
            break;
        case Dialect::SqlServer:
            sql =
                "SELECT c.name, CASE WHEN ic.key_ordinal IS NULL THEN '' ELSE 'k' + RIGHT('000' + "
                "CAST(ic.key_ordinal AS varchar(4)), 4) END FROM sys.columns c LEFT JOIN sys.indexes i ON i.object_id "
                "= "
                "c.object_id AND i.is_primary_key = 1 LEFT JOIN sys.index_columns ic ON ic.object_id = i.object_id AND "
                "ic.index_id = i.index_id AND ic.column_id = c.column_id WHERE c.object_id = OBJECT_ID(" +
                QuotedText(table.qualified, dialect) + ") ORDER BY c.column_id";
            break;
        case Dialect::Jet:
        case Dialect::Ansi: return false;
    }
    std::vector<std::pair<std::string, std::string>> keyed;
    for (const auto& [column, key] : Rows(connection, sql)) {
        facts.columns.push_back(column);
        if (!key.empty()) keyed.emplace_back(key, column);
    }
    std::sort(keyed.begin(), keyed.end());
    for (const auto& k : keyed) facts.primaryKey.push_back(k.second);
    return !facts.columns.empty();
}

}  // namespace

TableFacts ReadTableFacts(ado::Connection& connection, Dialect dialect, const TableName& table, bool withKeys,
                          bool withTypes) {
    TableFacts facts;
    if (table.parts.empty()) return facts;
    const std::string& name = table.parts.back();
    try {
        switch (dialect) {
            case Dialect::PostgreSql:
                facts.namesIgnoreCase = false;
                for (const auto& [column, kind] :
                     Rows(connection,
                          "SELECT attname, CASE WHEN attgenerated <> '' THEN 'g' ELSE attidentity::text END "
                          "FROM pg_catalog.pg_attribute WHERE attrelid = to_regclass(" +
                              QuotedText(table.qualified, dialect) +
                              ") AND attnum > 0 AND NOT attisdropped "
                              "AND (attgenerated <> '' OR attidentity = 'a')")) {
                    (kind == "g" ? facts.generated : facts.alwaysIdentity).push_back(column);
                }
                break;
            case Dialect::MySql: {
                const std::string schema = SchemaOf(table);
                for (const auto& [column, kind] :
                     Rows(connection,
                          "SELECT COLUMN_NAME, IF(IS_GENERATED = 'ALWAYS', 'g', 'b') FROM "
                          "information_schema.COLUMNS WHERE TABLE_SCHEMA = " +
                              (schema.empty() ? "DATABASE()" : QuotedText(schema, dialect)) +
                              " AND TABLE_NAME = " + QuotedText(name, dialect) + " AND (IS_GENERATED = 'ALWAYS'" +
                              (withTypes ? " OR COLUMN_TYPE LIKE 'tinyint(1)%'" : "") + ")"))
                    (kind == "g" ? facts.generated : facts.booleans).push_back(column);
                break;
            }
            case Dialect::Sqlite: {
                const std::string schema = SchemaOf(table);
                for (const auto& row :
                     Rows(connection, "SELECT name FROM pragma_table_xinfo(" + QuotedText(name, dialect) +
                                          (schema.empty() ? "" : ", " + QuotedText(schema, dialect)) +
                                          ") WHERE hidden IN (2, 3)"))
                    facts.generated.push_back(row.first);
                break;
            }
            case Dialect::SqlServer:
                for (const auto& row : Rows(connection,
                                            "SELECT name FROM sys.columns WHERE is_computed = 1 AND object_id = "
                                            "OBJECT_ID(" +
                                                QuotedText(table.qualified, dialect) + ")"))
                    facts.generated.push_back(row.first);
                break;
            case Dialect::Jet:
            case Dialect::Ansi: break;
        }
        if (withKeys) facts.keysRead = ReadKeys(connection, dialect, table, facts);
    } catch (const ado::AdoError&) {
        return {};
    }
    return facts;
}

}  // namespace qarn::control
