#pragma once
// What the product's fixed-size windows share: positions in twips, centring
// on the screen, and for the two About boxes the makers' facts and the common
// part of the box (logo, title, version, company, links, disclaimer,
// caption) laid out where each box puts it.  Header only: the control library
// and the desktop program each build their own windows from it.

#include <QDialog>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QSvgRenderer>
#include <QWindow>

#include "widgets/LinkLabel.h"

namespace qarn::control {

// What the makers say of themselves in every About box of the product.
struct MakerInfo {
    static constexpr const char* Company = "qarnSqlGen developers";
    static constexpr const char* WebAddress = "qarnsqlgen.example.org";
    static constexpr const char* EmailAddress = "support@qarnsqlgen.example.org";
    static constexpr const char* Copyright = "Copyright \u00a9 2026 qarnSqlGen developers. All rights reserved.";
};

// Positions are given in twips; the windows are laid out at 15 twips a pixel.
inline QRect Twips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

inline QLabel* AboutLabel(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(geometry);
    l->setWordWrap(geometry.height() > 20);
    return l;
}

inline QPixmap RenderSvg(const QString& resource, QSize size) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(resource);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

// One line of the etched separator, `thickness` pixels high, from `left` to
// `right` at `top` (twips).
inline void SeparatorLine(QWidget* parent, int left, int right, int top, const QColor& colour, int thickness) {
    auto* line = new QFrame(parent);
    line->setGeometry(left / 15, top / 15, (right - left) / 15, thickness);
    line->setAutoFillBackground(true);
    QPalette p = line->palette();
    p.setColor(QPalette::Window, colour);
    line->setPalette(p);
}

// "major.minor.revision", each in decimal.
inline QString VersionNumber(int major, int minor, int revision) {
    return QString("%1.%2.%3").arg(major).arg(minor).arg(revision);
}

// Puts a window of fixed size in the middle of its screen, frame included.
// The frame is known only once the window exists, so the window is placed
// now and again as it is shown.
inline void CentreOnScreen(QWidget* window) {
    auto place = [](QWidget* w) {
        QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
        if (!screen) return;
        QMargins frame = w->windowHandle() ? w->windowHandle()->frameMargins() : QMargins();
        QSize outer = w->size().grownBy(frame);
        QRect area = screen->geometry();
        w->move(area.left() + (area.width() - outer.width()) / 2, area.top() + (area.height() - outer.height()) / 2);
    };
    class PlaceWhenShown : public QObject {
    public:
        PlaceWhenShown(QWidget* w, void (*place)(QWidget*)) : QObject(w), place_(place) {}
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Show) place_(static_cast<QWidget*>(watched));
            return false;
        }

    private:
        void (*place_)(QWidget*);
    };
    place(window);
    window->installEventFilter(new PlaceWhenShown(window, place));
}

// Where a box puts the parts every About box has (twips, already converted).
struct AboutPlacement {
    QRect picIcon, lblTitle, lblVersion, lblCompanyName, lblWebAddress, lblEmailAddress, lblDisclaimer;
};

// What a box says of the piece it describes.
struct AboutSubject {
    QString title;    // shown as the title and in the caption "About <title>"
    QString version;  // "major.minor.revision"
    QString logo;     // resource of the SVG logo
};

// Fills `box` in the order the boxes load: logo, version, title, the two
// links, disclaimer, company, caption.  Fixed size, no minimise or maximise
// button, centred on the screen.
inline void LayOutAboutBox(QDialog* box, QSize clientSize, const AboutSubject& subject, const AboutPlacement& at) {
    box->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                        Qt::WindowCloseButtonHint);
    box->setFixedSize(clientSize);

    auto* picIcon = new QLabel(box);
    picIcon->setObjectName("picIcon");
    picIcon->setGeometry(at.picIcon);
    picIcon->setPixmap(RenderSvg(subject.logo, picIcon->size()));

    AboutLabel(box, "lblVersion", "Version " + subject.version, at.lblVersion);
    AboutLabel(box, "lblTitle", subject.title, at.lblTitle);
    auto* web = new LinkLabel(MakerInfo::WebAddress, QString("http://") + MakerInfo::WebAddress, box);
    web->setObjectName("lblWebAddress");
    web->setGeometry(at.lblWebAddress);
    auto* mail = new LinkLabel(MakerInfo::EmailAddress, QString("Mailto:") + MakerInfo::EmailAddress, box);
    mail->setObjectName("lblEmailAddress");
    mail->setGeometry(at.lblEmailAddress);
    AboutLabel(box, "lblDisclaimer", MakerInfo::Copyright, at.lblDisclaimer);
    AboutLabel(box, "lblCompanyName", MakerInfo::Company, at.lblCompanyName);
    box->setWindowTitle("About " + subject.title);
    CentreOnScreen(box);
}

}  // namespace qarn::control
