#pragma once
// The camera side of device search: listens for probes on the multicast
// group (239.255.255.250:12109) and on the broadcast port (0.0.0.0:12222)
// and answers each valid probe with this camera's DeviceInfo, unicast to the
// probe's source. It only ever answers; it sends nothing on its own.
//
// Several responders (cameras) share the ports through SO_REUSEADDR and
// SO_REUSEPORT; multicast and broadcast probes reach every one of them.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "core/discovery/SearchProto.h"

namespace emu {

class DiscoveryResponder {
public:
    struct Options {
        std::string multicastGroup = ky::search::kMulticastAddress;
        int multicastPort = ky::search::kMulticastPort;
        int broadcastPort = ky::search::kBroadcastPort;
        // Local IPv4 address of the interface that joins the multicast group.
        // Joining makes the kernel announce the membership (IGMP) on that
        // interface, so the default keeps it on loopback; "0.0.0.0" lets the
        // kernel choose by route (right inside a camera's own namespace).
        std::string multicastInterface = "127.0.0.1";
    };

    DiscoveryResponder();
    explicit DiscoveryResponder(const DeviceInfo& info);
    DiscoveryResponder(const DeviceInfo& info, Options options);
    ~DiscoveryResponder();
    DiscoveryResponder(const DiscoveryResponder&) = delete;
    DiscoveryResponder& operator=(const DiscoveryResponder&) = delete;

    // Binds both sockets, joins the group and starts answering. False (with
    // a reason in *error) when a socket cannot be set up; nothing is left open
    // then. Starting a running responder does nothing and succeeds.
    bool Start(std::string* error = nullptr);
    // Stops answering and joins the thread. Safe to call at any time.
    // Asks the thread to end without waiting (many responders stop in one poll tick).
    void RequestStop();
    void Stop();
    bool IsRunning() const { return running_; }

    // The record sent from the next answer on (e.g. after an IP or port change).
    void SetDeviceInfo(const DeviceInfo& info);
    DeviceInfo GetDeviceInfo() const;

    // Valid probes received and answered so far.
    uint64_t ProbesAnswered() const { return answered_; }

private:
    void Run();
    void Answer(int fd);

    Options options_;
    mutable std::mutex mutex_;
    DeviceInfo info_{};
    int multicastFd_ = -1;
    int broadcastFd_ = -1;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    std::atomic<uint64_t> answered_{0};
    std::thread thread_;
};

}   // namespace emu
