// The advanced pages against the emulated camera: PTZ, RS-485, the video
// shade with its live preview, the restart timer, timed snapshots, planned
// recording, the cloud and Tmall switches, and the camera user.

#include "core/cgi/HttpFetch.h"
#include "gui/controls/WeekCtrl.h"
#include "gui/live/PlayWnd.h"
#include "gui/pages/ChoiceGroup.h"
#include "gui/pages/advanced/P_CloudDlg.h"
#include "gui/pages/advanced/P_CoverVideoDlg.h"
#include "gui/pages/advanced/P_Ptz485Dlg.h"
#include "gui/pages/advanced/P_PtzDlg.h"
#include "gui/pages/advanced/P_RebootDlg.h"
#include "gui/pages/advanced/P_RecordDlg.h"
#include "gui/pages/advanced/P_SnapTDlg.h"
#include "gui/pages/advanced/P_TMallDlg.h"
#include "gui/pages/advanced/P_UserDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

using namespace kytest;

using PtzPageTest = PageFixture<CP_PtzDlg>;
using Ptz485PageTest = PageFixture<CP_Ptz485Dlg>;

// The rows the camera's tracking keys give, and what Apply then sends for
// tracking switch and mode (the camera reports the switch on).
TEST_F(PtzPageTest, TrackingRowsFollowTheCameraAndHiddenRowsWriteZero) {
    EmuSet("smartrack_enable", "1");
    for (auto [flag, mode, tracking, zoom, sent] :
         {std::tuple{"1", "0", true, true, "-smartrack_enable=1&-smartrack_mode=0"},
          {"1", "1", true, true, "-smartrack_enable=1&-smartrack_mode=1"},
          {"1", "2", true, false, "-smartrack_enable=1&-smartrack_mode=0"},   // only the zoom row goes
          {"0", "1", false, false, "-smartrack_enable=0&-smartrack_mode=0"},
          {"", "", false, false, "-smartrack_enable=0&-smartrack_mode=0"}}) {   // not reported
        SCOPED_TRACE(std::string(flag) + "/" + mode);
        EmuSet({{"smartrack_flag", flag}, {"smartrack_mode", mode}});
        Refresh(*page);
        EXPECT_EQ(std::pair(!page->TrackingRow()->isHidden(), !page->ZoomRow()->isHidden()), std::pair(tracking, zoom));
        EXPECT_EQ(page->Tracking()->Choice(), tracking ? 0 : -1);
        Sent();
        Apply(*page);
        EXPECT_NE(Sent().find(sent), std::string::npos);
    }
}

// The laps are not range-checked.
TEST_F(PtzPageTest, ShowsAndWritesTheMotorSettings) {
    EmuSet({{"panscan", "7"}, {"movehome", "off"}, {"ptzalarmmask", "ON"}, {"light_enable", "0"}});
    Refresh(*page);
    EXPECT_EQ(States({page->LapsEdit(), page->Centre(), page->AlarmMove(), page->Light()}),
              (QStringList{"7", "1", "0", "1"}));
    Set(page->LapsEdit(), "99", page->Centre(), "0", page->AlarmMove(), "1", page->Light(), "0", page->ZoomTracking(),
        "1");
    Sent();
    EXPECT_EQ(ApplyMessage(), kOk);
    EXPECT_EQ(Sent(),
              "cmd=setmotorattr&-tiltscan=99&-tiltspeed=0&-panscan=99&-panspeed=0&-movehome=on&-ptzalarmmask=off"
              "&cmd=setsmartrackattr&-smartrack_enable=0&-smartrack_mode=1&cmd=setlightattr&-light_enable=on");
}

TEST_F(Ptz485PageTest, ShowsWhatTheListsHoldAndWritesTheChoices) {
    EmuSet({{"protocal", "1"}, {"address", "12"}, {"check", "2"}, {"stopbit", "2"}});
    // Values that are no entry leave no selection.
    for (auto [baud, speed, databit, shown] :
         {std::tuple{"57600", "63", "7", "57600 63 7"}, {"115200", "64", "9", "  "}}) {
        EmuSet({{"baud", baud}, {"speed", speed}, {"databit", databit}});
        Refresh(*page);
        EXPECT_EQ(States({page->BaudList(), page->SpeedList(), page->DataBitList()}).join(" "), shown);
    }
    EXPECT_EQ(States({page->AddressEdit(), page->ParityList()}), (QStringList{"12", "Even"}));
    Set(page->AddressEdit(), "200", page->SpeedList(), "#40", page->BaudList(), "#5", page->DataBitList(), "#0",
        page->ParityList(), "#1");
    Sent();
    EXPECT_EQ(ApplyMessage(), kOk);
    EXPECT_EQ(Sent(),
              "cmd=setptzcomattr&-protocal=1&-address=200&-speed=40&-baud=38400&-databit=7&-stopbit=2&-check=1");
}

class CoverPageTest : public PageTest {
protected:
    CoverPageTest() { withRtsp = true; }
    static constexpr const char* kFields[] = {"show", "color", "x", "y", "w", "h"};
    static std::string Key(const char* field, int n) { return "cover." + std::string(field) + "_" + std::to_string(n); }
    std::string Region(int n) {
        std::string out;
        for (const char* f : kFields) out += (out.empty() ? "" : ",") + EmuGet(Key(f, n));
        return out;
    }
    void SetRegion(int n, const std::string& show, const std::string& color) {
        const std::string values[] = {show, color, "320", "180", "640", "360"};
        for (int i = 0; i < 6; ++i) EmuSet(Key(kFields[i], n), values[i]);
    }
};

// Region 2 is hidden: a drag over it changes nothing until ticked; region 3
// ticked off is not grabbed either.
TEST_F(CoverPageTest, TickedRegionIsDraggedAndWrittenBlack) {
    SetRegion(2, "0", "ff0000");
    SetRegion(3, "1", "00ff00");
    CP_CoverVideoDlg page;
    page.View()->setFixedSize(800, 360);
    page.resize(1100, 460);
    page.show();
    Refresh(page);
    ASSERT_TRUE(PumpUntil([&] { return page.PictureReady(); }));
    EXPECT_EQ(States({page.Window(1), page.Window(2)}), (QStringList{"off", "on"}));
    page.Window(2)->click();
    DragOnPicture(*page.View(), {640, 360}, {420, 230});
    EXPECT_EQ(page.Regions().x[1], 320);
    page.Window(1)->click();
    DragOnPicture(*page.View(), {640, 360}, {420, 230});
    DragOnPicture(*page.View(), {740, 410}, {300, 200});
    EXPECT_EQ(ApplyMessage(page), kOk);
    EXPECT_EQ(Region(2), "1,000000,100,50,200,150");
    EXPECT_EQ(Region(3), "0,000000,320,180,640,360");
}

TEST_F(CoverPageTest, NoDeviceRecordClearsAndEndsThePreview) {
    SetRegion(1, "1", "000000");
    CP_CoverVideoDlg page;
    Refresh(page);
    ASSERT_TRUE(page.Window(0)->isChecked() && page.PreviewOpen());
    capabilityValid = false;
    Refresh(page);
    EXPECT_FALSE(page.Window(0)->isChecked() || page.PreviewOpen());
    EXPECT_TRUE(RtspClients("0"));
}

using TaskPagesTest = PageTest;

const std::string kP48(48, 'P'), kN48(48, 'N');
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
    EXPECT_EQ(ApplyMessage(page), kOk);
    EXPECT_EQ(EmuAwait("as_snap_interval", "45"), "45");
    EXPECT_EQ(EmuGet("snap.week1") + EmuGet("snap.week6"), kMonday + kN48);
    page.findChild<QPushButton*>("weekSelectAll")->click();
    Apply(page);
    for (int d = 0; d < 7; ++d) EXPECT_EQ(EmuAwait("snap.week" + std::to_string(d), kP48), kP48) << d;
}

TEST_F(TaskPagesTest, RecordingAsksFirstAndKeepsItsWeek) {
    CP_RecordDlg page;
    EmuSet({{"planrec_enable", "1"}, {"planrec_time", "600"}, {"plan.week1", kMonday}});
    for (auto [chn, index] : {std::pair{"12", 1}, {"13", 1}, {"11", 0}}) {
        EmuSet("planrec_chn", chn);
        Refresh(page);
        EXPECT_EQ(page.StreamList()->currentIndex(), index) << chn;
    }
    EXPECT_TRUE(page.OnButton()->isChecked());

    // No: nothing is sent and the controls stay as they are; Yes sends the
    // week as shown.
    EmuSet("plan.week1", kN48);
    page.OffButton()->setChecked(true);
    presenter.answers = {false, true};
    Apply(page);
    EXPECT_EQ(EmuGet("planrec_enable"), "1");
    EXPECT_TRUE(page.OffButton()->isChecked());
    EXPECT_EQ(page.Week()->Text()[1], QString::fromStdString(kMonday));
    page.StreamList()->setCurrentIndex(1);
    Apply(page);
    EXPECT_EQ(presenter.Last(), kOk);
    EXPECT_EQ(EmuAwait("planrec_enable", "0"), "0");
    EXPECT_EQ(EmuGet("planrec_chn"), "12");
    EXPECT_EQ(EmuGet("plan.week1") + EmuGet("plan.week0"), kMonday + kP48);
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
        EXPECT_EQ(ApplyMessage(*page), kOk);
        EXPECT_EQ(EmuGet(key), "0");
        EmuSet(key, "1");
        page->CancelButton()->click();
        EXPECT_TRUE(WaitIdle(*page));
        EXPECT_EQ(page->Switch()->Checked(), 0);
        Fault("no-200");
        EXPECT_EQ(ApplyMessage(*page), "");
        EXPECT_EQ(page->Switch()->Checked(), 0);
        EXPECT_TRUE(page->ErrorLine().startsWith("Writing the settings to "));
        Fault("none");
    }
    EXPECT_EQ(buttonsOn(cloud), 2);
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
        Set(page.NameEdit(), "inst aller&", page.PasswordEdit(), "N3w pass!", page.RetypeEdit(), retype);
        EXPECT_EQ(ApplyMessage(page), message);
        EXPECT_EQ(status("admin", kPassword), changed ? 401 : 200);
        EXPECT_EQ(status("inst aller&", "N3w pass!"), changed ? 200 : 401);
        EXPECT_EQ(camera.disconnects, changed);
    }
}

}   // namespace
