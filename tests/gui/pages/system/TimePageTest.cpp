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
    for (auto [zone, dst, time, shown, dstShown, deviceTime] :
         {std::tuple{"Asia/hong_kong", "off", "2024.02.30.10.00.00", "GMT+08:00 香港", "", "2024-02-30 10:00:00"},
          {"America/St_Johns", "on", "20211102195327", "GMT-03:30 America/St_Johns", "on", "2021-11-02 19:53:27"},
          {"Europe/Dublin", "off", "2024.01.01.00.00.00", "GMT 00:00 Europe/Dublin", "off", "2024-01-01 00:00:00"},
          {"Mars/Olympus", "off", "2024.01.01.00.00.00", "GMT+13:00 Pacific/Tongatapu", "", "2024-01-01 00:00:00"}}) {
        SCOPED_TRACE(zone);
        EmuSetAll(std::string("timeZone=") + zone + " dstmode=" + dst + " time=" + time);
        Refresh(page);
        EXPECT_EQ(page.ZoneList()->currentText(), QString::fromUtf8(shown));
        EXPECT_EQ(page.DstBox()->isHidden() ? "" : page.DstBox()->isChecked() ? "on" : "off", std::string(dstShown));
        EXPECT_EQ(page.DeviceTime()->text(), deviceTime);
    }
    // Picking a zone without daylight saving hides and clears the box.
    page.ZoneList()->setCurrentIndex(56);
    page.OnZoneChosen();
    EXPECT_TRUE(page.DstBox()->isHidden());
    EXPECT_FALSE(page.DstBox()->isChecked());
}

// The NTP write goes first; the zone is written only when changed, and a
// failed zone write says nothing and puts the camera's zone back.
TEST_F(TimePageTest, ApplyWritesTheZoneOnlyWhenChangedAndRestoresItOnFailure) {
    FixedClockNtpDlg page;
    EmuSetAll("timeZone=Europe/Amsterdam dstmode=on");
    Refresh(page);
    EmuSet("emu.fail_cmd", "setservertime");
    page.IntervalList()->setCurrentIndex(5);
    EXPECT_EQ(ApplyMessage(page), "Parameter setting succeeded!");
    EXPECT_EQ(EmuGet("ntpinterval"), "6");

    page.ZoneList()->setCurrentIndex(13);
    page.ServerBox()->setEditText("  time.nist.gov ");
    EXPECT_EQ(ApplyMessage(page), "");
    EXPECT_EQ(EmuGet("ntpserver") + " " + EmuGet("timeZone"), "time.nist.gov Europe/Amsterdam");
    EXPECT_EQ(page.ZoneList()->currentIndex(), 27);
    EXPECT_TRUE(page.DstBox()->isChecked());

    EmuSet("emu.fail_cmd", "");
    page.ZoneList()->setCurrentIndex(13);
    page.DstBox()->setChecked(false);
    EXPECT_EQ(ApplyMessage(page), "Parameter setting succeeded!");
    EXPECT_EQ(EmuGet("timeZone") + " " + EmuGet("dstmode"), "America/New_York off");
    page.ServerBox()->setEditText("   ");
    EXPECT_EQ(ApplyMessage(page), "NTP server address cannot be empty!");
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
        EXPECT_EQ(presenter.texts, QStringList{message});
        EXPECT_EQ(EmuGet("time") + " " + EmuGet("timeZone") + " " + EmuGet("dstmode"),
                  std::string(time) + " " + zone + " " + dst);
        EXPECT_EQ(page.ZoneList()->currentText().section(' ', 1), zone);
    }
    unsetenv("TZ");   // the tests run with TZ unset
}

}   // namespace
