// The PTZ and RS-485 pages against the emulated camera: tracking rows by what
// the camera reports, what the writes carry, and the cleared states.
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
    const struct {
        const char *flag, *mode;
        bool tracking, zoom;
        const char* sent;
    } cases[] = {
        {"1", "0", true, true, "-smartrack_enable=1&-smartrack_mode=0"},
        {"1", "1", true, true, "-smartrack_enable=1&-smartrack_mode=1"},
        {"1", "2", true, false, "-smartrack_enable=1&-smartrack_mode=0"},   // only the zoom row goes
        {"0", "1", false, false, "-smartrack_enable=0&-smartrack_mode=0"},
        {"", "", false, false, "-smartrack_enable=0&-smartrack_mode=0"},   // not reported
    };
    EmuSet("smartrack_enable", "1");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.flag) + "/" + c.mode);
        EmuSet("smartrack_flag", c.flag);
        EmuSet("smartrack_mode", c.mode);
        Refresh(*page);
        EXPECT_EQ(!page->TrackingRow()->isHidden(), c.tracking);
        EXPECT_EQ(!page->ZoomRow()->isHidden(), c.zoom);
        EXPECT_EQ(page->Tracking()->Choice(), c.tracking ? 0 : -1);
        Sent();
        Apply(*page);
        EXPECT_NE(Sent().find(c.sent), std::string::npos);
    }
}

TEST_F(PtzPageTest, ShowsAndWritesTheMotorSettings) {
    for (const auto& [key, value] :
         {std::pair{"panscan", "7"}, {"movehome", "off"}, {"ptzalarmmask", "ON"}, {"light_enable", "0"}})
        EmuSet(key, value);
    Refresh(*page);
    EXPECT_EQ(page->LapsEdit()->text(), "7");
    EXPECT_EQ(page->Centre()->Choice(), 1);
    EXPECT_EQ(page->AlarmMove()->Choice(), 0);
    EXPECT_EQ(page->Light()->Choice(), 1);

    page->LapsEdit()->setText("99");   // not range-checked
    page->Centre()->Choose(0);
    page->AlarmMove()->Choose(1);
    page->Light()->Choose(0);
    page->ZoomTracking()->Choose(1);
    Sent();
    EXPECT_EQ(ApplyMessages(), QStringList{"Parameter setting succeeded!"});
    EXPECT_EQ(Sent(),
              "cmd=setmotorattr&-tiltscan=99&-tiltspeed=0&-panscan=99&-panspeed=0&-movehome=on&-ptzalarmmask=off"
              "&cmd=setsmartrackattr&-smartrack_enable=0&-smartrack_mode=1&cmd=setlightattr&-light_enable=on");

    // A failed write, or no camera, resets the page silently.
    for (bool loggedIn : {true, false}) {
        Fault(loggedIn ? "no-200" : "none");
        camera.loggedIn = loggedIn;
        EXPECT_TRUE(ApplyMessages().isEmpty());
        EXPECT_EQ(page->LapsEdit()->text(), "1");
        EXPECT_EQ(page->Light()->Choice(), -1);
    }
}

TEST_F(Ptz485PageTest, ShowsWhatTheListsHold) {
    const struct {
        const char *baud, *speed, *databit;
        int baudIndex, speedIndex, dataIndex;
    } cases[] = {
        {"57600", "63", "7", 6, 63, 0}, {"115200", "64", "9", -1, -1, -1},   // not an entry: no selection
    };
    for (const auto& [key, value] : {std::pair{"protocal", "1"}, {"address", "12"}, {"check", "2"}, {"stopbit", "2"}})
        EmuSet(key, value);
    for (const auto& c : cases) {
        EmuSet("baud", c.baud);
        EmuSet("speed", c.speed);
        EmuSet("databit", c.databit);
        Refresh(*page);
        EXPECT_EQ(page->BaudList()->currentIndex(), c.baudIndex) << c.baud;
        EXPECT_EQ(page->SpeedList()->currentIndex(), c.speedIndex) << c.baud;
        EXPECT_EQ(page->DataBitList()->currentIndex(), c.dataIndex) << c.baud;
    }
    EXPECT_EQ(page->AddressEdit()->text(), "12");
    EXPECT_EQ(page->ParityList()->currentText(), "Even");
}

TEST_F(Ptz485PageTest, ApplyWritesTheChoicesAndFailureClears) {
    Refresh(*page);
    page->AddressEdit()->setText("200");
    page->SpeedList()->setCurrentIndex(40);
    page->BaudList()->setCurrentIndex(5);
    page->DataBitList()->setCurrentIndex(0);
    page->ParityList()->setCurrentIndex(1);
    Sent();
    EXPECT_EQ(ApplyMessages(), QStringList{"Parameter setting succeeded!"});
    EXPECT_EQ(Sent(),
              "cmd=setptzcomattr&-protocal=0&-address=200&-speed=40&-baud=38400&-databit=7&-stopbit=1&-check=1");

    Fault("no-200");
    EXPECT_TRUE(ApplyMessages().isEmpty());
    EXPECT_EQ(page->AddressEdit()->text(), "");
    EXPECT_EQ(page->BaudList()->currentIndex(), -1);
}

}   // namespace
