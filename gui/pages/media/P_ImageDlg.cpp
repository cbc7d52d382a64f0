#include "gui/pages/media/P_ImageDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "core/cgi/rules/ImageRules.h"
#include "core/services/Settings.h"
#include "gui/kit/CameraSession.h"
#include "gui/kit/Translate.h"
#include "gui/live/PlayWnd.h"
#include "gui/pages/PageContext.h"

namespace {

constexpr const char* kConnectFailed = "连接设备失败!";
constexpr const char* kSucceeded = "Parameter setting succeeded!";
// The capability fields of the four slider ranges follow each other.
constexpr int kCapFirstRange = 2;

struct SliderDef {
    const char* label;
    const char* range;   // until the camera gives its own
    int32_t ImageAttr::*field;
    CCameraPage::Command<ImageAttr> set;
    const char* failed;
};
const SliderDef kSliderDefs[CP_ImageDlg::kSliders] = {
    {"Brightness:", "(1-100)", &ImageAttr::brightness, &CCgiClient::SetBrightness, "Failed to set brightness!"},
    {"Saturation:", "(1-255)", &ImageAttr::saturation, &CCgiClient::SetSaturation, "Saturation setting failed!"},
    {"Contrast:", "(1-100)", &ImageAttr::contrast, &CCgiClient::SetContrast, "Failed to set contrast!"},
    {"Exposure:", "(0-255)", &ImageAttr::targety, &CCgiClient::SetExposure, "Failed to set exposure!"},
};

QComboBox* List(QWidget* parent, std::initializer_list<const char*> entries) {
    auto* list = new QComboBox(parent);
    for (const char* e : entries) list->addItem(LangTextEx(CP_ImageDlg::kSection, QString::fromLatin1(e)));
    return list;
}

// index when it names an entry, else no selection.
void Select(QComboBox* list, int index) { list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1); }

bool HasNonBlank(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c != ' ' && c != '\t'; });
}

}   // namespace

struct CP_ImageDlg::PreviewLink {
    std::mutex lock;
    CP_ImageDlg* page = nullptr;   // null once the page is gone
};

// A login nobody took over is logged out when the last reference goes (the
// page went away or stopped the preview while the login ran).
struct CP_ImageDlg::PendingLogin {
    KY_HANDLE handle = 0;
    ~PendingLogin() {
        if (handle > 0) KY_SDK_Logout(handle);
    }
};

CP_ImageDlg::CP_ImageDlg(QWidget* parent)
    : CCameraPage(parent, kSection), m_previewLink(std::make_shared<PreviewLink>()) {
    m_previewLink->page = this;
    setWindowTitle(QStringLiteral("Image settings"));

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Box);
    frame->setMinimumSize(480, 270);
    frame->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_preview = new CPlayWnd(0, frame);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(1, 1, 1, 1);
    frameLayout->addWidget(m_preview);

    m_mode = new QLabel(QStringLiteral("Mode:ColorMode"), this);
    auto* sliders = new QGridLayout;
    sliders->addWidget(m_mode, 0, 0, 1, 4);
    for (int i = 0; i < kSliders; ++i) {
        SliderRow& row = m_sliders[i];
        row.slider = new QSlider(Qt::Horizontal, this);
        row.slider->setRange(0, 255);
        row.slider->setMinimumWidth(200);
        row.value = new QLineEdit(QStringLiteral("0"), this);
        row.value->setReadOnly(true);
        row.value->setMaximumWidth(56);
        row.range = new QLabel(QString::fromLatin1(kSliderDefs[i].range), this);
        row.range->setMinimumWidth(70);
        sliders->addWidget(new QLabel(QString::fromLatin1(kSliderDefs[i].label), this), i + 1, 0);
        sliders->addWidget(row.slider, i + 1, 1);
        sliders->addWidget(row.value, i + 1, 2);
        sliders->addWidget(row.range, i + 1, 3);
        connect(row.slider, &QSlider::sliderReleased, this, [this, i] { OnSliderReleased(i); });
        connect(row.slider, &QSlider::valueChanged, this, [this, i](int value) {
            m_sliders[i].value->setText(QString::number(value));
            // Keys and clicks on the groove move the slider without a drag.
            if (!m_showing && !m_sliders[i].slider->isSliderDown()) OnSliderReleased(i);
        });
    }
    sliders->setColumnStretch(1, 1);

    m_flip = new QCheckBox(QStringLiteral("Flip"), this);
    m_mirror = new QCheckBox(QStringLiteral("Mirror"), this);
    m_imageMode = List(this, {"Frame rate", "Illuminance"});
    m_nightVision = List(this, {"Normal", "Full Color", "Intelligent"});
    m_irLedLabel = new QLabel(QStringLiteral("IR LED Control:"), this);
    m_irLed = List(this, {"Off", "On", "Auto"});
    m_irCut = new QLineEdit(this);
    m_irCut->setObjectName(QStringLiteral("irCut"));
    m_irCut->setMaximumWidth(80);
    auto* irCutHint = new QLabel(QStringLiteral("(1-1024, the greater the value, the later the switching time)"), this);
    irCutHint->setWordWrap(true);

    auto* options = new QGridLayout;
    int row = 0;
    auto* boxes = new QHBoxLayout;
    boxes->addWidget(m_flip);
    boxes->addWidget(m_mirror);
    boxes->addStretch(1);
    options->addLayout(boxes, row++, 0, 1, 3);
    options->addWidget(new QLabel(QStringLiteral("Image mode:"), this), row, 0);
    options->addWidget(m_imageMode, row++, 1);
    options->addWidget(new QLabel(QStringLiteral("Night Vision Mode:"), this), row, 0);
    options->addWidget(m_nightVision, row++, 1);
    options->addWidget(m_irLedLabel, row, 0);
    options->addWidget(m_irLed, row++, 1);
    options->addWidget(new QLabel(QStringLiteral("IRCut:"), this), row, 0);
    options->addWidget(m_irCut, row++, 1);
    options->addWidget(irCutHint, row++, 0, 1, 3);
    options->setColumnStretch(2, 1);
    options->setRowStretch(row, 1);

    auto* settings = new QHBoxLayout;
    settings->addLayout(sliders, 3);
    settings->addSpacing(24);
    settings->addLayout(options, 2);

    auto* apply = new QPushButton(QStringLiteral("Apply"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    auto* defaults = new QPushButton(QStringLiteral("Default"), this);
    defaults->setObjectName(QStringLiteral("default"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(apply);
    buttons->addWidget(cancel);
    buttons->addWidget(defaults);

    auto* column = new QVBoxLayout(this);
    column->addWidget(frame, 1);
    column->addLayout(settings);
    column->addLayout(buttons);

    Translate();
    AddApplyButton(apply);
    LockWhileBusy(defaults);
    connect(defaults, &QPushButton::clicked, this, &CP_ImageDlg::OnDefault);
    // Cancel reads the camera again.
    connect(cancel, &QPushButton::clicked, this, &CP_ImageDlg::RefreshFromDevice);
    connect(m_nightVision, &QComboBox::activated, this, [this](int index) { ShowIrLed(index == 0); });
    // Slider values released during an exchange go out once it has ended.
    connect(this, &CCameraPage::exchangeDone, this, &CP_ImageDlg::SendSliders);
}

CP_ImageDlg::~CP_ImageDlg() {
    StopPreview();
    std::lock_guard lock(m_previewLink->lock);
    m_previewLink->page = nullptr;
}

// ---- reading and showing ---------------------------------------------------------

void CP_ImageDlg::Load() { Read(false); }

void CP_ImageDlg::Read(bool announce) {
    const CapabilityRecord* cap = ky::pages::CurrentCapability();
    if (!LoggedIn() || !cap) {
        ClearControls();
        if (announce) Message(kSucceeded);
        return;
    }
    if (HasNonBlank(cap->Text(ky::pages::kCapProfiles))) ApplyRanges(*cap);
    Start([this, announce](const CameraTarget& camera) -> Done {
        ImageAttr a{};
        const bool ok = Call(camera, &CCgiClient::GetImageAttr, &a) == 0;
        return [=, this] {
            if (ok) {
                m_stored = a;
                ShowRecord(a);
                StartPreview();
            } else {
                m_stored = ImageAttr{};
                ReadFailed(camera);
            }
            if (announce) Message(kSucceeded);
        };
    });
}

void CP_ImageDlg::ApplyRanges(const CapabilityRecord& cap) {
    m_showing = true;
    for (int i = 0; i < kSliders; ++i) {
        int lo = 0, hi = 255;
        ky::cgi::ParseSliderRange(cap.Text(kCapFirstRange + i), lo, hi);
        m_sliders[i].range->setText(QStringLiteral("%1-%2").arg(lo).arg(hi));
        m_sliders[i].slider->setRange(lo, hi);
    }
    m_showing = false;
}

void CP_ImageDlg::ShowRecord(const ImageAttr& a) {
    m_mode->setText(LangTextEx(
        kSection, a.display_mode == 0 ? QStringLiteral("Mode:BlackWhiteMode") : QStringLiteral("Mode:ColorMode")));
    // A value released but not yet sent stays where the user put it.
    for (int i = 0; i < kSliders; ++i) SetSlider(i, m_pending[i].value_or(a.*kSliderDefs[i].field));
    m_flip->setChecked(a.flip == 1);
    m_mirror->setChecked(a.mirror == 1);
    Select(m_nightVision, a.lamp_mode);
    Select(m_imageMode, a.imgmode);
    Select(m_irLed, a.infraredstat);
    ShowIrLed(a.lamp_mode == 0);
    m_irCut->setText(QString::number(a.saradc_switch_value));
}

void CP_ImageDlg::SetSlider(int i, int value) {
    m_showing = true;
    m_sliders[i].slider->setValue(value);
    m_showing = false;
    m_sliders[i].value->setText(QString::number(value));
}

void CP_ImageDlg::ShowIrLed(bool shown) {
    m_irLedLabel->setVisible(shown);
    m_irLed->setVisible(shown);
}

void CP_ImageDlg::ClearControls() {
    for (QComboBox* list : {m_imageMode, m_nightVision, m_irLed}) list->setCurrentIndex(-1);
    m_flip->setChecked(false);
    m_mirror->setChecked(false);
    m_irCut->setText(QStringLiteral("0"));
    for (SliderRow& row : m_sliders) row.value->setText(QStringLiteral("0"));
}

// ---- writing --------------------------------------------------------------------

const char* CP_ImageDlg::ReadControls(ImageAttr& rec) const {
    for (int i = 0; i < kSliders; ++i) rec.*kSliderDefs[i].field = m_sliders[i].slider->value();
    rec.lamp_mode = m_nightVision->currentIndex();
    rec.imgmode = m_imageMode->currentIndex();
    rec.infraredstat = m_irLed->currentIndex();
    rec.flip = m_flip->isChecked() ? 1 : 0;
    rec.mirror = m_mirror->isChecked() ? 1 : 0;
    rec.saradc_switch_value = std::atoi(m_irCut->text().toUtf8().constData());
    return ky::cgi::CheckImageAttr(rec);
}

void CP_ImageDlg::Apply() {
    ImageAttr rec{};
    if (const char* refused = ReadControls(rec)) return Refuse(refused);
    rec.display_mode = m_stored.display_mode;
    Start([this, rec](const CameraTarget& camera) mutable -> Done {
        const bool ok = Call(camera, &CCgiClient::SetImageAttr, &rec) == 0;
        return [this, ok, camera] {
            if (ok)
                Read(true);
            else
                ShowFailure(Failure::Write, camera);
        };
    });
}

void CP_ImageDlg::OnDefault() {
    if (Busy()) return;
    if (!LoggedIn()) return ClearControls();
    ImageAttr rec{};
    if (const char* refused = ReadControls(rec)) return Refuse(refused);
    if (!ky::pages::CurrentCapability()) return ClearControls();
    Start([this](const CameraTarget& camera) -> Done {
        // The camera answers with its defaults; the page reads them anew either way.
        Call(camera, &CCgiClient::RestoreImageDefaults, static_cast<NoRecord*>(nullptr), kDefaultsTimeoutMs);
        return [this] { RefreshFromDevice(); };
    });
}

void CP_ImageDlg::OnSliderReleased(int i) {
    const int value = m_sliders[i].slider->value();
    m_sliders[i].value->setText(QString::number(value));
    if (!LoggedIn()) return;
    m_pending[i] = value;
    SendSliders();
}

void CP_ImageDlg::SendSliders() {
    if (Busy()) return;
    if (!LoggedIn()) {
        m_pending = {};
        return;
    }
    const auto batch = std::exchange(m_pending, {});
    if (std::none_of(batch.begin(), batch.end(), [](const std::optional<int>& v) { return v.has_value(); })) return;
    Start([this, batch](const CameraTarget& camera) -> Done {
        std::array<bool, kSliders> failed{};
        for (int i = 0; i < kSliders; ++i) {
            if (!batch[i]) continue;
            // Values outside 0..255 are refused by the command without sending.
            ImageAttr rec{};
            rec.*kSliderDefs[i].field = *batch[i];
            failed[i] = Call(camera, kSliderDefs[i].set, &rec) != 0;
        }
        return [this, failed] {
            for (int i = 0; i < kSliders; ++i)
                if (failed[i]) Message(kSliderDefs[i].failed);
        };
    });
}

// ---- preview --------------------------------------------------------------------

void CP_ImageDlg::StartPreview() {
    if (PreviewRunning()) return;
    const CameraTarget camera = Target();
    const unsigned generation = ++m_previewGeneration;
    m_previewOpening = true;
    try {
        // The login waits for the camera (up to 5 s): never on this thread.
        std::thread([link = m_previewLink, camera, generation] {
            auto login = std::make_shared<PendingLogin>();
            int error = 0;
            login->handle = KY_SDK_LoginExt(camera.ip.c_str(), camera.user.c_str(), camera.password.c_str(),
                                            camera.port, kPreviewLoginTimeoutMs, &error);
            std::lock_guard lock(link->lock);
            if (CP_ImageDlg* page = link->page)
                QMetaObject::invokeMethod(
                    page, [page, generation, login] { page->OnPreviewLogin(generation, login); }, Qt::QueuedConnection);
        }).detach();
    } catch (const std::system_error&) {
        m_previewOpening = false;
        Message(kConnectFailed);
    }
}

void CP_ImageDlg::OnPreviewLogin(unsigned generation, const std::shared_ptr<PendingLogin>& login) {
    if (generation != m_previewGeneration) return;   // stopped meanwhile: the login goes
    m_previewOpening = false;
    const KY_HANDLE handle = std::exchange(login->handle, 0);
    if (handle <= 0) return Message(kConnectFailed);
    KY_SDK_SetDisplayCallback(handle, 1);
    KY_SDK_SetDisplayMode(handle, GetDisplayMode() == 1 ? 1 : 0);
    const int stream = std::clamp<int32_t>(CurrentCamera().GetDevice().stream, 0, 1);
    const KY_PLAY_INFO play{stream + 1, stream, 0, 7};
    if (KY_SDK_RealPlayExt(handle, m_preview, &play) != 0) {
        KY_SDK_Logout(handle);
        return Message(kConnectFailed);
    }
    m_previewHandle = handle;
}

void CP_ImageDlg::StopPreview() {
    ++m_previewGeneration;
    m_previewOpening = false;
    const KY_HANDLE handle = std::exchange(m_previewHandle, 0);
    if (handle <= 0) return;
    KY_SDK_StopRealPlay(handle);
    KY_SDK_Logout(handle);
    m_preview->Clear();
}

void CP_ImageDlg::hideEvent(QHideEvent* event) {
    // Leaving the page ends the preview; a minimised window does not.
    if (!event->spontaneous()) StopPreview();
    CCameraPage::hideEvent(event);
}
