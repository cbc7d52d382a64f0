#pragma once
// The image page: a live preview of its own above the picture adjustments.
// Brightness, saturation, contrast and exposure are written as soon as a
// slider is released, so the preview shows the effect at once; flip, mirror,
// image mode, night vision, IR LED and IR-cut go with "Apply"; "Default" has
// the camera restore its own image settings.
//
// Slider writes queue behind the page's exchange and are coalesced: each
// slider keeps only its latest released value until it is sent, so a burst
// of releases never sends stale values after newer ones.
#include <array>
#include <memory>
#include <optional>

#include "core/cgi/Records.h"
#include "core/sdk/KySdk.h"
#include "gui/pages/CameraPage.h"

class CPlayWnd;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;
struct CapabilityRecord;

class CP_ImageDlg : public CCameraPage {
    Q_OBJECT
public:
    static constexpr const char* kSection = "P_IMAGE_DLG";
    static constexpr int kDefaultsTimeoutMs = 6000;
    static constexpr int kPreviewLoginTimeoutMs = 5000;
    // Brightness, saturation, contrast, exposure.
    static constexpr int kSliders = 4;

    explicit CP_ImageDlg(QWidget* parent = nullptr);
    ~CP_ImageDlg() override;

    void StopPreview() override;

    QSlider* Slider(int i) const { return m_sliders[i].slider; }
    QLineEdit* SliderValue(int i) const { return m_sliders[i].value; }
    QLabel* SliderRange(int i) const { return m_sliders[i].range; }
    QLabel* ModeLabel() const { return m_mode; }
    QCheckBox* FlipBox() const { return m_flip; }
    QCheckBox* MirrorBox() const { return m_mirror; }
    QComboBox* ImageModeList() const { return m_imageMode; }
    QComboBox* NightVisionList() const { return m_nightVision; }
    QComboBox* IrLedList() const { return m_irLed; }
    QLabel* IrLedLabel() const { return m_irLedLabel; }
    QLineEdit* IrCutEdit() const { return m_irCut; }
    CPlayWnd* Preview() const { return m_preview; }
    // A preview login or play is open or being opened.
    bool PreviewRunning() const { return m_previewHandle > 0 || m_previewOpening; }

public slots:
    void OnDefault();
    // A slider was released (or moved by key or click): its value is written.
    void OnSliderReleased(int i);

protected:
    void Load() override;
    void ClearControls() override;
    void Apply() override;
    void hideEvent(QHideEvent* event) override;

private:
    struct SliderRow {
        QSlider* slider = nullptr;
        QLineEdit* value = nullptr;
        QLabel* range = nullptr;
    };
    struct PreviewLink;
    struct PendingLogin;

    // Reads the page; `announce` shows "Parameter setting succeeded!" once
    // the values are back (after Apply).
    void Read(bool announce);
    void ApplyRanges(const CapabilityRecord& cap);
    void ShowRecord(const ImageAttr& a);
    void SetSlider(int i, int value);
    void ShowIrLed(bool shown);
    // nullptr when rec may be sent, else the IR-cut message.
    const char* ReadControls(ImageAttr& rec) const;
    // Sends the pending slider values, if any and the page is idle.
    void SendSliders();

    void StartPreview();
    void OnPreviewLogin(unsigned generation, const std::shared_ptr<PendingLogin>& login);

    SliderRow m_sliders[kSliders];
    QLabel* m_mode = nullptr;
    QCheckBox* m_flip = nullptr;
    QCheckBox* m_mirror = nullptr;
    QComboBox* m_imageMode = nullptr;
    QComboBox* m_nightVision = nullptr;
    QLabel* m_irLedLabel = nullptr;
    QComboBox* m_irLed = nullptr;
    QLineEdit* m_irCut = nullptr;
    CPlayWnd* m_preview = nullptr;

    ImageAttr m_stored{};     // the last successful read
    bool m_showing = false;   // the page itself moves the sliders
    std::array<std::optional<int>, kSliders> m_pending;

    // Preview: the login runs on a worker; a newer generation (stop) makes
    // the result of an older login go away unused.
    std::shared_ptr<PreviewLink> m_previewLink;
    KY_HANDLE m_previewHandle = 0;
    bool m_previewOpening = false;
    unsigned m_previewGeneration = 0;
};
