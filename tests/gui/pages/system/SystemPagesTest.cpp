// The device information page (fields, SD card, format worker, spinner,
// unplug) and the system log page against the emulated camera.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>

#include "gui/pages/system/P_LogDlg.h"
#include "gui/pages/system/P_SystemDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

class SystemPageTest : public kytest::PageFixture<CP_SystemDlg> {
protected:
    void SetUp() override {
        PageFixture::SetUp();
        // Ticks are driven by hand so the phases are known.
        page->findChild<QTimer*>("3456")->stop();
    }
    void TearDown() override {
        // A format still running must not outlive the test's camera.
        PumpUntil([&] { return !page->FormatBusy(); });
        PageFixture::TearDown();
    }
    QString F(int id) const { return page->Field(id)->text(); }
    // How many of browse, format and unplug are on.
    int SdButtonsOn() const {
        return page->BrowseButton()->isEnabled() + page->FormatButton()->isEnabled() +
               page->UnplugButton()->isEnabled();
    }
    // The messages of a format or unplug, once it has ended.
    QString Result() {
        EXPECT_TRUE(PumpUntil([&] { return !presenter.texts.isEmpty() && !page->FormatBusy() && !page->Busy(); }));
        return presenter.texts.join("|");
    }
    QString Run(void (CP_SystemDlg::*action)()) {
        presenter.Clear();
        (page.get()->*action)();
        return Result();
    }
};

TEST_F(SystemPageTest, ShowsDeviceInformation) {
    EmuSet("networktype", "wireless lan");
    EmuSetAll("stream_num=3 facddnsstatus=OFF th3ddnsstatus=");
    Refresh(*page);
    // Only the exact "off" reads Off; capitals and an empty value read On.
    EXPECT_EQ(
        kytest::Texts(*page, {1130, 1132, 1133, 1139, 1146, 1145, 1144, 1147}),
        (QStringList{"KY7200-EMU-000001", "Wireless Lan", "3", "127.0.0.1", "2024-01-15 08:00:00", "Off", "On", "On"}));
    const std::pair<int, const char*> fromCamera[] = {
        {1131, "devtype"}, {1138, "softVersion"}, {1135, "webVersion"}, {1137, "rs485Version"}, {1136, "macaddress"},
        {1140, "netmask"}, {1102, "gateway"},     {1106, "fdnsip"},     {1107, "sdnsip"}};
    for (const auto& [id, key] : fromCamera) EXPECT_EQ(F(id).toStdString(), EmuGet(key)) << key;
    EXPECT_TRUE(presenter.texts.isEmpty());
    // Exact lower-case names only; anything else reads 5G.
    for (auto [type, key] : {std::pair{"lan", "LAN"}, {"4g", "4G"}, {"5g", "5G"}, {"LAN", "5G"}, {"", "5G"}})
        EXPECT_STREQ(CP_SystemDlg::NetworkTypeKey(type), key) << type;
}

TEST_F(SystemPageTest, SdStatusText) {
    for (auto [status, free, total, text] : {std::tuple{"READY", "1", "3", "Have card, free space:33%"},
                                             {"Readonly", "15000", "15000", "Readonly, free space:100%"},
                                             {"Ready", "500", "0", "Have card, free space:0%"},   // no total: guarded
                                             {"Ready", "-5", "100", "Have card, free space:0%"},
                                             {"Ready", "2000000000", "1", "Have card, free space:100%"},
                                             {"out", "1", "2", "No card"},
                                             {"busy", "1", "2", "No card"}}) {
        EmuSetAll(std::string("sdstatus=") + status + " sdfreespace=" + free + " sdtotalspace=" + total);
        Refresh(*page);
        EXPECT_EQ(F(1092), text) << status;
        EXPECT_EQ(SdButtonsOn(), 3) << status;
    }
}

TEST_F(SystemPageTest, LoggedOutOrCameraGoneEmptiesAndDisables) {
    Refresh(*page);
    camera.loggedIn = false;
    Refresh(*page);
    const auto all = {1130, 1131, 1132, 1133, 1138, 1135, 1137, 1136, 1139,
                      1140, 1102, 1106, 1107, 1145, 1144, 1147, 1146, 1092};
    EXPECT_EQ(kytest::Texts(*page, all).join(""), "");
    EXPECT_EQ(SdButtonsOn(), 0);
    // Format and unplug without a camera clear the page and say nothing.
    page->OnFormatSd();
    page->OnUnplugSd();
    EXPECT_FALSE(page->FormatBusy() || page->Busy());

    camera.loggedIn = true;
    Refresh(*page);
    ASSERT_FALSE(F(1130).isEmpty());
    emulator->Stop();
    Refresh(*page);
    EXPECT_TRUE(F(1130).isEmpty());
    EXPECT_EQ(F(1092), "Card reading failed");
    EXPECT_EQ(SdButtonsOn(), 0);
    EXPECT_TRUE(presenter.texts.isEmpty());
}

TEST_F(SystemPageTest, FormatRunsOnAWorkerWithSpinnerAndRefusesASecondStart) {
    EmuSetAll("sdfreespace=10 emu.sd_delay_ms=1500");
    Refresh(*page);
    page->OnFormatSd();
    ASSERT_TRUE(page->FormatBusy());
    page->OnFormatSd();
    for (auto [mark, phase] : {std::pair{"--", 1}, {"\\", 2}, {"|", 3}, {"/", 0}, {"--", 1}}) {
        page->OnSpinnerTick();
        EXPECT_EQ(page->Spinner()->text(), QString("SD card is formatting ") + mark);
        EXPECT_EQ(page->SpinnerPhase(), phase);
        EXPECT_FALSE(page->Spinner()->isHidden());
    }
    EXPECT_EQ(Result(), "SD card is being formatted, please wait...|SD card format succeeded!");
    EXPECT_EQ(EmuGet("sdfreespace"), EmuGet("sdtotalspace"));
    // The SD text is not read again.
    EXPECT_EQ(F(1092), "Have card, free space:0%");
    page->OnSpinnerTick();
    EXPECT_TRUE(page->Spinner()->isHidden());
    EXPECT_EQ(page->SpinnerPhase(), 0);
}

TEST_F(SystemPageTest, FormatAndUnplugResults) {
    Refresh(*page);
    EmuSet("sdstatus", "out");
    EXPECT_EQ(Run(&CP_SystemDlg::OnFormatSd), "SD card format failed!");
    EmuSet("sdstatus", "Ready");
    EXPECT_EQ(Run(&CP_SystemDlg::OnUnplugSd), "SD card stopped successfully");
    EXPECT_EQ(EmuGet("sdstatus"), "out");
    // A camera that does not answer.
    emulator->Stop();
    EXPECT_EQ(Run(&CP_SystemDlg::OnFormatSd), "SD card format failed!");
    EXPECT_EQ(Run(&CP_SystemDlg::OnUnplugSd), "Failed to stop SD card");
}

TEST_F(SystemPageTest, PageGoingAwayDuringFormatIsSafe) {
    EmuSet("emu.sd_delay_ms", "300");
    Refresh(*page);
    page->OnFormatSd();
    page.reset();
    // The worker finishes on its own and posts to no one.
    const std::string total = EmuGet("sdtotalspace");
    EXPECT_EQ(EmuAwait("sdfreespace", total), total);
    kytest::PumpEvents(100);
    EXPECT_TRUE(presenter.texts.isEmpty());
    page = std::make_unique<CP_SystemDlg>();
}

TEST_F(SystemPageTest, BrowseOpensTheSdBrowser) {
    QWidget* openedOver = nullptr;
    ky::pages::SetSdBrowserOpener([&](QWidget* parent) { openedOver = parent; });
    Refresh(*page);
    page->BrowseButton()->click();
    EXPECT_EQ(openedOver, page.get());
}

using LogPageTest = kytest::PageTest;

TEST_F(LogPageTest, ShowsTheLogAndClearsItOnlyWithACamera) {
    CP_LogDlg log;
    auto run = [&](void (CP_LogDlg::*action)()) {
        (log.*action)();
        EXPECT_TRUE(WaitIdle(log));
        return log.View()->toPlainText();
    };
    EXPECT_TRUE(run(&CP_LogDlg::RefreshFromDevice).contains("2024-01-15 08:00:00 system start"));
    // The address names the camera, never the credentials.
    EXPECT_EQ(log.Address(), QString("http://127.0.0.1:%1/log/syslog.txt").arg(emulator->HttpPort()));
    EmuSet("emu.syslog", "line one\n");
    EXPECT_EQ(run(&CP_LogDlg::OnRefresh), "line one\n");
    // Without a camera nothing happens: the view keeps what it shows.
    camera.loggedIn = false;
    EmuSet("emu.syslog", "line two\n");
    EXPECT_EQ(run(&CP_LogDlg::OnRefresh) + run(&CP_LogDlg::OnClearLog), "line one\nline one\n");
    EXPECT_EQ(EmuGet("emu.syslog"), "line two");
    camera.loggedIn = true;
    EXPECT_EQ(run(&CP_LogDlg::OnClearLog), "");
    EXPECT_EQ(EmuGet("emu.syslog"), "");
    EXPECT_TRUE(presenter.texts.isEmpty());

    CP_LogDlg other;
    std::strcpy(camera.device.password, "wrong");
    Refresh(other);
    EXPECT_TRUE(other.View()->toPlainText().isEmpty());
}

}   // namespace
