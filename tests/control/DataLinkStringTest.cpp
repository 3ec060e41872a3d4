#include "logic/DataLinkString.h"

#include <gtest/gtest.h>

#include <tuple>

namespace qarn::control {
namespace {

using P = DataLinkProvider;

// What the dialog's fields show, in one comparable value.
auto Shown(const DataLinkFields& f) {
    return std::tuple(f.provider, f.file, f.server, f.port, f.database, f.dataSource, f.driver, f.odbcString, f.user,
                      f.password);
}

DataLinkFields Typed(P provider, std::initializer_list<std::pair<std::string DataLinkFields::*, std::string>> typed) {
    DataLinkFields f;
    f.provider = provider;
    for (const auto& [field, text] : typed) f.*field = text;
    return f;
}

using F = DataLinkFields;

TEST(DataLinkStringTest, TypedFieldsMakeEachProvidersString) {
    const std::pair<DataLinkFields, std::string> cases[] = {
        {Typed(P::Sqlite, {{&F::file, "/data/stock.db"}}), "Provider=SQLite;Data Source=/data/stock.db"},
        {Typed(P::Access, {{&F::file, "/data/Sample.mdb"}}),
         "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/data/Sample.mdb"},
        {Typed(P::SqlServer, {{&F::server, "mssql.local"},
                              {&F::port, "1433"},
                              {&F::database, "sales"},
                              {&F::user, "sa"},
                              {&F::password, "secret"}}),
         "Provider=SQLOLEDB.1;Data Source=mssql.local,1433;Initial Catalog=sales;User ID=sa;Password=secret"},
        {Typed(P::PostgreSql, {{&F::server, "127.0.0.1"}, {&F::port, "5432"}, {&F::database, "sales"}}),
         "Provider=PostgreSQL;Data Source=127.0.0.1;Port=5432;Initial Catalog=sales"},
        {Typed(P::MariaDb, {{&F::server, "db.local"}, {&F::password, "secret"}}),
         "Provider=MariaDB;Data Source=db.local;Password=secret"},
        {Typed(P::Odbc, {{&F::dataSource, "warehouse"}, {&F::user, "ann"}}),
         "Provider=MSDASQL.1;DSN=warehouse;UID=ann;PWD="},
        {Typed(P::Odbc, {{&F::odbcString, " Server=h;Port=5; "}, {&F::password, "pw"}, {&F::driver, "My Driver"}}),
         "Provider=MSDASQL.1;Driver={My Driver};Server=h;Port=5;PWD=pw"},
        // A typed string that names its provider is left to choose it.
        {Typed(P::Odbc, {{&F::odbcString, "Provider=SQLite;Data Source=/x.db"}}), "Provider=SQLite;Data Source=/x.db"},
    };
    for (const auto& [fields, expected] : cases) EXPECT_EQ(WriteDataLink(fields), expected);
}

TEST(DataLinkStringTest, ValuesThatNeedQuotingReadBackUnchanged) {
    const std::string values[] = {"a;b", "{x}}", "p=q", " lead", "trail ", "\"quoted\"", "\ttab", "'"};
    for (const auto& v : values) {
        const DataLinkFields forms[] = {
            Typed(P::Sqlite, {{&F::file, v}}),
            Typed(P::PostgreSql, {{&F::server, v}, {&F::database, v}, {&F::user, v}, {&F::password, v}}),
            Typed(P::Odbc, {{&F::dataSource, v}, {&F::user, v}, {&F::password, v}}),
        };
        for (const auto& f : forms) {
            const std::string s = WriteDataLink(f);
            EXPECT_EQ(Shown(ReadDataLink(s)), Shown(f)) << s;
        }
    }
}

TEST(DataLinkStringTest, ReadFillsTheFieldsAndWritesTheSameEntriesBack) {
    struct Case {
        std::string input;
        DataLinkFields fields;
        std::string output;  // empty: the input itself
    };
    const Case cases[] = {
        {"provider=sqlite;database= /x y.db ", Typed(P::Sqlite, {{&F::file, "/x y.db"}}),
         "Provider=sqlite;Data Source=/x y.db"},
        {"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/d/a.accdb;Persist Security Info=False",
         Typed(P::Access, {{&F::file, "/d/a.accdb"}}), ""},
        {"Provider=SQLNCLI11;Server=mssql.local, 1444;Database=sales;UID=sa;PWD=secret",
         Typed(P::SqlServer, {{&F::server, "mssql.local"},
                              {&F::port, "1444"},
                              {&F::database, "sales"},
                              {&F::user, "sa"},
                              {&F::password, "secret"}}),
         "Provider=SQLNCLI11;Data Source=mssql.local,1444;Initial Catalog=sales;User ID=sa;Password=secret"},
        {"Provider=MySQL;Data Source=db;Initial Catalog=\"a;b\";User ID=ann;Password='it''s'",
         Typed(P::MariaDb, {{&F::server, "db"}, {&F::database, "a;b"}, {&F::user, "ann"}, {&F::password, "it's"}}),
         "Provider=MySQL;Data Source=db;Initial Catalog={a;b};User ID=ann;Password=it's"},
        {"Provider=MSOLEDBSQL;Data Source=host\\inst;Integrated Security=SSPI",
         Typed(P::SqlServer, {{&F::server, "host\\inst"}}), ""},
        {"Provider=MSDASQL;DSN=warehouse", Typed(P::Odbc, {{&F::dataSource, "warehouse"}}), ""},
        // Without a Provider entry the string stays without one.
        {"Driver={MariaDB Unicode};Server=h;Database=d;UID=u;PWD={p;w}",
         Typed(P::Odbc, {{&F::driver, "MariaDB Unicode"},
                         {&F::odbcString, "Server=h;Database=d"},
                         {&F::user, "u"},
                         {&F::password, "p;w"}}),
         ""},
        // An unknown provider's string is kept whole.
        {"Provider=Oracle.OLEDB;Data Source=orcl;User ID=scott",
         Typed(P::Odbc, {{&F::odbcString, "Provider=Oracle.OLEDB;Data Source=orcl;User ID=scott"}}), ""},
        {"  ", Typed(P::Sqlite, {}), "Provider=SQLite"},
    };
    for (const auto& c : cases) {
        const DataLinkFields read = ReadDataLink(c.input);
        EXPECT_EQ(Shown(read), Shown(c.fields)) << c.input;
        const std::string written = WriteDataLink(read);
        EXPECT_EQ(written, c.output.empty() ? c.input : c.output);
        EXPECT_EQ(WriteDataLink(ReadDataLink(written)), written);
    }
}

TEST(DataLinkStringTest, UncoveredEntriesStayWithTheirProvider) {
    DataLinkFields f = ReadDataLink("Provider=PostgreSQL;Data Source=h;User ID=ann;Password=old;sslmode=require");
    f.password = "new";
    EXPECT_EQ(WriteDataLink(f), "Provider=PostgreSQL;Data Source=h;User ID=ann;Password=new;sslmode=require");
    f.provider = P::MariaDb;
    EXPECT_EQ(WriteDataLink(f), "Provider=MariaDB;Data Source=h;User ID=ann;Password=new");
}

}  // namespace
}  // namespace qarn::control
