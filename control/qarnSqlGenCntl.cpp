#include "qarnSqlGenCntl.h"

#include <QLabel>
#include <QResizeEvent>
#include <algorithm>
#include <atomic>
#include <climits>

#include "DispatchTable.h"
#include "dialogs/DataLinkPrompts.h"
#include "frmAboutLight.h"
#include "logic/ValueRendering.h"
#include "widgets/FormLayout.h"

namespace qarn::control {

namespace {
using namespace dispatch;

std::atomic<int> liveControls{0};

// The face is 3360 x 1920 twips, 15 twips a pixel.
constexpr int kWidth = 224;
constexpr int kHeight = 128;

// A member's own error, raised to the host through Invoke's ExcepInfo.
struct MemberError {
    int32_t number;
    std::string source;
    std::string description;
};

QLabel* FacePicture(QWidget* parent, const char* name, const QString& resource, QRect twips) {
    QRect r = Twips(twips.x(), twips.y(), twips.width(), twips.height());
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setGeometry(r);
    label->setPixmap(RenderSvg(resource, r.size()));
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

const std::string& Text(const Value& v) {
    return std::get<std::string>(v);
}

// Automation's answer to a value a property cannot take.
MemberError InvalidValue(const char* property) {
    return {380, std::string("qarnSqlGenCntl_") + property, "Invalid property value."};
}
}  // namespace

int qarnSqlGenCntl::LiveCount() {
    return liveControls.load();
}

qarnSqlGenCntl::qarnSqlGenCntl(QWidget* parent) : QWidget(parent) {
    ++liveControls;
    setObjectName("qarnSqlGenCntl");
    setFixedSize(kWidth, kHeight);
    setFocusPolicy(Qt::NoFocus);
    core_.OnStatusTextChanged([this] {
        emit StatusTextChanged();
        if (sink_) sink_(kDispIdStatusTextChanged);
    });
    core_.OnProgress([this] {
        emit Progress();
        if (sink_) sink_(kDispIdProgress);
    });
}

qarnSqlGenCntl::~qarnSqlGenCntl() {
    --liveControls;
}  // the core closes a connected session

void qarnSqlGenCntl::Release() {
    delete this;
}

// The face is drawn the first time the control is shown: a host that never
// shows it (the command line) never pays for drawing.
void qarnSqlGenCntl::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (picLogo_) return;
    picLogo_ = FacePicture(this, "picLogo", ":/qarnSqlGenComp/control-logo.svg", QRect(120, 120, 1080, 1485));
    picIdentity_ =
        FacePicture(this, "picIdentity", ":/qarnSqlGenComp/control-identity.svg", QRect(1440, 480, 1830, 705));
    picLogo_->show();
    picIdentity_->show();
}

void qarnSqlGenCntl::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (e->size() != QSize(kWidth, kHeight)) resize(kWidth, kHeight);
}

DispId qarnSqlGenCntl::GetIDOfName(std::string_view name) {
    return IdOfName(name);
}

int32_t qarnSqlGenCntl::Invoke(DispId id, InvokeKind kind, const std::vector<Value>& args, Value* result,
                               ExcepInfo* excep) {
    const MemberInfo* member = FindMember(id, kind);
    if (!member) return hr::DISP_E_MEMBERNOTFOUND;
    std::vector<Value> full = args;
    if (int32_t rc = PrepareArguments(*member, full); rc != hr::S_OK) return rc;
    try {
        Value v = Call(member->id, member->kind, full);
        if (result) *result = std::move(v);
        return hr::S_OK;
    } catch (const MemberError& e) {
        if (excep) *excep = {e.number, e.source, e.description};
        return hr::DISP_E_EXCEPTION;
    }
}

Value qarnSqlGenCntl::Call(DispId id, InvokeKind kind, const std::vector<Value>& a) {
    switch (id) {
        case DISPID_StatusText: return core_.StatusText();
        case DISPID_ReturnMessage: return core_.ReturnMessage();
        case DISPID_State: return core_.State();
        case DISPID_IncludeIdent:
            if (kind == InvokeKind::PropertyGet) return core_.IncludeIdent();
            if (!userMode_)
                throw MemberError{383, "qarnSqlGenCntl_IncludeIdent", "Let/Set not supported at design time."};
            core_.SetIncludeIdent(std::get<bool>(a[0]));
            return {};
        case DISPID_PromptForConnection: return PromptForConnection();
        case DISPID_PromptForLogin: return PromptForLogin(Text(a[0]));
        case DISPID_ConnectionStringForDisplay: return ConnectionStringForDisplay(Text(a[0]));
        case DISPID_Connect: return core_.Connect(Text(a[0]), Text(a[1]));
        case DISPID_Disconnect: core_.Disconnect(std::get<bool>(a[0])); return {};
        case DISPID_Generate: return core_.Generate(Text(a[0]), Text(a[1]), std::get<bool>(a[2]));
        case DISPID_RunScript: return core_.RunScript(Text(a[0]), std::get<int32_t>(a[1]));
        case DISPID_ShowAboutBox: ShowAboutBox(); return {};
        case DISPID_SingleTransaction:
            if (kind == InvokeKind::PropertyGet) return core_.SingleTransaction();
            core_.SetSingleTransaction(std::get<bool>(a[0]));
            return {};
        case DISPID_ProgressCount: return static_cast<int32_t>(std::min<int64_t>(core_.ProgressCount(), INT32_MAX));
        case DISPID_ProgressShare: return core_.ProgressShare();
        case DISPID_Verify:
            if (kind == InvokeKind::PropertyGet) return core_.Verify();
            core_.SetVerify(std::get<bool>(a[0]));
            return {};
        case DISPID_Terminate:
            if (kind == InvokeKind::PropertyGet) return core_.Script().terminate;
            core_.Script().terminate = std::get<bool>(a[0]);
            return {};
        case DISPID_RowsPerInsert:
            if (kind == InvokeKind::PropertyGet) return core_.Script().rowsPerInsert;
            if (std::get<int32_t>(a[0]) < 1) throw InvalidValue("RowsPerInsert");
            core_.Script().rowsPerInsert = std::get<int32_t>(a[0]);
            return {};
        case DISPID_TargetDialect: {
            std::optional<Dialect>& target = core_.Script().target;
            if (kind == InvokeKind::PropertyGet) return target ? std::string(DialectKeyword(*target)) : std::string();
            Dialect d{};
            if (!Text(a[0]).empty() && !ParseDialect(Text(a[0]), d)) throw InvalidValue("TargetDialect");
            target = Text(a[0]).empty() ? std::nullopt : std::optional<Dialect>(d);
            return {};
        }
        case DISPID_OrderByKey:
            if (kind == InvokeKind::PropertyGet) return core_.OrderByKey();
            core_.SetOrderByKey(std::get<bool>(a[0]));
            return {};
        case DISPID_OnDuplicate: {
            OnDuplicate& on = core_.Script().onDuplicate;
            if (kind == InvokeKind::PropertyGet)
                return std::string(on == OnDuplicate::Skip ? "skip" : on == OnDuplicate::Update ? "update" : "");
            const std::string& v = Text(a[0]);
            if (v.empty() || v == "fail")
                on = OnDuplicate::Fail;
            else if (v == "skip")
                on = OnDuplicate::Skip;
            else if (v == "update")
                on = OnDuplicate::Update;
            else
                throw InvalidValue("OnDuplicate");
            return {};
        }
        case DISPID_StatementMode:
            if (kind == InvokeKind::PropertyGet) return core_.Running().statementMode;
            core_.Running().statementMode = std::get<bool>(a[0]);
            return {};
        case DISPID_OnError: {
            OnError& on = core_.Running().onError;
            if (kind == InvokeKind::PropertyGet) return std::string(on == OnError::Continue ? "continue" : "stop");
            const std::string& v = Text(a[0]);
            if (v.empty() || v == "stop")
                on = OnError::Stop;
            else if (v == "continue")
                on = OnError::Continue;
            else
                throw InvalidValue("OnError");
            return {};
        }
        case DISPID_ErrorLog:
            if (kind == InvokeKind::PropertyGet) return core_.Running().errorLog;
            core_.Running().errorLog = Text(a[0]);
            return {};
        case DISPID_CommitEvery:
            if (kind == InvokeKind::PropertyGet) return core_.Running().commitEvery;
            if (std::get<int32_t>(a[0]) < 0) throw InvalidValue("CommitEvery");
            core_.Running().commitEvery = std::get<int32_t>(a[0]);
            return {};
        default: return {};
    }
}

std::string qarnSqlGenCntl::PromptForConnection() {
    try {
        return PromptNewConnection(this);
    } catch (...) {
        return {};
    }
}

std::string qarnSqlGenCntl::PromptForLogin(const std::string& strConnStringIn) {
    try {
        std::string edited = strConnStringIn;
        return PromptEditConnection(this, edited) ? edited : strConnStringIn;
    } catch (...) {
        return {};
    }
}

void qarnSqlGenCntl::ShowAboutBox() {
    try {
        frmAboutLight box(this);
        box.exec();
    } catch (...) {
    }
}

}  // namespace qarn::control
