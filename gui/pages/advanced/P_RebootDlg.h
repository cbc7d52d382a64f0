#pragma once
// The restart timer: the camera restarts itself on one day of the week (or
// every day) at a full hour.
#include "core/cgi/Records.h"
#include "gui/pages/CameraPage.h"

class CChoiceGroup;
class QComboBox;
class QRadioButton;

class CP_RebootDlg : public CRecordPage<TimerRebootAttr> {
    Q_OBJECT
public:
    explicit CP_RebootDlg(QWidget* parent = nullptr);

    QRadioButton* OnButton() const { return m_on; }
    QRadioButton* OffButton() const { return m_off; }
    // Sunday .. Saturday, then "Every day" (the camera's day number is the position).
    QComboBox* DayList() const { return m_day; }
    QComboBox* HourList() const { return m_hour; }

protected:
    void ShowRecord(const TimerRebootAttr& rec) override;
    const char* ReadControls(TimerRebootAttr& rec) override;
    void ClearControls() override;
    void Apply() override;

private:
    QRadioButton* m_on = nullptr;
    QRadioButton* m_off = nullptr;
    CChoiceGroup* m_enable = nullptr;   // On 0, Off 1
    QComboBox* m_day = nullptr;
    QComboBox* m_hour = nullptr;
};
