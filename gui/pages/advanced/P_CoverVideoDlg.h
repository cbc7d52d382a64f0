#pragma once
// The video shade page: four privacy-mask regions drawn over the camera's
// live picture, each shown or not; read and written with the cover
// commands (always black).
#include "core/cgi/Records.h"
#include "gui/pages/RegionEditorPage.h"

class QCheckBox;

class CP_CoverVideoDlg : public CRegionEditorPage {
    Q_OBJECT
public:
    explicit CP_CoverVideoDlg(QWidget* parent = nullptr);

    QCheckBox* Window(int i) const { return m_window[i]; }
    // As last read, with the rectangles the user edited since.
    const CoverAttr& Regions() const { return m_regions; }

protected:
    void Load() override;
    void ClearControls() override;
    void Apply() override;
    void OnRegionEdited(const QString& name, const QRect& rect) override;
    void OnPictureReady() override;

private:
    void DrawCover();
    void OnWindowClicked(int i);

    CoverAttr m_regions{};
    QCheckBox* m_window[CoverAttr::kRegions];
};
