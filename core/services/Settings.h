#pragma once
// The tool's own settings: section "Config" of settings.ini in the layout's
// config folder (core/services/AppDir.h).
// Every call reads or writes the file, so a value written by one window is
// seen at once by all others (and by other running copies of the tool).
#include <string>
#include <vector>

std::string SettingsFilePath();

// Empty or missing: 45; otherwise the decimal value of the text ("abc" -> 0).
int GetPtzSpeed();
bool SetPtzSpeed(int speed);

// Empty or missing: the layout's snapshot (recording) folder, written back.
// A missing folder is created with its parents; when that fails the path is
// still returned and the file operation that uses it fails on its own terms.
std::string GetSnapDir();
std::string GetRecDir();
bool SetSnapDir(const std::string& dir);
bool SetRecDir(const std::string& dir);

// 0 "Direct D3D" (GPU rendering), 1 "Direct Draw" (software); missing: 0.
int GetDisplayMode();
bool SetDisplayMode(int mode);

// The cameras last connected to, newest first, for the connection form:
// section "Recent" with keys Ip0, Port0, User0, Stream0 ... Ip9. A password
// is never stored.
struct RecentCamera {
    std::string ip, port, user;
    int stream = 0;
    bool operator==(const RecentCamera&) const = default;
};
inline constexpr size_t kRecentCameras = 10;
std::vector<RecentCamera> GetRecentCameras();
// Puts the camera first; an entry with its address and port goes, and so
// does the oldest beyond ten.
bool AddRecentCamera(const RecentCamera& camera);
