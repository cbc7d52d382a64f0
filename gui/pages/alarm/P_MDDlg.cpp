#include "gui/pages/alarm/P_MDDlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "gui/live/PlayWnd.h"
#include "gui/live/VideoDlg.h"
#include "gui/live/VideoEvents.h"
#include "gui/pages/alarm/AlarmPageKit.h"

namespace {

// Detection boxes of the camera, above the areas.
constexpr int32_t kAreaLayer = 1;
constexpr int32_t kBoxLayer = 2;

void ClearArea(MdArea& a, int number) {
    a = MdArea{};
    a.area = number;
}

}   // namespace

CP_MDDlg::CP_MDDlg(QWidget* parent) : CRegionEditorPage(parent, "P_MD_DLG") {
    setWindowTitle(QStringLiteral("Motion detection settings"));
    View()->setMinimumSize(320, 180);

    auto* areas = new QGridLayout;
    int row = 0;
    for (int i = 0; i < kAreas; ++i) {
        m_window[i] = new QCheckBox(QStringLiteral("Window%1").arg(i + 1), this);
        m_slider[i] = new QSlider(Qt::Horizontal, this);
        m_slider[i]->setRange(1, 100);
        m_slider[i]->setMinimumWidth(120);
        m_number[i] = new QLabel(QStringLiteral("0"), this);
        m_number[i]->setMinimumWidth(m_number[i]->fontMetrics().horizontalAdvance(QStringLiteral("1000")));
        areas->addWidget(m_window[i], row++, 0, 1, 3);
        areas->addWidget(new QLabel(QStringLiteral("Sensitivity:"), this), row, 0);
        areas->addWidget(m_slider[i], row, 1);
        areas->addWidget(m_number[i], row++, 2);
        connect(m_window[i], &QCheckBox::clicked, this, [this, i] { OnWindowClicked(i); });
        connect(m_slider[i], &QSlider::valueChanged, m_number[i],
                [label = m_number[i]](int v) { label->setText(QString::number(v)); });
    }
    auto* apply = new QPushButton(QStringLiteral("Apply"), this);
    auto* side = new QVBoxLayout;
    side->addLayout(areas);
    side->addLayout(ky::pages::ButtonRow({apply}));
    side->addStretch(1);

    auto* outer = new QHBoxLayout(this);
    outer->addWidget(View(), 1);
    outer->addLayout(side);

    Translate();
    ClearControls();
    AddApplyButton(apply);
}

void CP_MDDlg::Load() {
    StopPreview();
    Start([this](const CameraTarget& camera) -> Done {
        LoginPtr login = OpenLogin(camera);
        Areas areas{};
        for (int i = 0; i < kAreas; ++i) {
            areas[i].area = i + 1;
            // A failed read leaves the area empty.
            if (login) KY_SDK_GetConfig(login->handle, KY_CFG_MDAREA, &areas[i], sizeof areas[i]);
        }
        return [=, this] { ShowAreas(login, areas); };
    });
}

void CP_MDDlg::ShowAreas(LoginPtr login, const Areas& areas) {
    if (!StartPreview(std::move(login))) return ClearControls();
    m_areas = areas;
    m_edited = areas;
    ShowRecord();
    // Drawn once the first picture tells the pen width (OnPictureReady).
}

void CP_MDDlg::ShowRecord() {
    for (int i = 0; i < kAreas; ++i) {
        m_slider[i]->setValue(m_areas[i].sensitivity);
        m_number[i]->setText(QString::number(m_areas[i].sensitivity));
        m_window[i]->setChecked(m_areas[i].enable == 1);
    }
}

void CP_MDDlg::ClearControls() {
    for (int i = 0; i < kAreas; ++i) {
        ClearArea(m_areas[i], 0);
        ClearArea(m_edited[i], 0);
        m_slider[i]->setValue(m_slider[i]->minimum());
        m_number[i]->setText(QStringLiteral("0"));
        m_window[i]->setChecked(false);
    }
}

int CP_MDDlg::PenWidth() const {
    return DetectionPenWidth(ky::video::kMotionBoxes, PictureWidth(), PictureHeight(), 0);
}

void CP_MDDlg::OnPictureReady() {
    if (DrawAreas(m_areas, false)) m_edited = m_areas;
}

bool CP_MDDlg::DrawAreas(const Areas& areas, bool visibleFromBoxes) {
    std::vector<Region> regions;
    for (int i = 0; i < kAreas; ++i) {
        const MdArea& a = areas[i];
        if (a.area < 1 || a.area > kAreas) continue;
        const bool visible = visibleFromBoxes ? m_window[i]->isChecked() : a.enable == 1;
        regions.push_back({a.area, QRect(a.x, a.y, a.w, a.h), visible});
    }
    return DrawRegions(regions, kAreaLayer, PenWidth(), true);
}

void CP_MDDlg::OnWindowClicked(int i) {
    if (!PreviewOpen()) {
        m_window[i]->setChecked(false);
        return;
    }
    // A switched-on area shows (and can be grabbed) at once.
    if (PictureReady()) DrawAreas(m_edited, true);
    EnableEditing(i + 1, m_window[i]->isChecked());
}

void CP_MDDlg::OnRegionEdited(const QString& name, const QRect& rect) {
    for (MdArea& a : m_edited) {
        if (QString::number(a.area).compare(name, Qt::CaseInsensitive) != 0) continue;
        a.x = rect.x();
        a.y = rect.y();
        a.w = rect.width();
        a.h = rect.height();
        return;
    }
}

void CP_MDDlg::OnMotionBoxes(const std::vector<int32_t>& words) {
    const KY_HANDLE h = PreviewHandle();
    if (!PictureReady()) return;
    DetectionDraw draw;
    MakeDetectionDraw(ky::video::kMotionBoxes, words.data(), words.size(), PenWidth(), &draw);
    // An empty list takes the old boxes off the picture.
    KY_SDK_SetPenPixel(h, draw.penWidth);
    KY_SDK_InputDrawData(h, draw.items, draw.count, kBoxLayer);
}

void CP_MDDlg::Apply() {
    if (!PreviewOpen()) return Message("No connection!");
    Areas areas = m_areas;
    for (int i = 0; i < kAreas; ++i) {
        areas[i].enable = m_window[i]->isChecked() ? 1 : 0;
        areas[i].sensitivity = m_slider[i]->value();
        areas[i].x = m_edited[i].x;
        areas[i].y = m_edited[i].y;
        areas[i].w = m_edited[i].w;
        areas[i].h = m_edited[i].h;
    }
    Start([this, areas, login = PreviewLogin()](const CameraTarget&) -> Done {
        std::array<bool, kAreas> written{};
        for (int i = 0; i < kAreas; ++i)
            written[i] = KY_SDK_SetConfig(login->handle, KY_CFG_MDAREA, &areas[i], sizeof areas[i]) == 0;
        return [=, this] {
            bool all = true;
            for (int i = 0; i < kAreas; ++i) {
                if (written[i])
                    m_areas[i] = areas[i];
                else
                    all = false;
            }
            // A refused area keeps its stored value; the user is told.
            if (!all) Message("Parameter setting failed!");
        };
    });
}
