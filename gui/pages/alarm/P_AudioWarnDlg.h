#pragma once
// The audio alarm page: the sound-level alarm on or off and its volume
// threshold (the volume row shows only while the alarm is on).
#include "core/cgi/Records.h"
#include "gui/pages/CameraPage.h"

class CRadioPair;
class QLineEdit;

class CP_AudioWarnDlg : public CRecordPage<AudioAlarmAttr> {
    Q_OBJECT
public:
    explicit CP_AudioWarnDlg(QWidget* parent = nullptr);

    CRadioPair* Alarm() const { return m_alarm; }
    QLineEdit* Volume() const { return m_volume; }
    // The volume row is shown.
    bool VolumeShown() const;

protected:
    void ShowRecord(const AudioAlarmAttr& rec) override;
    const char* ReadControls(AudioAlarmAttr& rec) override;
    void ClearControls() override;

private:
    void ShowVolume(bool on);

    CRadioPair* m_alarm;
    QWidget* m_volumeRow;
    QLineEdit* m_volume;
};
