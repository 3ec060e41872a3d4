#include "dialogs/DataLinkDialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>
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
using Shown = test::RecordingUserInterface::Shown;

// What a recorded message box or error window said, as one comparable value.
using BoxValue = std::tuple<std::string, std::string, MsgIcon, std::string>;
BoxValue Box(const Shown& s) {
    return {s.kind, s.text, s.icon, s.title};
}

const char* const kFieldNames[] = {"txtFile",   "txtServer",     "txtPort", "txtDatabase", "cboDataSource",
                                   "cboDriver", "txtOdbcString", "txtUser", "txtPassword"};

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

    static inline QApplication* app_ = nullptr;
    test::RecordingUserInterface ui;
};

using DataLinkDialogTest = DataLinkTest;
using DataLinkPromptTest = DataLinkTest;

TEST_F(DataLinkDialogTest, ShowsOnlyTheChosenProvidersFields) {
    DataLinkDialog d;
    d.show();
    EXPECT_EQ(Get(d, "txtPassword").echoMode(), QLineEdit::Password);
    auto& provider = Get<QComboBox>(d, "cboProvider");
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

// The fields are wired to the string both ways (what is written comes from
// the fields), the port takes digits only, and a new load forgets the
// previous string's entries.
TEST_F(DataLinkDialogTest, FieldsAreWiredToTheString) {
    DataLinkDialog d;
    d.show();
    d.SetProvider(Provider::PostgreSql);
    const std::pair<const char*, QString> typed[] = {{"txtServer", "127.0.0.1"},
                                                     {"txtPort", "54x32"},
                                                     {"txtDatabase", "sales"},
                                                     {"txtUser", "ann"},
                                                     {"txtPassword", "secret"}};
    for (const auto& [name, text] : typed) Type(d, name, text);
    const std::string written = d.ConnectionString();
    EXPECT_EQ(written,
              "Provider=PostgreSQL;Data Source=127.0.0.1;Port=5432;Initial Catalog=sales;User ID=ann;Password=secret");
    DataLinkDialog back;
    back.LoadFrom(written + ";sslmode=require");
    EXPECT_EQ(back.ConnectionString(), written + ";sslmode=require");
    back.LoadFrom("Driver={No Such Driver};Server=h;UID=u");
    EXPECT_EQ(back.ConnectionString(), "Driver={No Such Driver};Server=h;UID=u;PWD=");
    back.LoadFrom("Provider=PostgreSQL;Data Source=h");
    EXPECT_EQ(back.ConnectionString(), "Provider=PostgreSQL;Data Source=h");
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

// The test button opens the typed string and closes it again; a failure shows what the connection says.
TEST_F(DataLinkDialogTest, TestConnectionOpensAndClosesTheTypedString) {
    const std::string file = test::MakeSqliteDatabase("CREATE TABLE t(a INTEGER);");
    DataLinkDialog d;
    d.show();
    Type(d, "txtFile", QString::fromStdString(file));
    Click(d, "cmdTest");
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(Box(ui.shown[0]),
              (BoxValue{"message", "Test connection succeeded.", MsgIcon::Information, "Data Link Properties"}));
    EXPECT_EQ(OpenDescriptorsOn(file), 0);
    EXPECT_TRUE(d.isVisible());  // testing does not end the dialog

    const std::string missing = "Provider=SQLite;Data Source=" + test::ScratchPath("missing.db");
    auto reference = ado::Connection::Create();
    reference->SetConnectionString(missing);
    ErrObject err;
    try {
        reference->Open();
    } catch (...) {
        err = CurrentErr();
    }
    ASSERT_NE(err.Number, 0);
    d.LoadFrom(missing);
    ui.shown.clear();
    Click(d, "cmdTest");
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].kind, "error-window");
    EXPECT_EQ(ui.shown[0].text, BuildErrorReport("Data Link Properties", err, ""));
    EXPECT_EQ(ui.shown[0].providerErrors, ProviderErrorLines(reference.get()));
}

TEST_F(DataLinkPromptTest, OkReturnsTheStringAndCancelLeavesItAlone) {
    auto typeAndPress = [](const char* field, const char* text, const char* button) {
        return [=](DataLinkDialog& d) {
            d.show();
            Type(d, field, text);
            Click(d, button);
        };
    };
    SetDataLinkDialogDriver(typeAndPress("txtFile", "/data/a.db", "cmdOK"));
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
    SetDataLinkDialogDriver(typeAndPress("txtPassword", "new", "cmdOK"));
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
    EXPECT_EQ(Box(ui.shown[1]), (BoxValue{"message", BuildErrorReport("Data Link Properties", {5, "driver failed"}, ""),
                                          MsgIcon::Critical, ""}));

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
    EXPECT_EQ(
        Box(shownThere[1]),
        (BoxValue{"message",
                  "The Data Link Properties dialog can only be shown on the thread that runs the program's windows.",
                  MsgIcon::Exclamation, "Data Link Properties"}));
}

}  // namespace
}  // namespace qarn::control
