#include "tools/kycam-emulator/SdkService.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>

#include "tools/kycam-emulator/CgiCommands.h"
#include "tools/kycam-emulator/HttpParse.h"

namespace emu {

namespace {

using Query = std::vector<std::pair<std::string, std::string>>;

constexpr int kCapabilityFields = 56;
constexpr int kCapabilityText = 15;   // 16-byte fields, zero-terminated
constexpr int kDevTypeText = 63;
constexpr uint64_t kMaxTalkBody = 1u << 20;

// Configuration codes (decimal on the wire).
constexpr int kDevType = 0x1000;
constexpr int kMdArea = 0x1011;
constexpr int kRestart = 0x1018;
constexpr int kFactory = 0x1019;
constexpr int kCapability = 0x1087;
constexpr int kHumanoid = 0x1089;

// Keys that survive a factory reset besides the emulator's own "emu.*":
// who the camera is and where it listens, not what it was set to.
constexpr const char* kIdentityKeys[] = {"name",        "macaddress", "ip",           "httpport",
                                         "rtspport",    "model",      "devtype",      "hardVersion",
                                         "softVersion", "webVersion", "rs485Version", "startdate"};

// Kept apart from the tool's encoder on purpose: the emulator stays
// independent of the code it tests.
std::string PctEncode(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
            c == '.' || c == '~') {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string Field(std::string_view key, std::string_view value) {
    return std::string(key) + "=" + PctEncode(value) + "\r\n";
}

std::optional<int64_t> ToInt(const std::optional<std::string>& text, int64_t lo, int64_t hi) {
    if (!text || text->empty() || text->size() > 12) return std::nullopt;
    std::string_view s = *text;
    bool neg = s[0] == '-';
    if (neg) s.remove_prefix(1);
    if (s.empty()) return std::nullopt;
    int64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (neg) v = -v;
    if (v < lo || v > hi) return std::nullopt;
    return v;
}

const char* Reason(int status) {
    switch (status) {
        case 200: return "OK";
        case 400: return "Bad Request";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        case 409: return "Conflict";
        case 411: return "Length Required";
        case 501: return "Not Implemented";
        default: return "Error";
    }
}

ReplyPlan Reply(int status, const std::string& body, const char* type = "text/plain") {
    std::string out = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) + "\r\n";
    out += "Server: kycam-emulator\r\n";
    out += std::string("Content-Type: ") + type + "\r\n";
    out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    out += "Connection: keep-alive\r\n\r\n";
    out += body;
    ReplyPlan p;
    p.bytes = std::move(out);
    p.keepOpen = true;
    return p;
}

ReplyPlan Ok(const std::string& fields = {}) { return Reply(200, fields + "result=ok\r\n"); }

ReplyPlan Fail(int status, const std::string& why) { return Reply(status, Field("error", why)); }

// Parses "n,x,y,w,h;n,x,y,w,h" (empty: no boxes).
bool ParseBoxes(std::string_view text, std::vector<int32_t>* out) {
    out->clear();
    if (text.empty()) return true;
    size_t boxes = 0;
    while (true) {
        size_t semi = text.find(';');
        std::string_view box = text.substr(0, semi);
        if (++boxes > SdkService::kMaxBoxesPerEvent) return false;
        for (int i = 0; i < 5; ++i) {
            size_t comma = box.find(',');
            if ((i < 4) != (comma != std::string_view::npos)) return false;
            auto v = ToInt(std::string(box.substr(0, comma)), INT32_MIN, INT32_MAX);
            if (!v) return false;
            out->push_back(int32_t(*v));
            box = comma == std::string_view::npos ? std::string_view() : box.substr(comma + 1);
        }
        if (semi == std::string_view::npos) return true;
        text.remove_prefix(semi + 1);
    }
}

}   // namespace

// ---- defaults -----------------------------------------------------------------

std::string SdkService::DefaultCapability(int i) {
    switch (i) {
        case 0: return "7";              // profiles: H264 baseline, main and high
        case 1: return "41;40;42;48;";   // video modes: 1920x1080 with 640x352, 1920x1080, 320x176, 1280x720
        case 2: return "0-100";          // brightness
        case 3: return "0-255";          // saturation
        case 4: return "0-100";          // contrast
        case 5: return "0-255";          // exposure
        case 12: return "1";             // humanoid detection
        case 16: return "1";             // person boxes
        default: return "0";             // 13 (4G), 15 (5G) and the rest: not supported
    }
}

namespace {

std::string MdKey(int area, const char* field) { return "sdk.md." + std::to_string(area) + "." + field; }

int MdDefault(int area, const std::string& field) {
    if (field == "sensitivity") return 50;
    if (area != 1) return 0;
    // Area 1: the centre quarter of the 1280x720 main picture, switched on.
    if (field == "enable") return 1;
    if (field == "x") return 320;
    if (field == "y") return 180;
    if (field == "w") return 640;
    if (field == "h") return 360;
    return 0;
}

constexpr const char* kMdFields[] = {"word0", "enable", "sensitivity", "x", "y", "w", "h"};

}   // namespace

// ---- service --------------------------------------------------------------------

SdkService::SdkService(CameraState& state) : state_(state) {}

SdkService::~SdkService() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    cv_.notify_all();
}

Action SdkService::Handle(const RequestHead& head, std::function<void()> restart) {
    Query q = ParseQuery(head.query);
    std::string_view what = std::string_view(head.path).substr(5);
    bool get = head.method == "GET";
    if (what == "talk" && head.method == "POST") return TalkData(head, q);
    if (!get) return Action::Reply(Fail(405, "method not allowed"));

    if (what == "login") return Action::Reply(Login());
    if (what == "getconfig") return Action::Reply(GetConfig(q));
    if (what == "setconfig") return Action::Reply(SetConfig(q, std::move(restart)));
    if (what == "ptz") return Action::Reply(Ptz(q, false));
    if (what == "preset") return Action::Reply(Ptz(q, true));
    if (what == "talk") return Action::Reply(TalkControl(q));
    if (what == "events") {
        // Held on a worker until an event arrives or the wait ends.
        return Action::Async([this, q] { return Events(q); });
    }
    if (what == "emit-boxes") return Action::Reply(EmitRoute(q));
    if (what == "talk-received") {
        std::string data = TalkReceived();
        if (QueryValue(q, "clear").value_or("0") == "1") {
            std::lock_guard<std::mutex> lock(mutex_);
            talk_.clear();
        }
        return Action::Reply(Reply(200, data, "application/octet-stream"));
    }
    return Action::Reply(Fail(404, "unknown sdk request"));
}

ReplyPlan SdkService::Login() {
    state_.Set("sdk.logins", std::to_string(state_.GetInt("sdk.logins", 0) + 1));
    return Ok(Field("protocol", "1") + Field("rtspport", state_.Get("rtspport", "554")) +
              Field("devtype", state_.Get("devtype")) + Field("name", state_.Get("name")));
}

ReplyPlan SdkService::GetConfig(const Query& q) {
    auto code = ToInt(QueryValue(q, "code"), 0, INT32_MAX);
    if (!code) return Fail(400, "missing or bad code");
    switch (*code) {
        case kCapability: {
            std::string out;
            for (int i = 0; i < kCapabilityFields; ++i) {
                std::string key = "sdk.cap." + std::to_string(i);
                std::string v = state_.Has(key) ? state_.Get(key) : DefaultCapability(i);
                out += Field(key.substr(4), v.substr(0, kCapabilityText));
            }
            return Ok(out);
        }
        case kDevType: return Ok(Field("devtype", state_.Get("devtype").substr(0, kDevTypeText)));
        case kHumanoid:
            return Ok(Field("detect", state_.Get("sdk.hd.detect", "1")) +
                      Field("boxes", state_.Get("sdk.hd.boxes", "1")) +
                      Field("linkage", state_.Get("sdk.hd.linkage", "0")));
        case kMdArea: {
            auto area = ToInt(QueryValue(q, "area"), 1, 4);
            if (!area) return Fail(400, "area must be 1 to 4");
            std::string out = Field("area", std::to_string(*area));
            for (const char* f : kMdFields)
                out += Field(f, state_.Get(MdKey(int(*area), f), std::to_string(MdDefault(int(*area), f))));
            return Ok(out);
        }
        default: return Fail(400, "unknown configuration code " + std::to_string(*code));
    }
}

ReplyPlan SdkService::SetConfig(const Query& q, std::function<void()> restart) {
    auto code = ToInt(QueryValue(q, "code"), 0, INT32_MAX);
    if (!code) return Fail(400, "missing or bad code");
    switch (*code) {
        case kHumanoid: {
            auto d = ToInt(QueryValue(q, "detect"), 0, 1), b = ToInt(QueryValue(q, "boxes"), 0, 1),
                 l = ToInt(QueryValue(q, "linkage"), 0, 1);
            if (!d || !b || !l) return Fail(400, "detect, boxes and linkage must be 0 or 1");
            state_.Set("sdk.hd.detect", std::to_string(*d));
            state_.Set("sdk.hd.boxes", std::to_string(*b));
            state_.Set("sdk.hd.linkage", std::to_string(*l));
            return Ok();
        }
        case kMdArea: {
            auto area = ToInt(QueryValue(q, "area"), 1, 4);
            auto word0 = ToInt(QueryValue(q, "word0"), INT32_MIN, INT32_MAX);
            auto enable = ToInt(QueryValue(q, "enable"), 0, 1);
            auto sens = ToInt(QueryValue(q, "sensitivity"), 1, 100);
            auto x = ToInt(QueryValue(q, "x"), 0, 65535), y = ToInt(QueryValue(q, "y"), 0, 65535);
            auto w = ToInt(QueryValue(q, "w"), 0, 65535), h = ToInt(QueryValue(q, "h"), 0, 65535);
            if (!area || !word0 || !enable || !sens || !x || !y || !w || !h)
                return Fail(400, "area 1-4, enable 0-1, sensitivity 1-100, x y w h 0-65535 required");
            const int64_t values[] = {*word0, *enable, *sens, *x, *y, *w, *h};
            for (size_t i = 0; i < std::size(kMdFields); ++i)
                state_.Set(MdKey(int(*area), kMdFields[i]), std::to_string(values[i]));
            return Ok();
        }
        case kRestart:
        case kFactory: {
            bool factory = *code == kFactory;
            const char* counter = factory ? "emu.sdk.factoryresets" : "emu.sdk.restarts";
            state_.Set(counter, std::to_string(state_.GetInt(counter, 0) + 1));
            if (factory) FactoryReset();
            ReplyPlan p = Ok();
            // The camera goes down right after answering, as a real one does.
            p.keepOpen = false;
            p.bytes.replace(p.bytes.find("Connection: keep-alive"), 22, "Connection: close");
            p.afterSent = std::move(restart);
            return p;
        }
        case kCapability:
        case kDevType: return Fail(400, "configuration code " + std::to_string(*code) + " is read-only");
        default: return Fail(400, "unknown configuration code " + std::to_string(*code));
    }
}

void SdkService::FactoryReset() {
    std::vector<std::pair<std::string, std::string>> keep;
    for (const auto& [k, v] : state_.Snapshot()) {
        bool identity = k.rfind("emu.", 0) == 0;
        for (const char* key : kIdentityKeys) identity = identity || k == key;
        if (identity) keep.emplace_back(k, v);
        state_.Erase(k);
    }
    LoadDefaultProfile(state_);
    for (auto& [k, v] : keep) state_.Set(k, std::move(v));
}

ReplyPlan SdkService::Ptz(const Query& q, bool preset) {
    auto cmd = ToInt(QueryValue(q, "cmd"), 0, INT32_MAX);
    if (!cmd) return Fail(400, "missing or bad cmd");
    auto record = [&](const char* func, int64_t speed) {
        state_.Set("sdk.ptz.last.func", func);
        state_.Set("sdk.ptz.last.cmd", std::to_string(*cmd));
        state_.Set("sdk.ptz.last.speed", std::to_string(speed));
        state_.Set("sdk.ptz.count", std::to_string(state_.GetInt("sdk.ptz.count", 0) + 1));
    };
    int pan = state_.GetInt("sdk.ptz.pan", 0), tilt = state_.GetInt("sdk.ptz.tilt", 0);
    int zoom = state_.GetInt("sdk.ptz.zoom", 1), focus = state_.GetInt("sdk.ptz.focus", 50);
    auto store = [&] {
        state_.Set("sdk.ptz.pan", std::to_string(pan));
        state_.Set("sdk.ptz.tilt", std::to_string(tilt));
        state_.Set("sdk.ptz.zoom", std::to_string(zoom));
        state_.Set("sdk.ptz.focus", std::to_string(focus));
    };

    if (preset) {
        auto index = ToInt(QueryValue(q, "index"), 0, 254);
        if (!index) return Fail(400, "index must be 0 to 254");
        std::string key = "sdk.preset." + std::to_string(*index);
        switch (*cmd) {
            case 0x3016:   // set
                state_.Set(key, std::to_string(pan) + "," + std::to_string(tilt) + "," + std::to_string(zoom));
                break;
            case 0x3015: {   // call
                std::string where = state_.Get(key);
                if (where.empty()) return Fail(404, "preset " + std::to_string(*index) + " is not set");
                std::sscanf(where.c_str(), "%d,%d,%d", &pan, &tilt, &zoom);
                state_.Set("sdk.ptz.cruise", "none");
                store();
                break;
            }
            case 0x3017:   // delete
                state_.Erase(key);
                break;
            default: return Fail(400, "unknown preset command " + std::to_string(*cmd));
        }
        record("preset", -1);
        state_.Set("sdk.preset.last", std::to_string(*index));
        return Ok();
    }

    // Without a speed (PTZControlEx) the camera moves at its own default.
    std::optional<int64_t> speed;
    if (QueryValue(q, "speed")) {
        speed = ToInt(QueryValue(q, "speed"), 0, 255);
        if (!speed) return Fail(400, "speed must be 0 to 255");
    }
    int step = 1 + int(speed.value_or(32)) / 8;
    std::string cruise = "none";
    switch (*cmd) {
        case 0x3001: tilt = std::min(90, tilt + step); break;
        case 0x3002: tilt = std::max(-30, tilt - step); break;
        case 0x3003: pan = ((pan - step) % 360 + 360) % 360; break;
        case 0x3004: pan = (pan + step) % 360; break;
        case 0x3005: zoom = std::min(20, zoom + 1); break;
        case 0x3006: zoom = std::max(1, zoom - 1); break;
        case 0x3007: focus = std::min(100, focus + 1); break;
        case 0x3008: focus = std::max(0, focus - 1); break;
        case 0x3027: pan = tilt = 0; break;   // home
        case 0x3028: cruise = "vertical"; break;
        case 0x3029: cruise = "horizontal"; break;
        default: return Fail(400, "unknown PTZ command " + std::to_string(*cmd));
    }
    store();
    state_.Set("sdk.ptz.cruise", cruise);
    record(speed ? "ptz" : "ptzex", speed.value_or(-1));
    return Ok(Field("pan", std::to_string(pan)) + Field("tilt", std::to_string(tilt)));
}

// ---- talk -----------------------------------------------------------------------

ReplyPlan SdkService::TalkControl(const Query& q) {
    std::string op = QueryValue(q, "op").value_or("");
    if (op == "open") {
        std::lock_guard<std::mutex> lock(mutex_);
        // The newest talker takes the loudspeaker over; a client that
        // vanished without closing never locks it.
        int64_t id = talkId_ = nextTalkId_++;
        talk_.clear();
        state_.Set("sdk.talk.open", "1");
        state_.Set("sdk.talk.frames", "0");
        state_.Set("sdk.talk.bytes", "0");
        state_.Set("sdk.talk.dropped", "0");
        state_.Set("sdk.talk.sessions", std::to_string(state_.GetInt("sdk.talk.sessions", 0) + 1));
        return Ok(Field("id", std::to_string(id)));
    }
    if (op == "close") {
        auto id = ToInt(QueryValue(q, "id"), 1, INT64_MAX / 2);
        if (!id) return Fail(400, "missing id");
        std::lock_guard<std::mutex> lock(mutex_);
        if (*id != talkId_) return Fail(409, "not the open talk session");
        talkId_ = 0;
        state_.Set("sdk.talk.open", "0");
        return Ok();
    }
    return Fail(400, "op must be open or close");
}

class SdkService::TalkSink : public BodySink {
public:
    TalkSink(SdkService& svc, int64_t id) : svc_(svc), id_(id) {}
    void Feed(std::string_view data) override { body_.append(data); }
    Action Finish(bool complete) override {
        if (!complete) return Action::Reply(Fail(400, "truncated talk data"));
        if (!svc_.AcceptTalk(id_, body_)) return Action::Reply(Fail(409, "talk session closed or data malformed"));
        return Action::Reply(Ok());
    }

private:
    SdkService& svc_;
    int64_t id_;
    std::string body_;
};

Action SdkService::TalkData(const RequestHead& head, const Query& q) {
    auto id = ToInt(QueryValue(q, "id"), 1, INT64_MAX / 2);
    if (!id) return Action::Reply(Fail(400, "missing id"));
    if (head.Header("Transfer-Encoding")) return Action::Reply(Fail(501, "chunked bodies are not supported"));
    const std::string* cl = head.Header("Content-Length");
    auto len = cl ? ParseContentLength(*cl, kMaxTalkBody) : std::nullopt;
    if (!len) return Action::Reply(Fail(411, "Content-Length up to 1 MiB required"));
    return Action::Body(std::make_unique<TalkSink>(*this, *id), *len, false);
}

bool SdkService::AcceptTalk(int64_t id, std::string_view body) {
    // Frames: two-byte big-endian length, then that many bytes.
    std::vector<std::string_view> frames;
    while (!body.empty()) {
        if (body.size() < 2) return false;
        size_t n = size_t(uint8_t(body[0])) << 8 | uint8_t(body[1]);
        if (n == 0 || body.size() - 2 < n) return false;
        frames.push_back(body.substr(2, n));
        body.remove_prefix(2 + n);
    }
    size_t dropped = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (id != talkId_) return false;
        for (auto f : frames) {
            size_t room = kMaxTalkBytes - std::min(kMaxTalkBytes, talk_.size());
            talk_.append(f.substr(0, room));
            dropped += f.size() - std::min(room, f.size());
        }
        state_.Set("sdk.talk.frames", std::to_string(state_.GetInt("sdk.talk.frames", 0) + int(frames.size())));
        state_.Set("sdk.talk.bytes", std::to_string(int64_t(talk_.size())));
        if (dropped)
            state_.Set("sdk.talk.dropped", std::to_string(state_.GetInt("sdk.talk.dropped", 0) + int(dropped)));
    }
    return true;
}

std::string SdkService::TalkReceived() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return talk_;
}

// ---- detection events -------------------------------------------------------------

int64_t SdkService::EmitBoxes(int32_t type, const std::vector<int32_t>& records) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(Event{++lastSeq_, type, records});
    while (events_.size() > kEventBacklog) events_.pop_front();
    cv_.notify_all();
    return lastSeq_;
}

ReplyPlan SdkService::EmitRoute(const Query& q) {
    auto type = ToInt(QueryValue(q, "type"), 0, 255);
    if (!type) return Fail(400, "type must be 0 to 255");
    std::vector<int32_t> records;
    if (!ParseBoxes(QueryValue(q, "boxes").value_or(""), &records))
        return Fail(400, "boxes: up to 64 of n,x,y,w,h separated by ';'");
    int64_t seq = EmitBoxes(int32_t(*type), records);
    return Ok(Field("seq", std::to_string(seq)));
}

ReplyPlan SdkService::Events(const Query& q) {
    auto waitMs = ToInt(QueryValue(q, "wait"), 0, INT32_MAX).value_or(0);
    waitMs = std::min<int64_t>(waitMs, kMaxEventWaitMs);
    std::optional<int64_t> since;
    if (QueryValue(q, "since")) {
        since = ToInt(QueryValue(q, "since"), 0, INT64_MAX / 2);
        if (!since) return Fail(400, "bad since");
    }
    std::string out;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        // No since, or one from before a restart of the numbering: start from now.
        if (!since || *since > lastSeq_) since = lastSeq_;
        cv_.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return stopping_ || lastSeq_ > *since; });
        for (const Event& e : events_) {
            if (e.seq <= *since) continue;
            std::string boxes;
            for (size_t i = 0; i < e.records.size(); ++i)
                boxes += std::to_string(e.records[i]) + (i + 1 == e.records.size() ? "" : (i % 5 == 4 ? ";" : ","));
            out += "event=" + std::to_string(e.seq) + " " + std::to_string(e.type) + " " + boxes + "\r\n";
        }
        out = "next=" + std::to_string(lastSeq_) + "\r\n" + out;
    }
    return Reply(200, out);
}

}   // namespace emu
