// The maintenance page: lens type, the upgrade's checks, how progress values
// drive the page, and (inside a private network namespace, where discovery
// may broadcast) a whole upgrade against the emulator's restart.
#include <QComboBox>
#include <QCoreApplication>
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

class ResetPage : public kytest::PageFixture<CP_ResetDlg> {
protected:
    void TearDown() override {
        CP_ResetDlg::SetFileChooser({});
        PageFixture::TearDown();
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

TEST_F(ResetPage, UpgradeChecksInOrderAndBrowseTakesOnlyPkg) {
    const std::pair<QString, const char*> cases[] = {
        {"/tmp/x.pkg", "No login device!"},   // logged out
        {"C:", "Illegal file name!"},
        {QString::fromStdString(appDir.path()), "File does not exist!"},
        {QString::fromStdString(Package()), "Are you sure you want to upgrade?"},   // answered No
    };
    for (const auto& [path, message] : cases) {
        camera.loggedIn = path != "/tmp/x.pkg";
        page->PathEdit()->setText(path);
        presenter.Clear();
        page->OnUpgrade();
        EXPECT_EQ(presenter.texts, QStringList{message});
    }
    EXPECT_FALSE(page->UpgradeActive());
    page->PathEdit()->setText("keep");
    for (auto [chosen, kept] : {std::pair{"/fw/A.PKG", "keep"}, {"/fw/a.pkg", "/fw/a.pkg"}, {"", "/fw/a.pkg"}}) {
        CP_ResetDlg::SetFileChooser([c = QString(chosen)](QWidget*) { return c; });
        page->OnBrowse();
        EXPECT_EQ(page->PathEdit()->text(), kept);
    }
}

TEST_F(ResetPage, ProgressValuesDriveThePage) {
    Refresh(*page);
    page->Progress()->show();
    auto post = [&](int value) {
        QCoreApplication::postEvent(page.get(), new CPageResultEvent(ky::msg::kUpgradeProgress, value));
        kytest::PumpEvents(20);
    };
    // 60 means uploaded; -2 announces a retry and changes nothing.
    for (auto [value, shown, uploaded] : {std::tuple{10, 10, false}, {60, 60, true}, {-2, 60, true}}) {
        post(value);
        EXPECT_EQ(page->Progress()->value(), shown) << value;
        EXPECT_EQ(page->Status()->text().startsWith("The file is uploaded successfully."), uploaded) << value;
    }
    post(100);
    EXPECT_FALSE(Locked());
    EXPECT_EQ(CP_ResetDlg::LastProgress(), 0);
    presenter.Clear();
    post(-3);
    EXPECT_TRUE(page->Progress()->isHidden());
    EXPECT_EQ(presenter.texts, QStringList{"Upgrade failed!"});
}

// The camera's return is seen by discovery, so these run only in a private
// network namespace (ctest runs them there as pages_system_upgrade_netns).
// The parameter: the emulator's restart time and the closing message.
class UpgradeNetns : public ResetPage, public ::testing::WithParamInterface<std::pair<const char*, const char*>> {
protected:
    void SetUp() override {
        if (!ky::test::OnlyLoopback()) GTEST_SKIP() << "needs a private network namespace";
        withDiscovery = true;
        emulatorArgs = {"--restart-ms", GetParam().first};
        ResetPage::SetUp();
        CP_ResetDlg::SetUpgradeLimits({.passMs = 100, .firstLookPass = 5, .maxPasses = 100, .maxMs = 8000});
        ASSERT_TRUE(ky::DeviceFinder::Find(EmuGet("name").c_str(), &camera.device.info));
    }
    void TearDown() override {
        CP_ResetDlg::SetUpgradeLimits({});
        ResetPage::TearDown();
    }
};

TEST_P(UpgradeNetns, EndsWithTheCameraBackOrNotConfirmed) {
    page->PathEdit()->setText(QString::fromStdString(Package()));
    presenter.answers = {true};
    page->OnUpgrade();
    EXPECT_TRUE(Locked());
    EXPECT_EQ(camera.disconnects, 1);   // the live view would only fail
    camera.loggedIn = true;
    page->OnUpgrade();   // a second upgrade is refused while one runs
    EXPECT_TRUE(PumpUntil([&] { return !page->UpgradeActive(); }, 400));
    EXPECT_EQ(presenter.texts,
              (QStringList{"Are you sure you want to upgrade?", "An upgrade is already running!", GetParam().second}));
    EXPECT_EQ(page->Progress()->value(), 100);
    EXPECT_FALSE(Locked());
}

INSTANTIATE_TEST_SUITE_P(Upgrade, UpgradeNetns,
                         ::testing::Values(std::pair{"500", "End of upgrade task!"},
                                           std::pair{"600000",
                                                     "The firmware was sent, but the camera's return with "
                                                     "the new firmware was not confirmed!"}));

}   // namespace
