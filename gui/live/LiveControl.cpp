#include "gui/live/LiveControl.h"

#include "gui/kit/CameraSession.h"
#include "gui/live/VideoDlg.h"

namespace {

// CVideoDlg's operations as ILiveControl, for the one live-video window.
class CVideoDlgControl final : public ILiveControl {
public:
    CVideoDlg* dlg = nullptr;

    KY_HANDLE Handle() const override { return dlg->Handle(); }
    void Disconnect() override { dlg->Disconnect(); }
    bool IsRecording() const override { return dlg->IsRecording(); }
    void SetRecording(bool on) override { dlg->SetRecording(on); }
    bool IsTalking() const override { return dlg->IsTalking(); }
    void SetTalking(bool on) override { dlg->SetTalking(on); }
    bool IsListening() const override { return dlg->IsListening(); }
    void SetListening(bool on) override { dlg->SetListening(on); }
};

}   // namespace

ILiveControl* CurrentLiveControl() {
    ICameraSession& session = CurrentCamera();
    if (auto* control = dynamic_cast<ILiveControl*>(&session)) return control;
    if (auto* dlg = dynamic_cast<CVideoDlg*>(&session)) {
        static CVideoDlgControl adapter;
        adapter.dlg = dlg;
        return &adapter;
    }
    return nullptr;
}
