#include "tools/kycam-emulator/DiscoveryResponder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace emu {

namespace {

constexpr int kPollMs = 50;   // bounds how long Stop waits

bool Fail(std::string* error, const std::string& what) {
    if (error) *error = what + ": " + std::strerror(errno);
    return false;
}

int OpenListener(int port, std::string* error) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        Fail(error, "socket");
        return -1;
    }
    const int on = 1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on) != 0 ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        Fail(error, "bind 0.0.0.0:" + std::to_string(port));
        ::close(fd);
        return -1;
    }
    return fd;
}

// Answers go only to an ordinary unicast sender.
bool IsUnicastSource(const sockaddr_in& from) {
    const uint32_t a = ntohl(from.sin_addr.s_addr);
    return from.sin_family == AF_INET && from.sin_port != 0 && a != INADDR_ANY && a != INADDR_BROADCAST &&
           !IN_MULTICAST(a);
}

}   // namespace

DiscoveryResponder::DiscoveryResponder() : DiscoveryResponder(DeviceInfo{}) {}

DiscoveryResponder::DiscoveryResponder(const DeviceInfo& info) : DiscoveryResponder(info, Options{}) {}

DiscoveryResponder::DiscoveryResponder(const DeviceInfo& info, Options options)
    : options_(std::move(options)), info_(info) {}

DiscoveryResponder::~DiscoveryResponder() { Stop(); }

bool DiscoveryResponder::Start(std::string* error) {
    if (running_) return true;
    if (options_.multicastPort <= 0 || options_.multicastPort > 65535 || options_.broadcastPort <= 0 ||
        options_.broadcastPort > 65535) {
        if (error) *error = "bad port";
        return false;
    }
    ip_mreq mreq{};
    if (inet_pton(AF_INET, options_.multicastGroup.c_str(), &mreq.imr_multiaddr) != 1 ||
        !IN_MULTICAST(ntohl(mreq.imr_multiaddr.s_addr)) ||
        inet_pton(AF_INET, options_.multicastInterface.c_str(), &mreq.imr_interface) != 1) {
        if (error) *error = "bad multicast group or interface address";
        return false;
    }

    int mfd = OpenListener(options_.multicastPort, error);
    if (mfd < 0) return false;
    // Only our group: without this a socket on 0.0.0.0 also gets every other
    // group that any program on the host joined on the same port.
    const int off = 0;
    if (setsockopt(mfd, IPPROTO_IP, IP_MULTICAST_ALL, &off, sizeof off) != 0 ||
        setsockopt(mfd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &mreq, sizeof mreq) != 0) {
        Fail(error, "join " + options_.multicastGroup + " on " + options_.multicastInterface);
        ::close(mfd);
        return false;
    }
    int bfd = OpenListener(options_.broadcastPort, error);
    if (bfd < 0) {
        ::close(mfd);
        return false;
    }

    multicastFd_ = mfd;
    broadcastFd_ = bfd;
    stop_ = false;
    try {
        thread_ = std::thread(&DiscoveryResponder::Run, this);
    } catch (const std::system_error& e) {
        ::close(mfd);
        ::close(bfd);
        multicastFd_ = broadcastFd_ = -1;
        if (error) *error = e.what();
        return false;
    }
    running_ = true;
    return true;
}

void DiscoveryResponder::RequestStop() { stop_ = true; }

void DiscoveryResponder::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    for (int* fd : {&multicastFd_, &broadcastFd_}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
    running_ = false;
}

void DiscoveryResponder::SetDeviceInfo(const DeviceInfo& info) {
    std::lock_guard lock(mutex_);
    info_ = info;
}

DeviceInfo DiscoveryResponder::GetDeviceInfo() const {
    std::lock_guard lock(mutex_);
    return info_;
}

void DiscoveryResponder::Run() {
    pollfd pfds[2] = {{multicastFd_, POLLIN, 0}, {broadcastFd_, POLLIN, 0}};
    while (!stop_) {
        if (::poll(pfds, 2, kPollMs) <= 0) continue;
        for (const pollfd& p : pfds)
            if (p.revents) Answer(p.fd);   // recv also clears a pending error
    }
}

void DiscoveryResponder::Answer(int fd) {
    // One byte more than a probe so that oversized datagrams are rejected.
    uint8_t buf[ky::search::kMessageSize + 1];
    while (!stop_) {
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        const ssize_t n = ::recvfrom(fd, buf, sizeof buf, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n < 0) return;
        uint32_t id = 0;
        if (!ky::search::DecodeProbe(buf, static_cast<size_t>(n), &id) || fromLen != sizeof from ||
            !IsUnicastSource(from))
            continue;
        uint8_t reply[ky::search::kMessageSize];
        ky::search::EncodeReply(id, GetDeviceInfo(), reply);
        ++answered_;
        ::sendto(fd, reply, sizeof reply, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&from), sizeof from);
    }
}

}   // namespace emu
