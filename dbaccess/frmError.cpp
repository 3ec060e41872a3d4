#include "frmError.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>

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
    errorLabel->setFont(LabelFont());
    errorLabel->setGeometry(Twips(120, 840, 2655, 255));

    txtMessage = new QPlainTextEdit(this);
    txtMessage->setObjectName("txtMessage");
    txtMessage->setReadOnly(true);
    txtMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtMessage->setGeometry(Twips(120, 1200, 7215, 975));

    auto* extraLabel = new QLabel("Exra Information Concerning Error:", this);
    extraLabel->setObjectName("Label1_1");
    extraLabel->setFont(LabelFont());
    extraLabel->setGeometry(Twips(120, 2280, 3135, 255));

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

// Lets the list scroll sideways to the end of its longest line.
void frmError::mSetListExtent() {
    if (lstErrors->count() == 0) return;
    int longest = 0;
    for (int i = 1; i < lstErrors->count(); ++i)
        if (lstErrors->item(i)->text().size() > lstErrors->item(longest)->text().size()) longest = i;
    int width = QFontMetrics(lstErrors->font()).horizontalAdvance(lstErrors->item(longest)->text());
    int visible = lstErrors->viewport()->width();
    lstErrors->horizontalScrollBar()->setRange(0, std::max(0, width + 8 - visible));
}

}  // namespace qarn
