#include "frmOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <algorithm>
#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

#include "FitText.h"
#include "basErrorHandler.h"
#include "basSQLGen.h"
#include "frmFileOpen.h"
#include "host/ControlHost.h"
#include "ui/UserInterface.h"
#include "widgets/FormLayout.h"

namespace qarn::desktop {

using control::Twips;

namespace {

template <class W>
W* Place(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    auto* w = new W(caption, parent);
    w->setObjectName(name);
    // The window was drawn for a narrower font than a desktop's usual one: an
    // option or check box caption that would be cut off gets the width it
    // needs, as far as the window reaches.
    if constexpr (std::is_base_of_v<QAbstractButton, W> && !std::is_base_of_v<QPushButton, W>)
        geometry.setWidth(
            std::min(std::max(geometry.width(), w->sizeHint().width()), parent->width() - geometry.left()));
    w->setGeometry(geometry);
    return w;
}

// A multi-line box that only Build, Browse and the stored options fill.
QPlainTextEdit* ReadOnlyBox(QWidget* parent, const char* name, QRect geometry) {
    auto* box = new QPlainTextEdit(parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    box->setReadOnly(true);
    box->setTabChangesFocus(true);
    return box;
}

std::string TextOf(const QPlainTextEdit* box) {
    return box->toPlainText().toStdString();
}

// A list of the values of a text option, each shown in words.
QComboBox* ChoiceBox(QWidget* parent, const char* name, const std::vector<OptionChoice>& choices, QRect geometry) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    for (const OptionChoice& choice : choices) box->addItem(choice.caption, QString(choice.value));
    box->setGeometry(geometry);
    return box;
}

void Choose(QComboBox* box, const std::string& value) {
    box->setCurrentIndex(std::max(0, box->findData(QString::fromStdString(value))));
}

std::string ChosenValue(const QComboBox* box) {
    return box->currentData().toString().toStdString();
}

// A caption that names the box beside it; Alt and its letter go to the box.
void Label(QWidget* parent, const char* name, const QString& text, QWidget* buddy, QRect geometry) {
    Place<QLabel>(parent, name, text, geometry)->setBuddy(buddy);
}

const char* BooleanText(bool value) {
    return value ? "True" : "False";
}

std::vector<std::string> Entries(const std::string& connectionString) {
    std::vector<std::string> entries;
    for (const QString& e : QString::fromStdString(connectionString).split(';')) entries.push_back(e.toStdString());
    return entries;
}

// An entry's key in lower case and its value, without the blanks around them.
std::pair<std::string, std::string> KeyAndValue(const std::string& entry) {
    QString e = QString::fromStdString(entry);
    qsizetype eq = e.indexOf('=');
    if (eq < 0) return {};
    return {e.left(eq).trimmed().toLower().toStdString(), e.mid(eq + 1).trimmed().toStdString()};
}

bool IsPasswordKey(const std::string& key) {
    return key == "password" || key == "pwd";
}

// What the store may keep of a connection string: the control's display
// form, made safe where that form still shows a password.  The control masks
// the first entry spelt "password=" or "pwd=" up to the next ';'; a second
// password entry, one written with blanks around '=', or the rest of a
// quoted or braced password that holds a ';' would otherwise be shown and
// stored.  After a quoted or braced password nothing more is kept: where it
// ends is the connection-string parser's to say, not the dialog's.
std::string WithoutPasswords(const std::string& full, const std::string& display) {
    const std::vector<std::string> fullEntries = Entries(full);
    std::string safe;
    const char* separator = "";
    const std::vector<std::string> shown = Entries(display);
    for (size_t i = 0; i < shown.size(); ++i) {
        safe += separator;
        separator = ";";
        const std::string key = KeyAndValue(shown[i]).first;
        if (!IsPasswordKey(key)) {
            safe += shown[i];
            continue;
        }
        safe += key + "=" + kMaskedPassword;
        std::string written = i < fullEntries.size() ? KeyAndValue(fullEntries[i]).second : std::string();
        if (!written.empty() && (written[0] == '{' || written[0] == '"' || written[0] == '\'')) break;
    }
    return safe;
}

// Build, Browse and the loading of the boxes ignore failures: whatever
// could be done stays done, and nothing escapes into the event loop.
template <class Body>
void IgnoringErrors(Body&& body) {
    try {
        body();
    } catch (...) {
    }
}

}  // namespace

frmOptions::frmOptions(host::ControlHost& control, QWidget* parent) : QDialog(parent), control_(control) {
    setObjectName("frmOptions");
    setWindowTitle("Options");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    // Drawn 6540 twips wide; the script options take the column on the right.
    setFixedSize(11160 / 15, 4980 / 15);

    // Created in tab order: OK first, then the window from top to bottom.
    cmdOK = Place<QPushButton>(this, "cmdOK", "&OK", Twips(2850, 4455, 1095, 375));
    optConnection0 = Place<QRadioButton>(this, "optConnection0", "Use Connection String", Twips(1200, 120, 2175, 375));
    optConnection1 = Place<QRadioButton>(this, "optConnection1", "Use UDL", Twips(3840, 120, 1335, 375));
    optConnection0->setChecked(true);
    auto* lblConn = Place<QLabel>(this, "Label1_1", "Default Connection String:", Twips(0, 720, 1095, 975));
    txtConn = ReadOnlyBox(this, "txtConn", Twips(1200, 720, 3975, 1455));
    cmdPrompt = Place<QPushButton>(this, "cmdPrompt", "Buil&d", Twips(5280, 720, 1095, 375));
    auto* lblUDL = Place<QLabel>(this, "Label1_0", "Default UDL:", Twips(0, 2400, 1095, 375));
    // The labels stand at the window's edge: their text keeps a margin from it.
    for (QLabel* label : {lblConn, lblUDL}) {
        label->setWordWrap(true);
        label->setContentsMargins(Twips(120, 0, 0, 0).left(), 0, 0, 0);
    }
    txtUDL = ReadOnlyBox(this, "txtUDL", Twips(1200, 2400, 3975, 1455));
    cmdBrowse = Place<QPushButton>(this, "cmdBrowse", "&Browse", Twips(5280, 2400, 1095, 375));
    chkIdent = Place<QCheckBox>(this, "chkIdent", "Include Values for Identity/Autonumber columns?",
                                Twips(1200, 3960, 3855, 375));
    BuildScriptOptions();
    cmdCancel = Place<QPushButton>(this, "cmdCancel", "&Cancel", Twips(4080, 4455, 1095, 375));
    cmdApply = Place<QPushButton>(this, "cmdApply", "&Apply", Twips(5280, 4455, 1095, 375));
    cmdApply->setEnabled(false);
    cmdOK->setFocus();

    connect(optConnection0, &QRadioButton::clicked, this, &frmOptions::optConnection_Click);
    connect(optConnection1, &QRadioButton::clicked, this, &frmOptions::optConnection_Click);
    connect(cmdPrompt, &QPushButton::clicked, this, &frmOptions::cmdPrompt_Click);
    connect(cmdBrowse, &QPushButton::clicked, this, &frmOptions::cmdBrowse_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmOptions::cmdOK_Click);
    connect(cmdApply, &QPushButton::clicked, this, &frmOptions::cmdApply_Click);
    // Escape rejects the dialog: the same as Cancel, nothing is saved.
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    for (QCheckBox* box : {chkTerminate, chkOrderByKey, chkVerify})
        connect(box, &QCheckBox::clicked, this, &frmOptions::ScriptOption_Change);
    for (QComboBox* box : {cboDialect, cboOnDuplicate})
        connect(box, &QComboBox::currentIndexChanged, this, &frmOptions::ScriptOption_Change);
    connect(spnRowsPerInsert, &QSpinBox::valueChanged, this, &frmOptions::ScriptOption_Change);

    FitCaptions(*this);
    control::CentreOnScreen(this);
    mGetOptions();
}

void frmOptions::BuildScriptOptions() {
    auto* fraScript = new QGroupBox("Generated Script", this);
    fraScript->setObjectName("fraScript");
    fraScript->setGeometry(Twips(6540, 120, 4500, 3480));
    cboDialect = ChoiceBox(fraScript, "cboDialect", TargetDialectChoices(), Twips(1920, 360, 2460, 345));
    Label(fraScript, "lblDialect", "SQL dia&lect:", cboDialect, Twips(120, 360, 1740, 345));
    spnRowsPerInsert = new QSpinBox(fraScript);
    spnRowsPerInsert->setObjectName("spnRowsPerInsert");
    spnRowsPerInsert->setRange(1, INT32_MAX);
    spnRowsPerInsert->setGeometry(Twips(1920, 840, 1335, 345));
    Label(fraScript, "lblRowsPerInsert", "&Rows per INSERT:", spnRowsPerInsert, Twips(120, 840, 1740, 345));
    cboOnDuplicate = ChoiceBox(fraScript, "cboOnDuplicate", OnDuplicateChoices(), Twips(1920, 1320, 2460, 345));
    Label(fraScript, "lblOnDuplicate", "Duplicate &key:", cboOnDuplicate, Twips(120, 1320, 1740, 345));
    chkTerminate = Place<QCheckBox>(fraScript, "chkTerminate", "&End every statement with a semicolon",
                                    Twips(120, 1920, 4260, 375));
    chkOrderByKey =
        Place<QCheckBox>(fraScript, "chkOrderByKey", "Order rows by the &primary key", Twips(120, 2400, 4260, 375));
    chkVerify = Place<QCheckBox>(fraScript, "chkVerify", "&Verify the script before handing it over",
                                 Twips(120, 2880, 4260, 375));
}

void frmOptions::mGetOptions() {
    mblnLoading = true;
    IgnoringErrors([&] {
        if (gblnUseUDL) optConnection1->setChecked(true);
    });
    mstrConnTag.clear();
    IgnoringErrors([&] { txtConn->setPlainText(QString::fromStdString(gstrDefaultConn)); });
    IgnoringErrors([&] { txtUDL->setPlainText(QString::fromStdString(gstrDefaultUDL)); });
    IgnoringErrors([&] { chkIdent->setChecked(gblnIncludeIdent); });
    IgnoringErrors([&] { Choose(cboDialect, gstrTargetDialect); });
    IgnoringErrors([&] { spnRowsPerInsert->setValue(glngRowsPerInsert); });
    IgnoringErrors([&] { Choose(cboOnDuplicate, gstrOnDuplicate); });
    IgnoringErrors([&] { chkTerminate->setChecked(gblnTerminate); });
    IgnoringErrors([&] { chkOrderByKey->setChecked(gblnOrderByKey); });
    IgnoringErrors([&] { chkVerify->setChecked(gblnVerify); });
    mblnLoading = false;
}

void frmOptions::optConnection_Click() {
    if (!mblnLoading) cmdApply->setEnabled(true);
}

void frmOptions::ScriptOption_Change() {
    if (!mblnLoading) cmdApply->setEnabled(true);
}

void frmOptions::cmdPrompt_Click() {
    IgnoringErrors([&] {
        host::CallResult built = control_.Call("PromptForConnection");
        std::string strConn = built.ok ? built.Text() : std::string();
        if (strConn.empty()) return;
        // Without its display form the new string can be neither shown nor
        // saved: the password would go into the store.
        host::CallResult shown = control_.Call("ConnectionStringForDisplay", {strConn});
        if (!shown.ok) return;
        mstrConnTag = strConn;
        txtConn->setPlainText(QString::fromStdString(WithoutPasswords(strConn, shown.Text())));
        cmdApply->setEnabled(true);
    });
}

void frmOptions::cmdBrowse_Click() {
    IgnoringErrors([&] {
        std::string path = gstrPromptForFile("UDL Files (*.UDL)|*.UDL");
        if (path.empty()) return;
        txtUDL->setPlainText(QString::fromStdString(path));
        cmdApply->setEnabled(true);
    });
}

bool frmOptions::mblnSetOptions() {
    try {
        if (optConnection0->isChecked() && txtConn->toPlainText().isEmpty()) {
            CurrentUserInterface().MessageBox("Please click the Build button to create a default connection string",
                                              MsgIcon::Exclamation);
            return false;
        }
        if (optConnection1->isChecked() && txtUDL->toPlainText().isEmpty()) {
            CurrentUserInterface().MessageBox("Please specify a UDL file for the default database connection",
                                              MsgIcon::Exclamation);
            return false;
        }
        SaveSetting("UseUDL", BooleanText(optConnection1->isChecked()));
        SaveSetting("DefaultConn", TextOf(txtConn));
        SaveSetting("DefaultUDL", TextOf(txtUDL));
        SaveSetting("IncludeIdent", BooleanText(chkIdent->isChecked()));
        SaveSetting("Terminate", BooleanText(chkTerminate->isChecked()));
        SaveSetting("RowsPerInsert", std::to_string(spnRowsPerInsert->value()));
        SaveSetting("TargetDialect", ChosenValue(cboDialect));
        SaveSetting("OrderByKey", BooleanText(chkOrderByKey->isChecked()));
        SaveSetting("Verify", BooleanText(chkVerify->isChecked()));
        SaveSetting("OnDuplicate", ChosenValue(cboOnDuplicate));
        bool blnResult = gblnLoadDefaults();
        gstrSessionConn = mstrConnTag;
        cmdApply->setEnabled(false);
        return blnResult;
    } catch (...) {
        HandleError("frmOptions!mblnSetOptions", "", CurrentProgramError());
        return false;
    }
}

void frmOptions::cmdOK_Click() {
    if (mblnSetOptions()) accept();
}

void frmOptions::cmdApply_Click() {
    mblnSetOptions();
}

}  // namespace qarn::desktop
