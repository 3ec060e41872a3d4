// The Sample tour: the main window shows a new user, step by step, how a
// connection is made, a SELECT typed, its script generated and viewed.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

#include "basGeneral.h"
#include "frmSQLGen.h"
#include "frmSQLGenParts.h"
#include "text/ConnectionValue.h"

namespace qarn::desktop {

using namespace main_window;

namespace {
constexpr char kSampleStatement[] = "SELECT * FROM tblWineList";
std::chrono::milliseconds typingPause{200};
}  // namespace

void frmSQLGen::SetTypingPause(std::chrono::milliseconds pause) {
    typingPause = pause;
}

void frmSQLGen::FrameButton(const QWidget* button) {
    // Designed to stand 60 twips left of and 50 twips above the button.
    shaRect->move(TwipsPoint(button->x() * kTwipsPerPixel - 60, button->y() * kTwipsPerPixel - 50));
    shaRect->show();
}

void frmSQLGen::ShowArrow() {
    picArrow->move(TwipsPoint(kArrowShownLeft, kArrowTop));
    picArrow->raise();
    picArrow->show();
}

void frmSQLGen::ParkArrow() {
    picArrow->hide();
    picArrow->move(TwipsPoint(kArrowParkedLeft, kArrowTop));
}

void frmSQLGen::Inform(const std::string& text) {
    Message(text, MsgIcon::Information);
}

void frmSQLGen::cmdSample_Click() {
    try {
        RunSample();
    } catch (const CallFailure& failure) {
        HandleError("frmSQLGen!cmdSample_Click", "", failure.error);
    } catch (...) {
        HandleError("frmSQLGen!cmdSample_Click", "", CurrentProgramError());
    }
    shaRect->hide();
}

void frmSQLGen::RunSample() {
    const std::string strConn =
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + text::OdbcQuote(ApplicationFolder() + "/Sample.mdb") +
        ";Persist Security Info=False";
    FrameButton(cmdConnect[0]);
    Inform(
        "First a connection will be established with the Sample.mdb database.\r\n"
        "To do this the demonstration will click the 'Connect' button automatically.");
    // Connects by string whatever the UseUDL option says; Sample stays
    // enabled while the demonstration holds the connection.
    if (!Required(Invoke("Connect", {strConn})).Bool()) {
        cmdGenerate->setEnabled(false);
        return;
    }
    cmdGenerate->setEnabled(true);
    cmdConnect[1]->setEnabled(false);
    cmdConnect[0]->setText(kDisconnectCaption);
    cmdConnect[0]->setToolTip(kDisconnectToolTip);

    shaRect->hide();
    ShowArrow();
    Inform(
        "The status bar now shows that a connection has been made (as indicated by the arrow).\r\n\r\n"
        "Now a SELECT statement will be typed.");
    ParkArrow();

    txtSelect->clear();
    for (QChar character : QString(kSampleStatement)) {
        TypeCharacter(character);
        if (unloaded_) return;  // closed while typing: nothing left to show
    }

    FrameButton(cmdGenerate);
    Inform("The demonstration will click the 'Generate' Button automatically.");
    cmdGenerate_Click();
    if (unloaded_) return;
    ShowArrow();
    FrameButton(cmdView);
    Inform(
        "The status bar now shows that INSERT Statements have been generated (as indicated by the arrow).\r\n\r\n"
        "The demonstration will click the 'View Output' Button automatically.\r\n"
        "You should see your text viewer open to display a script containing the SQL INSERT statements.");
    ParkArrow();
    cmdView_Click();
    repaint();

    FrameButton(cmdConnect[0]);
    Inform(
        "Now the demonstration will click the 'Disconnect' button automatically\r\n"
        "to disconnect from the database.");
    cmdConnect_Click(0);
}

void frmSQLGen::TypeCharacter(const QString& character) {
    txtSelect->setPlainText(txtSelect->toPlainText() + character);
    txtSelect->moveCursor(QTextCursor::End);
    // Events run throughout the pause, so the box repaints and clicks are
    // handled between two characters; a timer wakes the wait when it is up.
    QElapsedTimer clock;
    clock.start();
    const qint64 pause = typingPause.count();
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    QCoreApplication::processEvents();
    while (!clock.hasExpired(pause)) {
        if (!wake.isActive()) wake.start(static_cast<int>(std::max<qint64>(1, pause - clock.elapsed())));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

}  // namespace qarn::desktop
