// The validation rules of the camera pages (shared by the GUI and kycamctl),
// the pages' own reads and checks, and the client methods that pick a
// command variant.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "core/cgi/Catalogue.h"
#include "core/cgi/CgiClient.h"
#include "core/cgi/PercentEncode.h"
#include "core/cgi/rules/AlarmRules.h"
#include "core/cgi/rules/AudioOsdRules.h"
#include "core/cgi/rules/CellularRules.h"
#include "core/cgi/rules/ImageRules.h"
#include "core/cgi/rules/MaintenanceRules.h"
#include "core/cgi/rules/NetworkRules.h"
#include "core/cgi/rules/RegionsRules.h"
#include "core/cgi/rules/TimeRules.h"
#include "core/cgi/rules/UserRules.h"
#include "core/cgi/rules/VideoRules.h"
#include "core/cgi/rules/WirelessRules.h"
#include "tests/support/CgiWire.h"
#include "tests/support/TestFiles.h"

using ky::test::ScriptedServer;
namespace cgi = ky::cgi;

namespace {

std::string Text(const char* message) { return message ? message : ""; }
int Int(const std::vector<std::string>& args, size_t i) { return std::stoi(args.at(i)); }

const cgi::PageDesc& Page(const char* name) {
    const cgi::PageDesc* page = cgi::FindPage(name);
    if (page == nullptr) throw std::runtime_error(std::string("no page ") + name);
    return *page;
}

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
        std::string body, status = "200 OK", asks;
        bool closed = false;
        for (const auto& l : b)
            if (l.word == "with") {
                EXPECT_TRUE(base.Set(l.text)) << "pages.txt:" << l.line;
            } else if (l.word == "reply") {
                body += ky::test::Unescape(l.text) + "\r\n";
            } else {
                if (l.word == "status") status = l.text;
                if (l.word == "asks") asks = l.text;
                closed = closed || (l.word == "camera" && l.text == "closed");
            }
        ScriptedServer camera(ScriptedServer::Mode::ReplyThenClose, ScriptedServer::HttpReply(body, false, status));
        const cgi::Target target{"127.0.0.1", closed ? ScriptedServer::ClosedPort() : camera.Port(), "admin", "123456"};
        const cgi::PageContext context = body.empty() && !closed ? cgi::PageContext{} : cgi::PageContext{&target, 3000};
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
        const int asked = asks.empty() ? 0 : std::stoi(asks);
        std::string requests;
        for (int i = 0; i < asked; ++i) requests += ky::test::ExpectedRequest(asks.substr(asks.find(' ') + 1));
        EXPECT_TRUE(camera.WaitFinished(asked)) << "pages.txt:" << b.front().line;
        EXPECT_EQ(requests, camera.Received()) << "pages.txt:" << b.front().line;
    }
}

// Texts in, texts out: golden/texts.txt.
TEST(TextGolden, ValuesEncodingsAndTypedTexts) {
    const auto text = [](const char* m) { return std::string(m ? m : "<none>"); };
    const auto yesNo = [](bool b) { return std::string(b ? "yes" : "no"); };
    const auto join = [](const std::vector<int>& v) {
        std::string out;
        for (int i : v) out += (out.empty() ? "" : " ") + std::to_string(i);
        return out;
    };
    const auto size = [](const std::string& s) {
        cgi::PictureSize p;
        std::sscanf(s.c_str(), "%dx%d", &p.width, &p.height);
        return p;
    };
    const char* tz = std::getenv("TZ");
    const std::optional<std::string> savedTz = tz ? std::optional<std::string>(tz) : std::nullopt;
    ky::test::ExpectGoldenResults(
        KY_TEXTS_GOLDEN,
        {{"GetValue", [](const auto& a) { return CCgiClient().GetValue(a.at(0).c_str(), 4096, a.at(1).c_str()); }},
         {"QueryValue", [](const auto& a) { return cgi::EncodeQueryValue(a.at(0)); }},
         {"UrlPath", [](const auto& a) { return cgi::EncodeUrlPath(a.at(0)); }},
         {"OsdName", [](const auto& a) { return cgi::UnescapeOsdName(a.at(0)); }},
         {"Osd",
          [&](const auto& a) {
              OsdRegion r{};
              r.region = Int(a, 0);
              std::snprintf(r.name, sizeof r.name, "%s", a.at(1).c_str());
              return Text(cgi::CheckOsdRegion(r));
          }},
         {"Wifi", [&](const auto& a) { return Text(cgi::CheckWirelessInput(a.at(0), a.at(1), a.at(2))); }},
         {"WifiTest", [&](const auto& a) { return Text(cgi::CheckWirelessTest(a.at(0), a.at(1))); }},
         {"Cellular",
          [&](const auto& a) {
              return Text(cgi::CheckCellularInput(Int(a, 0), Int(a, 1), a.at(2), a.at(3), a.at(4)));
          }},
         {"CellularSupport", [&](const auto& a) { return Text(cgi::CheckCellularSupport(Int(a, 0), Int(a, 1))); }},
         {"User", [&](const auto& a) { return Text(cgi::CheckUserInput(a.at(0), a.at(1), a.at(2))); }},
         {"EndsSession",
          [&](const auto& a) {
              NetAttr n{};
              std::strcpy(n.ip, "192.168.1.20");
              n.httpport = 80, n.rtspport = 1554;
              return yesNo(cgi::NetApplyEndsSession(n, a.at(0), Int(a, 1)));
          }},
         {"TimeText", [&](const auto& a) { return yesNo(cgi::IsValidTimeText(a.at(0))); }},
         {"TimeShown",
          [](const auto& a) {
              std::string shown;
              return cgi::DeviceTimeDisplay(a.at(0), shown) ? shown : "<no>";
          }},
         {"ZoneRow",
          [](const auto& a) {
              const int row = cgi::FindZoneRow(a.at(0));
              return std::to_string(row) + " " + cgi::TimeZoneTable()[size_t(row)].name;
          }},
         {"ZoneOffset", [](const auto& a) { return cgi::ZoneOffsetText(cgi::TimeZoneTable()[std::stoul(a.at(0))]); }},
         {"Clock", [](const auto& a) { return cgi::ClockText(std::stol(a.at(0)), Int(a, 1)); }},
         {"PcTime",
          [](const auto& a) {
              setenv("TZ", a.at(0).c_str(), 1);
              const std::time_t utc = std::stol(a.at(1));
              ServerTime t{};
              if (!cgi::PcServerTime(cgi::LocalPcZone(utc), utc, t)) return std::string("<none>");
              return std::string(t.time) + " " + t.timeZone + " " + std::to_string(t.dstmode);
          }},
         {"Modes", [&](const auto& a) { return join(cgi::ParseModeList(a.at(0))); }},
         {"ModeSizes",
          [](const auto& a) {
              const auto r = cgi::VideoModeResolutions(Int(a, 0));
              const bool hz50 = a.at(1) == "50";
              return cgi::SizeText(cgi::ResolutionSize(r.first, hz50)) + " " +
                     cgi::SizeText(cgi::ResolutionSize(r.second, hz50));
          }},
         {"FindMode",
          [&](const auto& a) {
              return std::to_string(
                  cgi::FindVideoMode(cgi::ParseModeList(a.at(0)), size(a.at(1)), size(a.at(2)), a.at(3) == "50"));
          }},
         {"Profiles",
          [&](const auto& a) {
              std::vector<int> profiles{9};
              const bool ok = cgi::ProfilesFromMask(a.at(0), profiles);
              return yesNo(ok) + " " + join(profiles);
          }},
         {"ProfileName", [&](const auto& a) { return text(cgi::ProfileName(Int(a, 0))); }},
         {"ImageType",
          [](const auto& a) {
              ImageAttr i{};
              i.lamp_mode = Int(a, 0), i.infraredstat = Int(a, 1), i.display_mode = Int(a, 2);
              return std::to_string(cgi::ImageType(i));
          }},
         {"Slider",
          [&](const auto& a) {
              int lo = -1, hi = -1;
              const bool ok = cgi::ParseSliderRange(a.at(0), lo, hi);
              return yesNo(ok) + " " + std::to_string(lo) + "-" + std::to_string(hi);
          }},
         {"Lens", [&](const auto& a) { return text(cgi::LensTypeText(Int(a, 0))); }}});
    savedTz ? setenv("TZ", savedTz->c_str(), 1) : unsetenv("TZ");
    tzset();
}

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

TEST(PageRules, AudioReadsBothSlotsFromOneReply) {
    const cgi::PageDesc& page = Page("audio");
    AudioAttr a{};
    page.preset(&a, {});
    const char* reply =
        "var aeswitch_1=\"1\";\r\nvar aeformat_1=\"g711a\";\r\nvar aeswitch_2=\"1\";\r\n"
        "var aeformat_2=\"g726\";\r\nvar aeswitch_11=\"0\";\r\n";
    for (const cgi::CommandDesc* c : page.gets) cgi::ParseReply(*c, reply, 4096, &a);
    EXPECT_EQ(std::tuple(1, std::string("g711a"), 1, std::string("g726")),
              std::tuple(a.aeswitch_a, std::string(a.aeformat_a), a.aeswitch_b, std::string(a.aeformat_b)));
}

TEST(PageRules, VencReadsTheChosenStream) {
    const cgi::PageDesc& page = Page("venc");
    VencAttr v{};
    cgi::PageOptions second;
    second.stream = 1;
    page.preset(&v, second);
    EXPECT_EQ("GET /cgi-bin/ky7200/getvencattr.cgi?-chn=12", ky::test::FormattedRequest("GetVencAttr", &v));
}

TEST(PageRules, WhatThePagesDoNotWrite) {
    // The GUI may send an unchosen trigger (as off); only typed values must be 0/1.
    EXPECT_EQ(nullptr, cgi::CheckSmdAttr(SmdAttr{1, 0, 50, -1}));
    for (const auto& [page, field] :
         {std::pair{"cover", "color"}, {"link", "relay_switch"}, {"time", "time"}, {"reboot-timer", "sr_clock"}})
        EXPECT_TRUE(Page(page).record->Find(field)->readOnly) << page << " " << field;
    EXPECT_TRUE(Page("motor-range").sets.empty());
}

TEST(PageRules, SchedulesStartDisarmed) {
    WeekSchedule w{};
    cgi::FillWeek(w.week, true);
    EXPECT_EQ(std::string(48, 'P'), w.week[5]);
    // A day the camera leaves out is written back as 48 N rather than
    // refused or sent empty.
    const std::string half = std::string(24, 'N') + std::string(24, 'P');
    for (const char* name : {"schedule", "snaptimer", "planrec"}) {
        const cgi::PageDesc& page = Page(name);
        std::vector<char> rec(page.record->size, 0);
        page.preset(rec.data(), {});
        cgi::ParseReply(*page.gets[0], ("var week3=\"" + half + "\";\r\n").c_str(), 4096, rec.data());
        const cgi::FieldInfo* week = page.record->Find("week");
        EXPECT_EQ(half, cgi::FieldToText(*week, rec.data(), 3)) << name;
        EXPECT_EQ(std::string(48, 'N'), cgi::FieldToText(*week, rec.data(), 6)) << name;
        EXPECT_EQ(nullptr, page.validate(rec.data(), {})) << name;
    }
    PlanRecAttr p{};
    cgi::FillWeek(p.week, false);
    p.week[0][0] = '\0';
    EXPECT_NE(nullptr, Page("planrec").validate(&p, {}));
}

TEST(PageRules, UpgradePath) {
    kytest::TempDir dir;
    kytest::WriteBytes(dir.file("fw.pkg"), "x");
    std::string longPath = dir.path();
    while (longPath.size() < 300) longPath += "/.";
    const std::pair<std::string, const char*> cases[] = {
        {"C:", "Illegal file name!"},
        {"\xE4\xB8\xAD\xE6\x96\x87", "Illegal file name!"},   // two characters
        {dir.path(), "File does not exist!"},
        {dir.file("missing.pkg"), "File does not exist!"},
        {dir.file("fw.pkg"), ""},
        {longPath + "/fw.pkg", "The full path file name is too long!"},   // exists, but too long
    };
    for (const auto& [path, message] : cases) EXPECT_EQ(message, Text(cgi::CheckUpgradePath(path))) << path;
}
