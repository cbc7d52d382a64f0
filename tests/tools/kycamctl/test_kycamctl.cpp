// kycamctl against a scripted loopback camera: exit statuses, what is sent,
// and that bad input never reaches the camera.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "tests/support/ChildProcess.h"
#include "tests/support/LoopbackRelay.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TestFiles.h"
#include "tests/tools/kycamctl/CtlRun.h"

using ky::test::Ctl;
using ky::test::ScriptedServer;

namespace {

// A camera that answers every get with the same values and every set with
// OK; a whole reply ("HTTP/1.1 ...") is sent as it is to every request.
std::unique_ptr<ScriptedServer> Camera(const std::string& getBody) {
    ScriptedServer::Script s;
    s.handler = [getBody](const std::string& request) {
        if (getBody.rfind("HTTP/", 0) == 0) return getBody;
        return ScriptedServer::HttpReply(request.find("cmd=set") != std::string::npos ? "" : getBody);
    };
    return std::make_unique<ScriptedServer>(s);
}

bool Has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

}   // namespace

TEST(Kycamctl, CommandsAgainstAScriptedCamera) {
    kytest::TempDir dir;
    const auto file = [&](const std::string& name, const std::string& text) {
        kytest::WriteBytes(dir.file(name), text);
        return dir.file(name);
    };
    const std::string cloud = "var cloud_enable=1;\r\n", cloud0 = "var cloud_enable=0;\r\n",
                      cgi = "GET /cgi-bin/ky7200/param.cgi?cmd=";
    const std::string audio =
        "var aeswitch_1=\"1\";\r\nvar aeformat_1=\"g711u\";\r\nvar aeswitch_2=\"1\";\r\nvar aeformat_2=\"g711u\";\r\n"
        "var volume=\"80\";\r\nvar volin_type=\"1\";\r\nvar ao_volume=\"90\";\r\n";
    // A camera without tracking reads 255 for its switch and mode; neither set
    // nor restore sends that back.
    const std::string ptz =
        "var panscan=\"2\";\r\nvar movehome=\"on\";\r\nvar ptzalarmmask=\"off\";\r\nvar light_enable=\"1\";\r\n";
    const std::string ptzBackup =
        R"({"pages": {"ptz": {"panscan": 4, "smartrack_enable": 255, "smartrack_mode": 255}}})";
    const std::string tmall = "var tmall_flag=1;\r\nvar tmall_enable=0;\r\n";
    const std::string p2p = "var xqp2p_enable=0;\r\nvar xqp2p_uid=\"\";\r\n", raw = "var a=\"1\";\r\n";
    const std::string tracking = "&-smartrack_enable=0&-smartrack_mode=0&";
    const std::string hostile = "var xqp2p_uid=\"\x1B]0\x07\xFF\";\r\n";
    const struct {
        std::string camera;   // what every get answers; empty: nothing listens
        std::vector<std::string> args;
        int status;
        std::vector<std::string> sent = {};   // pieces of what reached the camera; "!": never
        std::string err = "", out = "*";      // a piece of err, out exactly ("*": anything)
    } cases[] = {
        {cloud, {"get", "cloud"}, 0, {}, "", "cloud_enable=1\n"},
        {cloud, {"--json", "get", "cloud"}, 0, {}, "", "{\"cloud_enable\":1}\n"},
        {tmall,
         {"set", "tmall", "tmall_enable=1"},
         0,
         {cgi + "gettmallattr HTTP", cgi + "settmallattr&-tmall_enable=1 HTTP"}},
        // Usage errors name the field and send nothing.
        {cloud, {"set", "cloud", "nosuch=1"}, 2, {"!GET"}, "nosuch"},
        {cloud, {"set", "cloud", "cloud_enable=on"}, 2, {"!GET"}, "cloud_enable"},   // does not convert
        {cloud, {"set", "tmall", "tmall_flag=1"}, 2, {"!GET"}, "tmall_flag"},        // read-only
        {cloud, {"set", "serverinfo", "name=x"}, 2, {"!GET"}, "serverinfo"},         // read-only page
        {cloud, {"get", "nosuchpage"}, 2, {"!GET"}, "nosuchpage"},
        {cloud, {"frobnicate"}, 2, {"!GET"}, "frobnicate"},
        {cloud, {"set", "cloud"}, 2, {"!GET"}},
        // The page's own rules: refused after reading, before writing.
        {cloud, {"set", "cloud", "cloud_enable=5"}, 2, {"!cmd=set"}},
        {p2p, {"set", "p2p", "enable=1"}, 2, {"!cmd=set"}, "Enable P2P, UUID cannot be empty!"},
        // A format the camera reports is written back as it is; a word the
        // write cannot carry is refused before anything is sent.
        {audio,
         {"set", "audio", "volume=50"},
         0,
         {"-aeformat=g711u&cmd=setaencattr&-chn=12&-aeswitch=1&-aeformat=g711u&", "setaudioinvolume&-volume=50"}},
        {audio, {"set", "audio", "aeformat_b=G711A"}, 2, {"!cmd=set"}, "Audio format must be g711a, g711u or g726!"},
        {ptz, {"set", "ptz", "panscan=3"}, 0, {tracking, "!=255"}},
        {ptz, {"restore", file("ptz.json", ptzBackup)}, 0, {tracking, "!=255"}},
        {cloud0, {"set", "cloud", "--from", file("on.json", R"({"cloud_enable": 1})")}, 0, {"&-cloud_enable=1 "}},
        {cloud, {"set", "cloud", "--from", file("yes.json", R"({"cloud_enable": "yes"})")}, 2, {"!cmd=set"}},
        {cloud, {"set", "cloud", "--from", file("broken.json", "{not json")}, 2, {"!cmd=set"}},
        {raw, {"raw", "GET /cgi-bin/ky7200/param.cgi?cmd=geta"}, 0, {cgi + "geta HTTP/1.1\r\n"}, "", raw},
        // Camera text is data: repaired UTF-8, no control character on a terminal
        // (JSON escapes them).
        {hostile, {"get", "p2p"}, 0, {}, "", "family=0\nenable=0\nmode=0\nuid=?]0?\xEF\xBF\xBD\n"},
        // Files read without end are refused.
        {"", {"restore", "/dev/zero"}, 2},
        // Exit statuses: refused, no "Succeed" in the reply, no connection.
        {ScriptedServer::HttpReply("", false, "401 Unauthorized"), {"get", "cloud"}, 1},
        {"Error\r\n", {"call", "FormatSd"}, 1},
        {"", {"get", "cloud"}, 3},
        {"", {"raw", "GET /cgi-bin/ky7200/param.cgi?cmd=x"}, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        const auto cam = Camera(c.camera);
        const auto r = Ctl(c.camera.empty() ? ScriptedServer::ClosedPort() : cam->Port(), c.args);
        EXPECT_EQ(c.status, r.status) << r.err;
        EXPECT_TRUE(c.out == "*" || c.out == r.out) << r.out;
        EXPECT_TRUE(Has(r.err, c.err)) << r.err;
        for (const std::string& piece : c.sent) {
            const bool never = piece[0] == '!';
            // A send-only write may still be on its way.
            for (int i = 0; i < 100 && !never && !Has(cam->Received(), piece); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            EXPECT_NE(never, Has(cam->Received(), piece.substr(never))) << piece << " in\n" << cam->Received();
        }
    }
}

TEST(Kycamctl, ManyCamerasFromAHostsFile) {
    const auto a = Camera("var cloud_enable=1;\r\n"), b = Camera("var cloud_enable=0;\r\n");
    const auto refusing = Camera(ScriptedServer::HttpReply("", false, "401 Unauthorized"));
    kytest::TempDir dir;
    const std::string hosts = dir.file("hosts.txt"), secret = dir.file("secret"), at = "127.0.0.1:";
    kytest::WriteBytes(secret, "s3cret\n");
    kytest::WriteBytes(hosts, "# site A\n" + at + std::to_string(a->Port()) + " admin password-file=" + secret + "\n" +
                                  at + std::to_string(b->Port()) + " admin \"p#w x\"   # own credentials\n\n" + at +
                                  std::to_string(refusing->Port()) + "\n" + at +
                                  std::to_string(ScriptedServer::ClosedPort()) + "\n");
    // -p -: the password is asked once for all cameras.
    const auto r = Ctl(0, {"-p", "-", "--hosts", hosts, "get", "cloud"}, "typed\n");
    EXPECT_EQ(3, r.status);   // the worst result
    EXPECT_TRUE(Has(r.out, "== " + at + std::to_string(a->Port()) + "\ncloud_enable=1\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "== " + at + std::to_string(b->Port()) + "\ncloud_enable=0\n")) << r.out;
    EXPECT_TRUE(Has(r.out, std::to_string(refusing->Port()) + "  refused") && Has(r.out, "no connection")) << r.out;
    EXPECT_TRUE(Has(r.err, "4/4 cameras done")) << r.err;
    ASSERT_TRUE(refusing->WaitFinished(1));
    EXPECT_TRUE(Has(a->Received(), "Basic YWRtaW46czNjcmV0\r\n"));          // admin:s3cret
    EXPECT_TRUE(Has(b->Received(), "Basic YWRtaW46cCN3IHg=\r\n"));          // admin:p#w x
    EXPECT_TRUE(Has(refusing->Received(), "Basic YWRtaW46dHlwZWQ=\r\n"));   // admin:typed
    // Bad lines, and a file read without end, are refused before anything is sent.
    for (const std::string bad : {"127.0.0.1:99999\n", "127.0.0.1 admin \"open\n", "[::1\n", "/dev/zero"}) {
        if (bad != "/dev/zero") kytest::WriteBytes(hosts, bad);
        EXPECT_EQ(2, Ctl(0, {"--hosts", bad == "/dev/zero" ? bad : hosts, "get", "cloud"}).status) << bad;
    }
}

// A camera on loopback that takes connections at once and holds each reply
// until `together` connections are open (or 2 s passed): the most open at
// once shows how many the client ran in parallel.
class CountingCamera {
public:
    explicit CountingCamera(int together) : together_(together) {
        listen_ = ky::test::ListenLoopback(&port);
        accepter_ = std::thread([this] {
            for (int fd; (fd = ::accept(listen_, nullptr, nullptr)) >= 0;)
                serving_.emplace_back([this, fd] { Serve(fd); });
        });
    }
    ~CountingCamera() {
        ::shutdown(listen_, SHUT_RDWR);
        accepter_.join();
        for (auto& t : serving_) t.join();
        ::close(listen_);
    }
    int port = 0, most = 0;

private:
    void Serve(int fd) {
        std::string request;
        char buf[4096];
        for (ssize_t n; request.find("\r\n\r\n") == std::string::npos && (n = ::recv(fd, buf, sizeof buf, 0)) > 0;)
            request.append(buf, size_t(n));
        {
            std::unique_lock lock(mutex_);
            most = std::max(most, ++open_);
            if (open_ >= together_) pass_ = together_;
            changed_.notify_all();
            changed_.wait_for(lock, std::chrono::seconds(2), [&] { return pass_ > 0; });
            if (pass_ > 0) --pass_;
            --open_;
        }
        const std::string reply = ScriptedServer::HttpReply("var cloud_enable=1;\r\n");
        ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
        ::close(fd);
    }
    int together_, listen_, open_ = 0, pass_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread accepter_;
    std::vector<std::thread> serving_;
};

// With --json: one array in the order of the file, unreachable cameras with
// their error; --parallel bounds the connections open at once.
TEST(Kycamctl, HostsAsOneJsonDocumentWithBoundedParallelism) {
    CountingCamera camera(3);
    kytest::TempDir dir;
    std::string hosts;
    for (int i = 0; i < 6; ++i) hosts += "127.0.0.1:" + std::to_string(camera.port) + "\n";
    hosts += "[::1]:" + std::to_string(ScriptedServer::ClosedPort()) + "\n";
    kytest::WriteBytes(dir.file("hosts"), hosts);
    const auto r = Ctl(0, {"--hosts", dir.file("hosts"), "--parallel", "3", "--json", "get", "cloud"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "");   // no progress line: not a terminal
    const auto doc = nlohmann::json::parse(r.out);
    ASSERT_EQ(doc.size(), 7u) << r.out;
    EXPECT_EQ(doc[0], nlohmann::json::parse(R"({"host": "127.0.0.1", "port": )" + std::to_string(camera.port) +
                                            R"(, "ok": true, "exit": 0, "result": {"cloud_enable": 1}})"));
    EXPECT_EQ(doc[6]["host"], "::1");
    EXPECT_EQ(doc[6]["exit"], 3);
    EXPECT_TRUE(Has(doc[6].value("error", ""), "could not connect")) << doc[6];
    EXPECT_FALSE(doc[6].contains("result"));
    EXPECT_EQ(camera.most, 3);
}

// Neither an environment password nor a password file shows in the process
// list; both reach the camera (admin:s3cret).
TEST(Kycamctl, PasswordsStayOutOfTheProcessList) {
    kytest::TempDir dir;
    kytest::WriteBytes(dir.file("password"), "s3cret\nnot this line\n");
    for (const std::string way : {"KYCAM_PASSWORD", "--password-file"}) {
        ScriptedServer cam(ScriptedServer::Mode::NeverAnswer, "");
        std::vector<std::string> args = {KYCAMCTL_PATH, "-P", std::to_string(cam.Port()), "--timeout", "20000"};
        if (way == "KYCAM_PASSWORD") setenv("KYCAM_PASSWORD", "s3cret", 1);
        if (way == "--password-file") args.insert(args.end(), {way, dir.file("password")});
        args.insert(args.end(), {"get", "cloud"});
        ky::test::ChildProcess child;
        ASSERT_TRUE(child.Start(args, {.quietStderr = true}));
        unsetenv("KYCAM_PASSWORD");
        for (int i = 0; i < 500 && !Has(cam.Received(), "\r\n\r\n"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_FALSE(Has(kytest::ReadBytes("/proc/" + std::to_string(child.Pid()) + "/cmdline"), "s3cret")) << way;
        EXPECT_TRUE(Has(cam.Received(), "Authorization: Basic YWRtaW46czNjcmV0\r\n")) << way;
    }
}
