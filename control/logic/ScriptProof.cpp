#include "logic/ScriptProof.h"

#include "ado/Command.h"
#include "ado/DataTypes.h"
#include "logic/SelectAnalysis.h"
#include "logic/ValueRendering.h"
#include "textfile/TextFile.h"

namespace qarn::control {

namespace {

constexpr const char* kProofTable = "qarn_script_proof";

std::vector<std::vector<ado::Variant>> Rows(ado::Connection& connection, const std::string& sql, size_t limit) {
    auto command = ado::Command::Create();
    command->SetActiveConnection(connection.shared_from_this());
    command->SetCommandText(sql);
    std::vector<std::vector<ado::Variant>> rows;
    auto rs = command->Execute();
    for (; rs->State() == ado::adStateOpen && !rs->Eof() && rows.size() < limit; rs->MoveNext()) {
        rows.emplace_back();
        for (size_t i = 0; i < rs->FieldCount(); ++i) rows.back().push_back(rs->Fields(i).Value());
    }
    rs->Close();
    return rows;
}

void Run(ado::Connection& connection, const std::string& sql) {
    auto command = ado::Command::Create();
    command->SetActiveConnection(connection.shared_from_this());
    command->SetCommandText(sql);
    command->ExecuteBatch();
}

bool IsText(int32_t type) {
    switch (type) {
        case ado::adBSTR:
        case ado::adChar:
        case ado::adWChar:
        case ado::adVarChar:
        case ado::adLongVarChar:
        case ado::adVarWChar:
        case ado::adLongVarWChar: return true;
        default: return false;
    }
}

// The compared form of each column: what two equal values share and two
// different values never do, in each database's own terms.
std::string ComparedColumns(const ScriptWriter& writer, Dialect dialect, const std::string& from) {
    std::string list;
    const auto& names = writer.ColumnNames();
    for (size_t i = 0; i < names.size(); ++i) {
        std::string name;
        AppendQuotedName(name, names[i], dialect);
        name = from + "." + name;
        if (!list.empty()) list += ", ";
        switch (dialect) {
            case Dialect::PostgreSql: list += name + "::text"; break;  // -0 and 0, the exact text of every type
            case Dialect::MySql: list += IsText(writer.ColumnTypes()[i]) ? "BINARY " + name : name; break;
            default: list += name + ", typeof(" + name + ")"; break;  // SQLite: the storage class too
        }
    }
    return list;
}

// Rows of `a` not in `b`, counting duplicates; at most `limit`.  Each of
// `a` and `b` yields `width` compared columns.
std::string Difference(Dialect dialect, const std::string& a, const std::string& b, size_t width, size_t limit) {
    const std::string most = " LIMIT " + std::to_string(limit);
    if (dialect != Dialect::Sqlite) return "SELECT * FROM (" + a + " EXCEPT ALL " + b + ") d" + most;
    // SQLite has no EXCEPT ALL: each distinct row with its count stands for the multiset.
    std::string positions;
    for (size_t i = 1; i <= width; ++i) positions += (i > 1 ? ", " : "") + std::to_string(i);
    return "SELECT * FROM (SELECT *, count(*) FROM (" + a + ") GROUP BY " + positions +
           " EXCEPT SELECT *, count(*) FROM (" + b + ") GROUP BY " + positions + ")" + most;
}

std::string Shown(const std::vector<ado::Variant>& row) {
    std::string out = "(";
    for (size_t i = 0; i < row.size(); ++i) {
        if (i) out += ", ";
        std::string text = row[i].IsNull() ? "NULL" : row[i].ToText();
        if (text.size() > 40) text = text.substr(0, 40) + "...";
        out += text;
    }
    return out + ")";
}

}  // namespace

std::string ProveScript(ado::Connection& connection, Dialect dialect, const std::string& select,
                        const std::string& scriptPath, const ScriptWriter& writer) {
    if (dialect != Dialect::PostgreSql && dialect != Dialect::MySql && dialect != Dialect::Sqlite)
        throw ado::AdoError(5, "The script cannot be verified: " + std::string(DialectName(dialect)) +
                                   " gives no temporary table to replay it into");
    if (writer.Target() != dialect)
        throw ado::AdoError(5, "The script cannot be verified: it is written for " +
                                   std::string(DialectName(writer.Target())) + ", not for the database read");
    const SelectAnalysis analysis = AnalyseSelect(select, dialect);
    const std::string query = select.substr(0, analysis.end);
    connection.BeginTrans();
    try {
        const std::string table = kProofTable;
        switch (dialect) {
            case Dialect::PostgreSql:
                Run(connection,
                    "CREATE TEMP TABLE " + table + " ON COMMIT DROP AS SELECT * FROM (" + query + ") q WITH NO DATA");
                break;
            case Dialect::MySql:
                Run(connection, "CREATE TEMPORARY TABLE " + table + " AS SELECT * FROM (" + query + ") q LIMIT 0");
                break;
            default: Run(connection, "CREATE TEMP TABLE " + table + " AS SELECT * FROM (" + query + ") WHERE 0"); break;
        }
        // The script's INSERT statements, into the proof table; head and
        // tail lines change the real table and are left out.
        const std::string head = writer.InsertHead(), tail = writer.InsertTail();
        auto replay = connection.BeginReplay(-1);
        textfile::TextReader reader(scriptPath);
        for (uint64_t number = 1; !reader.AtEndOfStream(); ++number) {
            std::string line = reader.ReadLine();
            if (line.compare(0, head.size(), head) != 0 || line.size() < head.size() + 1 || line[head.size()] != '(')
                continue;
            if (!tail.empty() && line.ends_with(tail)) line.resize(line.size() - tail.size());
            replay->Add("INSERT INTO " + table + line.substr(head.size()), number);
        }
        replay->Finish();

        const std::string read = "SELECT " + ComparedColumns(writer, dialect, "q") + " FROM (" + query + ") q";
        const std::string replayed = "SELECT " + ComparedColumns(writer, dialect, "q") + " FROM " + table + " q";
        // SQLite compares each value with its storage class: two columns a value.
        const size_t per = dialect == Dialect::Sqlite ? 2 : 1;
        const size_t width = writer.ColumnNames().size() * per;
        // A few rows of each side, to pair a missing row with the replayed
        // row most like it: the column they differ in is the one to name.
        constexpr size_t kCandidates = 50;
        const auto missing = Rows(connection, Difference(dialect, read, replayed, width, kCandidates), kCandidates);
        const auto extra = Rows(connection, Difference(dialect, replayed, read, width, kCandidates), kCandidates);
        auto visible = [&](const std::vector<ado::Variant>& row) {
            std::vector<ado::Variant> values;
            for (size_t i = 0; i < width && i < row.size(); i += per) values.push_back(row[i]);
            return Shown(values);
        };
        auto alike = [&](const std::vector<ado::Variant>& x, const std::vector<ado::Variant>& y) {
            size_t same = 0;
            for (size_t i = 0; i < width && i < x.size() && i < y.size(); ++i) same += x[i] == y[i];
            return same;
        };
        size_t bestMissing = 0, bestExtra = 0;
        for (size_t m = 0; m < missing.size(); ++m)
            for (size_t e = 0; e < extra.size(); ++e)
                if (alike(missing[m], extra[e]) > alike(missing[bestMissing], extra[bestExtra]))
                    bestMissing = m, bestExtra = e;
        std::string verdict;
        if (!missing.empty() && !extra.empty()) {
            const auto& gone = missing[bestMissing];
            const auto& back = extra[bestExtra];
            std::string column;
            for (size_t i = 0; i < width && column.empty(); ++i)
                if (!(gone[i] == back[i])) column = writer.ColumnNames()[i / per];
            verdict = "The script does not recreate the rows: the row " + visible(gone) + " comes back as " +
                      visible(back) + (column.empty() ? "" : ", column " + column);
        } else if (!missing.empty()) {
            verdict = "The script does not recreate the rows: the row " + visible(missing[0]) + " is missing from it";
        } else if (!extra.empty()) {
            verdict =
                "The script does not recreate the rows: it makes a row the table does not hold: " + visible(extra[0]);
        }
        if (dialect == Dialect::MySql) Run(connection, "DROP TEMPORARY TABLE IF EXISTS " + table);
        connection.RollbackTrans();
        return verdict;
    } catch (...) {
        try {
            if (dialect == Dialect::MySql)
                Run(connection, std::string("DROP TEMPORARY TABLE IF EXISTS ") + kProofTable);
            connection.RollbackTrans();
        } catch (...) {
            // The proof has failed already; what is left of it goes with the transaction.
        }
        throw;
    }
}

}  // namespace qarn::control
