#pragma once
// Minimal HTTP/1.1 client for the SDK's control channel (docs/sdk-protocol.md).
// Unlike the CGI transport it sends request bodies, keeps a connection open
// between exchanges (talk, event long-poll) and can be aborted from another
// thread, so logging out never waits for a camera that has gone quiet.
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace ky::sdk {

enum class HttpFail {
    None,
    Connect,     // no connection could be made within the time-out
    Transport,   // connected, but the exchange broke, timed out or was malformed
    Silent,      // connected, but not one byte of a reply came within the time-out
    Aborted,     // Abort() was called
};

struct HttpReply {
    int status = 0;
    std::string body;
};

class ControlHttp {
public:
    ControlHttp(std::string host, uint16_t port, const std::string& user, const std::string& password);
    ~ControlHttp();
    ControlHttp(const ControlHttp&) = delete;
    ControlHttp& operator=(const ControlHttp&) = delete;

    // One request and its whole reply within timeoutMs (connect included).
    // A kept-open connection is reused; when it turns out to be closed by the
    // camera before any reply byte arrived, the request is sent once more on
    // a new connection. Not for concurrent use of one object (Abort excepted).
    HttpFail Exchange(std::string_view method, std::string_view target, std::string_view body, int timeoutMs,
                      HttpReply* reply);

    // Any thread: wakes a blocked Exchange; it and every later one fail.
    void Abort();
    void Close();

    // Largest reply body accepted.
    static constexpr size_t kMaxBody = 1 << 20;

private:
    enum class Step { Ok, Fail, Retry };
    int ConnectSocket(int64_t deadline, HttpFail* fail);
    Step Once(std::string_view request, int64_t deadline, bool reused, HttpReply* reply, HttpFail* fail);
    // 1 ready, 0 time-out, -1 aborted or error.
    int Wait(int fd, short events, int64_t deadline);

    std::string host_;
    uint16_t port_;
    std::string auth_;
    int fd_ = -1;
    int wake_ = -1;   // eventfd, readable once aborted
    std::atomic<bool> aborted_{false};
};

// Control replies are lines "key=value" with the value percent-encoded.
std::map<std::string, std::string> ParseFields(std::string_view body);
// A URI component (control values, RTSP user and password): every byte but
// the RFC 3986 unreserved characters A-Z a-z 0-9 "-._~" becomes "%XX".
std::string EncodeUriComponent(std::string_view text);
std::string PercentDecode(std::string_view text);

// Strict decimal int32 (optional leading '-'); false on anything else.
bool ParseInt32(std::string_view text, int32_t* out);

int64_t SteadyMs();

}   // namespace ky::sdk
