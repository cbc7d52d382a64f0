#pragma once
// The video encoding page: video standard, codec profile and, per stream,
// resolution, bit rate, frame rate, key-frame interval, rate control and
// image quality. The pair of resolutions is not sent as such: it picks one
// of the camera's video modes (the capability record lists them).
#include <QString>
#include <string>
#include <vector>

#include "core/cgi/Records.h"
#include "gui/pages/CameraPage.h"

class QComboBox;
class QGroupBox;
class QLineEdit;
class QRadioButton;
struct CapabilityRecord;

class CPVideoDlg : public CCameraPage {
    Q_OBJECT
public:
    explicit CPVideoDlg(QWidget* parent = nullptr);

    // One stream's controls; index 0 first stream, 1 second stream.
    struct Stream {
        QGroupBox* box = nullptr;
        QComboBox* resolution = nullptr;
        QLineEdit* bitRate = nullptr;
        QComboBox* frameRate = nullptr;   // editable, entries 1..30
        QLineEdit* keyFrame = nullptr;
        QRadioButton* cbr = nullptr;
        QRadioButton* vbr = nullptr;
        QComboBox* quality = nullptr;   // editable, entries 1..6
    };
    const Stream& StreamControls(int stream) const { return m_streams[stream]; }
    QComboBox* FormatList() const { return m_format; }
    QComboBox* CodingList() const { return m_coding; }

public slots:
    // The user picked another first-stream resolution: the second-stream
    // list follows, and the second stream is read again.
    void OnFirstResolutionChosen();

protected:
    void Load() override;
    void ClearControls() override;
    void Apply() override;

private:
    bool Hz50() const;
    void BuildLists(const CapabilityRecord& cap, const QString& wantedProfile);
    // What one read of the page found (null: that read failed).
    void Show(const CapabilityRecord& cap, const VideoAttr* video, const VencAttr* first, const VencAttr* second);
    // Rebuilds the second-stream list for a first-stream size text; shows
    // `second` when given.
    void BuildSecondList(const std::string& modeList, const QString& firstSize, const VencAttr* second);
    void ShowStream(const VencAttr& v);
    // nullptr when rec may be sent, else the first failing message ("" when
    // no resolution is chosen).
    const char* ReadStream(int stream, VencAttr& rec) const;

    QComboBox* m_format = nullptr;
    QComboBox* m_coding = nullptr;
    Stream m_streams[2];
};
