#pragma once
// The wait pointer while work runs, put back on every way out.  Qt keeps a
// stack of override pointers, so an error report's own reset in between
// leaves this harmless.  Without a windowed application there is no pointer.

#include <QCursor>
#include <QGuiApplication>

namespace qarn {

class Hourglass {
public:
    Hourglass() : shown_(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        if (shown_) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~Hourglass() {
        if (shown_) QGuiApplication::restoreOverrideCursor();
    }
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;

private:
    bool shown_;
};

}  // namespace qarn
