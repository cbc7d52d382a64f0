#pragma once
// The shape of the cloud and Tmall pages: one On/Off pair, "Apply" writes
// it, "Cancel" reads the camera again.
#include "gui/pages/CameraPage.h"
#include "gui/pages/PageControls.h"

class QPushButton;

class CSwitchPage : public CCameraPage {
    Q_OBJECT
public:
    CRadioPair* Switch() const { return m_switch; }
    QPushButton* ApplyButton() const { return m_apply; }
    QPushButton* CancelButton() const { return m_cancel; }

protected:
    enum class Frame { Group, Label };
    // title: the group box holding the pair, or the label before it. onId,
    // offId: the radios' control numbers.
    CSwitchPage(QWidget* parent, const char* section, const char* title, Frame frame, int onId, int offId);

    void EnableButtons(bool on);

private:
    CRadioPair* m_switch = nullptr;
    QPushButton* m_apply = nullptr;
    QPushButton* m_cancel = nullptr;
};
