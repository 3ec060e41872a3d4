// The Options dialog driven as a user drives it, with the control library
// loaded at run time for Build, the file prompt and every message answered
// by the test.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include <functional>
#include <memory>

#include "DesktopTestSupport.h"
#include "basSQLGen.h"
#include "frmFileOpen.h"
#include "frmOptions.h"
#include "host/ControlHost.h"

namespace qarn::desktop {
namespace {

using test::RecordingUi;
using Shown = RecordingUi::Shown;
using Strings = std::vector<std::string>;

const Shown kBuildWarning{"Please click the Build button to create a default connection string", MsgIcon::Exclamation,
                          ""};
const Shown kUdlWarning{"Please specify a UDL file for the default database connection", MsgIcon::Exclamation, ""};
constexpr char kPassword[] = "s3cr;et=\"x";

class OptionsTest : public test::DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        std::string error;
        control = host::ControlHost::Create("qarnSqlGenComp.qarnSqlGenCntl", &hostWindow, &error);
        ASSERT_TRUE(control) << error;
        control->SetUserInterface(&ui);
        ASSERT_TRUE(gblnLoadDefaults());
    }
    void TearDown() override {
        dialog.reset();
        if (control) control->SetUserInterface(nullptr);
        control.reset();
        SetFilePromptAnswer({});
        DesktopTest::TearDown();
    }

    frmOptions& Open() {
        dialog = std::make_unique<frmOptions>(*control);
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        return *dialog;
    }
    template <class W = QPushButton>
    W& Get(const char* name) {
        auto* w = dialog->findChild<W*>(name);
        if (!w) throw std::runtime_error(std::string("the dialog has no ") + name);
        return *w;
    }
    void Click(const char* name) { QTest::mouseClick(&Get<QAbstractButton>(name), Qt::LeftButton); }
    QString Text(const char* box) { return Get<QPlainTextEdit>(box).toPlainText(); }
    // Dialect, rows per INSERT, duplicate keys, terminator, order by key.
    Strings ScriptOptionsShown() {
        auto flag = [this](const char* name) { return Get<QCheckBox>(name).isChecked() ? "true" : "false"; };
        return {Get<QComboBox>("cboDialect").currentData().toString().toStdString(),
                std::to_string(Get<QSpinBox>("spnRowsPerInsert").value()),
                Get<QComboBox>("cboOnDuplicate").currentData().toString().toStdString(), flag("chkTerminate"),
                flag("chkOrderByKey")};
    }
    void Choose(const char* box, const char* value) {
        QComboBox& list = Get<QComboBox>(box);
        list.setCurrentIndex(list.findData(QString(value)));
    }
    bool ApplyEnabled() { return Get("cmdApply").isEnabled(); }
    // Each entry is a whole line of the settings file.
    void ExpectStored(std::initializer_list<const char*> entries) {
        for (const char* entry : entries)
            EXPECT_NE(SettingsText().find(std::string("\n") + entry + "\n"), std::string::npos) << entry << "\n"
                                                                                                << SettingsText();
    }

    // The file prompt answers `path`, and remembers the filter it was given.
    void AnswerFilePrompt(const std::string& path) {
        SetFilePromptAnswer([this, path](const std::string& filter) {
            filters.push_back(filter);
            return path;
        });
    }
    // Build, with the control's Data Link dialog filled in and confirmed.
    void Build(const QString& provider, const std::vector<std::pair<const char*, QString>>& fields) {
        OnNextModal([=](QWidget& link) {
            auto* list = link.findChild<QComboBox*>("cboProvider");
            list->setCurrentIndex(list->findText(provider));
            for (const auto& [name, text] : fields) link.findChild<QLineEdit*>(name)->setText(text);
            QTest::mouseClick(link.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        });
        Click("cmdPrompt");
    }
    // A PostgreSQL login whose password holds the separators of a connection string.
    void BuildPostgresLogin() {
        Build("PostgreSQL",
              {{"txtServer", "db.example"}, {"txtDatabase", "sales"}, {"txtUser", "ann"}, {"txtPassword", kPassword}});
    }
    void CancelDataLink() {
        OnNextModal(
            [](QWidget& link) { QTest::mouseClick(link.findChild<QPushButton*>("cmdCancel"), Qt::LeftButton); });
        Click("cmdPrompt");
    }

    QWidget hostWindow;
    std::unique_ptr<host::ControlHost> control;
    std::unique_ptr<frmOptions> dialog;
    std::vector<std::string> filters;
};

TEST_F(OptionsTest, TheStoredOptionsFillTheDialogWithoutEnablingApply) {
    SaveSetting("UseUDL", "True");
    SaveSetting("DefaultConn", "Provider=SQLite;Data Source=/data/a.db");
    SaveSetting("DefaultUDL", "/data/link.udl");
    SaveSetting("IncludeIdent", "False");
    ASSERT_TRUE(gblnLoadDefaults());
    Open();
    EXPECT_TRUE(Get<QRadioButton>("optConnection1").isChecked());
    EXPECT_FALSE(Get<QRadioButton>("optConnection0").isChecked());
    EXPECT_EQ(Text("txtConn"), "Provider=SQLite;Data Source=/data/a.db");
    EXPECT_EQ(Text("txtUDL"), "/data/link.udl");
    EXPECT_FALSE(Get<QCheckBox>("chkIdent").isChecked());
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_TRUE(Get<QPlainTextEdit>("txtConn").isReadOnly() && Get<QPlainTextEdit>("txtUDL").isReadOnly());

    // Either option button enables Apply, also the one already chosen.
    Click("optConnection1");
    EXPECT_TRUE(ApplyEnabled());
}

TEST_F(OptionsTest, BuildShowsAndStoresTheStringWithItsPasswordMasked) {
    Open();
    BuildPostgresLogin();
    const std::string shown = Text("txtConn").toStdString();
    EXPECT_NE(shown.find("password=**********"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Initial Catalog=sales"), std::string::npos) << shown;
    EXPECT_TRUE(ApplyEnabled());
    Click("cmdOK");
    EXPECT_EQ(gstrDefaultConn, shown);
    // The full string, password and all, lives only in memory for this run.
    EXPECT_NE(gstrSessionConn.find(kPassword), std::string::npos) << gstrSessionConn;
    const std::string stored = SettingsText();
    for (const char* part : {"s3cr", "et=", "\\\"x"})
        EXPECT_EQ(stored.find(part), std::string::npos) << part << "\n" << stored;
    EXPECT_NE(stored.find("DefaultConn="), std::string::npos) << stored;
    ExpectStored({"UseUDL=False", "IncludeIdent=True"});
    EXPECT_TRUE(ui.shown.empty());

    // Passwords typed into an ODBC string, in any spelling of the key.
    Open();
    Build("ODBC data source", {{"txtOdbcString", "DSN=warehouse;PWD = hidden;Pwd=second"}});
    EXPECT_TRUE(Text("txtConn").contains("DSN=warehouse")) << Text("txtConn").toStdString();
    Click("cmdOK");
    for (const std::string& seen : {Text("txtConn").toStdString(), SettingsText()})
        EXPECT_TRUE(seen.find("hidden") == std::string::npos && seen.find("second") == std::string::npos) << seen;
    EXPECT_NE(gstrSessionConn.find("PWD = hidden"), std::string::npos) << gstrSessionConn;
}

TEST_F(OptionsTest, ACancelledBuildOrBrowseChangesNothing) {
    SaveSetting("DefaultConn", "Provider=SQLite;Data Source=/data/a.db");
    SaveSetting("DefaultUDL", "/data/link.udl");
    ASSERT_TRUE(gblnLoadDefaults());
    Open();
    CancelDataLink();
    AnswerFilePrompt("");
    Click("cmdBrowse");
    EXPECT_EQ(filters, (std::vector<std::string>{"UDL Files (*.UDL)|*.UDL"}));
    EXPECT_EQ(Text("txtConn"), "Provider=SQLite;Data Source=/data/a.db");
    EXPECT_EQ(Text("txtUDL"), "/data/link.udl");
    EXPECT_FALSE(ApplyEnabled());

    // An enabled Apply stays enabled through a cancelled Build.
    Click("optConnection0");
    CancelDataLink();
    EXPECT_TRUE(ApplyEnabled());
    EXPECT_EQ(Text("txtConn"), "Provider=SQLite;Data Source=/data/a.db");
}

TEST_F(OptionsTest, EachOptionNeedsItsOwnBoxFilledBeforeItIsSaved) {
    // The connection string chosen but never built: the UDL box is not looked at.
    Open();
    AnswerFilePrompt("/data/link.udl");
    Click("cmdBrowse");
    EXPECT_EQ(Text("txtUDL"), "/data/link.udl");
    Click("cmdOK");
    EXPECT_EQ(ui.shown, (std::vector<Shown>{kBuildWarning}));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(ApplyEnabled()) << "a save stopped by a warning leaves Apply as it was";
    EXPECT_FALSE(QFile::exists(SettingsFile())) << SettingsText();

    // The UDL chosen with no file: the connection string box is not looked at.
    SaveSetting("DefaultConn", "Provider=SQLite;Data Source=/data/a.db");
    ASSERT_TRUE(gblnLoadDefaults());
    ui.shown.clear();
    Open();
    Click("optConnection1");
    Click("cmdApply");
    EXPECT_EQ(ui.shown, (std::vector<Shown>{kUdlWarning}));
    EXPECT_EQ(SettingsText().find("UseUDL"), std::string::npos) << SettingsText();
}

TEST_F(OptionsTest, ApplySavesAndStaysOpenCancelKeepsWhatWasApplied) {
    Open();
    BuildPostgresLogin();
    AnswerFilePrompt("/data/link.udl");
    Click("cmdBrowse");
    Click("optConnection1");
    Click("cmdApply");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_TRUE(gblnUseUDL);
    EXPECT_EQ(gstrDefaultUDL, "/data/link.udl");
    EXPECT_EQ(gstrDefaultConn, Text("txtConn").toStdString()) << "both boxes are saved whichever option is chosen";
    EXPECT_NE(gstrSessionConn.find(kPassword), std::string::npos);

    // Changes after Apply go with Cancel (or Escape).
    Get<QCheckBox>("chkIdent").setChecked(false);
    Click("optConnection0");
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_TRUE(gblnUseUDL && gblnIncludeIdent);
    ExpectStored({"UseUDL=True", "IncludeIdent=True"});
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(OptionsTest, TheCheckBoxAloneLeavesApplyOffButOkSavesIt) {
    SaveSetting("DefaultConn", "Provider=SQLite;Data Source=/data/a.db");
    ASSERT_TRUE(gblnLoadDefaults());
    ASSERT_EQ(gstrSessionConn, "Provider=SQLite;Data Source=/data/a.db");
    Open();
    Click("chkIdent");
    EXPECT_FALSE(Get<QCheckBox>("chkIdent").isChecked());
    EXPECT_FALSE(ApplyEnabled());
    Click("cmdOK");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(gblnIncludeIdent);
    ExpectStored({"IncludeIdent=False"});
    // Build was not used in this opening: the session string goes, and the
    // next Default Connect asks for the login again.
    EXPECT_EQ(gstrSessionConn, "");
}

TEST_F(OptionsTest, ScriptOptionsEnableApplyAndAreSavedWithTheOthers) {
    SaveSetting("DefaultConn", "Provider=SQLite;Data Source=/data/a.db");
    ASSERT_TRUE(gblnLoadDefaults());
    const std::vector<std::function<void()>> changes = {
        [this] { Choose("cboDialect", "postgresql"); }, [this] { Get<QSpinBox>("spnRowsPerInsert").setValue(25); },
        [this] { Choose("cboOnDuplicate", "update"); }, [this] { Click("chkTerminate"); },
        [this] { Click("chkOrderByKey"); }};
    Open();
    for (size_t i = 0; i < changes.size(); ++i) {
        changes[i]();
        EXPECT_TRUE(ApplyEnabled()) << "change " << i;
        Click("cmdApply");
        EXPECT_FALSE(ApplyEnabled()) << "change " << i;
    }
    Click("cmdOK");
    ExpectStored({"Terminate=True", "RowsPerInsert=25", "TargetDialect=postgresql", "OrderByKey=True",
                  "OnDuplicate=update", "IncludeIdent=True"});
    EXPECT_TRUE(gblnTerminate && gblnOrderByKey);
    EXPECT_EQ(glngRowsPerInsert, 25);
    EXPECT_EQ(gstrTargetDialect, "postgresql");
    EXPECT_EQ(gstrOnDuplicate, "update");

    // Read back into a new opening, and back to the defaults from there.
    Open();
    EXPECT_EQ(ScriptOptionsShown(), (Strings{"postgresql", "25", "update", "true", "true"}));
    EXPECT_FALSE(ApplyEnabled());
    Choose("cboDialect", "");
    Get<QSpinBox>("spnRowsPerInsert").setValue(1);
    Choose("cboOnDuplicate", "");
    Click("chkTerminate");
    Click("chkOrderByKey");
    Click("cmdOK");
    ExpectStored({"Terminate=False", "RowsPerInsert=1", "TargetDialect=", "OrderByKey=False", "OnDuplicate="});
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(OptionsTest, AStoreThatCannotBeWrittenIsReportedAndCancelSavesNothing) {
    Open();
    AnswerFilePrompt("/data/link.udl");
    Click("cmdBrowse");
    Click("optConnection1");
    QDir().mkpath(SettingsFile());  // a folder where the file belongs
    gstrSessionConn = "kept";
    Click("cmdOK");
    EXPECT_TRUE(dialog->isVisible());
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(
        ui.shown[0].text.rfind("The Following Error Occured in frmOptions!mblnSetOptions\r\nError Number: 75\r\n", 0),
        0u)
        << ui.shown[0].text;
    EXPECT_EQ(ui.shown[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(ApplyEnabled());
    EXPECT_EQ(gstrSessionConn, "kept");
    Click("cmdCancel");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(ui.shown.size(), 1u) << "Cancel tried to save";
    EXPECT_FALSE(gblnUseUDL);
    EXPECT_EQ(gstrDefaultUDL, "");
}

}  // namespace
}  // namespace qarn::desktop
