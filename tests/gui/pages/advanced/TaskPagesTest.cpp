// The restart timer, timed snapshots, planned recording, the cloud and Tmall
// switches, and the camera user (whose change logs the live view out).
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "core/cgi/HttpFetch.h"
#include "gui/controls/WeekCtrl.h"
#include "gui/pages/advanced/P_CloudDlg.h"
#include "gui/pages/advanced/P_RebootDlg.h"
#include "gui/pages/advanced/P_RecordDlg.h"
#include "gui/pages/advanced/P_SnapTDlg.h"
#include "gui/pages/advanced/P_TMallDlg.h"
#include "gui/pages/advanced/P_UserDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

using TaskPagesTest = kytest::PageTest;

const std::string kP48(48, 'P');
const std::string kN48(48, 'N');
// Monday 08:00 to 10:00 and the last half hour armed.
const std::string kMonday = std::string(16, 'N') + "PPPP" + std::string(27, 'N') + "P";

// Day 0..7 and hour 0..23 are the lists' limits; beyond them Apply refuses.
TEST_F(TaskPagesTest, RestartTimerShowsAndRefusesValuesOutsideItsLists) {
    CP_RebootDlg page;
    for (auto [day, hour, dayPos, hourPos, refused] : {std::tuple{"7", "3", 7, 3, static_cast<const char*>(nullptr)},
                                                       {"0", "23", 0, 23, nullptr},
                                                       {"9", "3", -1, 3, "Please select the restart day!"},
                                                       {"2", "24", 2, -1, "Please select the restart time!"}}) {
        SCOPED_TRACE(std::string(day) + " " + hour);
        EmuSet({{"sr_enable", "1"}, {"sr_day", day}, {"sr_hour", hour}});
        Refresh(page);
        EXPECT_TRUE(page.OnButton()->isChecked());
        EXPECT_EQ(std::pair(dayPos, hourPos),
                  std::pair(page.DayList()->currentIndex(), page.HourList()->currentIndex()));
        page.OffButton()->setChecked(true);
        presenter.Clear();
        Apply(page);
        if (refused) {
            EXPECT_EQ(QStringList{refused}, presenter.texts);
            EXPECT_EQ("1", EmuGet("sr_enable"));   // nothing sent
        } else {
            EXPECT_EQ(QStringList{"Timed restart setting succeeded!"}, presenter.texts);
            EXPECT_EQ("0", EmuAwait("sr_enable", "0"));
            EXPECT_EQ(day, EmuGet("sr_day"));
        }
    }
}

TEST_F(TaskPagesTest, SnapshotWeekRoundTrip) {
    CP_SnapTDlg page;
    EmuSet({{"as_snap_interval", "30"}, {"snap.week1", kMonday}});
    Refresh(page);
    EXPECT_EQ("30", page.IntervalEdit()->text());
    EXPECT_EQ(QString::fromStdString(kMonday), page.Week()->Text()[1]);
    EXPECT_EQ(QString::fromStdString(kN48), page.Week()->Text()[0]);

    // Read, written back unchanged: the same texts arrive.
    page.IntervalEdit()->setText("45");
    Apply(page);
    EXPECT_EQ(QStringList{"Parameter setting succeeded!"}, presenter.texts);
    EXPECT_EQ("45", EmuAwait("as_snap_interval", "45"));
    EXPECT_EQ(kMonday + kN48, EmuGet("snap.week1") + EmuGet("snap.week6"));

    page.findChild<QPushButton*>("weekSelectAll")->click();
    Apply(page);
    for (int d = 0; d < 7; ++d) EXPECT_EQ(kP48, EmuAwait("snap.week" + std::to_string(d), kP48)) << d;
}

TEST_F(TaskPagesTest, RecordingAsksFirstAndKeepsItsWeek) {
    CP_RecordDlg page;
    EmuSet({{"planrec_enable", "1"}, {"planrec_time", "600"}});
    for (auto [chn, index] : {std::pair{"12", 1}, {"13", 1}, {"11", 0}}) {
        EmuSet("planrec_chn", chn);
        Refresh(page);
        EXPECT_EQ(index, page.StreamList()->currentIndex()) << chn;
    }
    EXPECT_TRUE(page.OnButton()->isChecked());

    // No: nothing is sent and the controls stay as they are.
    CWeekCtrl::WeekText week = CWeekCtrl::FilledWeek(QLatin1Char('N'));
    week[1] = QString::fromStdString(kMonday);
    page.Week()->SetSchedule(0, week);
    page.OffButton()->setChecked(true);
    presenter.answers = {false};
    Apply(page);
    EXPECT_EQ(1, presenter.texts.size());
    EXPECT_EQ("1", EmuGet("planrec_enable"));
    EXPECT_TRUE(page.OffButton()->isChecked());
    EXPECT_EQ(QString::fromStdString(kMonday), page.Week()->Text()[1]);

    presenter.answers = {true};
    page.StreamList()->setCurrentIndex(1);
    Apply(page);
    EXPECT_EQ("Parameter setting succeeded!", presenter.Last());
    EXPECT_EQ("0", EmuAwait("planrec_enable", "0"));
    EXPECT_EQ("12", EmuGet("planrec_chn"));
    EXPECT_EQ(kMonday + kN48, EmuGet("plan.week1") + EmuGet("plan.week0"));
}

class SwitchPagesTest : public kytest::PageTest {
protected:
    static bool ButtonsOn(const CSwitchPage& p) {
        return p.ApplyButton()->isEnabled() && p.CancelButton()->isEnabled();
    }
    static bool ButtonsOff(const CSwitchPage& p) {
        return !p.ApplyButton()->isEnabled() && !p.CancelButton()->isEnabled();
    }
    // Shows the camera's key, writes the other value, Cancel reads again, a
    // failed write resets silently.
    void RoundTrip(CSwitchPage& page, const std::string& key) {
        EmuSet(key, "1");
        Refresh(page);
        EXPECT_EQ(page.Switch()->Checked(), 0);
        EXPECT_TRUE(ButtonsOn(page));
        page.Switch()->Second()->click();
        Apply(page);
        EXPECT_EQ(presenter.texts, QStringList{"Parameter setting succeeded!"});
        EXPECT_EQ(EmuGet(key), "0");
        EmuSet(key, "1");
        page.CancelButton()->click();
        EXPECT_TRUE(WaitIdle(page));
        EXPECT_EQ(page.Switch()->Checked(), 0);
        Fault("no-200");
        Apply(page);
        EXPECT_EQ(presenter.texts.size(), 1);
        EXPECT_EQ(page.Switch()->Checked(), -1);
        Fault("none");
    }
};

TEST_F(SwitchPagesTest, Cloud) {
    CP_CloudDlg page;
    EXPECT_TRUE(ButtonsOff(page));
    RoundTrip(page, "cloud_enable");
    EXPECT_TRUE(ButtonsOff(page));
    Refresh(page);
    camera.loggedIn = false;
    Refresh(page);
    EXPECT_TRUE(ButtonsOff(page));
}

TEST_F(SwitchPagesTest, Tmall) {
    CP_TMallDlg page;
    RoundTrip(page, "tmall_enable");
    // A camera without Tmall: nothing to send, the switch stays as it was.
    page.Switch()->Check(1);
    EmuSet("tmall_flag", "0");
    Refresh(page);
    EXPECT_TRUE(ButtonsOff(page));
    EXPECT_EQ(page.Switch()->Checked(), 1);
    camera.loggedIn = false;
    Refresh(page);
    EXPECT_EQ(page.Switch()->Checked(), -1);
}

class UserPageTest : public kytest::PageTest {
protected:
    // Status of one CGI read with these credentials.
    int StatusWith(const std::string& user, const std::string& password) {
        HttpPage reply;
        CHttpFetch::Get("127.0.0.1", static_cast<uint16_t>(emulator->HttpPort()), user, password,
                        "/cgi-bin/ky7200/param.cgi?cmd=getntpattr", {}, &reply);
        return reply.status;
    }
    void Type(CP_UserDlg& page, const QString& name, const QString& password, const QString& retype) {
        page.NameEdit()->setText(name);
        page.PasswordEdit()->setText(password);
        page.RetypeEdit()->setText(retype);
    }
};

TEST_F(UserPageTest, ChangeLogsTheLiveViewOutAndOnlyTheNewLoginWorks) {
    CP_UserDlg page;
    Refresh(page);
    EXPECT_EQ(QStringList({"admin", kPassword, kPassword}),
              QStringList({page.NameEdit()->text(), page.PasswordEdit()->text(), page.RetypeEdit()->text()}));

    Type(page, "inst aller&", "N3w pass!", "N3w Pass!");
    Apply(page);
    EXPECT_EQ("The two passwords are different!", presenter.Last());
    EXPECT_EQ(200, StatusWith("admin", kPassword));

    Type(page, "inst aller&", "N3w pass!", "N3w pass!");
    Apply(page);
    EXPECT_EQ("Password changed successfully, please login again!", presenter.Last());
    EXPECT_EQ(1, camera.disconnects);
    EXPECT_FALSE(camera.IsLoggedIn());
    EXPECT_EQ(401, StatusWith("admin", kPassword));
    EXPECT_EQ(200, StatusWith("inst aller&", "N3w pass!"));
}

}   // namespace
