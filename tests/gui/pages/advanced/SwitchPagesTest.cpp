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
    static bool ButtonsOff(const CSwitchPage& p) {
        return !p.ApplyButton()->isEnabled() && !p.CancelButton()->isEnabled();
    }
    // Shows the camera's key, writes the other value, Cancel reads it back.
    void RoundTrip(CSwitchPage& page, const std::string& key) {
        SCOPED_TRACE(key);
        EmuSet(key, "1");
        Refresh(page);
        EXPECT_EQ(page.Switch()->Checked(), 0);
        EXPECT_TRUE(ButtonsOn(page));
        page.Switch()->Second()->click();
        presenter.Clear();
        Apply(page);
        EXPECT_EQ(presenter.texts, QStringList{"Parameter setting succeeded!"});
        EXPECT_EQ(EmuGet(key), "0");
        EmuSet(key, "1");
        page.CancelButton()->click();
        EXPECT_TRUE(WaitIdle(page));
        EXPECT_EQ(page.Switch()->Checked(), 0);
        // A failed write resets silently.
        Fault("no-200");
        presenter.Clear();
        Apply(page);
        EXPECT_TRUE(presenter.texts.isEmpty());
        EXPECT_EQ(page.Switch()->Checked(), -1);
        Fault("none");
    }
};

TEST_F(SwitchPagesTest, Cloud) {
    CP_CloudDlg page;
    EXPECT_TRUE(ButtonsOff(page));
    RoundTrip(page, "cloud_enable");
    EXPECT_TRUE(ButtonsOff(page));
    Refresh(page);
    camera.loggedIn = false;
    Refresh(page);
    EXPECT_TRUE(ButtonsOff(page));
    EXPECT_EQ(page.Switch()->Checked(), -1);
}

TEST_F(SwitchPagesTest, Tmall) {
    CP_TMallDlg page;
    RoundTrip(page, "tmall_enable");
    // A camera without Tmall: nothing to send, the switch stays as it was.
    Refresh(page);
    page.Switch()->Check(1);
    EmuSet("tmall_flag", "0");
    EmuSet("tmall_enable", "1");
    Refresh(page);
    EXPECT_TRUE(ButtonsOff(page));
    EXPECT_EQ(page.Switch()->Checked(), 1);
    camera.loggedIn = false;
    Refresh(page);
    EXPECT_EQ(page.Switch()->Checked(), -1);
}

}   // namespace
