#include "dialogs/DataLinkDialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>
#include <thread>
#include <tuple>

#include "ado/AdoError.h"
#include "ado/Connection.h"
#include "ado/ConnectionString.h"
#include "basErrorHandlerADO.h"
#include "dialogs/DataLinkPrompts.h"
#include "odbc/OdbcEngine.h"
#include "support/TestSupport.h"

namespace qarn::control {
namespace {

namespace fs = std::filesystem;
using Provider = DataLinkDialog::Provider;
using FieldValues = std::map<std::string, std::string>;
using Shown = test::RecordingUserInterface::Shown;

// What a recorded message box or error window said, as one comparable value.
using BoxValue = std::tuple<std::string, std::string, MsgIcon, std::string>;
BoxValue Box(const Shown& s) {
    return {s.kind, s.text, s.icon, s.title};
}

const char* const kFieldNames[] = {"txtFile",       "txtServer", "txtPort", "txtDatabase", "cboDataSource",
                                   "cboDriver",     "txtOdbcString", "txtUser", "txtPassword"};

class DataLinkTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QApplication::instance()) return;
        static int argc = 1;
        static char name[] = "test_control";
        static char* argv[] = {name, nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = new QApplication(argc, argv);
    }
    static void TearDownTestSuite() {
        delete app_;
        app_ = nullptr;
    }
    void TearDown() override { SetDataLinkDialogDriver({}); }

    template <class W = QLineEdit>
    static W& Get(QWidget& dialog, const char* name) {
        auto* w = dialog.findChild<W*>(name);
        if (!w) throw std::runtime_error(std::string("the dialog has no ") + name);
        return *w;
    }
    // Types into a line edit or an editable combo as a user would.
    static void Type(QWidget& dialog, const char* name, const QString& text) {
        auto* combo = dialog.findChild<QComboBox*>(name);
        QLineEdit& edit = combo ? *combo->lineEdit() : Get(dialog, name);
        edit.clear();
        QTest::keyClicks(&edit, text);
    }
    static void Click(QWidget& dialog, const char* name) {
        QTest::mouseClick(&Get<QPushButton>(dialog, name), Qt::LeftButton);
    }
    // Every field's text, and the provider's label.
    static FieldValues Fields(DataLinkDialog& d) {
        FieldValues values{{"cboProvider", Get<QComboBox>(d, "cboProvider").currentText().toStdString()}};
        for (const char* name : kFieldNames) {
            auto* combo = d.findChild<QComboBox*>(name);
            values[name] = (combo ? combo->currentText() : Get(d, name).text()).toStdString();
        }
        return values;
    }
    static FieldValues Expected(const char* provider, const FieldValues& filled) {
        FieldValues values{{"cboProvider", provider}};
        for (const char* name : kFieldNames) values[name] = "";
        for (const auto& [k, v] : filled) values.at(k) = v;
        return values;
    }

    static inline QApplication* app_ = nullptr;
    test::RecordingUserInterface ui;
};

using DataLinkDialogTest = DataLinkTest;
using DataLinkPromptTest = DataLinkTest;

TEST_F(DataLinkDialogTest, ShowsOnlyTheChosenProvidersFields) {
    DataLinkDialog d;
    d.show();
    EXPECT_EQ(d.windowTitle(), "Data Link Properties");
    EXPECT_TRUE(d.isModal());
    EXPECT_EQ(Get<QPushButton>(d, "cmdTest").text(), "&Test Connection");
    EXPECT_EQ(Get(d, "txtPassword").echoMode(), QLineEdit::Password);
    auto& provider = Get<QComboBox>(d, "cboProvider");
    QStringList labels;
    for (int i = 0; i < provider.count(); ++i) labels << provider.itemText(i);
    EXPECT_EQ(labels, QStringList({"SQLite database file", "Microsoft Access / Jet database file",
                                   "Microsoft SQL Server", "PostgreSQL", "MariaDB / MySQL", "ODBC data source"}));
    EXPECT_EQ(d.CurrentProvider(), Provider::Sqlite);
    EXPECT_EQ(d.ConnectionString(), "Provider=SQLite");

    const std::set<std::string> file = {"txtFile"};
    const std::set<std::string> server = {"txtServer", "txtPort", "txtDatabase", "txtUser", "txtPassword"};
    const std::set<std::string> odbc = {"cboDataSource", "cboDriver", "txtOdbcString", "txtUser", "txtPassword"};
    const std::set<std::string> shown[] = {file, file, server, server, server, odbc};
    for (int p = 0; p < 6; ++p) {
        if (p == 1) {
            QTest::keyClick(&provider, Qt::Key_Down);  // the keyboard reaches the same switch
        } else {
            provider.setCurrentIndex(p);
        }
        ASSERT_EQ(static_cast<int>(d.CurrentProvider()), p);
        for (const char* name : kFieldNames)
            EXPECT_EQ(Get<QWidget>(d, name).isVisible(), shown[p].count(name) == 1) << name << " for provider " << p;
        EXPECT_EQ(Get<QPushButton>(d, "cmdBrowse").isVisible(), p < 2);
    }
}

TEST_F(DataLinkDialogTest, TypedFieldsMakeEachProvidersString) {
    struct Case {
        Provider provider;
        std::vector<std::pair<const char*, QString>> typed;
        std::string expected;
    };
    const Case cases[] = {
        {Provider::Sqlite, {{"txtFile", "/data/stock.db"}}, "Provider=SQLite;Data Source=/data/stock.db"},
        {Provider::Access, {{"txtFile", "/data/Sample.mdb"}}, "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/data/Sample.mdb"},
        {Provider::SqlServer,
         {{"txtServer", "mssql.local"}, {"txtPort", "1433"}, {"txtDatabase", "sales"}, {"txtUser", "sa"}, {"txtPassword", "secret"}},
         "Provider=SQLOLEDB.1;Data Source=mssql.local,1433;Initial Catalog=sales;User ID=sa;Password=secret"},
        {Provider::SqlServer, {{"txtServer", "host\\inst"}, {"txtUser", "sa"}},
         "Provider=SQLOLEDB.1;Data Source=host\\inst;User ID=sa;Password="},
        // The port takes digits only.
        {Provider::PostgreSql,
         {{"txtServer", "127.0.0.1"}, {"txtPort", "54x32"}, {"txtDatabase", "sales"}, {"txtUser", "ann"}, {"txtPassword", "secret"}},
         "Provider=PostgreSQL;Data Source=127.0.0.1;Port=5432;Initial Catalog=sales;User ID=ann;Password=secret"},
        {Provider::MariaDb, {{"txtServer", "db.local"}, {"txtPassword", "secret"}},
         "Provider=MariaDB;Data Source=db.local;Password=secret"},
        {Provider::MariaDb, {}, "Provider=MariaDB"},
        {Provider::Odbc, {{"cboDataSource", "warehouse"}}, "Provider=MSDASQL.1;DSN=warehouse"},
        {Provider::Odbc, {{"cboDataSource", "warehouse"}, {"txtUser", "ann"}}, "Provider=MSDASQL.1;DSN=warehouse;UID=ann;PWD="},
        {Provider::Odbc, {{"txtOdbcString", " Server=h;Port=5; "}, {"txtPassword", "pw"}},
         "Provider=MSDASQL.1;Server=h;Port=5;PWD=pw"},
        // A typed string that names its provider is left to choose it.
        {Provider::Odbc, {{"txtOdbcString", "Provider=SQLite;Data Source=/x.db"}}, "Provider=SQLite;Data Source=/x.db"},
    };
    for (const auto& c : cases) {
        DataLinkDialog d;
        d.show();
        d.SetProvider(c.provider);
        for (const auto& [name, text] : c.typed) Type(d, name, text);
        EXPECT_EQ(d.ConnectionString(), c.expected);
    }
}

TEST_F(DataLinkDialogTest, ValuesThatNeedQuotingReadBackUnchanged) {
    const std::string values[] = {"a;b", "{x}}", "p=q", " lead", "trail ", "\"quoted\"", "'single'", "\ttab", "x\t", "'"};
    struct Form {
        Provider provider;
        std::vector<const char*> fields;
        const char* key;  // the entry the last field writes
    };
    const Form forms[] = {{Provider::Sqlite, {"txtFile"}, "Data Source"},
                          {Provider::PostgreSql, {"txtServer", "txtDatabase", "txtUser", "txtPassword"}, "Password"},
                          {Provider::Odbc, {"txtUser", "txtPassword"}, "PWD"}};
    for (const auto& v : values) {
        for (const auto& form : forms) {
            DataLinkDialog d;
            d.SetProvider(form.provider);
            const QString text = QString::fromStdString(v);
            for (const char* name : form.fields) Get(d, name).setText(text);
            if (form.provider == Provider::Odbc) Get<QComboBox>(d, "cboDataSource").setEditText(text);
            const std::string s = d.ConnectionString();
            const auto entries = ado::ParseConnectionString(s);
            const char* key = form.key;
            EXPECT_EQ(ado::EntryValue(entries, {key}), v) << s;
            DataLinkDialog back;
            back.LoadFrom(s);
            EXPECT_EQ(Fields(back), Fields(d)) << s;
        }
    }
}

TEST_F(DataLinkDialogTest, LoadFromFillsTheFieldsAndWritesTheSameEntriesBack) {
    struct Case {
        std::string input;
        FieldValues fields;
        std::string output;  // empty: the input itself
    };
    const Case cases[] = {
        {"provider=sqlite;database= /x y.db ", Expected("SQLite database file", {{"txtFile", "/x y.db"}}),
         "Provider=sqlite;Data Source=/x y.db"},
        {"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/d/a.accdb;Persist Security Info=False",
         Expected("Microsoft Access / Jet database file", {{"txtFile", "/d/a.accdb"}}), ""},
        {"Provider=SQLNCLI11;Server=mssql.local, 1444;Database=sales;UID=sa;PWD=secret",
         Expected("Microsoft SQL Server", {{"txtServer", "mssql.local"}, {"txtPort", "1444"}, {"txtDatabase", "sales"},
                                           {"txtUser", "sa"}, {"txtPassword", "secret"}}),
         "Provider=SQLNCLI11;Data Source=mssql.local,1444;Initial Catalog=sales;User ID=sa;Password=secret"},
        {"Provider=MSOLEDBSQL;Data Source=host\\inst;Integrated Security=SSPI",
         Expected("Microsoft SQL Server", {{"txtServer", "host\\inst"}}), ""},
        {"Provider=PostgreSQL;Data Source=127.0.0.1;Port=5432;Initial Catalog=sales;User ID=ann;Password=secret;sslmode=require",
         Expected("PostgreSQL", {{"txtServer", "127.0.0.1"}, {"txtPort", "5432"}, {"txtDatabase", "sales"},
                                 {"txtUser", "ann"}, {"txtPassword", "secret"}}),
         ""},
        {"Provider=MySQL;Data Source=db;Initial Catalog=\"a;b\";User ID=ann;Password='it''s'",
         Expected("MariaDB / MySQL", {{"txtServer", "db"}, {"txtDatabase", "a;b"}, {"txtUser", "ann"}, {"txtPassword", "it's"}}),
         "Provider=MySQL;Data Source=db;Initial Catalog={a;b};User ID=ann;Password=it's"},
        {"Provider=MSDASQL;DSN=warehouse", Expected("ODBC data source", {{"cboDataSource", "warehouse"}}), ""},
        // Without a Provider entry the string stays without one.
        {"Driver={MariaDB Unicode};Server=h;Database=d;UID=u;PWD={p;w}",
         Expected("ODBC data source", {{"cboDriver", "MariaDB Unicode"}, {"txtOdbcString", "Server=h;Database=d"},
                                       {"txtUser", "u"}, {"txtPassword", "p;w"}}),
         ""},
        {"Provider=MSDASQL.1;Driver={No Such Driver};X=1", Expected("ODBC data source", {{"cboDriver", "No Such Driver"}, {"txtOdbcString", "X=1"}}), ""},
        {"Provider=Oracle.OLEDB;Data Source=orcl;User ID=scott",
         Expected("ODBC data source", {{"txtOdbcString", "Provider=Oracle.OLEDB;Data Source=orcl;User ID=scott"}}), ""},
        {"  ", Expected("SQLite database file", {}), "Provider=SQLite"},
    };
    for (const auto& c : cases) {
        DataLinkDialog d;
        d.LoadFrom(c.input);
        EXPECT_EQ(Fields(d), c.fields) << c.input;
        const std::string written = d.ConnectionString();
        EXPECT_EQ(written, c.output.empty() ? c.input : c.output);
        DataLinkDialog back;
        back.LoadFrom(written);
        EXPECT_EQ(Fields(back), c.fields) << written;
        EXPECT_EQ(back.ConnectionString(), written);
    }
}

TEST_F(DataLinkDialogTest, UncoveredEntriesSurviveAnEditAndStayWithTheirProvider) {
    DataLinkDialog d;
    d.show();
    d.LoadFrom("Provider=PostgreSQL;Data Source=h;User ID=ann;Password=old;sslmode=require");
    Type(d, "txtPassword", "new");
    EXPECT_EQ(d.ConnectionString(), "Provider=PostgreSQL;Data Source=h;User ID=ann;Password=new;sslmode=require");
    d.SetProvider(Provider::MariaDb);
    EXPECT_EQ(d.ConnectionString(), "Provider=MariaDB;Data Source=h;User ID=ann;Password=new");
    d.SetProvider(Provider::PostgreSql);
    EXPECT_EQ(d.ConnectionString(), "Provider=PostgreSQL;Data Source=h;User ID=ann;Password=new;sslmode=require");
    // A new load forgets the previous string's entries.
    d.LoadFrom("Provider=PostgreSQL;Data Source=h");
    EXPECT_EQ(d.ConnectionString(), "Provider=PostgreSQL;Data Source=h");
}

TEST_F(DataLinkDialogTest, OdbcListsAreWhatUnixOdbcReports) {
    DataLinkDialog d;
    d.show();
    d.SetProvider(Provider::Odbc);
    auto& drivers = Get<QComboBox>(d, "cboDriver");
    std::vector<std::string> listed;
    for (int i = 1; i < drivers.count(); ++i) listed.push_back(drivers.itemText(i).toStdString());
    EXPECT_EQ(drivers.itemText(0), "");
    EXPECT_EQ(listed, ado::OdbcDrivers());
    EXPECT_NE(std::find(listed.begin(), listed.end(), "PostgreSQL Unicode"), listed.end());
    EXPECT_NE(std::find(listed.begin(), listed.end(), "MariaDB Unicode"), listed.end());
    auto& sources = Get<QComboBox>(d, "cboDataSource");
    std::vector<std::string> names;
    for (int i = 0; i < sources.count(); ++i) names.push_back(sources.itemText(i).toStdString());
    EXPECT_EQ(names, ado::OdbcDataSources());

    drivers.setCurrentIndex(drivers.findText("MariaDB Unicode"));
    Type(d, "txtOdbcString", "Server=h");
    EXPECT_EQ(d.ConnectionString(), "Provider=MSDASQL.1;Driver={MariaDB Unicode};Server=h");
}

// Descriptors this process holds on `file`.
int OpenDescriptorsOn(const std::string& file) {
    int count = 0;
    const fs::path target = fs::canonical(file);
    for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (fs::read_symlink(fd.path(), ec) == target) ++count;
    }
    return count;
}

TEST_F(DataLinkDialogTest, TestConnectionSucceedsOnARealFileAndClosesIt) {
    const std::string file = test::MakeSqliteDatabase("CREATE TABLE t(a INTEGER);");
    for (Provider p : {Provider::Sqlite, Provider::Access}) {  // Jet strings open SQLite files natively
        DataLinkDialog d;
        d.show();
        d.SetProvider(p);
        Type(d, "txtFile", QString::fromStdString(file));
        ui.shown.clear();
        Click(d, "cmdTest");
        ASSERT_EQ(ui.shown.size(), 1u);
        EXPECT_EQ(Box(ui.shown[0]), (BoxValue{"message", "Test connection succeeded.", MsgIcon::Information,
                                               "Data Link Properties"}));
        EXPECT_EQ(OpenDescriptorsOn(file), 0);
        EXPECT_TRUE(d.isVisible());  // testing does not end the dialog
    }
}

TEST_F(DataLinkDialogTest, TestConnectionFailuresShowTheConnectionsReport) {
    const std::string missing = test::ScratchPath("missing.db");
    struct Case {
        std::string connectionString;
        std::string kind;
    };
    const Case cases[] = {
        {"Provider=SQLite;Data Source=" + missing, "error-window"},
        {"Provider=SQLite", "error-window"},                  // no file named
        {"Provider=NoSuchProvider;Data Source=x", "message"},  // 3706, no provider records
    };
    for (const auto& c : cases) {
        // What the connection itself says about this string.
        auto reference = ado::Connection::Create();
        reference->SetConnectionString(c.connectionString);
        ErrObject err;
        try {
            reference->Open();
            ADD_FAILURE() << c.connectionString << " opened";
        } catch (...) {
            err = CurrentErr();
        }
        DataLinkDialog d;
        d.show();
        d.LoadFrom(c.connectionString);
        ui.shown.clear();
        Click(d, "cmdTest");
        ASSERT_EQ(ui.shown.size(), 1u) << c.connectionString;
        EXPECT_EQ(ui.shown[0].kind, c.kind);
        EXPECT_EQ(ui.shown[0].text, BuildErrorReport("Data Link Properties", err, ""));
        EXPECT_EQ(ui.shown[0].providerErrors, ProviderErrorLines(reference.get()));
        if (c.kind == "message") {
            EXPECT_EQ(ui.shown[0].icon, MsgIcon::Critical);
        }
    }
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(BuildErrorReport("Data Link Properties", {ado::err::ProviderNotFound, ado::DescriptionFor(3706)}, ""),
              ui.shown[0].text);
}

TEST_F(DataLinkPromptTest, OkReturnsTheStringAndCancelLeavesItAlone) {
    auto typeAndPress = [](const char* field, const char* text, const char* button) {
        return [=](DataLinkDialog& d) {
            d.show();
            Type(d, field, text);
            Click(d, button);
        };
    };
    SetDataLinkDialogDriver([&](DataLinkDialog& d) {
        EXPECT_EQ(d.CurrentProvider(), Provider::Sqlite);
        EXPECT_EQ(d.ConnectionString(), "Provider=SQLite");
        typeAndPress("txtFile", "/data/a.db", "cmdOK")(d);
    });
    EXPECT_EQ(PromptNewConnection(nullptr), "Provider=SQLite;Data Source=/data/a.db");
    SetDataLinkDialogDriver(typeAndPress("txtFile", "/data/a.db", "cmdCancel"));
    EXPECT_EQ(PromptNewConnection(nullptr), "");
    SetDataLinkDialogDriver([](DataLinkDialog&) {});  // closed without a choice
    EXPECT_EQ(PromptNewConnection(nullptr), "");

    const std::string original = "Provider=PostgreSQL;Data Source=h;User ID=ann;Password=old;sslmode=require";
    std::string s = original;
    SetDataLinkDialogDriver(typeAndPress("txtPassword", "new", "cmdCancel"));
    EXPECT_FALSE(PromptEditConnection(nullptr, s));
    EXPECT_EQ(s, original);
    SetDataLinkDialogDriver([&](DataLinkDialog& d) {
        EXPECT_EQ(Get(d, "txtServer").text(), "h");
        typeAndPress("txtPassword", "new", "cmdOK")(d);
    });
    EXPECT_TRUE(PromptEditConnection(nullptr, s));
    EXPECT_EQ(s, "Provider=PostgreSQL;Data Source=h;User ID=ann;Password=new;sslmode=require");
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(DataLinkPromptTest, FailuresAreReportedAndCountAsCancel) {
    SetDataLinkDialogDriver([](DataLinkDialog& d) {
        d.accept();
        throw std::runtime_error("driver failed");
    });
    EXPECT_EQ(PromptNewConnection(nullptr), "");
    std::string s = "DSN=a";
    EXPECT_FALSE(PromptEditConnection(nullptr, s));
    EXPECT_EQ(s, "DSN=a");
    ASSERT_EQ(ui.shown.size(), 2u);
    EXPECT_EQ(Box(ui.shown[1]),
              (BoxValue{"message", BuildErrorReport("Data Link Properties", {5, "driver failed"}, ""), MsgIcon::Critical, ""}));

    // No widgets off the windows' thread: the user is told instead.
    std::string created = "unset";
    bool edited = true;
    std::vector<Shown> shownThere;
    std::thread other([&] {
        test::RecordingUserInterface there;
        created = PromptNewConnection(nullptr);
        edited = PromptEditConnection(nullptr, s);
        shownThere = there.shown;
    });
    other.join();
    EXPECT_EQ(created, "");
    EXPECT_FALSE(edited);
    EXPECT_EQ(s, "DSN=a");
    ASSERT_EQ(shownThere.size(), 2u);
    EXPECT_EQ(Box(shownThere[1]),
              (BoxValue{"message",
                        "The Data Link Properties dialog can only be shown on the thread that runs the program's windows.",
                        MsgIcon::Exclamation, "Data Link Properties"}));
}

}  // namespace
}  // namespace qarn::control
