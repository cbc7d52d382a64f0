// Audio, OSD, PTZ, RS-485, video and image commands and their page rules,
// against hand-written replies and a scripted loopback camera. Expected
// request texts are typed from the camera's documented protocol, not produced
// by the code under test.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/cgi/Catalogue.h"
#include "core/cgi/CgiClient.h"
#include "core/cgi/rules/AudioOsdRules.h"
#include "core/cgi/rules/ImageRules.h"
#include "core/cgi/rules/PtzRules.h"
#include "core/cgi/rules/VideoRules.h"
#include "tests/support/CgiWire.h"

using ky::test::ScriptedServer;
namespace cgi = ky::cgi;

namespace {

constexpr const char* kIp = "127.0.0.1";
constexpr const char* kUser = "admin";
constexpr const char* kPassword = "123456";

std::string Expected(const std::string& requestText) { return ky::test::ExpectedRequest(requestText); }
std::string Reply(const std::string& body) { return ky::test::CameraReply(body); }
const cgi::CommandDesc& Cmd(const char* name) { return ky::test::Command(name); }
std::string Format(const char* name, const void* rec) { return ky::test::FormattedRequest(name, rec); }

}   // namespace

// ---- audio ------------------------------------------------------------------------------

TEST(AudioCommands, ReadsStreamsAndVolumesAndWritesOneGroupedRequest) {
    ScriptedServer server(
        ScriptedServer::Mode::ReplyThenClose,
        Reply("var aeswitch_1=\"1\";\r\nvar aeformat_1=\"g711a\";\r\n"
              "var aeswitch_2=\"0\";\r\nvar aeformat_2=\"g726\";\r\n"
              "var volume=\"75\";\r\nvar aec=\"1\";\r\nvar denoise=\"0\";\r\nvar volin_type=\"1\";\r\n"
              "var ao_volume=\"60\";\r\n"));
    CCgiClient client;
    // The page reads each stream into a zeroed record, slot A naming the stream.
    AudioAttr second{};
    second.stream_a = 1;
    ASSERT_EQ(0, client.GetAencAttr(kIp, server.Port(), kUser, kPassword, &second, 3000));
    EXPECT_EQ(0, second.aeswitch_a);
    EXPECT_STREQ("g726", second.aeformat_a);

    AudioAttr a{};
    a.stream_b = 1;
    ASSERT_EQ(0, client.GetAudioInVolume(kIp, server.Port(), kUser, kPassword, &a, 3000));
    ASSERT_EQ(0, client.GetAudioOutVolume(kIp, server.Port(), kUser, kPassword, &a, 3000));
    EXPECT_EQ(75, a.volume);
    EXPECT_EQ(1, a.aec);
    EXPECT_EQ(1, a.volin_type);
    EXPECT_EQ(60, a.ao_volume);

    a.aeswitch_a = 1;
    std::strcpy(a.aeformat_a, "g726");
    a.aeswitch_b = 0;
    std::strcpy(a.aeformat_b, "g726");
    ASSERT_EQ(0, client.SetAudioAttr(kIp, server.Port(), kUser, kPassword, &a, 3000));
    ASSERT_TRUE(server.WaitFinished(4));
    EXPECT_EQ(Expected("GET /cgi-bin/ky7200/param.cgi?cmd=getaencattr&-chn=12") +
                  Expected("GET /cgi-bin/ky7200/param.cgi?cmd=getaudioinvolume") +
                  Expected("GET /cgi-bin/ky7200/param.cgi?cmd=getaudiooutvolume") +
                  Expected("GET /cgi-bin/ky7200/param.cgi?cmd=setaencattr&-chn=11&-aeswitch=1&-aeformat=g726"
                           "&cmd=setaencattr&-chn=12&-aeswitch=0&-aeformat=g726"
                           "&cmd=setaudioinvolume&-volume=75&-volin_type=1&cmd=setaudiooutvolume&-volume=60"),
              server.Received());
}

TEST(AudioCommands, FormatsTheWriteCannotCarryAndBadStreamsAreRefused) {
    AudioAttr a{};
    a.stream_a = 0;
    a.stream_b = 1;
    a.aeswitch_a = 1;
    std::strcpy(a.aeformat_a, "g711u");
    a.aeswitch_b = 1;
    std::strcpy(a.aeformat_b, "g711a");
    a.volume = 5;
    a.ao_volume = 6;
    EXPECT_EQ(
        "GET /cgi-bin/ky7200/param.cgi?cmd=setaencattr&-chn=11&-aeswitch=1&-aeformat=g711u"
        "&cmd=setaencattr&-chn=12&-aeswitch=1&-aeformat=g711a"
        "&cmd=setaudioinvolume&-volume=5&-volin_type=0&cmd=setaudiooutvolume&-volume=6",
        Format("SetAudioAttr", &a));
    // Only the exact words go out: anything else refuses the whole write.
    for (const char* bad : {"G711A", "", "mp3"}) {
        std::strcpy(a.aeformat_b, bad);
        EXPECT_EQ("<refused>", Format("SetAudioAttr", &a)) << bad;
        EXPECT_STREQ("Audio format must be g711a, g711u or g726!", cgi::CheckAudioAttr(a)) << bad;
    }
    std::strcpy(a.aeformat_b, "g726");
    a.stream_b = 2;   // channel 13 still exists
    EXPECT_NE("<refused>", Format("SetAudioAttr", &a));
    a.stream_b = 3;
    EXPECT_EQ("<refused>", Format("SetAudioAttr", &a));

    ScriptedServer idle(ScriptedServer::Mode::ReplyThenClose, Reply(""));
    CCgiClient client;
    AudioAttr bad{};
    bad.stream_a = -1;
    EXPECT_EQ(-1, client.GetAencAttr(kIp, idle.Port(), kUser, kPassword, &bad, 3000));
    EXPECT_EQ(-1, client.SetAudioAttr(kIp, idle.Port(), kUser, kPassword, &a, 3000));
    EXPECT_EQ(0, idle.Accepted());
}

TEST(AudioCommands, AudioPageReadsBothSlotsFromOneReply) {
    const cgi::PageDesc* page = cgi::FindPage("audio");
    ASSERT_NE(nullptr, page);
    AudioAttr a{};
    page->preset(&a, {});
    const char* reply =
        "var aeswitch_1=\"1\";\r\nvar aeformat_1=\"g711a\";\r\nvar aeswitch_2=\"1\";\r\n"
        "var aeformat_2=\"g726\";\r\nvar aeswitch_11=\"0\";\r\n";
    for (const cgi::CommandDesc* c : page->gets) cgi::ParseReply(*c, reply, 4096, &a);
    EXPECT_EQ(1, a.aeswitch_a);
    EXPECT_STREQ("g711a", a.aeformat_a);
    EXPECT_EQ(1, a.aeswitch_b);
    EXPECT_STREQ("g726", a.aeformat_b);
    EXPECT_EQ("GET /cgi-bin/ky7200/param.cgi?cmd=getaencattr&-chn=12", Format("GetAencAttrB", &a));
}

TEST(AudioRules, VolumesAndInputType) {
    AudioAttr a{};
    a.volume = 1;
    a.ao_volume = 100;
    a.volin_type = 1;
    std::strcpy(a.aeformat_a, "g726");
    std::strcpy(a.aeformat_b, "g711u");
    EXPECT_EQ(nullptr, cgi::CheckAudioAttr(a));
    for (int v : {0, 101, -5}) {
        AudioAttr b = a;
        b.volume = v;
        EXPECT_STREQ("Volume out of range (1-100), please reset!", cgi::CheckAudioAttr(b)) << v;
        b = a;
        b.ao_volume = v;
        EXPECT_STREQ("Volume out of range (1-100), please reset!", cgi::CheckAudioAttr(b)) << v;
    }
    AudioAttr b = a;
    b.volin_type = 2;
    EXPECT_STREQ("Please select the line input type!", cgi::CheckAudioAttr(b));
    b.volume = 0;   // the input volume is checked first
    EXPECT_STREQ("Volume out of range (1-100), please reset!", cgi::CheckAudioAttr(b));
}

// ---- OSD --------------------------------------------------------------------------------

TEST(OsdCommands, RegionsReadAndWriteTheirOwnRequests) {
    ScriptedServer server(ScriptedServer::Mode::ReplyThenClose,
                          Reply("var x_0=\"10\";\r\nvar show_0=\"1\";\r\nvar place_0=\"2\";\r\n"
                                "var x_1=\"20\";\r\nvar show_1=\"0\";\r\nvar place_1=\"3\";\r\n"
                                "var name_1=\"a\\\"b\\`c\\\\d\";\r\n"));
    CCgiClient client;
    OsdRegion time{};
    ASSERT_EQ(0, client.GetOverlayAttr(kIp, server.Port(), kUser, kPassword, &time, 3000));
    EXPECT_EQ(10, time.x);
    EXPECT_EQ(1, time.show);
    EXPECT_EQ(2, time.place);
    OsdRegion name{};
    name.region = 1;
    ASSERT_EQ(0, client.GetOverlayAttr(kIp, server.Port(), kUser, kPassword, &name, 3000));
    EXPECT_EQ(20, name.x);
    EXPECT_EQ(3, name.place);
    EXPECT_STREQ("a\"b`c\\d", name.name);   // the camera's escapes undone

    time.show = 0;
    time.place = 1;
    ASSERT_EQ(0, client.SetOverlayAttr(kIp, server.Port(), kUser, kPassword, &time, 3000));
    name.show = 1;
    name.place = 0;
    std::strcpy(name.name, "My Cam=1\xE4\xB8\xAD");
    ASSERT_EQ(0, client.SetOverlayAttr(kIp, server.Port(), kUser, kPassword, &name, 3000));
    ASSERT_TRUE(server.WaitFinished(4));
    EXPECT_EQ(Expected("GET /cgi-bin/ky7200/param.cgi?cmd=getoverlayattr&-region=0") +
                  Expected("GET /cgi-bin/ky7200/param.cgi?cmd=getoverlayattr&-region=1") +
                  Expected("GET /cgi-bin/ky7200/param.cgi?cmd=setoverlayattr&-region=0&-show=0&-place=1") +
                  Expected("GET /cgi-bin/ky7200/param.cgi?cmd=setoverlayattr&-region=1&-show=1&-place=0"
                           "&-name=My+Cam%3D1%E4%B8%AD"),
              server.Received());

    ScriptedServer idle(ScriptedServer::Mode::ReplyThenClose, Reply(""));
    OsdRegion other{};
    other.region = 2;
    EXPECT_EQ(-1, client.GetOverlayAttr(kIp, idle.Port(), kUser, kPassword, &other, 3000));
    EXPECT_EQ(-1, client.SetOverlayAttr(kIp, idle.Port(), kUser, kPassword, &other, 3000));
    EXPECT_EQ(-1, client.SetOverlayAttr(kIp, idle.Port(), kUser, kPassword, nullptr, 3000));
    EXPECT_EQ(0, idle.Accepted());
}

TEST(OsdRules, NameLengthAndEscapes) {
    EXPECT_EQ(nullptr, cgi::CheckOsdName(std::string(31, 'n')));
    EXPECT_STREQ("OSD length does not exceed 31!", cgi::CheckOsdName(std::string(32, 'n')));
    std::string ten;
    for (int i = 0; i < 10; ++i) ten += "\xE4\xB8\xAD";   // 10 characters, 30 bytes
    EXPECT_EQ(nullptr, cgi::CheckOsdName(ten));
    EXPECT_STREQ("OSD length does not exceed 31!", cgi::CheckOsdName(ten + "\xE4\xB8\xAD"));

    OsdRegion r{};
    std::memset(r.name, 'n', 40);
    r.region = 0;   // the time stamp carries no name
    EXPECT_EQ(nullptr, cgi::CheckOsdRegion(r));
    r.region = 1;
    EXPECT_STREQ("OSD length does not exceed 31!", cgi::CheckOsdRegion(r));
    EXPECT_STREQ("OSD length does not exceed 31!", cgi::FindPage("osd-name")->validate(&r, {}));

    EXPECT_EQ("plain", cgi::UnescapeOsdName("plain"));
    EXPECT_EQ("\\`", cgi::UnescapeOsdName("\\\\\\`"));     // escaped backslash, escaped backquote
    EXPECT_EQ("\\\"", cgi::UnescapeOsdName("\\\\\\\""));   // escaped backslash, escaped quote
    EXPECT_EQ("\\\\", cgi::UnescapeOsdName("\\\\\\\\"));
    EXPECT_EQ("x\\", cgi::UnescapeOsdName("x\\"));   // a lone trailing backslash stays
}

// ---- PTZ and RS-485 ----------------------------------------------------------------------

TEST(PtzCommands, MotorReadDefaultsAndGroupedWrite) {
    ScriptedServer server(ScriptedServer::Mode::ReplyThenClose,
                          Reply("var panscan=\"3\";\r\nvar movehome=\"ON\";\r\nvar light_enable=\"on\";\r\n"
                                "var ptzalarmmask=\"off\";\r\n"));
    CCgiClient client;
    MotorAttr m{};
    m.movehome = 1;
    ASSERT_EQ(0, client.GetMotorAttr(kIp, server.Port(), kUser, kPassword, &m, 3000));
    EXPECT_EQ(3, m.panscan);
    EXPECT_EQ(3, m.tiltscan);   // one lap count for both axes
    EXPECT_EQ(0, m.movehome);   // only exactly "on" is on
    EXPECT_EQ(1, m.light_enable);
    EXPECT_EQ(255, m.smartrack_enable);   // no tracking reported
    EXPECT_EQ(255, m.smartrack_flag);
    EXPECT_EQ(255, m.smartrack_mode);
    EXPECT_STREQ("off", m.ptzalarmmask);

    m = MotorAttr{};
    m.tiltscan = 99;
    m.panscan = 99;
    m.movehome = 1;
    std::strcpy(m.ptzalarmmask, "on");
    m.smartrack_enable = 0;
    m.smartrack_mode = 0;
    m.light_enable = 0;
    ASSERT_EQ(0, client.SetMotorAttr(kIp, server.Port(), kUser, kPassword, &m, 3000));
    ASSERT_TRUE(server.WaitFinished(2));
    EXPECT_EQ(Expected("GET /cgi-bin/ky7200/param.cgi?cmd=getmotorattr&cmd=getsmartrackattr&cmd=getlightattr") +
                  Expected("GET /cgi-bin/ky7200/param.cgi?cmd=setmotorattr&-tiltscan=99&-tiltspeed=0&-panscan=99"
                           "&-panspeed=0&-movehome=on&-ptzalarmmask=on&cmd=setsmartrackattr&-smartrack_enable=0"
                           "&-smartrack_mode=0&cmd=setlightattr&-light_enable=off"),
              server.Received());
}

TEST(PtzCommands, TrackingAndLightValues) {
    const cgi::CommandDesc& get = Cmd("GetMotorAttr");
    MotorAttr m{};
    cgi::ParseReply(get,
                    "var smartrack_enable=\"1\";\r\nvar smartrack_flag=\"1\";\r\nvar smartrack_mode=\"2\";\r\n"
                    "var light_enable=\"1\";\r\n",
                    4096, &m);
    EXPECT_EQ(1, m.smartrack_enable);
    EXPECT_EQ(1, m.smartrack_flag);
    EXPECT_EQ(2, m.smartrack_mode);
    EXPECT_EQ(1, m.light_enable);
    cgi::ParseReply(get, "var light_enable=\"off\";\r\n", 4096, &m);
    EXPECT_EQ(0, m.light_enable);
    m.light_enable = 1;
    cgi::ParseReply(get, "var panscan=\"1\";\r\n", 4096, &m);
    EXPECT_EQ(1, m.light_enable);   // not reported: unchanged

    EXPECT_EQ(nullptr, cgi::CheckMotorAttr(m));
    for (const char* bad : {"a b", "on&cmd=x", "50%"}) {
        std::strcpy(m.ptzalarmmask, bad);
        EXPECT_STREQ("Invalid alarm PTZ mask!", cgi::CheckMotorAttr(m)) << bad;
    }
}

TEST(PtzCommands, Rs485ReadAndWrite) {
    ScriptedServer server(
        ScriptedServer::Mode::ReplyThenClose,
        Reply("var protocal=\"1\";\r\nvar address=\"7\";\r\nvar speed=\"63\";\r\nvar baud=\"57600\";\r\n"
              "var databit=\"8\";\r\nvar stopbit=\"2\";\r\nvar check=\"2\";\r\n"));
    CCgiClient client;
    PtzComAttr p{};
    ASSERT_EQ(0, client.GetPtzComAttr(kIp, server.Port(), kUser, kPassword, &p, 3000));
    EXPECT_EQ(1, p.protocal);
    EXPECT_EQ(7, p.address);
    EXPECT_EQ(63, p.speed);
    EXPECT_EQ(57600, p.baud);
    EXPECT_EQ(8, p.databit);
    EXPECT_EQ(2, p.stopbit);
    EXPECT_EQ(2, p.check);
    p = {0, 300, 99, 1200, 7, 1, 1};   // no range checks
    ASSERT_EQ(0, client.SetPtzComAttr(kIp, server.Port(), kUser, kPassword, &p, 3000));
    ASSERT_TRUE(server.WaitFinished(2));
    EXPECT_EQ(Expected("GET /cgi-bin/ky7200/param.cgi?cmd=getptzcomattr") +
                  Expected("GET /cgi-bin/ky7200/param.cgi?cmd=setptzcomattr&-protocal=0&-address=300&-speed=99"
                           "&-baud=1200&-databit=7&-stopbit=1&-check=1"),
              server.Received());
}

// ---- video ------------------------------------------------------------------------------

TEST(VideoCommands, StandardIsReadAsFiftyOrSixty) {
    const cgi::CommandDesc& get = Cmd("GetVideoAttr");
    VideoAttr v{};
    cgi::ParseReply(get, "var videomode=\"40\";\r\nvar vinorm=\"P\";\r\nvar profile=\"2\";\r\nvar maxchn=\"2\";\r\n",
                    4096, &v);
    EXPECT_EQ(40, v.videomode);
    EXPECT_EQ(50, v.vinorm);
    EXPECT_EQ(2, v.profile);
    EXPECT_EQ(2, v.maxchn);
    for (const char* body : {"var vinorm=\"N\";\r\n", "var vinorm=\"p\";\r\n", ""}) {
        v.vinorm = 50;
        cgi::ParseReply(get, body, 4096, &v);
        EXPECT_EQ(60, v.vinorm) << body;
    }
}

TEST(VideoCommands, WritesAreSentWithoutWaitingForAnAnswer) {
    // A camera that never answers: the writes still succeed once sent.
    ScriptedServer server(ScriptedServer::Mode::NeverAnswer, "");
    CCgiClient client;
    VideoAttr v{40, 50, 2, 0};
    ASSERT_EQ(0, client.SetVideoAttr(kIp, server.Port(), kUser, kPassword, &v, 600000));
    v = {122, 60, 3, 0};
    ASSERT_EQ(0, client.SetVideoAttr(kIp, server.Port(), kUser, kPassword, &v, 600000));
    VencAttr e{};
    e.stream = 0;
    e.bps = 6144;
    e.fps = 25;
    e.brmode = 1;
    e.imagegrade = 3;
    e.gop = 50;
    e.width = 1920;   // never sent
    ASSERT_EQ(0, client.SetVencAttr(kIp, server.Port(), kUser, kPassword, &e, 600000));
    e.stream = 1;
    e.bps = 512;
    e.brmode = 7;   // anything but 1 is CBR
    ASSERT_EQ(0, client.SetVencAttr(kIp, server.Port(), kUser, kPassword, &e, 600000));
    ASSERT_TRUE(server.WaitFinished(4));
    EXPECT_EQ(Expected("GET /cgi-bin/ky7200/param.cgi?cmd=setvideoattr&-profile=2&-vinorm=P&-videomode=40") +
                  Expected("GET /cgi-bin/ky7200/param.cgi?cmd=setvideoattr&-profile=3&-vinorm=N&-videomode=122") +
                  Expected("GET /web/cgi-bin/ky7200/param.cgi?cmd=setvencattr&-chn=11&-bps=6144&-fps=25&-brmode=1"
                           "&-imagegrade=3&-gop=50") +
                  Expected("GET /web/cgi-bin/ky7200/param.cgi?cmd=setvencattr&-chn=12&-bps=512&-fps=25&-brmode=0"
                           "&-imagegrade=3&-gop=50"),
              server.Received());
}

TEST(VideoCommands, StreamReadTakesItsOwnChannelKeys) {
    ScriptedServer server(ScriptedServer::Mode::ReplyThenClose,
                          Reply("var bps_1=\"4096\";\r\nvar fps_1=\"25\";\r\nvar brmode_1=\"1\";\r\n"
                                "var bps_2=\"1024\";\r\nvar fps_2=\"\";\r\nvar gop_2=\"40\";\r\nvar brmode_2=\"2\";\r\n"
                                "var imagegrade_2=\"4\";\r\nvar width_2=\"640\";\r\nvar height_2=\"352\";\r\n"));
    CCgiClient client;
    VencAttr e{};
    e.stream = 1;
    e.fps = 20;
    e.brmode = 1;
    ASSERT_EQ(0, client.GetVencAttr(kIp, server.Port(), kUser, kPassword, &e, 3000));
    EXPECT_EQ(1024, e.bps);
    EXPECT_EQ(0, e.fps);   // taken even when empty
    EXPECT_EQ(40, e.gop);
    EXPECT_EQ(0, e.brmode);   // only the value 1 is VBR
    EXPECT_EQ(4, e.imagegrade);
    EXPECT_EQ(640, e.width);
    EXPECT_EQ(352, e.height);
    VencAttr first{};
    first.gop = 33;
    ASSERT_EQ(0, client.GetVencAttr(kIp, server.Port(), kUser, kPassword, &first, 3000));
    EXPECT_EQ(4096, first.bps);
    EXPECT_EQ(1, first.brmode);
    EXPECT_EQ(33, first.gop);   // missing: unchanged
    ASSERT_TRUE(server.WaitFinished(2));
    EXPECT_EQ(Expected("GET /cgi-bin/ky7200/getvencattr.cgi?-chn=12") +
                  Expected("GET /cgi-bin/ky7200/getvencattr.cgi?-chn=11"),
              server.Received());

    ScriptedServer idle(ScriptedServer::Mode::ReplyThenClose, Reply(""));
    VencAttr third{};
    third.stream = 2;
    EXPECT_EQ(-1, client.GetVencAttr(kIp, idle.Port(), kUser, kPassword, &third, 3000));
    EXPECT_EQ(-1, client.SetVencAttr(kIp, idle.Port(), kUser, kPassword, &third, 3000));
    EXPECT_EQ(0, idle.Accepted());
}

TEST(VideoRules, StreamLimitsInPageOrder) {
    VencAttr ok{0, 0, 6144, 25, 25, 0, 1, 0, 0};
    EXPECT_EQ(nullptr, cgi::CheckVencAttr(ok, 50));
    const auto check = [](VencAttr v, int vinorm) {
        const char* m = cgi::CheckVencAttr(v, vinorm);
        return std::string(m ? m : "");
    };
    VencAttr v = ok;
    v.bps = 6145;
    EXPECT_EQ("Error in code rate parameter!", check(v, 60));
    v.bps = 31;
    EXPECT_EQ("Error in code rate parameter!", check(v, 60));
    v = ok;
    v.stream = 1;
    v.bps = 2048;
    EXPECT_EQ("", check(v, 60));
    v.bps = 2049;
    EXPECT_EQ("Error in code rate parameter [32~2048] of secondary stream", check(v, 60));
    v = ok;
    v.gop = 1;
    EXPECT_EQ("Main frame interval parameter error!", check(v, 60));
    v.gop = 151;
    v.stream = 1;
    v.bps = 100;
    EXPECT_EQ("Main frame interval parameter error!", check(v, 60));
    v = ok;
    v.fps = 31;
    v.gop = 100;
    EXPECT_EQ("The input value of main code stream frame rate is illegal!", check(v, 60));
    v.stream = 1;
    v.bps = 100;
    v.fps = 0;
    EXPECT_EQ("Illegal input value of secondary code stream frame rate!", check(v, 60));
    v = ok;
    v.gop = 20;   // below 25 fps
    EXPECT_EQ("he main frame interval cannot be less than the frame rate!", check(v, 60));
    v = ok;
    v.fps = 26;
    v.gop = 30;
    EXPECT_EQ("The frame rate cannot be greater than 25!", check(v, 50));
    v.fps = 30;
    EXPECT_EQ("", check(v, 60));
    v = ok;
    v.imagegrade = 7;
    EXPECT_EQ("The main stream image quality input value is illegal!", check(v, 60));
    v.stream = 1;
    v.bps = 64;
    v.imagegrade = 0;
    EXPECT_EQ("Illegal secondary stream image quality input value!", check(v, 60));
    v.bps = 9999;   // the bit rate is reported first
    EXPECT_EQ("Error in code rate parameter [32~2048] of secondary stream", check(v, 60));
}

TEST(VideoRules, VencPageTakesTheStandardFromTheCamera) {
    const cgi::PageDesc* page = cgi::FindPage("venc");
    ASSERT_NE(nullptr, page);
    VencAttr v{};
    cgi::PageOptions second;
    second.stream = 1;
    page->preset(&v, second);
    EXPECT_EQ("GET /cgi-bin/ky7200/getvencattr.cgi?-chn=12", Format("GetVencAttr", &v));
    v.bps = 1000;
    v.fps = 30;
    v.gop = 60;
    v.imagegrade = 2;
    EXPECT_EQ(nullptr, page->validate(&v, {}));   // no camera: 60 Hz
    ScriptedServer pal(ScriptedServer::Mode::ReplyThenClose, Reply("var vinorm=\"P\";\r\n"));
    const cgi::Target target{kIp, pal.Port(), kUser, kPassword};
    EXPECT_STREQ("The frame rate cannot be greater than 25!", page->validate(&v, {&target, 3000}));
    ASSERT_TRUE(pal.WaitFinished(1));
    EXPECT_EQ(Expected("GET /cgi-bin/ky7200/param.cgi?cmd=getvideoattr"), pal.Received());
}

TEST(VideoRules, ModeListsAndModeSearch) {
    const std::vector<int> modes = cgi::ParseModeList("40;41;42;");
    EXPECT_EQ((std::vector<int>{40, 41, 42}), modes);
    // The first-stream size of all three, and the second-stream sizes in order.
    std::vector<std::string> second;
    for (int m : modes) {
        const auto r = cgi::VideoModeResolutions(m);
        EXPECT_EQ("1920x1080", cgi::SizeText(cgi::ResolutionSize(r.first, false)));
        second.push_back(cgi::SizeText(cgi::ResolutionSize(r.second, false)));
    }
    EXPECT_EQ((std::vector<std::string>{"1920x1080", "640x352", "320x176"}), second);
    EXPECT_EQ(41, cgi::FindVideoMode(modes, {1920, 1080}, {640, 352}, false));
    EXPECT_EQ(-1, cgi::FindVideoMode(modes, {1920, 1080}, {704, 576}, true));

    const auto m35 = cgi::VideoModeResolutions(35);
    EXPECT_EQ("704x576", cgi::SizeText(cgi::ResolutionSize(m35.second, true)));
    EXPECT_EQ("704x480", cgi::SizeText(cgi::ResolutionSize(m35.second, false)));
    // A size of the other frequency still finds its mode.
    EXPECT_EQ(35, cgi::FindVideoMode({36, 35}, {1280, 720}, {704, 576}, false));
    // A single mode is the answer whatever was chosen; none is -1.
    EXPECT_EQ(35, cgi::FindVideoMode({35}, {1, 1}, {2, 2}, true));
    EXPECT_EQ(-1, cgi::FindVideoMode({}, {1280, 720}, {640, 352}, true));
    // Modes the table does not list are 1280x720 + 640x352.
    EXPECT_EQ(7, cgi::FindVideoMode({7, 200}, {1280, 720}, {640, 352}, true));

    EXPECT_EQ((std::vector<int>{17, 18, 19, 20, 21}), cgi::ParseModeList("17;18;19;20;21;22;"));   // 16 characters
    EXPECT_EQ((std::vector<int>{40, 41}), cgi::ParseModeList("40; 4x1;;42"));                      // no closing ";"
    EXPECT_EQ((std::vector<int>{7}), cgi::ParseModeList("1234567890;7;"));                         // 10 digits dropped
    EXPECT_TRUE(cgi::ParseModeList("").empty());

    std::vector<int> profiles{9};
    EXPECT_FALSE(cgi::ProfilesFromMask("   ", profiles));
    EXPECT_EQ((std::vector<int>{9}), profiles);
    ASSERT_TRUE(cgi::ProfilesFromMask("5", profiles));
    EXPECT_EQ((std::vector<int>{0, 2}), profiles);
    EXPECT_STREQ("H264 highprofile", cgi::ProfileName(profiles[1]));
    EXPECT_STREQ("H265 maiprofile", cgi::ProfileName(3));
    EXPECT_EQ(nullptr, cgi::ProfileName(4));
}

// ---- image ------------------------------------------------------------------------------

TEST(ImageCommands, GroupedReadConversions) {
    ScriptedServer server(ScriptedServer::Mode::ReplyThenClose,
                          Reply("var display_mode=\"1\";\r\nvar brightness=\"50\";\r\nvar hue=\"\";\r\n"
                                "var flip=\"on\";\r\nvar mirror=\"ON\";\r\nvar wdr=\"on\";\r\nvar ae=\"5\";\r\n"
                                "var targety=\"90\";\r\nvar ratioslope=\"7\";\r\nvar saradc_switch_value=\"512\";\r\n"
                                "var infraredstat=\"Open\";\r\nvar lamp_mode=\"2\";\r\n"));
    CCgiClient client;
    ImageAttr a{};
    a.hue = 9;
    a.mirror = 1;
    ASSERT_EQ(0, client.GetImageAttr(kIp, server.Port(), kUser, kPassword, &a, 3000));
    ASSERT_TRUE(server.WaitFinished(1));
    EXPECT_EQ(Expected("GET /cgi-bin/ky7200/param.cgi?cmd=getimageattr&cmd=getircutattr&cmd=getinfrared"
                       "&cmd=getlampattrex"),
              server.Received());
    EXPECT_EQ(1, a.display_mode);
    EXPECT_EQ(50, a.brightness);
    EXPECT_EQ(0, a.hue);   // taken even when empty
    EXPECT_EQ(1, a.flip);
    EXPECT_EQ(0, a.mirror);   // only exactly "on"
    EXPECT_EQ(1, a.wdr);
    EXPECT_EQ(1, a.ae);   // above 1 is 1
    EXPECT_EQ(90, a.targety);
    EXPECT_EQ(7, a.ratioslope);
    EXPECT_EQ(65535, a.histoffset);
    EXPECT_EQ(65535, a.defag);
    EXPECT_EQ(512, a.saradc_switch_value);
    EXPECT_EQ(1, a.infraredstat);
    EXPECT_EQ(2, a.lamp_mode);

    const cgi::CommandDesc& get = Cmd("GetImageAttr");
    ImageAttr b{};
    b.infraredstat = 1;
    cgi::ParseReply(get, "var brightness=\"1\";\r\n", 4096, &b);
    EXPECT_EQ(-1, b.ae);            // not reported
    EXPECT_EQ(1, b.infraredstat);   // not reported: unchanged
    for (const auto& [word, want] : std::vector<std::pair<std::string, int>>{
             {"close", 0}, {"CLOSE", 0}, {"open", 1}, {"auto", 2}, {"AUTO", 2}, {"dim", 2}}) {
        b.infraredstat = 5;
        cgi::ParseReply(get, ("var infraredstat=\"" + word + "\";\r\n").c_str(), 4096, &b);
        EXPECT_EQ(want, b.infraredstat) << word;
    }
    cgi::ParseReply(get, "var ae=\"0\";\r\n", 4096, &b);
    EXPECT_EQ(0, b.ae);
}

TEST(ImageCommands, GroupedWriteFollowsTheNightVisionMode) {
    ImageAttr a{};
    a.display_mode = 0;
    a.brightness = 50;
    a.saturation = 60;
    a.contrast = 70;
    a.targety = 80;
    a.flip = 1;
    a.mirror = 0;
    a.imgmode = 1;
    a.saradc_switch_value = 512;
    a.lamp_mode = 1;   // full colour: no infrared part, image type 1
    a.infraredstat = 0;
    EXPECT_EQ(
        "GET /cgi-bin/ky7200/param.cgi?&cmd=setlampattrex&-lamp_mode=1&cmd=setircutattr"
        "&-saradc_switch_value=512&cmd=setimageattr&-brightness=50&-saturation=60&-contrast=70&-targety=80"
        "&-flip=on&-mirror=off&-imgmode=1&-image_type=1",
        Format("SetImageAttr", &a));
    a.lamp_mode = 0;
    a.infraredstat = 1;
    EXPECT_EQ(
        "GET /cgi-bin/ky7200/param.cgi?cmd=setinfrared&-infraredstat=open&cmd=setlampattrex&-lamp_mode=0"
        "&cmd=setircutattr&-saradc_switch_value=512&cmd=setimageattr&-brightness=50&-saturation=60"
        "&-contrast=70&-targety=80&-flip=on&-mirror=off&-imgmode=1&-image_type=0",
        Format("SetImageAttr", &a));
    a.infraredstat = 0;
    EXPECT_EQ(1, cgi::ImageType(a));
    EXPECT_NE(std::string::npos, Format("SetImageAttr", &a).find("?cmd=setinfrared&-infraredstat=close&"));
    a.infraredstat = 2;
    a.display_mode = 7;
    EXPECT_EQ(7, cgi::ImageType(a));
    EXPECT_NE(std::string::npos, Format("SetImageAttr", &a).find("?cmd=setinfrared&-infraredstat=auto&"));
    a.lamp_mode = 2;
    EXPECT_EQ(7, cgi::ImageType(a));
    EXPECT_NE(std::string::npos, Format("SetImageAttr", &a).find("?&cmd=setlampattrex&-lamp_mode=2&"));
}

TEST(ImageCommands, SliderWritesAndRestoreDefaults) {
    ScriptedServer server(ScriptedServer::Mode::ReplyThenClose, Reply("var brightness=\"50\";\r\n"));
    CCgiClient client;
    ImageAttr a{};
    a.brightness = 256;   // refused before anything is sent
    EXPECT_EQ(-1, client.SetBrightness(kIp, server.Port(), kUser, kPassword, &a, 3000));
    a.targety = -1;
    EXPECT_EQ(-1, client.SetExposure(kIp, server.Port(), kUser, kPassword, &a, 3000));
    EXPECT_EQ(0, server.Accepted());
    a.brightness = 255;
    a.saturation = 0;
    a.contrast = 128;
    a.targety = 1;
    ASSERT_EQ(0, client.SetBrightness(kIp, server.Port(), kUser, kPassword, &a, 3000));
    ASSERT_EQ(0, client.SetSaturation(kIp, server.Port(), kUser, kPassword, &a, 3000));
    ASSERT_EQ(0, client.SetContrast(kIp, server.Port(), kUser, kPassword, &a, 3000));
    ASSERT_EQ(0, client.SetExposure(kIp, server.Port(), kUser, kPassword, &a, 3000));
    ASSERT_EQ(0, client.RestoreImageDefaults(kIp, server.Port(), kUser, kPassword, nullptr, 3000));
    ASSERT_TRUE(server.WaitFinished(5));
    EXPECT_EQ(Expected("GET /cgi-bin/ky7200/param.cgi?cmd=setimageattr&-brightness=255") +
                  Expected("GET /cgi-bin/ky7200/param.cgi?cmd=setimageattr&-saturation=0") +
                  Expected("GET /cgi-bin/ky7200/param.cgi?cmd=setimageattr&-contrast=128") +
                  Expected("GET /cgi-bin/ky7200/param.cgi?cmd=setimageattr&-targety=1") +
                  Expected("GET /cgi-bin/ky7200/param.cgi?cmd=setimageattr&-default=on"),
              server.Received());
}

TEST(ImageRules, IrCutRangeAndSliderRanges) {
    ImageAttr a{};
    for (int v : {1, 1024}) {
        a.saradc_switch_value = v;
        EXPECT_EQ(nullptr, cgi::CheckImageAttr(a)) << v;
    }
    for (int v : {0, 1025, -1}) {
        a.saradc_switch_value = v;
        EXPECT_STREQ("IRCut value is not within the allowable range [1-1024]", cgi::CheckImageAttr(a)) << v;
        EXPECT_STREQ("IRCut value is not within the allowable range [1-1024]",
                     cgi::FindPage("image")->validate(&a, {}));
    }
    int lo = -1, hi = -1;
    EXPECT_TRUE(cgi::ParseSliderRange("0-100", lo, hi));
    EXPECT_EQ(0, lo);
    EXPECT_EQ(100, hi);
    EXPECT_FALSE(cgi::ParseSliderRange("", lo, hi));
    EXPECT_EQ(0, lo);
    EXPECT_EQ(255, hi);
    EXPECT_FALSE(cgi::ParseSliderRange("100", lo, hi));
    EXPECT_TRUE(cgi::ParseSliderRange("1-255xyz", lo, hi));
    EXPECT_EQ(255, hi);
}
