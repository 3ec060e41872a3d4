#include "widgets/QtUserInterface.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <QWidget>

#include "widgets/frmError.h"

namespace qarn {

namespace {
UserInterface* QtUserInterfaceWhereWindows() {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread()) return nullptr;
    static QtUserInterface qtUi;
    return &qtUi;
}
}  // namespace

void UseQtUserInterfaceByDefault() {
    SetWindowedUserInterfaceSource(&QtUserInterfaceWhereWindows);
}

std::string DefaultMessageTitle() {
    QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? std::string("qarnSqlGen") : name.toStdString();
}

MsgResult QtUserInterface::MessageBox(const std::string& text, MsgIcon icon, const std::string& title,
                                      MsgButtons buttons) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QString::fromStdString(title.empty() ? DefaultMessageTitle() : title));
    box.setText(QString::fromStdString(text));
    switch (icon) {
        case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
        case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
        case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
        case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
        default: box.setIcon(QMessageBox::NoIcon); break;
    }
    switch (buttons) {
        case MsgButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
        case MsgButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        default: box.setStandardButtons(QMessageBox::Ok); break;
    }
    switch (box.exec()) {
        case QMessageBox::Cancel: return MsgResult::Cancel;
        case QMessageBox::Yes: return MsgResult::Yes;
        case QMessageBox::No: return MsgResult::No;
        default: return MsgResult::Ok;
    }
}

void QtUserInterface::ShowErrorWindow(const std::string& report, const std::vector<std::string>& providerErrors) {
    frmError window;
    window.Fill(report, providerErrors);
    window.exec();
}

void QtUserInterface::RestorePointer() {
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

void QtUserInterface::EnableActiveWindow() {
    if (QWidget* w = QApplication::activeWindow(); w && !w->isEnabled()) w->setEnabled(true);
}

}  // namespace qarn
