#pragma once
// The host's side of the control: finds the library by the control's
// programmatic identifier, creates the control on a host widget and calls
// its members late-bound.  Hosts link this and never the control itself.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "api/qarnDispatch.h"

class QWidget;

namespace qarn::host {

using dispatch::DispId;
using dispatch::InvokeKind;
using dispatch::Value;

// What a call returns: its value, or the error the member raised.
struct CallResult {
    bool ok = false;
    Value value;
    int32_t number = 0;  // the error's number (a dispatch failure's result when no member raised it)
    std::string source;
    std::string description;

    std::string Text() const;  // the value as text ("" when not a text)
    bool Bool() const;         // the value as a boolean (false when not one)
    int32_t Int() const;       // the value as a number (0 when not one)
};

class ControlHost {
public:
    // Loads the library registered for `progId` (registering the one beside
    // the program on first run) and creates the control on `parent`.
    // Returns null with the reason in `error` when it cannot.
    static std::unique_ptr<ControlHost> Create(std::string_view progId, QWidget* parent, std::string* error);
    ~ControlHost();
    ControlHost(const ControlHost&) = delete;
    ControlHost& operator=(const ControlHost&) = delete;

    QWidget* Widget() const;
    // A method or property read by name, or by dispatch identifier.
    CallResult Call(std::string_view member, std::vector<Value> args = {});
    CallResult Call(DispId id, InvokeKind kind, std::vector<Value> args = {});
    // A property assignment.
    CallResult Put(std::string_view property, Value value);
    DispId IdOf(std::string_view member) const;

    // Connects the control's StatusTextChanged event.
    void OnStatusTextChanged(std::function<void()> handler);
    // Connects the control's Progress event, raised while Generate and
    // RunScript work (a few times a second at most).
    void OnProgress(std::function<void()> handler);
    void SetAmbientUserMode(bool userMode);
    // Routes the library's message boxes and error windows (nullptr: its default).
    void SetUserInterface(UserInterface* ui);

private:
    struct Library;
    ControlHost(std::shared_ptr<Library> library, dispatch::IDispatchControl* control);

    std::shared_ptr<Library> library_;
    dispatch::IDispatchControl* control_;
    std::function<void()> statusHandler_;
    std::function<void()> progressHandler_;
};

// Gives a program started from a bare shell (no XDG_RUNTIME_DIR) the
// private runtime folder Qt would fall back to, made as Qt wants it, so Qt
// has nothing to warn about.  Call before the application object exists.
void PrepareRuntimeDirectory();

// Where hosts and the library keep the registration of the control: an INI
// file under the per-user data folder ($XDG_DATA_HOME/qarnSqlGen/registry.ini).
std::string RegistryFile();

}  // namespace qarn::host
