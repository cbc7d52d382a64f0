#include "gui/pages/advanced/P_CloudDlg.h"

#include "core/cgi/Records.h"

CP_CloudDlg::CP_CloudDlg(QWidget* parent)
    : CSwitchPage(parent, "P_CLOUD_DLG", "Cloud storage settings", Frame::Group, 1229, 1230) {
    ClearControls();
}

void CP_CloudDlg::Load() {
    Start([this](const CameraTarget& camera) -> Done {
        CloudAttr rec{};
        const bool ok = Call(camera, &CCgiClient::GetCloudEnable, &rec) == 0;
        return [this, ok, rec, camera] {
            if (!ok) return ReadFailed(camera);
            Switch()->Check(rec.cloud_enable == 1 ? 0 : 1);
            EnableButtons(true);
        };
    });
}

void CP_CloudDlg::ClearControls() {
    Switch()->Clear();
    EnableButtons(false);
}

void CP_CloudDlg::Apply() {
    CloudAttr rec{};
    rec.cloud_enable = Switch()->Flag();
    Write([rec](const CameraTarget& camera) mutable {
        return Call(camera, &CCgiClient::SetCloudEnable, &rec) == 0 ? Outcome::Succeeded : Outcome::Cleared;
    });
}
