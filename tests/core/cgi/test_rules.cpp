// The validation rules of the camera pages (shared by the GUI and kycamctl),
// the pages' own reads and checks, and the client methods that pick a
// command variant.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/cgi/Catalogue.h"
#include "core/cgi/CgiClient.h"
#include "core/cgi/PercentEncode.h"
#include "core/cgi/rules/AlarmRules.h"
#include "core/cgi/rules/AudioOsdRules.h"
#include "core/cgi/rules/CellularRules.h"
#include "core/cgi/rules/DdnsRules.h"
#include "core/cgi/rules/ImageRules.h"
#include "core/cgi/rules/MaintenanceRules.h"
#include "core/cgi/rules/NetworkRules.h"
#include "core/cgi/rules/OnvifRules.h"
#include "core/cgi/rules/PtzRules.h"
#include "core/cgi/rules/RegionsRules.h"
#include "core/cgi/rules/TimeRules.h"
#include "core/cgi/rules/UserRules.h"
#include "core/cgi/rules/VideoRules.h"
#include "core/cgi/rules/WirelessRules.h"
#include "tests/support/CgiWire.h"

using ky::test::ScriptedServer;
namespace cgi = ky::cgi;

namespace {

std::string Text(const char* message) { return message ? message : ""; }

const cgi::PageDesc& Page(const char* name) {
    const cgi::PageDesc* page = cgi::FindPage(name);
    if (page == nullptr) throw std::runtime_error(std::string("no page ") + name);
    return *page;
}

NetAttr GoodNet() {
    NetAttr n{};
    std::strcpy(n.ip, "192.168.1.20");
    std::strcpy(n.netmask, "255.255.255.0");
    std::strcpy(n.gateway, "192.168.1.1");
    std::strcpy(n.fdnsip, "8.8.8.8");
    n.httpport = 80;
    n.rtspport = 554;
    n.rtmpport = 1935;
    return n;
}

const std::string kP48(48, 'P'), kN48(48, 'N'), kHalf = std::string(24, 'N') + std::string(24, 'P');

}   // namespace

// Each block of golden/pages.txt: a page, its record, the camera it may ask,
// and tries of changed copies with the message the page gives.
TEST(PageGolden, FirstFailingRuleInPageOrder) {
    const auto blocks = ky::test::ReadGolden(KY_PAGES_GOLDEN);
    ASSERT_GT(blocks.size(), 15u);
    for (const auto& b : blocks) {
        const cgi::PageDesc* page = cgi::FindPage(b.front().text);
        if (b.front().word != "page" || page == nullptr || page->validate == nullptr) {
            ADD_FAILURE() << "pages.txt:" << b.front().line << ": no page with rules";
            continue;
        }
        ky::test::AnyRecord base(page->record);
        std::string body;
        for (const auto& l : b)
            if (l.word == "with") {
                EXPECT_TRUE(base.Set(l.text)) << "pages.txt:" << l.line;
            } else if (l.word == "reply") {
                body += ky::test::Unescape(l.text) + "\r\n";
            }
        ScriptedServer camera(ScriptedServer::Mode::ReplyThenClose, ky::test::CameraReply(body));
        const cgi::Target target{"127.0.0.1", camera.Port(), "admin", "123456"};
        const cgi::PageContext context = body.empty() ? cgi::PageContext{} : cgi::PageContext{&target, 3000};
        for (const auto& l : b) {
            if (l.word != "try") continue;
            SCOPED_TRACE("pages.txt:" + std::to_string(l.line));
            const size_t arrow = (" " + l.text).find(" => ");
            ky::test::AnyRecord trial = base;
            std::istringstream changes(l.text.substr(0, arrow == std::string::npos ? l.text.size() : arrow));
            for (std::string change; changes >> change;) EXPECT_TRUE(trial.Set(change)) << change;
            const std::string message = arrow == std::string::npos ? "" : l.text.substr(arrow + 3);
            EXPECT_EQ(message, Text(page->validate(trial.data(), context)));
        }
    }
}

// Texts in, texts out: golden/texts.txt.
TEST(TextGolden, ValuesEncodingsAndTypedTexts) {
    const auto message = [](const char* m) { return std::string(m ? m : ""); };
    const auto yesNo = [](bool b) { return std::string(b ? "yes" : "no"); };
    ky::test::ExpectGoldenResults(
        KY_TEXTS_GOLDEN,
        {{"GetValue", [](const auto& a) { return CCgiClient().GetValue(a.at(0).c_str(), 4096, a.at(1).c_str()); }},
         {"QueryValue", [](const auto& a) { return cgi::EncodeQueryValue(a.at(0)); }},
         {"UrlPath", [](const auto& a) { return cgi::EncodeUrlPath(a.at(0)); }},
         {"OsdName", [](const auto& a) { return cgi::UnescapeOsdName(a.at(0)); }},
         {"Wifi", [&](const auto& a) { return message(cgi::CheckWirelessInput(a.at(0), a.at(1), a.at(2))); }},
         {"WifiTest", [&](const auto& a) { return message(cgi::CheckWirelessTest(a.at(0), a.at(1))); }},
         {"Cellular",
          [&](const auto& a) {
              return message(
                  cgi::CheckCellularInput(std::stoi(a.at(0)), std::stoi(a.at(1)), a.at(2), a.at(3), a.at(4)));
          }},
         {"User", [&](const auto& a) { return message(cgi::CheckUserInput(a.at(0), a.at(1), a.at(2))); }},
         {"TimeText", [&](const auto& a) { return yesNo(cgi::IsValidTimeText(a.at(0))); }},
         {"TimeShown",
          [](const auto& a) {
              std::string shown;
              return cgi::DeviceTimeDisplay(a.at(0), shown) ? shown : "<no>";
          }},
         {"Lens", [](const auto& a) {
              const char* text = cgi::LensTypeText(std::stoi(a.at(0)));
              return std::string(text ? text : "<none>");
          }}});
}

// ---- client methods that choose a command variant ---------------------------------

TEST(ClientMethods, FamilyRegionAndWifiTestResult) {
    ScriptedServer cam(ScriptedServer::Mode::ReplyThenClose, ky::test::CameraReply("var chkres=2;\r\n"));
    CCgiClient client;
    P2pAttr p2p{};
    p2p.family = 1;
    EXPECT_EQ(0, client.GetP2pAttr("127.0.0.1", cam.Port(), "admin", "123456", &p2p, 3000));
    OsdRegion osd{};
    osd.region = 1;
    EXPECT_EQ(0, client.GetOverlayAttr("127.0.0.1", cam.Port(), "admin", "123456", &osd, 3000));
    // The test succeeds only for chkres 1; its record is optional.
    WifiCheckResult r{};
    EXPECT_EQ(-1, client.GetCheckWireless("127.0.0.1", cam.Port(), "admin", "123456", &r, 3000));
    EXPECT_EQ(2, r.chkres);
    ASSERT_TRUE(cam.WaitFinished(3));
    EXPECT_EQ(ky::test::ExpectedRequest("GET /cgi-bin/ky7200/param.cgi?cmd=getkyp2pattr") +
                  ky::test::ExpectedRequest("GET /cgi-bin/ky7200/param.cgi?cmd=getoverlayattr&-region=1") +
                  ky::test::ExpectedRequest("GET /cgi-bin/ky7200/param.cgi?cmd=getchkwireless"),
              cam.Received());
    ScriptedServer ok(ScriptedServer::Mode::ReplyThenClose, ky::test::CameraReply("var chkres=1;\r\n"));
    EXPECT_EQ(0, client.GetCheckWireless("127.0.0.1", ok.Port(), "admin", "123456", nullptr, 3000));
    // Only regions 0 and 1 exist; nothing is sent for another or for none.
    osd.region = 2;
    EXPECT_EQ(-1, client.GetOverlayAttr("127.0.0.1", cam.Port(), "admin", "123456", &osd, 3000));
    EXPECT_EQ(-1, client.SetOverlayAttr("127.0.0.1", cam.Port(), "admin", "123456", &osd, 3000));
    EXPECT_EQ(-1, client.SetOverlayAttr("127.0.0.1", cam.Port(), "admin", "123456", nullptr, 3000));
    EXPECT_EQ(-1, client.SetP2pAttr("127.0.0.1", cam.Port(), "admin", "123456", nullptr, 3000));
    EXPECT_EQ(3, cam.Accepted());
}

// ---- network -------------------------------------------------------------------------

TEST(NetRules, PageValidationReadsTheOnvifPortOnlyForValidInput) {
    const cgi::PageDesc& page = Page("net");
    NetAttr n = GoodNet();
    n.httpport = 8080;
    {
        ScriptedServer server(ScriptedServer::Mode::ReplyThenClose,
                              ky::test::CameraReply("var ov_enable=\"1\";\r\nvar ov_port=\"8080\";\r\n"));
        const cgi::Target target{"127.0.0.1", server.Port(), "admin", "123456"};
        EXPECT_STREQ("HTTP port and ONVIF port conflict!", page.validate(&n, {&target, 3000}));
        ASSERT_TRUE(server.WaitFinished(1));
        EXPECT_EQ(ky::test::ExpectedRequest("GET /cgi-bin/ky7200/param.cgi?cmd=getonvifattr"), server.Received());
        // A range failure is reported without asking the camera.
        NetAttr bad = n;
        bad.rtspport = 1;
        EXPECT_STREQ("RTSP port does not meet the requirements!", page.validate(&bad, {&target, 3000}));
        EXPECT_EQ(1, server.Accepted());
    }
    // The ONVIF read fails or is refused, or no camera is at hand: port 0,
    // the other rules still apply.
    const cgi::Target closed{"127.0.0.1", ScriptedServer::ClosedPort(), "admin", "123456"};
    EXPECT_EQ(nullptr, page.validate(&n, {&closed, 3000}));
    NetAttr clash = n;
    clash.rtmpport = 8080;
    EXPECT_STREQ("HTTP port and RTMP port conflict!", page.validate(&clash, {&closed, 3000}));
    ScriptedServer refusing(ScriptedServer::Mode::ReplyThenClose,
                            ScriptedServer::HttpReply("var ov_port=8080;\r\n", false, "401 Unauthorized"));
    const cgi::Target refused{"127.0.0.1", refusing.Port(), "admin", "123456"};
    EXPECT_EQ(nullptr, page.validate(&n, {&refused, 3000}));
    EXPECT_EQ(nullptr, page.validate(&n, cgi::PageContext{}));
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

TEST(CellularRules, SupportNeedsASimCardOrAState) {
    EXPECT_STREQ("The device does not support 4g/5g settings!", cgi::CheckCellularSupport(0, 0));
    for (const auto& [simcard, status] : {std::pair{1, 0}, {0, 1}, {2, 0}})   // anything but both 0
        EXPECT_EQ(nullptr, cgi::CheckCellularSupport(simcard, status));
}

TEST(AudioRules, PageReadsBothSlotsFromOneReply) {
    const cgi::PageDesc& page = Page("audio");
    AudioAttr a{};
    page.preset(&a, {});
    const char* reply =
        "var aeswitch_1=\"1\";\r\nvar aeformat_1=\"g711a\";\r\nvar aeswitch_2=\"1\";\r\n"
        "var aeformat_2=\"g726\";\r\nvar aeswitch_11=\"0\";\r\n";
    for (const cgi::CommandDesc* c : page.gets) cgi::ParseReply(*c, reply, 4096, &a);
    EXPECT_EQ(1, a.aeswitch_a);
    EXPECT_STREQ("g711a", a.aeformat_a);
    EXPECT_EQ(1, a.aeswitch_b);
    EXPECT_STREQ("g726", a.aeformat_b);
    EXPECT_EQ("GET /cgi-bin/ky7200/param.cgi?cmd=getaencattr&-chn=12", ky::test::FormattedRequest("GetAencAttrB", &a));
}

TEST(OsdRules, OnlyTheNameRegionHasAName) {
    OsdRegion r{};
    std::memset(r.name, 'n', 40);
    EXPECT_EQ(nullptr, cgi::CheckOsdRegion(r));   // the time stamp (region 0) carries no name
    r.region = 1;
    EXPECT_STREQ("OSD length does not exceed 31!", cgi::CheckOsdRegion(r));
}

// ---- video and image ---------------------------------------------------------------

TEST(VideoRules, VencPageTakesTheStandardFromTheCamera) {
    const cgi::PageDesc& page = Page("venc");
    VencAttr v{};
    cgi::PageOptions second;
    second.stream = 1;
    page.preset(&v, second);
    EXPECT_EQ("GET /cgi-bin/ky7200/getvencattr.cgi?-chn=12", ky::test::FormattedRequest("GetVencAttr", &v));
    v.bps = 1000, v.fps = 30, v.gop = 60, v.imagegrade = 2;
    ScriptedServer pal(ScriptedServer::Mode::ReplyThenClose, ky::test::CameraReply("var vinorm=\"P\";\r\n"));
    const cgi::Target target{"127.0.0.1", pal.Port(), "admin", "123456"};
    EXPECT_STREQ("The frame rate cannot be greater than 25!", page.validate(&v, {&target, 3000}));
    ASSERT_TRUE(pal.WaitFinished(1));
    EXPECT_EQ(ky::test::ExpectedRequest("GET /cgi-bin/ky7200/param.cgi?cmd=getvideoattr"), pal.Received());
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
    // A size of the other frequency still finds its mode; a single mode is the
    // answer whatever was chosen; none is -1; unlisted modes are 1280x720 + 640x352.
    EXPECT_EQ(35, cgi::FindVideoMode({36, 35}, {1280, 720}, {704, 576}, false));
    EXPECT_EQ(35, cgi::FindVideoMode({35}, {1, 1}, {2, 2}, true));
    EXPECT_EQ(-1, cgi::FindVideoMode({}, {1280, 720}, {640, 352}, true));
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

TEST(ImageRules, ImageTypeAndSliderRanges) {
    // Image type: 1 in full colour (lamp mode 1) or with the infrared closed,
    // 0 with it open, else the display mode.
    const struct {
        int lamp, infrared, display, type;
    } types[] = {{1, 0, 0, 1}, {0, 1, 0, 0}, {0, 0, 0, 1}, {0, 2, 7, 7}, {2, 2, 7, 7}};
    for (const auto& t : types) {
        ImageAttr a{};
        a.lamp_mode = t.lamp, a.infraredstat = t.infrared, a.display_mode = t.display;
        EXPECT_EQ(t.type, cgi::ImageType(a)) << t.lamp << "/" << t.infrared << "/" << t.display;
    }
    int lo = -1, hi = -1;
    EXPECT_TRUE(cgi::ParseSliderRange("0-100", lo, hi));
    EXPECT_EQ(std::pair(0, 100), std::pair(lo, hi));
    EXPECT_FALSE(cgi::ParseSliderRange("", lo, hi));
    EXPECT_EQ(std::pair(0, 255), std::pair(lo, hi));
    EXPECT_FALSE(cgi::ParseSliderRange("100", lo, hi));
    EXPECT_TRUE(cgi::ParseSliderRange("1-255xyz", lo, hi));
    EXPECT_EQ(255, hi);
}

// ---- time ------------------------------------------------------------------------------

TEST(TimeRules, ZoneTable) {
    const auto zones = cgi::TimeZoneTable();
    ASSERT_EQ(75u, zones.size());
    EXPECT_EQ(56, cgi::FindZoneRow("Asia/hong_kong"));
    EXPECT_EQ(73, cgi::FindZoneRow("Mars/Olympus"));
    EXPECT_EQ(73, cgi::FindZoneRow(""));
    EXPECT_STREQ("Pacific/Tongatapu", zones[73].name);
    EXPECT_EQ(18, cgi::FindZoneRow("AMERICA/ST_JOHNS"));
    EXPECT_EQ("GMT-12:00", cgi::ZoneOffsetText(zones[0]));
    EXPECT_EQ("GMT 00:00", cgi::ZoneOffsetText(zones[25]));
    EXPECT_EQ("GMT+05:45", cgi::ZoneOffsetText(zones[49]));
    EXPECT_EQ("GMT-03:30", cgi::ZoneOffsetText(zones[18]));
    const std::time_t utc = 1700000000;   // 2023-11-14 22:13:20 UTC
    EXPECT_EQ("2023.11.15.03.43.20", cgi::ClockText(utc, 330));
    EXPECT_EQ("2023.11.14.17.13.20", cgi::ClockText(utc, -300));
}

// The PC's zone from the C library, in summer and in winter: a zone of the
// table by name, one outside it by its standard offset, and one no row has.
TEST(TimeRules, PcZoneSync) {
    constexpr std::time_t kSummer = 1719835200;   // 2024-07-01 12:00:00 UTC
    constexpr std::time_t kWinter = 1705320000;   // 2024-01-15 12:00:00 UTC
    const struct {
        const char* tz;
        std::time_t utc;
        const char* time;   // what the camera is set to
        const char* zone;   // nullptr: no row fits
        int dstmode;
    } cases[] = {
        {"Europe/Amsterdam", kSummer, "2024.07.01.14.00.00", "Europe/Amsterdam", 1},
        {"Europe/Amsterdam", kWinter, "2024.01.15.13.00.00", "Europe/Amsterdam", 1},
        {"Europe/Berlin", kSummer, "2024.07.01.14.00.00", "Europe/Amsterdam", 1},
        {"Australia/Sydney", kWinter, "2024.01.15.23.00.00", "Australia/Sydney", 1},
        {"Asia/Kolkata", kSummer, "2024.07.01.17.30.00", "Asia/Calcutta", 0},
        {"America/Lima", kWinter, "2024.01.15.07.00.00", "America/Bogota", 0},
        {"America/Toronto", kSummer, "2024.07.01.08.00.00", "America/Indianapolis", 1},
        {"Pacific/Kiritimati", kSummer, "", nullptr, 0},
    };
    const char* before = std::getenv("TZ");
    const std::string saved = before ? before : "";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tz);
        setenv("TZ", c.tz, 1);
        ServerTime t{};
        ASSERT_EQ(c.zone != nullptr, cgi::PcServerTime(cgi::LocalPcZone(c.utc), c.utc, t));
        if (!c.zone) continue;
        EXPECT_STREQ(c.time, t.time);
        EXPECT_STREQ(c.zone, t.timeZone);
        EXPECT_EQ(c.dstmode, t.dstmode);
    }
    if (before) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

// ---- cover, alarms, schedules, maintenance, user -----------------------------------------

TEST(CoverAlarmTimeRules, WhatThePagesDoNotWrite) {
    // The GUI may send an unchosen trigger (as off); only typed values must be 0/1.
    const SmdAttr s{1, 0, 50, -1};
    EXPECT_EQ(nullptr, cgi::CheckSmdAttr(s));
    for (const auto& [page, field] :
         {std::pair{"cover", "color"}, {"link", "relay_switch"}, {"time", "time"}, {"reboot-timer", "sr_clock"}})
        EXPECT_TRUE(Page(page).record->Find(field)->readOnly) << page << " " << field;
}

TEST(ScheduleRules, WeeksAndPages) {
    WeekSchedule w{};
    cgi::FillWeek(w.week, true);
    EXPECT_EQ(kP48, w.week[5]);
    EXPECT_EQ(nullptr, cgi::CheckWeekSchedule(w.week));
    w.week[1][47] = '\0';
    EXPECT_NE(nullptr, cgi::CheckWeekSchedule(w.week));
    w.week[1][47] = 'X';
    EXPECT_NE(nullptr, cgi::CheckWeekSchedule(w.week));
    // Pages start every day disarmed, so a day the camera leaves out is
    // written back as 48 N rather than refused or sent empty.
    for (const char* name : {"schedule", "snaptimer", "planrec"}) {
        const cgi::PageDesc& page = Page(name);
        std::vector<char> rec(page.record->size, 0);
        page.preset(rec.data(), {});
        cgi::ParseReply(*page.gets[0], ("var week3=\"" + kHalf + "\";\r\n").c_str(), 4096, rec.data());
        const cgi::FieldInfo* week = page.record->Find("week");
        EXPECT_EQ(kHalf, cgi::FieldToText(*week, rec.data(), 3)) << name;
        EXPECT_EQ(kN48, cgi::FieldToText(*week, rec.data(), 6)) << name;
        EXPECT_EQ(nullptr, page.validate(rec.data(), {})) << name;
    }
    PlanRecAttr p{};
    cgi::FillWeek(p.week, false);
    p.week[0][0] = '\0';
    EXPECT_NE(nullptr, Page("planrec").validate(&p, {}));
}

TEST(MaintenanceRules, LensTypesAndUpgradePath) {
    EXPECT_TRUE(Page("motor-range").sets.empty());

    const auto dir = std::filesystem::temp_directory_path() / ("catcfg-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "fw.pkg") << "x";
    EXPECT_STREQ("Illegal file name!", cgi::CheckUpgradePath("C:"));
    EXPECT_STREQ("Illegal file name!", cgi::CheckUpgradePath("\xE4\xB8\xAD\xE6\x96\x87"));   // two characters
    EXPECT_STREQ("File does not exist!", cgi::CheckUpgradePath(dir.string()));
    EXPECT_STREQ("File does not exist!", cgi::CheckUpgradePath((dir / "missing.pkg").string()));
    EXPECT_EQ(nullptr, cgi::CheckUpgradePath((dir / "fw.pkg").string()));
    // A long path to an existing file is refused for its length.
    std::string longPath = dir.string();
    while (longPath.size() < 300) longPath += "/.";
    EXPECT_STREQ("The full path file name is too long!", cgi::CheckUpgradePath(longPath + "/fw.pkg"));
    std::filesystem::remove_all(dir);
}
