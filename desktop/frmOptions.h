#pragma once
// The Options dialog: the default connection (a connection string built with
// the control's Data Link dialog, or a UDL file), whether generated scripts
// include identity/autonumber values, and how the control writes them
// (dialect, rows per INSERT, duplicate keys, terminators, row order).  Only the display form of a
// connection string, its password masked, is ever shown or stored; the full
// string lives in memory for the rest of the run (gstrSessionConn).

#include <QDialog>

#include <string>

class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace qarn::host {
class ControlHost;
}

namespace qarn::desktop {

class frmOptions : public QDialog {
    Q_OBJECT
public:
    // `control` is the control hosted by the main window; Build asks it for
    // connection strings.
    explicit frmOptions(host::ControlHost& control, QWidget* parent = nullptr);

private:
    void mGetOptions();
    bool mblnSetOptions();

    void optConnection_Click();
    // A change to one of the script options.
    void ScriptOption_Change();
    void BuildScriptOptions();
    void cmdPrompt_Click();
    void cmdBrowse_Click();
    void cmdOK_Click();
    void cmdApply_Click();

    host::ControlHost& control_;
    bool mblnLoading = false;
    // txtConn's tag: the full string Build produced in this opening, password
    // included; never shown, never stored.
    std::string mstrConnTag;

    QRadioButton* optConnection0 = nullptr;  // "Use Connection String"
    QRadioButton* optConnection1 = nullptr;  // "Use UDL"
    QPlainTextEdit* txtConn = nullptr;
    QPushButton* cmdPrompt = nullptr;
    QPlainTextEdit* txtUDL = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QCheckBox* chkIdent = nullptr;
    QComboBox* cboDialect = nullptr;
    QSpinBox* spnRowsPerInsert = nullptr;
    QComboBox* cboOnDuplicate = nullptr;
    QCheckBox* chkTerminate = nullptr;
    QCheckBox* chkOrderByKey = nullptr;
    QCheckBox* chkVerify = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdApply = nullptr;
};

}  // namespace qarn::desktop
