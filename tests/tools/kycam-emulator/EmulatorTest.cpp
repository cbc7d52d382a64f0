// The emulated camera seen from an independent client: curl for normal
// traffic, raw sockets for malformed input and fault modes.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "EmuTestUtil.h"
#include "tools/kycam-emulator/Emulator.h"

using namespace emutest;

namespace {

emu::Options TestOptions() {
    emu::Options o;
    o.httpPort = 0;
    o.rtsp = false;
    o.discovery = false;
    o.restartMs = 400;
    o.sdCacheDir = TempDir("sdcache");
    o.quiet = true;
    return o;
}

class EmulatorTest : public ::testing::Test {
protected:
    void StartWith(emu::Options o) {
        emu_ = std::make_unique<emu::Emulator>(std::move(o));
        std::string err;
        ASSERT_TRUE(emu_->Start(&err)) << err;
        port_ = emu_->GetCamera(0).HttpPort();
    }
    void SetUp() override {}
    void TearDown() override {
        if (emu_) emu_->Stop();
    }
    // A control request that must succeed.
    std::string Control(const std::string& pathAndQuery, int port = 0) {
        auto r = Get(port ? port : port_, pathAndQuery);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_NE(r.out.find(" 200 OK"), std::string::npos) << pathAndQuery << "\n" << r.out;
        return Body(r.out);
    }
    std::string CgiRequest(const std::string& query) {
        return "GET /cgi-bin/ky7200/param.cgi?" + query + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + AuthHeader() + "\r\n";
    }
    // Waits until the camera accepts connections again.
    bool WaitUp(int port) {
        for (int i = 0; i < 200; ++i) {
            int fd = ConnectLoopback(port);
            if (fd >= 0) {
                ::close(fd);
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return false;
    }

    std::unique_ptr<emu::Emulator> emu_;
    int port_ = 0;
};

}   // namespace

TEST_F(EmulatorTest, CgiRepliesLookLikeTheCamera) {
    StartWith(TestOptions());
    for (const char* path : {"/cgi-bin/ky7200/param.cgi", "/web/cgi-bin/ky7200/param.cgi"}) {
        auto r = Get(port_, std::string(path) + "?cmd=getserverinfo&cmd=getdevtype");
        ASSERT_EQ(r.exitCode, 0);
        EXPECT_EQ(StatusLine(r.out), "HTTP/1.1 200 OK");
        EXPECT_NE(r.out.find("\r\nContent-Type:text/html\r\n"), std::string::npos);
        EXPECT_EQ(HeaderValue(r.out, "Content-Length"), std::to_string(Body(r.out).size()));
        EXPECT_NE(r.out.find("var softVersion=\""), std::string::npos);
        EXPECT_NE(r.out.find("var name=\"KY7200-EMU-000001\";\r\n"), std::string::npos);
    }
    // A set is stored and read back; the camera closes after each reply.
    ASSERT_EQ(Get(port_, "/cgi-bin/ky7200/param.cgi?cmd=setcloudenable&-cloud_enable=1").exitCode, 0);
    bool closed = false;
    std::string raw = RawExchange(port_, CgiRequest("cmd=getcloudenable"), false, 3000, nullptr, &closed);
    EXPECT_TRUE(closed);
    EXPECT_NE(raw.find("var cloud_enable=1;\r\n"), std::string::npos) << raw;
    EXPECT_EQ(emu_->GetCamera(0).State().Get("cloud_enable"), "1");

    auto venc = Get(port_, "/cgi-bin/ky7200/getvencattr.cgi?-chn=11");
    EXPECT_NE(venc.out.find(" 200 OK"), std::string::npos);
    auto unknown = Get(port_, "/cgi-bin/ky7200/param.cgi?cmd=nosuchcommand");
    EXPECT_NE(unknown.out.find("[Error]"), std::string::npos);
}

TEST_F(EmulatorTest, WrongOrMissingCredentialsGet401) {
    StartWith(TestOptions());
    for (const char* path : {"/cgi-bin/ky7200/param.cgi?cmd=getserverinfo", "/sd/", "/log/syslog.txt", "/emu/state",
                             "/web/cgi-bin/ky7200/upgrade.cgi"}) {
        auto r = Get(port_, path, "admin", "wrong");
        EXPECT_EQ(StatusLine(r.out), "HTTP/1.1 401 Unauthorized") << path;
        EXPECT_EQ(r.out.find("200 OK"), std::string::npos);
        auto none = Curl({"-i", Url(port_, path)});
        EXPECT_EQ(StatusLine(none.out), "HTTP/1.1 401 Unauthorized") << path;
    }
    // Credentials come from the camera's state, so a user change takes effect.
    Control("/emu/set?key=emu.password&value=n3w");
    EXPECT_NE(Get(port_, "/emu/state").out.find("401"), std::string::npos);
    EXPECT_NE(Get(port_, "/emu/state", "admin", "n3w").out.find(" 200 OK"), std::string::npos);
}

TEST_F(EmulatorTest, MalformedAndOverlongRequestsAreRefusedAndServingGoesOn) {
    StartWith(TestOptions());
    struct Case {
        std::string request;
        const char* status;
    } cases[] = {
        {"HELLO\r\n\r\n", "400"},
        {"GET / HTTP/2.0\r\n\r\n", "505"},
        {"GET /" + std::string(20000, 'a') + " HTTP/1.1\r\n\r\n", "414"},
        {"GET / HTTP/1.1\r\nX: " + std::string(30000, 'b') + "\r\n\r\n", "431"},
        {std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n\r\n", 15), "400"},
        {"GET /cgi-bin/ky7200/param.cgi?cmd=get", "400"},   // peer half-closes mid-head
        {"GET /nowhere HTTP/1.1\r\n" + AuthHeader() + "\r\n", "404"},
        {"POST /cgi-bin/ky7200/param.cgi?cmd=getserverinfo HTTP/1.1\r\n" + AuthHeader() + "Content-Length: 0\r\n\r\n",
         "405"},
    };
    for (const auto& c : cases) {
        std::string reply = RawExchange(port_, c.request, true);
        EXPECT_EQ(StatusLine(reply).substr(9, 3), c.status) << c.request.substr(0, 40);
        EXPECT_EQ(reply.find("200 OK"), std::string::npos);
    }
    // An endless header stream without a line end is cut off, too.
    int fd = ConnectLoopback(port_);
    ASSERT_GE(fd, 0);
    SendAll(fd, "GET / HTTP/1.1\r\nX: ");
    std::string junk(65536, 'z');
    for (int i = 0; i < 8 && SendAll(fd, junk); ++i) {}
    std::string reply = ReadSome(fd, 1 << 20, 3000);
    ::close(fd);
    EXPECT_EQ(StatusLine(reply).substr(9, 3), "431");

    auto r = Get(port_, "/cgi-bin/ky7200/param.cgi?cmd=getserverinfo");
    EXPECT_NE(r.out.find(" 200 OK"), std::string::npos);
}

TEST_F(EmulatorTest, ReplyShapingFaultModes) {
    StartWith(TestOptions());
    std::string req = CgiRequest("cmd=getserverinfo");

    Control("/emu/fault?name=no-200&count=1");
    std::string r = RawExchange(port_, req);
    EXPECT_EQ(r.find("200 OK"), std::string::npos);
    EXPECT_NE(r.find("var softVersion="), std::string::npos);
    // count=1: the next request is normal again.
    EXPECT_NE(RawExchange(port_, req).find("HTTP/1.1 200 OK"), std::string::npos);

    Control("/emu/fault?name=error&count=1");
    r = RawExchange(port_, req);
    EXPECT_NE(r.find("HTTP/1.1 200 OK"), std::string::npos);
    EXPECT_NE(r.find("[Error]"), std::string::npos);

    Control("/emu/fault?name=ctype-blank&count=1");
    r = RawExchange(port_, req);
    EXPECT_NE(r.find("\r\nContent-Type: text/html\r\n"), std::string::npos);
    EXPECT_EQ(r.find("Content-Type:text/html"), std::string::npos);

    Control("/emu/fault?name=oversize&count=1");
    r = RawExchange(port_, req);
    EXPECT_GT(r.size(), 8192u);
    EXPECT_EQ(HeaderValue(r, "Content-Length"), std::to_string(Body(r).size()));
    EXPECT_NE(r.find("var softVersion="), std::string::npos);

    Control("/emu/fault?name=close-mid&count=1");
    bool closed = false;
    r = RawExchange(port_, req, false, 3000, nullptr, &closed);
    EXPECT_TRUE(closed);
    EXPECT_FALSE(r.empty());
    ASSERT_FALSE(HeaderValue(r, "Content-Length").empty()) << r;
    EXPECT_LT(Body(r).size(), std::stoul(HeaderValue(r, "Content-Length")));

    Control("/emu/fault?name=slow&count=1");
    int reads = 0;
    r = RawExchange(port_, req, false, 3000, &reads, &closed);
    EXPECT_TRUE(closed);
    EXPECT_NE(r.find("HTTP/1.1 200 OK"), std::string::npos);
    EXPECT_EQ(HeaderValue(r, "Content-Length"), std::to_string(Body(r).size()));
    EXPECT_GT(reads, 20) << "reply came in " << reads << " pieces";

    // Faults set on the command line stay for every request.
    EXPECT_EQ(Control("/emu/faults"), "");
}

TEST_F(EmulatorTest, ConnectionFaultModes) {
    emu::Options o = TestOptions();
    o.faults = {"keepalive-cl=1"};
    StartWith(o);
    std::string req = CgiRequest("cmd=getserverinfo");

    // keepalive-cl: Content-Length and the connection stays open for another request.
    int fd = ConnectLoopback(port_);
    ASSERT_GE(fd, 0);
    SendAll(fd, req);
    std::string head = ReadSome(fd, 1, 3000);
    head += ReadSome(fd, 1 << 20, 300);
    EXPECT_NE(head.find("HTTP/1.1 200 OK"), std::string::npos);
    EXPECT_FALSE(HeaderValue(head, "Content-Length").empty());
    SendAll(fd, req);   // the fault was for one request: this one closes normally
    bool closed = false;
    std::string second = ReadSome(fd, 1 << 20, 3000, &closed);
    EXPECT_NE(second.find("HTTP/1.1 200 OK"), std::string::npos);
    EXPECT_TRUE(closed);
    ::close(fd);

    // keepalive-nocl: no Content-Length, still open afterwards.
    Control("/emu/fault?name=keepalive-nocl&count=1");
    fd = ConnectLoopback(port_);
    SendAll(fd, req);
    std::string r = ReadSome(fd, 1, 3000);
    r += ReadSome(fd, 1 << 20, 300, &closed);
    EXPECT_FALSE(closed);
    EXPECT_NE(r.find("HTTP/1.1 200 OK"), std::string::npos);
    EXPECT_EQ(HeaderValue(r, "Content-Length"), "");
    SendAll(fd, req);
    EXPECT_NE(ReadSome(fd, 1 << 20, 3000).find("HTTP/1.1 200 OK"), std::string::npos);
    ::close(fd);

    // silent: a request is read but never answered while others are served.
    Control("/emu/fault?name=silent&count=1");
    fd = ConnectLoopback(port_);
    SendAll(fd, req);
    EXPECT_NE(Get(port_, "/cgi-bin/ky7200/param.cgi?cmd=getdevtype").out.find(" 200 OK"), std::string::npos);
    EXPECT_EQ(ReadSome(fd, 1, 500, &closed), "");
    EXPECT_FALSE(closed);
    ::close(fd);

    // drop-first=2: two connections closed unanswered, then normal again.
    Control("/emu/fault?name=drop-first&count=2");
    for (int i = 0; i < 2; ++i) {
        closed = false;
        EXPECT_EQ(RawExchange(port_, req, false, 3000, nullptr, &closed), "");
        EXPECT_TRUE(closed);
    }
    EXPECT_NE(RawExchange(port_, req).find("HTTP/1.1 200 OK"), std::string::npos);
}

TEST_F(EmulatorTest, SlowSdCommandDoesNotStallOtherRequests) {
    emu::Options o = TestOptions();
    o.cameras = 2;
    o.sdDelayMs = 1500;
    StartWith(o);
    std::atomic<bool> slowDone{false};
    std::string slowReply;
    std::thread slow([&] {
        slowReply = Get(port_, "/cgi-bin/ky7200/param.cgi?cmd=sdstop").out;
        slowDone = true;
    });
    // Wait until the slow request is being handled.
    for (int i = 0; i < 200 && emu_->Server().ConnectionCount() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (int port : {port_, emu_->GetCamera(1).HttpPort()}) {
        auto r = Get(port, "/cgi-bin/ky7200/param.cgi?cmd=getdevtype");
        EXPECT_NE(r.out.find(" 200 OK"), std::string::npos);
    }
    EXPECT_FALSE(slowDone.load());
    slow.join();
    EXPECT_NE(slowReply.find("Succeed"), std::string::npos);
    EXPECT_EQ(emu_->GetCamera(0).State().Get("sdstatus"), "out");
    EXPECT_EQ(emu_->GetCamera(1).State().Get("sdstatus"), "Ready");
}

namespace {
std::string ToolUpload(const std::string& encodedName, const std::string& data, long contentLength = -1,
                       bool closeBoundary = true, const char* field = "setting_file") {
    std::string boundary = "20240101120000";
    std::string partHead = "-----------------------------" + boundary + "\r\n" +
                           "Content-Disposition: form-data; name=\"" + field + "\"; filename=\"" + encodedName +
                           "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
    std::string tail = closeBoundary ? "\r\n-----------------------------" + boundary + "--\r\n" : "\r\n";
    std::string body = partHead + data + tail;
    if (contentLength < 0) contentLength = long(body.size());
    return "POST /web/cgi-bin/ky7200/upgrade.cgi?-filename=" + encodedName + " HTTP/1.1\r\n" +
           "Accept: */*\r\nReferer: http://127.0.0.1/web/initializemain.html\r\n"
           "Content-Type: multipart/form-data; boundary=---------------------------" +
           boundary + "\r\nHost: 127.0.0.1\r\nContent-Length: " + std::to_string(contentLength) +
           "\r\nConnection: Keep-Alive\r\nCache-Control: no-cache\r\n" + AuthHeader() + "\r\n" + body;
}
}   // namespace

TEST_F(EmulatorTest, FirmwareUploadRestartsWithTheNewVersion) {
    StartWith(TestOptions());
    std::string dir = TempDir("upload");
    std::string pkg = dir + "/KY7200_V5.2.1_20240101.pkg";
    {
        std::ofstream f(pkg, std::ios::binary);
        for (int i = 0; i < 200000; ++i) f.put(char(i * 31));
    }
    auto r =
        Curl({"-i", "-u", "admin:admin", "-F", "setting_file=@" + pkg, Url(port_, "/web/cgi-bin/ky7200/upgrade.cgi")});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(StatusLine(r.out), "HTTP/1.1 200 OK");
    EXPECT_NE(r.out.find("Content-Type:text/html"), std::string::npos);
    EXPECT_EQ(emu_->GetCamera(0).State().Get("emu.upgrade.size"), "200000");

    // Down: connections are refused until the restart time has passed.
    EXPECT_EQ(Get(port_, "/cgi-bin/ky7200/param.cgi?cmd=getserverinfo").exitCode, 7);
    ASSERT_TRUE(WaitUp(port_));
    auto after = Get(port_, "/cgi-bin/ky7200/param.cgi?cmd=getserverinfo");
    EXPECT_NE(after.out.find("var softVersion=\"V5.2.1\";"), std::string::npos) << after.out;
    EXPECT_NE(Get(port_, "/log/syslog.txt").out.find("restarting as V5.2.1"), std::string::npos);

    // The tool's own bytes: whole path percent-encoded; a name without a
    // version gives the next version number.
    std::string reply = RawExchange(port_, ToolUpload("%2Fhome%2Fu%2Ffw+V6.0.3.pkg", "DATA"));
    EXPECT_NE(reply.find("200 OK"), std::string::npos) << reply;
    ASSERT_TRUE(WaitUp(port_));
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    ASSERT_TRUE(WaitUp(port_));
    EXPECT_EQ(emu_->GetCamera(0).State().Get("softVersion"), "V6.0.3");
    EXPECT_EQ(emu_->GetCamera(0).State().Get("emu.upgrade.file"), "/home/u/fw V6.0.3.pkg");
}

TEST_F(EmulatorTest, BrokenUploadsAreRefusedWithoutRestart) {
    StartWith(TestOptions());
    std::string data(5000, 'p');
    struct Case {
        std::string request;
        bool halfClose;
        const char* status;
    } cases[] = {
        // Content-Length promises more than arrives.
        {ToolUpload("V1.2.pkg", data, long(data.size()) + 1000), true, "400"},
        // No closing boundary although the length matches.
        {ToolUpload("V1.2.pkg", data, -1, false), false, "400"},
        {ToolUpload("V1.2.pkg", data, -1, true, "other_field"), false, "400"},
        {"POST /web/cgi-bin/ky7200/upgrade.cgi HTTP/1.1\r\n" + AuthHeader() +
             "Content-Type: multipart/form-data; boundary=x\r\n\r\n",
         true, "411"},
        {"POST /web/cgi-bin/ky7200/upgrade.cgi HTTP/1.1\r\n" + AuthHeader() +
             "Content-Type: text/plain\r\nContent-Length: 3\r\n\r\nabc",
         false, "400"},
        {"GET /web/cgi-bin/ky7200/upgrade.cgi HTTP/1.1\r\n" + AuthHeader() + "\r\n", false, "405"},
    };
    for (const auto& c : cases) {
        std::string reply = RawExchange(port_, c.request, c.halfClose);
        EXPECT_EQ(StatusLine(reply).substr(9, 3), c.status) << c.request.substr(0, 60) << "\n" << reply;
        EXPECT_EQ(reply.find("200 OK"), std::string::npos);
    }
    // refuse-upload: a correct upload is refused once, then accepted.
    Control("/emu/fault?name=refuse-upload&count=1");
    EXPECT_EQ(RawExchange(port_, ToolUpload("V1.2.pkg", data)).find("200 OK"), std::string::npos);
    EXPECT_TRUE(emu_->GetCamera(0).IsUp());
    EXPECT_FALSE(emu_->GetCamera(0).State().Has("emu.upgrade.count"));
    EXPECT_NE(RawExchange(port_, ToolUpload("V1.2.pkg", data)).find("HTTP/1.1 200 OK"), std::string::npos);
    EXPECT_EQ(emu_->GetCamera(0).State().Get("emu.upgrade.count"), "1");
}

TEST_F(EmulatorTest, SdCardPagesAndLog) {
    StartWith(TestOptions());
    auto top = Get(port_, "/sd/");
    ASSERT_NE(top.out.find(" 200 OK"), std::string::npos) << top.out;
    size_t at = top.out.find("<a href=\"/sd/");
    ASSERT_NE(at, std::string::npos) << top.out;
    std::string folder = top.out.substr(at + 9, top.out.find('"', at + 9) - at - 9);
    auto list = Get(port_, folder);
    at = list.out.find(".mp4\"");
    ASSERT_NE(at, std::string::npos) << list.out;
    size_t start = list.out.rfind("\"", at) + 1;
    std::string file = list.out.substr(start, at + 4 - start);

    std::string dir = TempDir("sd");
    auto dl =
        Curl({"-u", "admin:admin", "-o", dir + "/clip.mp4", "-w", "%{http_code} %{size_download}", Url(port_, file)});
    EXPECT_EQ(dl.out.substr(0, 3), "200");
    std::string cmd = "ffprobe -v error -show_entries format=duration -of csv=p=0 '" + dir + "/clip.mp4'";
    FILE* p = ::popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    char buf[64] = {};
    size_t n = fread(buf, 1, sizeof buf - 1, p);
    ::pclose(p);
    EXPECT_GT(n, 0u);
    EXPECT_NEAR(std::atof(buf), 2.0, 0.2) << buf;

    auto ranged = Curl({"-i", "-u", "admin:admin", "-r", "0-99", Url(port_, file)});
    EXPECT_NE(ranged.out.find("206 Partial Content"), std::string::npos);
    EXPECT_EQ(Body(ranged.out).size(), 100u);
    EXPECT_NE(Get(port_, "/sd/../etc/passwd").out.find("404"), std::string::npos);

    // Formatting empties the card; taking it out removes the listing.
    ASSERT_NE(Get(port_, "/cgi-bin/ky7200/param.cgi?cmd=sdfrmt").out.find("Succeed"), std::string::npos);
    EXPECT_EQ(Get(port_, "/sd/").out.find(".mp4"), std::string::npos);
    EXPECT_EQ(Get(port_, folder).out.find(".mp4"), std::string::npos);
    Get(port_, "/cgi-bin/ky7200/param.cgi?cmd=sdstop");
    EXPECT_NE(StatusLine(Get(port_, "/sd/").out).find("404"), std::string::npos);

    auto log = Get(port_, "/log/syslog.txt");
    EXPECT_NE(log.out.find(" 200 OK"), std::string::npos);
    EXPECT_NE(log.out.find("system started"), std::string::npos);
    Get(port_, "/cgi-bin/ky7200/param.cgi?cmd=cleanlog&-name=sys");
    EXPECT_EQ(Body(Get(port_, "/log/syslog.txt").out), "");
}

TEST_F(EmulatorTest, CamerasAreIndependentAndStateRoundTrips) {
    std::string dir = TempDir("state");
    std::string file = dir + "/cam.state";
    std::remove(file.c_str());
    emu::Options o = TestOptions();
    o.cameras = 3;
    o.stateFile = file;
    StartWith(o);
    int ports[3];
    for (int i = 0; i < 3; ++i) ports[i] = emu_->GetCamera(size_t(i)).HttpPort();
    EXPECT_NE(ports[0], ports[1]);
    EXPECT_NE(ports[1], ports[2]);
    Get(ports[1], "/cgi-bin/ky7200/param.cgi?cmd=setcloudenable&-cloud_enable=1");
    for (int i = 0; i < 3; ++i) {
        auto r = Get(ports[i], "/cgi-bin/ky7200/param.cgi?cmd=getcloudenable&cmd=getnetattr&cmd=getserverinfo");
        EXPECT_NE(r.out.find(i == 1 ? "cloud_enable=1;" : "cloud_enable=0;"), std::string::npos) << i;
        EXPECT_NE(r.out.find("KY7200-EMU-00000" + std::to_string(i + 1)), std::string::npos);
        EXPECT_NE(r.out.find("02:4B:59:00:00:0" + std::to_string(i)), std::string::npos);
    }
    // Values with line breaks survive the file.
    Control("/emu/set?key=emu.note&value=a%0Ab%5Cc", ports[1]);
    EXPECT_NE(Control("/emu/save", ports[1]).find(file + ".1"), std::string::npos);
    emu_->Stop();
    emu_.reset();

    StartWith(o);
    EXPECT_EQ(emu_->GetCamera(1).State().Get("cloud_enable"), "1");
    EXPECT_EQ(emu_->GetCamera(1).State().Get("emu.note"), "a\nb\\c");
    EXPECT_EQ(emu_->GetCamera(0).State().Get("cloud_enable"), "0");
    auto r = Get(emu_->GetCamera(1).HttpPort(), "/cgi-bin/ky7200/param.cgi?cmd=getcloudenable");
    EXPECT_NE(r.out.find("cloud_enable=1;"), std::string::npos);

    // A broken state file is reported instead of silently ignored.
    emu_->Stop();
    emu_.reset();
    {
        std::ofstream f(file);
        f << "this line has no equals sign\n";
    }
    emu::Emulator bad(o);
    std::string err;
    EXPECT_FALSE(bad.Start(&err));
    EXPECT_NE(err.find(":1:"), std::string::npos) << err;
}
