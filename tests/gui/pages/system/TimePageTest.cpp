// The time page against the emulated camera: zones shown, Apply with and
// without a zone change, and the PC synchronisation in summer and winter.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <cstdlib>

#include "gui/pages/system/P_NTPDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

// The PC's clock stands still at a chosen moment.
class FixedClockNtpDlg : public CP_NTPDLG {
public:
    std::time_t now = 0;

protected:
    std::time_t Now() const override { return now; }
};

using TimePageTest = kytest::PageTest;

TEST_F(TimePageTest, ShowsZoneTimeAndDaylightSaving) {
    appDir.WriteLang("lang_chn.dat", "[P_NTP_DLG]\nAsia/Hong_Kong=香港\n");
    FixedClockNtpDlg page;
    for (auto [zone, dst, time, row, shown, dstVisible, dstChecked, deviceTime] :
         {std::tuple{"Asia/hong_kong", "off", "2024.02.30.10.00.00", 56, "GMT+08:00 香港", false, false,
                     "2024-02-30 10:00:00"},
          {"America/St_Johns", "on", "20211102195327", 18, "GMT-03:30 America/St_Johns", true, true,
           "2021-11-02 19:53:27"},
          {"Europe/Dublin", "off", "2024.01.01.00.00.00", 25, "GMT 00:00 Europe/Dublin", true, false,
           "2024-01-01 00:00:00"},
          {"Mars/Olympus", "off", "2024.01.01.00.00.00", 73, "GMT+13:00 Pacific/Tongatapu", false, false,
           "2024-01-01 00:00:00"}}) {
        SCOPED_TRACE(zone);
        EmuSet("timeZone", zone);
        EmuSet("dstmode", dst);
        EmuSet("time", time);
        Refresh(page);
        EXPECT_EQ(row, page.ZoneList()->currentIndex());
        EXPECT_EQ(QString::fromUtf8(shown), page.ZoneList()->currentText());
        EXPECT_EQ(dstVisible, !page.DstBox()->isHidden());
        EXPECT_EQ(dstChecked, page.DstBox()->isChecked());
        EXPECT_EQ(deviceTime, page.DeviceTime()->text());
    }
    EXPECT_EQ("pool.ntp.org", page.ServerBox()->currentText());
    // Picking a zone without daylight saving hides and clears the box.
    page.ZoneList()->setCurrentIndex(56);
    page.OnZoneChosen();
    EXPECT_TRUE(page.DstBox()->isHidden());
    EXPECT_FALSE(page.DstBox()->isChecked());
}

TEST_F(TimePageTest, ApplyWritesTheZoneOnlyWhenChangedAndRestoresItOnFailure) {
    FixedClockNtpDlg page;
    EmuSet("timeZone", "Europe/Amsterdam");
    EmuSet("dstmode", "on");
    Refresh(page);
    // A zone write would fail: only the NTP write is sent for an interval change.
    EmuSet("emu.fail_cmd", "setservertime");
    page.IntervalList()->setCurrentIndex(5);
    Apply(page);
    EXPECT_EQ(QStringList{"Parameter setting succeeded!"}, presenter.texts);
    EXPECT_EQ("6", EmuGet("ntpinterval"));

    // The zone write fails after the NTP write: no message, the zone stays.
    presenter.Clear();
    page.ZoneList()->setCurrentIndex(13);
    page.ServerBox()->setEditText("  time.nist.gov ");
    Apply(page);
    EXPECT_TRUE(presenter.texts.isEmpty());
    EXPECT_EQ("time.nist.gov", EmuGet("ntpserver"));
    EXPECT_EQ("Europe/Amsterdam", EmuGet("timeZone"));
    EXPECT_EQ(27, page.ZoneList()->currentIndex());
    EXPECT_TRUE(page.DstBox()->isChecked());

    EmuSet("emu.fail_cmd", "");
    page.ZoneList()->setCurrentIndex(13);
    page.DstBox()->setChecked(false);
    Apply(page);
    EXPECT_EQ(QStringList{"Parameter setting succeeded!"}, presenter.texts);
    EXPECT_EQ("America/New_York", EmuGet("timeZone"));
    EXPECT_EQ("off", EmuGet("dstmode"));

    presenter.Clear();
    page.ServerBox()->setEditText("   ");
    Apply(page);
    EXPECT_EQ(QStringList{"NTP server address cannot be empty!"}, presenter.texts);
}

TEST_F(TimePageTest, SyncTakesThePcZoneWithDaylightSavingOrRefuses) {
    FixedClockNtpDlg page;
    constexpr std::time_t kSummer = 1719835200;   // 2024-07-01 12:00:00 UTC
    constexpr std::time_t kWinter = 1705320000;   // 2024-01-15 12:00:00 UTC
    const char* ok = "PC time synchronization succeeded!";
    const auto cases = {
        std::tuple{"Europe/Amsterdam", kSummer, "2024.07.01.14.00.00", "Europe/Amsterdam", "on", ok},
        {"Europe/Amsterdam", kWinter, "2024.01.15.13.00.00", "Europe/Amsterdam", "on", ok},
        {"Asia/Kolkata", kWinter, "2024.01.15.17.30.00", "Asia/Calcutta", "off", ok},
        // No row of the table has UTC+14: nothing is sent.
        {"Pacific/Kiritimati", kWinter, "2024.01.15.17.30.00", "Asia/Calcutta", "off",
         "The time zone of this PC is not in the camera's list!"},
    };
    EmuSet("time", "2020.01.01.00.00.00");   // a fixed clock shows exactly what was sent
    for (auto [tz, utc, time, zone, dst, message] : cases) {
        SCOPED_TRACE(tz);
        setenv("TZ", tz, 1);
        page.now = utc;
        presenter.Clear();
        page.OnSyncWithPc();
        EXPECT_TRUE(WaitIdle(page));
        EXPECT_EQ(QStringList{message}, presenter.texts);
        EXPECT_EQ(time, EmuGet("time"));
        EXPECT_EQ(zone, EmuGet("timeZone"));
        EXPECT_EQ(dst, EmuGet("dstmode"));
        EXPECT_EQ(QString::fromLatin1(zone), page.ZoneList()->currentText().section(' ', 1));
    }
    unsetenv("TZ");   // the tests run with TZ unset
}

}   // namespace
