#include "gui/live/VideoDlg.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QCursor>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QThreadPool>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

#include "gui/kit/ShellHost.h"
#include "gui/kit/MessagePresenter.h"
#include "gui/kit/Translate.h"
#include "core/services/Settings.h"
#include "core/services/FieldText.h"
#include "core/services/Utf8.h"
#include "gui/live/LiveStatus.h"
#include "gui/live/PlayWnd.h"
#include "gui/live/ScreenPannel.h"
#include "gui/live/VideoEvents.h"
#include "gui/live/VideoWnd.h"

CVideoDlg* g_pVideoDlg = nullptr;

namespace {

using ky::FieldText;
using ky::search::SetText;

constexpr int kBoxWords = 5;       // number, x, y, width, height
constexpr int kMaxDrawItems = 4;   // the draw list's room
constexpr int32_t kDrawLayer = 2;

const DeviceRecord& NoDevice() {
    static const DeviceRecord none{};
    return none;
}

int32_t Clamp32(int64_t v) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// Decimal value of a text field ("" or garbage: 0).
int FieldInt(const char* field, size_t width) {
    const std::string text(FieldText(field, width));
    return static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
}

// Whether the camera detects persons (capability field 12).
int DetectsPersons(const char* capability) {
    return FieldInt(capability + 12 * KY_CAPABILITY_FIELD, KY_CAPABILITY_FIELD);
}

struct LoginTarget {
    std::string ip, user, password;
    uint16_t port = 0;
};

}   // namespace

// What a login worker found. A handle nobody took (the dialog is gone, or
// another connection was asked for meanwhile) is logged out again when the
// result goes.
struct LiveLoginResult {
    LiveLoginResult() = default;
    LiveLoginResult(const LiveLoginResult&) = delete;
    LiveLoginResult& operator=(const LiveLoginResult&) = delete;
    ~LiveLoginResult() {
        if (handle > 0) KY_SDK_Logout(handle);
    }

    KY_HANDLE handle = 0;
    int error = 0;   // KY_SDK_LoginExt's reason when no handle came
    bool capabilityRead = false;
    char capability[KY_CAPABILITY_SIZE] = {};
    bool deviceTypeRead = false;
    char deviceType[64] = {};
    bool humanoidRead = false;
    int32_t humanoid[3] = {};
};

namespace {

// Worker: the camera exchanges of a login. A camera that accepts the
// connection and never answers holds this for the login's time-out.
std::shared_ptr<LiveLoginResult> LogIn(const LoginTarget& target) {
    auto r = std::make_shared<LiveLoginResult>();
    const KY_HANDLE handle =
        KY_SDK_LoginExt(target.ip.c_str(), target.user.c_str(), target.password.c_str(), target.port, 5000, &r->error);
    if (handle <= 0) return r;
    r->handle = handle;
    r->capabilityRead = KY_SDK_GetConfig(handle, KY_CFG_CAPABILITY, r->capability, sizeof r->capability) == 0;
    r->deviceTypeRead = KY_SDK_GetConfig(handle, KY_CFG_DEVTYPE, r->deviceType, sizeof r->deviceType) == 0;
    if (r->capabilityRead && DetectsPersons(r->capability) == 1)
        r->humanoidRead = KY_SDK_GetConfig(handle, KY_CFG_HUMANOID, r->humanoid, sizeof r->humanoid) == 0;
    return r;
}

}   // namespace

// ---- detection boxes -------------------------------------------------------------

int DetectionPenWidth(int message, int picWidth, int picHeight, int streamIndex) {
    if (message == ky::video::kPersonBoxes) return streamIndex == 0 ? 5 : 2;
    return picWidth > 1920 && picHeight > 1080 ? 10 : 5;
}

void MakeDetectionDraw(int message, const int32_t* words, size_t wordCount, int penWidth, DetectionDraw* out) {
    const bool person = message == ky::video::kPersonBoxes;
    out->penWidth = penWidth;
    // Only the first four records are drawn; the rest of a longer list is
    // dropped (the draw list has room for four).
    out->count = words ? static_cast<int>(std::min<size_t>(wordCount / kBoxWords, kMaxDrawItems)) : 0;
    for (int i = 0; i < kMaxDrawItems; ++i) {
        out->items[i] = KY_DRAW_ITEM{};
        out->colors[i] = KY_COLOR{};
    }
    for (int i = 0; i < out->count; ++i) {
        const int32_t* box = words + i * kBoxWords;
        KY_DRAW_ITEM& item = out->items[i];
        const int64_t label = person ? int64_t{box[0]} + 100 : int64_t{box[0]};
        std::snprintf(item.label, sizeof item.label, "%lld", static_cast<long long>(label));
        // Camera values: the sums are kept inside int32 instead of wrapping.
        item.left = box[1];
        item.top = box[2];
        item.right = Clamp32(int64_t{box[1]} + box[3]);
        item.bottom = Clamp32(int64_t{box[2]} + box[4]);
        item.shape = 1;
        item.style = 3;
        item.kind = person ? 15 : 4;
        item.fontSize = 24;
        item.lineStyle = 2;
        out->colors[i] = KY_COLOR{person ? 0xFFFFu : 0xFFu, 0, 1, 0};
        item.color = &out->colors[i];
    }
}

// ---- the dialog --------------------------------------------------------------------

CVideoDlg::CVideoDlg(QWidget* parent, IShellHost* host)
    : QWidget(parent), m_host(host), m_panel(new CScreenPannel(this)) {
    g_pVideoDlg = this;
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_panel->SetNotifyTarget(this);
    m_panel->SetLayoutKind(1);   // the tool shows one camera
    connect(PlayWnd(), &CPlayWnd::streamStateChanged, this, &CVideoDlg::OnStreamState);
    m_statsTimer.setInterval(1000);
    connect(&m_statsTimer, &QTimer::timeout, this, &CVideoDlg::SampleStats);
}

CVideoDlg::~CVideoDlg() {
    // A login still running finds the dialog gone and logs out again.
    m_worker.Cut();
    // The panel must be a child again to be deleted with the dialog, and the
    // SDK must stop sending to the surfaces before they go.
    if (m_fullScreen) ToggleFullScreen();
    StopLive();
    if (g_pVideoDlg == this) g_pVideoDlg = nullptr;
}

CVideoWnd* CVideoDlg::VideoWnd() const { return m_panel->Window(0); }
CPlayWnd* CVideoDlg::PlayWnd() const { return VideoWnd()->PlayWnd(); }

const DeviceRecord& CVideoDlg::GetDevice() const { return FieldText(m_device.info.ip).empty() ? NoDevice() : m_device; }

void CVideoDlg::Connect(const DeviceRecord& device) {
    m_device = device;
    m_active = 1;
    StartLive();   // ends the current connection first
}

void CVideoDlg::Disconnect() {
    m_active = 0;
    ++m_login;   // a login still running is no longer wanted
    SetConnecting(false);
    StopLive();
}

void CVideoDlg::PausePlay() {
    if (m_connecting) {
        m_pauseAfterLogin = true;
        return;
    }
    if (!IsLoggedIn() || m_live.recording || m_live.talking || !m_live.playing) return;
    KY_SDK_StopRealPlay(m_live.handle);
    m_live.playing = 0;
    m_fps = m_kbps = 0;
    emit statusChanged();
}

void CVideoDlg::ResumePlay() {
    if (m_connecting) {
        m_pauseAfterLogin = false;
        return;
    }
    if (!IsLoggedIn() || m_live.playing) return;
    const DeviceRecord device = m_device;
    Connect(device);
}

void CVideoDlg::SetConnecting(bool on) {
    if (!on) m_pauseAfterLogin = false;
    if (m_connecting == on) return;
    m_connecting = on;
    emit connectingChanged(on);
    emit statusChanged();
}

void CVideoDlg::StartLive() {
    m_active = 1;
    StopLive();
    m_active = 1;
    const unsigned login = ++m_login;   // a login still running is no longer wanted
    m_pauseAfterLogin = false;
    const std::string ip(FieldText(m_device.info.ip));
    if (ip.empty()) {
        SetConnecting(false);
        return;
    }

    const int port = FieldInt(m_device.info.httpPort, sizeof m_device.info.httpPort);
    LoginTarget target{ip, std::string(FieldText(m_device.user)), std::string(FieldText(m_device.password)),
                       static_cast<uint16_t>(port > 0 && port <= 65535 ? port : 0)};
    SetConnecting(true);
    m_worker.Start(*QThreadPool::globalInstance(), [this, login, target]() -> CWorkerLink::Done {
        std::shared_ptr<LiveLoginResult> result = LogIn(target);
        return [this, login, result] { OnLoginDone(login, *result); };
    });
}

void CVideoDlg::OnLoginDone(unsigned login, LiveLoginResult& result) {
    if (login != m_login) return;   // superseded: the result logs its handle out
    const bool pause = m_pauseAfterLogin;
    SetConnecting(false);
    const KY_HANDLE handle = std::exchange(result.handle, 0);
    if (handle <= 0) {
        const int port = FieldInt(m_device.info.httpPort, sizeof m_device.info.httpPort);
        KyLoginFailed(
            this, result.error,
            QStringLiteral("%1:%2").arg(QString::fromStdString(std::string(FieldText(m_device.info.ip)))).arg(port));
        return;
    }

    // Capability record: fields 12 and 16 say whether the camera detects
    // persons and can draw boxes around them.
    if (result.capabilityRead) {
        m_live.capability[0] = DetectsPersons(result.capability);
        m_live.capability[1] = FieldInt(result.capability + 16 * KY_CAPABILITY_FIELD, KY_CAPABILITY_FIELD);
        m_live.capability[2] = 0;
        std::memcpy(m_live.capabilityRecord, result.capability, sizeof result.capability);
        m_live.capabilityValid = 1;
    } else {
        m_live.capabilityValid = 0;
        std::memset(m_live.capabilityRecord, 0, sizeof m_live.capabilityRecord);
    }
    if (result.deviceTypeRead) SetText(m_device.info.deviceType, ky::Utf8Truncate(FieldText(result.deviceType), 32));
    if (m_live.capability[0] == 1 && result.humanoidRead)
        std::memcpy(m_live.humanoid, result.humanoid, sizeof result.humanoid);

    const int streamIndex = std::clamp<int32_t>(m_device.stream, 0, 1);
    const int streamCode = streamIndex == 0 ? 1 : 2;
    const int port = FieldInt(m_device.info.httpPort, sizeof m_device.info.httpPort);
    m_live.handle = handle;
    m_handle.store(handle);
    m_live.port = static_cast<uint16_t>(port > 0 && port <= 65535 ? port : 0);
    m_live.streamIndex = streamIndex;
    m_live.streamCode = streamCode;
    m_live.playing = 0;
    SetText(m_live.ip, FieldText(m_device.info.ip));
    SetText(m_live.user, FieldText(m_device.user));
    SetText(m_live.password, FieldText(m_device.password));
    for (auto& region : m_live.regions) {
        const int32_t one = 1;
        std::memcpy(region, &one, sizeof one);
    }

    const int mode = GetDisplayMode() == 1 ? 1 : 0;
    KY_SDK_SetMessageCallBack(handle, handle, &CVideoDlg::OnSdkMessage, this);
    KY_SDK_SetDisplayCallback(handle, 1);
    KY_SDK_SetDisplayMode(handle, mode);

    ShowTitle(false);

    const KY_PLAY_INFO play{streamCode, streamIndex, 0, 7};
    if (KY_SDK_RealPlayExt(handle, PlayWnd(), &play) != 0) {
        m_live = LiveState{};
        m_handle.store(0);
        KY_SDK_Logout(handle);
        VideoWnd()->SetTitle(QString());
        KyMessage(this, "Preview device failed!");
        return;
    }

    m_live.playing = 1;
    m_statsBytes = -1;
    m_fps = m_kbps = 0;
    m_statsTimer.start();
    if (KY_SDK_SetMute(handle, 0, 0) == 0) m_live.listening = 0;
    KY_SDK_GetMute(handle, 0, &m_live.listening);
    emit listenStateChanged(m_live.listening != 0);

    ShowTitle(true);
    emit connectionChanged(true);
    emit statusChanged();
    NotifyDeviceLogin();   // settings tree ("485 set") and the pages
    // The settings layout was entered while the login ran.
    if (pause) PausePlay();
}

void CVideoDlg::StopLive() {
    const KY_HANDLE handle = m_live.handle;
    if (handle > 0) {
        if (m_live.recording) {
            KY_SDK_StopRecord(handle);
            m_live.recording = 0;
        }
        if (m_live.talking) {
            KY_SDK_StopVoiceCom(handle);
            m_live.talking = 0;
            emit talkStopped();
        }
        if (m_live.playing) {
            KY_SDK_StopRealPlay(handle);
            m_live.playing = 0;
        }
        KY_SDK_Logout(handle);   // no callback runs after this returns
        m_active = 0;
    }
    m_handle.store(0);
    m_streamLost = false;
    m_statsTimer.stop();
    m_fps = m_kbps = 0;
    VideoWnd()->SetTitle(QString());
    VideoWnd()->SetMarks(false, false, false);
    VideoWnd()->SetRecordSeconds(-1);
    PlayWnd()->Clear();
    m_live = LiveState{};
    if (handle > 0) {
        emit connectionChanged(false);
        emit statusChanged();
    }
}

void CVideoDlg::ShowTitle(bool withMarks) {
    QString title = QString::fromUtf8(m_live.ip);
    if (m_streamLost && !title.isEmpty()) title += QLatin1Char(' ') + LangText(QStringLiteral("(reconnecting...)"));
    VideoWnd()->SetTitle(title);
    if (withMarks)
        RefreshMarks();
    else
        VideoWnd()->SetMarks(false, false, false);
}

void CVideoDlg::RefreshMarks() {
    VideoWnd()->SetMarks(m_live.recording != 0, m_live.talking != 0, m_live.listening != 0);
    VideoWnd()->SetRecordSeconds(RecordSeconds());
}

void CVideoDlg::OnStreamState(bool connected) {
    if (!IsLoggedIn() || !IsPlaying()) return;
    m_streamLost = !connected;
    ShowTitle(true);
    emit statusChanged();
}

qint64 CVideoDlg::RecordSeconds() const {
    if (!IsRecording() || !m_recordClock.isValid()) return -1;
    return m_recordClock.elapsed() / 1000;
}

void CVideoDlg::SampleStats() {
    if (!IsLoggedIn()) return;
    int64_t bytes = 0, frames = 0;
    if (IsPlaying() && KY_SDK_GetStreamStats(m_live.handle, &bytes, &frames) == 0) {
        qint64 ms = 0;
        if (m_statsClock.isValid())
            ms = m_statsClock.restart();
        else
            m_statsClock.start();
        if (m_statsBytes >= 0 && ms > 0 && bytes >= m_statsBytes) {
            m_kbps = double(bytes - m_statsBytes) * 8 / ms;   // bits per millisecond = kbit/s
            m_fps = double(frames - m_statsFrames) * 1000 / ms;
        }
        m_statsBytes = bytes;
        m_statsFrames = frames;
    } else {
        m_statsBytes = -1;
        m_fps = m_kbps = 0;
    }
    VideoWnd()->SetRecordSeconds(RecordSeconds());
    emit statusChanged();
}

LiveStatus CVideoDlg::Status() const {
    LiveStatus s;
    const DeviceRecord& d = m_connecting || IsLoggedIn() ? m_device : NoDevice();
    const std::string ip(FieldText(d.info.ip));
    if (ip.empty()) return s;
    s.camera =
        QString::fromStdString(ip) + QLatin1Char(':') + QString::fromStdString(std::string(FieldText(d.info.httpPort)));
    s.stream = std::clamp<int32_t>(d.stream, 0, 1);
    using State = LiveStatus::State;
    if (m_connecting)
        s.state = State::Connecting;
    else if (!IsPlaying())
        s.state = State::Paused;
    else if (m_streamLost)
        s.state = State::Reconnecting;
    else {
        s.state = State::Live;
        const QImage& picture = PlayWnd()->Picture();
        s.width = picture.width();
        s.height = picture.height();
        s.fps = m_fps;
        s.kbps = m_kbps;
    }
    return s;
}

// ---- operations for the play panel -------------------------------------------------

int CVideoDlg::StartRecord(const std::string& path) {
    if (!IsLoggedIn()) return -1;
    const bool ok = KY_SDK_StartRecord(m_live.handle, path.c_str(), 4, 0, 0) == 0;
    m_live.recording = ok ? 1 : 0;
    if (ok) m_recordClock.start();
    RefreshMarks();
    return ok ? 0 : -1;
}

void CVideoDlg::StopRecord() {
    if (!IsLoggedIn() || !m_live.recording) return;
    KY_SDK_StopRecord(m_live.handle);
    m_live.recording = 0;
    RefreshMarks();
}

int CVideoDlg::CaptureJpeg(const std::string& path) const {
    const KY_HANDLE handle = Handle();
    if (handle <= 0) return -1;
    return KY_SDK_CaptureJPEGPicture(handle, path.c_str());
}

void CVideoDlg::SetRecording(bool on) {
    if (!IsLoggedIn()) return;
    if (on && !m_live.recording) m_recordClock.start();
    m_live.recording = on ? 1 : 0;
    RefreshMarks();
}

void CVideoDlg::SetTalking(bool on) {
    if (!IsLoggedIn()) return;
    m_live.talking = on ? 1 : 0;
    RefreshMarks();
}

void CVideoDlg::SetListening(bool on) {
    if (!IsLoggedIn()) return;
    m_live.listening = on ? 1 : 0;
    RefreshMarks();
}

void CVideoDlg::ShowPlayView() {
    if (m_host) {
        m_host->ShowPreview();
        return;
    }
    show();
    raise();
    if (m_connecting || (IsLoggedIn() && !IsPlaying())) ResumePlay();
}

// ---- display mode ------------------------------------------------------------------

void CVideoDlg::ChooseDisplayMode(int mode) {
    mode = mode == 1 ? 1 : 0;
    SetDisplayMode(mode);
    if (IsLoggedIn() && IsPlaying()) KY_SDK_SetDisplayMode(m_live.handle, mode);
}

QMenu* CVideoDlg::CreateDisplayMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    auto* group = new QActionGroup(menu);
    const int mode = GetDisplayMode() == 1 ? 1 : 0;
    const struct {
        const char* text;
        int command;
        int mode;
    } items[] = {{"OpenGL", kDisplayD3D, 0}, {"Software", kDisplayDraw, 1}};
    for (const auto& item : items) {
        QAction* action = menu->addAction(LangText(QString::fromUtf8(item.text)));
        action->setData(item.command);
        action->setCheckable(true);
        action->setChecked(mode == item.mode);
        group->addAction(action);
        const int chosen = item.mode;
        connect(action, &QAction::triggered, this, [this, chosen] { ChooseDisplayMode(chosen); });
    }
    return menu;
}

// ---- full screen ---------------------------------------------------------------------

void CVideoDlg::ToggleFullScreen() {
    if (!m_fullScreen) {
        QScreen* screen = this->screen();
        m_savedPanelGeometry = m_panel->geometry();
        QWidget* top = window();
        m_hiddenWindow = top;
        m_hiddenWindowState = top->windowState();
        m_panel->setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);
        top->hide();   // the main window (or this dialog when it stands alone)
        if (screen) m_panel->setGeometry(screen->geometry());
        m_panel->showFullScreen();
        m_panel->activateWindow();
        m_panel->setFocus();
        m_fullScreen = true;
        return;
    }
    m_fullScreen = false;
    m_panel->hide();
    m_panel->setParent(this, Qt::Widget);
    m_panel->setGeometry(rect().adjusted(1, 1, -1, -1));
    m_panel->show();
    if (QWidget* top = m_hiddenWindow.data()) {
        top->setWindowState(m_hiddenWindowState);
        top->show();
    }
    m_hiddenWindow = nullptr;
}

// ---- events ----------------------------------------------------------------------------

int CVideoDlg::OnSdkMessage(KY_HANDLE handle, int32_t type, intptr_t p1, intptr_t p2, void* user) {
    // SDK thread: copy what will be drawn and post it; touch nothing else.
    auto* self = static_cast<CVideoDlg*>(user);
    const int message = type == 0 ? ky::video::kMotionBoxes : type == 6 ? ky::video::kPersonBoxes : 0;
    if (!self || !message) return 0;
    std::vector<int32_t> words;
    if (p1 && p2 > 0) {
        // Only four records are ever drawn.
        const size_t records = std::min<size_t>(static_cast<size_t>(p2) / (kBoxWords * sizeof(int32_t)), kMaxDrawItems);
        const auto* data = reinterpret_cast<const int32_t*>(p1);
        words.assign(data, data + records * kBoxWords);
    }
    QCoreApplication::postEvent(self, new ky::video::CDetectionEvent(message, handle, std::move(words)));
    return 0;
}

void CVideoDlg::DrawDetection(int message, const std::vector<int32_t>& words) {
    if (!IsLoggedIn()) return;
    const KY_HANDLE handle = m_live.handle;
    int penWidth;
    if (message == ky::video::kPersonBoxes) {
        if (!m_live.capability[0] || !m_live.capability[1] || !m_live.humanoid[1]) return;
        penWidth = DetectionPenWidth(message, 0, 0, m_live.streamIndex);
    } else {
        int height = 0, width = 0;
        if (IsPlaying() && KY_SDK_GetPicInfo(handle, &height, &width) == 0) {
            m_picHeight = height;
            m_picWidth = width;
        }
        penWidth = DetectionPenWidth(message, m_picWidth, m_picHeight, m_live.streamIndex);
    }
    if (words.size() < kBoxWords) {
        // No boxes any more: the SDK keeps drawn items until they are
        // replaced, so the old boxes are taken off the picture.
        KY_SDK_InputDrawData(handle, nullptr, 0, kDrawLayer);
        return;
    }
    DetectionDraw draw;
    MakeDetectionDraw(message, words.data(), words.size(), penWidth, &draw);
    KY_SDK_SetPenPixel(handle, draw.penWidth);
    KY_SDK_InputDrawData(handle, draw.items, draw.count, kDrawLayer);
}

bool CVideoDlg::event(QEvent* event) {
    using namespace ky::video;
    switch (static_cast<int>(event->type())) {
        case kMotionBoxes:
        case kPersonBoxes: {
            auto* boxes = dynamic_cast<CDetectionEvent*>(event);
            // A late message of an ended login is dropped.
            if (boxes && boxes->handle == m_live.handle) DrawDetection(static_cast<int>(event->type()), boxes->words);
            return true;
        }
        case kDoubleClick: ToggleFullScreen(); return true;
        case kFullScreenEscape:
            if (m_fullScreen) ToggleFullScreen();
            return true;
        case kContextMenu: {
            auto* mouse = dynamic_cast<CVideoMouseEvent*>(event);
            QMenu* menu = CreateDisplayMenu(this);
            menu->exec(mouse ? mouse->globalPos : QCursor::pos());
            delete menu;
            return true;
        }
        case kMouseMove:
        case kLeftUp:
        case kMouseLeave: return true;
        default: return QWidget::event(event);
    }
}

void CVideoDlg::resizeEvent(QResizeEvent*) {
    if (!m_fullScreen) m_panel->setGeometry(rect().adjusted(1, 1, -1, -1));
}

void CVideoDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), CScreenPannel::kBackground);
}
