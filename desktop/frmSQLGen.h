#pragma once
// The main window "Generate SQL Inserts": the statement box, the buttons
// that connect, generate, view, clear and run the demonstration, and the
// status bar that mirrors the control's status text.  Every database
// operation is the control's; the window reaches it only late-bound.

#include <QMainWindow>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/ControlHost.h"

class QAction;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;

namespace qarn {
class UserInterface;
}

namespace qarn::desktop {

class frmSQLGen : public QMainWindow {
    Q_OBJECT

public:
    // Builds the window, creates the control on it and reads the stored
    // options.  Throws when the control cannot be created: without it the
    // window has nothing to offer.
    explicit frmSQLGen(QWidget* parent = nullptr);
    ~frmSQLGen() override;

    // The control instance on the window (the Options dialog builds its
    // connection strings with it).
    host::ControlHost& HostedControl() const;

    // Panel 1 of the status bar.
    void SetStatusPanelText(const QString& text);
    QString StatusPanelText() const;

    // Sends the message boxes of the program and of the control library to
    // `ui` (nullptr: back to their own).  The caller keeps `ui` alive.
    void InstallUserInterface(UserInterface* ui);

    // The pause after each character the demonstration types; a person
    // watching needs the 0.2 seconds, a test does not.
    static void SetTypingPause(std::chrono::milliseconds pause);

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    class Busy;

    void BuildMenus();
    void BuildClientArea();
    // A button of the row along the bottom; a click runs `click` as the
    // handler named `place`.
    QPushButton* AddButton(const char* name, const char* caption, int leftTwips, const char* toolTip, const char* place,
                           std::function<void()> click);
    void CreateControl();
    void Form_Load();
    void Form_QueryUnload();

    void mobjSqlGen_StatusTextChanged();
    // Shows the rows written so far beside the status text.
    void mobjSqlGen_Progress();
    void txtSelect_Change();
    void cmdConnect_Click(int index);
    void ConnectByPrompt();
    // Connects through the UDL file at `path`; none (after the message that
    // says why) when there is no path or no file there.
    std::optional<bool> ConnectThroughUdl(const std::string& path, const std::string& whenNone,
                                          const std::string& whenMissing);
    void DefaultConnect();
    void AfterConnectAttempt(int index, bool connected);
    void Disconnect(int index);
    void cmdGenerate_Click();
    void cmdView_Click();
    void cmdClear_Click();
    void cmdSample_Click();
    void RunSample();
    void TypeCharacter(const QString& character);
    void mnuOptions_Click();

    // Runs a handler as a click runs it: the window stays alive until it
    // returns, and an error it does not handle itself is reported with the
    // handler's place instead of escaping into the event loop.
    template <class Handler>
    void Handle(const char* place, Handler handler);

    // Calls into the control through the bound reference; a call made
    // while nothing is bound fails as an unset object reference does.
    host::CallResult Invoke(std::string_view member, std::vector<dispatch::Value> args = {});
    host::CallResult Assign(std::string_view property, dispatch::Value value);

    void FrameButton(const QWidget* button);
    void ShowArrow();
    void ParkArrow();
    void Inform(const std::string& text);

    QPlainTextEdit* txtSelect = nullptr;
    std::array<QPushButton*, 2> cmdConnect{};
    QPushButton* cmdGenerate = nullptr;
    QPushButton* cmdView = nullptr;
    QPushButton* cmdClear = nullptr;
    QPushButton* cmdSample = nullptr;
    QPushButton* cmdClose = nullptr;
    QWidget* shaRect = nullptr;
    QLabel* picArrow = nullptr;
    QStatusBar* staStatusBar = nullptr;
    QLabel* staPanel1 = nullptr;
    QLabel* staPanel2 = nullptr;
    QWidget* client_ = nullptr;

    std::unique_ptr<host::ControlHost> qarnSqlGenCntl1;
    host::ControlHost* mobjSqlGen = nullptr;
    std::string mstrOutputFile;
    bool mblnFirstPaint = true;

    // A close that arrives while a handler is still running (the
    // demonstration types, the status bar lets events run) unloads the
    // window at once but frees it only when that handler has returned.
    int busyHandlers_ = 0;
    bool unloaded_ = false;
    // A close that arrives while Generate runs waits for it to return.
    bool generating_ = false;
    bool closeWhenDone_ = false;
};

}  // namespace qarn::desktop
