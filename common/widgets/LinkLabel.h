#pragma once
// A label that looks and acts like a link: pure blue, underlined, a hand
// pointer over it, and the desktop opens its target when clicked.

#include <QDesktopServices>
#include <QLabel>
#include <QMouseEvent>
#include <QUrl>

namespace qarn::control {

class LinkLabel : public QLabel {
public:
    LinkLabel(const QString& text, const QString& target, QWidget* parent) : QLabel(text, parent), target_(target) {
        QFont f("MS Sans Serif");
        f.setPointSizeF(8.25);
        f.setUnderline(true);
        setFont(f);
        QPalette p = palette();
        p.setColor(QPalette::WindowText, QColor(0, 0, 255));
        setPalette(p);
        setCursor(Qt::PointingHandCursor);
    }
    const QString& Target() const { return target_; }

protected:
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) QDesktopServices::openUrl(QUrl(target_));
    }

private:
    QString target_;
};

}  // namespace qarn::control
