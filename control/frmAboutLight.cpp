#include "frmAboutLight.h"

#include <QPushButton>

#include "widgets/FormLayout.h"

namespace qarn::control {

QString LibraryInfo::Version() {
    return VersionNumber(QARN_VERSION_MAJOR, QARN_VERSION_MINOR, QARN_VERSION_PATCH);
}

frmAboutLight::frmAboutLight(QWidget* parent) : QDialog(parent) {
    setObjectName("frmAboutLight");
    const QString logo = ":/qarnSqlGenComp/control-logo.svg";
    setWindowIcon(QIcon(RenderSvg(logo, QSize(16, 16))));

    auto* cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setGeometry(Twips(4680, 120, 1335, 345));
    cmdOK->setDefault(true);  // Enter presses it; Escape rejects the dialog, which closes it the same way
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    LayOutAboutBox(this, QSize(6150 / 15, 3105 / 15), {LibraryInfo::Title, LibraryInfo::Version(), logo},
                   {.picIcon = Twips(240, 240, 1140, 1545),
                    .lblTitle = Twips(1560, 240, 3015, 240),
                    .lblVersion = Twips(1560, 600, 3015, 240),
                    .lblCompanyName = Twips(1560, 960, 3015, 600),
                    .lblWebAddress = Twips(1800, 1680, 3855, 255),
                    .lblEmailAddress = Twips(1800, 2040, 3855, 255),
                    .lblDisclaimer = Twips(255, 2625, 5460, 345)});
    AboutLabel(this, "Label1_0", "w:", Twips(1560, 1680, 255, 240));
    AboutLabel(this, "Label1_1", "e:", Twips(1560, 2040, 255, 240));
    SeparatorLine(this, 120, 6000, 2430, QColor(128, 128, 128), 1);
    SeparatorLine(this, 120, 6000, 2445, QColor(255, 255, 255), 2);
}

}  // namespace qarn::control
