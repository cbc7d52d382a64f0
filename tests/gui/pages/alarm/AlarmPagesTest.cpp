// The alarm pages against the emulated camera: humanoid, audio alarm,
// linkage, schedule, and motion detection with its live preview.

#include "gui/controls/WeekCtrl.h"
#include "gui/live/PlayWnd.h"
#include "gui/pages/PageControls.h"
#include "gui/pages/alarm/P_AudioWarnDlg.h"
#include "gui/pages/alarm/P_HSRDlg.h"
#include "gui/pages/alarm/P_LinkDlg.h"
#include "gui/pages/alarm/P_MDDlg.h"
#include "gui/pages/alarm/P_TimeWarnDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

using namespace kytest;

using AlarmPagesTest = PageTest;

TEST_F(AlarmPagesTest, HumanoidShowsChecksAndWrites) {
    EmuSetAll("smd_enable=1 smd_gthresh=77 md_alarm_type=on");
    CP_HSRDlg page;
    Refresh(page);
    EXPECT_EQ(States({page.Recognition()->First(), page.Framing()->Second(), page.Threshold()}),
              (QStringList{"on", "on", "77"}));
    EXPECT_TRUE(page.Trigger()->currentIndex() == 1 && page.Trigger()->isEnabled());

    // The edit filter: more than three characters, a lone zero, a letter.
    for (auto [typed, kept] : {std::pair{"1234", "123"}, {"0", ""}, {"4a", "4"}}) {
        page.Threshold()->setText(typed);
        EXPECT_EQ(page.Threshold()->text(), kept) << typed;
    }
    page.Threshold()->setText("101");
    EXPECT_EQ(ApplyMessage(page), "Wrong sensitivity range!");
    EXPECT_EQ(EmuGet("smd_gthresh"), "77");

    page.Recognition()->Second()->click();
    EXPECT_FALSE(page.Trigger()->isEnabled());
    Set(page.Framing()->First(), "on", page.Threshold(), "100", page.Trigger(), "#0");
    EXPECT_EQ(ApplyMessage(page), kOk);
    ExpectEmu("smd_enable=0 smd_rect=1 smd_gthresh=100 md_alarm_type=off");

    Fault("no-200");
    EXPECT_EQ(ApplyMessage(page), "");
    EXPECT_EQ(States({page.Threshold(), page.Recognition()->First(), page.Recognition()->Second(), page.Trigger()}),
              (QStringList{"100", "off", "on", "Separate trigger"}));
    EXPECT_TRUE(page.ErrorLine().startsWith("Writing the settings to "));
}

TEST_F(AlarmPagesTest, AudioAlarmChecksTheVolumeOnlyWhileOn) {
    EmuSetAll("aa_enable=1 aa_value=30");
    CP_AudioWarnDlg page;
    Refresh(page);
    EXPECT_TRUE(page.Alarm()->First()->isChecked() && page.VolumeShown());
    EXPECT_EQ(page.Volume()->text(), "30");
    page.Volume()->setText("0");   // the filter empties a lone 0
    EXPECT_EQ(ApplyMessage(page), "Volume range 1~100");
    EXPECT_EQ(EmuGet("aa_value"), "30");

    // Off hides the row; an empty volume is then sent as 0.
    page.Alarm()->Second()->click();
    EXPECT_FALSE(page.VolumeShown());
    page.Volume()->clear();
    EXPECT_EQ(ApplyMessage(page), kOk);
    ExpectEmu("aa_enable=0 aa_value=0");
    page.Alarm()->First()->click();
    EXPECT_TRUE(page.VolumeShown());
    Fault("no-200");
    Refresh(page);
    EXPECT_FALSE(page.VolumeShown() || page.Alarm()->First()->isChecked());
}

TEST_F(AlarmPagesTest, LinkageShowsListsAndAlwaysSendsRelayOffAndOnePicture) {
    EmuSetAll(
        "md_snap_switch=on md_sound_switch=on md_relay_switch=on alarmpresetindex=3 sound_type=2 sound_time=15 "
        "snap_count=2");
    CP_LinkDlg page;
    Refresh(page);
    // 15 s and 2 pictures are not offered.
    EXPECT_EQ(States({page.SavePicture(), page.Sound(), page.SaveVideo(), page.PresetList(), page.SoundType(),
                      page.Duration(), page.CaptureNumber()}),
              (QStringList{"on", "on", "off", "3", "Custom", "", ""}));
    EXPECT_FALSE(page.CaptureNumber()->isEnabled());

    Set(page.SaveVideo(), "on", page.SavePicture(), "off");
    EXPECT_EQ(ApplyMessage(page), kOk);
    ExpectEmu(
        "md_snap_switch=off md_record_switch=on md_relay_switch=off md_preset_switch=off md_sound_switch=on "
        "alarmpresetindex=3 sound_type=2 sound_time=5 snap_count=1 relay_time=5");

    // After a failed read nothing is selected; apply then sends the first entries.
    Fault("no-200");
    Refresh(page);
    EXPECT_EQ(States({page.PresetList(), page.SoundType(), page.SaveVideo()}), (QStringList{"", "", "off"}));
    Fault("none");
    EXPECT_EQ(ApplyMessage(page), kOk);
    ExpectEmu("alarmpresetindex=1 sound_type=0");
}

TEST_F(AlarmPagesTest, ScheduleDragsRoundTripThroughTheCamera) {
    // Wednesday arrives with two characters too many.
    EmuSet("md.week3", std::string(48, 'N') + "PP");
    CP_TimeWarnDlg page;
    page.resize(900, 400);
    page.show();
    Refresh(page);
    CWeekCtrl* grid = page.Grid();
    EXPECT_EQ(grid->Text()[3] + grid->Text()[0], QString(48, 'N') + QString(48, 'P'));

    // Monday 08:00 to 09:59 off, then Tuesday 10:00-10:59 off too.
    for (auto [day, from, to] : {std::tuple{1, 16, 19}, {2, 20, 21}})
        Drag(*grid, grid->CellRect(day, from).center(), grid->CellRect(day, to).center());
    const std::string monday = std::string(16, 'P') + "NNNN" + std::string(28, 'P');
    const std::string tuesday = std::string(20, 'P') + "NN" + std::string(26, 'P');
    EXPECT_EQ(ApplyMessage(page), kOk);
    ExpectEmu("md.week1=" + monday + " md.week2=" + tuesday + " md.week3=" + std::string(48, 'N'));
    Refresh(page);
    EXPECT_EQ(grid->Text()[2].toStdString(), tuesday);

    Fault("no-200");
    EXPECT_EQ(ApplyMessage(page), "");
    EXPECT_EQ(grid->Text()[2].toStdString(), tuesday);
    EXPECT_TRUE(page.ErrorLine().startsWith("Writing the settings to "));
}

class MotionPageTest : public PageTest {
protected:
    MotionPageTest() { withRtsp = true; }
    // Shown at a view size, read, and the picture there with the areas drawn.
    std::unique_ptr<CP_MDDlg> Open(QSize view) {
        auto page = std::make_unique<CP_MDDlg>();
        page->View()->setFixedSize(view);
        page->resize(view.width() + 400, view.height() + 100);
        page->show();
        Refresh(*page);
        EXPECT_TRUE(PumpUntil([&] { return page->PictureReady(); })) << "no picture";
        return page;
    }
};

// Bars beside the picture, then above and below it (scales 2 and 4/3): the
// area is moved by its middle, then its lower right corner pulled in; a drag
// past the picture's edge stops there.
TEST_F(MotionPageTest, DragsBecomeTheAreaAtAnyViewSize) {
    for (const QSize view : {QSize(800, 360), QSize(960, 700)}) {
        EmuSetAll("sdk.md.1.x=320 sdk.md.1.y=180 sdk.md.1.w=640 sdk.md.1.h=360");
        auto page = Open(view);
        ASSERT_TRUE(page->PreviewOpen() && page->Window(0)->isChecked());
        EXPECT_EQ(page->SensitivityText(0)->text(), "50");
        DragOnPicture(*page->View(), {640, 360}, {420, 230});
        DragOnPicture(*page->View(), {740, 410}, {300, 200});
        const MdArea& a = page->EditedAreas()[0];
        EXPECT_EQ(QRect(a.x, a.y, a.w, a.h), QRect(100, 50, 200, 150)) << view.width();
        EXPECT_EQ(ApplyMessage(*page), "");
        ExpectEmu("sdk.md.1.x=100 sdk.md.1.y=50 sdk.md.1.w=200 sdk.md.1.h=150");
        DragOnPicture(*page->View(), {200, 124}, {1400, 900});
        EXPECT_EQ(QPoint(a.x + a.w, a.y + a.h), QPoint(1280, 720));
    }
}

TEST_F(MotionPageTest, SwitchAndSensitivityAreWrittenAndThePreviewEndsWithThePage) {
    auto page = Open(QSize(640, 360));
    EXPECT_TRUE(RtspClients("1"));
    page->Window(0)->click();
    page->Sensitivity(1)->setValue(77);
    EXPECT_EQ(page->SensitivityText(1)->text(), "77");
    Apply(*page);
    ExpectEmu("sdk.md.1.enable=0 sdk.md.2.sensitivity=77");

    page->StopPreview();
    EXPECT_FALSE(page->PreviewOpen());
    EXPECT_TRUE(RtspClients("0"));
    EXPECT_EQ(ApplyMessage(*page), "No connection!");
    // Without a preview a window box does not stay ticked.
    page->Window(2)->click();
    EXPECT_FALSE(page->Window(2)->isChecked());

    // Showing the page again reads it anew; leaving it ends the preview.
    Refresh(*page);
    ASSERT_TRUE(RtspClients("1"));
    page->hide();
    EXPECT_TRUE(RtspClients("0"));
}

TEST_F(MotionPageTest, FailedLoginAndLoggedOutLeaveThePageEmpty) {
    auto page = Open(QSize(640, 360));
    ASSERT_TRUE(page->Window(0)->isChecked());
    camera.loggedIn = false;
    page->RefreshFromDevice();
    EXPECT_FALSE(page->PreviewOpen() || page->Window(0)->isChecked());
    EXPECT_EQ(page->SensitivityText(0)->text(), "0");
    EXPECT_EQ(page->Sensitivity(0)->value(), 1);

    camera.loggedIn = true;
    std::strcpy(camera.device.password, "wrong");
    Refresh(*page);
    EXPECT_EQ(presenter.texts, QStringList{"Login device failed!"});
    EXPECT_FALSE(page->PreviewOpen());
}

}   // namespace
