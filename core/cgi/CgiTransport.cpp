// Raw-socket HTTP/1.1 transport of CCgiClient: one connection per command,
// fixed request header block, reply read into the caller's exchange buffer.
#include "core/cgi/CgiClient.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "core/cgi/HttpFetch.h"
#include "core/services/Trace.h"
#include "core/store/Base64.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSendWaitMs = 1000;
constexpr size_t kMaxAuthLength = CCgiClient::kCredentialSize - 1;

bool SetNonBlocking(int fd, bool on) {
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0) return false;
    flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return fcntl(fd, F_SETFL, flags) == 0;
}

// Waits for `events` on fd for at most timeoutMs, resuming after signals
// with the time that is left. Returns poll's result (0 on time-out) and the
// returned events in `revents`.
int WaitFor(int fd, short events, int timeoutMs, short& revents) {
    if (timeoutMs < 0) timeoutMs = 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd p{fd, events, 0};
        int rc = poll(&p, 1, timeoutMs);
        if (rc >= 0 || errno != EINTR) {
            revents = p.revents;
            return rc;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        timeoutMs = left.count() > 0 ? static_cast<int>(left.count()) : 0;
    }
}

const char* FindBytes(const char* hay, size_t hayLen, const char* needle, size_t needleLen) {
    return static_cast<const char*>(memmem(hay, hayLen, needle, needleLen));
}

}   // namespace

int CCgiClient::ConnectTo(const char* ip, uint16_t port, int timeoutMs, int& sock) {
    sock = -1;
    if (!ip) return -1;

    // IPv4 text or a name as ever; a text with a colon is an IPv6 address.
    const bool v6 = strchr(ip, ':') != nullptr;
    addrinfo hints{};
    hints.ai_flags = AI_PASSIVE;
    hints.ai_family = v6 ? AF_INET6 : AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = 0;
    addrinfo* res = nullptr;
    if (getaddrinfo(ip, nullptr, &hints, &res) != 0 || !res) return -1;

    sockaddr_storage addr{};
    socklen_t len = 0;
    if (v6) {
        auto* a6 = reinterpret_cast<sockaddr_in6*>(&addr);
        *a6 = *reinterpret_cast<const sockaddr_in6*>(res->ai_addr);
        a6->sin6_port = htons(port);
        len = sizeof(sockaddr_in6);
    } else {
        auto* a4 = reinterpret_cast<sockaddr_in*>(&addr);
        a4->sin_family = AF_INET;
        a4->sin_addr = reinterpret_cast<const sockaddr_in*>(res->ai_addr)->sin_addr;
        a4->sin_port = htons(port);
        len = sizeof(sockaddr_in);
    }
    freeaddrinfo(res);

    sock = ConnectWithTimeout(reinterpret_cast<const sockaddr*>(&addr), len, timeoutMs);
    return sock < 0 ? -1 : 0;
}

int CCgiClient::ConnectWithTimeout(const sockaddr* addr, socklen_t len, int timeoutMs) {
    if (!addr || len < static_cast<socklen_t>(sizeof(sockaddr_in))) return -1;
    int fd = socket(addr->sa_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;

    bool ok = SetNonBlocking(fd, true);
    if (ok) {
        int rc = connect(fd, addr, len);
        if (rc != 0) {
            // Only a pending connect is waited for; an immediate refusal fails.
            ok = (errno == EINPROGRESS || errno == EINTR);
            if (ok) {
                short revents = 0;
                ok = WaitFor(fd, POLLOUT, timeoutMs, revents) > 0 && (revents & (POLLOUT | POLLERR | POLLHUP)) != 0;
            }
            if (ok) {
                int err = 0;
                socklen_t errLen = sizeof(err);
                ok = getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &errLen) == 0 && err == 0;
            }
        }
        // rc == 0: connected at once (possible on loopback), which is success.
    }
    if (ok) ok = SetNonBlocking(fd, false);
    if (!ok) {
        close(fd);
        return -1;
    }
    return fd;
}

int CCgiClient::SendAll(int sock, const char* data, size_t len) {
    if (sock < 0 || (!data && len)) return -1;
    while (len > 0) {
        short revents = 0;
        if (WaitFor(sock, POLLOUT, kSendWaitMs, revents) <= 0 || !(revents & POLLOUT)) return -1;
        ssize_t n = send(sock, data, len, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            return -1;
        }
        data += n;
        len -= static_cast<size_t>(n);
    }
    return 0;
}

int CCgiClient::BuildRequest(const char* host, const char* requestText, const char* auth, char* buf,
                             uint32_t capacity) {
    if (!buf || capacity == 0) return -1;
    memset(buf, 0, capacity);
    if (!host || !requestText) return -1;
    if (auth && strnlen(auth, kMaxAuthLength + 1) > kMaxAuthLength) return -1;

    // snprintf reports the full length even when cut, so an over-long request
    // is detected after the fact and the partial text wiped.
    const char* authLine = auth ? "Authorization: Basic " : "";
    const char* authText = auth ? auth : "";
    const char* authEnd = auth ? "\r\n" : "";
    int n = snprintf(buf, capacity,
                     "%s HTTP/1.1\r\n"
                     "Accept: */*\r\n"
                     "Accept-Language: zh-cn\r\n"
                     "Accept-Encoding: gzip, deflate\r\n"
                     "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; "
                     ".NET CLR 2.0.50727)\r\n"
                     "Host: %s\r\n"
                     "Connection: Keep-Alive\r\n"
                     "%s%s%s"
                     "\r\n",
                     requestText, host, authLine, authText, authEnd);
    if (n < 0 || static_cast<uint64_t>(n) >= capacity) {
        memset(buf, 0, capacity);
        return -1;
    }
    return n;
}

int CCgiClient::MakeAuthorization(const char* user, const char* password, char* out) {
    if (!out) return -1;
    out[0] = '\0';
    if (!user) user = "";
    if (!password) password = "";
    char credential[kCredentialSize] = {};
    int n = snprintf(credential, sizeof(credential), "%s:%s", user, password);
    if (n < 0 || static_cast<size_t>(n) >= sizeof(credential)) return -1;
    if (Base64EncodeText(credential, out, kCredentialSize) < 0) {
        out[0] = '\0';
        return -1;
    }
    return 0;
}

int CCgiClient::Receive(int sock, char* buf, uint32_t capacity, int timeoutMs, bool longWait, bool* intact) {
    *intact = false;
    if (!buf || capacity == 0) return -1;
    memset(buf, 0, capacity);
    if (sock < 0) return -1;

    const size_t limit = capacity - 1;   // one byte stays for the terminating zero
    size_t received = 0;
    size_t headerEnd = 0;        // offset of the body once "\r\n\r\n" arrived
    long long bodyLength = -1;   // Content-Length, when the head gave one
    bool headOk = false;

    while (received < limit) {
        short revents = 0;
        if (WaitFor(sock, POLLIN, timeoutMs, revents) <= 0 || !(revents & (POLLIN | POLLERR | POLLHUP))) break;
        ssize_t n = recv(sock, buf + received, limit - received, 0);
        if (n < 0) {
            int err = errno;
            if (err == EINTR) continue;
            KY_TRACE("LINE-%d Sockerrorid=%d\n", __LINE__, err);
            if (longWait && (err == EAGAIN || err == EWOULDBLOCK)) continue;
            break;
        }
        if (n == 0) {
            if (longWait) KY_TRACE("Line-%d SOCKET_ERROR,recvBytes=%zu\n", __LINE__, received);
            break;
        }
        const size_t before = received;
        received += static_cast<size_t>(n);

        // A reply that states its length is complete once that many body
        // bytes are in; a camera keeping the connection open then costs
        // nothing instead of a whole quiet period.
        if (headerEnd == 0) {
            size_t from = before >= 3 ? before - 3 : 0;
            const char* end = FindBytes(buf + from, received - from, "\r\n\r\n", 4);
            if (end) {
                headerEnd = static_cast<size_t>(end - buf) + 4;
                HttpPage head;
                headOk = CHttpFetch::ParseHead(std::string_view(buf, static_cast<size_t>(end - buf)), &head);
                if (!headOk) break;
                bodyLength = head.contentLength;
            }
        }
        if (headerEnd != 0 && bodyLength >= 0 && received - headerEnd >= static_cast<unsigned long long>(bodyLength))
            break;
    }
    buf[received] = '\0';
    // Whole when the head was readable and the body as long as it said, or
    // when the buffer is full: what lies beyond it is never looked at.
    *intact = headOk && (bodyLength < 0 || received == limit ||
                         received - headerEnd >= static_cast<unsigned long long>(bodyLength));
    return static_cast<int>(received);
}

int CCgiClient::Exchange(int sock, const char* host, const char* requestText, char* buf, uint32_t capacity,
                         const char* auth, int timeoutMs, bool longWait, bool answerOptional) {
    int len = BuildRequest(host, requestText, auth, buf, capacity);
    if (len < 0 || SendAll(sock, buf, static_cast<size_t>(len)) != 0) return -1;
    bool intact = false;
    const int received = Receive(sock, buf, capacity, timeoutMs, longWait, &intact);
    if (received <= 0) return answerOptional && received == 0 ? 0 : -1;
    if (!intact) return kBrokenReply;
    return CheckReply(buf);
}

int CCgiClient::Request(int sock, const char* host, const char* requestText, char* buf, uint32_t& capacity,
                        const char* auth, int timeoutMs) {
    return Exchange(sock, host, requestText, buf, capacity, auth, timeoutMs, false, false);
}

int CCgiClient::RequestLong(int sock, const char* host, const char* requestText, char* buf, uint32_t& capacity,
                            const char* auth, int timeoutMs) {
    return Exchange(sock, host, requestText, buf, capacity, auth, timeoutMs, true, false);
}

int CCgiClient::RequestAnswerOptional(int sock, const char* host, const char* requestText, char* buf,
                                      uint32_t& capacity, const char* auth, int timeoutMs) {
    return Exchange(sock, host, requestText, buf, capacity, auth, timeoutMs, false, true);
}

int CCgiClient::SendRequestOnly(int sock, const char* host, const char* requestText, char* buf, uint32_t& capacity,
                                const char* auth, int /*timeoutMs*/) {
    int len = BuildRequest(host, requestText, auth, buf, capacity);
    if (len < 0 || SendAll(sock, buf, static_cast<size_t>(len)) != 0) return -1;
    return 0;
}

int CCgiClient::CheckReply(const char* reply) {
    if (!reply) return -1;
    if (!strstr(reply, "200 OK")) return -1;
    if (!strstr(reply, "Content-Type:text/html")) return -1;
    if (strstr(reply, "[Error]")) return -1;
    return 0;
}

void CCgiClient::CloseSocket(int sock) {
    if (sock >= 0) close(sock);
}

int CCgiClient::SendTimed(int sock, const char* data, size_t len, int timeoutMs) {
    if (sock < 0 || (!data && len)) return -1;
    while (len > 0) {
        short revents = 0;
        const int rc = WaitFor(sock, POLLOUT, timeoutMs, revents);
        if (rc == 0) return -2;
        if (rc < 0) return -3;
        if (!(revents & POLLOUT)) return -1;
        ssize_t n = send(sock, data, len, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            return -1;
        }
        data += n;
        len -= static_cast<size_t>(n);
    }
    return 0;
}

int CCgiClient::ReceiveLine(int sock, char* buf, uint32_t& capacity, int timeoutMs) {
    if (!buf || capacity == 0) return -1;
    memset(buf, 0, capacity);
    const size_t limit = capacity - 1;
    size_t received = 0;
    while (received < limit) {
        short revents = 0;
        if (WaitFor(sock, POLLIN, timeoutMs, revents) <= 0 || !(revents & (POLLIN | POLLERR | POLLHUP))) return -1;
        ssize_t n = recv(sock, buf + received, limit - received, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return -1;
        received += static_cast<size_t>(n);
        if (received >= 5 && buf[received - 2] == '\r' && buf[received - 1] == '\n') {
            capacity = static_cast<uint32_t>(received);
            return 0;
        }
    }
    return -1;
}
