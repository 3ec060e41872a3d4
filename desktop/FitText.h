#pragma once
// The windows keep the positions and sizes they were drawn with, in twips,
// for an 8-point font narrower than any a Linux desktop has.  Where a
// caption would be cut off in the font it is drawn with, the fonts of the
// window's captions shrink together until every one shows whole.

#include <QString>

#include <vector>

class QWidget;

namespace qarn::desktop {

// A text a widget shows, now or at some later time (a button whose caption
// changes).
struct Caption {
    QWidget* widget;
    QString text;
};

// The texts of the labels and buttons on `window`, as they read now.
std::vector<Caption> CaptionsOn(QWidget& window);

// Whether `text` shows whole in `widget` in the widget's font: a label's
// text (wrapped at blanks where the label wraps) inside its contents, a push
// button's caption with the style's margins inside its frame, a check or
// option button's box and caption inside the button.
bool CaptionFits(const QWidget& widget, const QString& text);

// Shrinks the font of `window` and of everything on it together, a pixel at
// a time, until each of its captions and of `later` fits; never below a size
// that is still read easily, where a caption is better cut off than
// unreadable.
void FitCaptions(QWidget& window, const std::vector<Caption>& later = {});

}  // namespace qarn::desktop
