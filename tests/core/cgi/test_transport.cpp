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

enum class Call { Request, RequestLong, SendOnly };

// One command's worth of work: connect, send, read, close.
Exchange RunExchange(uint16_t port, uint32_t capacity, int timeoutMs, Call call = Call::Request,
                     const char* requestText = kCloudRead, const char* auth = "YWRtaW46MTIzNDU2") {
    CCgiClient client;
    Exchange ex;
    ex.buf.assign(capacity, 'x');
    int sock = -1;
    EXPECT_EQ(client.ConnectTo(CCgiClient::kLocalHost, port, CCgiClient::kConnectTimeoutMs, sock), 0);
    if (sock < 0) return ex;
    uint32_t cap = capacity;
    switch (call) {
        case Call::Request:
            ex.rc = client.Request(sock, CCgiClient::kLocalHost, requestText, ex.buf.data(), cap, auth, timeoutMs);
            break;
        case Call::RequestLong:
            ex.rc = client.RequestLong(sock, CCgiClient::kLocalHost, requestText, ex.buf.data(), cap, auth, timeoutMs);
            break;
        case Call::SendOnly:
            ex.rc =
                client.SendRequestOnly(sock, CCgiClient::kLocalHost, requestText, ex.buf.data(), cap, auth, timeoutMs);
            break;
    }
    client.CloseSocket(sock);
    ex.reply.assign(ex.buf.data(), strnlen(ex.buf.data(), capacity));
    return ex;
}

std::string OkReply(const std::string& body = kBody, bool contentLength = false) {
    return ScriptedServer::HttpReply(body, contentLength);
}

}   // namespace

// ---- bytes on the wire -------------------------------------------------------

TEST(CgiWire, GoldenRequestBytes) {
    char auth[CCgiClient::kCredentialSize];
    ASSERT_EQ(CCgiClient::MakeAuthorization("admin", "123456", auth), 0);
    EXPECT_STREQ(auth, "YWRtaW46MTIzNDU2");

    ScriptedServer server(Mode::ReplyThenClose, OkReply());
    ASSERT_TRUE(server.Ok());
    Exchange ex = RunExchange(server.Port(), 4096, 3000, Call::Request, kCloudRead, auth);
    EXPECT_EQ(ex.rc, 0);
    ASSERT_TRUE(server.WaitFinished(1));
    EXPECT_EQ(server.Received(), kGoldenRequest);
    EXPECT_EQ(ex.reply, OkReply());

    // Built without a socket, the same bytes and their length.
    char buf[1024];
    int len = CCgiClient::BuildRequest("127.0.0.1", kCloudRead, auth, buf, sizeof(buf));
    EXPECT_EQ(len, static_cast<int>(kGoldenRequest.size()));
    EXPECT_EQ(std::string(buf), kGoldenRequest);
}

TEST(CgiWire, AuthorizationLineVariants) {
    char auth[CCgiClient::kCredentialSize];
    ASSERT_EQ(CCgiClient::MakeAuthorization("", "", auth), 0);
    EXPECT_STREQ(auth, "Og==");   // Base64 of a lone ":"

    char buf[1024];
    ASSERT_GT(CCgiClient::BuildRequest("127.0.0.1", kCloudRead, auth, buf, sizeof(buf)), 0);
    EXPECT_NE(strstr(buf, "\r\nConnection: Keep-Alive\r\nAuthorization: Basic Og==\r\n\r\n"), nullptr);

    // No authorization text: the line is left out, nothing else changes.
    std::string without = kGoldenRequest;
    without.erase(without.find("Authorization:"), strlen("Authorization: Basic YWRtaW46MTIzNDU2\r\n"));
    ASSERT_GT(CCgiClient::BuildRequest("127.0.0.1", kCloudRead, nullptr, buf, sizeof(buf)), 0);
    EXPECT_EQ(std::string(buf), without);

    // The network-settings write names the camera itself in Host.
    ASSERT_GT(CCgiClient::BuildRequest("192.168.1.88", kCloudRead, auth, buf, sizeof(buf)), 0);
    EXPECT_NE(strstr(buf, "\r\nHost: 192.168.1.88\r\n"), nullptr);
}

TEST(CgiWire, OversizedInputsRejectedBeforeSending) {
    // Exact fit: the request plus its terminating zero fill the buffer.
    std::string request = "GET /cgi-bin/ky7200/param.cgi?cmd=setcloudenable&-cloud_enable=1";
    char big[4096];
    const int len = CCgiClient::BuildRequest("127.0.0.1", request.c_str(), "Og==", big, sizeof(big));
    ASSERT_GT(len, 0);
    std::vector<char> exact(len + 1, 'x');
    EXPECT_EQ(CCgiClient::BuildRequest("127.0.0.1", request.c_str(), "Og==", exact.data(),
                                       static_cast<uint32_t>(exact.size())),
              len);
    EXPECT_EQ(std::string(exact.data()), std::string(big));
    std::vector<char> shortBuf(len, 'x');
    EXPECT_EQ(CCgiClient::BuildRequest("127.0.0.1", request.c_str(), "Og==", shortBuf.data(),
                                       static_cast<uint32_t>(shortBuf.size())),
              -1);
    EXPECT_EQ(std::string(shortBuf.data(), shortBuf.size()), std::string(shortBuf.size(), '\0'))
        << "no partial request may stay in the buffer";

    // An authorization text of 255 bytes is the largest that is accepted.
    std::string auth(255, 'A');
    EXPECT_GT(CCgiClient::BuildRequest("127.0.0.1", kCloudRead, auth.c_str(), big, sizeof(big)), 0);
    auth += 'A';
    EXPECT_EQ(CCgiClient::BuildRequest("127.0.0.1", kCloudRead, auth.c_str(), big, sizeof(big)), -1);

    // Over the wire: neither reaches the server.
    ScriptedServer server(Mode::ReplyThenClose, OkReply());
    ASSERT_TRUE(server.Ok());
    std::string longRequest = "GET /cgi-bin/ky7200/param.cgi?cmd=setosd&-name=" + std::string(600, 'n');
    for (Call call : {Call::Request, Call::RequestLong, Call::SendOnly}) {
        EXPECT_EQ(RunExchange(server.Port(), 512, kQuickMs, call, longRequest.c_str()).rc, -1);
        EXPECT_EQ(RunExchange(server.Port(), 4096, kQuickMs, call, kCloudRead, auth.c_str()).rc, -1);
    }
    ASSERT_TRUE(server.WaitFinished(6));
    EXPECT_EQ(server.Received(), "");
}

TEST(CgiWire, CredentialLimits) {
    char auth[CCgiClient::kCredentialSize];
    // "user:password" of 189 bytes encodes to 252 characters, which fit.
    std::string user(94, 'u'), password(94, 'p');
    ASSERT_EQ(CCgiClient::MakeAuthorization(user.c_str(), password.c_str(), auth), 0);
    EXPECT_EQ(strlen(auth), 252u);

    // One more byte would need 256 characters plus the zero: refused, never cut.
    password += 'p';
    memset(auth, 'x', sizeof(auth));
    EXPECT_EQ(CCgiClient::MakeAuthorization(user.c_str(), password.c_str(), auth), -1);
    EXPECT_STREQ(auth, "");

    // A credential text longer than its own 255-byte buffer.
    std::string huge(300, 'u');
    memset(auth, 'x', sizeof(auth));
    EXPECT_EQ(CCgiClient::MakeAuthorization(huge.c_str(), "", auth), -1);
    EXPECT_STREQ(auth, "");
}

// ---- reply judgement ---------------------------------------------------------

TEST(CgiReply, CheckReplyRules) {
    CCgiClient client;
    struct Case {
        const char* reply;
        int rc;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Type:text/html\r\n\r\nvar a=1;\r\n", 0},
        {"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\nvar a=1;\r\n", -1},
        {"HTTP/1.1 200 OK\r\ncontent-type:text/html\r\n\r\n", -1},
        {"HTTP/1.1 200 OK\r\nContent-Type:text/html\r\n\r\n[Error] bad param\r\n", -1},
        {"HTTP/1.1 401 Unauthorized\r\nContent-Type:text/html\r\n\r\n", -1},
        {"HTTP/1.1 200 ok\r\nContent-Type:text/html\r\n\r\n", -1},
        {"", -1},
        {nullptr, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(client.CheckReply(c.reply), c.rc) << (c.reply ? c.reply : "(null)");
}

TEST(CgiReply, RepliesJudgedOverTheWire) {
    struct Case {
        std::string reply;
        int rc;
    } cases[] = {
        {OkReply(), 0},
        {ScriptedServer::HttpReply(kBody, false, "200 OK", "Content-Type: text/html"), -1},
        {OkReply("[Error]: cmd=getcloudenable\r\n"), -1},
        {ScriptedServer::HttpReply("", false, "401 Unauthorized"), -1},
        {"", -1},   // closes without a word
    };
    for (const Case& c : cases) {
        ScriptedServer server(Mode::ReplyThenClose, c.reply);
        ASSERT_TRUE(server.Ok());
        for (Call call : {Call::Request, Call::RequestLong}) {
            Exchange ex = RunExchange(server.Port(), 4096, 3000, call);
            EXPECT_EQ(ex.rc, c.rc) << c.reply;
            EXPECT_EQ(ex.reply, c.reply) << "the reply stays in the exchange buffer";
        }
    }
}

// ---- connection and time-outs ------------------------------------------------

TEST(CgiConnect, ClosedPortFailsWithoutSocket) {
    uint16_t port = ScriptedServer::ClosedPort();
    ASSERT_NE(port, 0);
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

TEST(CgiConnect, SilentServerFailsAfterQuietPeriod) {
    ScriptedServer server(Mode::NeverAnswer, "");
    ASSERT_TRUE(server.Ok());
    for (Call call : {Call::Request, Call::RequestLong}) {
        Exchange ex = RunExchange(server.Port(), 4096, kQuickMs, call);
        EXPECT_EQ(ex.rc, -1);
        EXPECT_EQ(ex.reply, "") << "the request must not be judged as the reply";
    }
    ASSERT_TRUE(server.WaitFinished(2));
    EXPECT_EQ(server.Received(), kGoldenRequest + kGoldenRequest);
}

TEST(CgiConnect, QuietPeriodRestartsForEveryPiece) {
    // Seven pieces 300 ms apart take longer than the 1500 ms quiet limit as a
    // whole, but no single pause reaches it.
    std::string reply = OkReply("var a=1;\r\nvar b=2;\r\nvar c=3;\r\n");
    ScriptedServer::Script script;
    script.mode = Mode::ReplyThenClose;
    script.reply = reply;
    script.chunkSize = (reply.size() + 6) / 7;
    script.chunkGapMs = 300;
    ScriptedServer server(script);
    ASSERT_TRUE(server.Ok());
    Exchange ex = RunExchange(server.Port(), 4096, 1500);
    EXPECT_EQ(ex.rc, 0);
    EXPECT_EQ(ex.reply, reply);
}

// ---- buffer limits -----------------------------------------------------------

TEST(CgiBuffer, ReplyFillingTheBufferIsJudgedAndTerminated) {
    constexpr uint32_t kCap = 512;
    auto sized = [](const std::string& tail, size_t total) {
        std::string head = OkReply("");
        return head + std::string(total - head.size() - tail.size(), '.') + tail;
    };
    // The very last byte that fits is read and judged.
    std::string failing = sized("[Error]", kCap - 1);
    std::string passing = sized("var a=1;\r\n", kCap - 1);
    ASSERT_EQ(failing.size(), kCap - 1);
    for (auto [reply, rc] : {std::pair{failing, -1}, std::pair{passing, 0}}) {
        ScriptedServer server(Mode::ReplyKeepOpen, reply);
        ASSERT_TRUE(server.Ok());
        Exchange ex = RunExchange(server.Port(), kCap, kNeverMs);   // full buffer ends the read
        EXPECT_EQ(ex.rc, rc);
        EXPECT_EQ(ex.reply, reply);
        EXPECT_EQ(ex.buf[kCap - 1], '\0');
    }

    // A longer reply is cut: what lies beyond the buffer is never seen.
    ScriptedServer server(Mode::ReplyThenClose, passing + "[Error]");
    ASSERT_TRUE(server.Ok());
    Exchange ex = RunExchange(server.Port(), kCap, 3000);
    EXPECT_EQ(ex.rc, 0);
    EXPECT_EQ(ex.reply, passing);
    EXPECT_EQ(ex.buf[kCap - 1], '\0');
}

// ---- connections kept open ---------------------------------------------------

TEST(CgiKeepAlive, ContentLengthEndsTheReply) {
    // With a quiet limit far beyond the test's own time-out, only the early
    // end lets these finish.
    std::string lower =
        "HTTP/1.1 200 OK\r\nContent-Type:text/html\r\ncontent-length: " + std::to_string(strlen(kBody)) + "\r\n\r\n" +
        std::string(kBody);
    std::string empty = ScriptedServer::HttpReply("", true);
    for (const std::string& reply : {OkReply(kBody, true), lower, empty}) {
        ScriptedServer server(Mode::ReplyKeepOpen, reply);
        ASSERT_TRUE(server.Ok());
        for (Call call : {Call::Request, Call::RequestLong}) {
            Exchange ex = RunExchange(server.Port(), 4096, kNeverMs, call);
            EXPECT_EQ(ex.rc, 0);
            EXPECT_EQ(ex.reply, reply);
        }
    }

    // Headers and body dribbling in small pieces: the blank line and the
    // length are found across reads.
    ScriptedServer::Script script;
    script.mode = Mode::ReplyKeepOpen;
    script.reply = OkReply(kBody, true);
    script.chunkSize = 3;
    script.chunkGapMs = 2;
    ScriptedServer slow(script);
    ASSERT_TRUE(slow.Ok());
    Exchange ex = RunExchange(slow.Port(), 4096, kNeverMs);
    EXPECT_EQ(ex.rc, 0);
    EXPECT_EQ(ex.reply, script.reply);
}

TEST(CgiKeepAlive, WithoutContentLengthEndsAtQuietPeriod) {
    ScriptedServer server(Mode::ReplyKeepOpen, OkReply());
    ASSERT_TRUE(server.Ok());
    for (Call call : {Call::Request, Call::RequestLong}) {
        Exchange ex = RunExchange(server.Port(), 4096, kQuickMs, call);
        EXPECT_EQ(ex.rc, 0);
        EXPECT_EQ(ex.reply, OkReply());
    }
}

TEST(CgiKeepAlive, SendRequestOnlyReadsNothing) {
    ScriptedServer server(Mode::ReplyKeepOpen, OkReply("[Error]\r\n"));
    ASSERT_TRUE(server.Ok());
    Exchange ex = RunExchange(server.Port(), 4096, kNeverMs, Call::SendOnly);
    EXPECT_EQ(ex.rc, 0);
    EXPECT_EQ(ex.reply, kGoldenRequest) << "the buffer still holds the request";
    ASSERT_TRUE(server.WaitFinished(1));
    EXPECT_EQ(server.Received(), kGoldenRequest);
}
