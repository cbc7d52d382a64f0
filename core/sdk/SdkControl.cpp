// Control side of the SDK: the login table, configuration codes, PTZ and
// presets, callbacks, talk and detection events. Everything goes over the
// camera's HTTP port (docs/sdk-protocol.md).
#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/sdk/ControlChannels.h"
#include "core/sdk/ControlHttp.h"
#include "core/sdk/KySdk.h"
#include "core/sdk/SdkSession.h"

namespace ky::sdk {

namespace {

constexpr int kDefaultTimeoutMs = 5000;
constexpr int kRequestMs = 5000;
constexpr KY_HANDLE kMaxHandle = 0xFFFF;   // small numbers, reused only after a full turn

// What the control side keeps per login beside the shared Session.
struct Control {
    std::atomic<bool> closing{false};
    std::mutex mutex;   // guards everything below; never held while calling out
    bool displayCallback = false;
    std::shared_ptr<TalkChannel> talk;
    std::shared_ptr<EventChannel> events;
};

struct Entry {
    std::shared_ptr<Session> session;
    std::shared_ptr<Control> control;
};

std::mutex g_mutex;
std::map<KY_HANDLE, Entry> g_table;
KY_HANDLE g_last = 0;

// The entry of a live handle that is not being logged out.
bool Lookup(KY_HANDLE handle, Entry* out) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_table.find(handle);
    if (it == g_table.end() || it->second.control->closing) return false;
    *out = it->second;
    return true;
}

KY_HANDLE Insert(const std::shared_ptr<Session>& session) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_table.size() >= size_t(kMaxHandle)) return 0;
    KY_HANDLE h = g_last;
    do {
        h = h >= kMaxHandle ? 1 : h + 1;
    } while (g_table.count(h));
    g_last = h;
    session->handle = h;
    g_table[h] = Entry{session, std::make_shared<Control>()};
    return h;
}

// One control request on a connection of its own. True with the reply's
// fields when the camera answered 200.
bool Call(const Session& s, const std::string& target, std::map<std::string, std::string>* fields = nullptr) {
    ControlHttp http(s.host, s.httpPort, s.user, s.password);
    HttpReply reply;
    if (http.Exchange("GET", target, {}, kRequestMs, &reply) != HttpFail::None || reply.status != 200) return false;
    if (fields) *fields = ParseFields(reply.body);
    return true;
}

bool FieldInt(const std::map<std::string, std::string>& f, const char* key, int32_t* out) {
    auto it = f.find(key);
    return it != f.end() && ParseInt32(it->second, out);
}

void CopyText(char* dst, size_t capacity, const std::string& text) {
    size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(dst, text.data(), n);
    std::memset(dst + n, 0, capacity - n);
}

bool IsPtzCode(int32_t c) {
    return (c >= KY_PTZ_UP && c <= KY_PTZ_FOCUSOUT) || (c >= 0x3015 && c <= 0x3017) || (c >= 0x3027 && c <= 0x3029);
}

// The event channel runs once a message or event callback is set.
void EnsureEvents(const Entry& e) {
    {
        std::lock_guard<std::mutex> lock(e.control->mutex);
        if (e.control->events) return;
    }
    auto ch = EventChannel::Start(e.session);
    {
        std::lock_guard<std::mutex> lock(e.control->mutex);
        if (!e.control->events && !e.control->closing) {
            e.control->events = std::move(ch);
            return;
        }
    }
    ch->Stop();   // another thread was first, or the login is closing
}

}   // namespace

std::shared_ptr<Session> FindSession(KY_HANDLE handle) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_table.find(handle);
    return it == g_table.end() ? nullptr : it->second.session;
}

}   // namespace ky::sdk

using namespace ky::sdk;

int KY_SDK_Init() { return 0; }

int KY_SDK_Cleanup() {
    std::vector<KY_HANDLE> handles;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (const auto& [h, e] : g_table) handles.push_back(h);
    }
    for (KY_HANDLE h : handles) KY_SDK_Logout(h);
    return 0;
}

KY_HANDLE KY_SDK_LoginExt(const char* host, const char* user, const char* password, uint16_t port, int timeoutMs,
                          int* error) {
    int dummy;
    int& err = error ? *error : dummy;
    err = 3;
    if (!host || !*host || port == 0) return 0;
    auto s = std::make_shared<Session>();
    s->host = host;
    s->user = user ? user : "";
    s->password = password ? password : "";
    s->httpPort = port;

    ControlHttp http(s->host, port, s->user, s->password);
    HttpReply reply;
    HttpFail f = http.Exchange("GET", "/sdk/login", {}, timeoutMs > 0 ? timeoutMs : kDefaultTimeoutMs, &reply);
    if (f != HttpFail::None) {
        err = f == HttpFail::Connect || f == HttpFail::Silent ? 1 : 3;
        return 0;
    }
    if (reply.status == 401) {
        err = 2;
        return 0;
    }
    auto fields = ParseFields(reply.body);
    int32_t rtsp = 0;
    if (reply.status != 200 || !FieldInt(fields, "rtspport", &rtsp) || rtsp < 1 || rtsp > 65535) return 0;
    s->rtspPort = rtsp;
    KY_HANDLE h = Insert(s);
    if (h) err = 0;
    return h;
}

int KY_SDK_Logout(KY_HANDLE handle) {
    std::shared_ptr<Control> control;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto it = g_table.find(handle);
        if (it == g_table.end()) return -1;
        control = it->second.control;
        if (control->closing.exchange(true)) return -1;   // another thread is logging it out
    }
    std::shared_ptr<TalkChannel> talk;
    std::shared_ptr<EventChannel> events;
    {
        std::lock_guard<std::mutex> lock(control->mutex);
        talk = std::move(control->talk);
        events = std::move(control->events);
    }
    // No callback of this login runs once Logout has returned (unless
    // Logout is called from that very callback).
    if (talk) talk->Stop(false);
    if (events) events->Stop();
    // The number stays taken until the media side has let go of it.
    MediaRelease(handle);
    std::lock_guard<std::mutex> lock(g_mutex);
    g_table.erase(handle);
    return 0;
}

int KY_SDK_GetConfig(KY_HANDLE handle, int32_t code, void* buffer, int size) {
    Entry e;
    if (!buffer || size <= 0 || !Lookup(handle, &e)) return -1;
    auto* out = static_cast<char*>(buffer);
    std::map<std::string, std::string> f;
    switch (code) {
        case KY_CFG_CAPABILITY: {
            if (size < KY_CAPABILITY_SIZE || !Call(*e.session, "/sdk/getconfig?code=" + std::to_string(code), &f))
                return -1;
            for (int i = 0; i < KY_CAPABILITY_SIZE / KY_CAPABILITY_FIELD; ++i)
                CopyText(out + i * KY_CAPABILITY_FIELD, KY_CAPABILITY_FIELD, f["cap." + std::to_string(i)]);
            return 0;
        }
        case KY_CFG_DEVTYPE:
            if (size < 64 || !Call(*e.session, "/sdk/getconfig?code=" + std::to_string(code), &f) ||
                !f.count("devtype"))
                return -1;
            CopyText(out, 64, f["devtype"]);
            return 0;
        case KY_CFG_HUMANOID: {
            int32_t v[3];
            if (size < 12 || !Call(*e.session, "/sdk/getconfig?code=" + std::to_string(code), &f) ||
                !FieldInt(f, "detect", &v[0]) || !FieldInt(f, "boxes", &v[1]) || !FieldInt(f, "linkage", &v[2]))
                return -1;
            std::memcpy(out, v, sizeof v);
            return 0;
        }
        case KY_CFG_MDAREA: {
            int32_t w[8];
            if (size < 32) return -1;
            std::memcpy(w, out, sizeof w);
            if (w[1] < 1 || w[1] > 4) return -1;   // the caller names the area in word 1
            if (!Call(*e.session, "/sdk/getconfig?code=" + std::to_string(code) + "&area=" + std::to_string(w[1]), &f))
                return -1;
            static const char* const kWords[8] = {"word0", "area", "enable", "sensitivity", "x", "y", "w", "h"};
            for (int i = 0; i < 8; ++i)
                if (!FieldInt(f, kWords[i], &w[i])) return -1;
            std::memcpy(out, w, sizeof w);
            return 0;
        }
        default: return -1;
    }
}

int KY_SDK_SetConfig(KY_HANDLE handle, int32_t code, const void* buffer, int size) {
    Entry e;
    if (size < 0 || (size > 0 && !buffer) || !Lookup(handle, &e)) return -1;
    const std::string base = "/sdk/setconfig?code=" + std::to_string(code);
    std::map<std::string, std::string> f;
    switch (code) {
        case KY_CFG_RESTART:
        case KY_CFG_FACTORY:
            // The camera answers first, then goes down; this login stays and
            // works again once it is back.
            return Call(*e.session, base, &f) ? 0 : -1;
        case KY_CFG_HUMANOID: {
            if (size < 12) return -1;
            int32_t v[3];
            std::memcpy(v, buffer, sizeof v);
            return Call(*e.session, base + "&detect=" + std::to_string(v[0]) + "&boxes=" + std::to_string(v[1]) +
                                        "&linkage=" + std::to_string(v[2]))
                       ? 0
                       : -1;
        }
        case KY_CFG_MDAREA: {
            if (size < 32) return -1;
            int32_t w[8];
            std::memcpy(w, buffer, sizeof w);
            if (w[1] < 1 || w[1] > 4) return -1;
            return Call(*e.session, base + "&area=" + std::to_string(w[1]) + "&word0=" + std::to_string(w[0]) +
                                        "&enable=" + std::to_string(w[2]) + "&sensitivity=" + std::to_string(w[3]) +
                                        "&x=" + std::to_string(w[4]) + "&y=" + std::to_string(w[5]) +
                                        "&w=" + std::to_string(w[6]) + "&h=" + std::to_string(w[7]))
                       ? 0
                       : -1;
        }
        default: return -1;   // read-only or unknown
    }
}

int KY_SDK_SetMessageCallBack(KY_HANDLE handle, KY_HANDLE /*userHandle*/, KY_MessageCallBack cb, void* user) {
    Entry e;
    if (!Lookup(handle, &e)) return -1;
    {
        std::lock_guard<std::mutex> lock(e.session->mutex);
        e.session->messageCb = cb;
        e.session->messageUser = user;
    }
    if (cb) EnsureEvents(e);
    return 0;
}

int KY_SDK_SetEventCallBack(KY_HANDLE handle, KY_HANDLE /*userHandle*/, KY_EventCallBack cb, void* user) {
    Entry e;
    if (!Lookup(handle, &e)) return -1;
    {
        std::lock_guard<std::mutex> lock(e.session->mutex);
        e.session->eventCb = cb;
        e.session->eventUser = user;
    }
    if (cb) EnsureEvents(e);
    return 0;
}

int KY_SDK_SetDrawCallBack(KY_HANDLE handle, KY_HANDLE /*userHandle*/, KY_DrawCallBack cb, void* user) {
    Entry e;
    if (!Lookup(handle, &e)) return -1;
    std::lock_guard<std::mutex> lock(e.session->mutex);
    e.session->drawCb = cb;
    e.session->drawUser = user;
    return 0;
}

int KY_SDK_SetDisplayCallback(KY_HANDLE handle, int enable) {
    Entry e;
    if (!Lookup(handle, &e)) return -1;
    std::lock_guard<std::mutex> lock(e.control->mutex);
    e.control->displayCallback = enable != 0;
    return 0;
}

int KY_SDK_SetDisplayMode(KY_HANDLE handle, int mode) {
    Entry e;
    if ((mode != 0 && mode != 1) || !Lookup(handle, &e)) return -1;
    std::lock_guard<std::mutex> lock(e.session->mutex);
    e.session->displayMode = mode;
    return 0;
}

int KY_SDK_PTZControl(KY_HANDLE handle, int32_t command, int32_t speed) {
    Entry e;
    if (!IsPtzCode(command) || speed < 0 || speed > 255 || !Lookup(handle, &e)) return -1;
    return Call(*e.session, "/sdk/ptz?cmd=" + std::to_string(command) + "&speed=" + std::to_string(speed)) ? 0 : -1;
}

int KY_SDK_PTZControlEx(KY_HANDLE handle, int32_t command) {
    Entry e;
    if (!IsPtzCode(command) || !Lookup(handle, &e)) return -1;
    return Call(*e.session, "/sdk/ptz?cmd=" + std::to_string(command)) ? 0 : -1;
}

int KY_SDK_PTZPreset(KY_HANDLE handle, int32_t command, int32_t presetIndex) {
    Entry e;
    if (!IsPtzCode(command) || presetIndex < 0 || presetIndex > 254 || !Lookup(handle, &e)) return -1;
    return Call(*e.session, "/sdk/preset?cmd=" + std::to_string(command) + "&index=" + std::to_string(presetIndex))
               ? 0
               : -1;
}

int KY_SDK_StartVoiceCom(KY_HANDLE handle, int /*channel*/, KY_VoiceCallBack cb, void* user) {
    Entry e;
    if (!cb || !Lookup(handle, &e)) return -1;
    {
        std::lock_guard<std::mutex> lock(e.control->mutex);
        if (e.control->talk) return -1;   // already talking
    }
    auto talk = TalkChannel::Open(e.session, cb, user);
    if (!talk) return -1;
    {
        std::lock_guard<std::mutex> lock(e.control->mutex);
        if (!e.control->talk && !e.control->closing) {
            // Under the lock: the first callback already finds its talk.
            talk->StartCallbacks();
            e.control->talk = std::move(talk);
            return 0;
        }
    }
    talk->Stop(false);   // lost a race with another start or with Logout
    return -1;
}

int KY_SDK_StopVoiceCom(KY_HANDLE handle) {
    Entry e;
    if (!Lookup(handle, &e)) return -1;
    std::shared_ptr<TalkChannel> talk;
    {
        std::lock_guard<std::mutex> lock(e.control->mutex);
        talk = std::move(e.control->talk);
    }
    if (!talk) return -1;
    talk->Stop(true);
    return 0;
}

int KY_SDK_VoiceComSendData(KY_HANDLE handle, const uint8_t* data, int length, intptr_t /*userValue*/) {
    Entry e;
    if (!Lookup(handle, &e)) return -1;
    std::shared_ptr<TalkChannel> talk;
    {
        std::lock_guard<std::mutex> lock(e.control->mutex);
        talk = e.control->talk;
    }
    return talk && talk->Send(data, length) ? 0 : -1;
}
