// The time page against the emulated camera: zones shown, Apply with and
// without a zone change, and the PC synchronisation in summer and winter.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
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

class TimePageTest : public kytest::PageTest {
protected:
    void SetUp() override {
        PageTest::SetUp();
        const char* tz = std::getenv("TZ");
        hadTz = tz != nullptr;
        if (tz) savedTz = tz;
    }
    void TearDown() override {
        if (hadTz)
            setenv("TZ", savedTz.c_str(), 1);
        else
            unsetenv("TZ");
        PageTest::TearDown();
    }
    bool hadTz = false;
    std::string savedTz;
};

TEST_F(TimePageTest, ShowsZoneTimeAndDaylightSaving) {
    appDir.WriteLang("lang_chn.dat", "[P_NTP_DLG]\nAsia/Hong_Kong=香港\n");
    FixedClockNtpDlg page;
    struct Case {
        const char *zone, *dst, *time;
        int row;
        const char* shown;
        bool dstVisible, dstChecked;
        const char* deviceTime;
    };
    const Case cases[] = {
        {"Asia/hong_kong", "off", "2024.02.30.10.00.00", 56, "GMT+08:00 香港", false, false, "2024-02-30 10:00:00"},
        {"America/St_Johns", "on", "20211102195327", 18, "GMT-03:30 America/St_Johns", true, true,
         "2021-11-02 19:53:27"},
        {"Europe/Dublin", "off", "2024.01.01.00.00.00", 25, "GMT 00:00 Europe/Dublin", true, false,
         "2024-01-01 00:00:00"},
        {"Mars/Olympus", "off", "2024.01.01.00.00.00", 73, "GMT+13:00 Pacific/Tongatapu", false, false,
         "2024-01-01 00:00:00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zone);
        EmuSet("timeZone", c.zone);
        EmuSet("dstmode", c.dst);
        EmuSet("time", c.time);
        Refresh(page);
        EXPECT_EQ(c.row, page.ZoneList()->currentIndex());
        EXPECT_EQ(QString::fromUtf8(c.shown), page.ZoneList()->currentText());
        EXPECT_EQ(c.dstVisible, !page.DstBox()->isHidden());
        EXPECT_EQ(c.dstChecked, page.DstBox()->isChecked());
        EXPECT_EQ(c.deviceTime, page.DeviceTime()->text());
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
    EXPECT_EQ(13, page.ZoneList()->currentIndex());

    presenter.Clear();
    page.ServerBox()->setEditText("   ");
    Apply(page);
    EXPECT_EQ(QStringList{"NTP server address cannot be empty!"}, presenter.texts);
}

TEST_F(TimePageTest, SyncTakesThePcZoneWithDaylightSaving) {
    FixedClockNtpDlg page;
    constexpr std::time_t kSummer = 1719835200;   // 2024-07-01 12:00:00 UTC
    constexpr std::time_t kWinter = 1705320000;   // 2024-01-15 12:00:00 UTC
    struct Case {
        const char* tz;
        std::time_t utc;
        const char *time, *zone, *dst;
    };
    const Case cases[] = {
        {"Europe/Amsterdam", kSummer, "2024.07.01.14.00.00", "Europe/Amsterdam", "on"},
        {"Europe/Amsterdam", kWinter, "2024.01.15.13.00.00", "Europe/Amsterdam", "on"},
        {"Asia/Kolkata", kWinter, "2024.01.15.17.30.00", "Asia/Calcutta", "off"},
    };
    EmuSet("time", "2020.01.01.00.00.00");   // a fixed clock shows exactly what was sent
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tz) + " " + c.time);
        setenv("TZ", c.tz, 1);
        page.now = c.utc;
        presenter.Clear();
        page.OnSyncWithPc();
        EXPECT_TRUE(WaitIdle(page));
        EXPECT_EQ(QStringList{"PC time synchronization succeeded!"}, presenter.texts);
        EXPECT_EQ(c.time, EmuGet("time"));
        EXPECT_EQ(c.zone, EmuGet("timeZone"));
        EXPECT_EQ(c.dst, EmuGet("dstmode"));
        EXPECT_EQ(QString::fromLatin1(c.zone), page.ZoneList()->currentText().section(' ', 1));
    }

    // No row of the table has UTC+14: nothing is sent.
    setenv("TZ", "Pacific/Kiritimati", 1);
    presenter.Clear();
    page.OnSyncWithPc();
    EXPECT_TRUE(WaitIdle(page));
    EXPECT_EQ(QStringList{"The time zone of this PC is not in the camera's list!"}, presenter.texts);
    EXPECT_EQ("Asia/Calcutta", EmuGet("timeZone"));
}

}   // namespace
