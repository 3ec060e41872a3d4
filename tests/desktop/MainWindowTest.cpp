// The main window driven as a user drives it: clicks, typing, menus, the
// control library loaded beside the program, and every message box
// answered by a recorder instead of a person.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include <sstream>

#include "DesktopTestSupport.h"
#include "basSQLGen.h"
#include "frmAbout.h"
#include "frmFileOpen.h"
#include "frmOptions.h"
#include "frmSQLGen.h"
#include "widgets/frmError.h"

namespace qarn::desktop {
namespace {

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;
using Shown = test::RecordingUi::Shown;

QString WithoutMnemonic(QString text) {
    return text.replace(QRegularExpression("&(.)"), "\\1");
}

// The space the style gives a caption inside a button of its kind.
int CaptionRoom(QAbstractButton& button, QStyle::SubElement contents, int margin) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    return button.style()->subElementRect(contents, &option, &button).width() - margin;
}

// The labels and buttons on `window` whose text the font they are drawn
// with cuts off, by name and text.
std::vector<std::string> Clipped(QWidget& window) {
    std::vector<std::string> clipped;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&window)) continue;
        const QFontMetrics metrics(w->font());
        QString text;
        bool fits = true;
        if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty()) {
            text = label->buddy() ? WithoutMnemonic(label->text()) : label->text();
            const QRect area = label->contentsRect();
            const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
            fits = area.contains(metrics.boundingRect(area, flags, text));
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            text = WithoutMnemonic(button->text());
            int room = 0;
            if (qobject_cast<QPushButton*>(button))
                room = CaptionRoom(*button, QStyle::SE_PushButtonContents,
                                   w->style()->pixelMetric(QStyle::PM_ButtonMargin));
            else if (qobject_cast<QRadioButton*>(button))
                room = CaptionRoom(*button, QStyle::SE_RadioButtonContents, 0);
            else
                room = CaptionRoom(*button, QStyle::SE_CheckBoxContents, 0);
            fits = metrics.horizontalAdvance(text) <= room && metrics.height() <= button->height();
        }
        if (!fits) clipped.push_back(w->objectName().toStdString() + ": " + text.toStdString());
    }
    return clipped;
}

std::string Read(const QString& path) {
    return test::ReadBytes(path.toStdString());
}
void Write(const QString& path, const std::string& bytes) {
    test::WriteBytes(path.toStdString(), bytes);
}

// Calls `painted` each time `widget` is painted: what the user sees, not
// only what the widget holds.
class PaintWatch : public QObject {
public:
    PaintWatch(QWidget& widget, std::function<void()> painted) : painted_(std::move(painted)) {
        widget.installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted_();
        return false;
    }

private:
    std::function<void()> painted_;
};

class MainWindowTest : public test::DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        frmSQLGen::SetTypingPause(1ms);
    }
    void TearDown() override {
        if (window) window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(gfrmMain, nullptr);
        SetFilePromptAnswer({});
        DesktopTest::TearDown();
    }

    void UseApplicationFolder(const QString& name) {
        appDir = home.filePath(name);
        QDir().mkpath(appDir);
        SetApplicationFolder(appDir.toStdString());
    }
    QString Output() const { return appDir + "/qarnSqlGen.sql"; }

    // Starts the program's window and waits for its first paint.
    frmSQLGen& Open(bool paint = true) {
        Main();
        window = gfrmMain;
        if (!window) throw std::runtime_error("no main window");
        window->InstallUserInterface(&ui);
        if (paint) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
            window->repaint();
        }
        return *window;
    }

    template <class T = QPushButton>
    T& Get(const char* name) {
        return Child<T>(*window, name);
    }
    void Click(const char* name) { QTest::mouseClick(&Get(name), Qt::LeftButton); }
    QPlainTextEdit& Box() { return Get<QPlainTextEdit>("txtSelect"); }
    QString Status() { return Get<QStatusBar>("staStatusBar").findChild<QLabel*>()->text(); }

    // A table of `rows` rows, enough for Generate to report its progress.
    static std::string ManyRows(int rows) {
        return test::MakeSqliteDatabase(
            "CREATE TABLE t(id INTEGER PRIMARY KEY, v TEXT);"
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
            std::to_string(rows) + ") INSERT INTO t(v) SELECT 'row ' || i FROM n;");
    }
    static std::string Wines() {
        return test::MakeSqliteDatabase(
            "CREATE TABLE w(id INTEGER PRIMARY KEY, name TEXT);"
            "INSERT INTO w(name) VALUES('Rioja'),('Barolo');");
    }
    std::string Udl(const std::string& connectionString) {
        QString file = home.filePath("link.udl");
        Write(file, "[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n" + connectionString + "\r\n");
        return file.toStdString();
    }
    static void Options(bool useUdl, const std::string& conn, const std::string& udl) {
        SaveSetting("UseUDL", useUdl ? "True" : "False");
        SaveSetting("DefaultConn", conn);
        SaveSetting("DefaultUDL", udl);
    }
    // Default Connect to the wine database.
    frmSQLGen& OpenConnected(const std::string& db = Wines()) {
        Options(false, "Provider=SQLite;Data Source=" + db, "");
        frmSQLGen& w = Open();
        Click("cmdConnect1");
        return w;
    }
    void ExpectViewerRan(const QString& ran, const std::string& viewer) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(ran); }, 5000));
        EXPECT_EQ(Read(ran), home.filePath("bin/").toStdString() + viewer + "\n" + Output().toStdString() + "\n");
        QFile::remove(ran);
    }

    void ExpectNotConnected(const char* context) {
        SCOPED_TRACE(context);
        EXPECT_EQ(Get("cmdConnect0").text(), "Co&nnect");
        EXPECT_EQ(Get("cmdConnect1").text(), "&Default Connect");
        EXPECT_TRUE(Get("cmdConnect0").isEnabled() && Get("cmdConnect1").isEnabled());
        EXPECT_FALSE(Get("cmdGenerate").isEnabled());
        EXPECT_TRUE(Get("cmdSample").isEnabled());
    }
    void ExpectConnectedThrough(int index, const char* context) {
        SCOPED_TRACE(context);
        QPushButton& used = Get(index == 0 ? "cmdConnect0" : "cmdConnect1");
        EXPECT_EQ(used.text(), "Disco&nnect");
        EXPECT_TRUE(used.isEnabled());
        EXPECT_FALSE(Get(index == 0 ? "cmdConnect1" : "cmdConnect0").isEnabled());
        EXPECT_FALSE(Get("cmdSample").isEnabled());
    }

    QPointer<frmSQLGen> window;
};

// The control library's Data Link dialog, answered as a person would.
std::function<void(QWidget&)> DataLink(const std::string& file, const char* button = "cmdOK") {
    return [=](QWidget& dialog) {
        if (!file.empty()) dialog.findChild<QLineEdit*>("txtFile")->setText(QString::fromStdString(file));
        QTest::mouseClick(dialog.findChild<QPushButton*>(button), Qt::LeftButton);
    };
}

TEST_F(MainWindowTest, StatusChangesReachTheStatusBarFromTheFirstPaint) {
    Options(false, "Provider=SQLite;Data Source=" + Wines(), "");
    frmSQLGen& w = Open(false);
    ASSERT_TRUE(w.HostedControl().Call("Connect", {gstrSessionConn}).Bool());
    EXPECT_EQ(Status(), "Ready");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.repaint();
    w.HostedControl().Call("Disconnect", {true});
    EXPECT_EQ(Status(), "Connection Closed");
}

TEST_F(MainWindowTest, TypingEnablesGenerateOnlyWhileConnected) {
    Options(false, "Provider=SQLite;Data Source=" + Wines(), "");
    Open();
    QTest::keyClicks(&Box(), "SELECT");
    EXPECT_FALSE(Get("cmdGenerate").isEnabled());
    Box().clear();
    Click("cmdConnect1");
    ExpectConnectedThrough(1, "an empty box");
    EXPECT_FALSE(Get("cmdGenerate").isEnabled());
    QTest::keyClicks(&Box(), "S");
    EXPECT_TRUE(Get("cmdGenerate").isEnabled());
    QTest::keyClick(&Box(), Qt::Key_Backspace);
    EXPECT_TRUE(Get("cmdGenerate").isEnabled()) << "any typing, even back to empty";
    Click("cmdClear");
    EXPECT_FALSE(Get("cmdGenerate").isEnabled());
    QTest::keyClicks(&Box(), "x");
    Click("cmdConnect1");
    Click("cmdConnect1");
    EXPECT_TRUE(Get("cmdGenerate").isEnabled()) << "connecting with text in the box";
    EXPECT_TRUE(ui.shown.empty());
}

// What each way of connecting says when it cannot, and the state it leaves
// the window in when it can.
TEST_F(MainWindowTest, EachWayOfConnectingSaysWhyNotOrConnects) {
    const std::string db = Wines(), udl = Udl("Provider=SQLite;Data Source=" + db);
    const std::string missing = home.filePath("gone.udl").toStdString();
    const std::string noDb = "Provider=SQLite;Data Source=" + home.filePath("none.db").toStdString();
    std::string pick;  // the file prompt's answer
    Strings filters;
    SetFilePromptAnswer([&](const std::string& filter) {
        filters.push_back(filter);
        return pick;
    });
    struct Case {
        bool useUdl;
        std::string stored;  // the default connection string or UDL file
        int button;
        std::string pick;     // the file prompt's answer, or the Data Link dialog's file ("" cancels)
        std::string message;  // what is shown first; "" when it connects
    };
    const std::vector<Case> cases = {
        {false, "", 0, "", "You must supply a database connection"},
        {false, "", 0, db, ""},
        {false, noDb, 1, "", "error window: "},  // only the database layer's report
        {false, "", 1, "",
         "No default Connection string has been specified.\r\n"
         "Please use the Options menu item to set a Default Connection String"},
        {true, "", 0, "", "You must specify a UDL file to make the database connection"},
        {true, "", 0, missing, "The specified UDL file does not exist"},
        {true, "", 0, udl, ""},
        {true, "", 1, "",
         "No default UDL has been specified.\r\nPlease use the Options menu item to set a Default UDL"},
        {true, missing, 1, "", "The specified default UDL file does not exist"},
        {true, udl, 1, "", ""},
    };
    Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored + " " + c.pick);
        Options(c.useUdl, c.useUdl ? "" : c.stored, c.useUdl ? c.stored : "");
        gblnLoadDefaults();
        pick = c.pick;
        if (!c.useUdl && c.button == 0) OnNextModal(DataLink(c.pick, c.pick.empty() ? "cmdCancel" : "cmdOK"));
        ui.shown.clear();
        const QString before = Status();
        const char* button = c.button == 0 ? "cmdConnect0" : "cmdConnect1";
        Click(button);
        if (!c.message.empty()) {
            ASSERT_EQ(ui.shown.size(), 1u);
            EXPECT_TRUE(ui.shown[0].text.starts_with(c.message)) << ui.shown[0].text;
            EXPECT_EQ(ui.shown[0].icon,
                      c.button == 1 && !c.useUdl && !c.stored.empty() ? MsgIcon::Critical : MsgIcon::Exclamation);
            ExpectNotConnected("refused");
            continue;
        }
        ExpectConnectedThrough(c.button, "connected");
        EXPECT_EQ(Status(), c.useUdl ? before : "Connected") << "a UDL connection sets no status";
        Click(button);
        ExpectNotConnected("disconnected");
        EXPECT_EQ(Status(), "Connection Closed");
    }
    EXPECT_EQ(filters, Strings(3, "UDL Files (*.UDL)|*.UDL"));
}

TEST_F(MainWindowTest, DefaultConnectAsksOnceForAMaskedPassword) {
    std::string db = Wines();
    Open();
    Options(false, "Provider=SQLite;Data Source=" + db + ";User ID=ann;Password=**********;Mode=Read", "");
    gblnLoadDefaults();
    OnNextModal(DataLink("", "cmdCancel"));
    Click("cmdConnect1");
    // A cancelled login keeps the default string without the mask.
    EXPECT_EQ(gstrSessionConn, "Provider=SQLite;Data Source=" + db + ";User ID=ann;Password=;Mode=Read");
    ExpectConnectedThrough(1, "after a cancelled login");
    Click("cmdConnect1");
    Click("cmdConnect1");  // no second prompt: the watch would have reported it
    ExpectConnectedThrough(1, "without a prompt");
    Click("cmdConnect1");

    gblnLoadDefaults();
    OnNextModal(DataLink(db));
    Click("cmdConnect1");
    EXPECT_NE(gstrSessionConn.find("Data Source=" + db), std::string::npos) << gstrSessionConn;
    EXPECT_EQ(gstrSessionConn.find("**********"), std::string::npos);
    ExpectConnectedThrough(1, "after the login");
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(MainWindowTest, GenerateWritesTheScriptOrSaysWhyNot) {
    frmSQLGen& w = OpenConnected();
    QTest::keyClicks(&Box(), "x");
    Box().clear();
    Click("cmdGenerate");
    EXPECT_EQ(Status(), "Please supply a SQL statement");
    EXPECT_FALSE(QFile::exists(Output())) << "the control is not called";

    Box().setPlainText("SELECT * FROM nowhere");
    Click("cmdGenerate");
    std::string failed = w.HostedControl().Call("ReturnMessage").Text();
    EXPECT_EQ(Status().toStdString(), failed);

    Box().setPlainText("SELECT * FROM w");
    bool disabledMeanwhile = false;
    QTimer::singleShot(0, [&] {
        disabledMeanwhile = !w.isEnabled() && QApplication::overrideCursor() &&
                            QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    });
    Click("cmdGenerate");
    EXPECT_TRUE(disabledMeanwhile);
    EXPECT_EQ(Status(), "Statements Generated");
    EXPECT_TRUE(QFile::exists(Output()));

    // A database failure's error window comes before the window's message.
    Strings texts = ui.Texts();
    ASSERT_EQ(texts.size(), 3u) << ::testing::PrintToString(texts);
    EXPECT_EQ(texts[0], "Please supply a SQL statement");
    EXPECT_EQ(texts[1].rfind("error window: ", 0), 0u);
    EXPECT_EQ(texts[2], failed);
    for (size_t i : {0, 2}) EXPECT_EQ(ui.shown[i].icon, MsgIcon::Exclamation);
    EXPECT_TRUE(w.isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Each stored option is handed to the control on every Generate, before the
// script is written, without a new connection.
TEST_F(MainWindowTest, EveryGenerateHandsTheStoredScriptOptionsToTheControl) {
    frmSQLGen& w = OpenConnected();
    QTest::keyClicks(&Box(), "SELECT * FROM w");
    const char* const keys[] = {"IncludeIdent", "Terminate",   "RowsPerInsert", "TargetDialect",
                                "OrderByKey",   "OnDuplicate", "Verify"};
    // The second round sets every option back (Verify: a script for another
    // database cannot be proven here): each is handed over on every Generate.
    for (const Strings& stored : {Strings{"False", "True", "2", "postgresql", "True", "skip", "False"},
                                  Strings{"True", "False", "1", "", "False", "", "True"}}) {
        for (size_t i = 0; i < std::size(keys); ++i) SaveSetting(keys[i], stored[i]);
        ASSERT_TRUE(gblnLoadDefaults());
        Click("cmdGenerate");
        ASSERT_EQ(Status(), "Statements Generated");
        Strings held;
        for (const char* key : keys) {
            const host::CallResult value = w.HostedControl().Call(key);
            held.push_back(std::holds_alternative<bool>(value.value)      ? (value.Bool() ? "True" : "False")
                           : std::holds_alternative<int32_t>(value.value) ? std::to_string(value.Int())
                                                                          : value.Text());
        }
        EXPECT_EQ(held, stored);
        const std::string script = Read(Output());
        EXPECT_EQ(script.find(";\r\n") != std::string::npos, stored[1] == "True") << "handed over after the script";
    }
    EXPECT_TRUE(ui.shown.empty());
}

// The status bar counts the rows while Generate works; a closing meanwhile
// waits for the whole script.
TEST_F(MainWindowTest, TheStatusBarCountsTheRowsAndAClosingWaitsForTheScript) {
    constexpr int kRows = 50000;
    frmSQLGen& w = OpenConnected(ManyRows(kRows));
    QTest::keyClicks(&Box(), "SELECT * FROM t");
    QLabel& count = Get<QLabel>("Panel2");
    // What the section shows each time it is painted, and the control's count
    // then; the user closes the window as soon as the first count shows.
    std::vector<std::pair<QString, int>> painted;
    bool askedWhileBusy = false, keptOpenWhileBusy = false;
    PaintWatch watch(count, [&] {
        if (count.text().isEmpty()) return;
        painted.push_back({count.text(), w.HostedControl().Call("ProgressCount").Int()});
        if (painted.size() > 1) return;
        QTimer::singleShot(0, &w, [&] {
            askedWhileBusy = !w.isEnabled();
            w.close();
            keptOpenWhileBusy = w.isVisible() && w.HostedControl().Call("State").Int() == 1;
        });
    });
    Click("cmdGenerate");
    ASSERT_GE(painted.size(), 2u) << "the first and the last count at least";
    EXPECT_EQ(painted.front().second, 0);
    EXPECT_EQ(painted.back().second, kRows);
    for (size_t i = 0; i < painted.size(); ++i)
        EXPECT_EQ(painted[i].first, QLocale().toString(painted[i].second) + " rows");
    for (size_t i = 1; i < painted.size(); ++i) EXPECT_GE(painted[i].second, painted[i - 1].second);
    EXPECT_EQ(count.text(), "") << "cleared when Generate ends";
    EXPECT_EQ(Status(), "Statements Generated") << "the status text is left as it was";
    EXPECT_TRUE(askedWhileBusy);
    EXPECT_TRUE(keptOpenWhileBusy) << "the connection was pulled from under Generate";
    EXPECT_FALSE(w.isVisible());
    const std::string script = Read(Output());
    EXPECT_EQ(std::count(script.begin(), script.end(), '\n'), kRows) << "the whole script";
    EXPECT_EQ(w.HostedControl().Call("State").Int(), 0) << "disconnected once the script was written";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(MainWindowTest, AnUnexpectedErrorDuringGenerateIsShownAndTheWindowComesBack) {
    frmSQLGen& w = OpenConnected();
    QTest::keyClicks(&Box(), "SELECT * FROM w");
    w.HostedControl().SetAmbientUserMode(false);  // IncludeIdent now refuses to be set
    Click("cmdGenerate");
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].text, "383 Let/Set not supported at design time.");
    EXPECT_EQ(ui.shown[0].icon, MsgIcon::Critical);
    EXPECT_FALSE(QFile::exists(Output()));
    EXPECT_TRUE(w.isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindowTest, ViewOutputStartsTheTextViewerWithThePath) {
    UseApplicationFolder("program folder; with blanks");
    QString ran = FakePrograms({"xdg-open", "gedit"});
    Open();
    Click("cmdView");
    EXPECT_EQ(ui.Texts(), Strings{"There is no output view"});
    EXPECT_EQ(ui.shown[0].icon, MsgIcon::Information);

    Write(Output(), "left by an earlier run\r\n");
    Click("cmdView");
    ExpectViewerRan(ran, "xdg-open");
    QFile::remove(home.filePath("bin/xdg-open"));
    Click("cmdView");
    ExpectViewerRan(ran, "gedit");

    QFile::remove(home.filePath("bin/gedit"));
    Click("cmdView");
    EXPECT_EQ(ui.shown.back().text,
              "The text viewer could not be started: xdg-open, gnome-text-editor, gedit, "
              "kate, mousepad, xed, pluma, leafpad");
    EXPECT_TRUE(window->isEnabled());
}

TEST_F(MainWindowTest, TheScriptGoesBesideTheProgramOrToTheDataFolder) {
    QString elsewhere = home.filePath("elsewhere");
    QDir().mkpath(elsewhere);
    QString before = QDir::currentPath();
    QDir::setCurrent(elsewhere);
    EXPECT_EQ(OutputFilePath(), Output().toStdString());
    QDir::setCurrent(before);

    Write(home.filePath("a file"), "");
    for (const QString& unwritable : {home.filePath("missing"), home.filePath("a file")}) {
        SetApplicationFolder(unwritable.toStdString());
        EXPECT_EQ(OutputFilePath(), home.filePath("data/qarnSqlGen/qarnSqlGen.sql").toStdString());
        EXPECT_TRUE(QFileInfo(home.filePath("data/qarnSqlGen")).isDir());
    }
}

TEST_F(MainWindowTest, FilePromptMatchesPatternsInAnyCaseAndRequiresAFile) {
    QString dir = home.filePath("links");
    QDir().mkpath(dir + "/sub.udl");
    for (const char* name : {"a.udl", "B.UDL", "c.Udl", "d.txt", "noext"}) Write(dir + "/" + name, "x");
    // Lists what the dialog offers in `dir`, then picks `pick` (or cancels).
    auto answer = [&](Strings& listed, const char* pick) {
        return [&listed, dir, pick](QWidget& modal) {
            auto& dialog = dynamic_cast<QFileDialog&>(modal);
            EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
            dialog.setDirectory(dir);
            auto* model = dialog.findChild<QFileSystemModel*>();
            QModelIndex root = model->index(dir);
            EXPECT_TRUE(QTest::qWaitFor([&] { return model->rowCount(root) >= 4; }, 3000));
            for (int row = 0; row < model->rowCount(root); ++row)
                listed.push_back(model->index(row, 0, root).data().toString().toStdString());
            std::sort(listed.begin(), listed.end());
            if (!pick) return dialog.close();
            auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
            QTest::keyClicks(name, pick);
            QTest::keyClick(name, Qt::Key_Return);
            return true;
        };
    };
    Strings udl, all;
    OnNextModal(answer(udl, "c.Udl"));
    EXPECT_EQ(gstrPromptForFile("UDL Files (*.UDL)|*.UDL"), (dir + "/c.Udl").toStdString());
    EXPECT_EQ(udl, (Strings{"B.UDL", "a.udl", "c.Udl", "sub.udl"}));
    OnNextModal(answer(all, nullptr));
    EXPECT_EQ(gstrPromptForFile(), "");
    EXPECT_NE(std::find(all.begin(), all.end(), "noext"), all.end()) << "*.* is every file";
}

TEST_F(MainWindowTest, ClosingWhileConnectedDisconnectsWithoutAStatus) {
    Options(false, "Provider=SQLite;Data Source=" + Wines(), "");
    const std::vector<std::function<void()>> ways = {
        [this] { Click("cmdClose"); }, [this] { Get<QAction>("mnuFileExit").trigger(); }, [this] { window->close(); }};
    for (const auto& close : ways) {
        frmSQLGen& w = Open();
        Click("cmdConnect1");
        close();
        EXPECT_FALSE(w.isVisible());
        EXPECT_EQ(Status(), "Connected");
        EXPECT_EQ(w.HostedControl().Call("State").Int(), 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(window.isNull());
    }
    Open(false).close();  // before the first paint there is nothing to disconnect
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(MainWindowTest, OptionsAndAboutAreShownModally) {
    Open();
    Strings shown;
    for (const char* item : {"mnuOptions", "mnuHelpAbout"}) {
        OnNextModal([&](QWidget& modal) {
            shown.push_back(modal.metaObject()->className());
            modal.close();
        });
        Get<QAction>(item).trigger();
    }
    EXPECT_EQ(shown, (Strings{"qarn::desktop::frmOptions", "qarn::desktop::frmAbout"}));
}

// Every caption of the program's windows shows whole in the font it is drawn
// with (on this machine: the fonts fontconfig gives for the windows' design
// font and the desktop's), idle and connected.
TEST_F(MainWindowTest, EveryCaptionShowsWholeInTheFontItIsDrawnWith) {
    frmSQLGen& w = Open();
    EXPECT_EQ(Clipped(w), Strings{}) << "idle";
    SaveSetting("DefaultConn", "Provider=SQLite;Data Source=" + Wines());
    gblnLoadDefaults();
    Click("cmdConnect1");
    ExpectConnectedThrough(1, "connected");
    EXPECT_EQ(Clipped(w), Strings{}) << "connected";
    frmOptions options(w.HostedControl());
    frmAbout about;
    frmError error;
    error.Fill("The Following Error Occured in clsSQLADO!SQLRunSQLWithRs\r\nError Number: -2147467259", {"1 x"});
    for (QWidget* other : std::initializer_list<QWidget*>{&options, &about, &error}) {
        other->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(other));
        EXPECT_EQ(Clipped(*other), Strings{}) << other->metaObject()->className();
    }
    EXPECT_TRUE(ui.shown.empty());
}

// The error window's list reaches the end of its widest line.
TEST_F(MainWindowTest, TheErrorListScrollsToTheEndOfItsWidestLine) {
    frmError w;
    // The widest line as drawn is not the one with the most characters.
    const QString widest = "42P01 [unixODBC]" + QString(70, 'W');
    w.Fill("report", {std::string(150, 'i'), widest.toStdString(), "short"});
    w.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
    for (int paint = 0; paint < 2; ++paint) {  // each paint sets the extent again
        w.grab();
        QScrollBar& bar = *w.lstErrors->horizontalScrollBar();
        EXPECT_TRUE(bar.isVisible());
        EXPECT_GE(bar.maximum() + w.lstErrors->viewport()->width(),
                  QFontMetrics(w.lstErrors->font()).horizontalAdvance(widest));
    }
    w.Fill("again", {"short"});
    w.grab();
    EXPECT_EQ(w.lstErrors->horizontalScrollBar()->maximum(), 0);
}

class SampleTourTest : public MainWindowTest {
protected:
    struct Step {
        std::string text, framed;  // the button the frame surrounds, if shown
        MsgIcon icon;
        bool arrowShown;
        QString status, caption;
        bool generate;
        qint64 at;
    };
    // What the window shows while each message of the tour is up.
    void RecordSteps() {
        clock.start();
        ui.onMessage = [this](const Shown& s) {
            QWidget& rect = Get<QWidget>("shaRect");
            std::string framed;
            for (const char* button : {"cmdConnect0", "cmdGenerate", "cmdView"})
                if (!rect.isHidden() && rect.geometry().contains(Get(button).geometry())) framed = button;
            steps.push_back({s.text, framed, s.icon, !Get<QLabel>("picArrow").isHidden(), Status(),
                             Get("cmdConnect0").text(), Get("cmdGenerate").isEnabled(), clock.elapsed()});
        };
    }
    void CopySample() {
        ASSERT_TRUE(QFile::copy(QCoreApplication::applicationDirPath() + "/Sample.mdb", appDir + "/Sample.mdb"));
    }
    QElapsedTimer clock;
    std::vector<Step> steps;
};

TEST_F(SampleTourTest, TheTourShowsEveryStepAndEndsDisconnected) {
    UseApplicationFolder("sample;tour");
    CopySample();
    Options(true, "", "");  // the tour connects by string all the same
    QString ran = FakePrograms({"xdg-open"});
    frmSQLGen::SetTypingPause(20ms);
    Open();
    Box().setPlainText("SELECT * FROM replaced");
    Strings typed;
    QObject::connect(&Box(), &QPlainTextEdit::textChanged, [&] { typed.push_back(Box().toPlainText().toStdString()); });
    RecordSteps();
    Click("cmdSample");

    // Which button each message frames, and whether the arrow shows.
    const std::vector<std::pair<std::string, bool>> expected = {
        {"cmdConnect0", false}, {"", true}, {"cmdGenerate", false}, {"cmdView", true}, {"cmdConnect0", false}};
    ASSERT_EQ(steps.size(), expected.size()) << ::testing::PrintToString(ui.Texts());
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(steps[i].text);
        EXPECT_EQ(steps[i].framed, expected[i].first);
        EXPECT_EQ(steps[i].arrowShown, expected[i].second);
        EXPECT_EQ(steps[i].icon, MsgIcon::Information);
    }
    EXPECT_TRUE(steps[1].status == "Connected" && steps[1].caption == "Disco&nnect" && steps[1].generate);
    EXPECT_GE(steps[2].at - steps[1].at, 25 * 20) << "one character every pause";
    EXPECT_EQ(steps[3].status, "Statements Generated");

    Strings expectedTyping{""};
    for (char c : std::string("SELECT * FROM tblWineList")) expectedTyping.push_back(expectedTyping.back() + c);
    EXPECT_EQ(typed, expectedTyping);
    EXPECT_EQ(Read(Output()).rfind("INSERT INTO tblWineList(", 0), 0u);
    ExpectViewerRan(ran, "xdg-open");
    ExpectNotConnected("after the tour");
    EXPECT_EQ(Status(), "Connection Closed");
    EXPECT_TRUE(Get<QWidget>("shaRect").isHidden() && Get<QLabel>("picArrow").isHidden());
}

TEST_F(SampleTourTest, WithoutTheSampleDatabaseTheTourStopsAfterTheFirstMessage) {
    Open();
    Box().setPlainText("SELECT 1");
    RecordSteps();
    Click("cmdSample");
    EXPECT_EQ(steps.size(), 1u);
    ASSERT_EQ(ui.shown.size(), 2u);
    EXPECT_NE(ui.shown[1].text.find("Sample.mdb"), std::string::npos) << ui.shown[1].text;
    ExpectNotConnected("no sample");
    EXPECT_EQ(Box().toPlainText(), "SELECT 1");
    EXPECT_TRUE(Get<QWidget>("shaRect").isHidden());
}

TEST_F(SampleTourTest, ClosingTheWindowWhileTheTourTypesEndsTheTour) {
    CopySample();
    frmSQLGen::SetTypingPause(20ms);
    Open();
    RecordSteps();
    ui.onMessage = [this, record = ui.onMessage](const Shown& s) {
        record(s);
        if (steps.size() == 2) QTimer::singleShot(100, window, [this] { window->close(); });
    };
    Click("cmdSample");
    EXPECT_EQ(steps.size(), 2u);
    EXPECT_FALSE(window.isNull()) << "freed only once the tour has returned";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

}  // namespace
}  // namespace qarn::desktop
