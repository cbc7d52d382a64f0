#pragma once
// The alarm linkage page: what the camera does when a motion alarm fires
// (pictures and video on the SD card, a preset, a sound).
#include "core/cgi/Records.h"
#include "gui/pages/CameraPage.h"

class QCheckBox;
class QComboBox;

class CP_LinkDlg : public CRecordPage<LinkAttr> {
    Q_OBJECT
public:
    explicit CP_LinkDlg(QWidget* parent = nullptr);

    QCheckBox* SavePicture() const { return m_snap; }
    QCheckBox* SaveVideo() const { return m_record; }
    QCheckBox* Preset() const { return m_preset; }
    QCheckBox* Sound() const { return m_sound; }
    QComboBox* PresetList() const { return m_presetList; }
    QComboBox* SoundType() const { return m_soundType; }
    QComboBox* Duration() const { return m_duration; }
    QComboBox* CaptureNumber() const { return m_captureNumber; }

protected:
    void ShowRecord(const LinkAttr& rec) override;
    const char* ReadControls(LinkAttr& rec) override;
    void ClearControls() override;

private:
    QCheckBox* m_snap;
    QCheckBox* m_record;
    QCheckBox* m_preset;
    QCheckBox* m_sound;
    QComboBox* m_presetList;
    QComboBox* m_soundType;
    QComboBox* m_duration;
    QComboBox* m_captureNumber;
};
