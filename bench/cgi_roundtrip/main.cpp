// Round-trip time of one CGI get as a command runs it (Base64 credentials,
// connect, request, reply, close) through CCgiClient, against libcurl making
// the same request on a fresh connection. Two server behaviours: the camera's
// usual close-after-reply, and a keep-alive server that states Content-Length.
//
//   bench_cgi_roundtrip [--count N] [--host H --port P]
//
// With --host/--port both clients talk to that server (loopback only) instead.
//
// The peer keeps one libcurl handle (its resolver cache and set-up reused,
// the fastest way to make many requests) but opens a connection for each,
// as a command does: a camera closes the connection after every reply, and
// on the keep-alive server reuse would measure less work than ours.
#include <arpa/inet.h>
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/cgi/CgiClient.h"
#include "tests/support/ScriptedServer.h"

using ky::test::ScriptedServer;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kPath = "/cgi-bin/ky7200/param.cgi?cmd=getimageattr";
constexpr const char* kUser = "admin";
constexpr const char* kPassword = "123456";
constexpr int kBatch = 50;   // ours and peer alternate in batches to share any drift

std::string ReplyBody() {
    std::string body;
    const char* keys[] = {"brightness", "saturation", "contrast", "sharpness", "hue",     "flip",
                          "mirror",     "scene",      "ircut",    "wdr",       "denoise", "infrared"};
    for (int round = 0; round < 3; ++round)
        for (const char* k : keys)
            body += "var " + std::string(k) + (round ? std::to_string(round) : "") + "=\"" +
                    std::to_string(round * 17 + 42) + "\";\r\n";
    return body;
}

struct Target {
    std::string host;
    uint16_t port = 0;
};

struct Result {
    double medianMs = 0;
    double p90Ms = 0;
    int failures = 0;
};

class OursClient {
public:
    explicit OursClient(const Target& t) : target_(t) {}
    bool Once() {
        CCgiClient client;
        char auth[CCgiClient::kCredentialSize] = {};
        if (CCgiClient::MakeAuthorization(kUser, kPassword, auth) != 0) return false;
        std::string request = std::string("GET ") + kPath;
        char buf[4096];
        uint32_t capacity = sizeof(buf);
        int sock = -1;
        if (client.ConnectTo(target_.host.c_str(), target_.port, CCgiClient::kConnectTimeoutMs, sock) != 0)
            return false;
        int rc = client.Request(sock, CCgiClient::kLocalHost, request.c_str(), buf, capacity, auth, 3000);
        client.CloseSocket(sock);
        return rc == 0;
    }

private:
    Target target_;
};

size_t Collect(char* data, size_t size, size_t n, void* user) {
    static_cast<std::string*>(user)->append(data, size * n);
    return size * n;
}

class PeerClient {
public:
    explicit PeerClient(const Target& t) {
        url_ = "http://" + t.host + ":" + std::to_string(t.port) + kPath;
        curl_ = curl_easy_init();
        curl_easy_setopt(curl_, CURLOPT_URL, url_.c_str());
        curl_easy_setopt(curl_, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
        curl_easy_setopt(curl_, CURLOPT_USERNAME, kUser);
        curl_easy_setopt(curl_, CURLOPT_PASSWORD, kPassword);
        curl_easy_setopt(curl_, CURLOPT_FORBID_REUSE, 1L);   // a new connection every time
        curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl_, CURLOPT_NOPROXY, "*");
        curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(CCgiClient::kConnectTimeoutMs));
        curl_easy_setopt(curl_, CURLOPT_TIMEOUT_MS, 3000L);
        curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, Collect);
        curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &body_);
    }
    ~PeerClient() { curl_easy_cleanup(curl_); }
    PeerClient(const PeerClient&) = delete;
    PeerClient& operator=(const PeerClient&) = delete;

    bool Once() {
        body_.clear();
        long status = 0;
        if (curl_easy_perform(curl_) != CURLE_OK) return false;
        curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
        return status == 200 && body_.find("[Error]") == std::string::npos;
    }

private:
    CURL* curl_ = nullptr;
    std::string url_;
    std::string body_;
};

Result Summarize(std::vector<double>& ms, int failures) {
    Result r;
    r.failures = failures;
    if (ms.empty()) return r;
    std::sort(ms.begin(), ms.end());
    r.medianMs = ms[ms.size() / 2];
    r.p90Ms = ms[ms.size() * 9 / 10];
    return r;
}

template <class Client>
void RunBatch(Client& client, int n, std::vector<double>& ms, int& failures) {
    for (int i = 0; i < n; ++i) {
        auto t0 = Clock::now();
        bool ok = client.Once();
        auto t1 = Clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        if (!ok) ++failures;
    }
}

void Measure(const Target& t, int count, Result& ours, Result& peer) {
    OursClient oursClient(t);
    PeerClient peerClient(t);
    // Warm both paths (resolver, curl's first-use set-up, server thread).
    for (int i = 0; i < 20; ++i) {
        oursClient.Once();
        peerClient.Once();
    }
    std::vector<double> oursMs, peerMs;
    int oursFail = 0, peerFail = 0;
    for (int done = 0; done < count; done += kBatch) {
        int n = std::min(kBatch, count - done);
        RunBatch(oursClient, n, oursMs, oursFail);
        RunBatch(peerClient, n, peerMs, peerFail);
    }
    ours = Summarize(oursMs, oursFail);
    peer = Summarize(peerMs, peerFail);
}

void Print(const char* mode, const Result& ours, const Result& peer) {
    printf(
        "%-22s ours median %.3f ms p90 %.3f ms (%d failed) | libcurl median %.3f ms p90 %.3f ms "
        "(%d failed) | ratio %.2f\n",
        mode, ours.medianMs, ours.p90Ms, ours.failures, peer.medianMs, peer.p90Ms, peer.failures,
        peer.medianMs > 0 ? ours.medianMs / peer.medianMs : 0.0);
}

double Ratio(const Result& ours, const Result& peer) { return peer.medianMs > 0 ? ours.medianMs / peer.medianMs : 0.0; }

bool IsLoopback(const std::string& host) {
    in_addr a{};
    if (inet_pton(AF_INET, host.c_str(), &a) != 1) return false;
    return (ntohl(a.s_addr) >> 24) == 127;
}

int Usage() {
    fprintf(stderr, "usage: bench_cgi_roundtrip [--count N] [--host 127.x.x.x --port P]\n");
    return 2;
}

}   // namespace

int main(int argc, char** argv) {
    int count = 1000;
    Target external;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (i + 1 >= argc) return Usage();
        if (a == "--count")
            count = atoi(argv[++i]);
        else if (a == "--host")
            external.host = argv[++i];
        else if (a == "--port")
            external.port = static_cast<uint16_t>(atoi(argv[++i]));
        else
            return Usage();
    }
    if (count <= 0 || external.host.empty() != (external.port == 0)) return Usage();
    if (!external.host.empty() && !IsLoopback(external.host)) {
        fprintf(stderr, "refusing %s: only numeric IPv4 loopback addresses (127.0.0.0/8)\n", external.host.c_str());
        return 2;
    }

    curl_global_init(CURL_GLOBAL_DEFAULT);
    printf("%d requests per client and mode, GET %s, Basic auth\n", count, kPath);

    if (!external.host.empty()) {
        Result ours, peer;
        Measure(external, count, ours, peer);
        Print("external server", ours, peer);
        printf("ours_ms=%.3f peer_ms=%.3f ratio=%.2f\n", ours.medianMs, peer.medianMs, Ratio(ours, peer));
        curl_global_cleanup();
        return ours.failures || peer.failures ? 1 : 0;
    }

    const std::string body = ReplyBody();
    Result ours, peer, kaOurs, kaPeer;
    {
        ScriptedServer::Script s;
        s.mode = ScriptedServer::Mode::ReplyThenClose;
        s.reply = ScriptedServer::HttpReply(body, false);
        s.record = false;
        ScriptedServer server(s);
        if (!server.Ok()) {
            fprintf(stderr, "cannot listen on loopback\n");
            return 1;
        }
        Measure({"127.0.0.1", server.Port()}, count, ours, peer);
        Print("close after reply", ours, peer);
    }
    {
        ScriptedServer::Script s;
        s.mode = ScriptedServer::Mode::ReplyKeepOpen;
        s.reply = ScriptedServer::HttpReply(body, true);
        s.record = false;
        ScriptedServer server(s);
        if (!server.Ok()) {
            fprintf(stderr, "cannot listen on loopback\n");
            return 1;
        }
        Measure({"127.0.0.1", server.Port()}, count, kaOurs, kaPeer);
        Print("keep-alive + length", kaOurs, kaPeer);
    }
    curl_global_cleanup();

    printf("ours_ms=%.3f peer_ms=%.3f ratio=%.2f ka_ours_ms=%.3f ka_peer_ms=%.3f ka_ratio=%.2f\n", ours.medianMs,
           peer.medianMs, Ratio(ours, peer), kaOurs.medianMs, kaPeer.medianMs, Ratio(kaOurs, kaPeer));
    int failures = ours.failures + peer.failures + kaOurs.failures + kaPeer.failures;
    return failures ? 1 : 0;
}
