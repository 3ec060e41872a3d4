// Connection strings: their entries, the engine each provider picks, and
// the server kind recorded from the Provider entry.
#include <gtest/gtest.h>

#include "ado/AdoError.h"
#include "ado/ConnectionString.h"
#include "ado/ProviderTable.h"
#include "basSQLGenComp.h"
#include "support/TestSupport.h"

using namespace qarn;
using namespace qarn::ado;

TEST(ConnectionStringTest, EntriesKeepQuotedAndBracedValuesWhole) {
    auto e = ParseConnectionString(" Provider = SQLite ;Data Source=\"a;b.db\";PWD={x;}}y};;Empty=;Flag");
    ASSERT_EQ(e.size(), 5u);
    EXPECT_EQ(e[0].key, "Provider");
    EXPECT_EQ(e[0].value, "SQLite");
    EXPECT_EQ(e[1].value, "a;b.db");
    EXPECT_EQ(e[2].value, "x;}y");
    EXPECT_EQ(e[3].key, "Empty");
    EXPECT_EQ(e[3].value, "");
    EXPECT_EQ(e[4].key, "Flag");
    EXPECT_EQ(EntryValue(e, {"data source"}), "a;b.db");
    EXPECT_EQ(ParseConnectionString("PWD=" + OdbcQuote("p;w}d"))[0].value, "p;w}d");
}

TEST(ConnectionStringTest, ServerKindFollowsTheFirstProviderEntry) {
    struct Case {
        const char* text;
        int32_t kind;
    } cases[] = {
        {"Provider=SQLOLEDB.1;Data Source=srv", 1},
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=c:\\db.mdb", 0},
        {"Provider=MSDASQL;DSN=x", 2},
        {"Provider=MSDAORA;Data Source=ora", 5},
        {"provider=microsoft.jet.oledb.4.0;Data Source=x", 0},
        {"Provider=MSDASQL;Provider=SQLOLEDB", 2},  // only the first counts
        {";;Provider=MSDASQL;DSN=x", 2},            // empty elements before it are skipped
        {"", 1},
    };
    for (const auto& c : cases) {
        glngServerKind = 99;
        gSetServerKind(c.text);
        EXPECT_EQ(glngServerKind, c.kind) << c.text;
    }
}

TEST(ConnectionStringTest, ProvidersPickTheirEngineAndTranslateEntries) {
    // PostgreSQL opens natively, in any case; its entries are read by that engine.
    for (const char* text : {"Provider=PostgreSQL;Data Source=db.local", "provider=POSTGRESQL;Server=x"}) {
        auto pg = RouteConnectionString(text);
        EXPECT_EQ(pg.engine, ProviderRoute::Engine::Postgres) << text;
        EXPECT_EQ(pg.target, text);
    }

    auto ss =
        RouteConnectionString("Provider=SQLOLEDB.1;Data Source=srv,1444;Initial Catalog=db;User ID=sa;Password=x");
    auto ssEntries = ParseConnectionString(ss.target);
    EXPECT_EQ(EntryValue(ssEntries, {"Driver"}), "FreeTDS");
    EXPECT_EQ(EntryValue(ssEntries, {"Server"}), "srv");
    EXPECT_EQ(EntryValue(ssEntries, {"Port"}), "1444");

    // MariaDB and MySQL open the native engine, which reads the entries itself;
    // a plain ODBC string still goes to the ODBC driver.
    for (const char* provider : {"MySQL", "mariadb", "MARIADB"}) {
        auto my = RouteConnectionString(std::string("Provider=") + provider + ";Server=h;Database=d");
        EXPECT_EQ(my.engine, ProviderRoute::Engine::MariaDb) << provider;
        EXPECT_EQ(my.target, std::string("Provider=") + provider + ";Server=h;Database=d");
    }
    EXPECT_EQ(RouteConnectionString("Driver={MariaDB Unicode};Server=h").engine, ProviderRoute::Engine::Odbc);
    EXPECT_EQ(RouteConnectionString("DSN=maria").engine, ProviderRoute::Engine::Odbc);

    auto odbc = RouteConnectionString("Provider=MSDASQL.1;Driver={PostgreSQL Unicode};Server=x");
    EXPECT_EQ(EntryValue(ParseConnectionString(odbc.target), {"Driver"}), "PostgreSQL Unicode");
    EXPECT_EQ(EntryValue(ParseConnectionString(odbc.target), {"Provider"}), "");

    auto lite = RouteConnectionString("Provider=sqlite;Data Source=:memory:");
    EXPECT_EQ(lite.engine, ProviderRoute::Engine::Sqlite);
    EXPECT_EQ(lite.target, ":memory:");
}

TEST(ConnectionStringTest, JetDataSourceOpensSqliteFilesNativelyAndAccessFilesThroughMdbTools) {
    std::string sqliteFile = test::ScratchPath("jet.sqlite");
    test::WriteBytes(sqliteFile, std::string("SQLite format 3\0", 16) + std::string(100, '\0'));
    auto r = RouteConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + sqliteFile);
    EXPECT_EQ(r.engine, ProviderRoute::Engine::Sqlite);
    EXPECT_EQ(r.target, sqliteFile);

    std::string mdb = test::AccessSampleFile();
    ASSERT_FALSE(mdb.empty()) << "fp-units-db's Access file is not installed";
    auto a = RouteConnectionString("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + mdb);
    EXPECT_EQ(a.engine, ProviderRoute::Engine::Odbc);
    EXPECT_EQ(EntryValue(ParseConnectionString(a.target), {"DBQ"}), mdb);

    try {
        RouteConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/no/such/file.mdb");
        FAIL() << "a missing Jet file must not open";
    } catch (const AdoError& e) {
        EXPECT_EQ(e.Description(), "Could not find file '/no/such/file.mdb'.");
        ASSERT_EQ(e.Records().size(), 1u);
    }
}

// ODBC drivers take at most 32767 characters and may crash on more: no
// engine is given a longer string (the check comes before any engine is
// picked).  Characters, not bytes, are counted.
TEST(ConnectionStringTest, OpenRefusesAStringOver32767Characters) {
    const std::string sqlite = "Provider=SQLite;Data Source=" + test::MakeSqliteDatabase("SELECT 1;") + ";Note=";
    std::string accented = sqlite;
    for (size_t n = sqlite.size(); n < 32767; ++n) accented += "\u00e9";
    struct Case {
        const char* name;
        std::string text;
        size_t tooLong;  // the count in the error; 0 when the string opens
    } cases[] = {
        {"SQLite at the limit", sqlite + std::string(32767 - sqlite.size(), 'x'), 0},
        {"SQLite at the limit in two-byte characters", accented, 0},
        {"SQLite one over", sqlite + std::string(32768 - sqlite.size(), 'x'), 32768},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto connection = Connection::Create();
        connection->SetConnectionString(c.text);
        if (c.tooLong == 0) {
            EXPECT_NO_THROW(connection->Open());
            continue;
        }
        std::string expected =
            "The connection string is too long (" + std::to_string(c.tooLong) + " characters; at most 32767)";
        try {
            connection->Open();
            ADD_FAILURE() << "opened";
        } catch (const AdoError& e) {
            EXPECT_EQ(e.Description(), expected);
        }
        ASSERT_EQ(connection->Errors().size(), 1u);
        EXPECT_EQ(connection->Errors()[0].Description, expected);
        EXPECT_EQ(connection->State(), adStateClosed);
    }
}
