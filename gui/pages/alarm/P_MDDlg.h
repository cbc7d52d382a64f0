#pragma once
// The motion-detection page: four detection areas drawn over the camera's
// live picture, each switched on or off and given a sensitivity. The areas
// are read and written through the SDK's configuration calls.
#include <array>

#include "core/sdk/KySdk.h"
#include "gui/pages/RegionEditorPage.h"

class QCheckBox;
class QLabel;
class QSlider;

class CP_MDDlg : public CRegionEditorPage {
    Q_OBJECT
public:
    static constexpr int kAreas = 4;
    using Areas = std::array<MdArea, kAreas>;

    explicit CP_MDDlg(QWidget* parent = nullptr);

    QCheckBox* Window(int i) const { return m_window[i]; }
    QSlider* Sensitivity(int i) const { return m_slider[i]; }
    QLabel* SensitivityText(int i) const { return m_number[i]; }
    // As last read or written, and with the rectangles the user edited since.
    const Areas& StoredAreas() const { return m_areas; }
    const Areas& EditedAreas() const { return m_edited; }

protected:
    void Load() override;
    void ClearControls() override;
    void Apply() override;
    void OnRegionEdited(const QString& name, const QRect& rect) override;
    void OnPictureReady() override;
    void OnMotionBoxes(const std::vector<int32_t>& words) override;

private:
    void ShowAreas(LoginPtr login, const Areas& areas);
    void ShowRecord();
    // The areas on the edit layer; visible as enabled in areas, or as the
    // window boxes say.
    bool DrawAreas(const Areas& areas, bool visibleFromBoxes);
    void OnWindowClicked(int i);
    int PenWidth() const;

    Areas m_areas{};
    Areas m_edited{};
    QCheckBox* m_window[kAreas];
    QSlider* m_slider[kAreas];
    QLabel* m_number[kAreas];
};
