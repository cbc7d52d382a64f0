#include "tests/tools/kycam-emulator/EmuTestUtil.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// Sanitizer builds: GLib and GStreamer (used in-process to make the SD-card
// clips) keep process-wide allocations that are never freed.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libglib-2.0.so\nleak:libgobject-2.0.so\nleak:libgstreamer-1.0.so\nleak:libfontconfig.so\n";
}

namespace emutest {

ky::test::ProcessResult Curl(std::vector<std::string> args) {
    args.insert(args.begin(), {"curl", "-s", "-S", "--max-time", "10"});
    return ky::test::RunProcess(args);
}

std::string Url(int port, const std::string& pathAndQuery) {
    return "http://127.0.0.1:" + std::to_string(port) + pathAndQuery;
}

ky::test::ProcessResult Get(int port, const std::string& pathAndQuery, const std::string& user,
                            const std::string& password) {
    return Curl({"-i", "-u", user + ":" + password, Url(port, pathAndQuery)});
}

int ConnectLoopback(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool SendAll(int fd, const std::string& data) {
    for (size_t off = 0; off < data.size();) {
        const ssize_t n = ::send(fd, data.data() + off, data.size() - off, MSG_NOSIGNAL);
        if (n <= 0) return false;
        off += size_t(n);
    }
    return true;
}

std::string ReadSome(int fd, size_t want, int quietMs, bool* closed, int* reads) {
    std::string out;
    if (closed) *closed = false;
    if (reads) *reads = 0;
    char buf[65536];
    while (out.size() < want) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, quietMs) <= 0) break;
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            if (closed) *closed = true;
            break;
        }
        out.append(buf, size_t(n));
        if (reads) ++*reads;
    }
    return out;
}

std::string RawExchange(int port, const std::string& request, bool shutdownWrite, int quietMs, int* reads,
                        bool* closed) {
    const int fd = ConnectLoopback(port);
    if (fd < 0) return {};
    SendAll(fd, request);
    if (shutdownWrite) ::shutdown(fd, SHUT_WR);
    std::string out = ReadSome(fd, std::string::npos, quietMs, closed, reads);
    ::close(fd);
    return out;
}

std::string HeaderValue(const std::string& reply, const std::string& name) {
    const std::string head = reply.substr(0, reply.find("\r\n\r\n"));
    size_t at = head.find("\r\n" + name + ":");
    if (at == std::string::npos) return {};
    at = head.find_first_not_of(' ', at + name.size() + 3);
    return at == std::string::npos ? std::string() : head.substr(at, head.find("\r\n", at) - at);
}

std::string Body(const std::string& reply) {
    const size_t end = reply.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : reply.substr(end + 4);
}

std::string StatusLine(const std::string& reply) { return reply.substr(0, reply.find("\r\n")); }

}   // namespace emutest
