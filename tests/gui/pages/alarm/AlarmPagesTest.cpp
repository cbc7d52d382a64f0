// The humanoid, audio alarm, linkage and schedule pages against the emulated
// camera: what they show, their checks and messages, what reaches the camera,
// and the page a failed exchange leaves.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include "gui/controls/WeekCtrl.h"
#include "gui/pages/alarm/OnOffPair.h"
#include "gui/pages/alarm/P_AudioWarnDlg.h"
#include "gui/pages/alarm/P_HSRDlg.h"
#include "gui/pages/alarm/P_LinkDlg.h"
#include "gui/pages/alarm/P_TimeWarnDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

using AlarmPagesTest = kytest::PageTest;
const char* kOk = "Parameter setting succeeded!";

TEST_F(AlarmPagesTest, HumanoidShowsChecksAndWrites) {
    EmuSetAll("smd_enable=1 smd_gthresh=77 md_alarm_type=on");
    CP_HSRDlg page;
    Refresh(page);
    EXPECT_TRUE(page.Recognition()->On()->isChecked() && page.Framing()->Off()->isChecked());
    EXPECT_EQ(page.Threshold()->text(), "77");
    EXPECT_EQ(page.Trigger()->currentIndex(), 1);
    EXPECT_TRUE(page.Trigger()->isEnabled());

    // The edit filter: more than three characters, a lone zero, a letter.
    for (auto [typed, kept] : {std::pair{"1234", "123"}, {"0", ""}, {"4a", "4"}}) {
        page.Threshold()->setText(typed);
        EXPECT_EQ(page.Threshold()->text(), kept) << typed;
    }
    for (const char* bad : {"", "101"}) {
        page.Threshold()->setText(bad);
        EXPECT_EQ(ApplyMessage(page), "Wrong sensitivity range!") << bad;
    }
    EXPECT_EQ(EmuGet("smd_gthresh"), "77");

    page.Recognition()->Off()->click();
    EXPECT_FALSE(page.Trigger()->isEnabled());
    page.Framing()->On()->click();
    page.Threshold()->setText("100");
    page.Trigger()->setCurrentIndex(0);
    EXPECT_EQ(ApplyMessage(page), kOk);
    ExpectEmu("smd_enable=0 smd_rect=1 smd_gthresh=100 md_alarm_type=off");

    Fault("no-200");
    EXPECT_EQ(ApplyMessage(page), "");
    EXPECT_TRUE(page.Threshold()->text().isEmpty());
    EXPECT_FALSE(page.Recognition()->On()->isChecked() || page.Recognition()->Off()->isChecked());
    EXPECT_EQ(page.Trigger()->currentIndex(), -1);
}

TEST_F(AlarmPagesTest, AudioAlarmChecksTheVolumeOnlyWhileOn) {
    EmuSetAll("aa_enable=1 aa_value=30");
    CP_AudioWarnDlg page;
    Refresh(page);
    EXPECT_TRUE(page.Alarm()->On()->isChecked() && page.VolumeShown());
    EXPECT_EQ(page.Volume()->text(), "30");
    for (const char* bad : {"0", "101"}) {   // the filter empties a lone 0
        page.Volume()->setText(bad);
        EXPECT_EQ(ApplyMessage(page), "Volume range 1~100") << bad;
    }
    EXPECT_EQ(EmuGet("aa_value"), "30");

    // Off hides the row; an empty volume is then sent as 0.
    page.Alarm()->Off()->click();
    EXPECT_FALSE(page.VolumeShown());
    page.Volume()->clear();
    EXPECT_EQ(ApplyMessage(page), kOk);
    ExpectEmu("aa_enable=0 aa_value=0");
    page.Alarm()->On()->click();
    EXPECT_TRUE(page.VolumeShown());
    Fault("no-200");
    Refresh(page);
    EXPECT_FALSE(page.VolumeShown() || page.Alarm()->On()->isChecked());
}

TEST_F(AlarmPagesTest, LinkageShowsListsAndAlwaysSendsRelayOffAndOnePicture) {
    EmuSetAll(
        "md_snap_switch=on md_sound_switch=on md_relay_switch=on alarmpresetindex=3 sound_type=2 sound_time=15 "
        "snap_count=2");
    CP_LinkDlg page;
    Refresh(page);
    EXPECT_TRUE(page.SavePicture()->isChecked() && page.Sound()->isChecked());
    EXPECT_FALSE(page.SaveVideo()->isChecked());
    EXPECT_EQ(page.PresetList()->currentText() + page.SoundType()->currentText(), "3Custom");
    EXPECT_EQ(page.Duration()->currentIndex(), -1);   // 15 s is not offered
    EXPECT_EQ(page.CaptureNumber()->currentIndex(), -1);
    EXPECT_FALSE(page.CaptureNumber()->isEnabled());

    page.SaveVideo()->setChecked(true);
    page.SavePicture()->setChecked(false);
    EXPECT_EQ(ApplyMessage(page), kOk);
    ExpectEmu(
        "md_snap_switch=off md_record_switch=on md_relay_switch=off md_preset_switch=off md_sound_switch=on "
        "alarmpresetindex=3 sound_type=2 sound_time=5 snap_count=1 relay_time=5");

    // After a failed read nothing is selected; apply then sends the first entries.
    Fault("no-200");
    Refresh(page);
    EXPECT_EQ(page.PresetList()->currentIndex() + page.SoundType()->currentIndex(), -2);
    EXPECT_FALSE(page.SaveVideo()->isChecked());
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
        kytest::Drag(*grid, grid->CellRect(day, from).center(), grid->CellRect(day, to).center());
    const std::string monday = std::string(16, 'P') + "NNNN" + std::string(28, 'P');
    const std::string tuesday = std::string(20, 'P') + "NN" + std::string(26, 'P');
    EXPECT_EQ(ApplyMessage(page), kOk);
    ExpectEmu("md.week1=" + monday + " md.week2=" + tuesday + " md.week3=" + std::string(48, 'N'));
    Refresh(page);
    EXPECT_EQ(grid->Text()[2].toStdString(), tuesday);

    page.OnSelectAll();
    EXPECT_EQ(ApplyMessage(page), kOk);
    for (int d = 0; d < 7; ++d) EXPECT_EQ(EmuGet("md.week" + std::to_string(d)), std::string(48, 'P'));
    Fault("no-200");
    EXPECT_EQ(ApplyMessage(page), "");
    EXPECT_EQ(grid->Text()[0], QString(48, 'N'));
}

}   // namespace
