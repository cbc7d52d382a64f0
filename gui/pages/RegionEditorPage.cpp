#include "gui/pages/RegionEditorPage.h"

#include <QCoreApplication>
#include <QHideEvent>
#include <QShowEvent>
#include <algorithm>
#include <cstdio>
#include <string>

#include "core/services/Settings.h"
#include "gui/live/PlayWnd.h"
#include "gui/live/VideoEvents.h"

namespace {

// An edited rectangle from the SDK's region callback, for the window thread.
class CRegionEditEvent : public QEvent {
public:
    static QEvent::Type Kind() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    CRegionEditEvent(KY_HANDLE handle, QRect rect, QString name)
        : QEvent(Kind()), handle(handle), rect(rect), name(std::move(name)) {}
    KY_HANDLE handle;
    QRect rect;
    QString name;
};

constexpr size_t kBoxWords = 5;
constexpr size_t kMaxBoxes = 4;

}   // namespace

CRegionEditorPage::Login::~Login() {
    if (handle <= 0) return;
    KY_SDK_StopRealPlay(handle);
    KY_SDK_Logout(handle);   // no callback runs after this returns
}

CRegionEditorPage::CRegionEditorPage(QWidget* parent, const char* section) : CCameraPage(parent, section) {
    // The surface posts its mouse actions to its parent: this page.
    m_view = new CPlayWnd(0, this);
    m_view->setObjectName(QStringLiteral("preview"));
    m_view->setMouseTracking(false);
    connect(m_view, &CPlayWnd::frameShown, this, &CRegionEditorPage::OnFrameShown);
}

CRegionEditorPage::~CRegionEditorPage() { StopPreview(); }

KY_HANDLE CRegionEditorPage::PreviewHandle() const { return m_preview ? m_preview->handle : 0; }

CRegionEditorPage::LoginPtr CRegionEditorPage::OpenLogin(const CameraTarget& camera) {
    int error = 0;
    auto login = std::make_shared<Login>();
    login->handle = KY_SDK_LoginExt(camera.ip.c_str(), camera.user.c_str(), camera.password.c_str(), camera.port,
                                    kLoginTimeoutMs, &error);
    return login->handle > 0 ? login : nullptr;
}

bool CRegionEditorPage::StartPreview(LoginPtr login) {
    StopPreview();
    if (!login) {
        Message("Login device failed!");
        return false;
    }
    const KY_HANDLE h = login->handle;
    KY_SDK_SetEventCallBack(h, h, nullptr, nullptr);
    KY_SDK_SetMessageCallBack(h, h, &CRegionEditorPage::OnMessage, this);
    KY_SDK_SetDrawCallBack(h, h, &CRegionEditorPage::OnDraw, this);
    KY_SDK_SetDisplayCallback(h, 1);
    KY_SDK_SetDisplayMode(h, GetDisplayMode() == 1 ? 1 : 0);
    // Rectangles are kept in the main picture's coordinates.
    const KY_PLAY_INFO play{1, 0, 0, 7};
    if (KY_SDK_RealPlayEncExt(h, m_view, &play) != 0) {
        login.reset();   // logs out
        Message("Failed to connect the device!");
        return false;
    }
    m_preview = std::move(login);
    m_stoppedByHide = false;
    return true;
}

void CRegionEditorPage::StopPreview() {
    // The SDK stops sending to the view before it is cleared, even while a
    // worker still holds the login.
    if (m_preview) KY_SDK_StopRealPlay(m_preview->handle);
    m_preview.reset();
    m_view->Clear();
    m_pictureReady = false;
    m_held = false;
    m_picWidth = m_picHeight = 0;
}

void CRegionEditorPage::RefreshFromDevice() {
    if (!LoggedIn()) StopPreview();
    CCameraPage::RefreshFromDevice();
}

void CRegionEditorPage::hideEvent(QHideEvent* e) {
    CCameraPage::hideEvent(e);
    if (e->spontaneous() || !m_preview) return;
    StopPreview();
    m_stoppedByHide = true;
}

void CRegionEditorPage::showEvent(QShowEvent* e) {
    CCameraPage::showEvent(e);
    if (e->spontaneous() || !m_stoppedByHide) return;
    m_stoppedByHide = false;
    RefreshFromDevice();
}

void CRegionEditorPage::OnFrameShown() {
    if (m_pictureReady || !m_preview) return;
    // A picture is there, so the SDK answers at once.
    int height = 0, width = 0;
    if (KY_SDK_GetPicInfo(m_preview->handle, &height, &width) != 0) return;
    m_picWidth = width;
    m_picHeight = height;
    m_pictureReady = true;
    OnPictureReady();
}

bool CRegionEditorPage::DrawRegions(const std::vector<Region>& regions, int32_t layer, int pen, bool skipEmpty) {
    if (!m_preview) return false;
    std::vector<KY_DRAW_ITEM> items;
    std::vector<KY_COLOR> colors(regions.size());
    for (const Region& r : regions) {
        if (skipEmpty && (r.rect.width() == 0 || r.rect.height() == 0)) continue;
        KY_COLOR& color = colors[items.size()];
        color = {kGreen, 0, r.visible ? 1 : 0, 0};
        KY_DRAW_ITEM item{};
        std::snprintf(item.label, sizeof item.label, "%d", r.number);
        item.left = r.rect.x();
        item.top = r.rect.y();
        item.right = r.rect.x() + r.rect.width();
        item.bottom = r.rect.y() + r.rect.height();
        item.shape = 1;
        item.style = 3;
        item.kind = 1;
        item.fontSize = 24;
        item.lineStyle = 2;
        item.color = &color;
        items.push_back(item);
    }
    KY_SDK_SetPenPixel(m_preview->handle, pen);
    return KY_SDK_InputDrawData(m_preview->handle, items.data(), static_cast<int>(items.size()), layer) == 0;
}

void CRegionEditorPage::EnableEditing(int number, bool on) {
    if (!m_preview) return;
    KY_SDK_EnablePic(m_preview->handle, std::to_string(number).c_str(), on ? 1 : 0, 1);
}

int CRegionEditorPage::OnDraw(KY_HANDLE handle, int32_t left, int32_t top, int32_t right, int32_t bottom,
                              const char* name, void* user) {
    // May run on an SDK thread: post a copy.
    QCoreApplication::postEvent(static_cast<CRegionEditorPage*>(user),
                                new CRegionEditEvent(handle, QRect(left, top, right - left, bottom - top),
                                                     QString::fromUtf8(name ? name : "")));
    return 0;
}

int CRegionEditorPage::OnMessage(KY_HANDLE handle, int32_t type, intptr_t p1, intptr_t p2, void* user) {
    if (type != 0) return 0;
    // The list is valid only during the call; four boxes at most are drawn.
    std::vector<int32_t> words;
    if (p1 && p2 > 0) {
        const size_t records = std::min<size_t>(static_cast<size_t>(p2) / (kBoxWords * sizeof(int32_t)), kMaxBoxes);
        const auto* data = reinterpret_cast<const int32_t*>(p1);
        words.assign(data, data + records * kBoxWords);
    }
    QCoreApplication::postEvent(static_cast<CRegionEditorPage*>(user),
                                new ky::video::CDetectionEvent(ky::video::kMotionBoxes, handle, std::move(words)));
    return 0;
}

QPoint CRegionEditorPage::InPicture(QPoint pos) const {
    const QSize view = m_view->PictureRect().size();
    return {std::clamp(pos.x(), 0, view.width()), std::clamp(pos.y(), 0, view.height())};
}

bool CRegionEditorPage::event(QEvent* e) {
    using namespace ky::video;
    const int type = static_cast<int>(e->type());
    if (e->type() == CRegionEditEvent::Kind()) {
        auto* edit = static_cast<CRegionEditEvent*>(e);
        // A late report of an ended preview is dropped.
        if (m_preview && edit->handle == m_preview->handle) OnRegionEdited(edit->name, edit->rect);
        return true;
    }
    if (type == kMotionBoxes) {
        auto* boxes = static_cast<CDetectionEvent*>(e);
        if (m_preview && boxes->handle == m_preview->handle) OnMotionBoxes(boxes->words);
        return true;
    }
    if (type == kLeftDown || type == kMouseMove || type == kLeftUp) {
        auto* mouse = static_cast<CVideoMouseEvent*>(e);
        if (!m_preview || !EditingActive()) return true;
        const KY_HANDLE h = m_preview->handle;
        if (type == kLeftDown) {
            m_held = true;
            const QSize view = m_view->PictureRect().size();
            m_window = {0, 0, view.width(), view.height()};
            KY_SDK_SelectPic(h, mouse->pos.x(), mouse->pos.y());
        } else if (type == kMouseMove) {
            const QPoint p = InPicture(mouse->pos);
            KY_SDK_MouseMove(h, m_held ? 1 : 0, p.x(), p.y(), m_window);
        } else {
            m_held = false;
        }
        return true;
    }
    if (type == kDoubleClick || type == kContextMenu || type == kMouseLeave) return true;
    return CCameraPage::event(e);
}
