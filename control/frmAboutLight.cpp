#include "frmAboutLight.h"

#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSvgRenderer>

#include "LinkLabel.h"

namespace qarn::control {

namespace {
// Positions are given in twips; the window is laid out at 15 twips a pixel.
QRect Twips(int left, int top, int width, int height) { return QRect(left / 15, top / 15, width / 15, height / 15); }

QLabel* Label(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(geometry);
    l->setWordWrap(geometry.height() > 20);
    return l;
}

QPixmap Render(const QString& resource, QSize size) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(resource);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

void Separator(QWidget* parent, int y, const QColor& colour, int thickness) {
    auto* line = new QFrame(parent);
    line->setGeometry(120 / 15, y / 15, (6000 - 120) / 15, thickness);
    line->setAutoFillBackground(true);
    QPalette p = line->palette();
    p.setColor(QPalette::Window, colour);
    line->setPalette(p);
}
}  // namespace

QString LibraryInfo::Version() {
    return QString("%1.%2.%3").arg(QARN_VERSION_MAJOR).arg(QARN_VERSION_MINOR).arg(QARN_VERSION_PATCH);
}

frmAboutLight::frmAboutLight(QWidget* parent) : QDialog(parent) {
    setObjectName("frmAboutLight");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(6150 / 15, 3105 / 15);
    setWindowIcon(QIcon(Render(":/qarnSqlGenComp/control-logo.svg", QSize(16, 16))));

    auto* picIcon = new QLabel(this);
    picIcon->setObjectName("picIcon");
    picIcon->setGeometry(Twips(240, 240, 1140, 1545));
    picIcon->setPixmap(Render(":/qarnSqlGenComp/control-logo.svg", picIcon->size()));

    auto* cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setGeometry(Twips(4680, 120, 1335, 345));
    cmdOK->setDefault(true);  // Enter presses it; Escape rejects the dialog, which closes it the same way
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    Label(this, "lblVersion", "Version " + LibraryInfo::Version(), Twips(1560, 600, 3015, 240));
    Label(this, "lblTitle", LibraryInfo::Title, Twips(1560, 240, 3015, 240));
    Label(this, "Label1_0", "w:", Twips(1560, 1680, 255, 240));
    auto* web = new LinkLabel(LibraryInfo::WebAddress, QString("http://") + LibraryInfo::WebAddress, this);
    web->setObjectName("lblWebAddress");
    web->setGeometry(Twips(1800, 1680, 3855, 255));
    Label(this, "Label1_1", "e:", Twips(1560, 2040, 255, 240));
    auto* mail = new LinkLabel(LibraryInfo::EmailAddress, QString("Mailto:") + LibraryInfo::EmailAddress, this);
    mail->setObjectName("lblEmailAddress");
    mail->setGeometry(Twips(1800, 2040, 3855, 255));
    Separator(this, 2430, QColor(128, 128, 128), 1);
    Separator(this, 2445, QColor(255, 255, 255), 2);
    Label(this, "lblDisclaimer", LibraryInfo::Copyright, Twips(255, 2625, 5460, 345));
    Label(this, "lblCompanyName", LibraryInfo::Company, Twips(1560, 960, 3015, 600));
    setWindowTitle(QString("About ") + LibraryInfo::Title);
}

}  // namespace qarn::control
