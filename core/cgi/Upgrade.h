#pragma once
// What a firmware upload needs: the camera, its credentials, the package
// file and where progress goes. Filled by the caller, copied by the worker.
#include <cstdint>

// Progress values: -1 the file cannot be opened, -2 an attempt failed and
// another follows in a second, -3 the last attempt failed, 0..50 the share
// of the file sent, 50..99 waiting for the camera, 100 finished.
using UpgradeProgressFn = void (*)(intptr_t context, int value, void* userData);
// Bytes sent of the current attempt, after every piece (command-line progress).
using UpgradeBytesFn = void (*)(void* userData, uint64_t sent, uint64_t total);

struct UpgradeTask {
    char ip[32];
    uint16_t port;
    char user[128];
    char password[128];
    char path[256];
    intptr_t context;
    void* userData;
    UpgradeProgressFn progress;   // may be null
    UpgradeBytesFn bytes;         // may be null
};

inline constexpr int kUpgradeCantOpen = -1;
inline constexpr int kUpgradeRetrying = -2;
inline constexpr int kUpgradeFailed = -3;
