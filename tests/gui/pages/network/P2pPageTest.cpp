// The P2P page against the emulated camera: the camera family picks the
// command family, the UUID shows only while switched on, and switching off
// goes out even without a UUID.
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "gui/pages/network/P_P2PDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

using P2pPageTest = kytest::PageTest;

bool UuidShown(const CP_P2PDlg& p) { return !p.Uuid()->isHidden() && !p.UuidLabel()->isHidden(); }

TEST_F(P2pPageTest, FamilyPicksTheCommands) {
    CP_P2PDlg page;
    for (auto [family, prefix] : {std::pair{8, "kyp2p_"}, {0, "xqp2p_"}, {9, "xqp2p_"}}) {
        SCOPED_TRACE(family);
        camera.device.info.family = family;
        const std::string enable = std::string(prefix) + "enable";
        EmuSet(enable, "1");
        Refresh(page);
        EXPECT_EQ(page.Uuid()->text().toStdString(), EmuGet(std::string(prefix) + "uid"));
        EXPECT_EQ(page.Enable()->Checked(), 0);
        EXPECT_TRUE(UuidShown(page));
        page.Enable()->Second()->click();
        EXPECT_FALSE(UuidShown(page));
        presenter.Clear();
        Apply(page);
        EXPECT_EQ(presenter.texts, QStringList{"Parameter setting succeeded!"});
        EXPECT_EQ(EmuGet(enable), "0");
    }
}

TEST_F(P2pPageTest, EmptyUuidFailuresAndNoCamera) {
    CP_P2PDlg page;
    EmuSet("xqp2p_uid", "");
    EmuSet("xqp2p_enable", "0");
    Refresh(page);
    // Switching on needs the UUID: refused, nothing sent.
    page.Enable()->First()->click();
    EXPECT_TRUE(UuidShown(page));
    Apply(page);
    EXPECT_EQ(presenter.texts, QStringList{"Enable P2P, UUID cannot be empty!"});
    // Switching off needs none and is sent.
    EmuSet("xqp2p_enable", "1");
    page.Enable()->Second()->click();
    Apply(page);
    EXPECT_EQ(presenter.Last(), "Parameter setting succeeded!");
    EXPECT_EQ(EmuGet("xqp2p_enable"), "0");

    // A failed write resets silently; so does logging out.
    Fault("no-200");
    presenter.Clear();
    page.Enable()->First()->click();
    page.Uuid()->setText("U");
    Apply(page);
    EXPECT_TRUE(presenter.texts.isEmpty());
    EXPECT_EQ(page.Enable()->Checked(), -1);
    EXPECT_FALSE(UuidShown(page));
    EXPECT_TRUE(page.Uuid()->text().isEmpty());
    Fault("none");
    Refresh(page);
    camera.loggedIn = false;
    Refresh(page);
    EXPECT_EQ(page.Enable()->Checked(), -1);
}

}   // namespace
