#include "core/discovery/DeviceFinder.h"

#include <chrono>

#include "core/discovery/SearchLib.h"
#include "core/services/FieldText.h"

namespace ky {

DeviceFinder::DeviceFinder() : DeviceFinder(Options{}) {}

DeviceFinder::DeviceFinder(Options options) : options_(std::move(options)) {}

DeviceFinder::~DeviceFinder() { Close(); }

int DeviceFinder::Open() {
    if (multicast_ == 0 && SearchOpen(options_.multicastAddress.c_str(), options_.multicastPort, &multicast_) != 0)
        multicast_ = 0;
    if (broadcast_ == 0 && SearchOpen(options_.broadcastAddress.c_str(), options_.broadcastPort, &broadcast_) != 0)
        broadcast_ = 0;
    // Each open channel gets the callback: a finder with only one working
    // channel still finds devices on it.
    for (int h : {multicast_, broadcast_})
        if (h != 0) SearchSetCallback(h, &DeviceFinder::OnReply, this);
    return multicast_ != 0 || broadcast_ != 0 ? 0 : -1;
}

bool DeviceFinder::Wait(const char* deviceId, DeviceInfo* found, int* seen) {
    if (deviceId == nullptr) {
        if (seen) *seen = 0;
        return false;
    }
    const std::string wanted = deviceId;
    return WaitFor([&](const DeviceInfo& d) { return FieldText(d.deviceId) == wanted; }, found, seen);
}

bool DeviceFinder::WaitFor(const std::function<bool(const DeviceInfo&)>& wanted, DeviceInfo* found, int* seen) {
    if (seen) *seen = 0;
    if (multicast_ == 0 && broadcast_ == 0) return false;
    {
        std::lock_guard lock(mutex_);
        devices_.clear();
    }
    for (int h : {multicast_, broadcast_})
        if (h != 0) SearchProbe(h);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(options_.timeoutMs);
    std::unique_lock lock(mutex_);
    const DeviceInfo* match = nullptr;
    changed_.wait_until(lock, deadline, [&] {
        for (const auto& [id, info] : devices_)
            if (wanted(info)) return (match = &info) != nullptr;
        return false;
    });
    if (match && found) *found = *match;
    if (seen) *seen = static_cast<int>(devices_.size());
    return match != nullptr;
}

void DeviceFinder::Close() {
    for (int* h : {&multicast_, &broadcast_}) {
        if (*h != 0) SearchClose(*h);
        *h = 0;
    }
    std::lock_guard lock(mutex_);
    devices_.clear();
}

bool DeviceFinder::Find(const char* deviceId, DeviceInfo* found) {
    DeviceFinder finder;
    if (finder.Open() != 0) return false;
    return finder.Wait(deviceId, found);
}

int DeviceFinder::OnReply(int, int, const DeviceInfo* info, void* user) {
    auto* self = static_cast<DeviceFinder*>(user);
    if (info == nullptr) return 0;
    {
        std::lock_guard lock(self->mutex_);
        self->devices_.try_emplace(std::string(FieldText(info->deviceId)), *info);
    }
    self->changed_.notify_all();
    return 0;
}

}   // namespace ky
