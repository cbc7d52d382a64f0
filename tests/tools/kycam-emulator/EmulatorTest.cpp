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

const std::string kCgi = "/cgi-bin/ky7200/param.cgi?";
const std::string kInfo = kCgi + "cmd=getserverinfo";

std::string CgiRequest(const std::string& query) {
    return "GET " + kCgi + query + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + kAuthHeader + "\r\n";
}
const std::string kInfoRequest = CgiRequest("cmd=getserverinfo");

bool Has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }
std::string Status(const std::string& reply) { return StatusLine(reply).substr(std::min<size_t>(9, reply.size()), 3); }
// The target of a page's first link that ends in `ending`.
std::string FirstLink(const std::string& page, const std::string& ending) {
    const size_t end = page.find(ending + "\"");
    if (end == std::string::npos) return {};
    const size_t start = page.rfind('"', end) + 1;
    return page.substr(start, end + ending.size() - start);
}
bool LengthMatches(const std::string& r) { return HeaderValue(r, "Content-Length") == std::to_string(Body(r).size()); }

// An upload as the tool makes it: one file part, the whole name percent-encoded.
std::string ToolUpload(const std::string& encodedName, const std::string& data, long contentLength = -1,
                       bool closeBoundary = true, const char* field = "setting_file") {
    const std::string dashes = "-----------------------------", boundary = "20240101120000";
    const std::string body = dashes + boundary + "\r\nContent-Disposition: form-data; name=\"" + field +
                             "\"; filename=\"" + encodedName + "\"\r\nContent-Type: application/octet-stream\r\n\r\n" +
                             data + (closeBoundary ? "\r\n" + dashes + boundary + "--\r\n" : "\r\n");
    if (contentLength < 0) contentLength = long(body.size());
    return "POST /web/cgi-bin/ky7200/upgrade.cgi?-filename=" + encodedName +
           " HTTP/1.1\r\nContent-Type: multipart/form-data; boundary=" + dashes.substr(2) + boundary +
           "\r\nContent-Length: " + std::to_string(contentLength) + "\r\n" + kAuthHeader + "\r\n" + body;
}

class EmulatorTest : public ::testing::Test {
protected:
    EmulatorTest() {
        o.httpPort = 0;
        o.rtsp = o.discovery = false;
        o.restartMs = 400;
        o.sdCacheDir = tmp.file("sdcache");
        o.quiet = true;
    }
    void Start() {
        emu = std::make_unique<emu::Emulator>(o);
        std::string err;
        ASSERT_TRUE(emu->Start(&err)) << err;
        port = emu->GetCamera(0).HttpPort();
    }
    emu::CameraState& State(size_t camera = 0) { return emu->GetCamera(camera).State(); }
    // A control request that must succeed; its body.
    std::string Control(const std::string& pathAndQuery, const std::string& password = "admin") {
        const auto r = Get(port, pathAndQuery, "admin", password);
        EXPECT_TRUE(Has(r.out, " 200 OK")) << pathAndQuery << "\n" << r.out;
        return Body(r.out);
    }
    void Fault(const std::string& name, int count = 1) {
        Control("/emu/fault?name=" + name + "&count=" + std::to_string(count));
    }
    // Waits until the camera accepts connections again.
    bool WaitUp() {
        for (int i = 0; i < 200; ++i) {
            if (const int fd = ConnectLoopback(port); fd >= 0) return ::close(fd), true;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return false;
    }

    kytest::TempDir tmp;
    emu::Options o;
    std::unique_ptr<emu::Emulator> emu;
    int port = 0;
};

}   // namespace

TEST_F(EmulatorTest, CgiRepliesLookLikeTheCamera) {
    Start();
    for (const char* path : {"/cgi-bin/ky7200/param.cgi", "/web/cgi-bin/ky7200/param.cgi"}) {
        const std::string r = Get(port, std::string(path) + "?cmd=getserverinfo&cmd=getdevtype").out;
        EXPECT_EQ(StatusLine(r), "HTTP/1.1 200 OK");
        EXPECT_TRUE(Has(r, "\r\nContent-Type:text/html\r\n") && LengthMatches(r)) << r;
        EXPECT_TRUE(Has(r, "var softVersion=\"") && Has(r, "var name=\"KY7200-EMU-000001\";\r\n")) << r;
    }
    // A set is stored and read back; the camera closes after each reply.
    ASSERT_EQ(Get(port, kCgi + "cmd=setcloudenable&-cloud_enable=1").exitCode, 0);
    bool closed = false;
    EXPECT_TRUE(Has(RawExchange(port, CgiRequest("cmd=getcloudenable"), false, 3000, nullptr, &closed),
                    "var cloud_enable=1;\r\n"));
    EXPECT_TRUE(closed);
    EXPECT_TRUE(Has(Get(port, "/cgi-bin/ky7200/getvencattr.cgi?-chn=11").out, " 200 OK"));
    EXPECT_TRUE(Has(Get(port, kCgi + "cmd=nosuchcommand").out, "[Error]"));
}

// Refused requests get their status, and serving goes on.
TEST_F(EmulatorTest, RefusedRequests) {
    Start();
    const std::string data(5000, 'p'), post = "POST /web/cgi-bin/ky7200/upgrade.cgi HTTP/1.1\r\n" + kAuthHeader;
    struct Case {
        std::string request;
        const char* status;
        bool halfClose = true;
    };
    std::vector<Case> cases = {
        {"HELLO\r\n\r\n", "400"},
        {"GET / HTTP/2.0\r\n\r\n", "505"},
        {"GET /" + std::string(20000, 'a') + " HTTP/1.1\r\n\r\n", "414"},
        {"GET / HTTP/1.1\r\nX: " + std::string(30000, 'b') + "\r\n\r\n", "431"},
        {std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n\r\n", 15), "400"},
        {"GET /cgi-bin/ky7200/param.cgi?cmd=get", "400"},   // peer half-closes mid-head
        {"GET /nowhere HTTP/1.1\r\n" + kAuthHeader + "\r\n", "404"},
        {"POST " + kInfo + " HTTP/1.1\r\n" + kAuthHeader + "Content-Length: 0\r\n\r\n", "405"},
        // Uploads: more promised than arrives, no closing boundary, another
        // field, no length, not multipart, not a POST.
        {ToolUpload("V1.2.pkg", data, long(data.size()) + 1000), "400"},
        {ToolUpload("V1.2.pkg", data, -1, false), "400", false},
        {ToolUpload("V1.2.pkg", data, -1, true, "other_field"), "400", false},
        {post + "Content-Type: multipart/form-data; boundary=x\r\n\r\n", "411"},
        {post + "Content-Type: text/plain\r\nContent-Length: 3\r\n\r\nabc", "400", false},
        {"GET /web/cgi-bin/ky7200/upgrade.cgi HTTP/1.1\r\n" + kAuthHeader + "\r\n", "405", false},
    };
    // No or wrong credentials (admin:wrong) on every kind of page.
    for (const char* path : {kInfo.c_str(), "/sd/", "/log/syslog.txt", "/emu/state", "/web/cgi-bin/ky7200/upgrade.cgi"})
        for (const std::string auth : {"", "Authorization: Basic YWRtaW46d3Jvbmc=\r\n"})
            cases.push_back({"GET " + std::string(path) + " HTTP/1.1\r\n" + auth + "\r\n", "401"});
    for (const auto& c : cases)
        EXPECT_EQ(Status(RawExchange(port, c.request, c.halfClose)), c.status) << c.request.substr(0, 60);
    // An endless header stream without a line end is cut off, too.
    const int fd = ConnectLoopback(port);
    SendAll(fd, "GET / HTTP/1.1\r\nX: ");
    for (int i = 0; i < 8 && SendAll(fd, std::string(65536, 'z')); ++i) {}
    EXPECT_EQ(Status(ReadSome(fd, 1 << 20, 3000)), "431");
    ::close(fd);
    EXPECT_EQ(Status(Get(port, kInfo).out), "200");
    EXPECT_TRUE(emu->GetCamera(0).IsUp());
    // Credentials come from the camera's state, so a user change takes effect.
    Control("/emu/set?key=emu.password&value=n3w");
    EXPECT_EQ(Status(Get(port, "/emu/state").out), "401");
    EXPECT_EQ(Status(Get(port, "/emu/state", "admin", "n3w").out), "200");
    Control("/emu/set?key=emu.password&value=admin", "n3w");
    // refuse-upload: a correct upload is refused once, then accepted.
    Fault("refuse-upload");
    EXPECT_FALSE(Has(RawExchange(port, ToolUpload("V1.2.pkg", data)), "200 OK"));
    EXPECT_FALSE(State().Has("emu.upgrade.count"));
    EXPECT_TRUE(Has(RawExchange(port, ToolUpload("V1.2.pkg", data)), "HTTP/1.1 200 OK"));
    EXPECT_EQ(State().Get("emu.upgrade.count"), "1");
}

TEST_F(EmulatorTest, ReplyShapingFaultModes) {
    Start();
    using Check = std::function<bool(const std::string& reply, int reads, bool closed)>;
    const std::pair<const char*, Check> faults[] = {
        {"no-200", [](auto& r, int, bool) { return !Has(r, "200 OK") && Has(r, "var softVersion="); }},
        {"error", [](auto& r, int, bool) { return Has(r, "HTTP/1.1 200 OK") && Has(r, "[Error]"); }},
        {"ctype-blank", [](auto& r, int, bool) { return Has(r, "\r\nContent-Type: text/html\r\n"); }},
        {"oversize", [](auto& r, int, bool) { return r.size() > 8192 && LengthMatches(r); }},
        {"close-mid",
         [](auto& r, int, bool closed) {
             const std::string length = HeaderValue(r, "Content-Length");
             return closed && !length.empty() && Body(r).size() < std::stoul(length);
         }},
        {"slow", [](auto& r, int reads, bool closed) { return closed && LengthMatches(r) && reads > 20; }},
    };
    for (const auto& [name, check] : faults) {
        Fault(name);
        int reads = 0;
        bool closed = false;
        const std::string reply = RawExchange(port, kInfoRequest, false, 3000, &reads, &closed);
        EXPECT_TRUE(check(reply, reads, closed)) << name << ": " << reads << " reads\n" << reply.substr(0, 300);
        EXPECT_TRUE(Has(RawExchange(port, kInfoRequest), "HTTP/1.1 200 OK")) << name << ": count=1 is one request";
    }
    EXPECT_EQ(Control("/emu/faults"), "");
}

TEST_F(EmulatorTest, ConnectionFaultModes) {
    o.faults = {"keepalive-cl=1"};   // from the command line
    Start();
    bool closed = false;
    // keepalive-cl: Content-Length and the connection stays open for another
    // request; keepalive-nocl: no Content-Length, still open afterwards.
    for (const std::string fault : {"", "keepalive-nocl"}) {
        if (!fault.empty()) Fault(fault);
        const int fd = ConnectLoopback(port);
        SendAll(fd, kInfoRequest);
        const std::string r = ReadSome(fd, 1, 3000) + ReadSome(fd, 1 << 20, 300, &closed);
        EXPECT_TRUE(!closed && Has(r, "HTTP/1.1 200 OK")) << fault;
        EXPECT_EQ(HeaderValue(r, "Content-Length").empty(), !fault.empty()) << fault;
        SendAll(fd, kInfoRequest);   // the fault was for one request: this one closes normally
        EXPECT_TRUE(Has(ReadSome(fd, 1 << 20, 3000, &closed), "HTTP/1.1 200 OK") && closed) << fault;
        ::close(fd);
    }
    // silent: a request is read but never answered while others are served.
    Fault("silent");
    const int fd = ConnectLoopback(port);
    SendAll(fd, kInfoRequest);
    EXPECT_EQ(Status(Get(port, kCgi + "cmd=getdevtype").out), "200");
    EXPECT_EQ(ReadSome(fd, 1, 500, &closed), "");
    EXPECT_FALSE(closed);
    ::close(fd);
    // drop-first=2: two connections closed unanswered, then normal again.
    Fault("drop-first", 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(RawExchange(port, kInfoRequest, false, 3000, nullptr, &closed), "");
        EXPECT_TRUE(closed);
    }
    EXPECT_TRUE(Has(RawExchange(port, kInfoRequest), "HTTP/1.1 200 OK"));
}

TEST_F(EmulatorTest, SlowSdCommandDoesNotStallOtherRequests) {
    o.cameras = 2;
    o.sdDelayMs = 1500;
    Start();
    std::atomic<bool> slowDone{false};
    std::string slowReply;
    std::thread slow([&] {
        slowReply = Get(port, kCgi + "cmd=sdstop").out;
        slowDone = true;
    });
    for (int i = 0; i < 200 && emu->Server().ConnectionCount() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (int on : {port, emu->GetCamera(1).HttpPort()}) EXPECT_EQ(Status(Get(on, kCgi + "cmd=getdevtype").out), "200");
    EXPECT_FALSE(slowDone.load());
    slow.join();
    EXPECT_TRUE(Has(slowReply, "Succeed"));
    EXPECT_EQ(State(0).Get("sdstatus"), "out");
    EXPECT_EQ(State(1).Get("sdstatus"), "Ready");
}

// A head trickled a byte at a time, each far within the idle limit, is cut
// off by its total deadline; the threads of a burst of slow commands end
// once idle.
TEST_F(EmulatorTest, TrickledHeadTimesOutAndIdleWorkersEnd) {
    o.http.headTotalMs = 1000;
    o.http.workerIdleMs = 200;
    o.sdDelayMs = 400;
    Start();
    const int fd = ConnectLoopback(port);
    std::string reply;
    for (size_t i = 0; i < kInfoRequest.size() - 2 && reply.empty(); ++i) {
        SendAll(fd, kInfoRequest.substr(i, 1));
        reply = ReadSome(fd, 1 << 16, 200);
    }
    ::close(fd);
    EXPECT_EQ(Status(reply), "408") << reply;

    std::vector<std::thread> slow;
    for (int i = 0; i < 3; ++i) slow.emplace_back([&] { Get(port, kCgi + "cmd=sdfrmt"); });
    for (int i = 0; i < 200 && emu->Server().WorkerCount() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GT(emu->Server().WorkerCount(), 0u);
    for (auto& t : slow) t.join();
    for (int i = 0; i < 200 && emu->Server().WorkerCount() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(emu->Server().WorkerCount(), 0u);
}

TEST_F(EmulatorTest, FirmwareUploadRestartsWithTheNewVersion) {
    Start();
    const std::string pkg = tmp.file("KY7200_V5.2.1_20240101.pkg");
    std::string bytes;
    for (int i = 0; i < 200000; ++i) bytes += char(i * 31);
    kytest::WriteBytes(pkg, bytes);
    const auto r =
        Curl({"-i", "-u", "admin:admin", "-F", "setting_file=@" + pkg, Url(port, "/web/cgi-bin/ky7200/upgrade.cgi")});
    EXPECT_EQ(StatusLine(r.out), "HTTP/1.1 200 OK");
    EXPECT_TRUE(Has(r.out, "Content-Type:text/html"));
    EXPECT_EQ(State().Get("emu.upgrade.size"), "200000");
    // Down: connections are refused until the restart time has passed.
    EXPECT_EQ(Get(port, kInfo).exitCode, 7);
    ASSERT_TRUE(WaitUp());
    EXPECT_TRUE(Has(Get(port, kInfo).out, "var softVersion=\"V5.2.1\";"));
    EXPECT_TRUE(Has(Get(port, "/log/syslog.txt").out, "restarting as V5.2.1"));

    // The tool's own bytes: the whole path percent-encoded.
    EXPECT_TRUE(Has(RawExchange(port, ToolUpload("%2Fhome%2Fu%2Ffw+V6.0.3.pkg", "DATA")), "200 OK"));
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    ASSERT_TRUE(WaitUp());
    EXPECT_EQ(State().Get("softVersion"), "V6.0.3");
    EXPECT_EQ(State().Get("emu.upgrade.file"), "/home/u/fw V6.0.3.pkg");
}

TEST_F(EmulatorTest, SdCardPages) {
    Start();
    const std::string folder = FirstLink(Get(port, "/sd/").out, "/");
    const std::string file = FirstLink(Get(port, folder).out, ".mp4");
    ASSERT_TRUE(!folder.empty() && !file.empty());

    EXPECT_EQ(Curl({"-u", "admin:admin", "-o", tmp.file("clip.mp4"), "-w", "%{http_code}", Url(port, file)}).out,
              "200");
    const auto probe = ky::test::RunProcess(
        {"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", tmp.file("clip.mp4")});
    EXPECT_NEAR(std::atof(probe.out.c_str()), 2.0, 0.2) << probe.out;
    const auto ranged = Curl({"-i", "-u", "admin:admin", "-r", "0-99", Url(port, file)});
    EXPECT_EQ(Status(ranged.out), "206");
    EXPECT_EQ(Body(ranged.out).size(), 100u);
    EXPECT_EQ(Status(Get(port, "/sd/../etc/passwd").out), "404");

    // Formatting empties the card; taking it out removes the listing.
    ASSERT_TRUE(Has(Get(port, kCgi + "cmd=sdfrmt").out, "Succeed"));
    EXPECT_FALSE(Has(Get(port, "/sd/").out + Get(port, folder).out, ".mp4"));
    Get(port, kCgi + "cmd=sdstop");
    EXPECT_EQ(Status(Get(port, "/sd/").out), "404");
}
