// Time, cover, alarm, maintenance, scheduled-task and user commands against a
// scripted loopback camera, and the rules of their pages. Expected request
// texts are typed from the camera's documented protocol.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/cgi/Catalogue.h"
#include "core/cgi/CgiClient.h"
#include "core/cgi/rules/AlarmRules.h"
#include "core/cgi/rules/MaintenanceRules.h"
#include "core/cgi/rules/RegionsRules.h"
#include "core/cgi/rules/TimeRules.h"
#include "core/cgi/rules/UserRules.h"
#include "tests/support/CgiWire.h"

using ky::test::ScriptedServer;

// Found by argument-dependent lookup, so it lives beside CoverRegion.
inline bool operator==(const CoverRegion& a, const CoverRegion& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
namespace cgi = ky::cgi;

namespace {

constexpr const char* kPrefix = "GET /cgi-bin/ky7200/param.cgi?";

std::string Expected(const std::string& query) { return ky::test::ExpectedRequest(kPrefix + query); }

// A camera that answers every request with the same body.
class Camera {
public:
    explicit Camera(const std::string& body = "")
        : server_(ScriptedServer::Mode::ReplyThenClose, ScriptedServer::HttpReply(body)) {}

    template <class Rec>
    int Call(int (CCgiClient::*method)(const char*, uint16_t, const char*, const char*, Rec*, int), Rec* rec) {
        CCgiClient client;
        return (client.*method)("127.0.0.1", server_.Port(), "admin", "123456", rec, 3000);
    }
    // Everything received once `count` exchanges are over.
    std::string Wire(int count) {
        EXPECT_TRUE(server_.WaitFinished(count));
        return server_.Received();
    }
    int Accepted() const { return server_.Accepted(); }

private:
    ScriptedServer server_;
};

template <size_t N>
void Put(char (&field)[N], const std::string& text) {
    ASSERT_LT(text.size(), N);
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), text.size());
}

// "&-week0=...&-week6=..." for the given days.
std::string WeekQuery(const std::string (&days)[7]) {
    std::string q;
    for (int d = 0; d < 7; ++d) q += "&-week" + std::to_string(d) + "=" + days[d];
    return q;
}

const std::string kP48(48, 'P');
const std::string kN48(48, 'N');
const std::string kHalf = std::string(24, 'N') + std::string(24, 'P');

}   // namespace

// ---- time and NTP ---------------------------------------------------------------------

TEST(TimeWire, NtpReadAndWrite) {
    Camera cam("var ntpenable=1;\r\nvar ntpinterval=6;\r\nvar ntpserver=\"pool.ntp.org\";\r\n");
    NtpAttr ntp{};
    ASSERT_EQ(0, cam.Call(&CCgiClient::GetNtpAttr, &ntp));
    EXPECT_EQ(1, ntp.ntpenable);
    EXPECT_EQ(6, ntp.ntpinterval);
    EXPECT_STREQ("pool.ntp.org", ntp.ntpserver);
    ntp.ntpenable = 0;
    ntp.ntpinterval = 24;
    Put(ntp.ntpserver, "time.example-1.net");
    ASSERT_EQ(0, cam.Call(&CCgiClient::SetNtpAttr, &ntp));
    EXPECT_EQ(Expected("cmd=getntpattr") +
                  Expected("cmd=setntpattr&-ntpenable=0&-ntpserver=time.example-1.net&-ntpinterval=24"),
              cam.Wire(2));
}

TEST(TimeWire, ZoneIsEncodedClockIsNot) {
    Camera cam;
    ServerTime t{};
    Put(t.timeZone, "America/St_Johns");
    t.dstmode = 1;
    ASSERT_EQ(0, cam.Call(&CCgiClient::SetServerTimeZone, &t));
    t.dstmode = 2;   // the zone write says "on" only for exactly 1 ...
    ASSERT_EQ(0, cam.Call(&CCgiClient::SetServerTimeZone, &t));
    Put(t.time, "2024.02.30.10.00.00");
    ASSERT_EQ(0, cam.Call(&CCgiClient::SetServerTime, &t));   // ... the clock write for any non-zero
    t.dstmode = 0;
    ASSERT_EQ(0, cam.Call(&CCgiClient::SetServerTime, &t));
    EXPECT_EQ(Expected("cmd=setservertime&-timezone=America%2FSt_Johns&-dstmode=on") +
                  Expected("cmd=setservertime&-timezone=America%2FSt_Johns&-dstmode=off") +
                  Expected("cmd=setservertime&-time=2024.02.30.10.00.00&-timezone=America/St_Johns&-dstmode=on") +
                  Expected("cmd=setservertime&-time=2024.02.30.10.00.00&-timezone=America/St_Johns&-dstmode=off"),
              cam.Wire(4));
}

TEST(TimeWire, UnsafeOrMalformedTextIsNeverSent) {
    Camera cam;
    ServerTime t{};
    Put(t.timeZone, "Asia/Tokyo");
    for (const char* bad : {"2024-01-01 10:00:00", "2024.13.01.10.00.00", "20240101100000", ""}) {
        Put(t.time, bad);
        EXPECT_EQ(-1, cam.Call(&CCgiClient::SetServerTime, &t)) << bad;
    }
    Put(t.time, "2024.01.01.10.00.00");
    Put(t.timeZone, "Asia/Tokyo&cmd=setuserattr");
    EXPECT_EQ(-1, cam.Call(&CCgiClient::SetServerTime, &t));
    NtpAttr ntp{1, 1, {}};
    Put(ntp.ntpserver, "pool.ntp.org&cmd=reboot");
    EXPECT_EQ(-1, cam.Call(&CCgiClient::SetNtpAttr, &ntp));
    EXPECT_EQ(0, cam.Accepted());
}

TEST(TimeParse, ServerTimeKeysAndDaylightWord) {
    const cgi::CommandDesc* get = cgi::FindCommand("GetServerTime");
    ASSERT_NE(nullptr, get);
    ServerTime t{};
    cgi::ParseReply(*get, "var time=\"20240102030405\";\r\nvar timeZone=\"Asia/hong_kong\";\r\nvar dstmode=\"ON\";\r\n",
                    4096, &t);
    EXPECT_STREQ("20240102030405", t.time);
    EXPECT_STREQ("Asia/hong_kong", t.timeZone);
    EXPECT_EQ(1, t.dstmode);   // any letter case
    cgi::ParseReply(*get, "var dstmode=\"yes\";\r\nvar timeZone=\"\";\r\n", 4096, &t);
    EXPECT_EQ(0, t.dstmode);
    EXPECT_STREQ("Asia/hong_kong", t.timeZone);   // empty keeps
    t.dstmode = 1;
    cgi::ParseReply(*get, "var time=\"x\";\r\n", 4096, &t);
    EXPECT_EQ(1, t.dstmode);   // missing keeps
}

TEST(TimeRules, TimeTextCheckAndDisplay) {
    EXPECT_TRUE(cgi::IsValidTimeText("2024.02.30.10.00.00"));   // days only checked against 31
    EXPECT_TRUE(cgi::IsValidTimeText("0000.12.31.23.59.59"));
    EXPECT_TRUE(cgi::IsValidTimeText("2024.01.01.00.00.00"));
    for (const char* bad :
         {"2024.00.10.10.00.00", "2024.13.10.10.00.00", "2024.01.00.10.00.00", "2024.01.32.10.00.00",
          "2024.01.10.24.00.00", "2024.01.10.10.60.00", "2024.01.10.10.00.60", "2024.01.10.10.00.0",
          "2024.01.10.10.00.000", "2024-01-10.10.00.00", "2024.01.1a.10.00.00", "+024.01.10.10.00.00"})
        EXPECT_FALSE(cgi::IsValidTimeText(bad)) << bad;

    std::string shown;
    ASSERT_TRUE(cgi::DeviceTimeDisplay("2024.02.30.10.00.00", shown));
    EXPECT_EQ("2024-02-30 10:00:00", shown);
    ASSERT_TRUE(cgi::DeviceTimeDisplay("20211102195327", shown));
    EXPECT_EQ("2021-11-02 19:53:27", shown);
    EXPECT_FALSE(cgi::DeviceTimeDisplay("2021110219532", shown));
    EXPECT_FALSE(cgi::DeviceTimeDisplay("", shown));
}

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
    struct Case {
        const char* tz;
        std::time_t utc;
        const char* time;   // what the camera is set to
        const char* zone;   // nullptr: no row fits
        int dstmode;
    };
    constexpr std::time_t kSummer = 1719835200;   // 2024-07-01 12:00:00 UTC
    constexpr std::time_t kWinter = 1705320000;   // 2024-01-15 12:00:00 UTC
    const Case cases[] = {
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tz);
        setenv("TZ", c.tz, 1);
        const cgi::PcZone zone = cgi::LocalPcZone(c.utc);
        ServerTime t{};
        ASSERT_EQ(c.zone != nullptr, cgi::PcServerTime(zone, c.utc, t));
        if (!c.zone) continue;
        EXPECT_STREQ(c.time, t.time);
        EXPECT_STREQ(c.zone, t.timeZone);
        EXPECT_EQ(c.dstmode, t.dstmode);
    }
    if (before)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(TimeRules, NtpAndZonePages) {
    NtpAttr ntp{1, 1, {}};
    Put(ntp.ntpserver, "   ");
    EXPECT_STREQ("NTP server address cannot be empty!", cgi::CheckNtpAttr(ntp));
    Put(ntp.ntpserver, "");
    EXPECT_STREQ("NTP server address cannot be empty!", cgi::CheckNtpAttr(ntp));
    Put(ntp.ntpserver, "pool.ntp.org");
    EXPECT_EQ(nullptr, cgi::CheckNtpAttr(ntp));
    ntp.ntpinterval = 24;
    EXPECT_EQ(nullptr, cgi::CheckNtpAttr(ntp));
    for (int bad : {0, 25, -1}) {
        ntp.ntpinterval = bad;
        EXPECT_NE(nullptr, cgi::CheckNtpAttr(ntp)) << bad;
    }
    ntp.ntpinterval = 12;
    Put(ntp.ntpserver, "pool ntp.org");
    EXPECT_NE(nullptr, cgi::CheckNtpAttr(ntp));
    Put(ntp.ntpserver, "[2001:db8::1]");
    EXPECT_EQ(nullptr, cgi::CheckNtpAttr(ntp));

    const cgi::PageDesc* page = cgi::FindPage("time");
    ASSERT_NE(nullptr, page);
    ASSERT_NE(nullptr, page->validate);
    ServerTime t{};
    EXPECT_NE(nullptr, page->validate(&t, {}));   // no zone chosen
    Put(t.timeZone, "Europe/Dublin");
    t.dstmode = 1;
    EXPECT_EQ(nullptr, page->validate(&t, {}));
    t.dstmode = 2;
    EXPECT_NE(nullptr, page->validate(&t, {}));
    // The clock is not something the page writes back.
    EXPECT_TRUE(page->record->Find("time")->readOnly);
    ASSERT_NE(nullptr, cgi::FindPage("ntp"));
}

// ---- video cover --------------------------------------------------------------------------

TEST(CoverWire, RegionsAreNumberedFromOneAndWrittenBlack) {
    Camera cam(
        "var show_1=1;\r\nvar color_1=ff0000;\r\nvar x_1=10;\r\nvar y_1=20;\r\nvar w_1=30;\r\nvar h_1=40;\r\n"
        "var show_2=0;\r\nvar x_2=11;\r\n"
        "var show_4=1;\r\nvar x_4=100;\r\nvar y_4=50;\r\nvar w_4=200;\r\nvar h_4=150;\r\n");
    CoverAttr c{};
    c.x[2] = 77;
    ASSERT_EQ(0, cam.Call(&CCgiClient::GetCover, &c));
    EXPECT_EQ((CoverRegion{1, 0, 10, 20, 30, 40}), c.Region(0));   // non-numeric colour reads as 0
    EXPECT_EQ(0, c.show[1]);
    EXPECT_EQ(11, c.x[1]);
    EXPECT_EQ(77, c.x[2]);   // region 3 not reported
    EXPECT_EQ((CoverRegion{1, 0, 100, 50, 200, 150}), c.Region(3));
    c.color[3] = 0xFF;
    c.SetRegion(2, {1, 5, 1, 2, 3, 4});
    ASSERT_EQ(0, cam.Call(&CCgiClient::SetCover, &c));
    EXPECT_EQ(
        Expected("cmd=getcover") + Expected("&cmd=setcover&-region=1&-show=1&-color=000000&-x=10&-y=20&-w=30&-h=40"
                                            "&cmd=setcover&-region=2&-show=0&-color=000000&-x=11&-y=0&-w=0&-h=0"
                                            "&cmd=setcover&-region=3&-show=1&-color=000000&-x=1&-y=2&-w=3&-h=4"
                                            "&cmd=setcover&-region=4&-show=1&-color=000000&-x=100&-y=50&-w=200&-h=150"),
        cam.Wire(2));
}

TEST(CoverRules, ShowAndRectangles) {
    CoverAttr c{};
    EXPECT_EQ(nullptr, cgi::CheckCoverAttr(c));
    c.show[3] = 2;
    EXPECT_STREQ("Value must be 0 or 1", cgi::CheckCoverAttr(c));
    c.show[3] = 1;
    c.h[2] = -1;
    EXPECT_NE(nullptr, cgi::CheckCoverAttr(c));
    const cgi::PageDesc* page = cgi::FindPage("cover");
    ASSERT_NE(nullptr, page);
    EXPECT_TRUE(page->record->Find("color")->readOnly);
}

// ---- alarms ---------------------------------------------------------------------------------

TEST(AlarmWire, HumanoidTriggerWord) {
    Camera cam("var smd_enable=1;\r\nvar smd_rect=0;\r\nvar smd_gthresh=55;\r\nvar md_alarm_type=\"on\";\r\n");
    SmdAttr s{};
    ASSERT_EQ(0, cam.Call(&CCgiClient::GetSmdAttr, &s));
    EXPECT_EQ(1, s.smd_enable);
    EXPECT_EQ(0, s.smd_rect);
    EXPECT_EQ(55, s.smd_gthresh);
    EXPECT_EQ(1, s.alarm_type);
    ASSERT_EQ(0, cam.Call(&CCgiClient::SetSmdAttr, &s));
    s.alarm_type = -1;   // no trigger chosen
    ASSERT_EQ(0, cam.Call(&CCgiClient::SetSmdAttr, &s));
    EXPECT_EQ(Expected("cmd=getmdalarm&-aname=type&cmd=getsmdattr&cmd=getsmdex") +
                  Expected("cmd=setmdalarm&-aname=type&-switch=on&cmd=setsmdattr&-smd_enable=1"
                           "&cmd=setsmdex&-smd_rect=0&-smd_gthresh=55") +
                  Expected("cmd=setmdalarm&-aname=type&-switch=off&cmd=setsmdattr&-smd_enable=1"
                           "&cmd=setsmdex&-smd_rect=0&-smd_gthresh=55"),
              cam.Wire(3));
}

TEST(AlarmWire, AudioAlarm) {
    Camera cam("var aa_enable=0;\r\nvar aa_value=40;\r\n");
    AudioAlarmAttr a{};
    ASSERT_EQ(0, cam.Call(&CCgiClient::GetAudioAlarmAttr, &a));
    EXPECT_EQ(40, a.aa_value);
    a.aa_enable = 1;
    a.aa_value = 100;
    ASSERT_EQ(0, cam.Call(&CCgiClient::SetAudioAlarmAttr, &a));
    EXPECT_EQ(Expected("cmd=getaudioalarmattr") + Expected("cmd=setaudioalarmattr&-aa_enable=1&-aa_value=100"),
              cam.Wire(2));
}

TEST(AlarmWire, LinkageNineCommandsEachWay) {
    Camera cam(
        "var md_snap_switch=\"on\";\r\nvar snap_count=3;\r\nvar md_record_switch=\"off\";\r\n"
        "var md_preset_switch=\"ON\";\r\nvar alarmpresetindex=4;\r\nvar md_sound_switch=\"on\";\r\n"
        "var sound_type=2;\r\nvar sound_time=15;\r\n");
    LinkAttr l{};
    l.record_switch = 1;
    l.relay_switch = 1;
    ASSERT_EQ(0, cam.Call(&CCgiClient::GetLinkAttr, &l));
    EXPECT_EQ(1, l.snap_switch);
    EXPECT_EQ(3, l.snap_count);
    EXPECT_EQ(0, l.record_switch);
    EXPECT_EQ(1, l.relay_switch);    // never read
    EXPECT_EQ(0, l.preset_switch);   // only exactly "on"
    EXPECT_EQ(4, l.alarmpresetindex);
    EXPECT_EQ(1, l.sound_switch);
    EXPECT_EQ(2, l.sound_type);
    EXPECT_EQ(15, l.sound_time);

    LinkAttr w{};
    w.snap_switch = 1;
    w.snap_count = 1;
    w.record_switch = 0;
    w.preset_switch = 7;   // any non-zero switch is on
    w.alarmpresetindex = 8;
    w.sound_switch = 1;
    w.sound_type = 1;
    w.sound_time = 30;
    ASSERT_EQ(0, cam.Call(&CCgiClient::SetLinkAttr, &w));
    EXPECT_EQ(Expected("&cmd=getmdalarm&-aname=snap&cmd=getmdalarm&-aname=record&cmd=getmdalarm&-aname=relay"
                       "&cmd=getmdalarm&-aname=preset&cmd=getmdalarm&-aname=sound&cmd=getrelayattr"
                       "&cmd=getalarmsnapattr&cmd=getmotorattr&cmd=getalarmsoundattr") +
                  Expected("cmd=setmdalarm&-aname=snap&-switch=on&cmd=setalarmsnapattr&-snap_count=1"
                           "&cmd=setmdalarm&-aname=record&-switch=off"
                           "&cmd=setmdalarm&-aname=preset&-switch=on"
                           "&cmd=setmdalarm&-aname=sound&-switch=on"
                           "&cmd=setmdalarm&-aname=relay&-switch=off&cmd=setrelayattr&-time=5"
                           "&cmd=setmotorattr&-alarmpresetindex=8"
                           "&cmd=setalarmsoundattr&-sound_type=1&-sound_time=30"),
              cam.Wire(2));

    // Missing switch keys leave the fields as they were.
    LinkAttr keep{};
    keep.snap_switch = 1;
    cgi::ParseReply(*cgi::FindCommand("GetLinkAttr"), "var md_record_switch=\"on\";\r\n", 4096, &keep);
    EXPECT_EQ(1, keep.snap_switch);
    EXPECT_EQ(1, keep.record_switch);
    EXPECT_TRUE(cgi::FindPage("link")->record->Find("relay_switch")->readOnly);
}

TEST(AlarmWire, MotionScheduleWeek) {
    const std::string week3(50, 'P');   // too long: cut to 48
    Camera cam("var week0=\"" + kP48 + "\";\r\nvar week3=\"" + week3 + "\";\r\nvar week6=\"" + kHalf + "\";\r\n");
    WeekSchedule w{};
    ASSERT_EQ(0, cam.Call(&CCgiClient::GetMdSchedule, &w));
    EXPECT_EQ(kP48, w.week[0]);
    EXPECT_EQ(kP48, w.week[3]);
    EXPECT_EQ(kHalf, w.week[6]);
    EXPECT_STREQ("", w.week[1]);
    cgi::FillWeek(w.week, false);
    std::memcpy(w.week[2], kHalf.data(), 48);
    ASSERT_EQ(0, cam.Call(&CCgiClient::SetMdSchedule, &w));
    const std::string days[7] = {kN48, kN48, kHalf, kN48, kN48, kN48, kN48};
    EXPECT_EQ(Expected("cmd=getscheduleex&-ename=md") + Expected("cmd=setscheduleex&-ename=md" + WeekQuery(days)),
              cam.Wire(2));
}

TEST(AlarmWire, ScheduleTextOtherThanFlagsIsNeverSent) {
    Camera cam;
    WeekSchedule w{};
    cgi::FillWeek(w.week, true);
    w.week[4][10] = '&';
    EXPECT_EQ(-1, cam.Call(&CCgiClient::SetMdSchedule, &w));
    SnapTimerAttr s{};
    cgi::FillWeek(s.week, true);
    s.week[6][0] = 'p';
    EXPECT_EQ(-1, cam.Call(&CCgiClient::SetSnapTimerAttr, &s));
    EXPECT_EQ(0, cam.Accepted());
}

TEST(AlarmRules, Boundaries) {
    SmdAttr s{1, 0, 1, 0};
    EXPECT_EQ(nullptr, cgi::CheckSmdAttr(s));
    s.smd_gthresh = 100;
    EXPECT_EQ(nullptr, cgi::CheckSmdAttr(s));
    for (int bad : {0, 101, -5}) {
        s.smd_gthresh = bad;
        EXPECT_STREQ("Wrong sensitivity range!", cgi::CheckSmdAttr(s)) << bad;
    }
    s.smd_gthresh = 50;
    s.alarm_type = -1;   // the GUI may send an unchosen trigger (as off); typed values must be 0/1
    EXPECT_EQ(nullptr, cgi::CheckSmdAttr(s));
    EXPECT_STREQ("Value must be 0 or 1", cgi::ValidateSmdPage(&s, {}));

    AudioAlarmAttr a{0, 0};
    EXPECT_EQ(nullptr, cgi::CheckAudioAlarmAttr(a));   // off: volume not checked
    a.aa_enable = 1;
    EXPECT_STREQ("Volume range 1~100", cgi::CheckAudioAlarmAttr(a));
    a.aa_value = 101;
    EXPECT_STREQ("Volume range 1~100", cgi::CheckAudioAlarmAttr(a));
    a.aa_value = 1;
    EXPECT_EQ(nullptr, cgi::CheckAudioAlarmAttr(a));

    WeekSchedule w{};
    cgi::FillWeek(w.week, true);
    EXPECT_EQ(kP48, w.week[5]);
    EXPECT_EQ(nullptr, cgi::CheckWeekSchedule(w.week));
    w.week[1][47] = '\0';
    EXPECT_NE(nullptr, cgi::CheckWeekSchedule(w.week));
    w.week[1][47] = 'X';
    EXPECT_NE(nullptr, cgi::CheckWeekSchedule(w.week));
    w.week[1][47] = 'N';
    EXPECT_EQ(nullptr, cgi::FindPage("schedule")->validate(&w, {}));

    // Pages start every day disarmed, so a day the camera leaves out is
    // written back as 48 N rather than refused or sent empty.
    for (const char* name : {"schedule", "snaptimer", "planrec"}) {
        const cgi::PageDesc* page = cgi::FindPage(name);
        ASSERT_NE(nullptr, page) << name;
        std::vector<char> rec(page->record->size, 0);
        page->preset(rec.data(), {});
        cgi::ParseReply(*page->gets[0], ("var week3=\"" + kHalf + "\";\r\n").c_str(), 4096, rec.data());
        const cgi::FieldInfo* week = page->record->Find("week");
        EXPECT_EQ(kHalf, cgi::FieldToText(*week, rec.data(), 3)) << name;
        EXPECT_EQ(kN48, cgi::FieldToText(*week, rec.data(), 6)) << name;
        EXPECT_EQ(nullptr, page->validate(rec.data(), {})) << name;
    }
}

// ---- maintenance ------------------------------------------------------------------------------

TEST(MaintenanceWire, LensType) {
    Camera cam("var lenstype=3;\r\n");
    MotorRangeAttr m{-1};
    ASSERT_EQ(0, cam.Call(&CCgiClient::GetMotorRange, &m));
    EXPECT_EQ(3, m.lenstype);
    EXPECT_EQ(Expected("cmd=getmotorrange"), cam.Wire(1));
    EXPECT_STREQ("2.7-13.5mm(5)", cgi::LensTypeText(3));
    EXPECT_STREQ("2.8-8mm", cgi::LensTypeText(0));
    EXPECT_STREQ("2.7-13.5mm(4)", cgi::LensTypeText(9));
    EXPECT_EQ(nullptr, cgi::LensTypeText(12));
    EXPECT_EQ(nullptr, cgi::LensTypeText(-1));
    const cgi::PageDesc* page = cgi::FindPage("motor-range");
    ASSERT_NE(nullptr, page);
    EXPECT_TRUE(page->sets.empty());
}

TEST(MaintenanceRules, UpgradePathChecksInOrder) {
    const auto dir = std::filesystem::temp_directory_path() / ("catcfg-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const auto file = dir / "fw.pkg";
    std::ofstream(file) << "x";
    EXPECT_STREQ("Illegal file name!", cgi::CheckUpgradePath("C:"));
    EXPECT_STREQ("Illegal file name!", cgi::CheckUpgradePath("\xE4\xB8\xAD\xE6\x96\x87"));   // two characters
    EXPECT_STREQ("File does not exist!", cgi::CheckUpgradePath(dir.string()));
    EXPECT_STREQ("File does not exist!", cgi::CheckUpgradePath((dir / "missing.pkg").string()));
    EXPECT_EQ(nullptr, cgi::CheckUpgradePath(file.string()));
    // A long path to an existing file is refused for its length.
    std::string longPath = dir.string();
    while (longPath.size() < 300) longPath += "/.";
    longPath += "/fw.pkg";
    EXPECT_STREQ("The full path file name is too long!", cgi::CheckUpgradePath(longPath));
    std::filesystem::remove_all(dir);
}

// ---- scheduled tasks ------------------------------------------------------------------------

TEST(ScheduleWire, TimedReboot) {
    Camera cam("var sr_enable=1;\r\nvar sr_day=7;\r\nvar sr_clock=1234;\r\nvar sr_hour=3;\r\n");
    TimerRebootAttr r{};
    ASSERT_EQ(0, cam.Call(&CCgiClient::GetTimerReboot, &r));
    EXPECT_EQ(1234, r.sr_clock);
    EXPECT_EQ(7, r.sr_day);
    EXPECT_EQ(3, r.sr_hour);
    r.sr_day = -1;   // an unselected day list goes out as it is
    ASSERT_EQ(0, cam.Call(&CCgiClient::SetTimerReboot, &r));
    EXPECT_EQ(Expected("cmd=gettimerreboot") + Expected("cmd=settimerreboot&-sr_enable=1&-sr_day=-1&-sr_hour=3"),
              cam.Wire(2));
    EXPECT_TRUE(cgi::FindPage("reboot-timer")->record->Find("sr_clock")->readOnly);
}

TEST(ScheduleWire, SnapshotsWithWeek) {
    Camera cam("var as_snap_interval=30;\r\nvar as_snap_enable=1;\r\nvar week0=\"" + kHalf + "\";\r\nvar week1=\"" +
               kP48 + "\";\r\n");
    SnapTimerAttr s{};
    ASSERT_EQ(0, cam.Call(&CCgiClient::GetSnapTimerAttr, &s));
    EXPECT_EQ(30, s.as_snap_interval);
    EXPECT_EQ(1, s.as_snap_enable);
    EXPECT_EQ(kHalf, s.week[0]);
    EXPECT_EQ(kP48, s.week[1]);
    cgi::FillWeek(s.week, true);
    s.as_snap_interval = -5;   // not checked
    ASSERT_EQ(0, cam.Call(&CCgiClient::SetSnapTimerAttr, &s));
    const std::string days[7] = {kP48, kP48, kP48, kP48, kP48, kP48, kP48};
    EXPECT_EQ(Expected("cmd=getsnaptimerattrex&cmd=getscheduleex&-ename=snap") +
                  Expected("cmd=setsnaptimerattrex&-as_interval=-5&-as_type=snap&-as_enable=1"
                           "&cmd=setscheduleex&-ename=snap" +
                           WeekQuery(days)),
              cam.Wire(2));
}

TEST(ScheduleWire, PlannedRecordingWithWeek) {
    Camera cam("var planrec_enable=1;\r\nvar planrec_chn=12;\r\nvar planrec_time=600;\r\nvar week5=\"" + kHalf +
               "\";\r\n");
    PlanRecAttr p{};
    ASSERT_EQ(0, cam.Call(&CCgiClient::GetPlanRecAttr, &p));
    EXPECT_EQ(12, p.planrec_chn);
    EXPECT_EQ(600, p.planrec_time);
    EXPECT_EQ(kHalf, p.week[5]);
    cgi::FillWeek(p.week, false);
    std::memcpy(p.week[5], kHalf.data(), 48);
    p.planrec_chn = 11;
    ASSERT_EQ(0, cam.Call(&CCgiClient::SetPlanRecAttr, &p));
    const std::string days[7] = {kN48, kN48, kN48, kN48, kN48, kHalf, kN48};
    EXPECT_EQ(Expected("cmd=getplanrecattr&cmd=getscheduleex&-ename=plan") +
                  Expected("cmd=setplanrecattr&-planrec_enable=1&-planrec_chn=11&-planrec_time=600"
                           "&cmd=setscheduleex&-ename=plan" +
                           WeekQuery(days)),
              cam.Wire(2));
    p.week[0][0] = '\0';
    EXPECT_NE(nullptr, cgi::FindPage("planrec")->validate(&p, {}));
}

// ---- camera user ------------------------------------------------------------------------------

TEST(UserWire, AccountTextsAreEncoded) {
    Camera cam;
    UserAttr u{};
    Put(u.username, "admin");
    Put(u.newname, "new user&x");
    Put(u.password, "p@ss=w rd/\xC3\xA9");
    ASSERT_EQ(0, cam.Call(&CCgiClient::SetUserAttr, &u));
    EXPECT_EQ(Expected("cmd=setuserattr&-at_username=admin&-at_newname=new+user%26x&-at_password=p@ss%3Dw+rd%2F%C3%A9"),
              cam.Wire(1));
}

TEST(UserRules, ChecksInOrder) {
    const std::string p63(63, 'a'), p64(64, 'a');
    const std::string cjk = "\xE4\xB8\xAD";   // U+4E2D
    EXPECT_STREQ("Incorrect user name!", cgi::CheckUserInput("", "", ""));
    EXPECT_STREQ("User name cannot be Chinese!", cgi::CheckUserInput("ad" + cjk, "", ""));
    EXPECT_STREQ("User name length exceeds 63!", cgi::CheckUserInput(p64, "", ""));
    EXPECT_STREQ("Password cannot be empty!", cgi::CheckUserInput(p63, "", ""));
    EXPECT_STREQ("Password length exceeds 63!", cgi::CheckUserInput("admin", p64, p64));
    EXPECT_EQ(nullptr, cgi::CheckUserInput("admin", p63, p63));
    EXPECT_EQ(nullptr, cgi::CheckUserInput("admin", "short12", "short12"));   // the 8-63 hint is not enforced
    EXPECT_STREQ("Password cannot be Chinese!", cgi::CheckUserInput("admin", "pw" + cjk, "pw" + cjk));
    EXPECT_STREQ("The two passwords are different!", cgi::CheckUserInput("admin", "Secret", "secret"));
    // Accented letters and characters just outside the range are not Chinese.
    EXPECT_EQ(nullptr, cgi::CheckUserInput("jos\xC3\xA9", "\xE4\xB7\xBF\xE9\xBF\x90", "\xE4\xB7\xBF\xE9\xBF\x90"));
    EXPECT_STREQ("Password cannot be Chinese!",
                 cgi::CheckUserInput("admin", "\xE9\xBE\x8F", "\xE9\xBE\x8F"));   // U+9F8F
    // 40 accented letters are 80 bytes: they would not fit the 63-byte field.
    std::string accents;
    for (int i = 0; i < 40; ++i) accents += "\xC3\xA9";
    EXPECT_STREQ("Password length exceeds 63!", cgi::CheckUserInput("admin", accents, accents));
    EXPECT_STREQ("User name length exceeds 63!", cgi::CheckUserInput(accents, "x", "x"));
}
