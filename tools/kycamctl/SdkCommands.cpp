#include "tools/kycamctl/SdkCommands.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <istream>
#include <map>
#include <mutex>
#include <ostream>
#include <span>

#include "core/backup/ConfigBackup.h"
#include "core/sdk/KySdk.h"
#include "core/services/StopSignals.h"

namespace ky::ctl {
namespace {

using backup::kMdAreaFields;
using backup::MdAreaField;
using backup::MdAreas;
using backup::SetMdAreaField;

enum Exit { kOk = 0, kRefused = 1, kUsage = 2, kNoConnection = 3 };

// A surface without a window: it only tells when pictures arrive.
class FrameWaiter final : public KySdkSurface {
public:
    void PresentFrame(const uint8_t*, int, int, int, int) override {
        std::lock_guard lock(mutex_);
        ++frames_;
        changed_.notify_all();
    }
    bool WaitFrames(int count, std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return frames_ >= count; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int frames_ = 0;
};

// One SDK login for the life of a command.
class Login {
public:
    explicit Login(const SdkTarget& t) {
        static const int init = KY_SDK_Init();
        (void)init;
        handle_ = KY_SDK_LoginExt(t.host.c_str(), t.user.c_str(), t.password.c_str(), t.port, 5000, &error_);
    }
    ~Login() {
        if (playing_) KY_SDK_StopRealPlay(handle_);
        if (handle_) KY_SDK_Logout(handle_);
    }
    KY_HANDLE Handle() const { return handle_; }
    int ErrorStatus(std::ostream& err, const SdkTarget& t) const {
        err << "kycamctl: login to " << t.host << ":" << t.port << " failed"
            << (error_ == 2 ? " (user name or password)" : "") << "\n";
        return error_ == 1 ? kNoConnection : kRefused;
    }
    // Starts the live stream and waits for a few pictures.
    bool Play(int stream, FrameWaiter& surface, std::ostream& err) {
        const KY_PLAY_INFO play{stream == 1 ? 2 : 1, stream, 0, 7};
        if (KY_SDK_RealPlayExt(handle_, &surface, &play) != 0) {
            err << "kycamctl: the live stream did not start\n";
            return false;
        }
        playing_ = true;
        if (!surface.WaitFrames(3, std::chrono::seconds(10))) {
            err << "kycamctl: no picture from the camera within 10 s\n";
            return false;
        }
        return true;
    }

private:
    KY_HANDLE handle_ = 0;
    int error_ = 0;
    bool playing_ = false;
};

bool ParseNumber(const std::string& s, int& v) {
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return !s.empty() && ec == std::errc() && end == s.data() + s.size();
}

const std::map<std::string, int32_t>& MoveCodes() {
    static const std::map<std::string, int32_t> codes = {
        {"up", KY_PTZ_UP},           {"down", KY_PTZ_DOWN},         {"left", KY_PTZ_LEFT},
        {"right", KY_PTZ_RIGHT},     {"zoomin", KY_PTZ_ZOOMIN},     {"zoomout", KY_PTZ_ZOOMOUT},
        {"focusin", KY_PTZ_FOCUSIN}, {"focusout", KY_PTZ_FOCUSOUT},
    };
    return codes;
}

// md-area get | set N FIELD=VALUE...
int MdAreaCommand(const SdkTarget& t, const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  std::string* usage) {
    const bool get = args.size() == 2 && args[1] == "get";
    int n = 0;
    MdArea change{};
    std::vector<std::string> names;
    if (!get) {
        if (args.size() < 4 || args[1] != "set" || !ParseNumber(args[2], n) || n < 1 || n > 4) {
            *usage = "md-area takes get, or set N FIELD=VALUE... with N 1..4";
            return kUsage;
        }
        for (size_t i = 3; i < args.size(); ++i) {
            const auto eq = args[i].find('=');
            int v = 0;
            const std::string name = args[i].substr(0, eq);
            if (eq == std::string::npos || !ParseNumber(args[i].substr(eq + 1), v)) {
                *usage = "md-area set takes FIELD=NUMBER, not '" + args[i] + "'";
                return kUsage;
            }
            if (const char* refused = SetMdAreaField(change, name, v)) {
                *usage = refused;
                return kUsage;
            }
            names.push_back(name);
        }
    }
    const backup::Camera camera{t.host, t.port, t.user, t.password, 3000, {}};
    MdAreas areas{};
    std::string error;
    backup::Reach reach = backup::ReadMdAreas(camera, areas, &error);
    if (reach == backup::Reach::Ok && !get) {
        for (const std::string& name : names) SetMdAreaField(areas[n - 1], name, MdAreaField(change, name));
        reach = backup::WriteMdAreas(camera, std::span<const MdArea>(&areas[n - 1], 1), &error);
    }
    if (reach != backup::Reach::Ok) {
        err << "kycamctl: " << error << "\n";
        return reach == backup::Reach::NoConnection ? kNoConnection : kRefused;
    }
    for (const MdArea& a : areas) {
        if (!get && a.area != n) continue;
        out << a.area;
        for (const char* f : kMdAreaFields) out << " " << f << "=" << MdAreaField(a, f);
        out << "\n";
    }
    return kOk;
}

}   // namespace

bool IsSdkCommand(const std::string& word) {
    return word == "snapshot" || word == "record" || word == "ptz" || word == "preset" || word == "reboot" ||
           word == "factory-reset" || word == "md-area";
}

namespace {

// Why path cannot be written ("" when it can): its folder is missing, no
// folder, not writable, or the path names a folder or a read-only file.
std::string CannotWrite(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0) return std::strerror(errno);
    if (!S_ISDIR(st.st_mode)) return std::strerror(ENOTDIR);
    if (::access(dir.c_str(), W_OK | X_OK) != 0) return std::strerror(errno);
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
        if (::access(path.c_str(), W_OK) != 0) return std::strerror(errno);
    }
    return {};
}

}   // namespace

int RunSdkCommand(const SdkTarget& t, const std::vector<std::string>& args, bool yes, std::istream& in,
                  std::ostream& out, std::ostream& err, std::string* usage) {
    const std::string& cmd = args[0];
    if (cmd == "md-area") return MdAreaCommand(t, args, out, err, usage);
    auto bad = [&](std::string text) {
        *usage = std::move(text);
        return kUsage;
    };
    // Check the arguments completely before logging in.
    int seconds = 0, speed = 45, preset = 0;
    std::string file;
    int32_t code = 0;
    if (cmd == "snapshot" || cmd == "record") {
        for (size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "--seconds" && i + 1 < args.size()) {
                if (!ParseNumber(args[++i], seconds) || seconds < 1 || seconds > 86400)
                    return bad("--seconds takes 1..86400");
            } else if (file.empty()) {
                file = args[i];
            } else {
                return bad("unexpected '" + args[i] + "'");
            }
        }
        if (file.empty()) return bad(cmd + " takes a FILE");
        if (cmd == "record" && seconds == 0) return bad("record takes --seconds N");
        // A file that cannot be written is told before the camera is asked.
        if (const std::string why = CannotWrite(file); !why.empty()) {
            err << "kycamctl: cannot write " << file << ": " << why << "\n";
            return kUsage;
        }
    } else if (cmd == "ptz") {
        if (args.size() < 2) return bad("ptz takes a direction");
        for (size_t i = 2; i < args.size(); ++i) {
            if (args[i] == "--speed" && i + 1 < args.size()) {
                if (!ParseNumber(args[++i], speed) || speed < 0 || speed > 62) return bad("--speed takes 0..62");
            } else {
                return bad("unexpected '" + args[i] + "'");
            }
        }
        const std::string& dir = args[1];
        if (const auto it = MoveCodes().find(dir); it != MoveCodes().end())
            code = it->second;
        else if (dir == "home")
            code = KY_PTZ_HOME;
        else if (dir == "hcruise")
            code = KY_PTZ_HCRUISE;
        else if (dir == "vcruise")
            code = KY_PTZ_VCRUISE;
        else
            return bad("unknown PTZ command '" + dir + "'");
    } else if (cmd == "preset") {
        if (args.size() != 3) return bad("preset takes set|call|delete N");
        code = args[1] == "set"      ? KY_PRESET_SET
               : args[1] == "call"   ? KY_PRESET_CALL
               : args[1] == "delete" ? KY_PRESET_DELETE
                                     : 0;
        if (code == 0) return bad("preset takes set, call or delete");
        if (!ParseNumber(args[2], preset) || preset < 1 || preset > 255) return bad("Preset position range 1 ~ 255!");
    } else if (cmd == "reboot" || cmd == "factory-reset") {
        if (args.size() != 1) return bad(cmd + " takes no arguments");
        if (!yes) {
            out << (cmd == "reboot" ? "Reboot" : "Restore the factory settings of") << " the camera " << t.host << ":"
                << t.port << "? [y/N] " << std::flush;
            std::string answer;
            std::getline(in, answer);
            if (answer != "y" && answer != "Y" && answer != "yes") {
                err << "kycamctl: cancelled\n";
                return kRefused;
            }
        }
    }

    Login login(t);
    if (login.Handle() == 0) return login.ErrorStatus(err, t);
    const KY_HANDLE h = login.Handle();

    if (cmd == "snapshot" || cmd == "record") {
        FrameWaiter surface;
        if (!login.Play(t.stream, surface, err)) return kRefused;
        if (cmd == "snapshot") {
            if (KY_SDK_CaptureJPEGPicture(h, file.c_str()) < 0) {
                err << "kycamctl: could not write " << file << "\n";
                return kRefused;
            }
            out << file << "\n";
            return kOk;
        }
        // From here a stop signal finishes the file instead of ending the
        // process with the index unwritten.
        const ky::StopSignals stop;
        if (KY_SDK_StartRecord(h, file.c_str(), 4, 0, 0) != 0) {
            err << "kycamctl: could not record into " << file << "\n";
            return kRefused;
        }
        // N seconds of picture, counted in the file: it starts at the next
        // key frame, which may be a second away.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds + 10);
        int64_t ms = 0;
        bool running = true;
        while (!stop.Wait(50) && (running = KY_SDK_GetRecordTime(h, &ms) == 0) && ms < seconds * int64_t{1000} &&
               std::chrono::steady_clock::now() < deadline) {}
        if (KY_SDK_StopRecord(h) != 0) {
            err << "kycamctl: the recording did not finish cleanly\n";
            return kRefused;
        }
        out << file << "\n";
        char held[64];
        std::snprintf(held, sizeof held, "%.1f s", ms / 1000.0);
        if (const int sig = stop.Caught()) {
            err << "kycamctl: stopped by signal " << sig << "; " << file << " holds " << held << " of picture\n";
            return 128 + sig;
        }
        if (ms < seconds * int64_t{1000}) {
            err << "kycamctl: " << (running ? "the camera sent" : "the stream ended after") << " only " << held
                << " of picture\n";
            return kRefused;
        }
        return kOk;
    }
    int result = 0;
    if (cmd == "ptz")
        result = code == KY_PTZ_HOME                                  ? KY_SDK_PTZControl(h, code, 5)
                 : (code == KY_PTZ_HCRUISE || code == KY_PTZ_VCRUISE) ? KY_SDK_PTZControl(h, code, speed)
                                                                      : KY_SDK_PTZControlEx(h, code);
    else if (cmd == "preset")
        result = KY_SDK_PTZPreset(h, code, preset - 1);
    else {
        const int32_t zero = 0;
        result = KY_SDK_SetConfig(h, cmd == "reboot" ? KY_CFG_RESTART : KY_CFG_FACTORY, &zero, sizeof zero);
    }
    if (result != 0) {
        err << "kycamctl: the camera refused " << cmd << "\n";
        return kRefused;
    }
    out << cmd << ": ok\n";
    return kOk;
}

}   // namespace ky::ctl
