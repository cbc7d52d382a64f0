#include "gui/pages/advanced/P_CoverVideoDlg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/cgi/rules/RegionsRules.h"
#include "gui/live/PlayWnd.h"
#include "gui/pages/PageContext.h"
#include "gui/pages/alarm/AlarmPageKit.h"

namespace {
constexpr int32_t kEditLayer = 1;
constexpr int32_t kDisplayLayer = 2;
constexpr int kPenWidth = 5;
}   // namespace

CP_CoverVideoDlg::CP_CoverVideoDlg(QWidget* parent) : CRegionEditorPage(parent, "P_COVER_VIDEO_DLG") {
    setWindowTitle(QStringLiteral("Video masking settings"));
    View()->setMinimumSize(320, 180);

    auto* side = new QVBoxLayout;
    for (int i = 0; i < CoverAttr::kRegions; ++i) {
        m_window[i] = new QCheckBox(QStringLiteral("Window%1").arg(i + 1), this);
        side->addWidget(m_window[i]);
        connect(m_window[i], &QCheckBox::clicked, this, [this, i] { OnWindowClicked(i); });
    }
    auto* apply = new QPushButton(QStringLiteral("Apply"), this);
    side->addLayout(ky::pages::ButtonRow({apply}));
    side->addStretch(1);

    auto* outer = new QHBoxLayout(this);
    outer->addWidget(View(), 1);
    outer->addLayout(side);

    Translate();
    AddApplyButton(apply);
}

void CP_CoverVideoDlg::Load() {
    StopPreview();
    if (!ky::pages::CurrentCapability()) return ClearControls();
    Start([this](const CameraTarget& camera) -> Done {
        CoverAttr cover{};
        const bool ok = Call(camera, &CCgiClient::GetCover, &cover) == 0;
        LoginPtr login = ok ? OpenLogin(camera) : nullptr;
        return [=, this] {
            if (!ok) return ReadFailed(camera);
            StartPreview(login);
            m_regions = cover;
            for (int i = 0; i < CoverAttr::kRegions; ++i) m_window[i]->setChecked(cover.show[i] == 1);
            if (PictureReady()) DrawCover();
        };
    });
}

void CP_CoverVideoDlg::ClearControls() {
    for (QCheckBox* box : m_window) box->setChecked(false);
}

void CP_CoverVideoDlg::OnPictureReady() { DrawCover(); }

// All four regions on the edit layer, each visible while shown: a shown
// region can be grabbed at once, and no stale copy stays on another layer.
void CP_CoverVideoDlg::DrawCover() {
    std::vector<Region> regions;
    for (int i = 0; i < CoverAttr::kRegions; ++i) {
        const CoverRegion r = m_regions.Region(i);
        regions.push_back({i + 1, QRect(r.x, r.y, r.w, r.h), r.show == 1});
    }
    DrawRegions({}, kDisplayLayer, kPenWidth, false);
    DrawRegions(regions, kEditLayer, kPenWidth, false);
}

void CP_CoverVideoDlg::OnWindowClicked(int i) {
    if (!PreviewOpen()) return;
    const bool on = m_window[i]->isChecked();
    m_regions.show[i] = on ? 1 : 0;
    if (PictureReady()) DrawCover();
    EnableEditing(i + 1, on);
}

void CP_CoverVideoDlg::OnRegionEdited(const QString& name, const QRect& rect) {
    for (int i = 0; i < CoverAttr::kRegions; ++i) {
        if (QString::number(i + 1).compare(name, Qt::CaseInsensitive) != 0) continue;
        m_regions.x[i] = rect.x();
        m_regions.y[i] = rect.y();
        m_regions.w[i] = rect.width();
        m_regions.h[i] = rect.height();
        return;
    }
}

void CP_CoverVideoDlg::Apply() {
    CoverAttr cover = m_regions;
    for (int i = 0; i < CoverAttr::kRegions; ++i) cover.show[i] = m_window[i]->isChecked() ? 1 : 0;
    if (const char* refused = ky::cgi::CheckCoverAttr(cover)) return Refuse(refused);
    Write([cover](const CameraTarget& camera) mutable {
        return Call(camera, &CCgiClient::SetCover, &cover) == 0 ? Outcome::Succeeded : Outcome::Cleared;
    });
}
