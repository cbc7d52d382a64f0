// The media side of the SDK: live play, sound, recording, snapshots and the
// drawing layer, per login handle.
#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "core/sdk/KySdk.h"
#include "core/sdk/LivePlayer.h"
#include "core/sdk/MediaDrawLayer.h"
#include "core/sdk/SdkSession.h"

namespace ky::sdk {

namespace {

// Media state of one login. `mutex` serialises the KY_SDK_* calls of the
// handle; the player thread never takes it.
struct Media {
    std::weak_ptr<Session> session;   // the login this state belongs to
    std::mutex mutex;
    std::shared_ptr<LivePlayer> player;
    std::shared_ptr<DrawLayer> draw = std::make_shared<DrawLayer>();
    std::shared_ptr<AudioSlot> audio = std::make_shared<AudioSlot>();
    KY_RECT lastWindow{0, 0, 0, 0};   // from MouseMove, when the surface has no ViewSize
};

std::mutex g_tableMutex;
std::map<KY_HANDLE, std::shared_ptr<Media>> g_media;
std::atomic<KySdkAudioFactory> g_audioFactory{nullptr};

// Stops everything a media state runs. Not under any lock of the table.
void Shutdown(const std::shared_ptr<Media>& m) {
    std::shared_ptr<LivePlayer> player;
    {
        std::lock_guard lock(m->mutex);
        player = std::move(m->player);
    }
    if (player) player->Stop();
    m->audio->Clear();
}

// The media state of a live login (created on first use), or null for an
// unknown handle. A stale state left from an earlier login that had the
// same handle number is replaced.
std::shared_ptr<Media> Get(KY_HANDLE handle, std::shared_ptr<Session>* sessionOut = nullptr) {
    std::shared_ptr<Session> session = FindSession(handle);
    if (!session) return nullptr;
    std::shared_ptr<Media> stale, m;
    {
        std::lock_guard lock(g_tableMutex);
        auto& slot = g_media[handle];
        if (slot && slot->session.lock() != session) stale = std::move(slot);
        if (!slot) {
            slot = std::make_shared<Media>();
            slot->session = session;
        }
        m = slot;
    }
    if (stale) Shutdown(stale);
    if (sessionOut) *sessionOut = std::move(session);
    return m;
}

std::shared_ptr<LivePlayer> PlayerOf(Media& m) {
    std::lock_guard lock(m.mutex);
    return m.player;
}

int StartPlay(KY_HANDLE handle, KySdkSurface* window, const KY_PLAY_INFO* play) {
    if (!play || (play->streamCode != 1 && play->streamCode != 2)) return -1;
    std::shared_ptr<Session> session;
    auto m = Get(handle, &session);
    if (!m) return -1;
    PlayerConfig config;
    config.handle = handle;
    config.host = session->host;
    config.rtspPort = session->rtspPort;
    config.user = session->user;
    config.password = session->password;
    config.path = play->streamCode == 1 ? "/11" : "/12";
    config.surface = window;
    config.session = session;
    config.draw = m->draw;
    config.audio = m->audio;
    if (config.host.empty() || config.rtspPort <= 0 || config.rtspPort > 65535) return -1;

    auto player = LivePlayer::Create(std::move(config));
    std::shared_ptr<LivePlayer> old;
    {
        std::lock_guard lock(m->mutex);
        old = std::move(m->player);
        m->player = player;
    }
    // One player per handle: a new play replaces the old one.
    if (old) old->Stop();
    player->Start();
    return 0;
}

// How long GetPicInfo and the drawing calls wait for the first picture of a
// stream that is still opening.
constexpr int kFirstPictureWaitMs = 3000;

// Picture point for a window point, stretching the view over the picture.
// `window` (MouseMove's rectangle) wins over the surface's view size.
bool ToPicture(Media& m, const std::shared_ptr<LivePlayer>& player, const KY_RECT* window, int32_t x, int32_t y,
               int* px, int* py, int* picW, int* picH, int* grab) {
    if (!player || !player->PictureSize(picW, picH, 0)) return false;
    int vw = 0, vh = 0;
    KySdkSurface* surface = player->Surface();
    if (window && window->right > window->left && window->bottom > window->top) {
        vw = window->right - window->left;
        vh = window->bottom - window->top;
    } else if (!surface || !surface->ViewSize(&vw, &vh) || vw <= 0 || vh <= 0) {
        std::lock_guard lock(m.mutex);
        vw = m.lastWindow.right - m.lastWindow.left;
        vh = m.lastWindow.bottom - m.lastWindow.top;
    }
    if (vw <= 0 || vh <= 0) {
        vw = *picW;
        vh = *picH;
    }
    *px = static_cast<int>(static_cast<int64_t>(x) * *picW / vw);
    *py = static_cast<int>(static_cast<int64_t>(y) * *picH / vh);
    // Near enough to grab an edge: about 6 window pixels.
    *grab = std::max(1, static_cast<int>(6LL * std::max(*picW * 1000 / vw, *picH * 1000 / vh) / 1000));
    return true;
}

}   // namespace

void MediaRelease(KY_HANDLE handle) {
    std::shared_ptr<Media> m;
    {
        std::lock_guard lock(g_tableMutex);
        auto it = g_media.find(handle);
        if (it == g_media.end()) return;
        m = std::move(it->second);
        g_media.erase(it);
    }
    Shutdown(m);
}

}   // namespace ky::sdk

using namespace ky::sdk;

void KY_SDK_SetAudioOutputFactory(KySdkAudioFactory factory) { g_audioFactory.store(factory); }

int KY_SDK_RealPlayExt(KY_HANDLE handle, KySdkSurface* window, const KY_PLAY_INFO* play) {
    return StartPlay(handle, window, play);
}

// The encoded-stream variant plays the same way; the pages that use it want
// the same picture and drawing layer.
int KY_SDK_RealPlayEncExt(KY_HANDLE handle, KySdkSurface* window, const KY_PLAY_INFO* play) {
    return StartPlay(handle, window, play);
}

int KY_SDK_StopRealPlay(KY_HANDLE handle) {
    auto m = Get(handle);
    if (!m) return -1;
    std::shared_ptr<LivePlayer> player;
    {
        std::lock_guard lock(m->mutex);
        player = std::move(m->player);
    }
    if (!player) return -1;
    player->Stop();
    return 0;
}

int KY_SDK_GetPicInfo(KY_HANDLE handle, int* height, int* width) {
    if (!height || !width) return -1;
    auto m = Get(handle);
    if (!m) return -1;
    auto player = PlayerOf(*m);
    int w = 0, h = 0;
    if (!player || !player->PictureSize(&w, &h, kFirstPictureWaitMs)) return -1;
    *height = h;
    *width = w;
    return 0;
}

int KY_SDK_SetMute(KY_HANDLE handle, int channel, int soundOn) {
    (void)channel;
    auto m = Get(handle);
    if (!m) return -1;
    if (!soundOn) {
        m->audio->Clear();
        return 0;
    }
    if (m->audio->On()) return 0;
    const KySdkAudioFactory factory = g_audioFactory.load();
    if (!factory) return -1;
    KySdkAudioOutput* out = factory();
    if (!out) return -1;
    if (!out->Open(8000, 1)) {
        delete out;
        return -1;
    }
    m->audio->Set(out);
    return 0;
}

int KY_SDK_GetMute(KY_HANDLE handle, int channel, int* soundOn) {
    (void)channel;
    if (!soundOn) return -1;
    auto m = Get(handle);
    if (!m) return -1;
    *soundOn = m->audio->On() ? 1 : 0;
    return 0;
}

int KY_SDK_StartRecord(KY_HANDLE handle, const char* path, int format, int reserved1, int reserved2) {
    (void)format;
    (void)reserved1;
    (void)reserved2;
    if (!path || !*path) return -1;
    auto m = Get(handle);
    if (!m) return -1;
    auto player = PlayerOf(*m);
    if (!player) return -1;
    std::string error;
    return player->StartRecord(path, &error) == 0 ? 0 : -1;
}

int KY_SDK_StopRecord(KY_HANDLE handle) {
    auto m = Get(handle);
    if (!m) return -1;
    if (auto player = PlayerOf(*m)) player->StopRecord();
    return 0;
}

int KY_SDK_GetRecordTime(KY_HANDLE handle, int64_t* milliseconds) {
    auto m = Get(handle);
    auto player = m ? PlayerOf(*m) : nullptr;
    const int64_t ms = player ? player->RecordedMs() : -1;
    if (ms < 0 || !milliseconds) return -1;
    *milliseconds = ms;
    return 0;
}

int KY_SDK_GetStreamStats(KY_HANDLE handle, int64_t* bytes, int64_t* frames) {
    auto m = Get(handle);
    auto player = m ? PlayerOf(*m) : nullptr;
    if (!player || !bytes || !frames) return -1;
    *bytes = player->BytesRead();
    *frames = player->FramesDecoded();
    return 0;
}

int KY_SDK_CaptureJPEGPicture(KY_HANDLE handle, const char* path) {
    if (!path || !*path) return -2;
    auto m = Get(handle);
    if (!m) return -1;
    auto player = PlayerOf(*m);
    if (!player) return -1;
    return player->Snapshot(path);
}

int KY_SDK_SetPenPixel(KY_HANDLE handle, int32_t penWidth) {
    auto m = Get(handle);
    if (!m) return -1;
    return m->draw->SetPenWidth(penWidth) ? 0 : -1;
}

int KY_SDK_InputDrawData(KY_HANDLE handle, const KY_DRAW_ITEM* items, int count, int32_t layer) {
    auto m = Get(handle);
    if (!m) return -1;
    return m->draw->SetItems(items, count, layer) ? 0 : -1;
}

int KY_SDK_EnablePic(KY_HANDLE handle, const char* name, int on, int32_t layer) {
    auto m = Get(handle);
    if (!m) return -1;
    return m->draw->EnableEditing(name, on != 0, layer) ? 0 : -1;
}

int KY_SDK_SelectPic(KY_HANDLE handle, int32_t x, int32_t y) {
    auto m = Get(handle);
    if (!m) return -1;
    int px, py, w, h, grab;
    if (!ToPicture(*m, PlayerOf(*m), nullptr, x, y, &px, &py, &w, &h, &grab)) {
        m->draw->ClearSelection();
        return -1;
    }
    // Non-zero when no editable rectangle is under the point.
    return m->draw->Select(px, py, grab) ? 0 : 1;
}

int KY_SDK_MouseMove(KY_HANDLE handle, int held, int32_t x, int32_t y, KY_RECT window) {
    std::shared_ptr<Session> session;
    auto m = Get(handle, &session);
    if (!m) return -1;
    if (window.right > window.left && window.bottom > window.top) {
        std::lock_guard lock(m->mutex);
        m->lastWindow = window;
    }
    if (!held) return 0;
    auto player = PlayerOf(*m);
    int px, py, w, h, grab;
    if (!ToPicture(*m, player, &window, x, y, &px, &py, &w, &h, &grab)) return -1;
    const auto edit = m->draw->Drag(px, py, w, h);
    if (!edit) return 0;
    KY_DrawCallBack cb;
    void* user;
    {
        std::lock_guard lock(session->mutex);
        cb = session->drawCb;
        user = session->drawUser;
    }
    // Called without any SDK lock held: the callback may call back in.
    if (cb) cb(handle, edit->rect.left, edit->rect.top, edit->rect.right, edit->rect.bottom, edit->name.c_str(), user);
    return 0;
}
