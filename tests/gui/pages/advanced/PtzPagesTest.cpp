// The PTZ and RS-485 pages: tracking rows by what the camera reports, what
// the writes carry, and values outside the lists.
#include <QComboBox>
#include <QLineEdit>

#include "gui/pages/ChoiceGroup.h"
#include "gui/pages/advanced/P_Ptz485Dlg.h"
#include "gui/pages/advanced/P_PtzDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

using PtzPageTest = kytest::PageFixture<CP_PtzDlg>;
using Ptz485PageTest = kytest::PageFixture<CP_Ptz485Dlg>;

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
        EXPECT_EQ(!page->TrackingRow()->isHidden(), tracking);
        EXPECT_EQ(!page->ZoomRow()->isHidden(), zoom);
        EXPECT_EQ(page->Tracking()->Choice(), tracking ? 0 : -1);
        Sent();
        Apply(*page);
        EXPECT_NE(Sent().find(sent), std::string::npos);
    }
}

TEST_F(PtzPageTest, ShowsAndWritesTheMotorSettings) {
    EmuSet({{"panscan", "7"}, {"movehome", "off"}, {"ptzalarmmask", "ON"}, {"light_enable", "0"}});
    Refresh(*page);
    EXPECT_EQ(page->LapsEdit()->text(), "7");
    EXPECT_EQ((std::vector{page->Centre()->Choice(), page->AlarmMove()->Choice(), page->Light()->Choice()}),
              (std::vector{1, 0, 1}));

    page->LapsEdit()->setText("99");   // not range-checked
    page->Centre()->Choose(0);
    page->AlarmMove()->Choose(1);
    page->Light()->Choose(0);
    page->ZoomTracking()->Choose(1);
    Sent();
    EXPECT_EQ(ApplyMessage(), "Parameter setting succeeded!");
    EXPECT_EQ(Sent(),
              "cmd=setmotorattr&-tiltscan=99&-tiltspeed=0&-panscan=99&-panspeed=0&-movehome=on&-ptzalarmmask=off"
              "&cmd=setsmartrackattr&-smartrack_enable=0&-smartrack_mode=1&cmd=setlightattr&-light_enable=on");
}

TEST_F(Ptz485PageTest, ShowsWhatTheListsHoldAndWritesTheChoices) {
    EmuSet({{"protocal", "1"}, {"address", "12"}, {"check", "2"}, {"stopbit", "2"}});
    // Values that are no entry leave no selection.
    for (auto [baud, speed, databit, indexes] :
         {std::tuple{"57600", "63", "7", std::vector{6, 63, 0}}, {"115200", "64", "9", std::vector{-1, -1, -1}}}) {
        EmuSet({{"baud", baud}, {"speed", speed}, {"databit", databit}});
        Refresh(*page);
        EXPECT_EQ((std::vector{page->BaudList()->currentIndex(), page->SpeedList()->currentIndex(),
                               page->DataBitList()->currentIndex()}),
                  indexes);
    }
    EXPECT_EQ(page->AddressEdit()->text() + page->ParityList()->currentText(), "12Even");

    page->AddressEdit()->setText("200");
    page->SpeedList()->setCurrentIndex(40);
    page->BaudList()->setCurrentIndex(5);
    page->DataBitList()->setCurrentIndex(0);
    page->ParityList()->setCurrentIndex(1);
    Sent();
    EXPECT_EQ(ApplyMessage(), "Parameter setting succeeded!");
    EXPECT_EQ(Sent(),
              "cmd=setptzcomattr&-protocal=1&-address=200&-speed=40&-baud=38400&-databit=7&-stopbit=2&-check=1");
}

}   // namespace
