#pragma once
// The schedule page: the weekly arming schedule of motion detection on the
// week grid, half hour by half hour.
#include "core/cgi/Records.h"
#include "gui/pages/CameraPage.h"

class CWeekCtrl;
class QPushButton;

class CP_TimeWarnDlg : public CCameraPage {
    Q_OBJECT
public:
    explicit CP_TimeWarnDlg(QWidget* parent = nullptr);

    CWeekCtrl* Grid() const { return m_grid; }

public slots:
    // "Select List" / "Clear List": every half hour armed / not armed.
    void OnSelectAll();
    void OnClearAll();

protected:
    void Load() override;
    void ClearControls() override;
    void Apply() override;

private:
    void ShowWeek(const WeekSchedule& week);

    CWeekCtrl* m_grid;
};
