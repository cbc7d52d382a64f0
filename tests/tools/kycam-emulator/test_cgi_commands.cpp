// The emulated camera's param.cgi: round trips, grouped requests that apply
// all or nothing, reply lines as the tool's substring search sees them.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tools/kycam-emulator/CgiCommands.h"
#include "tools/kycam-emulator/CgiTable.h"

namespace {

using emu::CameraState;
using emu::HandleParamCgi;

// The tool's value extraction: first occurrence of the key, up to ";\r\n",
// one pair of quotes dropped. Empty when absent.
std::string ValueOf(const std::string& reply, const std::string& key) {
    size_t at = reply.find(key);
    if (at == std::string::npos) return {};
    at += key.size();
    size_t end = reply.find(";\r\n", at);
    if (end == std::string::npos) return {};
    std::string v = reply.substr(at, end - at);
    if (!v.empty() && v.front() == '"') v = v.size() >= 2 ? v.substr(1, v.size() - 2) : "";
    return v;
}

bool IsError(const emu::CgiReply& r) { return r.body.find("[Error]") != std::string::npos; }

class CgiCommands : public ::testing::Test {
protected:
    void SetUp() override { emu::LoadDefaultProfile(state); }
    std::string Ok(const std::string& query) {
        auto r = HandleParamCgi(state, query);
        EXPECT_EQ(r.status, 200) << query;
        EXPECT_FALSE(IsError(r)) << query << " -> " << r.body;
        return r.body;
    }
    CameraState state;
};

TEST(PercentDecode, DecodesAndKeepsMalformedEscapes) {
    EXPECT_EQ(emu::PercentDecode("my+net%3D1"), "my net=1");
    EXPECT_EQ(emu::PercentDecode("a%2Fb%2f"), "a/b/");
    EXPECT_EQ(emu::PercentDecode("%E4%B8%AD"), "\xE4\xB8\xAD");
    EXPECT_EQ(emu::PercentDecode("%4"), "%4");
    EXPECT_EQ(emu::PercentDecode("x%"), "x%");
    EXPECT_EQ(emu::PercentDecode("%zz%4g"), "%zz%4g");
    EXPECT_EQ(emu::PercentDecode("%41%"), "A%");
    EXPECT_EQ(emu::PercentDecode(""), "");
}

struct RoundTrip {
    const char* set;
    const char* get;
    const char* key;
    const char* value;
};

// One sample set of every family, read back by the get the tool uses.
TEST_F(CgiCommands, SetThenGetReturnsTheValue) {
    const RoundTrip cases[] = {
        {"cmd=setnetattr&-dhcp=on&-ipaddr=10.0.0.5&-netmask=255.0.0.0&-gateway=10.0.0.1"
         "&-dnsstat=1&-fdnsip=1.1.1.1&-sdnsip=9.9.9.9&cmd=sethttpport&-httpport=8081",
         "cmd=getnetattr&cmd=gethttpport", "var dhcpflag=", "on"},
        {"cmd=setrtmpattr&-rtmpport=2935", "cmd=getrtmpattr", "var rtmpport=", "2935"},
        {"cmd=setwirelessattr&-wf_enable=1&-wf_ssid=my+net%3D1&-wf_auth=2&-wf_key=k%26y"
         "&-wf_enc=0&-wf_mode=0",
         "cmd=getwirelessattr", "var wf_ssid=", "my net=1"},
        {"cmd=setupnpattr&-upm_enable=1&cmd=set3thddnsattr&-d3th_enable=1&-d3th_service=-1"
         "&-d3th_uname=u&-d3th_passwd=p&-d3th_domain=d.example&cmd=setourddnsattr"
         "&-our_enable=1&-our_port=81&-our_uname=a&-our_passwd=b&-our_server=s&-our_domain=",
         "cmd=get3thddnsattr&cmd=getupnpattr&cmd=getourddnsattr", "var d3th_service=", "-1"},
        {"cmd=setonvifattr&-ov_enable=0&-ov_port=8899&-ov_authflag=0&-ov_forbitset=2"
         "&-ov_nvctype=1",
         "cmd=getonvifattr", "var ov_forbitset=", "2"},
        {"cmd=setgb28181attr&-gb_enable=1&-gb_svrid=S&-gb_svrip=1.2.3.4&-gb_svrport=5061"
         "&-gb_devid=D&-gb_devport=5062&-gb_devpwd=pw&-gb_alarmid=A&-gb_heartcycle=30"
         "&-gb_heartcount=4&-gb_regtime=1800",
         "cmd=getgb28181attr", "var gb_devport=", "5062"},
        {"cmd=set4gattr&-g4_runmode=1&-g4_carrier=CHN-CT&-g4_apn=ctnet&-g4_authtype=2"
         "&-g4_username=u&-g4_password=p",
         "cmd=get4gattr", "var g4_apn=", "ctnet"},
        {"cmd=setxqp2pattr&-xqp2p_enable=0", "cmd=getxqp2pattr", "var xqp2p_enable=", "0"},
        {"cmd=setcloudenable&-cloud_enable=1", "cmd=getcloudenable", "var cloud_enable=", "1"},
        {"cmd=settmallattr&-tmall_enable=1", "cmd=gettmallattr", "var tmall_enable=", "1"},
        {"cmd=setaencattr&-chn=12&-aeswitch=0&-aeformat=g726", "cmd=getaencattr&-chn=12", "var aeformat_2=", "g726"},
        {"cmd=setaudioinvolume&-volume=7&-volin_type=0&cmd=setaudiooutvolume&-volume=33", "cmd=getaudiooutvolume",
         "var ao_volume=", "33"},
        {"cmd=setoverlayattr&-region=1&-show=0&-place=2&-name=Gate+2", "cmd=getoverlayattr&-region=1",
         "var name_1=", "Gate 2"},
        {"cmd=setmotorattr&-tiltscan=9&-tiltspeed=0&-panscan=9&-panspeed=0&-movehome=off"
         "&-ptzalarmmask=on&cmd=setsmartrackattr&-smartrack_enable=1&-smartrack_mode=1"
         "&cmd=setlightattr&-light_enable=off",
         "cmd=getmotorattr&cmd=getsmartrackattr&cmd=getlightattr", "var light_enable=", "0"},
        {"cmd=setptzcomattr&-protocal=1&-address=3&-speed=20&-baud=57600&-databit=7"
         "&-stopbit=2&-check=2",
         "cmd=getptzcomattr", "var baud=", "57600"},
        {"cmd=setmotorattr&-alarmpresetindex=6", "cmd=getmotorattr", "var alarmpresetindex=", "6"},
        {"cmd=setvideoattr&-profile=2&-vinorm=N&-videomode=35", "cmd=getvideoattr", "var vinorm=", "N"},
        {"cmd=setvencattr&-chn=12&-bps=512&-fps=15&-brmode=0&-imagegrade=3&-gop=30", "cmd=getvencattr&-chn=12",
         "var gop_2=", "30"},
        {"cmd=setinfrared&-infraredstat=open&cmd=setlampattrex&-lamp_mode=0&cmd=setircutattr"
         "&-saradc_switch_value=1024&cmd=setimageattr&-brightness=11&-saturation=12"
         "&-contrast=13&-targety=14&-flip=on&-mirror=off&-imgmode=1&-image_type=0",
         "cmd=getimageattr&cmd=getircutattr&cmd=getinfrared&cmd=getlampattrex", "var infraredstat=", "open"},
        {"cmd=setntpattr&-ntpenable=0&-ntpserver=time.example.org&-ntpinterval=12", "cmd=getntpattr",
         "var ntpserver=", "time.example.org"},
        {"cmd=setservertime&-timezone=America%2FSt_Johns&-dstmode=on", "cmd=getservertime",
         "var timeZone=", "America/St_Johns"},
        {"&cmd=setcover&-region=2&-show=1&-color=000000&-x=100&-y=50&-w=200&-h=150", "cmd=getcover", "var w_2=", "200"},
        {"cmd=setmdalarm&-aname=type&-switch=on&cmd=setsmdattr&-smd_enable=1&cmd=setsmdex"
         "&-smd_rect=1&-smd_gthresh=77",
         "cmd=getmdalarm&-aname=type&cmd=getsmdattr&cmd=getsmdex", "var md_alarm_type=", "on"},
        {"cmd=setaudioalarmattr&-aa_enable=1&-aa_value=42", "cmd=getaudioalarmattr", "var aa_value=", "42"},
        {"cmd=setmdalarm&-aname=sound&-switch=on&cmd=setalarmsnapattr&-snap_count=1"
         "&cmd=setmdalarm&-aname=relay&-switch=off&cmd=setrelayattr&-time=7"
         "&cmd=setalarmsoundattr&-sound_type=1&-sound_time=20",
         "&cmd=getmdalarm&-aname=sound&cmd=getrelayattr&cmd=getalarmsoundattr", "var md_sound_switch=", "on"},
        {"cmd=settimerreboot&-sr_enable=1&-sr_day=-1&-sr_hour=23", "cmd=gettimerreboot", "var sr_day=", "-1"},
        {"cmd=setsnaptimerattrex&-as_interval=15&-as_type=snap&-as_enable=1", "cmd=getsnaptimerattrex",
         "var as_snap_interval=", "15"},
        {"cmd=setplanrecattr&-planrec_enable=1&-planrec_chn=12&-planrec_time=300", "cmd=getplanrecattr",
         "var planrec_chn=", "12"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.set);
        const std::string setReply = Ok(c.set);
        EXPECT_NE(setReply.find("[Succeed]"), std::string::npos);
        EXPECT_EQ(ValueOf(Ok(c.get), c.key), c.value);
    }
    // Spot checks of neighbours written by the same requests.
    const std::string net = Ok("cmd=getnetattr&cmd=gethttpport");
    EXPECT_EQ(ValueOf(net, "var ip="), "10.0.0.5");
    EXPECT_EQ(ValueOf(net, "var httpport="), "8081");
    EXPECT_EQ(ValueOf(Ok("cmd=getaudioinvolume"), "var volume="), "7");   // not the output volume
    EXPECT_EQ(ValueOf(Ok("cmd=getrelayattr"), "var relay_time="), "7");
    EXPECT_EQ(ValueOf(Ok("cmd=getmotorattr"), "var movehome="), "off");
}

TEST_F(CgiCommands, SchedulesOsdAndCoverKeepSeparateState) {
    const std::string week(48, 'N');
    Ok("cmd=setscheduleex&-ename=snap&-week3=" + std::string(47, 'P') + "N");
    const std::string snap = Ok("cmd=getsnaptimerattrex&cmd=getscheduleex&-ename=snap");
    EXPECT_EQ(ValueOf(snap, "var week3="), std::string(47, 'P') + "N");
    EXPECT_EQ(ValueOf(snap, "var week2="), week);   // untouched day keeps its value
    EXPECT_EQ(ValueOf(Ok("cmd=getscheduleex&-ename=md"), "var week3="), std::string(48, 'P'));

    Ok("cmd=setcover&-region=1&-show=1&-color=000000&-x=5&-y=6&-w=7&-h=8");
    EXPECT_EQ(ValueOf(Ok("cmd=getoverlayattr&-region=1"), "var x_1="), "900");
    const std::string cover = Ok("cmd=getcover");
    EXPECT_EQ(ValueOf(cover, "var x_1="), "5");
    EXPECT_EQ(ValueOf(cover, "var show_4="), "0");
}

TEST_F(CgiCommands, GroupedGetAnswersAllCommandsInOrder) {
    const std::string r = Ok("cmd=getnetattr&cmd=gethttpport&cmd=getrtspport&cmd=getrtspauth&cmd=getrtmpattr");
    const char* order[] = {
        "var ip=",           "var sdnsip=",           "var httpport=80;\r\n", "var rtspport=554;\r\n",
        "var rtsp_aenable=", "var rtmpport=1935;\r\n"};
    size_t last = 0;
    for (const char* key : order) {
        size_t at = r.find(key);
        ASSERT_NE(at, std::string::npos) << key;
        EXPECT_GE(at, last) << key;
        last = at;
    }
    // The device-information group and the linkage read (leading "&").
    const std::string info = Ok("cmd=getserverinfo&cmd=getnetattr&cmd=getstreamnum&cmd=getdevtype");
    for (const char* key : {"var name=", "var devtype=", "var softVersion=", "var macaddress=", "var networktype=",
                            "var stream_num=", "var startdate="})
        EXPECT_FALSE(ValueOf(info, key).empty()) << key;
    EXPECT_EQ(ValueOf(info, "var sdstatus="), "Ready");
    const std::string link =
        Ok("&cmd=getmdalarm&-aname=snap&cmd=getmdalarm&-aname=record&cmd=getmdalarm&-aname=relay"
           "&cmd=getmdalarm&-aname=preset&cmd=getmdalarm&-aname=sound&cmd=getrelayattr"
           "&cmd=getalarmsnapattr&cmd=getmotorattr&cmd=getalarmsoundattr");
    EXPECT_LT(link.find("var md_snap_switch="), link.find("var md_sound_switch="));
    EXPECT_LT(link.find("var md_sound_switch="), link.find("var sound_time="));
    EXPECT_EQ(link.find("var md_alarm_type="), std::string::npos);
}

TEST_F(CgiCommands, FaultyGroupFailsWholeAndChangesNothing) {
    const auto before = state.Snapshot();
    const char* bad[] = {
        "cmd=sethttpport&-httpport=81&cmd=setbogus&-x=1",             // unknown command
        "cmd=sethttpport&-httpport=81&cmd=setrtspport&-rtspport=x",   // not a number
        "cmd=sethttpport&-httpport=81&cmd=setrtspport&-rtspport=",    // empty number
        "cmd=sethttpport&-httpport=81&-colour=1",                     // unknown parameter
        "cmd=sethttpport&-httpport=99999999999",                      // beyond 32 bits
        "cmd=setnetattr&-ipaddr=192.168.1.300",                       // bad address
        "cmd=setlightattr&-light_enable=maybe",                       // not on/off
        "cmd=setcover&-show=1&-x=1",                                  // no -region
        "cmd=setaencattr&-chn=14&-aeswitch=1",                        // no such channel
        "cmd=setscheduleex&-ename=md&-week0=PPPP",                    // short week
        "cmd=setservertime&-time=2030.13.01.00.00.00",                // month 13
        "cmd=setwirelessattr&-wf_ssid=a%0D%0Avar+httpport%3D1",       // line break in a text
        "cmd=getnetattr&-ip=1",                                       // get with a parameter
        "-httpport=81&cmd=sethttpport",                               // parameter first
        "cmd=sethttpport&httpport=81",                                // missing '-'
        "",                                                           // no command
    };
    for (const char* q : bad) {
        auto r = HandleParamCgi(state, q);
        EXPECT_EQ(r.status, 200) << q;
        EXPECT_TRUE(IsError(r)) << q << " -> " << r.body;
        EXPECT_EQ(state.Snapshot(), before) << q;
    }
    auto r = HandleParamCgi(state, "cmd=getfoo");
    EXPECT_TRUE(IsError(r));
    EXPECT_EQ(ValueOf(r.body, "var httpport="), "");
}

TEST_F(CgiCommands, IndexedScanKeysAreDistinctLines) {
    state.Set("waccess_points", "12");
    for (int i = 0; i < 12; ++i) state.Set("wessid[" + std::to_string(i) + "]", "net" + std::to_string(i));
    const std::string r = Ok("cmd=getwirelessattr&cmd=searchwireless");
    EXPECT_EQ(ValueOf(r, "var waccess_points="), "12");
    EXPECT_EQ(ValueOf(r, "wessid[1]="), "net1");
    EXPECT_EQ(ValueOf(r, "wessid[11]="), "net11");
    // The fresh camera's list: the auth and cipher words of the tool's lists.
    CameraState fresh;
    emu::LoadDefaultProfile(fresh);
    const std::string scan = HandleParamCgi(fresh, "cmd=searchwireless").body;
    EXPECT_EQ(ValueOf(scan, "var waccess_points="), "3");
    EXPECT_EQ(ValueOf(scan, "wauth[0]="), "WPA2-PSK");
    EXPECT_EQ(ValueOf(scan, "wenc[1]="), "TKIP");
    EXPECT_EQ(scan.find("wessid[3]="), std::string::npos);
}

TEST_F(CgiCommands, WifiCheckTestsWithoutStoring) {
    std::string r =
        Ok("cmd=chkwirelessattr&-wf_ssid=HomeNet&-wf_auth=3&-wf_key=secret1&-wf_enc=1"
           "&-wf_mode=0");
    EXPECT_EQ(ValueOf(r, "var wf_ssid="), "HomeNet");
    EXPECT_EQ(ValueOf(Ok("cmd=getchkwireless"), "var chkres="), "1");
    EXPECT_EQ(ValueOf(Ok("cmd=getwirelessattr"), "var wf_ssid="), "");
    Ok("cmd=chkwirelessattr&-wf_ssid=Nowhere&-wf_auth=3&-wf_key=secret1&-wf_enc=1&-wf_mode=0");
    EXPECT_EQ(ValueOf(Ok("cmd=getchkwireless"), "var chkres="), "0");
}

TEST_F(CgiCommands, SdCardAndLogActions) {
    EXPECT_NE(Ok("cmd=sdfrmt").find("Succeed"), std::string::npos);
    EXPECT_EQ(state.Get("sdfreespace"), state.Get("sdtotalspace"));
    Ok("cmd=cleanlog&-name=sys");
    EXPECT_EQ(state.Get("emu.syslog"), "");
    state.Set("emu.syslog", "line\n");
    EXPECT_TRUE(IsError(HandleParamCgi(state, "cmd=cleanlog")));
    EXPECT_EQ(state.Get("emu.syslog"), "line\n");

    EXPECT_NE(Ok("cmd=sdstop").find("Succeed"), std::string::npos);
    EXPECT_EQ(ValueOf(Ok("cmd=getserverinfo"), "var sdstatus="), "out");
    auto r = HandleParamCgi(state, "cmd=sdfrmt");   // no card to format
    EXPECT_TRUE(IsError(r));
    EXPECT_EQ(r.body.find("Succeed"), std::string::npos);
}

TEST_F(CgiCommands, UserChangeUpdatesServerCredentials) {
    EXPECT_TRUE(IsError(HandleParamCgi(state, "cmd=setuserattr&-at_username=root&-at_newname=x&-at_password=y")));
    EXPECT_TRUE(IsError(HandleParamCgi(state, "cmd=setuserattr&-at_username=admin&-at_newname=x&-at_password=")));
    EXPECT_EQ(state.Get("emu.user"), "admin");
    EXPECT_EQ(state.Get("emu.password"), "tovel");
    Ok("cmd=setuserattr&-at_username=admin&-at_newname=a+b%26c&-at_password=p%3Dw%25d");
    EXPECT_EQ(state.Get("emu.user"), "a b&c");
    EXPECT_EQ(state.Get("emu.password"), "p=w%d");
}

TEST_F(CgiCommands, DerivedAndSpecialValues) {
    // Width and height follow the video mode (41: 1920x1080 + 640x352).
    auto v = emu::HandleVencAttrCgi(state, "-chn=11");
    EXPECT_EQ(ValueOf(v.body, "var width_1="), "1920");
    EXPECT_EQ(ValueOf(v.body, "var height_1="), "1080");
    EXPECT_EQ(ValueOf(v.body, "var bps_1="), "4096");
    Ok("cmd=setvideoattr&-profile=1&-vinorm=N&-videomode=35");
    v = emu::HandleVencAttrCgi(state, "-chn=12");
    EXPECT_EQ(ValueOf(v.body, "var width_2="), "704");
    EXPECT_EQ(ValueOf(v.body, "var height_2="), "480");
    EXPECT_TRUE(IsError(emu::HandleVencAttrCgi(state, "-chn=13")));
    EXPECT_TRUE(IsError(emu::HandleVencAttrCgi(state, "cmd=getnetattr")));

    // The clock runs from the time set.
    Ok("cmd=setservertime&-time=2030.01.02.03.04.05&-timezone=Asia%2FTokyo&-dstmode=off");
    EXPECT_EQ(ValueOf(Ok("cmd=getservertime"), "var time=").substr(0, 16), "2030.01.02.03.04");
    state.Set("time", "20240230100000");   // a fixed clock as some cameras report it
    EXPECT_EQ(ValueOf(Ok("cmd=getservertime"), "var time="), "20240230100000");

    // Restoring image defaults answers the defaults.
    Ok("cmd=setimageattr&-brightness=10&-flip=on");
    const std::string d = Ok("cmd=setimageattr&-default=on");
    EXPECT_EQ(ValueOf(d, "var brightness="), "50");
    EXPECT_EQ(ValueOf(Ok("cmd=getimageattr"), "var flip="), "off");

    // Camera names come back escaped.
    Ok("cmd=setoverlayattr&-region=1&-show=1&-place=0&-name=a%22b%5Cc%60");
    EXPECT_NE(Ok("cmd=getoverlayattr&-region=1").find("var name_1=\"a\\\"b\\\\c\\`\";\r\n"), std::string::npos);

    // A key the state lacks is not answered (a model without tracking).
    state.Erase("smartrack_flag");
    EXPECT_EQ(Ok("cmd=getsmartrackattr").find("smartrack_flag"), std::string::npos);
}

// Every stored key a get answers exists on a fresh camera, and every key a
// set writes is answered by some get, so a set can always be read back.
TEST_F(CgiCommands, TableAndDefaultsAgree) {
    using namespace emu::table;
    std::set<std::string> answered;
    auto tokensOf = [](const Command& c) {
        std::vector<std::string> t;
        if (!c.selector) {
            t.emplace_back();
        } else {
            for (const auto& v : c.selector->values) t.emplace_back(v.token);
        }
        return t;
    };
    for (const auto& c : Commands()) {
        if (c.isSet) continue;
        for (const auto& tok : tokensOf(c))
            for (auto k : c.keys) {
                const std::string key = Expand(c.statePrefix, tok) + Expand(k, tok);
                answered.insert(key);
                if (c.special == Special::None) {
                    EXPECT_TRUE(state.Has(key)) << c.name << " answers " << key << " without a default";
                }
            }
    }
    for (const auto& c : Commands()) {
        if (!c.isSet || c.special == Special::WifiCheck) continue;
        for (const auto& tok : tokensOf(c))
            for (const auto& p : c.params) {
                if (p.key.empty()) continue;
                const std::string key = Expand(c.statePrefix, tok) + Expand(p.key, tok);
                EXPECT_TRUE(answered.count(key))
                    << c.name << " -" << p.name << " writes " << key << " which no get answers";
            }
    }
    // Replies of a fresh camera are well-formed lines.
    for (const auto& c : Commands()) {
        if (c.isSet) continue;
        const std::string body = Ok("cmd=" + std::string(c.name));
        size_t pos = 0;
        while (pos < body.size()) {
            size_t end = body.find(";\r\n", pos);
            ASSERT_NE(end, std::string::npos) << c.name;
            EXPECT_EQ(body.compare(pos, 4, "var "), 0) << c.name;
            pos = end + 3;
        }
    }
}

}   // namespace
