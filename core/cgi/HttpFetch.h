#pragma once
// Fetches one page or file from the camera's own web server (SD-card listing,
// recordings, system log). The credentials travel only in an Authorization
// header; the request names a path, never a URL with user and password in it.
// One connection per fetch, closed afterwards. The body ends at its
// Content-Length or when the camera closes; a size limit, a connect time-out,
// an idle time-out and an overall deadline bound every fetch, and a cancel
// flag stops it within a fraction of a second from any thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

enum class HttpFetchResult {
    Ok,           // a complete reply arrived (any status: the caller judges it)
    BadRequest,   // path or credentials unusable (nothing was sent)
    Connect,      // no connection within the connect time-out
    Send,         // the request could not be sent
    TimedOut,     // the camera went quiet, or the overall deadline passed
    TooLarge,     // the body is larger than the limit
    Malformed,    // no readable HTTP reply, or a body that ended early
    Cancelled,    // the cancel flag was raised, or the sink refused data
};

struct HttpFetchOptions {
    int connectTimeoutMs = 1000;
    int idleTimeoutMs = 3000;     // longest silence while receiving
    int totalTimeoutMs = 15000;   // whole exchange; 0: no limit
    uint64_t maxBodyBytes = 4u << 20;
    std::vector<std::pair<std::string, std::string>> extraHeaders;   // e.g. Range
    const std::atomic<bool>* cancel = nullptr;
    // When set, body bytes go here instead of into HttpPage::body; returning
    // false stops the fetch (Cancelled).
    std::function<bool(const char* data, size_t len)> sink;
};

struct HttpPage {
    int status = 0;   // 0 until a status line arrived
    std::vector<std::pair<std::string, std::string>> headers;
    int64_t contentLength = -1;     // -1: the body ends when the camera closes
    bool transferEncoded = false;   // Transfer-Encoding other than identity
    uint64_t bodyBytes = 0;         // body bytes received
    std::string body;               // empty when a sink took the body

    // First header of that name (ASCII case ignored), "" when absent.
    std::string Header(const std::string& name) const;
    std::string ContentType() const { return Header("Content-Type"); }
};

class CHttpFetch {
public:
    static constexpr size_t kMaxHeadBytes = 16384;
    static constexpr size_t kMaxPathBytes = 2048;

    // GET path (starting with '/', no blanks or control characters) from
    // ip:port with Basic authentication when user is not empty.
    static HttpFetchResult Get(const std::string& ip, uint16_t port, const std::string& user,
                               const std::string& password, const std::string& path, const HttpFetchOptions& options,
                               HttpPage* page);

    // The request bytes Get sends, or "" when the path, a header or the
    // credentials cannot be sent safely.
    static std::string BuildRequest(const std::string& ip, uint16_t port, const std::string& user,
                                    const std::string& password, const std::string& path,
                                    const std::vector<std::pair<std::string, std::string>>& extra);

    // Reads a reply head (status line "HTTP/1.x NNN[ reason]" and headers,
    // without the blank line) into page. False when the status line is not
    // one, or a Content-Length is not a number or differs from an earlier one.
    static bool ParseHead(std::string_view head, HttpPage* page);

    // A request path is sent verbatim: it must start with '/' and hold only
    // printable ASCII without blanks.
    static bool IsSafePath(const std::string& path);
};

const char* HttpFetchResultName(HttpFetchResult r);
