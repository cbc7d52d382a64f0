// kycamctl against a scripted loopback camera: exit statuses, what is sent,
// and that bad input never reaches the camera.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tests/support/ScriptedServer.h"
#include "tools/kycamctl/Kycamctl.h"

using ky::test::ScriptedServer;

namespace {

struct Result {
    int status;
    std::string out, err;
};

Result Ctl(uint16_t port, std::vector<std::string> args) {
    std::vector<std::string> all = {"-P", std::to_string(port), "-p", "pw"};
    all.insert(all.end(), args.begin(), args.end());
    std::ostringstream out, err;
    const int status = ky::ctl::Run(all, out, err);
    return {status, out.str(), err.str()};
}

// A camera that answers every get with the same values and every set with OK.
ScriptedServer::Script Camera(const std::string& getBody) {
    ScriptedServer::Script s;
    s.handler = [getBody](const std::string& request) {
        const bool isSet = request.find("cmd=set") != std::string::npos;
        return ScriptedServer::HttpReply(isSet ? "" : getBody);
    };
    return s;
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}   // namespace

TEST(Kycamctl, GetPrintsFieldsAsTextOrJson) {
    ScriptedServer cam(Camera("var cloud_enable=1;\r\n"));
    Result r = Ctl(cam.Port(), {"get", "cloud"});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("cloud_enable=1\n", r.out);
    r = Ctl(cam.Port(), {"--json", "get", "cloud"});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("{\"cloud_enable\":1}\n", r.out);
}

TEST(Kycamctl, SetReadsChangesValidatesAndWrites) {
    ScriptedServer cam(Camera("var tmall_flag=1;\r\nvar tmall_enable=0;\r\n"));
    Result r = Ctl(cam.Port(), {"set", "tmall", "tmall_enable=1"});
    EXPECT_EQ(0, r.status) << r.err;
    ASSERT_TRUE(cam.WaitFinished(2));
    const std::string sent = cam.Received();
    EXPECT_NE(std::string::npos, sent.find("GET /cgi-bin/ky7200/param.cgi?cmd=gettmallattr HTTP/1.1"));
    EXPECT_NE(std::string::npos, sent.find("GET /cgi-bin/ky7200/param.cgi?cmd=settmallattr&-tmall_enable=1 HTTP/1.1"));
}

TEST(Kycamctl, UsageErrorsNameTheFieldAndSendNothing) {
    ScriptedServer cam(Camera("var cloud_enable=1;\r\n"));
    const std::vector<std::vector<std::string>> bad = {
        {"set", "cloud", "nosuch=1"},          // unknown field
        {"set", "cloud", "cloud_enable=on"},   // does not convert
        {"set", "tmall", "tmall_flag=1"},      // read-only
        {"set", "serverinfo", "name=x"},       // read-only page
        {"get", "nosuchpage"},
        {"frobnicate"},
        {"set", "cloud"},
    };
    for (const auto& args : bad) {
        const Result r = Ctl(cam.Port(), args);
        EXPECT_EQ(2, r.status) << args.back();
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_NE(std::string::npos, Ctl(cam.Port(), {"set", "cloud", "nosuch=1"}).err.find("nosuch"));
    EXPECT_EQ(0, cam.Accepted());
    // The page's own rule: a value the camera would not take is refused
    // after reading, before writing.
    const Result r = Ctl(cam.Port(), {"set", "cloud", "cloud_enable=5"});
    EXPECT_EQ(2, r.status);
    ASSERT_TRUE(cam.WaitFinished(1));
    EXPECT_EQ(0u, Count(cam.Received(), "cmd=set"));
}

TEST(Kycamctl, P2pWithoutUidIsRefusedWithThePagesMessage) {
    ScriptedServer cam(Camera("var xqp2p_enable=0;\r\nvar xqp2p_uid=\"\";\r\n"));
    const Result r = Ctl(cam.Port(), {"set", "p2p", "enable=1"});
    EXPECT_EQ(2, r.status);
    EXPECT_NE(std::string::npos, r.err.find("Enable P2P, UUID cannot be empty!"));
}

// A format the camera reports is written back as it is; a word the write
// cannot carry is refused before anything is sent.
TEST(Kycamctl, AudioFormatsAreSentOrRefusedNeverDropped) {
    ScriptedServer cam(
        Camera("var aeswitch_1=\"1\";\r\nvar aeformat_1=\"g711u\";\r\nvar aeswitch_2=\"1\";\r\n"
               "var aeformat_2=\"g711u\";\r\nvar volume=\"80\";\r\nvar volin_type=\"1\";\r\n"
               "var ao_volume=\"90\";\r\n"));
    EXPECT_EQ(0, Ctl(cam.Port(), {"set", "audio", "volume=50"}).status);
    ASSERT_TRUE(cam.WaitFinished(5));
    EXPECT_NE(std::string::npos, cam.Received().find("-aeformat=g711u&cmd=setaencattr&-chn=12&-aeswitch=1"
                                                     "&-aeformat=g711u&cmd=setaudioinvolume&-volume=50"));
    const Result r = Ctl(cam.Port(), {"set", "audio", "aeformat_b=G711A"});
    EXPECT_EQ(2, r.status);
    EXPECT_NE(std::string::npos, r.err.find("Audio format must be g711a, g711u or g726!"));
    EXPECT_EQ(4u, Count(cam.Received(), "cmd=set"));   // the four commands of the first set only
}

// A camera without tracking reads 255 for its switch and mode; neither set
// nor restore sends that back.
TEST(Kycamctl, PtzWithoutTrackingWritesZero) {
    ScriptedServer cam(
        Camera("var panscan=\"2\";\r\nvar movehome=\"on\";\r\nvar ptzalarmmask=\"off\";\r\n"
               "var light_enable=\"1\";\r\n"));
    const std::string path = ::testing::TempDir() + "kycamctl_ptz.json";
    std::ofstream(path) << R"({"pages": {"ptz": {"panscan": 4, "smartrack_enable": 255, "smartrack_mode": 255}}})";
    EXPECT_EQ(0, Ctl(cam.Port(), {"set", "ptz", "panscan=3"}).status);
    const Result r = Ctl(cam.Port(), {"restore", path});
    EXPECT_EQ(0, r.status) << r.out << r.err;
    ASSERT_TRUE(cam.WaitFinished(4));
    EXPECT_EQ(2u, Count(cam.Received(), "&-smartrack_enable=0&-smartrack_mode=0&"));
    EXPECT_EQ(0u, Count(cam.Received(), "=255"));
    std::remove(path.c_str());
}

TEST(Kycamctl, ExitStatusForRefusalAndNoConnection) {
    ScriptedServer refusing(ScriptedServer::Mode::ReplyThenClose,
                            ScriptedServer::HttpReply("", false, "401 Unauthorized"));
    EXPECT_EQ(1, Ctl(refusing.Port(), {"get", "cloud"}).status);
    EXPECT_EQ(3, Ctl(ScriptedServer::ClosedPort(), {"get", "cloud"}).status);
    EXPECT_EQ(3, Ctl(ScriptedServer::ClosedPort(), {"raw", "GET /cgi-bin/ky7200/param.cgi?cmd=x"}).status);
    ScriptedServer failing(Camera("Error\r\n"));
    EXPECT_EQ(1, Ctl(failing.Port(), {"call", "FormatSd"}).status);   // no "Succeed"
}

TEST(Kycamctl, RawPrintsTheBody) {
    ScriptedServer cam(ScriptedServer::Mode::ReplyThenClose, ScriptedServer::HttpReply("var a=\"1\";\r\n", true));
    const Result r = Ctl(cam.Port(), {"raw", "GET /cgi-bin/ky7200/param.cgi?cmd=geta"});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("var a=\"1\";\r\n", r.out);
    ASSERT_TRUE(cam.WaitFinished(1));
    EXPECT_EQ(0u, cam.Received().find("GET /cgi-bin/ky7200/param.cgi?cmd=geta HTTP/1.1\r\n"));
}

TEST(Kycamctl, SetFromJsonFile) {
    ScriptedServer cam(Camera("var cloud_enable=0;\r\n"));
    const std::string path = ::testing::TempDir() + "kycamctl_cloud.json";
    std::ofstream(path) << R"({"cloud_enable": 1})";
    const Result r = Ctl(cam.Port(), {"set", "cloud", "--from", path});
    EXPECT_EQ(0, r.status) << r.err;
    ASSERT_TRUE(cam.WaitFinished(2));
    EXPECT_NE(std::string::npos, cam.Received().find("cmd=setcloudenable&-cloud_enable=1 "));
    std::ofstream(path) << R"({"cloud_enable": "yes"})";
    EXPECT_EQ(2, Ctl(cam.Port(), {"set", "cloud", "--from", path}).status);
    std::ofstream(path) << "{not json";
    EXPECT_EQ(2, Ctl(cam.Port(), {"set", "cloud", "--from", path}).status);
    std::remove(path.c_str());
}

TEST(Kycamctl, ManyCamerasFromAHostsFile) {
    ScriptedServer a(Camera("var cloud_enable=1;\r\n"));
    ScriptedServer b(Camera("var cloud_enable=0;\r\n"));
    ScriptedServer refusing(ScriptedServer::Mode::ReplyThenClose,
                            ScriptedServer::HttpReply("", false, "401 Unauthorized"));
    const std::string path = ::testing::TempDir() + "kycamctl_hosts.txt";
    std::ofstream(path) << "# site A\n127.0.0.1:" << a.Port() << "\n"
                        << "127.0.0.1:" << b.Port() << " admin pw   # own credentials\n\n"
                        << "127.0.0.1:" << refusing.Port() << "\n"
                        << "127.0.0.1:" << ScriptedServer::ClosedPort() << "\n";
    std::ostringstream out, err;
    const int status = ky::ctl::Run({"-p", "pw", "--hosts", path, "get", "cloud"}, out, err);
    EXPECT_EQ(3, status);   // the worst result
    const std::string text = out.str();
    EXPECT_NE(std::string::npos, text.find("== 127.0.0.1:" + std::to_string(a.Port()) + "\ncloud_enable=1\n"));
    EXPECT_NE(std::string::npos, text.find("== 127.0.0.1:" + std::to_string(b.Port()) + "\ncloud_enable=0\n"));
    EXPECT_NE(std::string::npos, text.find(std::to_string(refusing.Port()) + "  refused"));
    EXPECT_NE(std::string::npos, text.find("no connection"));
    EXPECT_NE(std::string::npos, err.str().find("4/4 cameras done"));
    std::ofstream(path) << "127.0.0.1:99999\n";
    std::ostringstream o2, e2;
    EXPECT_EQ(2, ky::ctl::Run({"--hosts", path, "get", "cloud"}, o2, e2));
    std::remove(path.c_str());
}
