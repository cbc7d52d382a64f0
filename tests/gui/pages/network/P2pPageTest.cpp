// The P2P page against the emulated camera: the camera family picks the
// command family, the UUID shows only while switched on, and switching off
// goes out even without a UUID.
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "gui/pages/network/P_P2PDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

class P2pPageTest : public kytest::PageTest {
protected:
    void SetUp() override {
        kytest::PageTest::SetUp();
        page = std::make_unique<CP_P2PDlg>();
    }
    void TearDown() override {
        page.reset();
        kytest::PageTest::TearDown();
    }
    bool UuidShown() const { return !page->Uuid()->isHidden() && !page->UuidLabel()->isHidden(); }
    std::unique_ptr<CP_P2PDlg> page;
};

TEST_F(P2pPageTest, FamilyPicksTheCommands) {
    struct Case {
        int family;
        const char* prefix;
        const char* uid;
    };
    for (const Case& c : {Case{8, "kyp2p_", "KYEMU-000001-ABCDE"}, Case{0, "xqp2p_", "XQEMU-000001-ABCDE"},
                          Case{9, "xqp2p_", "XQEMU-000001-ABCDE"}}) {
        SCOPED_TRACE(c.family);
        camera.device.info.family = c.family;
        const std::string enable = std::string(c.prefix) + "enable";
        EmuSet(enable, "1");
        Refresh(*page);
        EXPECT_EQ(page->Uuid()->text(), c.uid);
        EXPECT_EQ(page->Enable()->Checked(), 0);
        EXPECT_TRUE(UuidShown());
        page->Enable()->Second()->click();
        EXPECT_FALSE(UuidShown());
        presenter.Clear();
        Apply(*page);
        EXPECT_EQ(presenter.texts, QStringList{"Parameter setting succeeded!"});
        EXPECT_EQ(EmuGet(enable), "0");
        Refresh(*page);
        EXPECT_EQ(page->Enable()->Checked(), 1);
        EXPECT_FALSE(UuidShown());
        EXPECT_EQ(page->Uuid()->text(), c.uid);   // shown either way, if hidden
    }
}

TEST_F(P2pPageTest, EmptyUuid) {
    EmuSet("xqp2p_uid", "");
    Refresh(*page);
    EXPECT_TRUE(page->Uuid()->text().isEmpty());
    // Switching on needs the UUID: refused, nothing sent.
    EmuSet("xqp2p_enable", "0");
    page->Enable()->First()->click();
    EXPECT_TRUE(UuidShown());
    Apply(*page);
    EXPECT_EQ(presenter.texts, QStringList{"Enable P2P, UUID cannot be empty!"});
    EXPECT_EQ(EmuGet("xqp2p_enable"), "0");
    // Switching off needs none and is sent.
    EmuSet("xqp2p_enable", "1");
    page->Enable()->Second()->click();
    presenter.Clear();
    Apply(*page);
    EXPECT_EQ(presenter.texts, QStringList{"Parameter setting succeeded!"});
    EXPECT_EQ(EmuGet("xqp2p_enable"), "0");
    EXPECT_EQ(page->Enable()->Checked(), 1);
}

TEST_F(P2pPageTest, FailuresAndNoCameraReset) {
    Refresh(*page);
    Fault("no-200");
    presenter.Clear();
    Apply(*page);
    EXPECT_TRUE(presenter.texts.isEmpty());
    EXPECT_EQ(page->Enable()->Checked(), -1);
    EXPECT_FALSE(UuidShown());
    EXPECT_TRUE(page->Uuid()->text().isEmpty());
    Fault("none");
    Refresh(*page);
    camera.loggedIn = false;
    Refresh(*page);
    EXPECT_EQ(page->Enable()->Checked(), -1);
    EXPECT_TRUE(page->Uuid()->text().isEmpty());
}

}   // namespace
