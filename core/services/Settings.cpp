#include "core/services/Settings.h"

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
