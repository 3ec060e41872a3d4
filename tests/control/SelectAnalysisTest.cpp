#include "logic/SelectAnalysis.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace qarn::control {
namespace {

struct Parsed {
    bool found = false;
    std::string statement, qualified, bare;
};

Parsed Parse(std::string statement) {
    Parsed p;
    p.found = ParseTableName(statement, p.qualified, p.bare);
    p.statement = statement;
    return p;
}

void ExpectTable(const std::string& statement, const std::string& qualified, const std::string& bare) {
    const Parsed p = Parse(statement);
    EXPECT_TRUE(p.found) << statement;
    EXPECT_EQ(p.qualified, qualified) << statement;
    EXPECT_EQ(p.bare, bare) << statement;
}

TEST(ParseTableName, TakesTheWordAfterTheFirstFromInAnyCase) {
    test::RecordingUserInterface ui;
    ExpectTable("select * from customers", "customers", "customers");
    ExpectTable("SELECT a FROM t1 WHERE x IN (SELECT y FROM t2)", "t1", "t1");
    ExpectTable("select fromage From Cheeses", "Cheeses", "Cheeses");
    ExpectTable("SELECT * FROM Orders,Customers WHERE 1=1", "Orders,Customers", "Orders,Customers");
    EXPECT_TRUE(ui.shown.empty());
}

TEST(ParseTableName, TurnsCarriageReturnsIntoBlanksAndDropsLineFeeds) {
    test::RecordingUserInterface ui;
    Parsed p = Parse("SELECT *\r\nFROM Orders\r\nWHERE a = 1\n");
    EXPECT_TRUE(p.found);
    EXPECT_EQ(p.qualified, "Orders");
    EXPECT_EQ(p.statement, "SELECT * FROM Orders WHERE a = 1");

    // A lone line feed joins the words on either side.
    p = Parse("SELECT * FROM\nOrders");
    EXPECT_FALSE(p.found);
    EXPECT_EQ(p.statement, "SELECT * FROMOrders");
}

TEST(ParseTableName, SplitsAtEverySingleBlankOnly) {
    test::RecordingUserInterface ui;
    ExpectTable("SELECT * FROM  Orders", "", "");
    // The carriage return leaves a blank, and so an empty word after FROM.
    ExpectTable("select * FROM\r\n", "", "");
    EXPECT_TRUE(ui.shown.empty());

    EXPECT_FALSE(Parse("SELECT *\tFROM\tOrders").found);
    EXPECT_EQ(ui.shown.size(), 1u);
}

TEST(ParseTableName, BareTableIsWhatFollowsTheLastPoint) {
    test::RecordingUserInterface ui;
    ExpectTable("select * from Sales.dbo.Orders where x=1", "Sales.dbo.Orders", "Orders");
    ExpectTable("select * from [my.db].Orders", "[my.db].Orders", "Orders");
    ExpectTable("select * from dbo.", "dbo.", "");
}

TEST(ParseTableName, WithoutFromTellsTheUser) {
    test::RecordingUserInterface ui;
    std::string qualified = "stale", bare = "stale";
    std::string statement = "select 1";
    EXPECT_FALSE(ParseTableName(statement, qualified, bare));
    EXPECT_EQ(qualified, "");
    EXPECT_EQ(bare, "");
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].kind, "message");
    EXPECT_EQ(ui.shown[0].text, "No FROM clause in the select statement");
    EXPECT_EQ(ui.shown[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(ui.shown[0].title, "qarnSqlGenComp");

    EXPECT_FALSE(Parse("").found);
    EXPECT_EQ(ui.shown.size(), 2u);
}

TEST(ParseTableName, FromAsTheLastWordFailsSilently) {
    test::RecordingUserInterface ui;
    EXPECT_FALSE(Parse("select * from").found);
    EXPECT_FALSE(Parse("select * FROM\n").found);
    EXPECT_TRUE(ui.shown.empty());
}

TEST(BuildRunText, ReplacesEveryExactOccurrenceOfTheQualifiedName) {
    EXPECT_EQ(BuildRunText("SELECT Sales.dbo.Orders.Id FROM Sales.dbo.Orders", "Sales.dbo.Orders", "Orders"),
              "SELECT Orders.Id FROM Orders");
    EXPECT_EQ(BuildRunText("SELECT * FROM dbo.T WHERE DBO.T.a = 1", "dbo.T", "T"), "SELECT * FROM T WHERE DBO.T.a = 1");
    EXPECT_EQ(BuildRunText("SELECT * FROM Orders", "Orders", "Orders"), "SELECT * FROM Orders");
    EXPECT_EQ(BuildRunText("SELECT * FROM  Orders", "", ""), "SELECT * FROM  Orders");
}

}  // namespace
}  // namespace qarn::control
