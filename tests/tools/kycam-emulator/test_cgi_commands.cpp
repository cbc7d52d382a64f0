// The emulated camera's param.cgi: round trips and refused groups from the
// golden file, replies as the tool's substring search sees them.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tests/support/Golden.h"
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
    const size_t end = reply.find(";\r\n", at);
    if (end == std::string::npos) return {};
    std::string v = reply.substr(at, end - at);
    if (!v.empty() && v.front() == '"') v = v.size() >= 2 ? v.substr(1, v.size() - 2) : "";
    return v;
}

bool IsError(const emu::CgiReply& r) { return r.body.find("[Error]") != std::string::npos; }

class CgiCommands : public ::testing::Test {
protected:
    void SetUp() override { emu::LoadDefaultProfile(state); }
    std::string Ok(const std::string& query) { return Ok(state, query); }
    static std::string Ok(CameraState& on, const std::string& query) {
        const auto r = HandleParamCgi(on, query);
        EXPECT_EQ(r.status, 200) << query;
        EXPECT_FALSE(IsError(r)) << query << " -> " << r.body;
        return r.body;
    }
    CameraState state;
};

}   // namespace

// Each case on a fresh camera: sets answer [Succeed], gets answer the values,
// a refused group changes nothing.
TEST_F(CgiCommands, GoldenRoundTripsAndRefusals) {
    const auto cases = ky::test::ReadGolden(KY_EMU_GOLDEN);
    ASSERT_GT(cases.size(), 30u);
    for (const auto& c : cases) {
        CameraState cam;
        emu::LoadDefaultProfile(cam);
        std::string reply;
        for (const auto& l : c) {
            SCOPED_TRACE("param-cgi.txt:" + std::to_string(l.line));
            if (l.word == "set") {
                EXPECT_NE(Ok(cam, l.text).find("[Succeed]"), std::string::npos);
            } else if (l.word == "get") {
                reply = Ok(cam, l.text);
            } else if (l.word == "expect") {
                const size_t eq = l.text.find('=');
                EXPECT_EQ(ValueOf(reply, l.text.substr(0, eq + 1)), l.text.substr(eq + 1));
            } else if (l.word == "refuse") {
                const auto before = cam.Snapshot();
                const auto r = HandleParamCgi(cam, l.text);
                EXPECT_EQ(r.status, 200);
                EXPECT_TRUE(IsError(r)) << r.body;
                EXPECT_EQ(cam.Snapshot(), before);
            } else {
                ADD_FAILURE() << "unknown word " << l.word;
            }
        }
    }
}

TEST_F(CgiCommands, GroupedGetAnswersAllCommandsInOrder) {
    const std::string r = Ok("cmd=getnetattr&cmd=gethttpport&cmd=getrtspport&cmd=getrtspauth&cmd=getrtmpattr");
    size_t last = 0;
    for (const char* key : {"var ip=", "var sdnsip=", "var httpport=80;\r\n", "var rtspport=554;\r\n",
                            "var rtsp_aenable=", "var rtmpport=1935;\r\n"}) {
        const size_t at = r.find(key);
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

TEST_F(CgiCommands, SdCardLogAndUserActions) {
    EXPECT_NE(Ok("cmd=sdfrmt").find("Succeed"), std::string::npos);
    EXPECT_EQ(state.Get("sdfreespace"), state.Get("sdtotalspace"));
    Ok("cmd=cleanlog&-name=sys");
    EXPECT_EQ(state.Get("emu.syslog"), "");
    EXPECT_NE(Ok("cmd=sdstop").find("Succeed"), std::string::npos);
    EXPECT_EQ(ValueOf(Ok("cmd=getserverinfo"), "var sdstatus="), "out");
    const auto r = HandleParamCgi(state, "cmd=sdfrmt");   // no card to format
    EXPECT_TRUE(IsError(r));
    EXPECT_EQ(r.body.find("Succeed"), std::string::npos);
    // A user change becomes the server's credentials.
    Ok("cmd=setuserattr&-at_username=admin&-at_newname=a+b%26c&-at_password=p%3Dw%25d");
    EXPECT_EQ(state.Get("emu.user"), "a b&c");
    EXPECT_EQ(state.Get("emu.password"), "p=w%d");
}

TEST_F(CgiCommands, DerivedAndSpecialValues) {
    // getvencattr.cgi: width and height follow the video mode (41: 1920x1080 + 640x352).
    auto v = emu::HandleVencAttrCgi(state, "-chn=11");
    EXPECT_EQ(ValueOf(v.body, "var width_1="), "1920");
    EXPECT_EQ(ValueOf(v.body, "var height_1="), "1080");
    EXPECT_EQ(ValueOf(v.body, "var bps_1="), "4096");
    Ok("cmd=setvideoattr&-profile=1&-vinorm=N&-videomode=35");
    EXPECT_EQ(ValueOf(emu::HandleVencAttrCgi(state, "-chn=12").body, "var height_2="), "480");
    EXPECT_TRUE(IsError(emu::HandleVencAttrCgi(state, "-chn=13")));
    EXPECT_TRUE(IsError(emu::HandleVencAttrCgi(state, "cmd=getnetattr")));
    // The clock runs from the time set; a fixed clock as some cameras report it.
    Ok("cmd=setservertime&-time=2030.01.02.03.04.05&-timezone=Asia%2FTokyo&-dstmode=off");
    EXPECT_EQ(ValueOf(Ok("cmd=getservertime"), "var time=").substr(0, 16), "2030.01.02.03.04");
    state.Set("time", "20240230100000");
    EXPECT_EQ(ValueOf(Ok("cmd=getservertime"), "var time="), "20240230100000");
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
                if (!p.key.empty()) {
                    EXPECT_TRUE(answered.count(Expand(c.statePrefix, tok) + Expand(p.key, tok)))
                        << c.name << " -" << p.name << " writes a key no get answers";
                }
            }
    }
    // Replies of a fresh camera are well-formed lines.
    for (const auto& c : Commands()) {
        if (c.isSet) continue;
        const std::string body = Ok("cmd=" + std::string(c.name));
        for (size_t pos = 0; pos < body.size();) {
            const size_t end = body.find(";\r\n", pos);
            ASSERT_NE(end, std::string::npos) << c.name;
            EXPECT_EQ(body.compare(pos, 4, "var "), 0) << c.name;
            pos = end + 3;
        }
    }
}
