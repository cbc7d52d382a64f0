#pragma once
// The OSD page: whether and where the camera shows its time stamp and its
// name in the picture, and the name itself.
#include "core/cgi/Records.h"
#include "gui/pages/CameraPage.h"

class CChoiceGroup;
class QLineEdit;

class CP_OSDDlg : public CCameraPage {
    Q_OBJECT
public:
    static constexpr const char* kSection = "P_OSD_DLG";
    static constexpr const char* kDefaultName = "IP Camera";

    explicit CP_OSDDlg(QWidget* parent = nullptr);

    // Region 0 the time stamp, 1 the camera name. Show: On is choice 0, Off
    // choice 1. Place: 0 top left, 1 top right, 2 bottom left, 3 bottom right.
    CChoiceGroup* ShowChoice(int region) const { return m_show[region]; }
    CChoiceGroup* PlaceChoice(int region) const { return m_place[region]; }
    QLineEdit* NameEdit() const { return m_name; }

protected:
    void Load() override;
    void ClearControls() override;
    void Apply() override;

private:
    void ShowRegion(const OsdRegion& r);
    void ClearRegion(int region);

    CChoiceGroup* m_show[2] = {nullptr, nullptr};
    CChoiceGroup* m_place[2] = {nullptr, nullptr};
    QLineEdit* m_name = nullptr;
};
