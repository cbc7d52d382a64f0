#pragma once
// Set-up shared by the fuzz targets: input as text, a check that stops the
// run, and a camera on loopback that answers every connection with the bytes
// of the current input, for parsers that only take their input from a socket.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#define FUZZ_CHECK(cond) ((cond) ? void() : __builtin_trap())

inline std::string_view FuzzText(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A socket bound to 127.0.0.1 (never anything else) on a free port.
inline int LoopbackSocket(int type, uint16_t* port) {
    const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t len = sizeof a;
    FUZZ_CHECK(::bind(fd, reinterpret_cast<sockaddr*>(&a), len) == 0 &&
               ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0);
    *port = ntohs(a.sin_port);
    return fd;
}

// Reads each request head, sends the reply set last and closes. Lives until
// the process ends.
class LoopbackCamera {
public:
    LoopbackCamera() : fd_(LoopbackSocket(SOCK_STREAM, &port_)) {
        FUZZ_CHECK(::listen(fd_, 16) == 0);
        std::thread([this] { Serve(); }).detach();
    }
    uint16_t Port() const { return port_; }
    void Set(std::string_view reply) {
        std::lock_guard<std::mutex> lock(mutex_);
        reply_.assign(reply);
    }

private:
    void Serve() {
        for (;;) {
            const int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            timeval tv{1, 0};
            ::setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
            std::string in(65536, '\0');
            size_t got = 0;
            for (ssize_t n;
                 in.find("\r\n\r\n") > got && got < in.size() && (n = ::recv(c, &in[got], in.size() - got, 0)) > 0;)
                got += size_t(n);
            std::lock_guard<std::mutex> lock(mutex_);
            (void)!::send(c, reply_.data(), reply_.size(), MSG_NOSIGNAL);
            ::close(c);
        }
    }
    uint16_t port_ = 0;
    int fd_;
    std::mutex mutex_;
    std::string reply_;
};
