// GET of one camera web page or file over a raw socket (see HttpFetch.h).
// The request is HTTP/1.0 with "Connection: close", so a conforming server
// never answers chunked and always ends the body by its length or by closing.
#include "core/cgi/HttpFetch.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "core/services/Trace.h"
#include "core/cgi/CgiClient.h"

namespace {

using Clock = std::chrono::steady_clock;

// Longest wait between two looks at the cancel flag.
constexpr int kCancelSliceMs = 50;

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// Header names are tokens; values may hold blanks but no line breaks.
bool IsSafeHeaderName(const std::string& s) {
    if (s.empty()) return false;
    for (unsigned char c : s)
        if (c <= 0x20 || c >= 0x7f || c == ':') return false;
    return true;
}

bool IsSafeHeaderValue(const std::string& s) {
    for (unsigned char c : s)
        if ((c < 0x20 && c != '\t') || c == 0x7f) return false;
    return true;
}

std::string Trim(const std::string& s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

}   // namespace

bool CHttpFetch::ParseHead(std::string_view headText, HttpPage* page) {
    const std::string head(headText);
    size_t eol = head.find("\r\n");
    const std::string statusLine = head.substr(0, eol);
    // "HTTP/1.x NNN[ reason]"
    if (statusLine.size() < 12 || statusLine.compare(0, 7, "HTTP/1.") != 0 || statusLine[8] != ' ') return false;
    int status = 0;
    for (size_t i = 9; i < 12; ++i) {
        if (statusLine[i] < '0' || statusLine[i] > '9') return false;
        status = status * 10 + (statusLine[i] - '0');
    }
    // Status codes start at 100: "020" is no status a server sends.
    if (status < 100 || (statusLine.size() > 12 && statusLine[12] != ' ')) return false;
    page->status = status;

    int64_t length = -1;
    size_t pos = eol == std::string::npos ? head.size() : eol + 2;
    while (pos < head.size()) {
        size_t end = head.find("\r\n", pos);
        if (end == std::string::npos) end = head.size();
        const std::string line = head.substr(pos, end - pos);
        pos = end + 2;
        const size_t colon = line.find(':');
        if (colon == std::string::npos || colon == 0) continue;   // not a header; lenient like browsers
        std::string name = Trim(line.substr(0, colon));
        std::string value = Trim(line.substr(colon + 1));
        if (EqualsNoCase(name, "Content-Length")) {
            if (value.empty() || value.size() > 15 || value.find_first_not_of("0123456789") != std::string::npos)
                return false;
            const int64_t v = std::stoll(value);
            // Two different lengths leave no safe way to find the body's end.
            if (length >= 0 && length != v) return false;
            length = v;
        } else if (EqualsNoCase(name, "Transfer-Encoding") && !EqualsNoCase(value, "identity")) {
            page->transferEncoded = true;
        }
        page->headers.emplace_back(std::move(name), std::move(value));
    }
    // Replies that never carry a body.
    if ((status >= 100 && status < 200) || status == 204 || status == 304) length = 0;
    page->contentLength = length;
    return true;
}

namespace {

class Exchange {
public:
    Exchange(int sock, const HttpFetchOptions& options, Clock::time_point deadline)
        : m_sock(sock), m_options(options), m_deadline(deadline) {}

    // Waits until the socket is readable. Ok, TimedOut or Cancelled.
    HttpFetchResult WaitReadable() {
        const auto idleEnd = Clock::now() + std::chrono::milliseconds(std::max(m_options.idleTimeoutMs, 0));
        for (;;) {
            if (Cancelled()) return HttpFetchResult::Cancelled;
            const auto now = Clock::now();
            const auto end = std::min(idleEnd, m_deadline);
            if (now >= end) return HttpFetchResult::TimedOut;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count();
            const int slice = static_cast<int>(std::min<long long>(left + 1, kCancelSliceMs));
            pollfd p{m_sock, POLLIN, 0};
            const int rc = poll(&p, 1, slice);
            if (rc < 0 && errno != EINTR) return HttpFetchResult::Malformed;
            if (rc > 0) return HttpFetchResult::Ok;
        }
    }

    bool Cancelled() const { return m_options.cancel && m_options.cancel->load(std::memory_order_relaxed); }

private:
    int m_sock;
    const HttpFetchOptions& m_options;
    Clock::time_point m_deadline;
};

HttpFetchResult Deliver(const HttpFetchOptions& options, HttpPage* page, const char* data, size_t len) {
    if (len == 0) return HttpFetchResult::Ok;
    if (page->bodyBytes + len > options.maxBodyBytes) return HttpFetchResult::TooLarge;
    page->bodyBytes += len;
    if (options.sink) {
        if (!options.sink(data, len)) return HttpFetchResult::Cancelled;
    } else {
        page->body.append(data, len);
    }
    return HttpFetchResult::Ok;
}

HttpFetchResult Receive(int sock, const HttpFetchOptions& options, Clock::time_point deadline, HttpPage* page) {
    Exchange ex(sock, options, deadline);
    std::string head;
    bool headDone = false;
    char buf[16384];
    for (;;) {
        HttpFetchResult w = ex.WaitReadable();
        if (w != HttpFetchResult::Ok) return w;
        const ssize_t n = recv(sock, buf, sizeof(buf), 0);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            KY_TRACE("Line-%d recv error %d\n", __LINE__, errno);
            return HttpFetchResult::Malformed;
        }
        if (n == 0) {
            // Closed by the camera: the end of a close-delimited body only.
            if (!headDone) return HttpFetchResult::Malformed;
            if (page->contentLength >= 0 && page->bodyBytes < static_cast<uint64_t>(page->contentLength))
                return HttpFetchResult::Malformed;
            return HttpFetchResult::Ok;
        }

        const char* data = buf;
        size_t len = static_cast<size_t>(n);
        if (!headDone) {
            const size_t before = head.size();
            head.append(buf, len);
            const size_t from = before >= 3 ? before - 3 : 0;
            const size_t end = head.find("\r\n\r\n", from);
            if (end == std::string::npos) {
                if (head.size() > CHttpFetch::kMaxHeadBytes) return HttpFetchResult::Malformed;
                continue;
            }
            if (end > CHttpFetch::kMaxHeadBytes ||
                !CHttpFetch::ParseHead(std::string_view(head).substr(0, end), page) || page->transferEncoded)
                return HttpFetchResult::Malformed;
            headDone = true;
            if (page->contentLength >= 0 && static_cast<uint64_t>(page->contentLength) > options.maxBodyBytes)
                return HttpFetchResult::TooLarge;
            const size_t bodyAt = end + 4;
            data = head.data() + bodyAt;
            len = head.size() - bodyAt;
        }
        if (page->contentLength >= 0) {
            // Bytes beyond the stated length are not part of this reply.
            const uint64_t left = static_cast<uint64_t>(page->contentLength) - page->bodyBytes;
            len = static_cast<size_t>(std::min<uint64_t>(len, left));
        }
        HttpFetchResult d = Deliver(options, page, data, len);
        if (d != HttpFetchResult::Ok) return d;
        if (page->contentLength >= 0 && page->bodyBytes == static_cast<uint64_t>(page->contentLength))
            return HttpFetchResult::Ok;
    }
}

}   // namespace

std::string HttpPage::Header(const std::string& name) const {
    for (const auto& [key, value] : headers)
        if (EqualsNoCase(key, name)) return value;
    return {};
}

bool CHttpFetch::IsSafePath(const std::string& path) {
    if (path.empty() || path[0] != '/' || path.size() > kMaxPathBytes) return false;
    for (unsigned char c : path)
        if (c <= 0x20 || c >= 0x7f) return false;
    return true;
}

std::string CHttpFetch::BuildRequest(const std::string& ip, uint16_t port, const std::string& user,
                                     const std::string& password, const std::string& path,
                                     const std::vector<std::pair<std::string, std::string>>& extra) {
    if (!IsSafePath(path) || ip.empty() || !IsSafeHeaderValue(ip) || ip.find(' ') != std::string::npos) return {};
    std::string request = "GET " + path + " HTTP/1.0\r\n";
    request +=
        "Host: " + (ip.find(':') != std::string::npos ? "[" + ip + "]" : ip) + ":" + std::to_string(port) + "\r\n";
    request += "Accept: */*\r\n";
    request += "User-Agent: KyCameraTool\r\n";
    if (!user.empty()) {
        char auth[CCgiClient::kCredentialSize] = {};
        if (CCgiClient::MakeAuthorization(user.c_str(), password.c_str(), auth) != 0) return {};
        request += "Authorization: Basic ";
        request += auth;
        request += "\r\n";
    }
    for (const auto& [name, value] : extra) {
        if (!IsSafeHeaderName(name) || !IsSafeHeaderValue(value)) return {};
        request += name + ": " + value + "\r\n";
    }
    request += "Connection: close\r\n\r\n";
    return request;
}

HttpFetchResult CHttpFetch::Get(const std::string& ip, uint16_t port, const std::string& user,
                                const std::string& password, const std::string& path, const HttpFetchOptions& options,
                                HttpPage* page) {
    if (!page) return HttpFetchResult::BadRequest;
    *page = HttpPage{};
    const std::string request = BuildRequest(ip, port, user, password, path, options.extraHeaders);
    if (request.empty()) return HttpFetchResult::BadRequest;
    if (options.cancel && options.cancel->load()) return HttpFetchResult::Cancelled;

    const auto start = Clock::now();
    const auto deadline = options.totalTimeoutMs > 0 ? start + std::chrono::milliseconds(options.totalTimeoutMs)
                                                     : Clock::time_point::max();
    CCgiClient transport;
    int sock = -1;
    int connectMs = options.connectTimeoutMs;
    if (options.totalTimeoutMs > 0) connectMs = std::min(connectMs, options.totalTimeoutMs);
    if (transport.ConnectTo(ip.c_str(), port, connectMs, sock) != 0) {
        KY_TRACE("Line-%d Connect [%s] failure\n", __LINE__, ip.c_str());
        return HttpFetchResult::Connect;
    }
    HttpFetchResult result = HttpFetchResult::Ok;
    if (transport.SendAll(sock, request.data(), request.size()) != 0)
        result = HttpFetchResult::Send;
    else
        result = Receive(sock, options, deadline, page);
    transport.CloseSocket(sock);
    return result;
}

const char* HttpFetchResultName(HttpFetchResult r) {
    switch (r) {
        case HttpFetchResult::Ok: return "ok";
        case HttpFetchResult::BadRequest: return "bad request";
        case HttpFetchResult::Connect: return "connect failed";
        case HttpFetchResult::Send: return "send failed";
        case HttpFetchResult::TimedOut: return "timed out";
        case HttpFetchResult::TooLarge: return "too large";
        case HttpFetchResult::Malformed: return "malformed reply";
        case HttpFetchResult::Cancelled: return "cancelled";
    }
    return "?";
}
