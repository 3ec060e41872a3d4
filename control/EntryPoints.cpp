// The library's entry points: self-registration, the class factory that
// creates the control, and where its messages go.
#include <dlfcn.h>

#include <QSettings>
#include <atomic>
#include <cstring>

#include "api/Registry.h"
#include "api/qarnDispatch.h"
#include "qarnSqlGenCntl.h"
#include "ui/UserInterface.h"
#include "widgets/QtUserInterface.h"

using namespace qarn::dispatch;

namespace {

std::atomic<int> serverLocks{0};

// From the moment the library is loaded its messages are Qt dialogs wherever
// the host runs a QApplication, until the host installs an interface of its own.
[[maybe_unused]] const bool qtDialogsByDefault = (qarn::UseQtUserInterfaceByDefault(), true);

class ControlFactory : public IClassFactory {
public:
    int32_t CreateInstance(QWidget* parent, IDispatchControl** control) override {
        if (!control) return hr::E_FAIL;
        try {
            *control = new qarn::control::qarnSqlGenCntl(parent);
            return hr::S_OK;
        } catch (...) {
            *control = nullptr;
            return hr::E_FAIL;
        }
    }
    int32_t LockServer(bool lock) override {
        serverLocks += lock ? 1 : -1;
        return hr::S_OK;
    }
};

// The path of this library as the loader sees it.
QString OwnPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) == 0 || !info.dli_fname) return {};
    return QString::fromLocal8Bit(info.dli_fname);
}

constexpr int32_t SELFREG_E_CLASS = -2147220991;  // 0x80040201

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int32_t DllRegisterServer() {
    QString path = OwnPath();
    if (path.isEmpty()) return SELFREG_E_CLASS;
    QSettings registry(RegistryFilePath(), QSettings::IniFormat);
    registry.setValue(ProgIdKey(kProgId), kClsidControl);
    registry.setValue(ClsidKey(kClsidControl), path);
    registry.sync();
    return registry.status() == QSettings::NoError ? hr::S_OK : SELFREG_E_CLASS;
}

__attribute__((visibility("default"))) int32_t DllUnregisterServer() {
    QSettings registry(RegistryFilePath(), QSettings::IniFormat);
    registry.remove(ProgIdKey(kProgId));
    registry.remove(ClsidKey(kClsidControl));
    registry.sync();
    return registry.status() == QSettings::NoError ? hr::S_OK : SELFREG_E_CLASS;
}

__attribute__((visibility("default"))) int32_t DllGetClassObject(const char* clsid, const char* iid, void** object) {
    if (!object) return hr::E_FAIL;
    *object = nullptr;
    if (!clsid || std::strcmp(clsid, kClsidControl) != 0) return hr::CLASS_E_CLASSNOTAVAILABLE;
    if (!iid || std::strcmp(iid, kIidClassFactory) != 0) return hr::E_NOINTERFACE;
    static ControlFactory factory;
    *object = static_cast<IClassFactory*>(&factory);
    return hr::S_OK;
}

__attribute__((visibility("default"))) int32_t DllCanUnloadNow() {
    return qarn::control::qarnSqlGenCntl::LiveCount() == 0 && serverLocks == 0 ? hr::S_OK : hr::S_FALSE;
}

__attribute__((visibility("default"))) void QarnSetUserInterface(qarn::UserInterface* ui) {
    qarn::SetUserInterface(ui);
}

}  // extern "C"
