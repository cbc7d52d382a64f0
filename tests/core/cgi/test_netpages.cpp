// Network, Wi-Fi, DDNS, ONVIF/GB28181 and 4G commands and their page rules,
// against hand-written replies and a scripted loopback camera. Expected
// request texts are typed from the camera's documented protocol, not produced
// by the code under test.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "core/cgi/Catalogue.h"
#include "core/cgi/CgiClient.h"
#include "core/cgi/rules/CellularRules.h"
#include "core/cgi/rules/DdnsRules.h"
#include "core/cgi/rules/NetworkRules.h"
#include "core/cgi/rules/OnvifRules.h"
#include "core/cgi/rules/WirelessRules.h"
#include "tests/support/CgiWire.h"

using ky::test::ScriptedServer;
namespace cgi = ky::cgi;

namespace {

constexpr const char* kUser = "admin";
constexpr const char* kPassword = "123456";

std::string Expected(const std::string& requestText, const std::string& host = "127.0.0.1") {
    return ky::test::ExpectedRequest(requestText, host);
}
std::string Reply(const std::string& body) { return ky::test::CameraReply(body); }
const cgi::CommandDesc& Cmd(const char* name) { return ky::test::Command(name); }
std::string Formatted(const char* name, const void* rec) { return ky::test::FormattedRequest(name, rec); }

NetAttr GoodNet() {
    NetAttr n{};
    std::strcpy(n.ip, "192.168.1.20");
    std::strcpy(n.netmask, "255.255.255.0");
    std::strcpy(n.gateway, "192.168.1.1");
    std::strcpy(n.fdnsip, "8.8.8.8");
    n.dhcpflag = 0;
    n.dnsstat = 0;
    n.httpport = 80;
    n.rtspport = 554;
    n.rtmpport = 1935;
    n.rtsp_aenable = 1;
    return n;
}

}   // namespace

// ---- wired network ---------------------------------------------------------------

TEST(NetCommands, GroupedReadIsOneRequestAndFillsTheRecord) {
    ScriptedServer server(ScriptedServer::Mode::ReplyThenClose,
                          Reply("var macaddress=\"00:11:22:33:44:55\";\r\nvar ip=\"192.168.1.10\";\r\n"
                                "var netmask=\"255.255.255.0\";\r\nvar gateway=\"192.168.1.1\";\r\n"
                                "var dhcpflag=\"on\";\r\nvar dnsstat=\"1\";\r\nvar fdnsip=\"8.8.8.8\";\r\n"
                                "var sdnsip=\"\";\r\nvar httpport=\"8080\";\r\nvar rtspport=\"554\";\r\n"
                                "var rtsp_aenable=\"1\";\r\nvar rtmpport=\"1935\";\r\n"));
    ASSERT_TRUE(server.Ok());
    NetAttr net{};
    std::strcpy(net.sdnsip, "keep");
    CCgiClient client;
    ASSERT_EQ(0, client.GetNetAttr("127.0.0.1", server.Port(), kUser, kPassword, &net, 3000));
    ASSERT_TRUE(server.WaitFinished(1));
    EXPECT_EQ(Expected("GET /cgi-bin/ky7200/param.cgi?cmd=getnetattr&cmd=gethttpport&cmd=getrtspport"
                       "&cmd=getrtspauth&cmd=getrtmpattr"),
              server.Received());
    EXPECT_STREQ("00:11:22:33:44:55", net.macaddress);
    EXPECT_STREQ("192.168.1.10", net.ip);
    EXPECT_STREQ("255.255.255.0", net.netmask);
    EXPECT_STREQ("192.168.1.1", net.gateway);
    EXPECT_STREQ("8.8.8.8", net.fdnsip);
    EXPECT_STREQ("keep", net.sdnsip);   // empty value keeps the field
    EXPECT_EQ(1, net.dhcpflag);
    EXPECT_EQ(1, net.dnsstat);
    EXPECT_EQ(8080, net.httpport);
    EXPECT_EQ(554, net.rtspport);
    EXPECT_EQ(1935, net.rtmpport);
    EXPECT_EQ(1, net.rtsp_aenable);
}

TEST(NetCommands, ReplyConversions) {
    const cgi::CommandDesc& get = Cmd("GetNetAttr");
    NetAttr net = GoodNet();
    net.dhcpflag = 1;
    // dhcpflag is set whatever arrives; numbers keep their value when empty;
    // the first of two equal keys wins; "var ip=" is not found in "var wifi_ip=".
    cgi::ParseReply(get,
                    "var wifi_ip=\"10.0.0.9\";\r\nvar httpport=;\r\nvar rtspport=\"x\";\r\n"
                    "var rtmpport=\"1936\";\r\nvar rtmpport=\"1937\";\r\n",
                    4096, &net);
    EXPECT_EQ(0, net.dhcpflag);
    EXPECT_STREQ("192.168.1.20", net.ip);
    EXPECT_EQ(80, net.httpport);
    EXPECT_EQ(0, net.rtspport);   // not a number
    EXPECT_EQ(1936, net.rtmpport);
    net.dhcpflag = 1;
    cgi::ParseReply(get, "var dhcpflag=\"ON\";\r\n", 4096, &net);
    EXPECT_EQ(0, net.dhcpflag);   // only exactly "on"
    cgi::ParseReply(get, "var dhcpflag=on;\r\n", 4096, &net);
    EXPECT_EQ(1, net.dhcpflag);
}

TEST(NetCommands, WriteIsSentOnlyWithTheCameraAsHost) {
    // The camera never answers: a send-only write succeeds once the bytes are out.
    ScriptedServer server(ScriptedServer::Mode::NeverAnswer, "");
    ASSERT_TRUE(server.Ok());
    NetAttr net = GoodNet();
    net.dhcpflag = 1;
    net.httpport = 8080;
    CCgiClient client;
    ASSERT_EQ(0, client.SetNetAttr("localhost", server.Port(), kUser, kPassword, &net, cgi::kNetSetTimeoutMs));
    ASSERT_TRUE(server.WaitFinished(1));
    EXPECT_EQ(Expected("GET /cgi-bin/ky7200/param.cgi?cmd=setnetattr&-dhcp=on&-ipaddr=192.168.1.20"
                       "&-netmask=255.255.255.0&-gateway=192.168.1.1&-dnsstat=0&-fdnsip=8.8.8.8&-sdnsip="
                       "&cmd=sethttpport&-httpport=8080&cmd=setrtspport&-rtspport=554"
                       "&cmd=setrtspauth&-rtsp_aenable=1&cmd=setrtmpattr&-rtmpport=1935",
                       "localhost"),
              server.Received());
    // Any non-zero flag is "on"; zero is "off".
    net.dhcpflag = 7;
    EXPECT_NE(std::string::npos, Formatted("SetNetAttr", &net).find("&-dhcp=on&"));
    net.dhcpflag = 0;
    EXPECT_NE(std::string::npos, Formatted("SetNetAttr", &net).find("&-dhcp=off&"));
    // Unreachable camera: failure.
    EXPECT_EQ(-1, client.SetNetAttr("127.0.0.1", ScriptedServer::ClosedPort(), kUser, kPassword, &net, 500));
}

TEST(NetRules, AddressForms) {
    for (const char* ok : {"192.168.1.10", "0.0.0.0", "255.255.255.255", " 10. 0.  0.1", "010.001.0.00"})
        EXPECT_TRUE(cgi::IsDottedIpv4(ok)) << ok;
    for (const char* bad : {"192.168.1.300", "192.168.1", "192.168.1.10 ", "192.168.1.10.5", "", "a.b.c.d", "1..2.3",
                            "1.2.3.", "-1.2.3.4", "+1.2.3.4", "1 .2.3.4", "1.2.3.99999999999999"})
        EXPECT_FALSE(cgi::IsDottedIpv4(bad)) << bad;
}

TEST(NetRules, FieldChecksInPageOrder) {
    EXPECT_EQ(nullptr, cgi::CheckNetAttr(GoodNet()));
    auto msg = [](auto change) {
        NetAttr n = GoodNet();
        change(n);
        const char* m = cgi::CheckNetAttr(n);
        return std::string(m ? m : "");
    };
    EXPECT_EQ("Please select the IP acquisition method", msg([](NetAttr& n) { n.dhcpflag = -1; }));
    EXPECT_EQ("Please select DNS setting method", msg([](NetAttr& n) { n.dnsstat = 2; }));
    EXPECT_EQ("The IP address does not meet the requirements!", msg([](NetAttr& n) { std::strcpy(n.ip, "1.2.3"); }));
    // Checked whatever the address type, also when DHCP hides the fields.
    EXPECT_EQ("The IP address does not meet the requirements!", msg([](NetAttr& n) {
                  n.dhcpflag = 1;
                  std::strcpy(n.ip, "");
              }));
    EXPECT_EQ("Mask address does not meet requirements!", msg([](NetAttr& n) { std::strcpy(n.netmask, "x"); }));
    EXPECT_EQ("Gateway address does not meet requirements!",
              msg([](NetAttr& n) { std::strcpy(n.gateway, "1.2.3.256"); }));
    // The first failing rule wins.
    EXPECT_EQ("The IP address does not meet the requirements!", msg([](NetAttr& n) {
                  std::strcpy(n.ip, "bad");
                  std::strcpy(n.gateway, "bad");
                  n.httpport = 1;
              }));
    // DNS texts are not checked at all.
    EXPECT_EQ("", msg([](NetAttr& n) { std::strcpy(n.fdnsip, "dns.example"); }));
    EXPECT_EQ("", msg([](NetAttr& n) { std::strcpy(n.sdnsip, "1.1.1.1&cmd=x"); }));
}

TEST(NetRules, PortRanges) {
    struct Case {
        int http, rtsp, rtmp;
        const char* message;
    };
    const Case cases[] = {
        {80, 554, 1935, nullptr},
        {1024, 49151, 1025, nullptr},
        {81, 554, 1935, "HTTP port does not meet the requirements!"},
        {1023, 554, 1935, "HTTP port does not meet the requirements!"},
        {49152, 554, 1935, "HTTP port does not meet the requirements!"},
        {0, 554, 1935, "HTTP port does not meet the requirements!"},
        {80, 80, 1935, "RTSP port does not meet the requirements!"},
        {80, 555, 1935, "RTSP port does not meet the requirements!"},
        {80, 554, 1023, "RTMP port does not meet the requirements!"},
        {80, 554, 554, "RTMP port does not meet the requirements!"},
        {80, 554, 49152, "RTMP port does not meet the requirements!"},
    };
    for (const Case& c : cases) {
        NetAttr n = GoodNet();
        n.httpport = c.http;
        n.rtspport = c.rtsp;
        n.rtmpport = c.rtmp;
        const char* m = cgi::CheckNetAttr(n);
        EXPECT_STREQ(c.message ? c.message : "", m ? m : "") << c.http << "/" << c.rtsp << "/" << c.rtmp;
    }
}

TEST(NetRules, PortConflicts) {
    struct Case {
        int http, rtsp, rtmp, onvif;
        const char* message;
    };
    const Case cases[] = {
        {80, 554, 1935, 8080, nullptr},
        {80, 554, 1935, 0, nullptr},
        {8080, 554, 1935, 8080, "HTTP port and ONVIF port conflict!"},
        {80, 8080, 1935, 8080, "RTSP port and ONVIF port conflict!"},
        {80, 554, 8080, 8080, "RTMP port and ONVIF port conflict!"},
        {2000, 2000, 1935, 8080, "HTTP port and RTSP port conflict!"},
        {2000, 554, 2000, 8080, "HTTP port and RTMP port conflict!"},
        {80, 2000, 2000, 8080, "RTSP port and RTMP port conflict!"},
        // All equal: the ONVIF rule comes first.
        {2000, 2000, 2000, 2000, "HTTP port and ONVIF port conflict!"},
    };
    for (const Case& c : cases) {
        NetAttr n = GoodNet();
        n.httpport = c.http;
        n.rtspport = c.rtsp;
        n.rtmpport = c.rtmp;
        const char* m = cgi::CheckNetPortConflicts(n, c.onvif);
        EXPECT_STREQ(c.message ? c.message : "", m ? m : "") << c.http << "/" << c.rtsp << "/" << c.rtmp;
    }
}

TEST(NetRules, PageValidationReadsTheOnvifPortOnlyForValidInput) {
    const cgi::PageDesc* page = cgi::FindPage("net");
    ASSERT_NE(nullptr, page);
    ASSERT_NE(nullptr, page->validate);
    NetAttr n = GoodNet();
    n.httpport = 8080;
    {
        ScriptedServer server(ScriptedServer::Mode::ReplyThenClose,
                              Reply("var ov_enable=\"1\";\r\nvar ov_port=\"8080\";\r\n"));
        const cgi::Target target{"127.0.0.1", server.Port(), kUser, kPassword};
        EXPECT_STREQ("HTTP port and ONVIF port conflict!", page->validate(&n, cgi::PageContext{&target, 3000}));
        ASSERT_TRUE(server.WaitFinished(1));
        EXPECT_EQ(Expected("GET /cgi-bin/ky7200/param.cgi?cmd=getonvifattr"), server.Received());
        // A range failure is reported without asking the camera.
        NetAttr bad = n;
        bad.rtspport = 1;
        EXPECT_STREQ("RTSP port does not meet the requirements!",
                     page->validate(&bad, cgi::PageContext{&target, 3000}));
        EXPECT_EQ(1, server.Accepted());
    }
    {
        // The ONVIF read fails: no ONVIF conflict, the other rules still apply.
        const cgi::Target target{"127.0.0.1", ScriptedServer::ClosedPort(), kUser, kPassword};
        EXPECT_EQ(nullptr, page->validate(&n, cgi::PageContext{&target, 3000}));
        NetAttr clash = n;
        clash.rtmpport = 8080;
        EXPECT_STREQ("HTTP port and RTMP port conflict!", page->validate(&clash, cgi::PageContext{&target, 3000}));
    }
    {
        // A refused ONVIF read counts as port 0 too.
        ScriptedServer refusing(ScriptedServer::Mode::ReplyThenClose,
                                ScriptedServer::HttpReply("var ov_port=8080;\r\n", false, "401 Unauthorized"));
        const cgi::Target target{"127.0.0.1", refusing.Port(), kUser, kPassword};
        EXPECT_EQ(nullptr, page->validate(&n, cgi::PageContext{&target, 3000}));
    }
    // No camera at hand: the ONVIF port counts as 0.
    EXPECT_EQ(nullptr, page->validate(&n, cgi::PageContext{}));
}

TEST(NetRules, SessionEndsOnAddressOrWebPortChange) {
    NetAttr n = GoodNet();
    EXPECT_FALSE(cgi::NetApplyEndsSession(n, "192.168.1.20", 80));
    n.rtspport = 1554;
    EXPECT_FALSE(cgi::NetApplyEndsSession(n, "192.168.1.20", 80));
    EXPECT_TRUE(cgi::NetApplyEndsSession(n, "192.168.1.21", 80));
    EXPECT_TRUE(cgi::NetApplyEndsSession(n, "192.168.001.20", 80));   // byte comparison
    EXPECT_TRUE(cgi::NetApplyEndsSession(n, "192.168.1.20", 8080));
}

// ---- Wi-Fi ---------------------------------------------------------------------------

TEST(WifiCommands, ReadTakesNameAndKeyEvenWhenEmpty) {
    ScriptedServer server(ScriptedServer::Mode::ReplyThenClose,
                          Reply("var wf_enable=\"1\";\r\nvar wf_ssid=\"\xE5\xAE\xB6 net\";\r\nvar wf_key=\"\";\r\n"
                                "var wf_auth=\"\";\r\nvar wf_enc=\"1\";\r\nvar wf_mode=\"0\";\r\n"));
    WirelessAttr w{};
    std::strcpy(w.key, "old key");
    w.auth = 3;
    CCgiClient client;
    ASSERT_EQ(0, client.GetWirelessAttr("127.0.0.1", server.Port(), kUser, kPassword, &w, 3000));
    ASSERT_TRUE(server.WaitFinished(1));
    EXPECT_EQ(Expected("GET /cgi-bin/ky7200/param.cgi?cmd=getwirelessattr"), server.Received());
    EXPECT_STREQ("\xE5\xAE\xB6 net", w.ssid);   // UTF-8 as reported
    EXPECT_STREQ("", w.key);
    EXPECT_EQ(3, w.auth);   // empty number keeps the field
    EXPECT_EQ(1, w.enc);
    EXPECT_EQ(1, w.enable);
    // A missing name clears the field as well.
    std::strcpy(w.ssid, "x");
    cgi::ParseReply(Cmd("GetWirelessAttr"), "var wf_enable=0;\r\n", 4096, &w);
    EXPECT_STREQ("", w.ssid);
    EXPECT_EQ(0, w.enable);
}

TEST(WifiCommands, WriteAndTestPercentEncodeNameAndKey) {
    ScriptedServer server(ScriptedServer::Mode::ReplyThenClose, Reply("var wf_ssid=\"home\";\r\n"));
    WirelessAttr w{};
    std::strcpy(w.ssid, "my net=1");
    std::strcpy(w.key, "p&ss/\xE4\xB8\xAD");
    w.auth = 3;
    w.enc = 1;
    w.mode = 0;
    w.enable = 1;
    CCgiClient client;
    ASSERT_EQ(0, client.SetWirelessAttr("127.0.0.1", server.Port(), kUser, kPassword, &w, 3000));
    ASSERT_EQ(0, client.CheckWirelessAttr("127.0.0.1", server.Port(), kUser, kPassword, &w, cgi::kWifiCheckTimeoutMs));
    ASSERT_TRUE(server.WaitFinished(2));
    EXPECT_EQ(Expected("GET /cgi-bin/ky7200/param.cgi?cmd=setwirelessattr&-wf_enable=1&-wf_ssid=my+net%3D1"
                       "&-wf_auth=3&-wf_key=p%26ss%2F%E4%B8%AD&-wf_enc=1&-wf_mode=0") +
                  Expected("GET /cgi-bin/ky7200/param.cgi?cmd=chkwirelessattr&-wf_ssid=my+net%3D1&-wf_auth=3"
                           "&-wf_key=p%26ss%2F%E4%B8%AD&-wf_enc=1&-wf_mode=0"),
              server.Received());
    // The test copies back the name the camera reports, and nothing else.
    EXPECT_STREQ("home", w.ssid);
    EXPECT_STREQ("p&ss/\xE4\xB8\xAD", w.key);
    std::strcpy(w.ssid, "x");
    cgi::ParseReply(Cmd("CheckWirelessAttr"), "var wf_key=\"k\";\r\n", 4096, &w);
    EXPECT_STREQ("", w.ssid);
    EXPECT_STREQ("p&ss/\xE4\xB8\xAD", w.key);
}

TEST(WifiCommands, TestResultSucceedsOnlyForChkres1) {
    CCgiClient client;
    struct Case {
        const char* body;
        int result;
        int chkres;
    };
    for (const Case& c :
         {Case{"var chkres=1;\r\n", 0, 1}, Case{"var chkres=\"1\";\r\n", 0, 1}, Case{"var chkres=0;\r\n", -1, 0},
          Case{"var chkres=2;\r\n", -1, 2}, Case{"var chkres=;\r\n", -1, 0}, Case{"", -1, 0}}) {
        ScriptedServer s(ScriptedServer::Mode::ReplyThenClose, Reply(c.body));
        WifiCheckResult r{};
        r.chkres = 9;
        EXPECT_EQ(c.result,
                  client.GetCheckWireless("127.0.0.1", s.Port(), kUser, kPassword, &r, cgi::kWifiCheckResultTimeoutMs))
            << c.body;
        EXPECT_EQ(c.chkres, r.chkres) << c.body;
        ASSERT_TRUE(s.WaitFinished(1));
        EXPECT_EQ(Expected("GET /cgi-bin/ky7200/param.cgi?cmd=getchkwireless"), s.Received());
    }
    // The record is optional; a refusal is a failure.
    ScriptedServer ok(ScriptedServer::Mode::ReplyThenClose, Reply("var chkres=1;\r\n"));
    EXPECT_EQ(0, client.GetCheckWireless("127.0.0.1", ok.Port(), kUser, kPassword, nullptr, 3000));
    ScriptedServer refusing(ScriptedServer::Mode::ReplyThenClose,
                            ScriptedServer::HttpReply("var chkres=1;\r\n[Error]\r\n"));
    EXPECT_EQ(-1, client.GetCheckWireless("127.0.0.1", refusing.Port(), kUser, kPassword, nullptr, 3000));
}

TEST(WifiCommands, ScanListIsBoundedByItsCount) {
    ScriptedServer server(ScriptedServer::Mode::ReplyThenClose,
                          Reply("var waccess_points=2;\r\n"
                                "wessid[11]=\"eleven\";\r\n"
                                "var wessid[0]=\"Home\";\r\nwrssi[0]=\"-40\";\r\nwauth[0]=\"WPA2-PSK\";\r\n"
                                "wenc[0]=\"AES\";\r\nwchannel[0]=\"6\";\r\nwnet[0]=\"Infra\";\r\n"
                                "wessid[1]=\"\xE5\xAE\xB6\";\r\nwauth[1]=\"NONE\";\r\n"
                                "wessid[2]=\"beyond\";\r\n"));
    auto list = std::make_unique<WifiScanList>();
    std::strcpy(list->ssid[5], "stale");
    std::strcpy(list->rssi[1], "stale");
    CCgiClient client;
    ASSERT_EQ(0,
              client.SearchWireless("127.0.0.1", server.Port(), kUser, kPassword, list.get(), cgi::kWifiScanTimeoutMs));
    ASSERT_TRUE(server.WaitFinished(1));
    EXPECT_EQ(Expected("GET /cgi-bin/ky7200/param.cgi?cmd=searchwireless"), server.Received());
    EXPECT_EQ(2, list->waccess_points);
    EXPECT_STREQ("1", list->index[0]);
    EXPECT_STREQ("Home", list->ssid[0]);
    EXPECT_STREQ("-40", list->rssi[0]);
    EXPECT_STREQ("WPA2-PSK", list->auth[0]);
    EXPECT_STREQ("AES", list->enc[0]);
    EXPECT_STREQ("6", list->channel[0]);
    EXPECT_STREQ("Infra", list->net[0]);
    EXPECT_STREQ("2", list->index[1]);
    EXPECT_STREQ("\xE5\xAE\xB6", list->ssid[1]);   // never index 11
    EXPECT_STREQ("", list->rssi[1]);               // absent value: empty
    EXPECT_STREQ("NONE", list->auth[1]);
    EXPECT_STREQ("", list->ssid[2]);   // beyond the count
    EXPECT_STREQ("", list->index[2]);
    EXPECT_STREQ("", list->ssid[5]);   // the list holds only this scan

    const cgi::CommandDesc& scan = Cmd("SearchWireless");
    // No count, zero or negative: an empty list.
    for (const char* body : {"wessid[0]=\"x\";\r\n", "var waccess_points=0;\r\nwessid[0]=\"x\";\r\n",
                             "var waccess_points=-3;\r\nwessid[0]=\"x\";\r\n"}) {
        std::strcpy(list->ssid[0], "old");
        list->waccess_points = 4;
        cgi::ParseReply(scan, body, 4096, list.get());
        EXPECT_EQ(0, list->waccess_points) << body;
        EXPECT_STREQ("", list->ssid[0]) << body;
    }
    // More than the list holds: clamped, the last entry still numbered.
    cgi::ParseReply(scan, "var waccess_points=500;\r\nwessid[63]=\"last\";\r\nwessid[64]=\"over\";\r\n", 4096,
                    list.get());
    EXPECT_EQ(WifiScanList::kMaxEntries, list->waccess_points);
    EXPECT_STREQ("last", list->ssid[63]);
    EXPECT_STREQ("64", list->index[63]);
    // Missing connection values never reach the wire.
    EXPECT_EQ(-1, client.SearchWireless(nullptr, server.Port(), kUser, kPassword, list.get(), 3000));
    EXPECT_EQ(-1, client.SearchWireless("127.0.0.1", server.Port(), kUser, nullptr, list.get(), 3000));
    EXPECT_EQ(1, server.Accepted());
}

TEST(WifiRules, CollectAndTest) {
    EXPECT_EQ(nullptr, cgi::CheckWirelessInput("home", "secret", "secret"));
    EXPECT_STREQ("The two passwords are inconsistent.", cgi::CheckWirelessInput("home", "Secret", "secret"));
    // The mismatch is reported before the lengths.
    EXPECT_STREQ("The two passwords are inconsistent.",
                 cgi::CheckWirelessInput(std::string(80, 's'), std::string(80, 'k'), ""));
    EXPECT_EQ(nullptr, cgi::CheckWirelessInput(std::string(63, 's'), "", ""));
    EXPECT_STREQ("SSID maximum length cannot exceed 63 bytes.", cgi::CheckWirelessInput(std::string(64, 's'), "", ""));
    // Bytes, not characters: 22 three-byte characters are 66 bytes.
    std::string wide;
    for (int i = 0; i < 22; ++i) wide += "\xE4\xB8\xAD";
    EXPECT_STREQ("SSID maximum length cannot exceed 63 bytes.", cgi::CheckWirelessInput(wide, "", ""));
    const std::string key63(63, 'k'), key64(64, 'k');
    EXPECT_EQ(nullptr, cgi::CheckWirelessInput("home", key63, key63));
    EXPECT_STREQ("The maximum key length cannot exceed 63 bytes", cgi::CheckWirelessInput("home", key64, key64));

    // The test needs a name and a key, even for an open network; apply does not.
    EXPECT_STREQ("SSID cannot be empty!", cgi::CheckWirelessTest("", ""));
    EXPECT_STREQ("Key cannot be empty!", cgi::CheckWirelessTest("home", ""));
    EXPECT_EQ(nullptr, cgi::CheckWirelessTest("home", "k"));
    const cgi::PageDesc* page = cgi::FindPage("wifi");
    ASSERT_NE(nullptr, page);
    WirelessAttr open{};
    std::strcpy(open.ssid, "home");
    EXPECT_EQ(nullptr, page->validate(&open, cgi::PageContext{}));
}

// ---- DDNS ------------------------------------------------------------------------------

TEST(DdnsCommands, GroupedReadAndWrite) {
    ScriptedServer server(ScriptedServer::Mode::ReplyThenClose,
                          Reply("var d3th_enable=\"1\";\r\nvar d3th_service=\"2\";\r\nvar d3th_uname=\"u3\";\r\n"
                                "var d3th_passwd=\"p3\";\r\nvar d3th_domain=\"cam.example\";\r\n"
                                "var upm_enable=\"1\";\r\n"
                                "var our_enable=\"0\";\r\nvar our_server=\"ddns.maker\";\r\nvar our_port=\"30000\";\r\n"
                                "var our_uname=\"\";\r\nvar our_passwd=\"op\";\r\nvar our_interval=\"60\";\r\n"));
    DdnsAttr d{};
    std::strcpy(d.our_uname, "kept");
    CCgiClient client;
    ASSERT_EQ(0, client.GetDdnsAttr("127.0.0.1", server.Port(), kUser, kPassword, &d, 3000));
    EXPECT_EQ(1, d.d3th_enable);
    EXPECT_EQ(2, d.d3th_service);
    EXPECT_STREQ("u3", d.d3th_uname);
    EXPECT_STREQ("p3", d.d3th_passwd);
    EXPECT_STREQ("cam.example", d.d3th_domain);
    EXPECT_EQ(1, d.upm_enable);
    EXPECT_EQ(0, d.our_enable);
    EXPECT_STREQ("ddns.maker", d.our_server);
    EXPECT_EQ(30000, d.our_port);
    EXPECT_STREQ("kept", d.our_uname);
    EXPECT_STREQ("op", d.our_passwd);
    EXPECT_EQ(60, d.our_interval);
    EXPECT_STREQ("", d.our_domain);

    // An unchosen provider goes as -1; the interval is never sent, the domain
    // always (empty unless filled).
    d.d3th_service = -1;
    ASSERT_EQ(0, client.SetDdnsAttr("127.0.0.1", server.Port(), kUser, kPassword, &d, 3000));
    ASSERT_TRUE(server.WaitFinished(2));
    EXPECT_EQ(Expected("GET /cgi-bin/ky7200/param.cgi?cmd=get3thddnsattr&cmd=getupnpattr&cmd=getourddnsattr") +
                  Expected("GET /cgi-bin/ky7200/param.cgi?cmd=setupnpattr&-upm_enable=1"
                           "&cmd=set3thddnsattr&-d3th_enable=1&-d3th_service=-1&-d3th_uname=u3&-d3th_passwd=p3"
                           "&-d3th_domain=cam.example&cmd=setourddnsattr&-our_enable=0&-our_port=30000"
                           "&-our_uname=kept&-our_passwd=op&-our_server=ddns.maker&-our_domain="),
              server.Received());
}

TEST(DdnsCommands, InternetAddress) {
    ScriptedServer server(ScriptedServer::Mode::ReplyThenClose, Reply("var interip=\"203.0.113.7\";\r\n"));
    InternetIpAttr ip{};
    CCgiClient client;
    ASSERT_EQ(0, client.GetInternetIp("127.0.0.1", server.Port(), kUser, kPassword, &ip, 3000));
    ASSERT_TRUE(server.WaitFinished(1));
    EXPECT_EQ(Expected("GET /cgi-bin/ky7200/param.cgi?cmd=getinterip"), server.Received());
    EXPECT_STREQ("203.0.113.7", ip.interip);
    // Empty: the text stays as it was (the page shows its NULL text on failure only).
    cgi::ParseReply(Cmd("GetInternetIp"), "var interip=\"\";\r\n", 4096, &ip);
    EXPECT_STREQ("203.0.113.7", ip.interip);
}

// Texts sent without percent-encoding: the camera decodes "+" and "%XX" and
// splits at "&", so exactly those bytes (and blanks and control bytes) are
// escaped; every other byte, UTF-8 included, goes as it is.
TEST(RawTexts, EscapeWhatTheCameraWouldDecode) {
    const struct {
        const char* typed;
        const char* sent;
    } kCases[] = {
        {"a+b", "a%2Bb"},
        {"100%", "100%25"},
        {"%41", "%2541"},
        {"a b", "a+b"},
        {"a&cmd=x", "a%26cmd=x"},
        {"a#b", "a%23b"},
        {"a=b:c@d/e!", "a=b:c@d/e!"},
        {"\xE5\xAE\xB6.example", "\xE5\xAE\xB6.example"},
        {"a\r\nX: y", "a%0D%0AX:+y"},
    };
    for (const auto& c : kCases) {
        DdnsAttr d{};
        std::strcpy(d.our_passwd, c.typed);
        const std::string request = Formatted("SetDdnsAttr", &d);
        EXPECT_NE(std::string::npos, request.find(std::string("&-our_passwd=") + c.sent + "&-our_server="))
            << c.typed << " -> " << request;
        // The page refuses none of them.
        EXPECT_EQ(nullptr, cgi::FindPage("ddns")->validate(&d, cgi::PageContext{}));
    }
    NetAttr n = GoodNet();
    std::strcpy(n.sdnsip, "dns+1%");
    EXPECT_NE(std::string::npos, Formatted("SetNetAttr", &n).find("&-sdnsip=dns%2B1%25&"));
}

// ---- ONVIF and GB28181 ------------------------------------------------------------------

TEST(OnvifCommands, ReadAndWrite) {
    ScriptedServer server(ScriptedServer::Mode::ReplyThenClose,
                          Reply("var ov_enable=\"1\";\r\nvar ov_port=\"8000\";\r\nvar ov_authflag=\"\";\r\n"
                                "var ov_forbitset=\"2\";\r\nvar ov_nvctype=\"1\";\r\n"));
    OnvifAttr o{};
    o.ov_authflag = 1;
    o.ov_subchn = 5;
    o.ov_snapchn = 5;
    CCgiClient client;
    ASSERT_EQ(0, client.GetOnvifAttr("127.0.0.1", server.Port(), kUser, kPassword, &o, 3000));
    EXPECT_EQ(1, o.ov_enable);
    EXPECT_EQ(8000, o.ov_port);
    EXPECT_EQ(1, o.ov_authflag);   // empty keeps
    EXPECT_EQ(2, o.ov_forbitset);
    EXPECT_EQ(5, o.ov_subchn);    // missing keeps
    EXPECT_EQ(0, o.ov_snapchn);   // always stored
    EXPECT_EQ(1, o.ov_nvctype);
    ASSERT_EQ(0, client.SetOnvifAttr("127.0.0.1", server.Port(), kUser, kPassword, &o, 3000));
    ASSERT_TRUE(server.WaitFinished(2));
    EXPECT_EQ(Expected("GET /cgi-bin/ky7200/param.cgi?cmd=getonvifattr") +
                  Expected("GET /cgi-bin/ky7200/param.cgi?cmd=setonvifattr&-ov_enable=1&-ov_port=8000"
                           "&-ov_authflag=1&-ov_forbitset=2&-ov_nvctype=1"),
              server.Received());
    // The ONVIF page checks nothing: its port may equal the web port.
    const cgi::PageDesc* page = cgi::FindPage("onvif");
    ASSERT_NE(nullptr, page);
    EXPECT_TRUE(page->validate == nullptr || page->validate(&o, cgi::PageContext{}) == nullptr);
}

TEST(Gb28181Commands, ReadAndWrite) {
    ScriptedServer server(
        ScriptedServer::Mode::ReplyThenClose,
        Reply("var gb_enable=\"1\";\r\nvar gb_svrid=\"34020000002000000001\";\r\n"
              "var gb_svrip=\"10.1.2.3\";\r\nvar gb_svrport=\"5060\";\r\n"
              "var gb_devid=\"34020000001320000001\";\r\nvar gb_devport=\"5061\";\r\n"
              "var gb_devpwd=\"97531086\";\r\nvar gb_alarmid=\"\";\r\n"
              "var gb_heartcycle=\"60\";\r\nvar gb_heartcount=\"3\";\r\nvar gb_regtime=\"3600\";\r\n"));
    Gb28181Attr g{};
    CCgiClient client;
    ASSERT_EQ(0, client.GetGb28181Attr("127.0.0.1", server.Port(), kUser, kPassword, &g, 3000));
    EXPECT_EQ(1, g.gb_enable);
    EXPECT_STREQ("34020000002000000001", g.gb_svrid);
    EXPECT_STREQ("10.1.2.3", g.gb_svrip);
    EXPECT_EQ(5060, g.gb_svrport);
    EXPECT_STREQ("34020000001320000001", g.gb_devid);
    EXPECT_EQ(5061, g.gb_devport);
    EXPECT_STREQ("97531086", g.gb_devpwd);
    EXPECT_STREQ("", g.gb_alarmid);
    EXPECT_EQ(60, g.gb_heartcycle);
    EXPECT_EQ(3, g.gb_heartcount);
    EXPECT_EQ(3600, g.gb_regtime);
    g.gb_devport = 0;   // a non-numeric port text on the page is sent as 0
    ASSERT_EQ(0, client.SetGb28181Attr("127.0.0.1", server.Port(), kUser, kPassword, &g, 3000));
    ASSERT_TRUE(server.WaitFinished(2));
    EXPECT_EQ(Expected("GET /cgi-bin/ky7200/param.cgi?cmd=getgb28181attr") +
                  Expected("GET /cgi-bin/ky7200/param.cgi?cmd=setgb28181attr&-gb_enable=1"
                           "&-gb_svrid=34020000002000000001&-gb_svrip=10.1.2.3&-gb_svrport=5060"
                           "&-gb_devid=34020000001320000001&-gb_devport=0&-gb_devpwd=97531086&-gb_alarmid="
                           "&-gb_heartcycle=60&-gb_heartcount=3&-gb_regtime=3600"),
              server.Received());

    const cgi::PageDesc* page = cgi::FindPage("gb28181");
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(nullptr, page->validate(&g, cgi::PageContext{}));
    std::strcpy(g.gb_devpwd, "a&b=c");
    EXPECT_EQ(nullptr, page->validate(&g, cgi::PageContext{}));
}

// ---- 4G/5G ---------------------------------------------------------------------------------

TEST(CellularCommands, ReadAndWrite) {
    ScriptedServer server(ScriptedServer::Mode::ReplyThenClose,
                          Reply("var g4_runmode=\"1\";\r\nvar g4_simcard=\"1\";\r\nvar g4_status=\"3\";\r\n"
                                "var g4_quality=\"25\";\r\nvar g4_ver=\"EC20V1\";\r\nvar g4_mcc=\"460\";\r\n"
                                "var g4_mnc=\"00\";\r\nvar g4_carrier=\"CHN-CT\";\r\nvar g4_apn=\"ctnet\";\r\n"
                                "var g4_authtype=\"2\";\r\nvar g4_username=\"\";\r\nvar g4_password=\"pw\";\r\n"
                                "var g4_imei=\"861234567890123\";\r\nvar g4_iccid=\"8986001234567890123\";\r\n"));
    CellularAttr c{};
    std::strcpy(c.g4_username, "kept");
    CCgiClient client;
    ASSERT_EQ(0, client.Get4gAttr("127.0.0.1", server.Port(), kUser, kPassword, &c, 3000));
    EXPECT_EQ(1, c.g4_runmode);
    EXPECT_EQ(1, c.g4_simcard);
    EXPECT_EQ(3, c.g4_status);
    EXPECT_EQ(25, c.g4_quality);
    EXPECT_EQ(2, c.g4_authtype);
    EXPECT_STREQ("EC20V1", c.g4_ver);
    EXPECT_STREQ("460", c.g4_mcc);
    EXPECT_STREQ("00", c.g4_mnc);
    EXPECT_STREQ("CHN-CT", c.g4_carrier);
    EXPECT_STREQ("ctnet", c.g4_apn);
    EXPECT_STREQ("kept", c.g4_username);
    EXPECT_STREQ("pw", c.g4_password);
    EXPECT_STREQ("861234567890123", c.g4_imei);
    EXPECT_STREQ("8986001234567890123", c.g4_iccid);
    // Everything not edited goes back as read; mcc, mnc and the state are not sent.
    ASSERT_EQ(0, client.Set4gAttr("127.0.0.1", server.Port(), kUser, kPassword, &c, 3000));
    ASSERT_TRUE(server.WaitFinished(2));
    EXPECT_EQ(Expected("GET /cgi-bin/ky7200/param.cgi?cmd=get4gattr") +
                  Expected("GET /cgi-bin/ky7200/param.cgi?cmd=set4gattr&-g4_runmode=1&-g4_carrier=CHN-CT"
                           "&-g4_apn=ctnet&-g4_authtype=2&-g4_username=kept&-g4_password=pw"),
              server.Received());
}

TEST(CellularRules, ApplyChecks) {
    EXPECT_STREQ("The device does not support 4g/5g settings!", cgi::CheckCellularSupport(0, 0));
    EXPECT_EQ(nullptr, cgi::CheckCellularSupport(1, 0));
    EXPECT_EQ(nullptr, cgi::CheckCellularSupport(0, 1));
    EXPECT_EQ(nullptr, cgi::CheckCellularSupport(2, 0));   // anything but both 0

    const std::string apn31(31, 'a'), apn32(32, 'a'), s63(63, 'u'), s64(64, 'u');
    EXPECT_EQ(nullptr, cgi::CheckCellularInput(0, 0, "", "", ""));   // auto mode: empty APN is fine
    EXPECT_EQ(nullptr, cgi::CheckCellularInput(3, 1, apn31, s63, s63));
    EXPECT_STREQ("Please select the authentication method!", cgi::CheckCellularInput(-1, 0, "", "", ""));
    EXPECT_STREQ("Please select the authentication method!", cgi::CheckCellularInput(4, 1, "", "", ""));
    EXPECT_STREQ("APN is Invalidate!", cgi::CheckCellularInput(0, 1, "", "", ""));
    EXPECT_STREQ("APN is too long!", cgi::CheckCellularInput(0, 1, apn32, "", ""));
    EXPECT_STREQ("APN is too long!", cgi::CheckCellularInput(0, 0, apn32, s64, s64));
    EXPECT_STREQ("The User length is limited to 63 chars!", cgi::CheckCellularInput(0, 0, "", s64, s64));
    EXPECT_STREQ("The Password length is limited to 63 chars!", cgi::CheckCellularInput(0, 0, "", "", s64));
    EXPECT_EQ(nullptr, cgi::CheckCellularInput(0, 0, "ct net", "", "a&b+%"));

    // The page applies the same rules to the record; the operator it only
    // echoes back is not the user's text and is not refused.
    const cgi::PageDesc* page = cgi::FindPage("4g");
    ASSERT_NE(nullptr, page);
    CellularAttr c{};
    c.g4_runmode = 1;
    std::strcpy(c.g4_carrier, "CHINA MOBILE");
    EXPECT_STREQ("APN is Invalidate!", page->validate(&c, cgi::PageContext{}));
    std::strcpy(c.g4_apn, "cmnet");
    EXPECT_EQ(nullptr, page->validate(&c, cgi::PageContext{}));
}
