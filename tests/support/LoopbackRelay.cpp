#include "tests/support/LoopbackRelay.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ky::test {

namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    return a;
}

bool SendAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL);
        if (w <= 0) return false;
        p += w, n -= static_cast<size_t>(w);
    }
    return true;
}

}   // namespace

int ListenLoopback(int* port, int backlog) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(0);
    socklen_t len = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(fd, backlog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    *port = ntohs(a.sin_port);
    return fd;
}

LoopbackRelay::LoopbackRelay(int targetPort, Filter toClient) : filter_(std::move(toClient)) {
    listen_ = ListenLoopback(&port_);
    thread_ = std::thread([this, targetPort] {
        const sockaddr_in target = Loopback(targetPort);
        while (!stop_ && listen_ >= 0) {
            pollfd p{listen_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const int client = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (client >= 0 && ::connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0)
                Pump(client, server);
            if (client >= 0) ::close(client);
            ::close(server);
        }
    });
}

LoopbackRelay::~LoopbackRelay() {
    stop_ = true;
    thread_.join();
    if (listen_ >= 0) ::close(listen_);
}

std::string LoopbackRelay::FromClients() const {
    std::lock_guard lock(mutex_);
    return fromClients_;
}

void LoopbackRelay::Pump(int client, int server) {
    std::string held;
    char buf[65536];
    while (!stop_) {
        pollfd p[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        if (::poll(p, 2, 50) < 0) return;
        if (p[0].revents) {
            const ssize_t n = ::recv(client, buf, sizeof buf, 0);
            if (n <= 0 || !SendAll(server, buf, static_cast<size_t>(n))) return;
            std::lock_guard lock(mutex_);
            fromClients_.append(buf, static_cast<size_t>(n));
        }
        if (p[1].revents) {
            const ssize_t n = ::recv(server, buf, sizeof buf, 0);
            if (n <= 0) return;
            held.append(buf, static_cast<size_t>(n));
            std::string out;
            if (filter_)
                out = filter_(held);
            else
                out.swap(held);
            if (!SendAll(client, out.data(), out.size())) return;
        }
    }
}

}   // namespace ky::test
