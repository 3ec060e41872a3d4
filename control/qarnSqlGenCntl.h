#pragma once
// The control: a fixed-size face on its host's window, and the members
// hosts call late-bound through IDispatchControl.

#include <QWidget>
#include <functional>

#include "api/qarnDispatch.h"
#include "logic/ControlCore.h"

class QLabel;

namespace qarn::control {

class qarnSqlGenCntl : public QWidget, public dispatch::IDispatchControl {
    Q_OBJECT
public:
    explicit qarnSqlGenCntl(QWidget* parent = nullptr);
    ~qarnSqlGenCntl() override;

    // IDispatchControl
    dispatch::DispId GetIDOfName(std::string_view name) override;
    int32_t Invoke(dispatch::DispId id, dispatch::InvokeKind kind, const std::vector<dispatch::Value>& args,
                   dispatch::Value* result, dispatch::ExcepInfo* excep) override;
    void Advise(std::function<void(dispatch::DispId)> sink) override { sink_ = std::move(sink); }
    void SetAmbientUserMode(bool userMode) override { userMode_ = userMode; }
    QWidget* Widget() override { return this; }
    void Release() override;

    // How many controls are alive, so the library knows when it may unload.
    static int LiveCount();

signals:
    void StatusTextChanged();
    void Progress();

protected:
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    dispatch::Value Call(dispatch::DispId id, dispatch::InvokeKind kind, const std::vector<dispatch::Value>& args);
    std::string PromptForConnection();
    std::string PromptForLogin(const std::string& strConnStringIn);
    void ShowAboutBox();

    ControlCore core_;
    bool userMode_ = true;
    std::function<void(dispatch::DispId)> sink_;
    QLabel* picLogo_ = nullptr;
    QLabel* picIdentity_ = nullptr;
};

}  // namespace qarn::control
