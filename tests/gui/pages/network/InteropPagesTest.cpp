// The ONVIF and GB28181 pages against the emulated camera: shown values,
// what Apply writes, the switch showing and hiding the settings, resets.
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include "gui/pages/network/P_28181Dlg.h"
#include "gui/pages/network/P_ONVIFDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

bool AllHidden(const QList<QWidget*>& ws, bool hidden) {
    for (QWidget* w : ws)
        if (w->isHidden() != hidden) return false;
    return true;
}

class OnvifPageTest : public kytest::PageTest {
protected:
    void SetUp() override {
        kytest::PageTest::SetUp();
        page = std::make_unique<CP_ONVIFDlg>();
    }
    void TearDown() override {
        page.reset();
        kytest::PageTest::TearDown();
    }
    // The page's reset state: Uniview, port 8080, no radio checked.
    void ExpectReset() {
        EXPECT_EQ(page->NvcType()->currentIndex(), 1);
        EXPECT_EQ(page->Port()->text(), "8080");
        for (CRadioPair* p : {page->Enable(), page->Auth(), page->TimeZone(), page->Image()})
            EXPECT_EQ(p->Checked(), -1);
    }
    std::unique_ptr<CP_ONVIFDlg> page;
};

TEST_F(OnvifPageTest, ShowsAndWritesTheCameraValues) {
    EmuSet("ov_enable", "0");
    EmuSet("ov_port", "8999");
    EmuSet("ov_authflag", "0");
    EmuSet("ov_forbitset", "2");
    Refresh(*page);
    EXPECT_EQ(page->Enable()->Checked(), 1);
    EXPECT_EQ(page->Port()->text(), "8999");
    EXPECT_EQ(page->Auth()->Checked(), 1);
    EXPECT_EQ(page->TimeZone()->Checked(), 0);
    EXPECT_EQ(page->Image()->Checked(), 1);
    EXPECT_EQ(page->NvcType()->currentText(), "Normal");
    // The read does not hide the settings of a switched-off service.
    EXPECT_TRUE(AllHidden(page->Switched(), false));

    // Each Allow/Prohibit combination; a pair with nothing checked prohibits.
    struct Case {
        int zone, image, forbitset;
    };
    for (const Case& c : {Case{0, 0, 0}, Case{1, 0, 1}, Case{0, 1, 2}, Case{1, 1, 3}, Case{-1, 0, 1}, Case{0, -1, 2}}) {
        SCOPED_TRACE(c.forbitset);
        page->TimeZone()->Check(c.zone);
        page->Image()->Check(c.image);
        presenter.Clear();
        Apply(*page);
        EXPECT_EQ(presenter.Last(), "Parameter setting succeeded!");
        EXPECT_EQ(EmuGet("ov_forbitset"), std::to_string(c.forbitset));
    }
    // Nothing is checked: the port may equal the web port here.
    page->Enable()->Check(0);
    page->Auth()->Check(0);
    page->Port()->setText(QString::number(emulator->HttpPort()));
    page->NvcType()->setCurrentIndex(1);
    Apply(*page);
    EXPECT_EQ(EmuGet("ov_enable"), "1");
    EXPECT_EQ(EmuGet("ov_authflag"), "1");
    EXPECT_EQ(EmuGet("ov_port"), std::to_string(emulator->HttpPort()));
    EXPECT_EQ(EmuGet("ov_nvctype"), "1");
}

TEST_F(OnvifPageTest, UnknownValuesSwitchingAndResets) {
    Refresh(*page);
    page->TimeZone()->Check(1);
    EmuSet("ov_forbitset", "5");
    EmuSet("ov_nvctype", "7");
    Refresh(*page);
    EXPECT_EQ(page->TimeZone()->Checked(), 1);   // left as it was
    EXPECT_EQ(page->NvcType()->currentIndex(), -1);

    page->Enable()->Second()->click();
    EXPECT_TRUE(AllHidden(page->Switched(), true));
    EXPECT_EQ(page->Switched().size(), 13);
    page->Enable()->First()->click();
    EXPECT_TRUE(AllHidden(page->Switched(), false));

    // A failed write resets the page without a message; so does a failed read.
    Fault("no-200");
    presenter.Clear();
    Apply(*page);
    ExpectReset();
    EXPECT_TRUE(presenter.texts.isEmpty());
    page->Auth()->Check(0);
    Refresh(*page);
    ExpectReset();
    Fault("none");
    Refresh(*page);
    camera.loggedIn = false;
    Refresh(*page);
    ExpectReset();
    EXPECT_TRUE(presenter.texts.isEmpty());
}

class GbPageTest : public kytest::PageTest {
protected:
    void SetUp() override {
        kytest::PageTest::SetUp();
        page = std::make_unique<CP_28181Dlg>();
    }
    void TearDown() override {
        page.reset();
        kytest::PageTest::TearDown();
    }
    QString F(int id) const { return page->Field(id)->text(); }
    void ExpectDefaults() {
        const QStringList want{"", "", "5060", "", "5060", "97531086", "", "60", "3", "3600"};
        int i = 0;
        for (int id : {1131, 1132, 1133, 1134, 1135, 1002, 1137, 1138, 1139, 1140}) EXPECT_EQ(F(id), want[i++]) << id;
    }
    std::unique_ptr<CP_28181Dlg> page;
};

TEST_F(GbPageTest, ShowsWritesAndSwitches) {
    ExpectDefaults();
    EmuSet("gb_enable", "1");
    EmuSet("gb_regtime", "-5");
    Refresh(*page);
    EXPECT_EQ(page->Enable()->Checked(), 0);
    EXPECT_TRUE(AllHidden(page->Switched(), false));
    EXPECT_EQ(page->Switched().size(), 20);
    EXPECT_EQ(F(1131), "34020000002000000001");
    EXPECT_EQ(F(1132), "192.168.1.100");
    EXPECT_EQ(F(1002), "12345678");
    EXPECT_EQ(F(1140), "-5");

    page->Field(1132)->setText("10.0.0.9");
    page->Field(1133)->setText("port");   // not a number: sent as 0
    page->Field(1137)->setText("ALARM-2");
    page->Field(1139)->setText("7");
    page->Enable()->Second()->click();
    EXPECT_TRUE(AllHidden(page->Switched(), true));
    Apply(*page);
    EXPECT_EQ(presenter.Last(), "Parameter setting succeeded!");
    EXPECT_EQ(EmuGet("gb_enable"), "0");
    EXPECT_EQ(EmuGet("gb_svrip"), "10.0.0.9");
    EXPECT_EQ(EmuGet("gb_svrport"), "0");
    EXPECT_EQ(EmuGet("gb_alarmid"), "ALARM-2");
    EXPECT_EQ(EmuGet("gb_heartcount"), "7");
    EXPECT_EQ(EmuGet("gb_devpwd"), "12345678");
    Refresh(*page);
    EXPECT_TRUE(AllHidden(page->Switched(), true));

    // Cancel hides and resets the fields but keeps the switch.
    page->Enable()->First()->click();
    page->OnCancel();
    EXPECT_TRUE(AllHidden(page->Switched(), true));
    EXPECT_EQ(page->Enable()->Checked(), 0);
    ExpectDefaults();
}

TEST_F(GbPageTest, TextsReachTheCameraAsTyped) {
    Refresh(*page);
    const char* texts[] = {"a+b", "100%25 & more", "x=y#z", "Stra\u00dfe \u5317\u4eac", " lead"};
    const int ids[] = {1131, 1132, 1134, 1002, 1137};
    const char* keys[] = {"gb_svrid", "gb_svrip", "gb_devid", "gb_devpwd", "gb_alarmid"};
    for (int i = 0; i < 5; ++i) page->Field(ids[i])->setText(QString::fromUtf8(texts[i]));
    Apply(*page);
    EXPECT_EQ(presenter.Last(), "Parameter setting succeeded!");
    for (int i = 0; i < 5; ++i) EXPECT_EQ(EmuGet(keys[i]), texts[i]);
    page->Field(1131)->clear();
    Refresh(*page);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(page->Field(ids[i])->text(), QString::fromUtf8(texts[i]));
}

TEST_F(GbPageTest, FailuresAndNoCamera) {
    Refresh(*page);
    page->Field(1131)->setText("X");
    Fault("error");
    Apply(*page);
    EXPECT_EQ(presenter.Last(), "Parameter setting failed!");
    EXPECT_EQ(page->Enable()->Checked(), -1);
    EXPECT_TRUE(AllHidden(page->Switched(), true));
    ExpectDefaults();

    // A failed read resets silently.
    presenter.Clear();
    page->Enable()->First()->click();
    Refresh(*page);
    EXPECT_TRUE(presenter.texts.isEmpty());
    EXPECT_TRUE(AllHidden(page->Switched(), true));
    Fault("none");

    // Without a camera "On" shows the fields but keeps nothing chosen.
    camera.loggedIn = false;
    page->Field(1131)->setText("X");
    page->Enable()->First()->click();
    EXPECT_EQ(page->Enable()->Checked(), -1);
    EXPECT_TRUE(AllHidden(page->Switched(), false));
    ExpectDefaults();
    Apply(*page);
    EXPECT_TRUE(AllHidden(page->Switched(), true));
    EXPECT_TRUE(presenter.texts.isEmpty());
}

}   // namespace
