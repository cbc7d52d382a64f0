// The ONVIF, GB28181, P2P and 4G/5G pages: shown values, what Apply writes,
// switches showing and hiding settings; P2P off goes out without a UUID; the
// capability record decides whether the 4G/5G camera is asked at all.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "gui/pages/network/P_28181Dlg.h"
#include "gui/pages/network/P_4GDlg.h"
#include "gui/pages/network/P_ONVIFDlg.h"
#include "gui/pages/network/P_P2PDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

using InteropPagesTest = kytest::PageTest;

bool Hidden(const QList<QWidget*>& ws, bool hidden) {
    return std::all_of(ws.begin(), ws.end(), [&](QWidget* w) { return w->isHidden() == hidden; });
}

TEST_F(InteropPagesTest, Onvif) {
    CP_ONVIFDlg page;
    EmuSet({{"ov_enable", "0"}, {"ov_authflag", "0"}, {"ov_forbitset", "2"}});
    Refresh(page);
    EXPECT_EQ((std::vector{page.Enable()->Checked(), page.Auth()->Checked(), page.TimeZone()->Checked(),
                           page.Image()->Checked()}),
              (std::vector{1, 1, 0, 1}));
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
    EXPECT_EQ(presenter.texts, QStringList(6, "Parameter setting succeeded!"));
    EXPECT_EQ(EmuGet("ov_enable") + EmuGet("ov_port"), "1" + std::to_string(emulator->HttpPort()));

    // Values beyond the list or the two bits leave the controls unselected or as they were.
    EmuSet({{"ov_forbitset", "5"}, {"ov_nvctype", "7"}});
    page.TimeZone()->Check(1);
    Refresh(page);
    EXPECT_EQ(page.TimeZone()->Checked(), 1);
    EXPECT_EQ(page.NvcType()->currentIndex(), -1);
    page.Enable()->Second()->click();
    EXPECT_TRUE(Hidden(page.Switched(), true));
}

QStringList GbTexts(const CP_28181Dlg& p) {
    return kytest::Texts(p, {1131, 1132, 1133, 1134, 1135, 1002, 1137, 1138, 1139, 1140});
}
const QStringList kGbDefaults{"", "", "5060", "", "5060", "97531086", "", "60", "3", "3600"};

TEST_F(InteropPagesTest, Gb28181) {
    CP_28181Dlg page;
    EmuSet({{"gb_enable", "1"}, {"gb_regtime", "-5"}});
    Refresh(page);
    EXPECT_EQ(page.Enable()->Checked(), 0);
    EXPECT_TRUE(Hidden(page.Switched(), false));
    EXPECT_EQ(GbTexts(page), (QStringList{"34020000002000000001", "192.168.1.100", "5060", "34020000001320000001",
                                          "5060", "12345678", "34020000001340000001", "60", "3", "-5"}));

    // Texts the camera would decode arrive as typed; a word in a number field is 0.
    const std::tuple<int, const char*, const char*> typed[] = {{1131, "gb_svrid", "a+b"},
                                                               {1132, "gb_svrip", "100%25 & more"},
                                                               {1134, "gb_devid", "x=y#z"},
                                                               {1002, "gb_devpwd", "Stra\u00dfe \u5317\u4eac"},
                                                               {1137, "gb_alarmid", " lead"}};
    for (const auto& [id, key, text] : typed) page.Field(id)->setText(QString::fromUtf8(text));
    page.Field(1133)->setText("port");
    page.Enable()->Second()->click();
    EXPECT_TRUE(Hidden(page.Switched(), true));
    Apply(page);
    EXPECT_EQ(presenter.Last(), "Parameter setting succeeded!");
    for (const auto& [id, key, text] : typed) EXPECT_EQ(EmuGet(key), text);
    EXPECT_EQ(EmuGet("gb_enable") + EmuGet("gb_svrport"), "00");

    // Cancel hides and resets the fields but keeps the switch.
    page.Enable()->First()->click();
    page.OnCancel();
    EXPECT_TRUE(Hidden(page.Switched(), true));
    EXPECT_EQ(page.Enable()->Checked(), 0);
    EXPECT_EQ(GbTexts(page), kGbDefaults);

    // Without a camera "On" shows the fields but keeps nothing chosen.
    camera.loggedIn = false;
    page.Enable()->Check(-1);
    page.Field(1131)->setText("X");
    page.Enable()->First()->click();
    EXPECT_EQ(page.Enable()->Checked(), -1);
    EXPECT_TRUE(Hidden(page.Switched(), false));
    EXPECT_EQ(GbTexts(page), kGbDefaults);
    Apply(page);
    EXPECT_TRUE(Hidden(page.Switched(), true));
}

using P2pPageTest = kytest::PageFixture<CP_P2PDlg>;

bool UuidShown(const CP_P2PDlg& p) { return !p.Uuid()->isHidden() && !p.UuidLabel()->isHidden(); }

// Switching off needs no UUID and is sent, switching on needs one.
TEST_F(P2pPageTest, FamilyPicksTheCommandsAndOnlyOnNeedsTheUuid) {
    for (auto [family, prefix, uid] : {std::tuple{8, "kyp2p_", "KY-1"}, {0, "xqp2p_", "XQ-1"}, {9, "xqp2p_", ""}}) {
        SCOPED_TRACE(family);
        camera.device.info.family = family;
        const std::string enable = std::string(prefix) + "enable";
        EmuSet({{enable, "1"}, {std::string(prefix) + "uid", uid}});
        Refresh(*page);
        EXPECT_EQ(page->Uuid()->text(), uid);
        EXPECT_EQ(page->Enable()->Checked(), 0);
        EXPECT_TRUE(UuidShown(*page));
        page->Enable()->Second()->click();
        EXPECT_FALSE(UuidShown(*page));
        EXPECT_EQ(ApplyMessage(), "Parameter setting succeeded!");
        EXPECT_EQ(EmuGet(enable), "0");
    }
    page->Enable()->First()->click();
    EXPECT_EQ(ApplyMessage(), "Enable P2P, UUID cannot be empty!");
    EXPECT_EQ(EmuGet("xqp2p_enable"), "0");

    // A failed write resets silently.
    Fault("no-200");
    page->Uuid()->setText("U");
    EXPECT_EQ(ApplyMessage(), "");
    EXPECT_EQ(page->Enable()->Checked(), -1);
    EXPECT_FALSE(UuidShown(*page));
    EXPECT_TRUE(page->Uuid()->text().isEmpty());
}

class CellularPageTest : public kytest::PageFixture<CP_4GDlg> {
protected:
    void Type(int mode, const QString& apn, const QString& user, const QString& password) {
        page->ModeList()->setCurrentIndex(mode);
        for (auto [id, text] : {std::pair{1139, apn}, {1001, user}, {1002, password}}) page->Field(id)->setText(text);
    }
};

TEST_F(CellularPageTest, CameraWithoutModemIsNeverAsked) {
    Fault("drop-first");   // the next connection is dropped: see the end
    page->Field(1139)->setText("typed");
    Refresh(*page);
    EXPECT_TRUE(page->Field(1139)->text().isEmpty());
    EXPECT_EQ(ApplyMessage(), "The device does not support 4g/5g settings!");
    // The drop is still pending, so the page never connected.
    CellularAttr rec{};
    EXPECT_EQ(CCameraPage::Call(CCameraPage::Target(), &CCgiClient::Get4gAttr, &rec), -1);
}

TEST_F(CellularPageTest, ShowsAndWrites) {
    for (auto [g4, g5, title, carrier, shown] :
         {std::tuple{"1", "0", "4G Settings", "chn-unicom", "CHN-UNICOM"},
          {"1", "1", "5G Settings", "China Mobile", "CHINA MOBILE"},
          {"2", "0", "5G Settings", "Vodafone", "Unknown Operator"}}) {   // neither at 1: title kept
        std::strcpy(capability.field[13], g4);
        std::strcpy(capability.field[15], g5);
        EmuSet("g4_carrier", carrier);
        Refresh(*page);
        EXPECT_EQ(page->Title()->text() + "/" + page->Field(1136)->text(), QString(title) + "/" + shown);
    }
    EXPECT_EQ(kytest::Texts(*page, {1131, 1132, 1133, 1135, 1137, 1138}),
              (QStringList{"Have card", "EC200A-CN-V1.0", "24", "0", "861234567890123", "89860012345678901234"}));
    // The apply rules in order; nothing is sent on refusal.
    const QString u64(64, 'u');
    for (auto [mode, apn, user, message] :
         {std::tuple{1, QString(), u64, "APN is Invalidate!"},
          {1, QString(32, 'a'), u64, "APN is too long!"},
          {0, QString(31, 'a'), u64, "The User length is limited to 63 chars!"},
          {0, QString(), QString(63, 'u'), "The Password length is limited to 63 chars!"}}) {
        Type(mode, apn, user, u64);
        EXPECT_EQ(ApplyMessage(), message);
    }
    EXPECT_EQ(EmuGet("g4_username"), "");

    // Texts the camera would decode arrive as typed (the APN's 31 bytes fill its
    // field); the operator goes back as read.
    page->AuthList()->setCurrentIndex(3);
    Type(1, QString::fromUtf8("n+4g%20 \u00e4") + QString(21, 'a'), "us er&=#", QString::fromUtf8("\u5bc6+%"));
    EXPECT_EQ(ApplyMessage(), "Parameter setting succeeded!");
    EXPECT_EQ(EmuGet("g4_runmode") + EmuGet("g4_authtype") + EmuGet("g4_carrier"), "13Vodafone");
    EXPECT_EQ(EmuGet("g4_apn"), "n+4g%20 \u00e4" + std::string(21, 'a'));
    EXPECT_EQ(EmuGet("g4_username") + "|" + EmuGet("g4_password"), "us er&=#|\u5bc6+%");

    // Values beyond the lists clear the selection; then Apply wants an authentication type.
    EmuSet({{"g4_runmode", "4"}, {"g4_authtype", "9"}});
    Refresh(*page);
    EXPECT_EQ(page->ModeList()->currentIndex() + page->AuthList()->currentIndex(), -2);
    EXPECT_EQ(ApplyMessage(), "Please select the authentication method!");

    // A failed write resets silently.
    page->AuthList()->setCurrentIndex(0);
    Fault("error");
    EXPECT_EQ(ApplyMessage(), "");
    EXPECT_TRUE(page->Field(1139)->text().isEmpty());
    EXPECT_EQ(page->ModeList()->currentIndex(), 0);
}

}   // namespace
