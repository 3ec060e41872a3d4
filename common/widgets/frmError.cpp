#include "widgets/frmError.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <initializer_list>

namespace qarn {

namespace {
// Positions are given in twips; the window is laid out at 15 twips a pixel.
QRect Twips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, (width + 7) / 15, (height + 7) / 15);
}

QFont LabelFont() {
    QFont f("MS Sans Serif");
    f.setPointSizeF(8.25);
    f.setBold(true);
    return f;
}

// The labels were drawn for a bold font narrower than a Linux desktop's:
// their font shrinks a pixel at a time until each caption fits its label,
// but stays readable.
void FitLabels(std::initializer_list<QLabel*> labels) {
    constexpr int kSmallestPixelSize = 8;
    QFont font = LabelFont();
    auto fits = [&] {
        for (QLabel* label : labels)
            if (QFontMetrics(font).horizontalAdvance(label->text()) > label->contentsRect().width()) return false;
        return true;
    };
    for (int size = QFontInfo(font).pixelSize(); !fits() && size > kSmallestPixelSize;) font.setPixelSize(--size);
    for (QLabel* label : labels) label->setFont(font);
}
}  // namespace

frmError::frmError(QWidget* parent) : QDialog(parent) {
    setObjectName("frmError");
    setWindowTitle("Error");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(7500 / 15, 5325 / 15);
    QIcon icon = style()->standardIcon(QStyle::SP_MessageBoxCritical);
    setWindowIcon(icon);

    auto* image = new QLabel(this);
    image->setObjectName("Image1");
    image->setGeometry(Twips(3510, 120, 480, 480));
    image->setPixmap(icon.pixmap(32, 32));

    auto* errorLabel = new QLabel("Error:", this);
    errorLabel->setObjectName("Label1_0");
    errorLabel->setGeometry(Twips(120, 840, 2655, 255));

    txtMessage = new QPlainTextEdit(this);
    txtMessage->setObjectName("txtMessage");
    txtMessage->setReadOnly(true);
    txtMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtMessage->setGeometry(Twips(120, 1200, 7215, 975));

    auto* extraLabel = new QLabel("Exra Information Concerning Error:", this);
    extraLabel->setObjectName("Label1_1");
    extraLabel->setGeometry(Twips(120, 2280, 3135, 255));
    FitLabels({errorLabel, extraLabel});

    lstErrors = new QListWidget(this);
    lstErrors->setObjectName("lstErrors");
    lstErrors->setGeometry(Twips(120, 2640, 7215, 2010));
    lstErrors->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    lstErrors->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    cmdOK = new QPushButton("&OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setGeometry(Twips(3143, 4800, 1215, 375));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
}

void frmError::Fill(const std::string& report, const std::vector<std::string>& providerErrors) {
    txtMessage->setPlainText(QString::fromStdString(report));
    lstErrors->clear();
    for (const auto& line : providerErrors) lstErrors->addItem(QString::fromStdString(line));
}

void frmError::paintEvent(QPaintEvent* e) {
    mSetListExtent();
    QDialog::paintEvent(e);
}

// Lets the list scroll sideways to the end of its longest line: the widest
// in pixels, as drawn, which need not be the one with the most characters.
void frmError::mSetListExtent() {
    const int widest = lstErrors->count() == 0 ? 0 : lstErrors->sizeHintForColumn(0);
    lstErrors->horizontalScrollBar()->setRange(0, std::max(0, widest - lstErrors->viewport()->width()));
}

}  // namespace qarn
