// screenshots: renders the program's windows to PNG files, for the manual
// and for a look at the windows on a machine without a display.  It drives
// the real windows through their widgets, with the control library loaded
// from beside it and the sample database as the data.
//
//   screenshots [FOLDER]    (default: docs/screenshots under the current folder)
#include <QApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <string>

#include "basGeneral.h"
#include "basSQLGen.h"
#include "frmAbout.h"
#include "frmOptions.h"
#include "frmSQLGen.h"
#include "ui/UserInterface.h"
#include "widgets/frmError.h"

namespace {

using namespace qarn::desktop;

QString outputFolder;
int failures = 0;

void Fail(const std::string& what) {
    std::fprintf(stderr, "screenshots: %s\n", what.c_str());
    ++failures;
}

void Save(QWidget& window, const char* name) {
    QCoreApplication::processEvents();
    QString file = QDir(outputFolder).filePath(QString(name) + ".png");
    if (window.grab().save(file)) {
        std::printf("%s\n", qPrintable(file));
    } else {
        Fail("cannot write " + file.toStdString());
    }
}

// Runs `action` on the modal window that the call about to be made opens,
// then closes that window; a window that never opens is reported.
void WhenModalOpens(const char* name, std::function<void(QWidget&)> action) {
    auto* poll = new QTimer;
    auto* waited = new int(0);
    QObject::connect(poll, &QTimer::timeout, [=] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->stop();
            action(*modal);
            modal->close();
        } else if (++*waited > 200) {
            poll->stop();
            Fail(std::string("the ") + name + " window did not open");
        } else {
            return;
        }
        poll->deleteLater();
        delete waited;
    });
    poll->start(25);
}

template <class W = QPushButton>
W& Child(QWidget& window, const char* name) {
    auto* w = window.findChild<W*>(name);
    if (!w) throw std::runtime_error(std::string("the window has no ") + name);
    return *w;
}

void MainWindow(frmSQLGen& main) {
    Save(main, "main-window");
    Child(main, "cmdConnect1").click();  // the sample is the default connection
    Save(main, "main-window-connected");
    Child<QPlainTextEdit>(main, "txtSelect").setPlainText("SELECT * FROM tblWineList WHERE Country = 'Italy'");
    Child(main, "cmdGenerate").click();
    Save(main, "main-window-generated");
}

void Dialogs(frmSQLGen& main) {
    frmOptions options(main.HostedControl(), &main);
    options.show();
    Save(options, "options");
    options.close();

    frmAbout about(&main);
    about.show();
    Save(about, "about");
    about.close();

    WhenModalOpens("control's About", [](QWidget& box) { Save(box, "control-about"); });
    main.HostedControl().Call("ShowAboutBox");

    WhenModalOpens("Data Link Properties", [](QWidget& dialog) { Save(dialog, "data-link"); });
    main.HostedControl().Call("PromptForConnection");

    qarn::frmError error(&main);
    error.Fill(
        "The Following Error Occured in clsSQLADO!SQLRunSQLWithRs\r\nError Number: -2147467259\r\n"
        "Error: ERROR: relation \"stafff\" does not exist",
        {"1 ERROR: relation \"stafff\" does not exist; Error while preparing parameters",
         "42P01 [unixODBC]PostgreSQL Unicode: ERROR: relation \"stafff\" does not exist at character 15; "
         "the statement could not be prepared"});
    error.show();
    Save(error, "error");
    error.close();
}

}  // namespace

int main(int argc, char** argv) {
    // The windows read and write a user's settings: these are a scratch user's.
    QTemporaryDir user;
    qputenv("XDG_CONFIG_HOME", user.filePath("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", user.filePath("data").toLocal8Bit());
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("qarnSqlGen");
    outputFolder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::current().filePath("docs/screenshots");
    if (!user.isValid() || !QDir().mkpath(outputFolder)) {
        Fail("cannot make the folder " + outputFolder.toStdString());
        return 1;
    }

    // Nothing waits for a person: messages go to standard error.
    qarn::ConsoleUserInterface console;
    qarn::SetUserInterface(&console);
    SaveSetting("UseUDL", "False");
    SaveSetting("DefaultConn", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + ApplicationFolder() + "/Sample.mdb");
    SaveSetting("DefaultUDL", "");
    SaveSetting("IncludeIdent", "True");

    Main();
    if (!gfrmMain) return 1;
    gfrmMain->InstallUserInterface(&console);
    try {
        MainWindow(*gfrmMain);
        Dialogs(*gfrmMain);
    } catch (const std::exception& e) {
        Fail(e.what());
    }
    gfrmMain->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete gfrmMain;
    return failures == 0 ? 0 : 1;
}
