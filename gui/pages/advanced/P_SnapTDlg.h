#pragma once
// Timed snapshots to the camera's SD card: the interval, the switch and the
// week of half hours in which the camera takes them.
#include "core/cgi/Records.h"
#include "gui/pages/CameraPage.h"

class CWeekCtrl;
class QCheckBox;
class QLineEdit;

class CP_SnapTDlg : public CRecordPage<SnapTimerAttr> {
    Q_OBJECT
public:
    explicit CP_SnapTDlg(QWidget* parent = nullptr);

    QLineEdit* IntervalEdit() const { return m_interval; }
    QCheckBox* SaveBox() const { return m_save; }
    CWeekCtrl* Week() const { return m_week; }

protected:
    void ShowRecord(const SnapTimerAttr& rec) override;
    const char* ReadControls(SnapTimerAttr& rec) override;
    void ClearControls() override;
    void Apply() override;

private:
    QLineEdit* m_interval = nullptr;
    QCheckBox* m_save = nullptr;
    CWeekCtrl* m_week = nullptr;
};
