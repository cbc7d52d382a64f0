// CCgiClient transport against a scripted loopback server: bytes on the wire,
// reply judgement, time-outs, buffer limits and early end of Content-Length
// replies.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/cgi/CgiClient.h"
#include "tests/support/CgiWire.h"

using ky::test::ScriptedServer;
using Mode = ScriptedServer::Mode;

namespace {

constexpr const char* kCloudRead = "GET /cgi-bin/ky7200/param.cgi?cmd=getcloudenable";
constexpr const char* kBody = "var cloud_enable=\"1\";\r\n";
constexpr int kQuickMs = 300;
// Longer than the ctest time-out: a test relying on an early end would hang
// and be killed instead of passing slowly.
constexpr int kNeverMs = 600000;

// The header block as the tool always sends it (tests/support/CgiWire.h),
// with the Base64 of "admin:123456".
const std::string kGoldenRequest = ky::test::ExpectedRequest(kCloudRead);

struct Exchange {
    int rc = -1;
    std::string reply;   // the exchange buffer as text after the call
    std::vector<char> buf;
};

enum class Call { Request, RequestLong, SendOnly, AnswerOptional };

// One command's worth of work: connect, send, read, close.
Exchange RunExchange(uint16_t port, uint32_t capacity, int timeoutMs, Call call = Call::Request,
                     const char* requestText = kCloudRead, const char* auth = "YWRtaW46MTIzNDU2") {
    CCgiClient client;
    Exchange ex;
    ex.buf.assign(capacity, 'x');
    int sock = -1;
    EXPECT_EQ(client.ConnectTo(CCgiClient::kLocalHost, port, CCgiClient::kConnectTimeoutMs, sock), 0);
    if (sock < 0) return ex;
    using Fn = int (CCgiClient::*)(int, const char*, const char*, char*, uint32_t&, const char*, int);
    const Fn fn = call == Call::Request          ? &CCgiClient::Request
                  : call == Call::RequestLong    ? &CCgiClient::RequestLong
                  : call == Call::AnswerOptional ? &CCgiClient::RequestAnswerOptional
                                                 : &CCgiClient::SendRequestOnly;
    uint32_t cap = capacity;
    ex.rc = (client.*fn)(sock, CCgiClient::kLocalHost, requestText, ex.buf.data(), cap, auth, timeoutMs);
    client.CloseSocket(sock);
    ex.reply.assign(ex.buf.data(), strnlen(ex.buf.data(), capacity));
    return ex;
}

std::string OkReply(const std::string& body = kBody, bool contentLength = false) {
    return ScriptedServer::HttpReply(body, contentLength);
}

}   // namespace

TEST(CgiWire, GoldenRequestBytesAndTheirVariants) {
    char auth[CCgiClient::kCredentialSize];
    ASSERT_EQ(CCgiClient::MakeAuthorization("admin", "123456", auth), 0);
    ScriptedServer server(Mode::ReplyThenClose, OkReply());
    Exchange ex = RunExchange(server.Port(), 4096, 3000, Call::Request, kCloudRead, auth);
    EXPECT_EQ(ex.rc, 0);
    ASSERT_TRUE(server.WaitFinished(1));
    EXPECT_EQ(server.Received(), kGoldenRequest);
    EXPECT_EQ(ex.reply, OkReply());

    // Built without a socket: the same bytes and their length; without an
    // authorization text the line is left out; the network-settings write
    // names the camera itself in Host.
    std::string without = kGoldenRequest;
    without.erase(without.find("Authorization:"), strlen(ky::test::kAdminAuthLine));
    const struct {
        const char *host, *auth;
        std::string want;
    } built[] = {
        {"127.0.0.1", auth, kGoldenRequest},
        {"127.0.0.1", nullptr, without},
        {"192.168.1.88", auth, ky::test::ExpectedRequest(kCloudRead, "192.168.1.88")},
    };
    for (const auto& b : built) {
        char buf[1024];
        EXPECT_EQ(CCgiClient::BuildRequest(b.host, kCloudRead, b.auth, buf, sizeof(buf)), int(b.want.size()));
        EXPECT_EQ(std::string(buf), b.want);
    }
}

TEST(CgiWire, CredentialLimits) {
    // "user:password" of 189 bytes encodes to 252 characters, which fit; one
    // more byte would need 256 and the zero, and a credential text longer than
    // its own 255-byte buffer: refused, never cut. A lone ":" is "Og==".
    const struct {
        std::string user, password, want;   // "*": 252 characters
        int rc;
    } cases[] = {
        {"", "", "Og==", 0},
        {std::string(94, 'u'), std::string(94, 'p'), "*", 0},
        {std::string(94, 'u'), std::string(95, 'p'), "", -1},
        {std::string(300, 'u'), "", "", -1},
    };
    for (const auto& c : cases) {
        char auth[CCgiClient::kCredentialSize];
        memset(auth, 'x', sizeof(auth));
        EXPECT_EQ(CCgiClient::MakeAuthorization(c.user.c_str(), c.password.c_str(), auth), c.rc);
        EXPECT_TRUE(c.want == "*" ? strlen(auth) == 252 : c.want == auth) << auth;
    }
}

TEST(CgiWire, OversizedInputsRejectedBeforeSending) {
    // Exact fit: the request plus its terminating zero fill the buffer.
    std::string request = "GET /cgi-bin/ky7200/param.cgi?cmd=setcloudenable&-cloud_enable=1";
    char big[4096];
    const int len = CCgiClient::BuildRequest("127.0.0.1", request.c_str(), "Og==", big, sizeof(big));
    ASSERT_GT(len, 0);
    std::vector<char> exact(len + 1, 'x'), shortBuf(len, 'x');
    EXPECT_EQ(CCgiClient::BuildRequest("127.0.0.1", request.c_str(), "Og==", exact.data(), len + 1), len);
    EXPECT_EQ(std::string(exact.data()), std::string(big));
    EXPECT_EQ(CCgiClient::BuildRequest("127.0.0.1", request.c_str(), "Og==", shortBuf.data(), len), -1);
    EXPECT_EQ(std::string(shortBuf.data(), shortBuf.size()), std::string(shortBuf.size(), '\0'))
        << "no partial request may stay in the buffer";

    // An authorization text of 255 bytes is the largest that is accepted.
    std::string auth(255, 'A');
    EXPECT_GT(CCgiClient::BuildRequest("127.0.0.1", kCloudRead, auth.c_str(), big, sizeof(big)), 0);
    auth += 'A';
    EXPECT_EQ(CCgiClient::BuildRequest("127.0.0.1", kCloudRead, auth.c_str(), big, sizeof(big)), -1);

    // Over the wire: neither reaches the server.
    ScriptedServer server(Mode::ReplyThenClose, OkReply());
    std::string longRequest = "GET /cgi-bin/ky7200/param.cgi?cmd=setosd&-name=" + std::string(600, 'n');
    for (Call call : {Call::Request, Call::RequestLong, Call::SendOnly}) {
        EXPECT_EQ(RunExchange(server.Port(), 512, kQuickMs, call, longRequest.c_str()).rc, -1);
        EXPECT_EQ(RunExchange(server.Port(), 4096, kQuickMs, call, kCloudRead, auth.c_str()).rc, -1);
    }
    ASSERT_TRUE(server.WaitFinished(6));
    EXPECT_EQ(server.Received(), "");
}

// Reply judgement, and replies over the wire for the three reading calls:
// golden/replies.txt.
TEST(CgiReply, RepliesOverTheWire) {
    EXPECT_EQ(CCgiClient().CheckReply(nullptr), -1);
    ky::test::ExpectGoldenResults(
        KY_REPLIES_GOLDEN,
        {{"Check", [](const auto& a) { return std::to_string(CCgiClient().CheckReply(a.at(0).c_str())); }},
         {"Cgi", [](const auto& a) {
              ScriptedServer server(ky::test::CameraScript(a.at(0), a.at(2), a.at(3)));
              const int quietMs = a.at(1) == "never" ? kNeverMs : std::stoi(a.at(1));
              std::string out;
              for (Call call : {Call::Request, Call::RequestLong, Call::AnswerOptional}) {
                  const Exchange ex = RunExchange(server.Port(), 4096, quietMs, call);
                  out += (out.empty() ? "" : " ") + std::to_string(ex.rc) + (ex.reply == a.at(3) ? "" : "+junk");
              }
              return out;
          }}});
}

TEST(CgiConnect, ClosedPortFailsWithoutSocket) {
    uint16_t port = ScriptedServer::ClosedPort();
    CCgiClient client;
    int sock = 12345;
    EXPECT_EQ(client.ConnectTo(CCgiClient::kLocalHost, port, CCgiClient::kConnectTimeoutMs, sock), -1);
    EXPECT_LT(sock, 0);
    EXPECT_EQ(client.ConnectTo(nullptr, port, CCgiClient::kConnectTimeoutMs, sock), -1);
    EXPECT_LT(sock, 0);
    // Nothing is sent on a socket that is not there.
    uint32_t cap = 1024;
    char buf[1024];
    EXPECT_EQ(client.Request(-1, CCgiClient::kLocalHost, kCloudRead, buf, cap, "Og==", kQuickMs), -1);
    EXPECT_EQ(client.SendRequestOnly(-1, CCgiClient::kLocalHost, kCloudRead, buf, cap, "Og==", 0), -1);
}

TEST(CgiBuffer, ReplyFillingTheBufferIsJudgedAndTerminated) {
    constexpr uint32_t kCap = 512;
    auto sized = [](const std::string& tail, size_t total) {
        std::string head = OkReply("");
        return head + std::string(total - head.size() - tail.size(), '.') + tail;
    };
    // The very last byte that fits is read and judged; a full buffer ends the
    // read; what lies beyond the buffer is never seen.
    const std::string failing = sized("[Error]", kCap - 1), passing = sized("var a=1;\r\n", kCap - 1);
    const struct {
        Mode mode;
        std::string reply;
        int rc;
    } cases[] = {{Mode::ReplyKeepOpen, failing, -1},
                 {Mode::ReplyKeepOpen, passing, 0},
                 {Mode::ReplyThenClose, passing + "[Error]", 0}};
    for (const auto& c : cases) {
        ScriptedServer server(c.mode, c.reply);
        Exchange ex = RunExchange(server.Port(), kCap, kNeverMs);
        EXPECT_EQ(ex.rc, c.rc);
        EXPECT_EQ(ex.reply, c.reply.substr(0, kCap - 1));
        EXPECT_EQ(ex.buf[kCap - 1], '\0');
    }
}

TEST(CgiKeepAlive, SendRequestOnlyReadsNothing) {
    ScriptedServer server(Mode::ReplyKeepOpen, OkReply("[Error]\r\n"));
    Exchange ex = RunExchange(server.Port(), 4096, kNeverMs, Call::SendOnly);
    EXPECT_EQ(ex.rc, 0);
    EXPECT_EQ(ex.reply, kGoldenRequest) << "the buffer still holds the request";
    ASSERT_TRUE(server.WaitFinished(1));
    EXPECT_EQ(server.Received(), kGoldenRequest);
}
