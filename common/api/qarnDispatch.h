#pragma once
// How a host reaches the control at run time, with no compile-time
// knowledge of its class: the library's entry points hand out a class
// factory, the factory creates the control on a host widget, and the host
// calls members by name or dispatch identifier through IDispatchControl.
// The control raises its one event, StatusTextChanged, through the sink the
// host advises.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

class QWidget;
namespace qarn {
class UserInterface;
}

namespace qarn::dispatch {

using DispId = int32_t;
constexpr DispId DISPID_UNKNOWN = -1;

enum class InvokeKind : int32_t { Method = 1, PropertyGet = 2, PropertyPut = 4 };

// A value crossing the boundary: empty, a boolean, a 32-bit number or a text.
using Value = std::variant<std::monostate, bool, int32_t, std::string>;

// Filled when a member raises an error (result DISP_E_EXCEPTION).
struct ExcepInfo {
    int32_t number = 0;
    std::string source;
    std::string description;
};

// Results of Invoke and the entry points, as automation has them.
namespace hr {
constexpr int32_t S_OK = 0;
constexpr int32_t S_FALSE = 1;
constexpr int32_t E_FAIL = -2147467259;
constexpr int32_t E_NOINTERFACE = -2147467262;
constexpr int32_t CLASS_E_CLASSNOTAVAILABLE = -2147221231;
constexpr int32_t DISP_E_MEMBERNOTFOUND = -2147352573;
constexpr int32_t DISP_E_TYPEMISMATCH = -2147352571;
constexpr int32_t DISP_E_BADPARAMCOUNT = -2147352562;
constexpr int32_t DISP_E_PARAMNOTOPTIONAL = -2147352561;
constexpr int32_t DISP_E_EXCEPTION = -2147352567;
constexpr int32_t DISP_E_UNKNOWNNAME = -2147352570;
}  // namespace hr

// The control's identity, shared by the library and its hosts.
constexpr const char* kProgId = "qarnSqlGenComp.qarnSqlGenCntl";
constexpr const char* kClsidControl = "{3C5B8F61-7A2D-4E19-9B0C-5D7E2A41F6C3}";
constexpr const char* kIidDispatch = "{3C5B8F62-7A2D-4E19-9B0C-5D7E2A41F6C3}";
constexpr const char* kIidClassFactory = "{00000001-0000-0000-C000-000000000046}";
// The events of the control's event interface.  A host reads the state an
// event announces through properties: StatusText; ProgressCount and
// ProgressShare.
constexpr DispId kDispIdStatusTextChanged = 1;
constexpr DispId kDispIdProgress = 2;

class IDispatchControl {
public:
    // The dispatch identifier of a member (any case), or DISPID_UNKNOWN.
    virtual DispId GetIDOfName(std::string_view name) = 0;
    // Calls a member.  Optional arguments may be left off the end; they take
    // their defaults.  Returns hr::S_OK, or an hr:: failure; a member that
    // raises an error returns DISP_E_EXCEPTION with `excep` filled.
    virtual int32_t Invoke(DispId id, InvokeKind kind, const std::vector<Value>& args, Value* result,
                           ExcepInfo* excep) = 0;
    // The sink receives the identifier of every event raised, synchronously.
    virtual void Advise(std::function<void(DispId)> sink) = 0;
    // The container's ambient user mode: false while it is being designed.
    virtual void SetAmbientUserMode(bool userMode) = 0;
    virtual QWidget* Widget() = 0;
    // Destroys the control (and closes its connection when it has one).
    virtual void Release() = 0;

protected:
    ~IDispatchControl() = default;
};

class IClassFactory {
public:
    virtual int32_t CreateInstance(QWidget* parent, IDispatchControl** control) = 0;
    virtual int32_t LockServer(bool lock) = 0;

protected:
    ~IClassFactory() = default;
};

}  // namespace qarn::dispatch

// The library's entry points, looked up by name when it is loaded.
extern "C" {
int32_t DllRegisterServer();
int32_t DllUnregisterServer();
int32_t DllGetClassObject(const char* clsid, const char* iid, void** object);
int32_t DllCanUnloadNow();
// Where the library's message boxes and error windows go (nullptr: its
// default).  The host keeps the object alive while it is installed.
void QarnSetUserInterface(qarn::UserInterface* ui);
}
