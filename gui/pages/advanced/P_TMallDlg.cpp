#include "gui/pages/advanced/P_TMallDlg.h"

#include "core/cgi/Records.h"

CP_TMallDlg::CP_TMallDlg(QWidget* parent) : CSwitchPage(parent, "CONFIG", "Tmall ELF:", Frame::Label, 1227, 1228) {}

void CP_TMallDlg::Load() {
    Start([this](const CameraTarget& camera) -> Done {
        TmallAttr rec{};
        const bool ok = Call(camera, &CCgiClient::GetTmallAttr, &rec) == 0;
        return [this, ok, rec, camera] {
            if (!ok) return ReadFailed(camera);
            // Not supported: the switch stays as it was and cannot be sent.
            if (rec.tmall_flag == 0) return EnableButtons(false);
            Switch()->Check(rec.tmall_enable == 1 ? 0 : 1);
            EnableButtons(true);
        };
    });
}

void CP_TMallDlg::ClearControls() { Switch()->Clear(); }

void CP_TMallDlg::Apply() {
    TmallAttr rec{};
    rec.tmall_enable = Switch()->Flag();
    Write([rec](const CameraTarget& camera) mutable {
        return Call(camera, &CCgiClient::SetTmallAttr, &rec) == 0 ? Outcome::Succeeded : Outcome::Cleared;
    });
}
