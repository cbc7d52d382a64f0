#include "tests/support/ScriptedServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace ky::test {

namespace {

// Length of the request body announced by the header block, 0 when none.
size_t RequestBodyLength(const std::string& headers) {
    size_t pos = 0;
    while ((pos = headers.find("\r\n", pos)) != std::string::npos) {
        pos += 2;
        static constexpr char kName[] = "content-length:";
        if (headers.size() - pos >= sizeof(kName) - 1 &&
            strncasecmp(headers.c_str() + pos, kName, sizeof(kName) - 1) == 0)
            return static_cast<size_t>(strtoull(headers.c_str() + pos + sizeof(kName) - 1, nullptr, 10));
    }
    return 0;
}

}   // namespace

ScriptedServer::ScriptedServer(Mode mode, std::string reply)
    : ScriptedServer(Script{mode, std::move(reply), {}, 0, 0, true}) {}

ScriptedServer::ScriptedServer(Script script) : script_(std::move(script)) {
    if (pipe2(wakeFds_, O_CLOEXEC) != 0) return;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof(addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || listen(fd, 64) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        close(fd);
        return;
    }
    port_ = ntohs(addr.sin_port);
    listenFd_ = fd;
    thread_ = std::thread([this] { Run(); });
}

ScriptedServer::~ScriptedServer() {
    if (wakeFds_[1] >= 0) {
        char c = 1;
        [[maybe_unused]] ssize_t n = write(wakeFds_[1], &c, 1);
    }
    if (thread_.joinable()) thread_.join();
    if (listenFd_ >= 0) close(listenFd_);
    for (int fd : wakeFds_)
        if (fd >= 0) close(fd);
}

std::string ScriptedServer::Received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

int ScriptedServer::Accepted() const {
    std::lock_guard lock(mutex_);
    return accepted_;
}

int ScriptedServer::Finished() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

bool ScriptedServer::WaitFinished(int count, int timeoutMs) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return finished_ >= count; });
}

std::string ScriptedServer::HttpReply(const std::string& body, bool contentLength, const std::string& status,
                                      const std::string& contentType) {
    std::string r = "HTTP/1.1 " + status + "\r\n";
    if (!contentType.empty()) r += contentType + "\r\n";
    if (contentLength) r += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    r += "\r\n";
    r += body;
    return r;
}

uint16_t ScriptedServer::ClosedPort() {
    // Bind without listening: the port stays reserved while held, so take it
    // and release it; a later connect is refused unless someone grabs it.
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    uint16_t port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    close(fd);
    return port;
}

bool ScriptedServer::WaitReadable(int fd) {
    pollfd p[2] = {{fd, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
    for (;;) {
        int rc = poll(p, 2, -1);
        if (rc < 0 && errno == EINTR) continue;
        if (rc < 0 || (p[1].revents & POLLIN)) return false;
        if (p[0].revents) return true;
    }
}

bool ScriptedServer::WriteReply(int fd, const std::string& reply) {
    size_t chunk = script_.chunkSize ? script_.chunkSize : reply.size();
    size_t off = 0;
    while (off < reply.size()) {
        if (off > 0 && script_.chunkGapMs > 0) {
            pollfd p{wakeFds_[0], POLLIN, 0};
            if (poll(&p, 1, script_.chunkGapMs) != 0) return false;   // stopping
        }
        size_t end = std::min(reply.size(), off + chunk);
        while (off < end) {
            ssize_t n = send(fd, reply.data() + off, end - off, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            off += static_cast<size_t>(n);
        }
    }
    return true;
}

void ScriptedServer::Serve(int fd) {
    std::string pending;   // bytes of the request being read
    char buf[16384];
    for (;;) {
        if (!WaitReadable(fd)) break;
        ssize_t n = recv(fd, buf, sizeof(buf), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        if (script_.record) {
            std::lock_guard lock(mutex_);
            received_.append(buf, static_cast<size_t>(n));
        }
        if (script_.mode == Mode::NeverAnswer) continue;
        pending.append(buf, static_cast<size_t>(n));

        // Answer each complete request (headers and any announced body).
        bool closeNow = false;
        for (;;) {
            size_t end = pending.find("\r\n\r\n");
            if (end == std::string::npos) break;
            size_t total = end + 4 + RequestBodyLength(pending.substr(0, end + 2));
            if (pending.size() < total) break;
            std::string request = pending.substr(0, total);
            pending.erase(0, total);
            std::string reply = script_.handler ? script_.handler(request) : script_.reply;
            if (!WriteReply(fd, reply) || script_.mode == Mode::ReplyThenClose) {
                closeNow = true;
                break;
            }
        }
        if (closeNow) break;
    }
    close(fd);
    {
        std::lock_guard lock(mutex_);
        ++finished_;
    }
    changed_.notify_all();
}

void ScriptedServer::Run() {
    for (;;) {
        if (!WaitReadable(listenFd_)) return;
        int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EAGAIN) continue;
            return;
        }
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
        {
            std::lock_guard lock(mutex_);
            ++accepted_;
        }
        changed_.notify_all();
        Serve(fd);
    }
}

}   // namespace ky::test
