#pragma once
// Planned recording to the camera's SD card: on or off, the stream, the file
// duration and the week of half hours to record.
#include "core/cgi/Records.h"
#include "gui/pages/CameraPage.h"

class CWeekCtrl;
class CChoiceGroup;
class QComboBox;
class QLineEdit;
class QRadioButton;

class CP_RecordDlg : public CRecordPage<PlanRecAttr> {
    Q_OBJECT
public:
    explicit CP_RecordDlg(QWidget* parent = nullptr);

    QLineEdit* DurationEdit() const { return m_duration; }
    QRadioButton* OnButton() const { return m_on; }
    QRadioButton* OffButton() const { return m_off; }
    QComboBox* StreamList() const { return m_stream; }
    CWeekCtrl* Week() const { return m_week; }

protected:
    void ShowRecord(const PlanRecAttr& rec) override;
    const char* ReadControls(PlanRecAttr& rec) override;
    void ClearControls() override;
    void Apply() override;

private:
    QLineEdit* m_duration = nullptr;
    QRadioButton* m_on = nullptr;
    QRadioButton* m_off = nullptr;
    CChoiceGroup* m_enable = nullptr;   // On 0, Off 1
    QComboBox* m_stream = nullptr;
    CWeekCtrl* m_week = nullptr;
};
