#pragma once
// Window-less search for one known device, e.g. to see a camera come back
// after a firmware upgrade: probe both search channels once, then wait for
// the device's identifier to answer.
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "core/discovery/SearchProto.h"

namespace ky {

class DeviceFinder {
public:
    struct Options {
        std::string multicastAddress = search::kMulticastAddress;
        int multicastPort = search::kMulticastPort;
        std::string broadcastAddress = search::kBroadcastAddress;
        int broadcastPort = search::kBroadcastPort;
        int timeoutMs = 1500;
    };

    DeviceFinder();
    explicit DeviceFinder(Options options);
    ~DeviceFinder();
    DeviceFinder(const DeviceFinder&) = delete;
    DeviceFinder& operator=(const DeviceFinder&) = delete;

    // Opens whichever channel is not open yet and installs the reply callback
    // on each open one. 0 when at least one channel is open.
    int Open();

    // Forgets the devices seen so far, sends one probe on each open channel
    // and waits up to timeoutMs for deviceId to answer. Returns true when it
    // did, with its record in *found. *seen is the number of distinct devices
    // that answered meanwhile.
    bool Wait(const char* deviceId, DeviceInfo* found = nullptr, int* seen = nullptr);
    // The same for the first device that wanted accepts.
    bool WaitFor(const std::function<bool(const DeviceInfo&)>& wanted, DeviceInfo* found = nullptr,
                 int* seen = nullptr);

    // Closes the channels (no callback runs after this) and forgets the devices.
    void Close();

    // Open, Wait, Close.
    static bool Find(const char* deviceId, DeviceInfo* found = nullptr);

private:
    static int OnReply(int handle, int localIndex, const DeviceInfo* info, void* user);

    Options options_;
    int multicast_ = 0;   // channel handles, 0 = not open
    int broadcast_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, DeviceInfo> devices_;   // by identifier
};

}   // namespace ky
