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

// Day 0..7 and hour 0..23 are the lists' limits; beyond them Apply refuses
// and nothing is sent.
TEST_F(TaskPagesTest, RestartTimerShowsAndRefusesValuesOutsideItsLists) {
    CP_RebootDlg page;
    const char* ok = "Timed restart setting succeeded!";
    for (auto [day, hour, dayPos, hourPos, message] : {std::tuple{"7", "3", 7, 3, ok},
                                                       {"0", "23", 0, 23, ok},
                                                       {"9", "3", -1, 3, "Please select the restart day!"},
                                                       {"2", "24", 2, -1, "Please select the restart time!"}}) {
        SCOPED_TRACE(std::string(day) + " " + hour);
        EmuSet({{"sr_enable", "1"}, {"sr_day", day}, {"sr_hour", hour}});
        Refresh(page);
        EXPECT_TRUE(page.OnButton()->isChecked());
        EXPECT_EQ(std::pair(page.DayList()->currentIndex(), page.HourList()->currentIndex()),
                  std::pair(dayPos, hourPos));
        page.OffButton()->setChecked(true);
        EXPECT_EQ(ApplyMessage(page), message);
        const char* enable = message == ok ? "0" : "1";
        EXPECT_EQ(EmuAwait("sr_enable", enable), enable);
        EXPECT_EQ(EmuGet("sr_day"), day);
    }
}

// Read, written back unchanged: the same texts arrive.
TEST_F(TaskPagesTest, SnapshotWeekRoundTrip) {
    CP_SnapTDlg page;
    EmuSet({{"as_snap_interval", "30"}, {"snap.week1", kMonday}});
    Refresh(page);
    EXPECT_EQ(page.IntervalEdit()->text(), "30");
    EXPECT_EQ(page.Week()->Text()[1] + page.Week()->Text()[0], QString::fromStdString(kMonday + kN48));
    page.IntervalEdit()->setText("45");
    EXPECT_EQ(ApplyMessage(page), "Parameter setting succeeded!");
    EXPECT_EQ(EmuAwait("as_snap_interval", "45"), "45");
    EXPECT_EQ(EmuGet("snap.week1") + EmuGet("snap.week6"), kMonday + kN48);
    page.findChild<QPushButton*>("weekSelectAll")->click();
    Apply(page);
    for (int d = 0; d < 7; ++d) EXPECT_EQ(EmuAwait("snap.week" + std::to_string(d), kP48), kP48) << d;
}

TEST_F(TaskPagesTest, RecordingAsksFirstAndKeepsItsWeek) {
    CP_RecordDlg page;
    EmuSet({{"planrec_enable", "1"}, {"planrec_time", "600"}});
    for (auto [chn, index] : {std::pair{"12", 1}, {"13", 1}, {"11", 0}}) {
        EmuSet("planrec_chn", chn);
        Refresh(page);
        EXPECT_EQ(page.StreamList()->currentIndex(), index) << chn;
    }
    EXPECT_TRUE(page.OnButton()->isChecked());

    // No: nothing is sent and the controls stay as they are.
    CWeekCtrl::WeekText week = CWeekCtrl::FilledWeek(QLatin1Char('N'));
    week[1] = QString::fromStdString(kMonday);
    page.Week()->SetSchedule(0, week);
    page.OffButton()->setChecked(true);
    presenter.answers = {false, true};
    Apply(page);
    EXPECT_EQ(EmuGet("planrec_enable"), "1");
    EXPECT_TRUE(page.OffButton()->isChecked());
    EXPECT_EQ(page.Week()->Text()[1], QString::fromStdString(kMonday));
    page.StreamList()->setCurrentIndex(1);
    Apply(page);
    EXPECT_EQ(presenter.Last(), "Parameter setting succeeded!");
    EXPECT_EQ(EmuAwait("planrec_enable", "0"), "0");
    EXPECT_EQ(EmuGet("planrec_chn"), "12");
    EXPECT_EQ(EmuGet("plan.week1") + EmuGet("plan.week0"), kMonday + kN48);
}

// Each shows the camera's key, writes the other value, Cancel reads again, a
// failed write resets silently. Cloud's Apply and Cancel are off until a read
// succeeded; a camera without Tmall has nothing to send.
TEST_F(TaskPagesTest, CloudAndTmallSwitches) {
    CP_CloudDlg cloud;
    CP_TMallDlg tmall;
    auto buttonsOn = [](const CSwitchPage& p) { return p.ApplyButton()->isEnabled() + p.CancelButton()->isEnabled(); };
    EXPECT_EQ(buttonsOn(cloud), 0);
    for (auto [page, key] : {std::pair<CSwitchPage*, const char*>{&cloud, "cloud_enable"}, {&tmall, "tmall_enable"}}) {
        SCOPED_TRACE(key);
        EmuSet(key, "1");
        Refresh(*page);
        EXPECT_EQ(buttonsOn(*page), 2);
        page->Switch()->Second()->click();
        EXPECT_EQ(ApplyMessage(*page), "Parameter setting succeeded!");
        EXPECT_EQ(EmuGet(key), "0");
        EmuSet(key, "1");
        page->CancelButton()->click();
        EXPECT_TRUE(WaitIdle(*page));
        EXPECT_EQ(page->Switch()->Checked(), 0);
        Fault("no-200");
        EXPECT_EQ(ApplyMessage(*page), "");
        EXPECT_EQ(page->Switch()->Checked(), -1);
        Fault("none");
    }
    EXPECT_EQ(buttonsOn(cloud), 0);
    tmall.Switch()->Check(1);
    EmuSet("tmall_flag", "0");
    Refresh(tmall);
    EXPECT_EQ(buttonsOn(tmall), 0);
    EXPECT_EQ(tmall.Switch()->Checked(), 1);
}

TEST_F(TaskPagesTest, UserChangeLogsTheLiveViewOutAndOnlyTheNewLoginWorks) {
    // The status of one CGI read with these credentials.
    auto status = [&](const std::string& user, const std::string& password) {
        HttpPage reply;
        CHttpFetch::Get("127.0.0.1", static_cast<uint16_t>(emulator->HttpPort()), user, password,
                        "/cgi-bin/ky7200/param.cgi?cmd=getntpattr", {}, &reply);
        return reply.status;
    };
    CP_UserDlg page;
    Refresh(page);
    EXPECT_EQ(page.NameEdit()->text() + page.PasswordEdit()->text() + page.RetypeEdit()->text(), "adminpwpw");
    for (auto [retype, changed, message] :
         {std::tuple{"N3w Pass!", false, "The two passwords are different!"},
          {"N3w pass!", true, "Password changed successfully, please login again!"}}) {
        page.NameEdit()->setText("inst aller&");
        page.PasswordEdit()->setText("N3w pass!");
        page.RetypeEdit()->setText(retype);
        EXPECT_EQ(ApplyMessage(page), message);
        EXPECT_EQ(status("admin", kPassword), changed ? 401 : 200);
        EXPECT_EQ(status("inst aller&", "N3w pass!"), changed ? 200 : 401);
        EXPECT_EQ(camera.disconnects, changed);
        EXPECT_EQ(camera.IsLoggedIn(), !changed);
    }
}

}   // namespace
