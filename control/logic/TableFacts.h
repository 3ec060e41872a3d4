#pragma once
// What the catalog says of the table a script writes into, beyond what the
// result's columns tell: columns the database computes itself, which no
// INSERT may name, and identity columns that take a value only when told to.

#include <string>
#include <vector>

#include "ado/Connection.h"
#include "logic/SelectAnalysis.h"

namespace qarn::control {

struct TableFacts {
    std::vector<std::string> generated;       // computed (generated) columns
    std::vector<std::string> alwaysIdentity;  // PostgreSQL's GENERATED ALWAYS identity columns
    std::vector<std::string> primaryKey;      // in key order; read only when asked for
    std::vector<std::string> columns;         // every column in table order; read only when asked for
    std::vector<std::string> booleans;        // MySQL's BOOLEAN columns (TINYINT(1)); read only when asked for
    bool keysRead = false;                    // whether the catalog gave the table's columns
    bool namesIgnoreCase = true;              // how the database compares column names

    bool IsGenerated(const std::string& column) const;
    bool IsAlwaysIdentity(const std::string& column) const;
    bool IsBoolean(const std::string& column) const;
};

// Asks the catalog of the database behind `connection`; a catalog that
// cannot be read gives no facts (a script that names a computed column then
// fails loudly on replay; it never loses a value).
// `withKeys`: also the primary key and the table's columns; `withTypes`:
// also what other databases need to know of the column types (MySQL's
// BOOLEAN is a TINYINT(1) holding 0 and 1).
TableFacts ReadTableFacts(ado::Connection& connection, Dialect dialect, const TableName& table, bool withKeys = false,
                          bool withTypes = false);

// A text as a string literal of the dialect (for catalog queries and the
// script's own lines).
std::string QuotedText(std::string_view text, Dialect dialect);

}  // namespace qarn::control
