// The cloud and Tmall switch pages against the emulated camera.
#include <QPushButton>
#include <QRadioButton>

#include "gui/pages/advanced/P_CloudDlg.h"
#include "gui/pages/advanced/P_TMallDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

class SwitchPagesTest : public kytest::PageTest {
protected:
    static bool ButtonsOn(const CSwitchPage& p) {
        return p.ApplyButton()->isEnabled() && p.CancelButton()->isEnabled();
    }
    // Shows the camera's key, writes the other value, Cancel reads again, a
    // failed write resets silently.
    void RoundTrip(CSwitchPage& page, const std::string& key) {
        EmuSet(key, "1");
        Refresh(page);
        EXPECT_EQ(page.Switch()->Checked(), 0);
        EXPECT_TRUE(ButtonsOn(page));
        page.Switch()->Second()->click();
        Apply(page);
        EXPECT_EQ(presenter.texts, QStringList{"Parameter setting succeeded!"});
        EXPECT_EQ(EmuGet(key), "0");
        EmuSet(key, "1");
        page.CancelButton()->click();
        EXPECT_TRUE(WaitIdle(page));
        EXPECT_EQ(page.Switch()->Checked(), 0);
        Fault("no-200");
        Apply(page);
        EXPECT_EQ(presenter.texts.size(), 1);
        EXPECT_EQ(page.Switch()->Checked(), -1);
        Fault("none");
    }
};

TEST_F(SwitchPagesTest, Cloud) {
    CP_CloudDlg page;
    EXPECT_FALSE(page.ApplyButton()->isEnabled() || page.CancelButton()->isEnabled());
    RoundTrip(page, "cloud_enable");
    EXPECT_FALSE(page.ApplyButton()->isEnabled() || page.CancelButton()->isEnabled());
    Refresh(page);
    camera.loggedIn = false;
    Refresh(page);
    EXPECT_FALSE(page.ApplyButton()->isEnabled() || page.CancelButton()->isEnabled());
}

TEST_F(SwitchPagesTest, Tmall) {
    CP_TMallDlg page;
    RoundTrip(page, "tmall_enable");
    // A camera without Tmall: nothing to send, the switch stays as it was.
    page.Switch()->Check(1);
    EmuSet("tmall_flag", "0");
    Refresh(page);
    EXPECT_FALSE(page.ApplyButton()->isEnabled() || page.CancelButton()->isEnabled());
    EXPECT_EQ(page.Switch()->Checked(), 1);
    camera.loggedIn = false;
    Refresh(page);
    EXPECT_EQ(page.Switch()->Checked(), -1);
}

}   // namespace
