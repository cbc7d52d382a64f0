#pragma once
// The Tmall page: the camera's link to the Tmall ELF smart-speaker service.
// A camera that reports no support leaves Apply and Cancel off.
#include "gui/pages/advanced/SwitchPage.h"

class CP_TMallDlg : public CSwitchPage {
    Q_OBJECT
public:
    explicit CP_TMallDlg(QWidget* parent = nullptr);

protected:
    void Load() override;
    void ClearControls() override;
    void Apply() override;
};
