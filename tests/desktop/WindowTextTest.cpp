// Every caption of the program's windows shows whole in the font it is drawn
// with (on this machine: the fonts fontconfig gives for the windows' design
// font and the desktop's), and the error window's list reaches the end of its
// widest line.
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include <memory>

#include "DesktopTestSupport.h"
#include "basSQLGen.h"
#include "frmAbout.h"
#include "frmOptions.h"
#include "frmSQLGen.h"
#include "widgets/frmError.h"

namespace qarn::desktop {
namespace {

QString WithoutMnemonic(QString text) {
    return text.replace(QRegularExpression("&(.)"), "\\1");
}

// The space the style gives a caption inside a button of its kind.
int CaptionRoom(QAbstractButton& button, QStyle::SubElement contents, int margin) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    return button.style()->subElementRect(contents, &option, &button).width() - margin;
}

// The labels and buttons on `window` whose text the font they are drawn
// with cuts off, by name and text.
std::vector<std::string> Clipped(QWidget& window) {
    std::vector<std::string> clipped;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&window)) continue;
        const QFontMetrics metrics(w->font());
        QString text;
        bool fits = true;
        if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty()) {
            text = label->buddy() ? WithoutMnemonic(label->text()) : label->text();
            const QRect area = label->contentsRect();
            const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
            fits = area.contains(metrics.boundingRect(area, flags, text));
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            text = WithoutMnemonic(button->text());
            int room = 0;
            if (qobject_cast<QPushButton*>(button))
                room = CaptionRoom(*button, QStyle::SE_PushButtonContents,
                                   w->style()->pixelMetric(QStyle::PM_ButtonMargin));
            else if (qobject_cast<QRadioButton*>(button))
                room = CaptionRoom(*button, QStyle::SE_RadioButtonContents, 0);
            else
                room = CaptionRoom(*button, QStyle::SE_CheckBoxContents, 0);
            fits = metrics.horizontalAdvance(text) <= room && metrics.height() <= button->height();
        }
        if (!fits) clipped.push_back(w->objectName().toStdString() + ": " + text.toStdString());
    }
    return clipped;
}

class WindowTextTest : public test::DesktopTest {
protected:
    // The main window, connected to an SQLite file by Default Connect when `connected`.
    frmSQLGen& MainWindow(bool connected) {
        SaveSetting("DefaultConn",
                    "Provider=SQLite;Data Source=" + test::MakeSqliteDatabase("CREATE TABLE t(id INTEGER)"));
        Main();
        main_ = gfrmMain;
        main_->InstallUserInterface(&ui);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(main_));
        main_->repaint();
        if (connected) QTest::mouseClick(main_->findChild<QPushButton*>("cmdConnect1"), Qt::LeftButton);
        return *main_;
    }
    void TearDown() override {
        if (main_) main_->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        DesktopTest::TearDown();
    }
    static void Show(QWidget& window) {
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    QPointer<frmSQLGen> main_;
};

TEST_F(WindowTextTest, EveryCaptionShowsWholeInTheFontItIsDrawnWith) {
    using Strings = std::vector<std::string>;
    {
        frmSQLGen& w = MainWindow(false);
        EXPECT_EQ(Clipped(w), Strings{}) << "idle";
        QTest::mouseClick(w.findChild<QPushButton*>("cmdConnect1"), Qt::LeftButton);
        ASSERT_EQ(w.findChild<QPushButton*>("cmdConnect1")->text(), "Disco&nnect");
        EXPECT_EQ(Clipped(w), Strings{}) << "connected";
    }
    frmOptions options(main_->HostedControl());
    Show(options);
    EXPECT_EQ(Clipped(options), Strings{});
    frmAbout about;
    Show(about);
    EXPECT_EQ(Clipped(about), Strings{});
    frmError error;
    error.Fill("The Following Error Occured in clsSQLADO!SQLRunSQLWithRs\r\nError Number: -2147467259", {"1 x"});
    Show(error);
    EXPECT_EQ(Clipped(error), Strings{});
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(WindowTextTest, TheErrorListScrollsToTheEndOfItsWidestLine) {
    frmError w;
    // The widest line as drawn is not the one with the most characters.
    const QString widest = "42P01 [unixODBC]" + QString(70, 'W');
    w.Fill("report", {std::string(150, 'i'), widest.toStdString(), "short"});
    Show(w);
    for (int paint = 0; paint < 2; ++paint) {  // each paint sets the extent again
        w.grab();
        QScrollBar& bar = *w.lstErrors->horizontalScrollBar();
        EXPECT_TRUE(bar.isVisible());
        EXPECT_GE(bar.maximum() + w.lstErrors->viewport()->width(),
                  QFontMetrics(w.lstErrors->font()).horizontalAdvance(widest));
    }
    w.Fill("again", {"short"});
    w.grab();
    EXPECT_EQ(w.lstErrors->horizontalScrollBar()->maximum(), 0);
}

}  // namespace
}  // namespace qarn::desktop
