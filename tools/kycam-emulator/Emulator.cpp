#include "tools/kycam-emulator/Emulator.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sstream>

#include "tools/kycam-emulator/CgiCommands.h"
#include "tools/kycam-emulator/DiscoveryResponder.h"
#include "tools/kycam-emulator/RtspServer.h"

namespace emu {

namespace {

constexpr uint64_t kMaxUploadBytes = 1ull << 30;
constexpr size_t kOversizeBytes = 12288;   // above every exchange buffer of the tool
constexpr size_t kCgiLogSize = 64;         // param.cgi queries kept for /emu/requests

bool IEquals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool ParseInt(const std::string& s, int lo, int hi, int* out) {
    if (s.empty() || s.size() > 10) return false;
    long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < lo || v > hi) return false;
    *out = int(v);
    return true;
}

std::string LocalTimeText() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

std::string TodayFolder() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[16];
    std::strftime(buf, sizeof buf, "%Y%m%d", &tm);
    return buf;
}

std::string EscapeStateText(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string HtmlEscape(std::string_view s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

ReplyPlan Plain(int status, const std::string& body) { return MakeReply(status, "text/plain", body, FaultSet{}); }

}   // namespace

// ---- options ----------------------------------------------------------------

std::string UsageText() {
    return "usage: kycam-emulator [--bind ADDR] [--http-port N] [--rtsp-port N] [--cameras N]\n"
           "                      [--user U] [--password P] [--state FILE] [--fault NAME[=N]]...\n"
           "                      [--no-rtsp] [--warm-media] [--no-discovery] [--sd-delay-ms N]\n"
           "                      [--restart-ms N]\n"
           "                      [--upgrade-version TEXT] [--sd-cache DIR] [--quiet]\n"
           "       kycam-emulator --help | --version\n"
           "Prints one line \"READY http=... rtsp=... cameras=N\" once listening; runs until\n"
           "SIGINT or SIGTERM. See docs/emulator.md.\n";
}

bool ParseOptions(int argc, const char* const* argv, Options* out, std::string* error, bool* help) {
    Options o;
    *help = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.erase(eq);
            hasValue = true;
        }
        auto need = [&](std::string* v) {
            if (hasValue) {
                *v = value;
                return true;
            }
            if (i + 1 >= argc) {
                *error = arg + " needs a value";
                return false;
            }
            *v = argv[++i];
            return true;
        };
        auto needInt = [&](int lo, int hi, int* v) {
            std::string s;
            if (!need(&s)) return false;
            if (!ParseInt(s, lo, hi, v)) {
                *error = arg + ": expected a number from " + std::to_string(lo) + " to " + std::to_string(hi) +
                         ", got \"" + s + "\"";
                return false;
            }
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            *help = true;
            return true;
        } else if (arg == "--bind") {
            if (!need(&o.bind)) return false;
        } else if (arg == "--http-port") {
            if (!needInt(0, 65535, &o.httpPort)) return false;
        } else if (arg == "--rtsp-port") {
            if (!needInt(0, 65535, &o.rtspPort)) return false;
        } else if (arg == "--cameras") {
            if (!needInt(1, 5000, &o.cameras)) return false;
        } else if (arg == "--user") {
            if (!need(&o.user)) return false;
            o.userGiven = true;
        } else if (arg == "--password") {
            if (!need(&o.password)) return false;
            o.passwordGiven = true;
        } else if (arg == "--state") {
            if (!need(&o.stateFile)) return false;
        } else if (arg == "--fault") {
            std::string f;
            if (!need(&f)) return false;
            FaultKind k;
            int n;
            if (!ParseFault(f, &k, &n)) {
                *error = "unknown fault mode \"" + f + "\"";
                return false;
            }
            o.faults.push_back(f);
        } else if (arg == "--no-rtsp" && !hasValue) {
            o.rtsp = false;
        } else if (arg == "--warm-media" && !hasValue) {
            o.warmMedia = true;
        } else if (arg == "--no-discovery" && !hasValue) {
            o.discovery = false;
        } else if (arg == "--sd-delay-ms") {
            if (!needInt(0, 3600000, &o.sdDelayMs)) return false;
        } else if (arg == "--restart-ms") {
            if (!needInt(0, 3600000, &o.restartMs)) return false;
        } else if (arg == "--upgrade-version") {
            if (!need(&o.upgradeVersion)) return false;
        } else if (arg == "--sd-cache") {
            if (!need(&o.sdCacheDir)) return false;
        } else if (arg == "--quiet" && !hasValue) {
            o.quiet = true;
        } else {
            *error = "unknown option \"" + std::string(argv[i]) + "\"";
            return false;
        }
    }
    if (o.httpPort != 0 && o.httpPort + o.cameras - 1 > 65535) {
        *error = "--http-port plus --cameras exceeds 65535";
        return false;
    }
    if (o.rtsp && o.rtspPort != 0 && o.rtspPort + o.cameras - 1 > 65535) {
        *error = "--rtsp-port plus --cameras exceeds 65535";
        return false;
    }
    *out = std::move(o);
    return true;
}

// ---- faults -----------------------------------------------------------------

namespace {
struct FaultNameEntry {
    const char* name;
    FaultKind kind;
};
constexpr FaultNameEntry kFaultNames[] = {
    {"keepalive-cl", FaultKind::KeepAliveCl},
    {"keepalive-nocl", FaultKind::KeepAliveNoCl},
    {"slow", FaultKind::Slow},
    {"silent", FaultKind::Silent},
    {"close-mid", FaultKind::CloseMid},
    {"no-200", FaultKind::No200},
    {"error", FaultKind::Error},
    {"ctype-blank", FaultKind::CtypeBlank},
    {"oversize", FaultKind::Oversize},
    {"drop-first", FaultKind::DropFirst},
    {"refuse-upload", FaultKind::RefuseUpload},
};
}   // namespace

bool ParseFault(const std::string& text, FaultKind* kind, int* count) {
    std::string name = text;
    *count = -1;
    if (size_t eq = text.find('='); eq != std::string::npos) {
        name = text.substr(0, eq);
        if (!ParseInt(text.substr(eq + 1), 1, 1000000000, count)) return false;
    }
    for (const auto& e : kFaultNames) {
        if (name == e.name) {
            *kind = e.kind;
            if (*count < 0 && (e.kind == FaultKind::DropFirst || e.kind == FaultKind::RefuseUpload)) *count = 1;
            return true;
        }
    }
    return false;
}

const char* FaultName(FaultKind k) {
    for (const auto& e : kFaultNames)
        if (e.kind == k) return e.name;
    return "?";
}

const char* StatusReason(int status) {
    switch (status) {
        case 200: return "OK";
        case 206: return "Partial Content";
        case 400: return "Bad Request";
        case 401: return "Unauthorized";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        case 408: return "Request Timeout";
        case 409: return "Conflict";
        case 411: return "Length Required";
        case 413: return "Payload Too Large";
        case 414: return "URI Too Long";
        case 416: return "Range Not Satisfiable";
        case 431: return "Request Header Fields Too Large";
        case 500: return "Internal Server Error";
        case 501: return "Not Implemented";
        case 503: return "Service Unavailable";
        case 505: return "HTTP Version Not Supported";
        default: return "Error";
    }
}

ReplyPlan MakeReply(int status, const std::string& contentType, const std::string& body, const FaultSet& f,
                    const std::string& extraHeaders, bool headOnly) {
    std::string b = body;
    if (f.error) b += "[Error] emulated fault\r\n";
    for (int i = 0; f.oversize && b.size() < kOversizeBytes; ++i)
        b += "var emu_pad" + std::to_string(i) + "=\"" + std::string(100, 'x') + "\";\r\n";
    if (f.no200 && status == 200) status = 503;

    std::string out;
    out.reserve(b.size() + 256);
    out += "HTTP/1.1 " + std::to_string(status) + " " + StatusReason(status) + "\r\n";
    out += "Server: kycam-emulator\r\n";
    out += f.ctypeBlank ? "Content-Type: " : "Content-Type:";
    out += contentType + "\r\n";
    if (!f.keepAliveNoCl) out += "Content-Length: " + std::to_string(b.size()) + "\r\n";
    bool keep = f.keepAliveCl || f.keepAliveNoCl;
    out += keep ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    out += extraHeaders;
    out += "\r\n";
    if (!headOnly) out += b;

    ReplyPlan plan;
    plan.bytes = std::move(out);
    plan.keepOpen = keep;
    plan.silent = f.silent;
    plan.byteDelayMs = f.slow ? 1 : 0;
    if (f.closeMid) plan.cutAt = plan.bytes.size() / 2;
    return plan;
}

// ---- upload -----------------------------------------------------------------

class UploadSink : public BodySink {
public:
    UploadSink(Camera& cam, std::string boundary, FaultSet f, std::string query, uint64_t length)
        : cam_(cam), reader_(std::move(boundary)), faults_(f), query_(std::move(query)), length_(length) {}

    void Feed(std::string_view data) override {
        received_ += data.size();
        reader_.Feed(data);
    }

    Action Finish(bool complete) override {
        auto refuse = [this](int status, const std::string& why) {
            cam_.AppendLog("upgrade refused: " + why);
            return Action::Reply(MakeReply(status, "text/html", why + "\r\n", faults_));
        };
        if (!complete)
            return refuse(
                400, "truncated upload: " + std::to_string(received_) + " of " + std::to_string(length_) + " bytes");
        if (reader_.Failed()) return refuse(400, "malformed multipart body: " + reader_.Error());
        if (!reader_.Complete()) return refuse(400, "multipart body without closing boundary");
        const MultipartReader::Part* file = nullptr;
        for (const auto& p : reader_.Parts())
            if (p.name == "setting_file" && p.complete) file = &p;
        if (!file) return refuse(400, "no setting_file part");
        if (cam_.TakeFault(FaultKind::RefuseUpload)) return refuse(500, "upgrade refused (fault mode)");

        std::string version = cam_.emu_.Opts().upgradeVersion;
        if (version.empty()) version = cam_.nextUpgradeVersion_;
        if (version.empty()) version = VersionFromPackageName(file->filename);
        if (version.empty()) {
            auto q = ParseQuery(query_);
            if (auto fn = QueryValue(q, "-filename")) version = VersionFromPackageName(*fn);
        }
        if (version.empty()) version = BumpVersion(cam_.state_.Get("softVersion"));

        char hash[17];
        std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(file->fnv1a));
        CameraState& st = cam_.state_;
        st.Set("emu.upgrade.file", UrlDecode(file->filename));
        st.Set("emu.upgrade.size", std::to_string(file->size));
        st.Set("emu.upgrade.fnv1a", hash);
        st.Set("emu.upgrade.count", std::to_string(st.GetInt("emu.upgrade.count", 0) + 1));
        cam_.AppendLog("upgrade package " + UrlDecode(file->filename) + " (" + std::to_string(file->size) +
                       " bytes) accepted; restarting as " + version);

        ReplyPlan plan = MakeReply(200, "text/html", "var upgrade=\"Succeed\";\r\n", faults_);
        Camera* cam = &cam_;
        int ms = cam_.emu_.Opts().restartMs;
        plan.afterSent = [cam, ms, version] { cam->BeginRestart(ms, version); };
        return Action::Reply(std::move(plan));
    }

private:
    Camera& cam_;
    MultipartReader reader_;
    FaultSet faults_;
    std::string query_;
    uint64_t length_;
    uint64_t received_ = 0;
};

// ---- camera -----------------------------------------------------------------

Camera::Camera(Emulator& emu, int index) : emu_(emu), index_(index) {}

Camera::~Camera() { StopServices(); }

void Camera::AddFault(FaultKind k, int count) {
    for (auto& f : faults_) {
        if (f.kind == k) {
            f.remaining = count;
            return;
        }
    }
    faults_.push_back(Fault{k, count});
}

void Camera::ClearFaults() { faults_.clear(); }

std::string Camera::FaultsText() const {
    std::string out;
    for (const auto& f : faults_) {
        out += FaultName(f.kind);
        if (f.remaining >= 0) out += "=" + std::to_string(f.remaining);
        out += "\n";
    }
    return out;
}

bool Camera::TakeFault(FaultKind k) {
    for (size_t i = 0; i < faults_.size(); ++i) {
        if (faults_[i].kind != k) continue;
        if (faults_[i].remaining > 0 && --faults_[i].remaining == 0) faults_.erase(faults_.begin() + long(i));
        return true;
    }
    return false;
}

FaultSet Camera::TakeFaults() {
    FaultSet s;
    if (faults_.empty()) return s;
    s.keepAliveCl = TakeFault(FaultKind::KeepAliveCl);
    s.keepAliveNoCl = TakeFault(FaultKind::KeepAliveNoCl);
    s.slow = TakeFault(FaultKind::Slow);
    s.silent = TakeFault(FaultKind::Silent);
    s.closeMid = TakeFault(FaultKind::CloseMid);
    s.no200 = TakeFault(FaultKind::No200);
    s.error = TakeFault(FaultKind::Error);
    s.ctypeBlank = TakeFault(FaultKind::CtypeBlank);
    s.oversize = TakeFault(FaultKind::Oversize);
    return s;
}

bool Camera::OnAccept() { return !TakeFault(FaultKind::DropFirst); }

ReplyPlan Camera::OnBadRequest(int status) {
    return MakeReply(status, "text/html", std::string(StatusReason(status)) + "\r\n", FaultSet{});
}

void Camera::AppendLog(const std::string& line) {
    // Read-modify-write of one key; concurrent appends may interleave lines
    // but never lose the state's consistency.
    std::string log = state_.Get("emu.syslog");
    if (!log.empty() && log.back() != '\n') log += '\n';
    log += LocalTimeText() + " " + line + "\n";
    constexpr size_t kMaxLog = 256 * 1024;   // keep the newest lines
    if (log.size() > kMaxLog) {
        size_t cut = log.find('\n', log.size() - kMaxLog);
        log.erase(0, cut == std::string::npos ? log.size() - kMaxLog : cut + 1);
    }
    state_.Set("emu.syslog", std::move(log));
}

Action Camera::OnRequest(const RequestHead& head) {
    if (!CheckBasicAuth(head.Header("Authorization"), state_.Get("emu.user"), state_.Get("emu.password"))) {
        return Action::Reply(MakeReply(401, "text/html", "401 Unauthorized\r\n", FaultSet{},
                                       "WWW-Authenticate: Basic realm=\"ky7200\"\r\n"));
    }
    const std::string& p = head.path;
    if (p.rfind("/emu/", 0) == 0) return ControlRequest(head);
    if (SdkService::Owns(p)) {
        Action a = sdk_.Handle(head, [this] { BeginRestart(emu_.Opts().restartMs, ""); });
        // The SDK's login and configuration requests meet a slow or silent
        // camera too; the routes that drive the emulator itself do not.
        if (a.kind == Action::Kind::Reply && p != "/sdk/emit-boxes" && p != "/sdk/talk-received") {
            if (TakeFault(FaultKind::Slow)) a.reply.byteDelayMs = 1;
            if (TakeFault(FaultKind::Silent)) a.reply.silent = true;
        }
        return a;
    }

    FaultSet f = TakeFaults();
    bool isGet = head.method == "GET";
    auto notAllowed = [&](const char* allow) {
        return Action::Reply(
            MakeReply(405, "text/html", "Method Not Allowed\r\n", f, std::string("Allow: ") + allow + "\r\n"));
    };

    if (p == "/cgi-bin/ky7200/param.cgi" || p == "/web/cgi-bin/ky7200/param.cgi") {
        if (!isGet) return notAllowed("GET");
        bool isSet = head.query.find("cmd=set") != std::string::npos;
        cgiLog_.push_back(head.query);
        if (cgiLog_.size() > kCgiLogSize) cgiLog_.pop_front();
        return Action::Async([this, q = head.query, f, isSet] {
            CgiReply r = HandleParamCgi(state_, q);
            if (isSet && r.status == 200) RefreshServices();
            return MakeReply(r.status, "text/html", r.body, f);
        });
    }
    if (p == "/cgi-bin/ky7200/getvencattr.cgi" || p == "/web/cgi-bin/ky7200/getvencattr.cgi") {
        if (!isGet) return notAllowed("GET");
        return Action::Async([this, q = head.query, f] {
            CgiReply r = HandleVencAttrCgi(state_, q);
            return MakeReply(r.status, "text/html", r.body, f);
        });
    }
    if (p == "/web/cgi-bin/ky7200/upgrade.cgi" || p == "/cgi-bin/ky7200/upgrade.cgi") return UploadRequest(head, f);
    if (p == "/sd" || p.rfind("/sd/", 0) == 0) return SdRequest(head, f);
    if (p == "/log/syslog.txt") {
        if (!isGet && head.method != "HEAD") return notAllowed("GET, HEAD");
        return Action::Reply(
            MakeReply(200, "text/plain; charset=utf-8", state_.Get("emu.syslog"), f, {}, head.method == "HEAD"));
    }
    return Action::Reply(MakeReply(404, "text/html", "Not Found\r\n", f));
}

Action Camera::UploadRequest(const RequestHead& head, const FaultSet& f) {
    auto fail = [&](int status, const std::string& why, const std::string& extra = {}) {
        AppendLog("upgrade refused: " + why);
        return Action::Reply(MakeReply(status, "text/html", why + "\r\n", f, extra));
    };
    if (head.method != "POST") return fail(405, "upgrade needs POST", "Allow: POST\r\n");
    if (head.Header("Transfer-Encoding")) return fail(501, "chunked uploads are not supported");
    const std::string* cl = head.Header("Content-Length");
    if (!cl) return fail(411, "upload without Content-Length");
    auto len = ParseContentLength(*cl, kMaxUploadBytes);
    if (!len) return fail(413, "bad or too large Content-Length");
    const std::string* ct = head.Header("Content-Type");
    std::string boundary = ct ? MultipartBoundary(*ct) : std::string();
    if (boundary.empty()) return fail(400, "expected multipart/form-data with a boundary");
    const std::string* expect = head.Header("Expect");
    bool cont = expect && IEquals(*expect, "100-continue");
    return Action::Body(std::make_unique<UploadSink>(*this, boundary, f, head.query, *len), *len, cont);
}

Action Camera::SdRequest(const RequestHead& head, const FaultSet& f) {
    bool headOnly = head.method == "HEAD";
    if (head.method != "GET" && !headOnly)
        return Action::Reply(MakeReply(405, "text/html", "Method Not Allowed\r\n", f, "Allow: GET, HEAD\r\n"));
    std::string rel = head.path.size() > 4 ? UrlDecode(head.path.substr(4)) : std::string();
    const std::string* rangeHeader = head.Header("Range");
    std::string range = rangeHeader ? *rangeHeader : std::string();
    return Action::Async([this, rel, range, headOnly, f]() -> ReplyPlan {
        if (IEquals(state_.Get("sdstatus"), "out"))
            return MakeReply(404, "text/html", "No SD card\r\n", f, {}, headOnly);
        if (rel.find("..") != std::string::npos || rel.find('\0') != std::string::npos)
            return MakeReply(404, "text/html", "Not Found\r\n", f, {}, headOnly);
        std::vector<SdFile> files = emu_.Sd().Files(30000);
        // A formatted card (free space back to the total) holds no recordings.
        std::string freeSpace = state_.Get("sdfreespace"), total = state_.Get("sdtotalspace");
        if (!total.empty() && freeSpace == total) files.clear();

        if (rel.empty() || rel.back() == '/') {
            std::vector<std::pair<std::string, std::string>> entries;   // name, size text
            for (const auto& sf : files) {
                if (sf.path.compare(0, rel.size(), rel) != 0) continue;
                std::string rest = sf.path.substr(rel.size());
                size_t slash = rest.find('/');
                std::string name = slash == std::string::npos ? rest : rest.substr(0, slash + 1);
                std::string size = slash == std::string::npos ? std::to_string(sf.data->size()) : "-";
                bool dup = false;
                for (auto& e : entries) dup = dup || e.first == name;
                if (!dup) entries.emplace_back(name, size);
            }
            if (entries.empty() && !rel.empty()) return MakeReply(404, "text/html", "Not Found\r\n", f, {}, headOnly);
            std::string title = "Index of /sd/" + HtmlEscape(rel);
            std::string html =
                "<html><head><title>" + title + "</title></head>\r\n<body><h1>" + title + "</h1>\r\n<pre>\r\n";
            if (!rel.empty()) html += "<a href=\"../\">../</a>\r\n";
            for (const auto& [name, size] : entries)
                html += "<a href=\"/sd/" + HtmlEscape(rel + name) + "\">" + HtmlEscape(name) + "</a> " + size + "\r\n";
            html += "</pre>\r\n</body></html>\r\n";
            return MakeReply(200, "text/html", html, f, {}, headOnly);
        }
        for (const auto& sf : files) {
            if (sf.path != rel) continue;
            const std::string& data = *sf.data;
            if (!range.empty()) {
                bool unsat = false;
                auto r = ParseRange(range, data.size(), &unsat);
                if (unsat)
                    return MakeReply(416, "text/html", "Range Not Satisfiable\r\n", f,
                                     "Content-Range: bytes */" + std::to_string(data.size()) + "\r\n", headOnly);
                if (r) {
                    std::string cr = "Content-Range: bytes " + std::to_string(r->first) + "-" +
                                     std::to_string(r->second) + "/" + std::to_string(data.size()) +
                                     "\r\nAccept-Ranges: bytes\r\n";
                    return MakeReply(206, sf.mime, data.substr(r->first, r->second - r->first + 1), f, cr, headOnly);
                }
            }
            return MakeReply(200, sf.mime, data, f, "Accept-Ranges: bytes\r\n", headOnly);
        }
        return MakeReply(404, "text/html", "Not Found\r\n", f, {}, headOnly);
    });
}

Action Camera::ControlRequest(const RequestHead& head) {
    auto q = ParseQuery(head.query);
    std::string what = head.path.substr(5);
    if (head.method != "GET") return Action::Reply(Plain(405, "control requests use GET\n"));

    if (what == "state") {
        std::string out;
        for (const auto& [k, v] : state_.Snapshot()) out += EscapeStateText(k) + "=" + EscapeStateText(v) + "\n";
        return Action::Reply(Plain(200, out));
    }
    if (what == "get") {
        auto key = QueryValue(q, "key");
        if (!key || !state_.Has(*key)) return Action::Reply(Plain(404, "no such key\n"));
        return Action::Reply(Plain(200, state_.Get(*key)));
    }
    if (what == "set") {
        auto key = QueryValue(q, "key");
        auto value = QueryValue(q, "value");
        if (!key || key->empty() || !value) return Action::Reply(Plain(400, "need key and value\n"));
        state_.Set(*key, *value);
        RefreshServices();
        return Action::Reply(Plain(200, "OK\n"));
    }
    if (what == "save") {
        if (stateFile_.empty()) return Action::Reply(Plain(409, "no state file (start with --state FILE)\n"));
        std::string err;
        if (!SaveState(&err)) return Action::Reply(Plain(500, err + "\n"));
        return Action::Reply(Plain(200, "saved " + stateFile_ + "\n"));
    }
    if (what == "fault") {
        auto name = QueryValue(q, "name");
        if (!name) return Action::Reply(Plain(400, "need name\n"));
        if (*name == "none" || *name == "clear") {
            ClearFaults();
            return Action::Reply(Plain(200, FaultsText()));
        }
        std::string spec = *name;
        if (auto count = QueryValue(q, "count"); count && *count != "0") spec += "=" + *count;
        FaultKind k;
        int n;
        if (!ParseFault(spec, &k, &n)) return Action::Reply(Plain(400, "unknown fault " + spec + "\n"));
        AddFault(k, n);
        return Action::Reply(Plain(200, FaultsText()));
    }
    if (what == "faults") return Action::Reply(Plain(200, FaultsText()));
    if (what == "requests") {
        std::string out;
        for (const std::string& query : cgiLog_) out += query + "\n";
        if (QueryValue(q, "clear")) cgiLog_.clear();
        return Action::Reply(Plain(200, out));
    }
    if (what == "rtsp-clients") return Action::Reply(Plain(200, std::to_string(rtsp_ ? rtsp_->Clients() : 0) + "\n"));
    if (what == "restart") {
        int ms = emu_.Opts().restartMs;
        if (auto v = QueryValue(q, "ms"); v && !ParseInt(*v, 0, 3600000, &ms))
            return Action::Reply(Plain(400, "bad ms\n"));
        std::string version = QueryValue(q, "version").value_or("");
        ReplyPlan plan = Plain(200, "restarting\n");
        plan.afterSent = [this, ms, version] { BeginRestart(ms, version); };
        return Action::Reply(std::move(plan));
    }
    if (what == "upgrade-version") {
        nextUpgradeVersion_ = QueryValue(q, "v").value_or("");
        return Action::Reply(Plain(200, "OK\n"));
    }
    return Action::Reply(Plain(404, "unknown control request\n"));
}

bool Camera::SaveState(std::string* error) {
    if (stateFile_.empty()) return true;
    return state_.SaveFile(stateFile_, error);
}

void Camera::BeginRestart(int ms, const std::string& newVersion) {
    if (!up_) return;
    up_ = false;
    AppendLog("system restarting");
    emu_.Server().CloseSite(this);
    StopServices();
    emu_.Server().PostDelayed(ms, [this, newVersion] { ComeBack(newVersion, 0); });
}

void Camera::ComeBack(const std::string& newVersion, int attempt) {
    std::string err;
    int port = emu_.Server().Listen(this, emu_.Opts().bind, httpPort_, &err);
    if (port < 0) {
        // The port may still be held for a moment; keep trying for a while.
        if (attempt < 100)
            emu_.Server().PostDelayed(100, [this, newVersion, attempt] { ComeBack(newVersion, attempt + 1); });
        else
            std::fprintf(stderr, "kycam-emulator: camera %d cannot listen again: %s\n", index_, err.c_str());
        return;
    }
    if (!newVersion.empty()) state_.Set("softVersion", newVersion);
    AppendLog("system started, version " + state_.Get("softVersion"));
    StartServices();
    up_ = true;
}

void Camera::RefreshServices() {
    if (discovery_ && discovery_->IsRunning()) {
        DeviceInfo info{};
        using ky::search::SetText;
        SetText(info.deviceId, state_.Get("name"));
        SetText(info.version, state_.Get("softVersion"));
        SetText(info.deviceName, state_.Get("emu.devicename", state_.Get("name")));
        SetText(info.deviceType, state_.Get("devtype"));
        SetText(info.httpPort, std::to_string(httpPort_));
        SetText(info.ip, state_.Get("ip"));
        SetText(info.mac, state_.Get("macaddress"));
        SetText(info.uuid, state_.Get("emu.uuid"));
        info.family = state_.GetInt("emu.family", 0);
        discovery_->SetDeviceInfo(info);
    }
    if (rtsp_ && rtsp_->IsRunning()) rtsp_->SetCredentials(state_.Get("emu.user"), state_.Get("emu.password"));
}

void Camera::StartServices() {
    const Options& o = emu_.Opts();
    if (rtsp_) {
        int port = rtspPort_ ? rtspPort_ : (o.rtspPort ? o.rtspPort + index_ : 0);
        std::string err;
        if (rtsp_->Start(o.bind, port, DefaultMainStream(), DefaultSubStream(), state_.Get("emu.user"),
                         state_.Get("emu.password"), state_.Get("name"), &err)) {
            rtspPort_ = rtsp_->Port();
            state_.Set("rtspport", std::to_string(rtspPort_));
        } else {
            std::fprintf(stderr, "kycam-emulator: camera %d: RTSP: %s\n", index_, err.c_str());
        }
    }
    if (discovery_) {
        std::string err;
        if (!discovery_->Start(&err))
            std::fprintf(stderr, "kycam-emulator: camera %d: discovery: %s\n", index_, err.c_str());
    }
    RefreshServices();
}

void Camera::RequestStopDiscovery() {
    if (discovery_) discovery_->RequestStop();
}

void Camera::StopServices() {
    if (rtsp_) rtsp_->Stop();
    if (discovery_) discovery_->Stop();
}

// ---- emulator ---------------------------------------------------------------

Emulator::Emulator(Options options) : options_(std::move(options)), server_(options_.http) {}

Emulator::~Emulator() { Stop(); }

bool Emulator::Start(std::string* error) {
    if (started_) return true;
    for (int i = 0; i < options_.cameras; ++i) {
        auto cam = std::make_unique<Camera>(*this, i);
        CameraState& st = cam->state_;
        LoadDefaultProfile(st);
        char text[64];
        std::snprintf(text, sizeof text, "KY7200-EMU-%06d", i + 1);
        st.Set("name", text);
        std::snprintf(text, sizeof text, "02:4B:59:%02X:%02X:%02X", (i >> 16) & 0xff, (i >> 8) & 0xff, i & 0xff);
        st.Set("macaddress", text);
        std::snprintf(text, sizeof text, "6b79656d-0000-4000-8000-%012d", i + 1);
        st.Set("emu.uuid", text);
        st.Set("emu.user", options_.user);
        st.Set("emu.password", options_.password);

        if (!options_.stateFile.empty()) {
            cam->stateFile_ = i == 0 ? options_.stateFile : options_.stateFile + "." + std::to_string(i);
            if (FileExists(cam->stateFile_)) {
                CameraState loaded;
                std::string err;
                if (!loaded.LoadFile(cam->stateFile_, &err)) {
                    if (error) *error = err;
                    return false;
                }
                for (const auto& [k, v] : loaded.Snapshot()) st.Set(k, v);
                if (options_.userGiven) st.Set("emu.user", options_.user);
                if (options_.passwordGiven) st.Set("emu.password", options_.password);
            }
        }
        if (options_.sdDelayMs >= 0) st.Set("emu.sd_delay_ms", std::to_string(options_.sdDelayMs));
        for (const auto& fs : options_.faults) {
            FaultKind k;
            int n;
            if (ParseFault(fs, &k, &n)) cam->AddFault(k, n);
        }
        std::string err;
        int port = server_.Listen(cam.get(), options_.bind, options_.httpPort ? options_.httpPort + i : 0, &err);
        if (port < 0) {
            if (error) *error = "camera " + std::to_string(i) + ": " + err;
            cameras_.push_back(std::move(cam));
            Stop();
            cameras_.clear();
            return false;
        }
        cam->httpPort_ = port;
        // Made here, before any request can run: handlers on worker threads
        // read these pointers, which never change afterwards.
        if (options_.rtsp) {
            cam->rtsp_ = std::make_unique<RtspServer>();
            cam->rtsp_->KeepMediaReady(options_.warmMedia);
        }
        if (options_.discovery) cam->discovery_ = std::make_unique<DiscoveryResponder>();
        st.Set("httpport", std::to_string(port));
        if (options_.bind != "0.0.0.0" && options_.bind.find(':') == std::string::npos) st.Set("ip", options_.bind);
        cameras_.push_back(std::move(cam));
    }
    sd_.Start(options_.sdCacheDir.empty() ? SdMedia::DefaultCacheDir() : options_.sdCacheDir, TodayFolder());
    if (!server_.Start(error)) return false;
    started_ = true;
    for (auto& cam : cameras_) {
        cam->StartServices();
        cam->AppendLog("system started, version " + cam->state_.Get("softVersion"));
        cam->up_ = true;
    }
    return true;
}

void Emulator::Stop() {
    server_.Stop();
    // Every responder first, so 250 cameras stop in one poll tick, not 250.
    for (auto& cam : cameras_) cam->RequestStopDiscovery();
    for (auto& cam : cameras_) cam->StopServices();
    if (started_) {
        for (auto& cam : cameras_) {
            std::string err;
            if (!cam->SaveState(&err)) std::fprintf(stderr, "kycam-emulator: %s\n", err.c_str());
        }
    }
    started_ = false;
}

std::string Emulator::ReadyLine() const {
    std::string http, rtsp;
    for (const auto& cam : cameras_) {
        if (!http.empty()) http += ",";
        http += std::to_string(cam->httpPort_);
        if (options_.rtsp) {
            if (!rtsp.empty()) rtsp += ",";
            rtsp += std::to_string(cam->rtspPort_);
        }
    }
    if (!options_.rtsp) rtsp = "none";
    return "READY http=" + http + " rtsp=" + rtsp + " cameras=" + std::to_string(cameras_.size());
}

}   // namespace emu
