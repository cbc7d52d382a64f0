#include "core/sdk/ControlHttp.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "core/store/Base64.h"

namespace ky::sdk {

namespace {

constexpr size_t kMaxHead = 16384;

bool IEqualsPrefix(std::string_view line, std::string_view name) {
    if (line.size() < name.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        char a = line[i], b = name[i];
        if (a >= 'A' && a <= 'Z') a = char(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = char(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

struct Head {
    int status = 0;
    bool http10 = false;
    bool close = false;
    bool keepAlive = false;
    bool chunked = false;
    long long length = -1;
};

bool ParseHead(std::string_view head, Head* h) {
    size_t eol = head.find("\r\n");
    std::string_view line = head.substr(0, eol);
    if (line.size() < 12 || line.substr(0, 7) != "HTTP/1.") return false;
    h->http10 = line[7] == '0';
    int32_t status = 0;
    if (line[8] != ' ' || !ParseInt32(line.substr(9, 3), &status) || status < 100) return false;
    h->status = status;
    while (eol != std::string_view::npos) {
        size_t start = eol + 2;
        eol = head.find("\r\n", start);
        std::string_view l = head.substr(start, eol == std::string_view::npos ? std::string_view::npos : eol - start);
        if (IEqualsPrefix(l, "content-length:")) {
            std::string_view v = Trim(l.substr(15));
            int32_t n = 0;
            if (!ParseInt32(v, &n) || n < 0) return false;
            if (h->length >= 0 && h->length != n) return false;
            h->length = n;
        } else if (IEqualsPrefix(l, "connection:")) {
            std::string_view v = Trim(l.substr(11));
            if (IEqualsPrefix(v, "close")) h->close = true;
            if (IEqualsPrefix(v, "keep-alive")) h->keepAlive = true;
        } else if (IEqualsPrefix(l, "transfer-encoding:")) {
            h->chunked = true;
        }
    }
    return true;
}

}   // namespace

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool ParseInt32(std::string_view text, int32_t* out) {
    if (text.empty() || text.size() > 11) return false;
    bool neg = text[0] == '-';
    if (neg) text.remove_prefix(1);
    if (text.empty()) return false;
    int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (neg) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return false;
    *out = int32_t(v);
    return true;
}

std::string EncodeUriComponent(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
            c == '.' || c == '~') {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string PercentDecode(std::string_view text) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
            out += char(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::map<std::string, std::string> ParseFields(std::string_view body) {
    std::map<std::string, std::string> out;
    while (!body.empty()) {
        size_t eol = body.find('\n');
        std::string_view line = body.substr(0, eol);
        body = eol == std::string_view::npos ? std::string_view() : body.substr(eol + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        size_t eq = line.find('=');
        if (eq == std::string_view::npos || eq == 0) continue;
        out.emplace(std::string(line.substr(0, eq)), PercentDecode(line.substr(eq + 1)));
    }
    return out;
}

ControlHttp::ControlHttp(std::string host, uint16_t port, const std::string& user, const std::string& password)
    : host_(std::move(host)), port_(port) {
    std::string cred = user + ":" + password;
    std::vector<char> b64(Base64TextLength(cred.size()) + 1);
    Base64Encode(reinterpret_cast<const unsigned char*>(cred.data()), cred.size(), b64.data());
    auth_ = b64.data();
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

ControlHttp::~ControlHttp() {
    Close();
    if (wake_ >= 0) ::close(wake_);
}

void ControlHttp::Abort() {
    aborted_ = true;
    if (wake_ >= 0) {
        uint64_t one = 1;
        ssize_t r = ::write(wake_, &one, sizeof one);
        (void)r;
    }
}

void ControlHttp::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

int ControlHttp::Wait(int fd, short events, int64_t deadline) {
    for (;;) {
        if (aborted_) return -1;
        int64_t left = deadline - SteadyMs();
        if (left <= 0) return 0;
        pollfd p[2] = {{fd, events, 0}, {wake_, POLLIN, 0}};
        int rc = ::poll(p, wake_ >= 0 ? 2 : 1, int(left));
        if (rc < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (rc == 0) return 0;
        if (wake_ >= 0 && (p[1].revents & POLLIN)) return -1;
        if (p[0].revents) return 1;
    }
}

int ControlHttp::ConnectSocket(int64_t deadline, HttpFail* fail) {
    *fail = HttpFail::Connect;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* res = nullptr;
    std::string port = std::to_string(port_);
    if (::getaddrinfo(host_.c_str(), port.c_str(), &hints, &res) != 0 || !res) return -1;
    int fd = -1;
    for (addrinfo* ai = res; ai && fd < 0; ai = ai->ai_next) {
        int s = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol);
        if (s < 0) continue;
        int rc = ::connect(s, ai->ai_addr, ai->ai_addrlen);
        if (rc != 0 && errno == EINPROGRESS) {
            int w = Wait(s, POLLOUT, deadline);
            if (w < 0 && aborted_) {
                ::close(s);
                *fail = HttpFail::Aborted;
                break;
            }
            int err = 0;
            socklen_t len = sizeof err;
            rc = (w > 0 && ::getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0) ? 0 : -1;
        }
        if (rc == 0)
            fd = s;
        else
            ::close(s);
    }
    ::freeaddrinfo(res);
    if (fd >= 0) *fail = HttpFail::None;
    return fd;
}

ControlHttp::Step ControlHttp::Once(std::string_view request, int64_t deadline, bool reused, HttpReply* reply,
                                    HttpFail* fail) {
    *fail = HttpFail::Transport;
    // A kept-open connection the camera has closed meanwhile fails on send or
    // reads EOF/RST before the first byte: that is worth one retry.
    auto retryOrFail = [&](size_t got) {
        if (aborted_) *fail = HttpFail::Aborted;
        return (reused && got == 0 && !aborted_) ? Step::Retry : Step::Fail;
    };
    size_t sent = 0;
    while (sent < request.size()) {
        int w = Wait(fd_, POLLOUT, deadline);
        if (w == 0) return Step::Fail;
        if (w < 0) return retryOrFail(0);
        ssize_t n = ::send(fd_, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            return retryOrFail(0);
        }
        sent += size_t(n);
    }

    std::string in;
    size_t headEnd = std::string::npos;
    Head h;
    char buf[16384];
    for (;;) {
        if (headEnd != std::string::npos && h.length >= 0 && in.size() - headEnd >= size_t(h.length)) break;
        int w = Wait(fd_, POLLIN, deadline);
        if (w == 0 && in.empty()) *fail = HttpFail::Silent;
        if (w <= 0) return w == 0 ? Step::Fail : retryOrFail(in.size());
        ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            return retryOrFail(in.size());
        }
        if (n == 0) {
            if (headEnd != std::string::npos && h.length < 0) {
                h.close = true;
                break;   // body delimited by the end of the connection
            }
            return retryOrFail(in.size());
        }
        in.append(buf, size_t(n));
        if (headEnd == std::string::npos) {
            size_t p = in.find("\r\n\r\n");
            if (p == std::string::npos) {
                if (in.size() > kMaxHead) return Step::Fail;
                continue;
            }
            headEnd = p + 4;
            if (!ParseHead(std::string_view(in).substr(0, p), &h) || h.chunked) return Step::Fail;
            if (h.status == 100) {   // interim reply: wait for the real one
                in.erase(0, headEnd);
                headEnd = std::string::npos;
                h = Head{};
                continue;
            }
        }
        if (in.size() - headEnd > kMaxBody) return Step::Fail;
    }
    reply->status = h.status;
    reply->body = in.substr(headEnd, h.length >= 0 ? size_t(h.length) : std::string::npos);
    if (h.close || h.length < 0 || (h.http10 && !h.keepAlive)) Close();
    *fail = HttpFail::None;
    return Step::Ok;
}

HttpFail ControlHttp::Exchange(std::string_view method, std::string_view target, std::string_view body, int timeoutMs,
                               HttpReply* reply) {
    if (aborted_) return HttpFail::Aborted;
    std::string req;
    req.reserve(256 + body.size());
    req.append(method).append(" ").append(target).append(" HTTP/1.1\r\nHost: ");
    if (host_.find(':') != std::string::npos)
        req.append("[").append(host_).append("]");
    else
        req.append(host_);
    req.append(":").append(std::to_string(port_)).append("\r\n");
    req.append("Authorization: Basic ").append(auth_).append("\r\n");
    req.append("Connection: keep-alive\r\n");
    if (!body.empty() || method == "POST") {
        req.append("Content-Type: application/octet-stream\r\n");
        req.append("Content-Length: ").append(std::to_string(body.size())).append("\r\n");
    }
    req.append("\r\n").append(body);

    const int64_t deadline = SteadyMs() + (timeoutMs > 0 ? timeoutMs : 1);
    for (int attempt = 0; attempt < 2; ++attempt) {
        bool reused = fd_ >= 0;
        if (!reused) {
            HttpFail f;
            fd_ = ConnectSocket(deadline, &f);
            if (fd_ < 0) return f;
        }
        HttpFail f;
        Step s = Once(req, deadline, reused, reply, &f);
        if (s == Step::Ok) return HttpFail::None;
        Close();
        if (s == Step::Fail) return f;
    }
    return HttpFail::Transport;
}

}   // namespace ky::sdk
