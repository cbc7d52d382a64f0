#pragma once
// The PTZ page: the camera's own pan/tilt behaviour (cruise laps, centring
// at self-check, PTZ movement on alarm, indicator light) and person tracking,
// whose rows show only on cameras that report tracking.
#include "core/cgi/Records.h"
#include "gui/pages/CameraPage.h"

class CChoiceGroup;
class QLineEdit;

class CP_PtzDlg : public CRecordPage<MotorAttr> {
    Q_OBJECT
public:
    static constexpr const char* kSection = "P_PTZ_DLG";

    explicit CP_PtzDlg(QWidget* parent = nullptr);

    QLineEdit* LapsEdit() const { return m_laps; }
    // On/Off pairs: On is choice 0, Off choice 1. The light: 0 "Been
    // lighted", 1 "Been extinguished".
    CChoiceGroup* Centre() const { return m_centre; }
    CChoiceGroup* AlarmMove() const { return m_alarm; }
    CChoiceGroup* Tracking() const { return m_tracking; }
    CChoiceGroup* ZoomTracking() const { return m_zoom; }
    CChoiceGroup* Light() const { return m_light; }
    QWidget* TrackingRow() const { return m_trackingRow; }
    QWidget* ZoomRow() const { return m_zoomRow; }

protected:
    void ShowRecord(const MotorAttr& m) override;
    const char* ReadControls(MotorAttr& m) override;
    void ClearControls() override;

private:
    QLineEdit* m_laps = nullptr;
    CChoiceGroup* m_centre = nullptr;
    CChoiceGroup* m_alarm = nullptr;
    CChoiceGroup* m_tracking = nullptr;
    CChoiceGroup* m_zoom = nullptr;
    CChoiceGroup* m_light = nullptr;
    QWidget* m_trackingRow = nullptr;
    QWidget* m_zoomRow = nullptr;
    // What the camera said of tracking at the last read; the write sends it back.
    int32_t m_trackingFlag = 255;
};
