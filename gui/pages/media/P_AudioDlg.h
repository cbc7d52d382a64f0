#pragma once
// The audio page: audio on or off for each stream, the one encoding format
// both streams take, the input type and the input and output volumes.
#include "core/cgi/Records.h"
#include "gui/pages/CameraPage.h"

class CChoiceGroup;
class QComboBox;
class QLineEdit;

class CP_AudioDlg : public CCameraPage {
    Q_OBJECT
public:
    static constexpr const char* kSection = "P_AUDIO_DLG";
    // Shown when the camera does not answer the volume reads.
    static constexpr int kDefaultInVolume = 80;
    static constexpr int kDefaultOutVolume = 90;

    explicit CP_AudioDlg(QWidget* parent = nullptr);

    QComboBox* FormatList() const { return m_format; }
    // Stream 0 or 1: On is choice 0, Off choice 1.
    CChoiceGroup* StreamSwitch(int stream) const { return m_switch[stream]; }
    QComboBox* InputTypeList() const { return m_inputType; }
    QLineEdit* InVolumeEdit() const { return m_inVolume; }
    QLineEdit* OutVolumeEdit() const { return m_outVolume; }

protected:
    void Load() override;
    void ClearControls() override;
    void Apply() override;

private:
    // What one read found: the two streams whether or not they were read,
    // the volumes only when their read succeeded.
    void Show(const AudioAttr& first, const AudioAttr& second, const AudioAttr* in, const AudioAttr* out);

    QComboBox* m_format = nullptr;
    CChoiceGroup* m_switch[2] = {nullptr, nullptr};
    QComboBox* m_inputType = nullptr;
    QLineEdit* m_inVolume = nullptr;
    QLineEdit* m_outVolume = nullptr;
};
