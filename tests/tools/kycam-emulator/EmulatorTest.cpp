// The emulated camera seen from an independent client: curl for normal
// traffic, raw sockets for malformed input and fault modes.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "tests/support/TestFiles.h"
#include "tests/tools/kycam-emulator/EmuTestUtil.h"
#include "tools/kycam-emulator/Emulator.h"

using namespace emutest;

namespace {

const std::string kInfo = "/cgi-bin/ky7200/param.cgi?cmd=getserverinfo";

std::string CgiRequest(const std::string& query) {
    return "GET /cgi-bin/ky7200/param.cgi?" + query + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + kAuthHeader + "\r\n";
}

bool Has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

// The upload the tool makes: one file part, the whole name percent-encoded.
std::string ToolUpload(const std::string& encodedName, const std::string& data, long contentLength = -1,
                       bool closeBoundary = true, const char* field = "setting_file") {
    const std::string boundary = "20240101120000";
    const std::string body = "-----------------------------" + boundary +
                             "\r\nContent-Disposition: form-data; name=\"" + field + "\"; filename=\"" + encodedName +
                             "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + data +
                             (closeBoundary ? "\r\n-----------------------------" + boundary + "--\r\n" : "\r\n");
    if (contentLength < 0) contentLength = long(body.size());
    return "POST /web/cgi-bin/ky7200/upgrade.cgi?-filename=" + encodedName +
           " HTTP/1.1\r\nAccept: */*\r\nContent-Type: multipart/form-data; boundary=---------------------------" +
           boundary + "\r\nHost: 127.0.0.1\r\nContent-Length: " + std::to_string(contentLength) +
           "\r\nConnection: Keep-Alive\r\n" + kAuthHeader + "\r\n" + body;
}

class EmulatorTest : public ::testing::Test {
protected:
    emu::Options Options() {
        emu::Options o;
        o.httpPort = 0;
        o.rtsp = false;
        o.discovery = false;
        o.restartMs = 400;
        o.sdCacheDir = tmp_.file("sdcache");
        o.quiet = true;
        return o;
    }
    void StartWith(emu::Options o) {
        emu_ = std::make_unique<emu::Emulator>(std::move(o));
        std::string err;
        ASSERT_TRUE(emu_->Start(&err)) << err;
        port_ = emu_->GetCamera(0).HttpPort();
    }
    void TearDown() override {
        if (emu_) emu_->Stop();
    }
    emu::CameraState& State(size_t camera = 0) { return emu_->GetCamera(camera).State(); }
    // A control request that must succeed; its body.
    std::string Control(const std::string& pathAndQuery, int port = 0) {
        const auto r = Get(port ? port : port_, pathAndQuery);
        EXPECT_TRUE(Has(r.out, " 200 OK")) << pathAndQuery << "\n" << r.out;
        return Body(r.out);
    }
    // Waits until the camera accepts connections again.
    bool WaitUp() {
        for (int i = 0; i < 200; ++i) {
            if (const int fd = ConnectLoopback(port_); fd >= 0) return ::close(fd), true;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return false;
    }

    kytest::TempDir tmp_;
    std::unique_ptr<emu::Emulator> emu_;
    int port_ = 0;
};

}   // namespace

TEST_F(EmulatorTest, CgiRepliesLookLikeTheCamera) {
    StartWith(Options());
    for (const char* path : {"/cgi-bin/ky7200/param.cgi", "/web/cgi-bin/ky7200/param.cgi"}) {
        const auto r = Get(port_, std::string(path) + "?cmd=getserverinfo&cmd=getdevtype");
        ASSERT_EQ(r.exitCode, 0);
        EXPECT_EQ(StatusLine(r.out), "HTTP/1.1 200 OK");
        EXPECT_TRUE(Has(r.out, "\r\nContent-Type:text/html\r\n"));
        EXPECT_EQ(HeaderValue(r.out, "Content-Length"), std::to_string(Body(r.out).size()));
        EXPECT_TRUE(Has(r.out, "var softVersion=\""));
        EXPECT_TRUE(Has(r.out, "var name=\"KY7200-EMU-000001\";\r\n"));
    }
    // A set is stored and read back; the camera closes after each reply.
    ASSERT_EQ(Get(port_, "/cgi-bin/ky7200/param.cgi?cmd=setcloudenable&-cloud_enable=1").exitCode, 0);
    bool closed = false;
    const std::string raw = RawExchange(port_, CgiRequest("cmd=getcloudenable"), false, 3000, nullptr, &closed);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(Has(raw, "var cloud_enable=1;\r\n")) << raw;
    EXPECT_EQ(State().Get("cloud_enable"), "1");
    EXPECT_TRUE(Has(Get(port_, "/cgi-bin/ky7200/getvencattr.cgi?-chn=11").out, " 200 OK"));
    EXPECT_TRUE(Has(Get(port_, "/cgi-bin/ky7200/param.cgi?cmd=nosuchcommand").out, "[Error]"));
}

TEST_F(EmulatorTest, WrongOrMissingCredentialsGet401) {
    StartWith(Options());
    for (const char* path :
         {kInfo.c_str(), "/sd/", "/log/syslog.txt", "/emu/state", "/web/cgi-bin/ky7200/upgrade.cgi"}) {
        EXPECT_EQ(StatusLine(Get(port_, path, "admin", "wrong").out), "HTTP/1.1 401 Unauthorized") << path;
        EXPECT_EQ(StatusLine(Curl({"-i", Url(port_, path)}).out), "HTTP/1.1 401 Unauthorized") << path;
    }
    // Credentials come from the camera's state, so a user change takes effect.
    Control("/emu/set?key=emu.password&value=n3w");
    EXPECT_TRUE(Has(Get(port_, "/emu/state").out, "401"));
    EXPECT_TRUE(Has(Get(port_, "/emu/state", "admin", "n3w").out, " 200 OK"));
}

TEST_F(EmulatorTest, MalformedAndOverlongRequestsAreRefusedAndServingGoesOn) {
    StartWith(Options());
    const std::pair<std::string, const char*> cases[] = {
        {"HELLO\r\n\r\n", "400"},
        {"GET / HTTP/2.0\r\n\r\n", "505"},
        {"GET /" + std::string(20000, 'a') + " HTTP/1.1\r\n\r\n", "414"},
        {"GET / HTTP/1.1\r\nX: " + std::string(30000, 'b') + "\r\n\r\n", "431"},
        {std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n\r\n", 15), "400"},
        {"GET /cgi-bin/ky7200/param.cgi?cmd=get", "400"},   // peer half-closes mid-head
        {"GET /nowhere HTTP/1.1\r\n" + kAuthHeader + "\r\n", "404"},
        {"POST " + kInfo + " HTTP/1.1\r\n" + kAuthHeader + "Content-Length: 0\r\n\r\n", "405"},
    };
    for (const auto& [request, status] : cases)
        EXPECT_EQ(StatusLine(RawExchange(port_, request, true)).substr(9, 3), status) << request.substr(0, 40);
    // An endless header stream without a line end is cut off, too.
    const int fd = ConnectLoopback(port_);
    ASSERT_GE(fd, 0);
    SendAll(fd, "GET / HTTP/1.1\r\nX: ");
    for (int i = 0; i < 8 && SendAll(fd, std::string(65536, 'z')); ++i) {}
    EXPECT_EQ(StatusLine(ReadSome(fd, 1 << 20, 3000)).substr(9, 3), "431");
    ::close(fd);
    EXPECT_TRUE(Has(Get(port_, kInfo).out, " 200 OK"));
}

TEST_F(EmulatorTest, ReplyShapingFaultModes) {
    StartWith(Options());
    const std::string req = CgiRequest("cmd=getserverinfo");
    const std::pair<const char*, std::function<void(const std::string&, int reads, bool closed)>> faults[] = {
        {"no-200",
         [](const std::string& r, int, bool) { EXPECT_TRUE(!Has(r, "200 OK") && Has(r, "var softVersion=")); }},
        {"error", [](const std::string& r, int, bool) { EXPECT_TRUE(Has(r, "HTTP/1.1 200 OK") && Has(r, "[Error]")); }},
        {"ctype-blank",
         [](const std::string& r, int, bool) {
             EXPECT_TRUE(Has(r, "\r\nContent-Type: text/html\r\n"));
             EXPECT_FALSE(Has(r, "Content-Type:text/html"));
         }},
        {"oversize",
         [](const std::string& r, int, bool) {
             EXPECT_GT(r.size(), 8192u);
             EXPECT_EQ(HeaderValue(r, "Content-Length"), std::to_string(Body(r).size()));
         }},
        {"close-mid",
         [](const std::string& r, int, bool closed) {
             EXPECT_TRUE(closed);
             ASSERT_FALSE(HeaderValue(r, "Content-Length").empty()) << r;
             EXPECT_LT(Body(r).size(), std::stoul(HeaderValue(r, "Content-Length")));
         }},
        {"slow",
         [](const std::string& r, int reads, bool closed) {
             EXPECT_TRUE(closed && Has(r, "HTTP/1.1 200 OK"));
             EXPECT_EQ(HeaderValue(r, "Content-Length"), std::to_string(Body(r).size()));
             EXPECT_GT(reads, 20) << "reply came in " << reads << " pieces";
         }},
    };
    for (const auto& [name, check] : faults) {
        SCOPED_TRACE(name);
        Control(std::string("/emu/fault?name=") + name + "&count=1");
        int reads = 0;
        bool closed = false;
        const std::string reply = RawExchange(port_, req, false, 3000, &reads, &closed);
        check(reply, reads, closed);
        EXPECT_TRUE(Has(RawExchange(port_, req), "HTTP/1.1 200 OK")) << "count=1: the next request is normal";
    }
    EXPECT_EQ(Control("/emu/faults"), "");
}

TEST_F(EmulatorTest, ConnectionFaultModes) {
    emu::Options o = Options();
    o.faults = {"keepalive-cl=1"};   // from the command line
    StartWith(o);
    const std::string req = CgiRequest("cmd=getserverinfo");
    bool closed = false;
    // keepalive-cl: Content-Length and the connection stays open for another
    // request; keepalive-nocl: no Content-Length, still open afterwards.
    for (const char* fault : {"", "keepalive-nocl"}) {
        if (*fault) Control(std::string("/emu/fault?name=") + fault + "&count=1");
        const int fd = ConnectLoopback(port_);
        SendAll(fd, req);
        std::string r = ReadSome(fd, 1, 3000);
        r += ReadSome(fd, 1 << 20, 300, &closed);
        EXPECT_FALSE(closed) << fault;
        EXPECT_TRUE(Has(r, "HTTP/1.1 200 OK")) << fault;
        EXPECT_EQ(HeaderValue(r, "Content-Length").empty(), *fault != '\0') << fault;
        SendAll(fd, req);   // the fault was for one request: this one closes normally
        EXPECT_TRUE(Has(ReadSome(fd, 1 << 20, 3000, &closed), "HTTP/1.1 200 OK")) << fault;
        EXPECT_TRUE(closed) << fault;
        ::close(fd);
    }
    // silent: a request is read but never answered while others are served.
    Control("/emu/fault?name=silent&count=1");
    const int fd = ConnectLoopback(port_);
    SendAll(fd, req);
    EXPECT_TRUE(Has(Get(port_, "/cgi-bin/ky7200/param.cgi?cmd=getdevtype").out, " 200 OK"));
    EXPECT_EQ(ReadSome(fd, 1, 500, &closed), "");
    EXPECT_FALSE(closed);
    ::close(fd);
    // drop-first=2: two connections closed unanswered, then normal again.
    Control("/emu/fault?name=drop-first&count=2");
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(RawExchange(port_, req, false, 3000, nullptr, &closed), "");
        EXPECT_TRUE(closed);
    }
    EXPECT_TRUE(Has(RawExchange(port_, req), "HTTP/1.1 200 OK"));
}

TEST_F(EmulatorTest, SlowSdCommandDoesNotStallOtherRequests) {
    emu::Options o = Options();
    o.cameras = 2;
    o.sdDelayMs = 1500;
    StartWith(o);
    std::atomic<bool> slowDone{false};
    std::string slowReply;
    std::thread slow([&] {
        slowReply = Get(port_, "/cgi-bin/ky7200/param.cgi?cmd=sdstop").out;
        slowDone = true;
    });
    for (int i = 0; i < 200 && emu_->Server().ConnectionCount() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (int port : {port_, emu_->GetCamera(1).HttpPort()})
        EXPECT_TRUE(Has(Get(port, "/cgi-bin/ky7200/param.cgi?cmd=getdevtype").out, " 200 OK"));
    EXPECT_FALSE(slowDone.load());
    slow.join();
    EXPECT_TRUE(Has(slowReply, "Succeed"));
    EXPECT_EQ(State(0).Get("sdstatus"), "out");
    EXPECT_EQ(State(1).Get("sdstatus"), "Ready");
}

TEST_F(EmulatorTest, FirmwareUploadRestartsWithTheNewVersion) {
    StartWith(Options());
    const std::string pkg = tmp_.file("KY7200_V5.2.1_20240101.pkg");
    std::string bytes;
    for (int i = 0; i < 200000; ++i) bytes += char(i * 31);
    kytest::WriteBytes(pkg, bytes);
    const auto r =
        Curl({"-i", "-u", "admin:admin", "-F", "setting_file=@" + pkg, Url(port_, "/web/cgi-bin/ky7200/upgrade.cgi")});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(StatusLine(r.out), "HTTP/1.1 200 OK");
    EXPECT_TRUE(Has(r.out, "Content-Type:text/html"));
    EXPECT_EQ(State().Get("emu.upgrade.size"), "200000");
    // Down: connections are refused until the restart time has passed.
    EXPECT_EQ(Get(port_, kInfo).exitCode, 7);
    ASSERT_TRUE(WaitUp());
    EXPECT_TRUE(Has(Get(port_, kInfo).out, "var softVersion=\"V5.2.1\";"));
    EXPECT_TRUE(Has(Get(port_, "/log/syslog.txt").out, "restarting as V5.2.1"));

    // The tool's own bytes: the whole path percent-encoded.
    EXPECT_TRUE(Has(RawExchange(port_, ToolUpload("%2Fhome%2Fu%2Ffw+V6.0.3.pkg", "DATA")), "200 OK"));
    ASSERT_TRUE(WaitUp());
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    ASSERT_TRUE(WaitUp());
    EXPECT_EQ(State().Get("softVersion"), "V6.0.3");
    EXPECT_EQ(State().Get("emu.upgrade.file"), "/home/u/fw V6.0.3.pkg");
}

TEST_F(EmulatorTest, BrokenUploadsAreRefusedWithoutRestart) {
    StartWith(Options());
    const std::string data(5000, 'p');
    const std::string post = "POST /web/cgi-bin/ky7200/upgrade.cgi HTTP/1.1\r\n" + kAuthHeader;
    const struct {
        std::string request;
        bool halfClose;
        const char* status;
    } cases[] = {
        {ToolUpload("V1.2.pkg", data, long(data.size()) + 1000), true, "400"},   // promises more than arrives
        {ToolUpload("V1.2.pkg", data, -1, false), false, "400"},                 // no closing boundary
        {ToolUpload("V1.2.pkg", data, -1, true, "other_field"), false, "400"},
        {post + "Content-Type: multipart/form-data; boundary=x\r\n\r\n", true, "411"},
        {post + "Content-Type: text/plain\r\nContent-Length: 3\r\n\r\nabc", false, "400"},
        {"GET /web/cgi-bin/ky7200/upgrade.cgi HTTP/1.1\r\n" + kAuthHeader + "\r\n", false, "405"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StatusLine(RawExchange(port_, c.request, c.halfClose)).substr(9, 3), c.status)
            << c.request.substr(0, 60);
    // refuse-upload: a correct upload is refused once, then accepted.
    Control("/emu/fault?name=refuse-upload&count=1");
    EXPECT_FALSE(Has(RawExchange(port_, ToolUpload("V1.2.pkg", data)), "200 OK"));
    EXPECT_TRUE(emu_->GetCamera(0).IsUp());
    EXPECT_FALSE(State().Has("emu.upgrade.count"));
    EXPECT_TRUE(Has(RawExchange(port_, ToolUpload("V1.2.pkg", data)), "HTTP/1.1 200 OK"));
    EXPECT_EQ(State().Get("emu.upgrade.count"), "1");
}

TEST_F(EmulatorTest, SdCardPagesAndLog) {
    StartWith(Options());
    const std::string top = Get(port_, "/sd/").out;
    size_t at = top.find("<a href=\"/sd/");
    ASSERT_NE(at, std::string::npos) << top;
    const std::string folder = top.substr(at + 9, top.find('"', at + 9) - at - 9);
    const std::string list = Get(port_, folder).out;
    at = list.find(".mp4\"");
    ASSERT_NE(at, std::string::npos) << list;
    const size_t start = list.rfind('"', at) + 1;
    const std::string file = list.substr(start, at + 4 - start);

    const auto dl = Curl({"-u", "admin:admin", "-o", tmp_.file("clip.mp4"), "-w", "%{http_code}", Url(port_, file)});
    EXPECT_EQ(dl.out, "200");
    const auto probe = ky::test::RunProcess(
        {"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", tmp_.file("clip.mp4")});
    EXPECT_NEAR(std::atof(probe.out.c_str()), 2.0, 0.2) << probe.out;
    const auto ranged = Curl({"-i", "-u", "admin:admin", "-r", "0-99", Url(port_, file)});
    EXPECT_TRUE(Has(ranged.out, "206 Partial Content"));
    EXPECT_EQ(Body(ranged.out).size(), 100u);
    EXPECT_TRUE(Has(Get(port_, "/sd/../etc/passwd").out, "404"));

    // Formatting empties the card; taking it out removes the listing.
    ASSERT_TRUE(Has(Get(port_, "/cgi-bin/ky7200/param.cgi?cmd=sdfrmt").out, "Succeed"));
    EXPECT_FALSE(Has(Get(port_, "/sd/").out, ".mp4"));
    EXPECT_FALSE(Has(Get(port_, folder).out, ".mp4"));
    Get(port_, "/cgi-bin/ky7200/param.cgi?cmd=sdstop");
    EXPECT_TRUE(Has(StatusLine(Get(port_, "/sd/").out), "404"));

    EXPECT_TRUE(Has(Get(port_, "/log/syslog.txt").out, "system started"));
    Get(port_, "/cgi-bin/ky7200/param.cgi?cmd=cleanlog&-name=sys");
    EXPECT_EQ(Body(Get(port_, "/log/syslog.txt").out), "");
}

TEST_F(EmulatorTest, CamerasAreIndependentAndStateRoundTrips) {
    const std::string file = tmp_.file("cam.state");
    emu::Options o = Options();
    o.cameras = 3;
    o.stateFile = file;
    StartWith(o);
    const int second = emu_->GetCamera(1).HttpPort();
    Get(second, "/cgi-bin/ky7200/param.cgi?cmd=setcloudenable&-cloud_enable=1");
    for (int i = 0; i < 3; ++i) {
        const std::string r = Get(emu_->GetCamera(size_t(i)).HttpPort(),
                                  "/cgi-bin/ky7200/param.cgi?cmd=getcloudenable&cmd=getnetattr&cmd=getserverinfo")
                                  .out;
        EXPECT_TRUE(Has(r, i == 1 ? "cloud_enable=1;" : "cloud_enable=0;")) << i;
        EXPECT_TRUE(Has(r, "KY7200-EMU-00000" + std::to_string(i + 1)));
        EXPECT_TRUE(Has(r, "02:4B:59:00:00:0" + std::to_string(i)));
    }
    // Values with line breaks survive the file.
    Control("/emu/set?key=emu.note&value=a%0Ab%5Cc", second);
    EXPECT_TRUE(Has(Control("/emu/save", second), file + ".1"));
    emu_.reset();

    StartWith(o);
    EXPECT_EQ(State(1).Get("cloud_enable"), "1");
    EXPECT_EQ(State(1).Get("emu.note"), "a\nb\\c");
    EXPECT_EQ(State(0).Get("cloud_enable"), "0");
    EXPECT_TRUE(
        Has(Get(emu_->GetCamera(1).HttpPort(), "/cgi-bin/ky7200/param.cgi?cmd=getcloudenable").out, "cloud_enable=1;"));
    emu_.reset();
    // A broken state file is reported instead of silently ignored.
    kytest::WriteBytes(file, "this line has no equals sign\n");
    emu::Emulator bad(o);
    std::string err;
    EXPECT_FALSE(bad.Start(&err));
    EXPECT_TRUE(Has(err, ":1:")) << err;
}
