// The control as a host sees it: created by its programmatic identifier,
// every member called late-bound by dispatch identifier, its event counted.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include "api/Registry.h"
#include "host/ControlHost.h"
#include "support/TestDatabase.h"
#include "ui/UserInterface.h"

using namespace qarn;
using namespace qarn::host;
using dispatch::InvokeKind;

namespace {
// The identifiers hosts are built against.
constexpr DispId kState = 0x68030000, kReturnMessage = 0x68030001, kIncludeIdent = 0x68030002, kStatusText = 0x68030003,
                 kForDisplay = 0x60030006, kConnect = 0x60030007, kDisconnect = 0x60030008, kGenerate = 0x60030009,
                 kRunScript = 0x6003000A, kAbout = -552;

class Recorder : public UserInterface {
public:
    MsgResult MessageBox(const std::string& text, MsgIcon, const std::string&, MsgButtons) override {
        shown.push_back(text);
        return MsgResult::Ok;
    }
    void ShowErrorWindow(const std::string& report, const std::vector<std::string>&) override {
        shown.push_back(report);
    }
    void RestorePointer() override {}
    void EnableActiveWindow() override {}
    std::vector<std::string> shown;
};

class HostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test_host";
        static char* argv[] = {name, nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static QTemporaryDir data;
        qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
        app = new QApplication(argc, argv);
    }
    static void TearDownTestSuite() {
        delete app;
        app = nullptr;
    }
    void SetUp() override {
        std::string error;
        control = ControlHost::Create("qarnSqlGenComp.qarnSqlGenCntl", &window, &error);
        ASSERT_NE(control, nullptr) << error;
        control->SetUserInterface(&ui);
        control->OnStatusTextChanged(
            [this] { statuses.push_back(control->Call(kStatusText, InvokeKind::PropertyGet).Text()); });
    }
    void TearDown() override {
        if (control) {
            control->Call(kDisconnect, InvokeKind::Method, {false});
            control->SetUserInterface(nullptr);
        }
        control.reset();
    }
    static std::string Database(const std::string& sql) {
        return "Provider=SQLite;Data Source=" + test::MakeSqliteDatabase(sql);
    }

    static QApplication* app;
    QWidget window;
    Recorder ui;
    std::unique_ptr<ControlHost> control;
    std::vector<std::string> statuses;
};
QApplication* HostTest::app = nullptr;
}  // namespace

TEST_F(HostTest, TheLibraryRegistersItselfAndNamesMapToIdentifiers) {
    EXPECT_EQ(control->IdOf("generate"), kGenerate);
    EXPECT_EQ(control->IdOf("ShowAboutBox"), kAbout);
    QSettings registry(dispatch::RegistryFilePath(), QSettings::IniFormat);
    QString clsid = registry.value(dispatch::ProgIdKey(dispatch::kProgId)).toString();
    EXPECT_EQ(clsid, dispatch::kClsidControl);
    EXPECT_TRUE(registry.value(dispatch::ClsidKey(clsid)).toString().endsWith("libqarnSqlGenComp.so"));
}

TEST_F(HostTest, IncludeIdentCannotBeSetAtDesignTime) {
    control->SetAmbientUserMode(false);
    CallResult r = control->Call(kIncludeIdent, InvokeKind::PropertyPut, {true});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.number, 383);
    EXPECT_EQ(r.source, "qarnSqlGenCntl_IncludeIdent");
    EXPECT_EQ(r.description, "Let/Set not supported at design time.");
    EXPECT_FALSE(control->Call(kIncludeIdent, InvokeKind::PropertyGet).Bool());
    control->SetAmbientUserMode(true);
    EXPECT_TRUE(control->Put("IncludeIdent", true).ok);
    EXPECT_TRUE(control->Call(kIncludeIdent, InvokeKind::PropertyGet).Bool());
}

TEST_F(HostTest, ArgumentsAreDefaultedCheckedAndConverted) {
    CallResult none = control->Call(kConnect, InvokeKind::Method);
    ASSERT_TRUE(none.ok);
    EXPECT_FALSE(none.Bool());
    EXPECT_EQ(control->Call(kReturnMessage, InvokeKind::PropertyGet).Text(), "No connection string supplied");
    EXPECT_FALSE(control->Call(kDisconnect, InvokeKind::Method).ok);  // blnShowStatus is required
    EXPECT_FALSE(control->Call(kForDisplay, InvokeKind::Method, {std::monostate{}}).ok);
    EXPECT_FALSE(control->Call(kGenerate, InvokeKind::Method, {std::string("a"), std::string("b"), false, 1}).ok);
    EXPECT_FALSE(control->Call("NoSuchMember").ok);
    EXPECT_EQ(control->Call(kForDisplay, InvokeKind::Method, {std::string("UID=a;PWD={x;y}};z};DSN=d")}).Text(),
              "UID=a;pwd=**********;DSN=d");
}

// Every status text raises one event, and each argument reaches its member.
TEST_F(HostTest, ConnectRunGenerateAndDisconnectThroughTheControl) {
    ASSERT_TRUE(control->Call(kConnect, InvokeKind::Method, {Database("CREATE TABLE t(x INTEGER);")}).Bool());
    EXPECT_EQ(statuses, (std::vector<std::string>{"Connecting to database", "Connected"}));
    EXPECT_EQ(control->Call(kState, InvokeKind::PropertyGet).Int(), 1);
    // A statement over two lines runs only as a whole script.
    const std::string script = test::ScratchPath("s.sql"), out = test::ScratchPath("out.sql");
    test::WriteBytes(script, "INSERT INTO t\r\nVALUES(1);\r\nINSERT INTO t VALUES(2);\r\n");
    ASSERT_TRUE(control->Call(kRunScript, InvokeKind::Method, {script, 1}).Bool());
    EXPECT_EQ(statuses.back(), "Script Processed: " + script);
    ASSERT_TRUE(control->Call(kGenerate, InvokeKind::Method, {out, std::string("SELECT * FROM t"), true}).Bool());
    EXPECT_TRUE(test::ReadBytes(out).starts_with("DELETE FROM t\r\n"));
    EXPECT_EQ(statuses.size(), 6u);
    EXPECT_EQ(statuses.back(), "Statements Generated");

    control->Call(kDisconnect, InvokeKind::Method, {false});
    EXPECT_EQ(statuses.size(), 6u);
    control->Call(kDisconnect, InvokeKind::Method, {true});
    EXPECT_EQ(statuses.back(), "Connection Closed");
    EXPECT_EQ(statuses.size(), 7u);
    EXPECT_EQ(control->Call(kState, InvokeKind::PropertyGet).Int(), 0);
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(HostTest, ScriptRunOptionsAreReachedByTheirIdentifiers) {
    constexpr DispId kStatementMode = 0x68030014, kOnError = 0x68030015, kErrorLog = 0x68030016,
                     kCommitEvery = 0x68030017;
    const CallResult unknown = control->Call(kOnError, InvokeKind::PropertyPut, {std::string("sometimes")});
    EXPECT_FALSE(unknown.ok);
    EXPECT_EQ(unknown.number, 380);
    EXPECT_FALSE(control->Call(kCommitEvery, InvokeKind::PropertyPut, {-1}).ok);

    ASSERT_TRUE(
        control->Call(kConnect, InvokeKind::Method, {Database("CREATE TABLE t(x INTEGER);"), std::string()}).Bool());
    const std::string log = test::ScratchPath("run.errors"), script = test::ScratchPath("s.sql");
    EXPECT_TRUE(control->Call(kStatementMode, InvokeKind::PropertyPut, {true}).ok);
    EXPECT_TRUE(control->Call(kOnError, InvokeKind::PropertyPut, {std::string("continue")}).ok);
    EXPECT_TRUE(control->Call(kErrorLog, InvokeKind::PropertyPut, {log}).ok);
    EXPECT_TRUE(control->Call(kCommitEvery, InvokeKind::PropertyPut, {2}).ok);
    test::WriteBytes(script, "INSERT INTO t VALUES(1); INSERT INTO nope VALUES(2);\nINSERT INTO t\nVALUES(3);");
    EXPECT_FALSE(control->Call(kRunScript, InvokeKind::Method, {script}).Bool());
    EXPECT_EQ(control->Call(kReturnMessage, InvokeKind::PropertyGet).Text(), "1 of 3 statements failed; see " + log);
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(HostTest, DestroyingAConnectedControlClosesTheConnection) {
    ASSERT_TRUE(
        control->Call(kConnect, InvokeKind::Method, {Database("CREATE TABLE t(x INTEGER); INSERT INTO t VALUES(1);")})
            .Bool());
    control.reset();
    SetUp();
    EXPECT_FALSE(
        control->Call(kGenerate, InvokeKind::Method, {test::ScratchPath("out.sql"), std::string("SELECT * FROM t")})
            .Bool());
    EXPECT_EQ(control->Call(kReturnMessage, InvokeKind::PropertyGet).Text(), "Error in SQL statement");
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_NE(ui.shown[0].find("Error Number: 3709"), std::string::npos) << ui.shown[0];
}

TEST_F(HostTest, AboutBoxIsShownModallyAndClosed) {
    QString caption;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box) return;
        caption = box->windowTitle();
        box->close();
    });
    EXPECT_TRUE(control->Call(kAbout, InvokeKind::Method).ok);
    EXPECT_EQ(caption, "About qarnSqlGenComp");
}

TEST(HostCreateTest, UnknownProgrammaticIdentifierIsRefused) {
    std::string error;
    EXPECT_EQ(ControlHost::Create("qarnSqlGenComp.Nothing", nullptr, &error), nullptr);
    EXPECT_NE(error.find("qarnSqlGenComp.Nothing"), std::string::npos);
}
