// qarnSqlGen: the desktop program.  It hosts the qarnSqlGenCntl control,
// loaded at run time from beside the program.
#include <QApplication>

#include "basSQLGen.h"
#include "frmSQLGen.h"
#include "host/ControlHost.h"

int main(int argc, char** argv) {
    qarn::host::PrepareRuntimeDirectory();
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("qarnSqlGen");
    QCoreApplication::setOrganizationName("");
    QCoreApplication::setApplicationVersion(
        QString("%1.%2.%3").arg(QARN_VERSION_MAJOR).arg(QARN_VERSION_MINOR).arg(QARN_VERSION_PATCH));

    qarn::desktop::Main();
    // Without its main window (Main has said why) the program has nothing to wait for.
    if (!qarn::desktop::gfrmMain || !qarn::desktop::gfrmMain->isVisible()) {
        delete qarn::desktop::gfrmMain;
        return 1;
    }
    int rc = app.exec();
    // The closed window is freed before the application object goes.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete qarn::desktop::gfrmMain;
    return rc;
}
