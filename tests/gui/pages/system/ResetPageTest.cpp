// The maintenance page: lens type, the upgrade's checks, how progress values
// drive the page, and (inside a private network namespace, where discovery
// may broadcast) a whole upgrade against the emulator's restart.
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <fstream>

#include "core/discovery/DeviceFinder.h"
#include "gui/kit/AppEvents.h"
#include "gui/pages/system/P_ResetDlg.h"
#include "tests/gui/pages/PageTestSupport.h"
#include "tests/support/Netns.h"

namespace {

using kytest::PageFixture;

class ResetPage : public PageFixture<CP_ResetDlg> {
protected:
    void TearDown() override {
        CP_ResetDlg::SetFileChooser({});
        PageFixture::TearDown();
    }
    void Post(int value) {
        QCoreApplication::postEvent(page.get(), new CPageResultEvent(ky::msg::kUpgradeProgress, value));
        kytest::PumpEvents(20);
    }
    bool Locked() const { return !page->UpgradeButton()->isEnabled() && !page->RebootButton()->isEnabled(); }
    std::string Package() {
        const std::string path = appDir.path() + "/KY7200_V9.9.1_x.pkg";
        std::ofstream(path, std::ios::binary) << std::string(100000, 'k');
        return path;
    }
};

TEST_F(ResetPage, LensTypeFromTheCamera) {
    for (auto [value, text] : {std::pair{"3", "2.7-13.5mm(5)"}, {"12", ""}, {"0", "2.8-8mm"}}) {
        EmuSet("lenstype", value);
        Refresh(*page);
        EXPECT_EQ(page->LensType()->currentText().toStdString(), text) << value;
    }
    EXPECT_FALSE(page->LensType()->isEnabled());
}

TEST_F(ResetPage, UpgradeChecksInOrder) {
    struct Case {
        bool loggedIn;
        QString path;
        const char* message;
    } cases[] = {
        {false, "/tmp/x.pkg", "No login device!"},
        {true, "C:", "Illegal file name!"},
        {true, QString::fromStdString(appDir.path()), "File does not exist!"},
        {true, QString::fromStdString(Package()), "Are you sure you want to upgrade?"},   // answered No
    };
    for (const Case& c : cases) {
        camera.loggedIn = c.loggedIn;
        page->PathEdit()->setText(c.path);
        presenter.Clear();
        page->OnUpgrade();
        EXPECT_EQ(presenter.texts, QStringList{c.message});
    }
    EXPECT_FALSE(page->UpgradeActive());

    // The chooser's answer is taken only with the exact ".pkg" ending.
    for (auto [chosen, kept] : {std::pair{"/fw/A.PKG", "keep"}, {"/fw/a.pkg", "/fw/a.pkg"}, {"", "/fw/a.pkg"}}) {
        if (QString(kept) == "keep") page->PathEdit()->setText("keep");
        CP_ResetDlg::SetFileChooser([c = QString(chosen)](QWidget*) { return c; });
        page->OnBrowse();
        EXPECT_EQ(page->PathEdit()->text(), kept);
    }
}

TEST_F(ResetPage, ProgressValuesDriveThePage) {
    page->RefreshFromDevice();
    WaitIdle(*page);
    page->Progress()->show();
    Post(10);
    EXPECT_EQ(page->Progress()->value(), 10);
    EXPECT_TRUE(page->Status()->text().isEmpty());
    Post(60);
    EXPECT_EQ(page->Progress()->value(), 60);
    EXPECT_TRUE(page->Status()->text().startsWith("The file is uploaded successfully."));
    Post(-2);   // a retry follows: nothing changes
    EXPECT_EQ(page->Progress()->value(), 60);
    Post(100);
    EXPECT_FALSE(Locked());
    EXPECT_EQ(CP_ResetDlg::LastProgress(), 0);
    presenter.Clear();
    Post(-3);
    EXPECT_TRUE(page->Progress()->isHidden());
    EXPECT_EQ(presenter.texts, QStringList{"Upgrade failed!"});
}

// The camera's return is seen by discovery, so these run only in a private
// network namespace (ctest runs them there as pages_system_upgrade_netns).
class UpgradeNetns : public ResetPage {
protected:
    void SetUp() override {
        if (!ky::test::OnlyLoopback()) GTEST_SKIP() << "needs a private network namespace";
        withDiscovery = true;
        emulatorArgs = {"--restart-ms", restartMs};
        ResetPage::SetUp();
        CUGDThread::Limits fast;
        fast.passMs = 100;
        fast.firstLookPass = 5;
        fast.maxPasses = 100;
        fast.maxMs = 8000;
        CP_ResetDlg::SetUpgradeLimits(fast);
        DeviceInfo me{};
        ASSERT_TRUE(ky::DeviceFinder::Find(EmuGet("name").c_str(), &me));
        camera.device.info = me;
    }
    void TearDown() override {
        CP_ResetDlg::SetUpgradeLimits({});
        ResetPage::TearDown();
    }
    QStringList Upgrade() {
        page->PathEdit()->setText(QString::fromStdString(Package()));
        presenter.answers = {true};
        presenter.Clear();
        page->OnUpgrade();
        EXPECT_TRUE(Locked());
        EXPECT_TRUE(PumpUntil([&] { return !page->UpgradeActive(); }, 400));
        return presenter.texts;
    }
    const char* restartMs = "500";
};

TEST_F(UpgradeNetns, CameraComesBackWithNewFirmware) {
    EXPECT_EQ(Upgrade(), (QStringList{"Are you sure you want to upgrade?", "End of upgrade task!"}));
    EXPECT_EQ(page->Progress()->value(), 100);
    EXPECT_FALSE(Locked());
    EXPECT_EQ(camera.disconnects, 1);
}

class UpgradeNeverBack : public UpgradeNetns {
protected:
    void SetUp() override {
        restartMs = "600000";
        UpgradeNetns::SetUp();
    }
};

TEST_F(UpgradeNeverBack, EndsNotConfirmed) {
    EXPECT_EQ(Upgrade(), (QStringList{"Are you sure you want to upgrade?",
                                      "The firmware was sent, but the camera's return with the new firmware was "
                                      "not confirmed!"}));
    EXPECT_EQ(page->Progress()->value(), 100);
    EXPECT_FALSE(Locked());
}

}   // namespace
