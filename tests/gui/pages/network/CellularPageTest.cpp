// The 4G/5G page against the emulated camera: the capability record decides
// whether the camera is asked at all and what the title says; the operator
// list; the apply rules in their order; what reaches the camera.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "gui/pages/network/P_4GDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

class CellularPageTest : public kytest::PageTest {
protected:
    void Modem(const char* g4, const char* g5) {
        std::strcpy(capability.field[13], g4);
        std::strcpy(capability.field[15], g5);
    }
    void Type(CP_4GDlg& page, int mode, const QString& apn, const QString& user, const QString& password) {
        page.ModeList()->setCurrentIndex(mode);
        page.Field(1139)->setText(apn);
        page.Field(1001)->setText(user);
        page.Field(1002)->setText(password);
    }
};

TEST_F(CellularPageTest, CameraWithoutModemIsNeverAsked) {
    CP_4GDlg page;
    Fault("drop-first");   // the next connection is dropped: see the end
    page.Field(1139)->setText("typed");
    Refresh(page);
    EXPECT_TRUE(page.Field(1139)->text().isEmpty());
    Apply(page);
    EXPECT_EQ(presenter.texts, QStringList{"The device does not support 4g/5g settings!"});
    // The drop is still pending, so the page never connected.
    CellularAttr rec{};
    EXPECT_EQ(CCameraPage::Call(CCameraPage::Target(), &CCgiClient::Get4gAttr, &rec), -1);
}

TEST_F(CellularPageTest, ShowsAndWrites) {
    CP_4GDlg page;
    for (auto [g4, g5, title, carrier, shown] :
         {std::tuple{"1", "0", "4G Settings", "chn-unicom", "CHN-UNICOM"},
          {"1", "1", "5G Settings", "China Mobile", "CHINA MOBILE"},
          {"2", "0", "5G Settings", "Vodafone", "Unknown Operator"}}) {   // neither at 1: title kept
        Modem(g4, g5);
        EmuSet("g4_carrier", carrier);
        Refresh(page);
        EXPECT_EQ(page.Title()->text(), title);
        EXPECT_EQ(page.Field(1136)->text(), shown);
    }
    QStringList shown;
    for (int id : {1131, 1132, 1133, 1135, 1137, 1138}) shown << page.Field(id)->text();
    EXPECT_EQ(shown,
              (QStringList{"Have card", "EC200A-CN-V1.0", "24", "0", "861234567890123", "89860012345678901234"}));

    // The apply rules in order; nothing is sent on refusal.
    const QString u64(64, 'u');
    for (auto [mode, apn, user, message] :
         {std::tuple{1, QString(), u64, "APN is Invalidate!"},
          {1, QString(32, 'a'), u64, "APN is too long!"},
          {0, QString(31, 'a'), u64, "The User length is limited to 63 chars!"},
          {0, QString(), QString(63, 'u'), "The Password length is limited to 63 chars!"}}) {
        Type(page, mode, apn, user, u64);
        presenter.Clear();
        Apply(page);
        EXPECT_EQ(presenter.texts, QStringList{message});
    }
    EXPECT_EQ(EmuGet("g4_username"), "");

    // Texts the camera would decode arrive as typed (the APN's 31 bytes fill its
    // field); the operator goes back as read.
    page.AuthList()->setCurrentIndex(3);
    Type(page, 1, QString::fromUtf8("n+4g%20 \u00e4") + QString(21, 'a'), "us er&=#", QString::fromUtf8("\u5bc6+%"));
    presenter.Clear();
    Apply(page);
    EXPECT_EQ(presenter.texts, QStringList{"Parameter setting succeeded!"});
    EXPECT_EQ(EmuGet("g4_runmode") + EmuGet("g4_authtype") + EmuGet("g4_carrier"), "13Vodafone");
    EXPECT_EQ(EmuGet("g4_apn"), "n+4g%20 \u00e4" + std::string(21, 'a'));
    EXPECT_EQ(EmuGet("g4_username"), "us er&=#");
    EXPECT_EQ(EmuGet("g4_password"), "\u5bc6+%");

    // Values beyond the lists clear the selection; then Apply wants an authentication type.
    EmuSet("g4_runmode", "4");
    EmuSet("g4_authtype", "9");
    Refresh(page);
    EXPECT_EQ(page.ModeList()->currentIndex(), -1);
    EXPECT_EQ(page.AuthList()->currentIndex(), -1);
    Apply(page);
    EXPECT_EQ(presenter.Last(), "Please select the authentication method!");

    // A failed write resets silently; so does logging out.
    page.AuthList()->setCurrentIndex(0);
    Fault("error");
    presenter.Clear();
    Apply(page);
    EXPECT_TRUE(presenter.texts.isEmpty());
    EXPECT_TRUE(page.Field(1139)->text().isEmpty());
    EXPECT_EQ(page.ModeList()->currentIndex(), 0);
    Fault("none");
    Refresh(page);
    camera.loggedIn = false;
    Refresh(page);
    EXPECT_TRUE(page.Field(1136)->text().isEmpty());
}

}   // namespace
