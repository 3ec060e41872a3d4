// The program's error message, its help and its About box.
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QUrl>

#include "DesktopTestSupport.h"
#include "basHtmlHelp.h"
#include "frmAbout.h"
#include "widgets/FormLayout.h"

// The program registers its resources when its main window starts; these
// tests open the About box without one.
static void RegisterProgramResources() {
    Q_INIT_RESOURCE(program);
}

namespace qarn::desktop {
namespace {

using test::RecordingUi;
using Shown = RecordingUi::Shown;

// ---- HandleError ---------------------------------------------------------

class HandleErrorTest : public test::DesktopTest {};

// A read-only database is an information; any other error names the place,
// number and text, then the extra text; the window and the pointer are
// given back each time.
TEST_F(HandleErrorTest, TheMessageNamesTheErrorAndTheWindowComesBack) {
    // The form without Extra Info is the settings' reading failures'.
    HandleError("frmSQLGen!cmdGenerate_Click", "table Staff",
                {3027, "Cannot update. Database or object is read-only."});
    HandleError("frmOptions!mblnSetOptions", "key UseUDL", {-2147467259, "Unspecified error"});
    EXPECT_EQ(ui.shown,
              (std::vector<Shown>{{"This Database is Read Only\r\nExtra Info: table Staff", MsgIcon::Information, ""},
                                  {"The Following Error Occured in frmOptions!mblnSetOptions\r\nError Number: "
                                   "-2147467259\r\nError: Unspecified error\r\nExtra Info: key UseUDL",
                                   MsgIcon::Critical, ""}}));
    EXPECT_EQ(ui.pointerRestores, 2);
    EXPECT_EQ(ui.windowEnables, 2);
}

TEST_F(HandleErrorTest, TheCurrentExceptionBecomesANumberedError) {
    auto errorOf = [](auto raise) {
        try {
            raise();
        } catch (...) {
            ProgramError e = CurrentProgramError();
            return std::make_pair(e.number, e.description);
        }
        return std::make_pair(-1, std::string("nothing raised"));
    };
    using Pair = std::pair<int32_t, std::string>;
    EXPECT_EQ(errorOf([] { throw ProgramFailure(3027, "read only"); }), (Pair{3027, "read only"}));
    EXPECT_EQ(errorOf([] { throw std::bad_alloc(); }), (Pair{7, "Out of memory"}));
    EXPECT_EQ(errorOf([] { throw std::runtime_error("disk on fire"); }), (Pair{5, "disk on fire"}));
    EXPECT_EQ(errorOf([] { throw 42; }), (Pair{440, "Automation error"}));
    ProgramError none = CurrentProgramError();
    EXPECT_EQ(std::make_pair(none.number, none.description), (Pair{0, ""}));
}

// ---- Help ----------------------------------------------------------------

class HelpTest : public test::DesktopTest {};

// Takes the URLs the desktop is asked to open, instead of a browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    explicit UrlCatcher(const QString& scheme) : scheme_(scheme) {
        QDesktopServices::setUrlHandler(scheme_, this, "Open");
    }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(scheme_); }
    std::vector<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened.push_back(url); }

private:
    QString scheme_;
};

TEST_F(HelpTest, TheHelpFileBesideTheProgramOpensInTheBrowser) {
    UrlCatcher browser("file");
    ShowHelp();
    ASSERT_EQ(browser.opened.size(), 1u);
    EXPECT_EQ(browser.opened[0].toLocalFile(), appDir + "/qarnSqlGen.html");
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(HelpTest, WithoutABrowserTheMessageSaysWhatToInstall) {
    // The offscreen platform has no desktop services, as a machine without
    // a browser has none.
    ASSERT_EQ(QGuiApplication::platformName(), "offscreen");
    ShowHelp();
    ASSERT_EQ(ui.shown.size(), 1u);
    const std::string& text = ui.shown[0].text;
    EXPECT_EQ(ui.shown[0].icon, MsgIcon::Information);
    // The reason names the file; advice and the list of browsers follow in blocks.
    const std::string head = "The following error has has occurred accessing HTML Help:\r\n\r\n";
    EXPECT_TRUE(text.starts_with(head)) << text;
    EXPECT_LT(text.find((appDir + "/qarnSqlGen.html").toStdString()), text.find("\r\n\r\n", head.size())) << text;
}

// ---- About box -----------------------------------------------------------

class AboutTest : public test::DesktopTest {
protected:
    static void SetUpTestSuite() {
        DesktopTest::SetUpTestSuite();
        RegisterProgramResources();
    }
    const Shown kUnavailable{"System Information Is Unavailable At This Time", MsgIcon::None, ""};
};

TEST_F(AboutTest, TheBoxShowsTheBuildsVersionAndTheLogo) {
    frmAbout box;
    EXPECT_EQ(Child<QLabel>(box, "lblVersion").text().toStdString(), "Version " + std::to_string(QARN_VERSION_MAJOR) +
                                                                         "." + std::to_string(QARN_VERSION_MINOR) +
                                                                         "." + std::to_string(QARN_VERSION_PATCH));
    // The logo is drawn from the program's resources, not left blank.
    QImage logo = Child<QLabel>(box, "picIcon").pixmap().toImage();
    ASSERT_FALSE(logo.isNull());
    int drawn = 0;
    for (int y = 0; y < logo.height(); ++y)
        for (int x = 0; x < logo.width(); ++x) drawn += qAlpha(logo.pixel(x, y)) > 0;
    EXPECT_GT(drawn, logo.width() * logo.height() / 2);
}

TEST_F(AboutTest, WithNoSystemInformationProgramTheBoxSaysSo) {
    frmAbout box;
    qputenv("PATH", "");
    QTest::mouseClick(&Child(box, "cmdSysInfo"), Qt::LeftButton);
    // A file of that name that cannot run does not count either.
    QString ran = FakePrograms({"hardinfo"}, false);
    box.StartSysInfo();
    EXPECT_EQ(ui.shown, (std::vector<Shown>{kUnavailable, kUnavailable}));
    EXPECT_FALSE(QFile::exists(ran));
    std::string found;
    EXPECT_FALSE(frmAbout::GetKeyValue("hardinfo", found));
}

TEST_F(AboutTest, SystemInfoStartsTheFirstProgramOfTheListOnThePath) {
    const auto& programs = frmAbout::SysInfoPrograms();
    ASSERT_GE(programs.size(), 2u);
    // Only a later one of the list is installed: it is the one started.
    QString name = QString::fromStdString(programs.back());
    QString ran = FakePrograms({name});
    std::string found;
    EXPECT_TRUE(frmAbout::GetKeyValue(programs.back(), found));
    EXPECT_EQ(found, (home.filePath("bin/") + name).toStdString());
    std::string first = "left over";
    EXPECT_FALSE(frmAbout::GetKeyValue(programs.front(), first));
    EXPECT_EQ(first, "");

    frmAbout box;
    QTest::mouseClick(&Child(box, "cmdSysInfo"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(ran); }, 5000)) << "the program was not started";
    EXPECT_EQ(test::ReadBytes(ran.toStdString()), found + "\n");
    EXPECT_TRUE(ui.shown.empty());
}

}  // namespace
}  // namespace qarn::desktop

#include "HelpAboutTest.moc"
