#include "frmSQLGen.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>

#include <optional>
#include <stdexcept>

#include "FitText.h"
#include "basErrorHandler.h"
#include "basGeneral.h"
#include "basHtmlHelp.h"
#include "basSQLGen.h"
#include "frmAbout.h"
#include "frmFileOpen.h"
#include "frmOptions.h"
#include "frmSQLGenParts.h"
#include "ui/UserInterface.h"
#include "widgets/FormLayout.h"
#include "widgets/Hourglass.h"

// Resources of a static library are registered by hand, and only from the
// global namespace.
static void InitProgramResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(program);
        return true;
    }();
    (void)done;
}

namespace qarn::desktop {

using namespace main_window;

namespace {

using dispatch::Value;
using host::CallResult;

constexpr char kUdlFilter[] = "UDL Files (*.UDL)|*.UDL";

// The highlight rectangle of the demonstration: an outline only, drawn
// behind the buttons it frames and never in the way of a click.
class ShapeRectangle : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        constexpr int kBorderWidth = 5;
        QPainter painter(this);
        painter.setPen(
            QPen(palette().color(QPalette::Highlight), kBorderWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        const qreal inset = kBorderWidth / 2.0;
        painter.drawRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
    }
};

// What a call through a reference that is not bound (yet, or any more) gives.
CallResult NotBound() {
    CallResult unset;
    unset.number = 91;
    unset.description = "Object variable or With block variable not set";
    return unset;
}

bool FileExists(const std::string& path) {
    return !path.empty() && QFileInfo(QString::fromStdString(path)).isFile();
}

// The script is shown in the desktop's text viewer.  $VISUAL and $EDITOR
// name terminal programs, which a window cannot show, so the desktop's own
// opener comes first and then the common graphical editors.
constexpr const char* kTextViewers[] = {"xdg-open", "gnome-text-editor", "gedit", "kate", "mousepad", "xed", "pluma",
                                        "leafpad"};

// Starts the first viewer that will start, with the path as its one
// argument (no shell: blanks in the path are safe); false when none would.
bool StartTextViewer(const QString& path, std::string* tried) {
    for (const char* viewer : kTextViewers) {
        if (QProcess::startDetached(QString::fromLatin1(viewer), {path})) return true;
        if (!tried->empty()) *tried += ", ";
        *tried += viewer;
    }
    return false;
}

}  // namespace

// Keeps the window from being freed while one of its handlers runs.
class frmSQLGen::Busy {
public:
    explicit Busy(frmSQLGen& window) : window_(window) { ++window_.busyHandlers_; }
    ~Busy() {
        if (--window_.busyHandlers_ == 0 && window_.unloaded_) window_.deleteLater();
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    frmSQLGen& window_;
};

template <class Handler>
void frmSQLGen::Handle(const char* place, Handler handler) {
    Busy busy(*this);
    try {
        handler();
    } catch (...) {
        HandleError(std::string("frmSQLGen!") + place, "", CurrentProgramError());
    }
}

frmSQLGen::frmSQLGen(QWidget* parent) : QMainWindow(parent) {
    InitProgramResources();
    setObjectName("frmSQLGen");
    setWindowTitle("Generate SQL Inserts");
    setWindowIcon(QIcon(control::RenderSvg(":/qarnSqlGen/qarnSqlGen.svg", QSize(32, 32))));
    // Fixed size: a title, a system menu and a close box, nothing to
    // minimise or maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    BuildMenus();
    BuildClientArea();
    CreateControl();
    Form_Load();

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    control::CentreOnScreen(this);
}

frmSQLGen::~frmSQLGen() {
    if (gfrmMain == this) gfrmMain = nullptr;
}

void frmSQLGen::BuildMenus() {
    QMenu* mnuFile = menuBar()->addMenu("&File");
    mnuFile->setObjectName("mnuFile");
    QAction* mnuFileExit = mnuFile->addAction("E&xit");
    mnuFileExit->setObjectName("mnuFileExit");
    connect(mnuFileExit, &QAction::triggered, this, [this] { close(); });

    QAction* mnuOptions = menuBar()->addAction("&Options");
    mnuOptions->setObjectName("mnuOptions");
    connect(mnuOptions, &QAction::triggered, this, [this] { mnuOptions_Click(); });

    QMenu* mnuHelp = menuBar()->addMenu("&Help");
    mnuHelp->setObjectName("mnuHelp");
    QAction* mnuHelpIndex = mnuHelp->addAction("&Help");
    mnuHelpIndex->setObjectName("mnuHelpIndex");
    connect(mnuHelpIndex, &QAction::triggered, this, [this] { Handle("mnuHelpIndex_Click", [] { ShowHelp(); }); });
    QAction* mnuHelpAbout = mnuHelp->addAction("&About");
    mnuHelpAbout->setObjectName("mnuHelpAbout");
    connect(mnuHelpAbout, &QAction::triggered, this, [this] {
        Handle("mnuHelpAbout_Click", [this] {
            frmAbout about(this);
            about.exec();
        });
    });
}

QPushButton* frmSQLGen::AddButton(const char* name, const char* caption, int leftTwips, const char* toolTip,
                                  const char* place, std::function<void()> click) {
    auto* button = new QPushButton(caption, client_);
    button->setObjectName(name);
    button->setGeometry(Twips(leftTwips, kButtonTop, kButtonWidth, kButtonHeight));
    button->setToolTip(toolTip);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, place, click = std::move(click)] { Handle(place, click); });
    return button;
}

void frmSQLGen::BuildClientArea() {
    client_ = new QWidget(this);
    client_->setObjectName("client");
    setCentralWidget(client_);
    // The window was designed for 8.25-point "MS Sans Serif"; where the
    // desktop draws a wider font, the captions are fitted once they exist.
    QFont designFont("MS Sans Serif");
    designFont.setPointSizeF(8.25);
    client_->setFont(designFont);

    // The highlight rectangle goes first, so every button lies above it.
    shaRect = new ShapeRectangle(client_);
    shaRect->setObjectName("shaRect");
    shaRect->setGeometry(Twips(8700, 2950, 1440, 450));
    shaRect->setAttribute(Qt::WA_TransparentForMouseEvents);
    shaRect->hide();

    auto* label1 = new QLabel(
        "Type a simple SQL SELECT statement into the box below and click Generate to create a SQL script of Inserts.",
        client_);
    label1->setObjectName("Label1");
    QFont bold = designFont;
    bold.setBold(true);
    label1->setFont(bold);
    label1->setWordWrap(true);
    label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label1->setGeometry(Twips(120, 120, 9975, 375));

    txtSelect = new QPlainTextEdit(client_);
    txtSelect->setObjectName("txtSelect");
    txtSelect->setGeometry(Twips(120, 600, 9975, 2295));
    txtSelect->setTabChangesFocus(true);
    connect(txtSelect, &QPlainTextEdit::textChanged, this,
            [this] { Handle("txtSelect_Change", [this] { txtSelect_Change(); }); });

    for (int index : {0, 1}) {
        cmdConnect[index] =
            AddButton(index == 0 ? "cmdConnect0" : "cmdConnect1", kConnectCaption[index], index == 0 ? 120 : 1560,
                      kConnectToolTip[index], "cmdConnect_Click", [this, index] { cmdConnect_Click(index); });
        cmdConnect[index]->setProperty(kTag, QString(kConnectToolTip[index]));
    }
    cmdGenerate =
        AddButton("cmdGenerate", "&Generate", 3000, "Generate INSERT statements from the supplied SELECT statement",
                  "cmdGenerate_Click", [this] { cmdGenerate_Click(); });
    cmdGenerate->setEnabled(false);
    cmdView = AddButton("cmdView", "&View Output", 4440, "View the generated INSERT statements", "cmdView_Click",
                        [this] { cmdView_Click(); });
    cmdClear = AddButton("cmdClear", "Clea&r", 5880, "Clear the SQL statement box", "cmdClear_Click",
                         [this] { cmdClear_Click(); });
    cmdSample =
        AddButton("cmdSample", "&Sample", 7320, "Watch while a sample SELECT is run against the Sample Access database",
                  "cmdSample_Click", [this] { cmdSample_Click(); });
    cmdClose = AddButton("cmdClose", "&Close", 8760, "Close the form", "cmdClose_Click", [this] { close(); });

    picArrow = new QLabel(client_);
    picArrow->setObjectName("picArrow");
    picArrow->setPixmap(control::RenderSvg(":/qarnSqlGen/arrow.svg", Twips(0, 0, kArrowSize, kArrowSize).size()));
    picArrow->setGeometry(Twips(kArrowParkedLeft, kArrowTop, kArrowSize, kArrowSize));
    picArrow->setAttribute(Qt::WA_TransparentForMouseEvents);
    picArrow->hide();

    staStatusBar = new QStatusBar(this);
    staStatusBar->setObjectName("staStatusBar");
    staStatusBar->setSizeGripEnabled(false);
    staPanel1 = new QLabel("Ready", staStatusBar);
    staPanel1->setObjectName("Panel1");
    staStatusBar->addWidget(staPanel1, 1);
    // The rows written so far, while Generate works.
    staPanel2 = new QLabel(staStatusBar);
    staPanel2->setObjectName("Panel2");
    staStatusBar->addPermanentWidget(staPanel2);
    setStatusBar(staStatusBar);

    // The status bar is docked inside the client area, at its bottom.
    client_->setFixedSize(Twips(0, 0, kClientWidth, kClientHeight).size() -
                          QSize(0, staStatusBar->sizeHint().height()));

    QWidget* tabOrder[] = {txtSelect,     cmdGenerate,   cmdClose, cmdView,
                           cmdConnect[0], cmdConnect[1], cmdClear, cmdSample};
    for (size_t i = 1; i < std::size(tabOrder); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);
    txtSelect->setFocus();

    FitCaptions(*client_, {{cmdConnect[0], kDisconnectCaption}, {cmdConnect[1], kDisconnectCaption}});
}

void frmSQLGen::CreateControl() {
    std::string error;
    qarnSqlGenCntl1 = host::ControlHost::Create(dispatch::kProgId, client_, &error);
    if (!qarnSqlGenCntl1)
        throw std::runtime_error("The control " + std::string(dispatch::kProgId) + " could not be created: " + error);
    qarnSqlGenCntl1->SetAmbientUserMode(true);
    // Below the visible client area: the user never sees it.
    qarnSqlGenCntl1->Widget()->move(TwipsPoint(3480, 4320));
}

void frmSQLGen::Form_Load() {
    try {
        mblnFirstPaint = true;
        mstrOutputFile = OutputFilePath();
        gblnLoadDefaults();
    } catch (...) {
        HandleError("frmSQLGen!Form_Load", "", CurrentProgramError());
    }
}

host::ControlHost& frmSQLGen::HostedControl() const {
    return *qarnSqlGenCntl1;
}

void frmSQLGen::SetStatusPanelText(const QString& text) {
    staPanel1->setText(text);
}

QString frmSQLGen::StatusPanelText() const {
    return staPanel1->text();
}

void frmSQLGen::InstallUserInterface(UserInterface* ui) {
    SetUserInterface(ui);
    qarnSqlGenCntl1->SetUserInterface(ui);
}

CallResult frmSQLGen::Invoke(std::string_view member, std::vector<Value> args) {
    if (!mobjSqlGen) return NotBound();
    return mobjSqlGen->Call(member, std::move(args));
}

CallResult frmSQLGen::Assign(std::string_view property, Value value) {
    if (!mobjSqlGen) return NotBound();
    return mobjSqlGen->Put(property, std::move(value));
}

void frmSQLGen::paintEvent(QPaintEvent* event) {
    QMainWindow::paintEvent(event);
    if (!mblnFirstPaint || unloaded_) return;
    // Bound on the first paint, not at load: the control's status changes
    // reach the status bar from now on.
    mblnFirstPaint = false;
    mobjSqlGen = qarnSqlGenCntl1.get();
    mobjSqlGen->OnStatusTextChanged([this] { mobjSqlGen_StatusTextChanged(); });
    mobjSqlGen->OnProgress([this] { mobjSqlGen_Progress(); });
}

void frmSQLGen::closeEvent(QCloseEvent* event) {
    if (generating_) {
        // The control is writing the script: disconnecting now would pull
        // the connection from under it.  The window closes when it is done.
        closeWhenDone_ = true;
        event->ignore();
        return;
    }
    event->accept();
    if (unloaded_) return;
    Form_QueryUnload();
    unloaded_ = true;
    if (busyHandlers_ == 0) deleteLater();
}

void frmSQLGen::Form_QueryUnload() {
    // Never keeps the window open: whatever fails here, it closes.
    try {
        if (mobjSqlGen) {
            mobjSqlGen->Call("Disconnect", {false});
            mobjSqlGen->OnStatusTextChanged(nullptr);
            mobjSqlGen->OnProgress(nullptr);
        }
    } catch (...) {
    }
    mobjSqlGen = nullptr;
}

void frmSQLGen::mobjSqlGen_StatusTextChanged() {
    ShowStatus(Invoke("StatusText").Text());
}

void frmSQLGen::mobjSqlGen_Progress() {
    const int32_t rows = Invoke("ProgressCount").Int();
    staPanel2->setText(QLocale().toString(rows) + (rows == 1 ? " row" : " rows"));
    // Painted now, as the status texts are: the window is busy until Generate returns.
    QCoreApplication::processEvents();
}

void frmSQLGen::txtSelect_Change() {
    // Never disables: an emptied box keeps Generate, which then says so.
    if (Invoke("State").Int() == kStateConnected) cmdGenerate->setEnabled(true);
}

void frmSQLGen::cmdConnect_Click(int index) {
    if (cmdConnect[index]->text() != kConnectCaption[index]) {
        Disconnect(index);
    } else if (index == 0) {
        ConnectByPrompt();
    } else {
        DefaultConnect();
    }
}

// A call that fails counts as a refused connection, and every prompt that
// fails as an empty answer: the handler carries on with its next step.
std::optional<bool> frmSQLGen::ConnectThroughUdl(const std::string& path, const std::string& whenNone,
                                                 const std::string& whenMissing) {
    if (path.empty()) {
        Message(whenNone, MsgIcon::Exclamation);
        return std::nullopt;
    }
    if (!FileExists(path)) {
        Message(whenMissing, MsgIcon::Exclamation);
        return std::nullopt;
    }
    return Invoke("Connect", {std::string(), path}).Bool();
}

void frmSQLGen::ConnectByPrompt() {
    std::optional<bool> connected;
    if (gblnUseUDL) {
        connected = ConnectThroughUdl(gstrPromptForFile(kUdlFilter),
                                      "You must specify a UDL file to make the database connection",
                                      "The specified UDL file does not exist");
    } else if (std::string strConn = Invoke("PromptForConnection").Text(); strConn.empty()) {
        Message("You must supply a database connection", MsgIcon::Exclamation);
    } else {
        connected = Invoke("Connect", {strConn}).Bool();
    }
    if (connected) AfterConnectAttempt(0, *connected);
}

void frmSQLGen::DefaultConnect() {
    std::optional<bool> connected;
    if (gblnUseUDL) {
        connected = ConnectThroughUdl(gstrDefaultUDL,
                                      "No default UDL has been specified.\r\n"
                                      "Please use the Options menu item to set a Default UDL",
                                      "The specified default UDL file does not exist");
    } else if (gstrDefaultConn.empty()) {
        Message(
            "No default Connection string has been specified.\r\n"
            "Please use the Options menu item to set a Default Connection String",
            MsgIcon::Exclamation);
    } else {
        if (gstrSessionConn.empty()) {
            // The stored string lacks its password: ask for it once, and keep
            // what the prompt gives for the rest of the run.
            std::string unmasked = QString::fromStdString(gstrDefaultConn)
                                       .remove(QString(kMaskedPassword), Qt::CaseSensitive)
                                       .toStdString();
            CallResult login = Invoke("PromptForLogin", {unmasked});
            if (login.ok) gstrSessionConn = login.Text();
        }
        connected = Invoke("Connect", {gstrSessionConn}).Bool();
    }
    if (connected) AfterConnectAttempt(1, *connected);
}

void frmSQLGen::AfterConnectAttempt(int index, bool connected) {
    if (!connected) {
        // The control and the database layer have told the user why.
        cmdGenerate->setEnabled(false);
        cmdSample->setEnabled(true);
        return;
    }
    cmdGenerate->setEnabled(!txtSelect->toPlainText().isEmpty());
    cmdConnect[1 - index]->setEnabled(false);
    cmdConnect[index]->setText(kDisconnectCaption);
    cmdConnect[index]->setToolTip(kDisconnectToolTip);
    cmdSample->setEnabled(false);
}

void frmSQLGen::Disconnect(int index) {
    Invoke("Disconnect", {true});
    cmdGenerate->setEnabled(false);
    cmdConnect[1 - index]->setEnabled(true);
    cmdConnect[index]->setText(kConnectCaption[index]);
    cmdConnect[index]->setToolTip(cmdConnect[index]->property(kTag).toString());
    cmdSample->setEnabled(true);
}

void frmSQLGen::cmdGenerate_Click() {
    std::string strMessage;
    // No button, menu or key works while the control writes the script;
    // they come back, and the count of rows goes, on every way out.
    struct WindowDisabled {
        frmSQLGen* window;
        ~WindowDisabled() {
            window->generating_ = false;
            window->staPanel2->clear();
            window->setEnabled(true);
        }
    } disabled{this};
    setEnabled(false);
    generating_ = true;
    Hourglass hourglass;

    std::optional<ProgramError> unexpected;
    try {
        const std::string statement = txtSelect->toPlainText().toStdString();
        if (statement.empty()) {
            strMessage = "Please supply a SQL statement";
        } else {
            Required(Assign("IncludeIdent", gblnIncludeIdent));
            Required(Assign("Terminate", gblnTerminate));
            Required(Assign("RowsPerInsert", glngRowsPerInsert));
            Required(Assign("TargetDialect", gstrTargetDialect));
            Required(Assign("OrderByKey", gblnOrderByKey));
            Required(Assign("Verify", gblnVerify));
            Required(Assign("OnDuplicate", gstrOnDuplicate));
            if (Required(Invoke("Generate", {mstrOutputFile, statement})).Bool())
                ShowStatus("Statements Generated");
            else
                strMessage = Required(Invoke("ReturnMessage")).Text();
        }
    } catch (const CallFailure& failure) {
        unexpected = failure.error;
    } catch (...) {
        unexpected = CurrentProgramError();
    }
    if (unexpected) Message(std::to_string(unexpected->number) + " " + unexpected->description, MsgIcon::Critical);
    if (!strMessage.empty()) {
        Message(strMessage, MsgIcon::Exclamation);
        ShowStatus(strMessage);
    }
    if (closeWhenDone_) {
        closeWhenDone_ = false;
        generating_ = false;
        close();
    }
}

void frmSQLGen::cmdView_Click() {
    if (mstrOutputFile.empty()) return;
    if (!FileExists(mstrOutputFile)) {
        Message("There is no output view", MsgIcon::Information);
        return;
    }
    std::string tried;
    if (!StartTextViewer(QString::fromStdString(mstrOutputFile), &tried))
        Message("The text viewer could not be started: " + tried, MsgIcon::Exclamation);
}

void frmSQLGen::cmdClear_Click() {
    txtSelect->clear();
    cmdGenerate->setEnabled(false);
}

void frmSQLGen::mnuOptions_Click() {
    Busy busy(*this);
    // Nothing follows the dialog: it reloads the options itself, and a
    // failure to show it is not reported.
    try {
        frmOptions options(*qarnSqlGenCntl1, this);
        options.exec();
    } catch (...) {
    }
}

}  // namespace qarn::desktop
