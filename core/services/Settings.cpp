#include "core/services/Settings.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <system_error>

#include "core/services/AppDir.h"
#include "core/services/IniFile.h"
#include "core/services/Trace.h"

namespace {

constexpr const char* kSection = "Config";
constexpr const char* kPtzSpeedKey = "PTZSpeed";
constexpr const char* kSnapKey = "SnapFiles";
constexpr const char* kRecKey = "RecFiles";
constexpr const char* kDisplayModeKey = "DisplayMode";
constexpr int kDefaultPtzSpeed = 45;
constexpr const char* kRecentSection = "Recent";

CIniFile Settings() { return CIniFile(SettingsFilePath()); }

std::string GetFolder(const char* key, const std::string& defaultDir) {
    const CIniFile ini = Settings();
    // A folder is read up to PATH_MAX: the 300-character default buffer
    // would cut a deep folder into another one.
    std::string dir = ini.GetString(kSection, key, "", PATH_MAX);
    if (dir.empty()) {
        dir = defaultDir;
        ini.WriteString(kSection, key, dir);
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) {
        std::filesystem::create_directories(dir, ec);
        if (ec) KY_TRACE("Line-%d create folder [%s] failure\n", __LINE__, dir.c_str());
    }
    return dir;
}

}   // namespace

std::string SettingsFilePath() { return JoinPath(CurrentAppLayout().config, "settings.ini"); }

int GetPtzSpeed() {
    const std::string v = Settings().GetString(kSection, kPtzSpeedKey, "");
    return v.empty() ? kDefaultPtzSpeed : ky::ini::ParseLeadingInt(v);
}

bool SetPtzSpeed(int speed) { return Settings().WriteInt(kSection, kPtzSpeedKey, speed); }

std::string GetSnapDir() { return GetFolder(kSnapKey, CurrentAppLayout().snapshots); }
std::string GetRecDir() { return GetFolder(kRecKey, CurrentAppLayout().recordings); }
bool SetSnapDir(const std::string& dir) { return Settings().WriteString(kSection, kSnapKey, dir); }
bool SetRecDir(const std::string& dir) { return Settings().WriteString(kSection, kRecKey, dir); }

int GetDisplayMode() { return Settings().GetInt(kSection, kDisplayModeKey, 0); }
bool SetDisplayMode(int mode) { return Settings().WriteInt(kSection, kDisplayModeKey, mode); }

namespace {

// Slot i of the list as stored (an empty address: none).
RecentCamera RecentSlot(const CIniFile& ini, size_t i) {
    const std::string n = std::to_string(i);
    RecentCamera c;
    c.ip = ini.GetString(kRecentSection, "Ip" + n, "");
    if (c.ip.empty()) return {};
    c.port = ini.GetString(kRecentSection, "Port" + n, "");
    c.user = ini.GetString(kRecentSection, "User" + n, "");
    c.stream = ini.GetInt(kRecentSection, "Stream" + n, 0) == 1 ? 1 : 0;
    return c;
}

}   // namespace

std::vector<RecentCamera> GetRecentCameras() {
    const CIniFile ini = Settings();
    std::vector<RecentCamera> out;
    for (size_t i = 0; i < kRecentCameras; ++i)
        if (RecentCamera c = RecentSlot(ini, i); !c.ip.empty()) out.push_back(std::move(c));
    return out;
}

bool AddRecentCamera(const RecentCamera& camera) {
    if (camera.ip.empty()) return false;
    std::vector<RecentCamera> list = GetRecentCameras();
    std::erase_if(list, [&](const RecentCamera& c) { return c.ip == camera.ip && c.port == camera.port; });
    list.insert(list.begin(), camera);
    list.resize(std::min(list.size(), kRecentCameras));
    const CIniFile ini = Settings();
    bool ok = true;
    for (size_t i = 0; i < kRecentCameras; ++i) {
        const std::string n = std::to_string(i);
        const RecentCamera c = i < list.size() ? list[i] : RecentCamera{};
        // Each write rewrites the file: slots already right are left alone.
        if (RecentSlot(ini, i) == c) continue;
        ok = ini.WriteString(kRecentSection, "Ip" + n, c.ip) && ok;
        ok = ini.WriteString(kRecentSection, "Port" + n, c.port) && ok;
        ok = ini.WriteString(kRecentSection, "User" + n, c.user) && ok;
        ok = ini.WriteInt(kRecentSection, "Stream" + n, c.stream) && ok;
    }
    return ok;
}
