#pragma once
// Wi-Fi client settings, connection test and access-point scan.
#include <cstdint>

struct WirelessAttr {
    char ssid[64];   // UTF-8 as the camera reports it
    char key[64];
    int32_t auth;   // 0 None, 1 WEP, 2 WPA-PSK, 3 WPA2-PSK
    int32_t enc;    // 0 TKIP, 1 AES
    int32_t mode;
    int32_t enable;   // 1 on, 0 off
};

// Outcome of the camera's Wi-Fi connection test ("var chkres=").
struct WifiCheckResult {
    int32_t chkres;   // 1: the camera reached the router
};

// The camera's access-point scan, one column per access-point property.
// Entry i (i < waccess_points) holds the camera's list position i; index[i]
// is its 1-based number as text.
struct WifiScanList {
    static constexpr int kMaxEntries = 64;   // more than a 4096-byte reply can carry
    int32_t waccess_points;
    char index[kMaxEntries][32];
    char ssid[kMaxEntries][128];
    char rssi[kMaxEntries][128];
    char auth[kMaxEntries][64];
    char enc[kMaxEntries][64];
    char channel[kMaxEntries][64];
    char net[kMaxEntries][64];   // link mode
};
