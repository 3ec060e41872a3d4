#include "frmAbout.h"

#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>

#include "FitText.h"
#include "basSQLGen.h"
#include "frmSQLGen.h"
#include "ui/UserInterface.h"
#include "widgets/FormLayout.h"

namespace qarn::desktop {

using control::SeparatorLine;
using control::Twips;

QString ProgramInfo::Version() {
    return control::VersionNumber(QARN_VERSION_MAJOR, QARN_VERSION_MINOR, QARN_VERSION_PATCH);
}

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName("frmAbout");
    if (gfrmMain) setWindowIcon(gfrmMain->windowIcon());

    auto* cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setGeometry(Twips(4245, 2625, 1467, 345));
    cmdOK->setDefault(true);  // Enter presses it; Escape rejects the dialog, which closes it the same way
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* cmdSysInfo = new QPushButton("&System Info...", this);
    cmdSysInfo->setObjectName("cmdSysInfo");
    cmdSysInfo->setGeometry(Twips(4260, 3075, 1452, 345));
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);

    control::LayOutAboutBox(this, QSize(5865 / 15, 3630 / 15),
                            {ProgramInfo::Title, ProgramInfo::Version(), ":/qarnSqlGen/control-logo.svg"},
                            {.picIcon = Twips(240, 240, 1140, 1545),
                             .lblTitle = Twips(1560, 240, 4095, 240),
                             .lblVersion = Twips(1560, 600, 4095, 240),
                             .lblCompanyName = Twips(1560, 960, 4095, 240),
                             .lblWebAddress = Twips(1560, 1680, 4095, 255),
                             .lblEmailAddress = Twips(1560, 2040, 4095, 255),
                             .lblDisclaimer = Twips(255, 2625, 3870, 825)});
    SeparatorLine(this, 225, 5657, 2430, QColor(128, 128, 128), 1);
    SeparatorLine(this, 240, 5657, 2445, QColor(255, 255, 255), 2);
    FitCaptions(*this);
}

// Where other systems keep the path of their system-information program in
// a registry, the desktops here each ship their own: this list names them,
// the most informative first.
const std::vector<std::string>& frmAbout::SysInfoPrograms() {
    static const std::vector<std::string> programs = {
        "hardinfo",  "gnome-system-monitor", "mate-system-monitor", "plasma-systemmonitor",
        "ksysguard", "xfce4-taskmanager"};
    return programs;
}

bool frmAbout::GetKeyValue(const std::string& KeyName, std::string& KeyVal) {
    KeyVal = QStandardPaths::findExecutable(QString::fromStdString(KeyName)).toStdString();
    return !KeyVal.empty();
}

void frmAbout::StartSysInfo() {
    try {
        for (const std::string& program : SysInfoPrograms()) {
            std::string path;
            if (!GetKeyValue(program, path)) continue;
            if (QProcess::startDetached(QString::fromStdString(path), {})) return;
            break;  // found but it would not start: there is nothing to show
        }
    } catch (...) {
    }
    CurrentUserInterface().MessageBox("System Information Is Unavailable At This Time", MsgIcon::None);
}

}  // namespace qarn::desktop
