#pragma once
// The cloud page: the camera's cloud-storage switch. Apply and Cancel are
// off until a read has succeeded.
#include "gui/pages/advanced/SwitchPage.h"

class CP_CloudDlg : public CSwitchPage {
    Q_OBJECT
public:
    explicit CP_CloudDlg(QWidget* parent = nullptr);

protected:
    void Load() override;
    void ClearControls() override;
    void Apply() override;
};
