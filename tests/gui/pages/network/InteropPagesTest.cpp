// The ONVIF and GB28181 pages against the emulated camera: shown values,
// what Apply writes, the switch showing and hiding the settings, resets.
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include "gui/pages/network/P_28181Dlg.h"
#include "gui/pages/network/P_ONVIFDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

using InteropPagesTest = kytest::PageTest;

bool Hidden(const QList<QWidget*>& ws, bool hidden) {
    return std::all_of(ws.begin(), ws.end(), [&](QWidget* w) { return w->isHidden() == hidden; });
}

// Uniview, port 8080, no radio checked.
bool OnvifReset(const CP_ONVIFDlg& p) {
    return p.NvcType()->currentIndex() == 1 && p.Port()->text() == "8080" && p.Enable()->Checked() == -1 &&
           p.Auth()->Checked() == -1 && p.TimeZone()->Checked() == -1 && p.Image()->Checked() == -1;
}

TEST_F(InteropPagesTest, Onvif) {
    CP_ONVIFDlg page;
    EmuSet("ov_enable", "0");
    EmuSet("ov_authflag", "0");
    EmuSet("ov_forbitset", "2");
    Refresh(page);
    EXPECT_EQ(page.Enable()->Checked(), 1);
    EXPECT_EQ(page.Auth()->Checked(), 1);
    EXPECT_EQ(page.TimeZone()->Checked(), 0);
    EXPECT_EQ(page.Image()->Checked(), 1);
    EXPECT_EQ(page.NvcType()->currentText(), "Normal");
    EXPECT_TRUE(Hidden(page.Switched(), false));   // a read shows or hides nothing

    // Each Allow/Prohibit combination; a pair with nothing checked prohibits.
    for (auto [zone, image, sent] : {std::tuple{0, 0, "0"}, {1, 0, "1"}, {0, 1, "2"}, {1, 1, "3"}, {-1, 0, "1"}}) {
        page.TimeZone()->Check(zone);
        page.Image()->Check(image);
        Apply(page);
        EXPECT_EQ(EmuGet("ov_forbitset"), sent);
    }
    // The port may equal the web port here.
    page.Enable()->Check(0);
    page.Port()->setText(QString::number(emulator->HttpPort()));
    Apply(page);
    EXPECT_EQ(presenter.texts.size(), 6);
    EXPECT_EQ(presenter.Last(), "Parameter setting succeeded!");
    EXPECT_EQ(EmuGet("ov_enable") + EmuGet("ov_port"), "1" + std::to_string(emulator->HttpPort()));

    // Values beyond the list or the two bits leave the controls unselected or as they were.
    EmuSet("ov_forbitset", "5");
    EmuSet("ov_nvctype", "7");
    page.TimeZone()->Check(1);
    Refresh(page);
    EXPECT_EQ(page.TimeZone()->Checked(), 1);
    EXPECT_EQ(page.NvcType()->currentIndex(), -1);
    page.Enable()->Second()->click();
    EXPECT_TRUE(Hidden(page.Switched(), true));

    // A failed write or read and no camera reset the page, silently.
    Fault("no-200");
    presenter.Clear();
    Apply(page);
    EXPECT_TRUE(OnvifReset(page));
    page.Auth()->Check(0);
    Refresh(page);
    EXPECT_TRUE(OnvifReset(page));
    Fault("none");
    Refresh(page);
    camera.loggedIn = false;
    Refresh(page);
    EXPECT_TRUE(OnvifReset(page));
    EXPECT_TRUE(presenter.texts.isEmpty());
}

const int kGbIds[] = {1131, 1132, 1133, 1134, 1135, 1002, 1137, 1138, 1139, 1140};

QStringList GbTexts(const CP_28181Dlg& p) {
    QStringList out;
    for (int id : kGbIds) out << p.Field(id)->text();
    return out;
}
const QStringList kGbDefaults{"", "", "5060", "", "5060", "97531086", "", "60", "3", "3600"};

TEST_F(InteropPagesTest, Gb28181) {
    CP_28181Dlg page;
    EXPECT_EQ(GbTexts(page), kGbDefaults);
    EmuSet("gb_enable", "1");
    EmuSet("gb_regtime", "-5");
    Refresh(page);
    EXPECT_EQ(page.Enable()->Checked(), 0);
    EXPECT_TRUE(Hidden(page.Switched(), false));
    EXPECT_EQ(GbTexts(page), (QStringList{"34020000002000000001", "192.168.1.100", "5060", "34020000001320000001",
                                          "5060", "12345678", "34020000001340000001", "60", "3", "-5"}));

    // Texts the camera would decode arrive as typed; a word in a number field is 0.
    const char* texts[] = {"a+b", "100%25 & more", "x=y#z", "Stra\u00dfe \u5317\u4eac", " lead"};
    const char* keys[] = {"gb_svrid", "gb_svrip", "gb_devid", "gb_devpwd", "gb_alarmid"};
    const int ids[] = {1131, 1132, 1134, 1002, 1137};
    for (int i = 0; i < 5; ++i) page.Field(ids[i])->setText(QString::fromUtf8(texts[i]));
    page.Field(1133)->setText("port");
    page.Enable()->Second()->click();
    EXPECT_TRUE(Hidden(page.Switched(), true));
    Apply(page);
    EXPECT_EQ(presenter.Last(), "Parameter setting succeeded!");
    for (int i = 0; i < 5; ++i) EXPECT_EQ(EmuGet(keys[i]), texts[i]);
    EXPECT_EQ(EmuGet("gb_enable") + EmuGet("gb_svrport"), "00");

    // Cancel hides and resets the fields but keeps the switch.
    page.Enable()->First()->click();
    page.OnCancel();
    EXPECT_TRUE(Hidden(page.Switched(), true));
    EXPECT_EQ(page.Enable()->Checked(), 0);
    EXPECT_EQ(GbTexts(page), kGbDefaults);

    // A failed write resets and says so; a failed read resets silently.
    Refresh(page);
    Fault("error");
    Apply(page);
    EXPECT_EQ(presenter.Last(), "Parameter setting failed!");
    EXPECT_EQ(page.Enable()->Checked(), -1);
    EXPECT_TRUE(Hidden(page.Switched(), true));
    EXPECT_EQ(GbTexts(page), kGbDefaults);
    presenter.Clear();
    page.Enable()->First()->click();
    Refresh(page);
    EXPECT_TRUE(Hidden(page.Switched(), true));
    Fault("none");

    // Without a camera "On" shows the fields but keeps nothing chosen.
    camera.loggedIn = false;
    page.Field(1131)->setText("X");
    page.Enable()->First()->click();
    EXPECT_EQ(page.Enable()->Checked(), -1);
    EXPECT_TRUE(Hidden(page.Switched(), false));
    EXPECT_EQ(GbTexts(page), kGbDefaults);
    Apply(page);
    EXPECT_TRUE(Hidden(page.Switched(), true));
    EXPECT_TRUE(presenter.texts.isEmpty());
}

}   // namespace
