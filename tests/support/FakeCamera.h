#pragma once
// Fake cameras for the discovery tests: the search record, filled the same
// way everywhere (identifier, address, name, web port and family vary, the
// rest is a fixed KY7200 with a uuid made from the identifier), and a
// responder on loopback unicast.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/discovery/SearchProto.h"

namespace ky::test {

inline DeviceInfo FakeCameraInfo(const std::string& id, const std::string& ip = "127.0.0.1",
                                 const std::string& name = "Camera", const std::string& port = "80", int family = 8) {
    DeviceInfo info{};
    search::SetText(info.deviceId, id);
    search::SetText(info.version, "V5.1.0");
    search::SetText(info.deviceName, name);
    search::SetText(info.deviceType, "KY7200");
    search::SetText(info.httpPort, port);
    search::SetText(info.ip, ip);
    search::SetText(info.mac, "02:4B:59:00:00:01");
    search::SetText(info.uuid, "uuid-" + id);
    info.family = family;
    return info;
}

// A camera on 127.0.0.1:<ephemeral> that answers each probe with whatever
// `answer` returns, sent back to the probe's source.
class FakeCamera {
public:
    struct Probe {
        std::string source;
        uint32_t id;
    };
    using Bytes = std::vector<uint8_t>;
    using Answer = std::function<std::vector<Bytes>(uint32_t id, size_t probeIndex)>;

    explicit FakeCamera(Answer answer) : answer_(std::move(answer)) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            return;
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Run(); });
    }
    ~FakeCamera() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (fd_ >= 0) ::close(fd_);
    }
    int port() const { return port_; }
    std::vector<Probe> probes() {
        std::lock_guard lock(mutex_);
        return probes_;
    }

private:
    void Run() {
        uint8_t buf[1024];
        pollfd p{fd_, POLLIN, 0};
        while (!stop_) {
            if (::poll(&p, 1, 20) <= 0) continue;
            sockaddr_in from{};
            socklen_t len = sizeof from;
            const ssize_t n = ::recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
            uint32_t id = 0;
            if (n < 0 || !search::DecodeProbe(buf, static_cast<size_t>(n), &id)) continue;
            size_t index;
            {
                std::lock_guard lock(mutex_);
                char text[INET_ADDRSTRLEN];
                inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
                probes_.push_back({text, id});
                index = probes_.size() - 1;
            }
            for (const Bytes& b : answer_(id, index))
                ::sendto(fd_, b.data(), b.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
        }
    }

    Answer answer_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Probe> probes_;
    std::thread thread_;
};

}   // namespace ky::test
