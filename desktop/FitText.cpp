#include "FitText.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>
#include <utility>

namespace qarn::desktop {

namespace {

constexpr int kSmallestPixelSize = 8;

// The caption as drawn: "&&" is an ampersand, any other '&' marks the
// next letter as the shortcut and is not shown.
QString WithoutMnemonic(const QString& text) {
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) ++i;
        shown += text[i];
    }
    return shown;
}

bool LabelFits(const QLabel& label, const QString& text) {
    const int margin = label.margin();
    QRect area = label.contentsRect().adjusted(margin, margin, -margin, -margin);
    if (label.indent() > 0) area.adjust(label.indent(), 0, 0, 0);
    const QString shown = label.buddy() ? WithoutMnemonic(text) : text;
    const int flags = int(label.alignment()) | (label.wordWrap() ? Qt::TextWordWrap : 0);
    const QRect needed = QFontMetrics(label.font()).boundingRect(area, flags, shown);
    return needed.width() <= area.width() && needed.height() <= area.height();
}

bool PushButtonFits(const QPushButton& button, const QString& text) {
    const QStyle* style = button.style();
    const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &button);
    const int margin = style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, &button);
    const QFontMetrics metrics(button.font());
    return metrics.horizontalAdvance(WithoutMnemonic(text)) + margin + 2 * frame <= button.width() &&
           metrics.height() + 2 * frame <= button.height();
}

bool BoxButtonFits(const QAbstractButton& button, const QString& text, QStyle::ContentsType type) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = text;
    const QSize textSize = QFontMetrics(button.font()).size(Qt::TextShowMnemonic, text);
    const QSize needed = button.style()->sizeFromContents(type, &option, textSize, &button);
    return needed.width() <= button.width() && needed.height() <= button.height();
}

int PixelSize(const QFont& font) {
    return font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
}

}  // namespace

std::vector<Caption> CaptionsOn(QWidget& window) {
    std::vector<Caption> captions;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        QString text;
        if (auto* label = qobject_cast<QLabel*>(w))
            text = label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            text = button->text();
        if (!text.isEmpty()) captions.push_back({w, text});
    }
    return captions;
}

bool CaptionFits(const QWidget& widget, const QString& text) {
    if (auto* label = qobject_cast<const QLabel*>(&widget)) return LabelFits(*label, text);
    if (auto* button = qobject_cast<const QPushButton*>(&widget)) return PushButtonFits(*button, text);
    if (auto* box = qobject_cast<const QCheckBox*>(&widget)) return BoxButtonFits(*box, text, QStyle::CT_CheckBox);
    if (auto* option = qobject_cast<const QRadioButton*>(&widget))
        return BoxButtonFits(*option, text, QStyle::CT_RadioButton);
    return true;
}

void FitCaptions(QWidget& window, const std::vector<Caption>& later) {
    std::vector<Caption> captions = CaptionsOn(window);
    captions.insert(captions.end(), later.begin(), later.end());
    auto allFit = [&] {
        return std::all_of(captions.begin(), captions.end(),
                           [](const Caption& c) { return CaptionFits(*c.widget, c.text); });
    };
    if (allFit()) return;
    // The window's font reaches every widget that has none of its own; those
    // that have (a bold title, a link) shrink by as much.
    std::vector<std::pair<QWidget*, QFont>> drawn = {{&window, window.font()}};
    for (QWidget* w : window.findChildren<QWidget*>())
        if (w->testAttribute(Qt::WA_SetFont)) drawn.emplace_back(w, w->font());
    int smallest = PixelSize(window.font());
    for (const auto& [widget, font] : drawn) smallest = std::min(smallest, PixelSize(font));
    for (int shrink = 1; smallest - shrink >= kSmallestPixelSize; ++shrink) {
        for (const auto& [widget, font] : drawn) {
            QFont smaller = font;
            smaller.setPixelSize(PixelSize(font) - shrink);
            widget->setFont(smaller);
        }
        if (allFit()) return;
    }
}

}  // namespace qarn::desktop
