// The lines a script is made of, on rows handed over by a cursor of our own:
// SQL Server's identity lines (no server here, so their exact text), and
// the columns no script can carry.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "ado/DataTypes.h"
#include "basSQLGenComp.h"
#include "dbaccess/EngineTesting.h"
#include "logic/ScriptWriter.h"

namespace qarn::control {
namespace {

using namespace ado;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing_engine::Date;
using testing_engine::Raised;

class FakeCursor : public EngineCursor {
public:
    FakeCursor(std::vector<ColumnInfo> columns, std::vector<std::vector<Variant>> rows)
        : columns_(std::move(columns)), rows_(std::move(rows)) {}
    const std::vector<ColumnInfo>& Columns() const override { return columns_; }
    bool Fetch(std::vector<Variant>& row) override {
        if (next_ >= rows_.size()) return false;
        row = rows_[next_++];
        return true;
    }
    void Close() override { next_ = rows_.size(); }

private:
    std::vector<ColumnInfo> columns_;
    std::vector<std::vector<Variant>> rows_;
    size_t next_ = 0;
};

ColumnInfo Info(const std::string& name, int32_t type, bool identity = false) {
    ColumnInfo c;
    c.name = name;
    c.type = type;
    c.autoIncrement = identity;
    return c;
}

std::vector<std::string> Script(std::vector<ColumnInfo> columns, std::vector<std::vector<Variant>> rows,
                                const std::string& table, Dialect dialect, ScriptOptions options,
                                const TableFacts& facts = {}) {
    Recordset rs({}, std::make_unique<FakeCursor>(std::move(columns), std::move(rows)));
    ScriptWriter writer(rs, AnalyseSelect("SELECT * FROM " + table, dialect).table, dialect, facts, options);
    std::vector<std::string> lines;
    const LineSink sink = [&](std::string_view line) { lines.emplace_back(line); };
    writer.WriteHead(sink);
    for (; !rs.Eof(); rs.MoveNext()) writer.WriteRow(rs, sink);
    writer.WriteTail(sink);
    return lines;
}

std::vector<ColumnInfo> StaffColumns() {
    return {Info("StaffID", adInteger, true), Info("Name", adVarWChar), Info("Started", adDBTimeStamp),
            Info("Active", adBoolean)};
}

std::vector<std::vector<Variant>> StaffRows() {
    return {{Variant::FromInt(1), Variant::FromText("O'Neill"), Variant::FromDate(Date(2003, 5, 29, 14, 2, 26)),
             Variant::FromBool(true)},
            {Variant::FromInt(2), Variant::FromText("Ann"), Variant::MakeNull(), Variant::FromBool(false)}};
}

// Identity values going to SQL Server need the ON/OFF lines, whichever
// provider form reached it (a SQLNCLI string is kind 5 with SQL Server's
// dialect) and whatever database the rows came from.
TEST(ScriptWriter, SqlServerIdentityLinesWheneverIdentityValuesGoThere) {
    ScriptOptions both{.truncateTable = true, .includeIdent = true, .target = {}};
    EXPECT_THAT(Script(StaffColumns(), StaffRows(), "dbo.Staff", Dialect::SqlServer, both),
                ElementsAre("TRUNCATE TABLE dbo.Staff", "SET IDENTITY_INSERT dbo.Staff ON",
                            "INSERT INTO dbo.Staff([StaffID], [Name], [Started], [Active]) "
                            "VALUES(1, 'O''Neill', '2003-05-29 14:02:26', 1)",
                            "INSERT INTO dbo.Staff([StaffID], [Name], [Started], [Active]) VALUES(2, 'Ann', NULL, 0)",
                            "SET IDENTITY_INSERT dbo.Staff OFF"));
    EXPECT_THAT(Script(StaffColumns(), StaffRows(), "dbo.Staff", Dialect::SqlServer, {}),
                ElementsAre("INSERT INTO dbo.Staff([Name], [Started], [Active]) VALUES('O''Neill', "
                            "'2003-05-29 14:02:26', 1)",
                            "INSERT INTO dbo.Staff([Name], [Started], [Active]) VALUES('Ann', NULL, 0)"));
    both.target = Dialect::SqlServer;
    EXPECT_THAT(Script(StaffColumns(), StaffRows(), "Staff", Dialect::Sqlite, both),
                ElementsAre("TRUNCATE TABLE [Staff]", "SET IDENTITY_INSERT [Staff] ON", ::testing::_, ::testing::_,
                            "SET IDENTITY_INSERT [Staff] OFF"));
}

// A column no line can carry fails clearly, and so does a value the target has no literal for.
TEST(ScriptWriter, WhatNoLineCanCarryFailsNamingIt) {
    EXPECT_THAT(Raised([] {
                    Script({Info("id", adInteger), Info("two\r\nlines", adInteger)},
                           {{Variant::FromInt(1), Variant::FromInt(2)}}, "t", Dialect::PostgreSql, {});
                }).Description(),
                HasSubstr("The column name two\\r\\nlines cannot be written on one line"));
    EXPECT_EQ(Raised([] {
                  Script({Info("x", adDouble)}, {{Variant::FromDouble(1)}, {Variant::FromDouble(std::nan(""))}}, "t",
                         Dialect::PostgreSql, {.target = Dialect::SqlServer});
              }).Description(),
              "Row 2, column x: SQL Server has no literal for NaN");
}

std::vector<ColumnInfo> KeyedColumns() {
    return {Info("id", adInteger), Info("name", adVarWChar)};
}
std::vector<std::vector<Variant>> KeyedRows(int n) {
    std::vector<std::vector<Variant>> rows;
    for (int i = 1; i <= n; ++i) rows.push_back({Variant::FromInt(i), Variant::FromText("n" + std::to_string(i))});
    return rows;
}

TEST(ScriptWriter, OptionsShapeTheStatements) {
    TableFacts keyed;
    keyed.primaryKey = {"id"};
    EXPECT_THAT(Script(KeyedColumns(), KeyedRows(2), "[my table]", Dialect::Sqlite,
                       {.truncateTable = true, .terminate = true, .target = {}}, keyed),
                ElementsAre("DELETE FROM [my table];", "INSERT INTO [my table]([id], [name]) VALUES(1, 'n1');",
                            "INSERT INTO [my table]([id], [name]) VALUES(2, 'n2');"));
    EXPECT_THAT(
        Script(KeyedColumns(), KeyedRows(3), "`my table`", Dialect::MySql, {.rowsPerInsert = 2, .target = {}}, keyed),
        ElementsAre("INSERT INTO `my table`(`id`, `name`) VALUES(1, 'n1'), (2, 'n2')",
                    "INSERT INTO `my table`(`id`, `name`) VALUES(3, 'n3')"));
    EXPECT_THAT(
        Script(KeyedColumns(), KeyedRows(1), "[my table]", Dialect::Sqlite, {.target = Dialect::PostgreSql}, keyed),
        ElementsAre("INSERT INTO \"my table\"(\"id\", \"name\") VALUES(1, 'n1')"));

    // What a row whose key is there already does, per dialect.
    const std::pair<Dialect, std::pair<const char*, const char*>> duplicates[] = {
        {Dialect::PostgreSql,
         {" ON CONFLICT (\"id\") DO NOTHING", " ON CONFLICT (\"id\") DO UPDATE SET \"name\" = EXCLUDED.\"name\""}},
        {Dialect::Sqlite,
         {" ON CONFLICT ([id]) DO NOTHING", " ON CONFLICT ([id]) DO UPDATE SET [name] = excluded.[name]"}},
        {Dialect::MySql, {" ON DUPLICATE KEY UPDATE `id` = `id`", " ON DUPLICATE KEY UPDATE `name` = VALUES(`name`)"}},
    };
    for (const auto& [dialect, clauses] : duplicates) {
        EXPECT_TRUE(
            Script(KeyedColumns(), KeyedRows(1), "t", dialect, {.target = {}, .onDuplicate = OnDuplicate::Skip}, keyed)
                .at(0)
                .ends_with(clauses.first));
        EXPECT_TRUE(Script(KeyedColumns(), KeyedRows(1), "t", dialect,
                           {.target = {}, .onDuplicate = OnDuplicate::Update}, keyed)
                        .at(0)
                        .ends_with(clauses.second));
    }
    EXPECT_THROW(Script(KeyedColumns(), KeyedRows(1), "t", Dialect::PostgreSql,
                        {.target = {}, .onDuplicate = OnDuplicate::Skip}, {}),
                 AdoError);

    // A statement ends before it passes one megabyte.
    std::vector<std::vector<Variant>> rows;
    for (int i = 0; i < 10; ++i) rows.push_back({Variant::FromInt(i), Variant::FromText(std::string(300000, 'x'))});
    const std::vector<std::string> lines =
        Script(KeyedColumns(), rows, "t", Dialect::PostgreSql, {.rowsPerInsert = 100, .target = {}});
    ASSERT_EQ(lines.size(), 4u);  // 3 + 3 + 3 + 1 rows
    for (const std::string& line : lines) EXPECT_LE(line.size(), 1u << 20);
}

TEST(ScriptWriter, OptionsADialectCannotTakeAreRefused) {
    EXPECT_NE(CheckScriptOptions({.rowsPerInsert = 2, .target = {}}, Dialect::Jet), "");
    EXPECT_EQ(CheckScriptOptions({.rowsPerInsert = 2, .target = {}}, Dialect::SqlServer), "");
    EXPECT_NE(CheckScriptOptions({.rowsPerInsert = 1001, .target = {}}, Dialect::SqlServer), "");
    EXPECT_NE(CheckScriptOptions({.rowsPerInsert = 0, .target = {}}, Dialect::PostgreSql), "");
    const ScriptOptions skip{.target = {}, .onDuplicate = OnDuplicate::Skip};
    for (Dialect d : {Dialect::Jet, Dialect::SqlServer, Dialect::Ansi}) EXPECT_NE(CheckScriptOptions(skip, d), "");
    for (Dialect d : {Dialect::PostgreSql, Dialect::Sqlite, Dialect::MySql}) EXPECT_EQ(CheckScriptOptions(skip, d), "");
}

}  // namespace
}  // namespace qarn::control
