#include "host/ControlHost.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include <dlfcn.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>
#include <map>

#include "api/Registry.h"

namespace qarn::host {

using namespace dispatch;

namespace {
constexpr const char* kLibraryName = "libqarnSqlGenComp.so";

template <class Fn>
Fn Symbol(void* handle, const char* name) {
    return reinterpret_cast<Fn>(dlsym(handle, name));
}

// The library file a program ships beside itself (or in ../lib when installed).
QStringList BesideProgram() {
    QString dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString(".");
    return {dir + "/" + kLibraryName, dir + "/../lib/" + kLibraryName, dir + "/../lib/qarnSqlGen/" + kLibraryName};
}

QString RegisteredPath(const QString& progId) {
    QSettings registry(RegistryFilePath(), QSettings::IniFormat);
    QString clsid = registry.value(ProgIdKey(progId)).toString();
    return clsid.isEmpty() ? QString() : registry.value(ClsidKey(clsid)).toString();
}
}  // namespace

struct ControlHost::Library {
    void* handle = nullptr;
    int32_t (*registerServer)() = nullptr;
    int32_t (*getClassObject)(const char*, const char*, void**) = nullptr;
    void (*setUserInterface)(UserInterface*) = nullptr;

    // Loaded once per process and kept: the control's per-thread session and
    // its windows live in it for as long as the program runs.
    static std::shared_ptr<Library> Load(const QString& path, std::string* error) {
        static std::map<QString, std::shared_ptr<Library>> loaded;
        QString canonical = QFileInfo(path).canonicalFilePath();
        if (canonical.isEmpty()) {
            if (error) *error = "no control library at " + path.toStdString();
            return nullptr;
        }
        if (auto it = loaded.find(canonical); it != loaded.end()) return it->second;
        // Loaded by its own name, not the versioned file behind the link, so
        // the library registers the name that survives an upgrade.
        void* handle = dlopen(QFileInfo(path).absoluteFilePath().toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            if (error) *error = dlerror();
            return nullptr;
        }
        auto lib = std::make_shared<Library>();
        lib->handle = handle;
        lib->registerServer = Symbol<int32_t (*)()>(handle, "DllRegisterServer");
        lib->getClassObject = Symbol<int32_t (*)(const char*, const char*, void**)>(handle, "DllGetClassObject");
        lib->setUserInterface = Symbol<void (*)(UserInterface*)>(handle, "QarnSetUserInterface");
        if (!lib->getClassObject) {
            if (error) *error = canonical.toStdString() + " is not a control library (no DllGetClassObject)";
            return nullptr;  // the handle stays loaded; it is never used
        }
        loaded[canonical] = lib;
        return lib;
    }
};

std::string RegistryFile() {
    return RegistryFilePath().toStdString();
}

std::unique_ptr<ControlHost> ControlHost::Create(std::string_view progId, QWidget* parent, std::string* error) {
    QString id = QString::fromUtf8(progId.data(), static_cast<qsizetype>(progId.size()));
    if (id != kProgId) {
        if (error) *error = "no control is registered as " + std::string(progId);
        return nullptr;
    }
    std::shared_ptr<Library> lib;
    std::string reason;
    bool registered = false;
    QString registeredPath = RegisteredPath(id);
    // The copy shipped with the program wins; the registration finds the
    // library for hosts that have none beside them.
    QStringList candidates = BesideProgram();
    candidates << registeredPath;
    for (const QString& candidate : candidates) {
        if (candidate.isEmpty() || !QFileInfo::exists(candidate)) continue;
        lib = Library::Load(candidate, &reason);
        if (lib) {
            registered = !registeredPath.isEmpty() && QFileInfo::exists(registeredPath);
            break;
        }
    }
    if (!lib) {
        if (error)
            *error = reason.empty() ? "the control library " + std::string(kLibraryName) + " cannot be found" : reason;
        return nullptr;
    }
    if (!registered && lib->registerServer) lib->registerServer();  // first run: register it

    void* object = nullptr;
    int32_t rc = lib->getClassObject(kClsidControl, kIidClassFactory, &object);
    if (rc != hr::S_OK || !object) {
        if (error) *error = "the control library has no class factory for " + std::string(progId);
        return nullptr;
    }
    IDispatchControl* control = nullptr;
    rc = static_cast<IClassFactory*>(object)->CreateInstance(parent, &control);
    if (rc != hr::S_OK || !control) {
        if (error) *error = "the control could not be created";
        return nullptr;
    }
    return std::unique_ptr<ControlHost>(new ControlHost(std::move(lib), control));
}

ControlHost::ControlHost(std::shared_ptr<Library> library, IDispatchControl* control)
    : library_(std::move(library)), control_(control) {
    control_->Advise([this](DispId event) {
        if (event == kDispIdStatusTextChanged && statusHandler_) statusHandler_();
        if (event == kDispIdProgress && progressHandler_) progressHandler_();
    });
}

ControlHost::~ControlHost() {
    control_->Advise(nullptr);
    control_->Release();
}

QWidget* ControlHost::Widget() const {
    return control_->Widget();
}

DispId ControlHost::IdOf(std::string_view member) const {
    return control_->GetIDOfName(member);
}

CallResult ControlHost::Call(DispId id, InvokeKind kind, std::vector<Value> args) {
    CallResult r;
    ExcepInfo excep;
    int32_t rc = control_->Invoke(id, kind, args, &r.value, &excep);
    r.ok = rc == hr::S_OK;
    if (rc == hr::DISP_E_EXCEPTION) {
        r.number = excep.number;
        r.source = excep.source;
        r.description = excep.description;
    } else if (!r.ok) {
        r.number = rc;
        r.source = kProgId;
        r.description = "the control refused the call (" + std::to_string(rc) + ")";
    }
    return r;
}

CallResult ControlHost::Call(std::string_view member, std::vector<Value> args) {
    DispId id = IdOf(member);
    if (id == DISPID_UNKNOWN) {
        CallResult r;
        r.number = hr::DISP_E_UNKNOWNNAME;
        r.source = kProgId;
        r.description = "the control has no member " + std::string(member);
        return r;
    }
    return Call(id, InvokeKind::Method, std::move(args));
}

CallResult ControlHost::Put(std::string_view property, Value value) {
    DispId id = IdOf(property);
    return Call(id, InvokeKind::PropertyPut, {std::move(value)});
}

void ControlHost::OnStatusTextChanged(std::function<void()> handler) {
    statusHandler_ = std::move(handler);
}
void ControlHost::OnProgress(std::function<void()> handler) {
    progressHandler_ = std::move(handler);
}

void ControlHost::SetAmbientUserMode(bool userMode) {
    control_->SetAmbientUserMode(userMode);
}

void ControlHost::SetUserInterface(UserInterface* ui) {
    if (library_->setUserInterface) library_->setUserInterface(ui);
}

std::string CallResult::Text() const {
    auto* s = std::get_if<std::string>(&value);
    return s ? *s : std::string();
}

bool CallResult::Bool() const {
    auto* b = std::get_if<bool>(&value);
    return b && *b;
}

int32_t CallResult::Int() const {
    auto* i = std::get_if<int32_t>(&value);
    return i ? *i : 0;
}

void PrepareRuntimeDirectory() {
    const char* set = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (set && *set && ::stat(set, &st) == 0 && S_ISDIR(st.st_mode)) return;
    const std::string dir = "/tmp/runtime-" + std::to_string(::getuid());
    ::mkdir(dir.c_str(), 0700);
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return;  // Qt says why
    ::chmod(dir.c_str(), 0700);
    ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
}

}  // namespace qarn::host
