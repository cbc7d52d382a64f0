// The PTZ and RS-485 pages against the emulated camera: tracking rows by what
// the camera reports, what the writes carry, and the cleared states.
#include <QComboBox>
#include <QLineEdit>

#include "gui/pages/ChoiceGroup.h"
#include "gui/pages/advanced/P_Ptz485Dlg.h"
#include "gui/pages/advanced/P_PtzDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

template <class Page>
class AdvancedPageTest : public kytest::PageTest {
protected:
    void SetUp() override {
        kytest::PageTest::SetUp();
        page = std::make_unique<Page>();
    }
    void TearDown() override {
        page.reset();
        kytest::PageTest::TearDown();
    }
    QStringList ApplyMessages() {
        presenter.Clear();
        Apply(*page);
        return presenter.texts;
    }
    // The param.cgi queries the camera got since the last call.
    std::string Sent() { return EmuControl("requests?clear=1"); }

    std::unique_ptr<Page> page;
};

using PtzPageTest = AdvancedPageTest<CP_PtzDlg>;
using Ptz485PageTest = AdvancedPageTest<CP_Ptz485Dlg>;

TEST_F(PtzPageTest, TrackingRowsFollowWhatTheCameraReports) {
    struct Case {
        const char* flag;
        const char* mode;
        bool tracking, zoom;
        int zoomChoice;
    } cases[] = {
        {"1", "0", true, true, 0},    {"1", "1", true, true, 1},
        {"1", "2", true, false, 1},                                 // only the zoom row goes
        {"0", "0", false, false, -1}, {"", "", false, false, -1},   // not reported
    };
    EmuSet("smartrack_enable", "1");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.flag) + "/" + c.mode);
        EmuSet("smartrack_flag", c.flag);
        EmuSet("smartrack_mode", c.mode);
        Refresh(*page);
        EXPECT_EQ(!page->TrackingRow()->isHidden(), c.tracking);
        EXPECT_EQ(page->TrackingRow()->isEnabled(), c.tracking);
        EXPECT_EQ(!page->ZoomRow()->isHidden(), c.zoom);
        EXPECT_EQ(page->Tracking()->Choice(), c.tracking ? 0 : -1);
        if (c.zoom) {
            EXPECT_EQ(page->ZoomTracking()->Choice(), c.zoomChoice);
        }
    }
}

TEST_F(PtzPageTest, ShowsAndWritesTheMotorSettings) {
    EmuSet("panscan", "7");
    EmuSet("movehome", "off");
    EmuSet("ptzalarmmask", "ON");
    EmuSet("light_enable", "0");
    Refresh(*page);
    EXPECT_EQ(page->LapsEdit()->text(), "7");
    EXPECT_EQ(page->Centre()->Choice(), 1);
    EXPECT_EQ(page->AlarmMove()->Choice(), 0);
    EXPECT_EQ(page->Light()->Choice(), 1);

    page->LapsEdit()->setText("99");   // not range-checked
    page->Centre()->Choose(0);
    page->AlarmMove()->Choose(1);
    page->Light()->Choose(0);
    page->Tracking()->Choose(0);
    page->ZoomTracking()->Choose(1);
    Sent();
    EXPECT_EQ(ApplyMessages(), QStringList{"Parameter setting succeeded!"});
    EXPECT_EQ(Sent(),
              "cmd=setmotorattr&-tiltscan=99&-tiltspeed=0&-panscan=99&-panspeed=0&-movehome=on&-ptzalarmmask=off"
              "&cmd=setsmartrackattr&-smartrack_enable=1&-smartrack_mode=1&cmd=setlightattr&-light_enable=on");
    Refresh(*page);
    EXPECT_EQ(page->LapsEdit()->text(), "99");
    EXPECT_EQ(page->Light()->Choice(), 0);
}

TEST_F(PtzPageTest, HiddenTrackingRowsWriteZero) {
    // Without tracking, and with a mode the page has no row for.
    for (const char* flag : {"", "1"}) {
        SCOPED_TRACE(flag);
        EmuSet("smartrack_flag", flag);
        EmuSet("smartrack_enable", flag[0] ? "1" : "");
        EmuSet("smartrack_mode", flag[0] ? "2" : "");
        Refresh(*page);
        Apply(*page);
        EXPECT_EQ(EmuGet("smartrack_mode"), "0");
        EXPECT_EQ(EmuGet("smartrack_enable"), flag[0] ? "1" : "0");
    }
}

TEST_F(PtzPageTest, FailureAndNoCameraResetTheControlsSilently) {
    Refresh(*page);
    Fault("no-200");
    EXPECT_TRUE(ApplyMessages().isEmpty());
    EXPECT_EQ(page->LapsEdit()->text(), "1");
    EXPECT_EQ(page->Centre()->Choice(), -1);
    Fault("none");
    Refresh(*page);
    camera.loggedIn = false;
    page->LapsEdit()->setText("5");
    Sent();
    EXPECT_TRUE(ApplyMessages().isEmpty());
    EXPECT_EQ(page->LapsEdit()->text(), "1");
    EXPECT_EQ(page->Light()->Choice(), -1);
    EXPECT_EQ(Sent(), "");
}

TEST_F(Ptz485PageTest, ShowsWhatTheListsHold) {
    struct Case {
        const char* baud;
        const char* speed;
        const char* databit;
        int baudIndex, speedIndex, dataIndex;
    } cases[] = {
        {"57600", "63", "7", 6, 63, 0},
        {"1200", "0", "8", 0, 0, 1},
        {"115200", "64", "9", -1, -1, -1},   // not an entry: no selection
    };
    EmuSet("protocal", "1");
    EmuSet("address", "12");
    EmuSet("check", "2");
    EmuSet("stopbit", "2");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.baud);
        EmuSet("baud", c.baud);
        EmuSet("speed", c.speed);
        EmuSet("databit", c.databit);
        Refresh(*page);
        EXPECT_EQ(page->BaudList()->currentIndex(), c.baudIndex);
        EXPECT_EQ(page->SpeedList()->currentIndex(), c.speedIndex);
        EXPECT_EQ(page->DataBitList()->currentIndex(), c.dataIndex);
    }
    EXPECT_EQ(page->AddressEdit()->text(), "12");
    EXPECT_EQ(page->ProtocolList()->currentText(), "PELCO-P");
    EXPECT_EQ(page->ParityList()->currentText(), "Even");
    EXPECT_EQ(page->StopBitList()->currentText(), "2");
}

TEST_F(Ptz485PageTest, ApplyWritesTheChoicesAndFailureClears) {
    Refresh(*page);
    page->AddressEdit()->setText("200");
    page->ProtocolList()->setCurrentIndex(1);
    page->SpeedList()->setCurrentIndex(40);
    page->BaudList()->setCurrentIndex(5);
    page->DataBitList()->setCurrentIndex(0);
    page->StopBitList()->setCurrentIndex(1);
    page->ParityList()->setCurrentIndex(1);
    Sent();
    EXPECT_EQ(ApplyMessages(), QStringList{"Parameter setting succeeded!"});
    EXPECT_EQ(Sent(),
              "cmd=setptzcomattr&-protocal=1&-address=200&-speed=40&-baud=38400&-databit=7&-stopbit=2&-check=1");

    Fault("no-200");
    EXPECT_TRUE(ApplyMessages().isEmpty());
    EXPECT_EQ(page->AddressEdit()->text(), "");
    EXPECT_EQ(page->BaudList()->currentIndex(), -1);
    Fault("none");
    camera.loggedIn = false;
    Refresh(*page);
    EXPECT_EQ(page->ProtocolList()->currentIndex(), -1);
}

}   // namespace
