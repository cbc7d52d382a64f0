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
    void SetUp() override {
        kytest::PageTest::SetUp();
        page = std::make_unique<CP_4GDlg>();
    }
    void TearDown() override {
        page.reset();
        kytest::PageTest::TearDown();
    }
    void Modem(const char* g4, const char* g5) {
        std::strcpy(capability.field[13], g4);
        std::strcpy(capability.field[15], g5);
    }
    QString F(int id) const { return page->Field(id)->text(); }
    std::unique_ptr<CP_4GDlg> page;
};

TEST_F(CellularPageTest, CameraWithoutModemIsNeverAsked) {
    Fault("drop-first");   // the next connection is dropped: see the end
    Modem("0", "0");
    page->Field(1139)->setText("typed");
    Refresh(*page);
    EXPECT_TRUE(F(1139).isEmpty());
    EXPECT_EQ(page->Title()->text(), "4G Settings");
    Apply(*page);
    EXPECT_EQ(presenter.texts, QStringList{"The device does not support 4g/5g settings!"});
    // The drop is still pending, so the page never connected.
    CellularAttr rec{};
    EXPECT_EQ(CCameraPage::Call(CCameraPage::Target(), &CCgiClient::Get4gAttr, &rec), -1);
    EXPECT_EQ(CCameraPage::Call(CCameraPage::Target(), &CCgiClient::Get4gAttr, &rec), 0);
}

TEST_F(CellularPageTest, ShowsTitleOperatorAndState) {
    struct Case {
        const char *g4, *g5, *title, *carrier, *shown;
    };
    const Case cases[] = {
        {"1", "0", "4G Settings", "chn-unicom", "CHN-UNICOM"},
        {"0", "1", "5G Settings", "China Mobile", "CHINA MOBILE"},
        {"1", "1", "5G Settings", "CHN-CT", "CHN-CT"},
        {"2", "0", "5G Settings", "Vodafone", "Unknown Operator"},   // neither at 1: kept
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.carrier);
        Modem(c.g4, c.g5);
        EmuSet("g4_carrier", c.carrier);
        Refresh(*page);
        EXPECT_EQ(page->Title()->text(), c.title);
        EXPECT_EQ(F(1136), c.shown);
    }
    EXPECT_EQ(F(1131), "Have card");
    EXPECT_EQ(F(1132), "EC200A-CN-V1.0");
    EXPECT_EQ(F(1133), "24");
    EXPECT_EQ(F(1135), "0");
    EXPECT_EQ(F(1137), "861234567890123");
    EXPECT_EQ(F(1138), "89860012345678901234");
    EXPECT_EQ(page->ModeList()->currentText(), "Auto");
    EXPECT_EQ(page->AuthList()->currentText(), "NONE");

    EmuSet("g4_simcard", "0");
    EmuSet("g4_runmode", "4");
    EmuSet("g4_authtype", "9");
    Refresh(*page);
    EXPECT_EQ(F(1131), "No card");
    EXPECT_EQ(page->ModeList()->currentIndex(), -1);
    EXPECT_EQ(page->AuthList()->currentIndex(), -1);
    // Without an authentication type nothing is sent.
    Apply(*page);
    EXPECT_EQ(presenter.Last(), "Please select the authentication method!");
}

TEST_F(CellularPageTest, ApplyRulesInOrderAndWrite) {
    Modem("1", "0");
    EmuSet("g4_carrier", "chn-ct");
    Refresh(*page);
    struct Case {
        int mode;
        QString apn, user, password;
        const char* message;
    };
    const QString u64(64, 'u');
    const Case cases[] = {
        {1, "", u64, u64, "APN is Invalidate!"},
        {1, QString(32, 'a'), u64, u64, "APN is too long!"},
        {0, QString(31, 'a'), u64, u64, "The User length is limited to 63 chars!"},
        {0, "", QString(63, 'u'), u64, "The Password length is limited to 63 chars!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        page->ModeList()->setCurrentIndex(c.mode);
        page->Field(1139)->setText(c.apn);
        page->Field(1001)->setText(c.user);
        page->Field(1002)->setText(c.password);
        presenter.Clear();
        Apply(*page);
        EXPECT_EQ(presenter.texts, QStringList{c.message});
    }
    EXPECT_EQ(EmuGet("g4_apn"), "");

    page->ModeList()->setCurrentIndex(1);
    page->AuthList()->setCurrentIndex(3);
    page->Field(1139)->setText(QString(31, 'a'));
    page->Field(1001)->setText("user");
    page->Field(1002)->setText("secret");
    presenter.Clear();
    Apply(*page);
    EXPECT_EQ(presenter.texts, QStringList{"Parameter setting succeeded!"});
    EXPECT_EQ(EmuGet("g4_runmode"), "1");
    EXPECT_EQ(EmuGet("g4_authtype"), "3");
    EXPECT_EQ(EmuGet("g4_apn"), std::string(31, 'a'));
    EXPECT_EQ(EmuGet("g4_username"), "user");
    EXPECT_EQ(EmuGet("g4_password"), "secret");
    // The operator goes back as read, not as shown.
    EXPECT_EQ(EmuGet("g4_carrier"), "chn-ct");

    // Texts the camera would decode arrive as typed.
    page->Field(1139)->setText("net+4g%20 \u00e4");
    page->Field(1001)->setText("us er&=#");
    page->Field(1002)->setText("\u5bc6\u7801+%");
    Apply(*page);
    EXPECT_EQ(EmuGet("g4_apn"), "net+4g%20 \u00e4");
    EXPECT_EQ(EmuGet("g4_username"), "us er&=#");
    EXPECT_EQ(EmuGet("g4_password"), "\u5bc6\u7801+%");

    // A failed write resets silently; so does logging out.
    Fault("error");
    presenter.Clear();
    Apply(*page);
    EXPECT_TRUE(presenter.texts.isEmpty());
    EXPECT_TRUE(F(1139).isEmpty());
    EXPECT_EQ(page->ModeList()->currentIndex(), 0);
    Fault("none");
    Refresh(*page);
    camera.loggedIn = false;
    Refresh(*page);
    EXPECT_TRUE(F(1136).isEmpty());
}

}   // namespace
