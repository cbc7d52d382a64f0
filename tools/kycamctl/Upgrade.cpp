#include "tools/kycamctl/Upgrade.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <ostream>
#include <set>
#include <thread>

#include "core/cgi/CgiClient.h"
#include "core/services/FieldText.h"
#include "core/services/Utf8.h"
#include "tools/kycamctl/Kycamctl.h"

namespace ky::ctl {
namespace {

using Clock = std::chrono::steady_clock;

std::ostream* g_sharedErr = nullptr;
std::mutex* g_sharedLock = nullptr;

// Cameras with an upload under way: a hosts file naming one camera twice
// must not send it two packages at once.
std::mutex g_busyLock;
std::set<std::string> g_busy;

std::string Name(const CameraAddress& c) { return c.host + ":" + std::to_string(c.port); }

class Progress {
public:
    Progress(const CameraAddress& c, std::ostream& err) : m_name(Name(c)), m_err(err) {}
    void Line(const std::string& text) {
        if (g_sharedErr) {
            std::lock_guard lock(*g_sharedLock);
            *g_sharedErr << m_name << " " << text << "\n" << std::flush;
        } else {
            m_err << text << "\n" << std::flush;
        }
    }
    // Upload: one line per 10 percent with --hosts, every percent alone.
    static void Bytes(void* self, uint64_t sent, uint64_t total) {
        auto* p = static_cast<Progress*>(self);
        const int percent = total ? static_cast<int>(sent * 100 / total) : 100;
        const int step = g_sharedErr ? 10 : 1;
        if (percent / step == p->m_last / step) return;
        p->m_last = percent;
        p->Line("upload " + std::to_string(percent) + "% " + std::to_string(sent) + "/" + std::to_string(total) +
                " bytes");
    }
    static void Value(intptr_t, int value, void* self) {
        if (value == kUpgradeRetrying) static_cast<Progress*>(self)->Line("upload failed, trying again");
        if (value == kUpgradeRetrying) static_cast<Progress*>(self)->m_last = -1;
    }

private:
    std::string m_name;
    std::ostream& m_err;
    int m_last = -1;
};

// The firmware version the camera reports, or "" when it does not answer.
std::string Version(const CameraAddress& c, int timeoutMs) {
    DeviceNetInfo info{};
    if (CCgiClient().GetDeviceInfo(c.host.c_str(), c.port, c.user.c_str(), c.password.c_str(), &info, timeoutMs) != 0)
        return {};
    return ky::Utf8Printable(ky::FieldText(info.softVersion));
}

bool Reachable(const CameraAddress& c, int timeoutMs) {
    int sock = -1;
    CCgiClient client;
    if (client.ConnectTo(c.host.c_str(), c.port, timeoutMs, sock) != 0) return false;
    client.CloseSocket(sock);
    return true;
}

void Copy(char* field, size_t width, const std::string& text) { std::snprintf(field, width, "%s", text.c_str()); }

}   // namespace

void ShareProgress(std::ostream* err, std::mutex* lock) {
    g_sharedErr = err;
    g_sharedLock = lock;
}

int RunUpgrade(const CameraAddress& c, const std::string& file, const WaitLimits& limits, std::ostream& out,
               std::ostream& err) {
    struct stat st {};
    if (stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        err << "kycamctl: cannot read " << file << "\n";
        return kUsage;
    }
    if (file.size() >= sizeof(UpgradeTask::path)) {
        err << "kycamctl: the file's path is too long (255 bytes at most)\n";
        return kUsage;
    }
    const std::string old = Version(c, 3000);
    if (old.empty()) {
        err << "kycamctl: cannot read the firmware version of " << Name(c) << "\n";
        return kNoConnection;
    }
    {
        std::lock_guard lock(g_busyLock);
        if (!g_busy.insert(Name(c)).second) {
            err << "kycamctl: an upgrade of " << Name(c) << " is already running\n";
            return kRefused;
        }
    }
    Progress progress(c, err);
    UpgradeTask task{};
    Copy(task.ip, sizeof task.ip, c.host);
    task.port = c.port;
    Copy(task.user, sizeof task.user, c.user);
    Copy(task.password, sizeof task.password, c.password);
    Copy(task.path, sizeof task.path, file);
    task.userData = &progress;
    task.progress = &Progress::Value;
    task.bytes = &Progress::Bytes;
    const int uploaded = CCgiClient().UploadFile(task);
    {
        std::lock_guard lock(g_busyLock);
        g_busy.erase(Name(c));
    }
    if (uploaded != 0) {
        err << "kycamctl: the camera did not accept the firmware\n";
        out << Name(c) << " upload failed, firmware " << old << "\n";
        return kRefused;
    }

    progress.Line("uploaded; waiting for the camera to restart");
    const auto deadline = Clock::now() + std::chrono::seconds(limits.seconds);
    while (Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(limits.pollMs));
        const std::string now = Version(c, 1000);
        if (!now.empty() && now != old) {
            out << Name(c) << " upgraded " << old << " -> " << now << "\n";
            return kOk;
        }
    }
    err << "kycamctl: the firmware was sent, but the camera's return with new firmware was not confirmed\n";
    out << Name(c) << " not confirmed " << old << " -> ?\n";
    return kRefused;
}

int WaitForRestart(const CameraAddress& c, const WaitLimits& limits, std::ostream& out, std::ostream& err) {
    Progress progress(c, err);
    progress.Line("waiting for the camera to restart");
    const auto deadline = Clock::now() + std::chrono::seconds(limits.seconds);
    bool wentDown = false;
    while (Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(limits.pollMs));
        const bool up = Reachable(c, 1000);
        if (!up) wentDown = true;
        if (up && wentDown) {
            out << Name(c) << " back\n";
            return kOk;
        }
    }
    err << "kycamctl: the camera's restart was not confirmed\n";
    return kRefused;
}

}   // namespace ky::ctl
