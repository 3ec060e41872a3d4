// The lines a script is made of, on rows handed over by a cursor of our own:
// SQL Server's identity lines (no server here, so their exact text), and
// the columns no script can carry.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ado/DataTypes.h"
#include "basSQLGenComp.h"
#include "logic/ScriptWriter.h"

namespace qarn::control {
namespace {

using namespace ado;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

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

DateTime When(int y, int mo, int d, int h, int mi, int s) {
    return DateTime{y, static_cast<uint8_t>(mo), static_cast<uint8_t>(d), static_cast<uint8_t>(h),
                    static_cast<uint8_t>(mi), static_cast<uint8_t>(s), 0};
}

std::vector<std::string> Script(std::vector<ColumnInfo> columns, std::vector<std::vector<Variant>> rows,
                                const std::string& table, Dialect dialect, int32_t kind, ScriptOptions options) {
    Recordset rs({}, std::make_unique<FakeCursor>(std::move(columns), std::move(rows)));
    ScriptWriter writer(rs, TableName{table, {table}, {false}}, dialect, kind, TableFacts{}, options);
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
    return {{Variant::FromInt(1), Variant::FromText("O'Neill"), Variant::FromDate(When(2003, 5, 29, 14, 2, 26)),
             Variant::FromBool(true)},
            {Variant::FromInt(2), Variant::FromText("Ann"), Variant::MakeNull(), Variant::FromBool(false)}};
}

// Identity values going to SQL Server need the ON/OFF lines whichever
// provider form reached it (SQLOLEDB is kind 1, SQLNCLI and MSOLEDBSQL kind 5).
TEST(ScriptWriter, SqlServerIdentityLinesWheneverIdentityValuesGoThere) {
    for (int32_t kind : {skSqlServer, skOther}) {
        EXPECT_THAT(Script(StaffColumns(), StaffRows(), "dbo.Staff", Dialect::SqlServer, kind, {true, true}),
                    ElementsAre("TRUNCATE TABLE dbo.Staff", "SET IDENTITY_INSERT dbo.Staff ON",
                                "INSERT INTO dbo.Staff([StaffID], [Name], [Started], [Active]) "
                                "VALUES(1, 'O''Neill', '2003-05-29 14:02:26', 1)",
                                "INSERT INTO dbo.Staff([StaffID], [Name], [Started], [Active]) "
                                "VALUES(2, 'Ann', NULL, 0)",
                                "SET IDENTITY_INSERT dbo.Staff OFF"))
            << kind;
        EXPECT_THAT(Script(StaffColumns(), StaffRows(), "dbo.Staff", Dialect::SqlServer, kind, {false, false}),
                    ElementsAre("INSERT INTO dbo.Staff([Name], [Started], [Active]) VALUES('O''Neill', "
                                "'2003-05-29 14:02:26', 1)",
                                "INSERT INTO dbo.Staff([Name], [Started], [Active]) VALUES('Ann', NULL, 0)"))
            << kind;
    }
}

TEST(ScriptWriter, ColumnsNoLineCanCarryFailClearly) {
    struct Case {
        ColumnInfo column;
        const char* message;
    };
    ColumnInfo nodeTree = Info("ev_action", adVarWChar);
    nodeTree.typeName = "pg_node_tree";
    nodeTree.textInput = false;
    for (const Case& c : {Case{Info("two\r\nlines", adInteger), "The column name two\\r\\nlines cannot be written on one line"},
                          Case{nodeTree, "The column ev_action of type pg_node_tree cannot be scripted"}}) {
        try {
            Script({Info("id", adInteger), c.column}, {{Variant::FromInt(1), Variant::FromInt(2)}}, "t",
                   Dialect::PostgreSql, skOther, {});
            ADD_FAILURE() << c.message;
        } catch (const AdoError& e) {
            EXPECT_THAT(e.Description(), HasSubstr(c.message));
        }
    }
}

}  // namespace
}  // namespace qarn::control
