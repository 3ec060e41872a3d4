// The control as a host sees it: created by its programmatic identifier,
// every member called late-bound by dispatch identifier, its event counted.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <fstream>
#include <sstream>

#include "api/Registry.h"
#include "host/ControlHost.h"
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
    std::string Database(const std::string& sql) {
        std::string path = dir.filePath("db.sqlite").toStdString();
        QFile::remove(QString::fromStdString(path));
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        return path;
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    static QApplication* app;
    QWidget window;
    QTemporaryDir dir;
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

// Every status text raises one event; scripts run in both modes.
TEST_F(HostTest, ConnectRunGenerateAndDisconnectThroughTheControl) {
    std::string db = Database("CREATE TABLE t(x INTEGER);");
    ASSERT_TRUE(control->Call(kConnect, InvokeKind::Method, {"Provider=SQLite;Data Source=" + db}).Bool());
    EXPECT_EQ(statuses, (std::vector<std::string>{"Connecting to database", "Connected"}));
    EXPECT_EQ(control->Call(kState, InvokeKind::PropertyGet).Int(), 1);
    std::string script = dir.filePath("s.sql").toStdString();
    std::ofstream(script) << "INSERT INTO t VALUES(1)\r\n  \r\nINSERT INTO t VALUES(2)\r\n";
    ASSERT_TRUE(control->Call(kRunScript, InvokeKind::Method, {script}).Bool());
    std::ofstream(script) << "INSERT INTO t VALUES(3);\nINSERT INTO t VALUES(4);\n";
    ASSERT_TRUE(control->Call(kRunScript, InvokeKind::Method, {script, 1}).Bool());
    EXPECT_EQ(statuses.size(), 6u);
    EXPECT_EQ(statuses.back(), "Script Processed: " + script);
    std::string out = dir.filePath("out.sql").toStdString();
    ASSERT_TRUE(control->Call(kGenerate, InvokeKind::Method, {out, std::string("SELECT * FROM t"), true}).Bool());
    EXPECT_EQ(Read(out),
              "DELETE FROM t\r\nINSERT INTO t([x]) VALUES(1)\r\nINSERT INTO t([x]) VALUES(2)\r\n"
              "INSERT INTO t([x]) VALUES(3)\r\nINSERT INTO t([x]) VALUES(4)\r\n");
    EXPECT_EQ(statuses.size(), 8u);
    EXPECT_EQ(statuses.back(), "Statements Generated");

    control->Call(kDisconnect, InvokeKind::Method, {false});
    EXPECT_EQ(statuses.size(), 8u);
    control->Call(kDisconnect, InvokeKind::Method, {true});
    EXPECT_EQ(statuses.back(), "Connection Closed");
    EXPECT_EQ(statuses.size(), 9u);
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

    std::string db = Database("CREATE TABLE t(x INTEGER);");
    ASSERT_TRUE(
        control->Call(kConnect, InvokeKind::Method, {"Provider=SQLite;Data Source=" + db, std::string()}).Bool());
    const std::string log = dir.filePath("run.errors").toStdString();
    EXPECT_TRUE(control->Call(kStatementMode, InvokeKind::PropertyPut, {true}).ok);
    EXPECT_TRUE(control->Call(kOnError, InvokeKind::PropertyPut, {std::string("continue")}).ok);
    EXPECT_TRUE(control->Call(kErrorLog, InvokeKind::PropertyPut, {log}).ok);
    EXPECT_TRUE(control->Call(kCommitEvery, InvokeKind::PropertyPut, {2}).ok);
    std::string script = dir.filePath("s.sql").toStdString();
    std::ofstream(script) << "INSERT INTO t VALUES(1); INSERT INTO nope VALUES(2);\nINSERT INTO t\nVALUES(3);";
    EXPECT_FALSE(control->Call(kRunScript, InvokeKind::Method, {script}).Bool());
    EXPECT_EQ(control->Call(kReturnMessage, InvokeKind::PropertyGet).Text(), "1 of 3 statements failed; see " + log);
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(HostTest, DestroyingAConnectedControlClosesTheConnection) {
    std::string db = Database("CREATE TABLE t(x INTEGER); INSERT INTO t VALUES(1);");
    ASSERT_TRUE(control->Call(kConnect, InvokeKind::Method, {"Provider=SQLite;Data Source=" + db}).Bool());
    control.reset();
    SetUp();
    std::string out = dir.filePath("out.sql").toStdString();
    EXPECT_FALSE(control->Call(kGenerate, InvokeKind::Method, {out, std::string("SELECT * FROM t")}).Bool());
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
