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
    // Waits for the format result posted by the worker.
    QString FormatResult() {
        EXPECT_TRUE(PumpUntil([&] { return !presenter.texts.isEmpty() && !page->FormatBusy(); }));
        return presenter.Last();
    }
};

TEST_F(SystemPageTest, ShowsDeviceInformation) {
    EmuSet("networktype", "wireless lan");
    EmuSetAll("stream_num=3 facddnsstatus=OFF th3ddnsstatus=");
    Refresh(*page);
    EXPECT_EQ(F(1130), "KY7200-EMU-000001");
    EXPECT_EQ(F(1132), "Wireless Lan");
    EXPECT_EQ(F(1133), "3");
    EXPECT_EQ(F(1139), "127.0.0.1");
    const std::pair<int, const char*> fromCamera[] = {
        {1131, "devtype"}, {1138, "softVersion"}, {1135, "webVersion"}, {1137, "rs485Version"}, {1136, "macaddress"},
        {1140, "netmask"}, {1102, "gateway"},     {1106, "fdnsip"},     {1107, "sdnsip"}};
    for (const auto& [id, key] : fromCamera) EXPECT_EQ(F(id).toStdString(), EmuGet(key)) << key;
    EXPECT_EQ(F(1146), "2024-01-15 08:00:00");
    // Only the exact "off" reads Off; capitals and an empty value read On.
    EXPECT_EQ(F(1145), "Off");
    EXPECT_EQ(F(1144), "On");
    EXPECT_EQ(F(1147), "On");
    EXPECT_EQ(F(1092), "Have card, free space:80%");
    EXPECT_EQ(SdButtonsOn(), 3);
    EXPECT_TRUE(presenter.texts.isEmpty());
}

TEST_F(SystemPageTest, NetworkTypeNames) {
    // Exact lower-case names only; anything else reads 5G.
    const std::pair<const char*, const char*> names[] = {
        {"lan", "LAN"}, {"wireless lan", "Wireless Lan"}, {"4g", "4G"}, {"5g", "5G"}, {"LAN", "5G"}, {"", "5G"}};
    for (const auto& [type, key] : names) EXPECT_STREQ(CP_SystemDlg::NetworkTypeKey(type), key) << type;
}

TEST_F(SystemPageTest, SdStatusText) {
    const struct {
        const char *status, *freeSpace, *total, *text;
    } cases[] = {
        {"READY", "1", "3", "Have card, free space:33%"},
        {"Readonly", "15000", "15000", "Readonly, free space:100%"},
        {"Ready", "500", "0", "Have card, free space:0%"},   // no total: guarded
        {"Ready", "-5", "100", "Have card, free space:0%"},
        {"Ready", "2000000000", "1", "Have card, free space:100%"},
        {"out", "1", "2", "No card"},
        {"busy", "1", "2", "No card"},
    };
    for (const auto& c : cases) {
        EmuSetAll(std::string("sdstatus=") + c.status + " sdfreespace=" + c.freeSpace + " sdtotalspace=" + c.total);
        Refresh(*page);
        EXPECT_EQ(F(1092), c.text) << c.status;
        EXPECT_EQ(SdButtonsOn(), 3) << c.status;
    }
}

TEST_F(SystemPageTest, LoggedOutOrCameraGoneEmptiesAndDisables) {
    Refresh(*page);
    camera.loggedIn = false;
    Refresh(*page);
    for (int id :
         {1130, 1131, 1132, 1133, 1138, 1135, 1137, 1136, 1139, 1140, 1102, 1106, 1107, 1145, 1144, 1147, 1146, 1092})
        EXPECT_TRUE(F(id).isEmpty()) << id;
    EXPECT_EQ(SdButtonsOn(), 0);
    // Format and unplug without a camera clear the page and say nothing.
    page->OnFormatSd();
    page->OnUnplugSd();
    EXPECT_TRUE(WaitIdle(*page));
    EXPECT_FALSE(page->FormatBusy());

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
    EXPECT_EQ(presenter.texts, QStringList{"SD card is being formatted, please wait..."});
    presenter.Clear();

    const std::pair<const char*, int> ticks[] = {{"--", 1}, {"\\", 2}, {"|", 3}, {"/", 0}, {"--", 1}};
    for (const auto& [mark, phase] : ticks) {
        page->OnSpinnerTick();
        EXPECT_FALSE(page->Spinner()->isHidden());
        EXPECT_EQ(page->Spinner()->text(), QString("SD card is formatting ") + mark);
        EXPECT_EQ(page->SpinnerPhase(), phase);
    }

    EXPECT_EQ(FormatResult(), "SD card format succeeded!");
    EXPECT_EQ(presenter.texts.size(), 1);
    EXPECT_EQ(EmuGet("sdfreespace"), EmuGet("sdtotalspace"));
    // The SD text is not read again.
    EXPECT_EQ(F(1092), "Have card, free space:0%");

    page->OnSpinnerTick();
    EXPECT_TRUE(page->Spinner()->isHidden());
    EXPECT_EQ(page->SpinnerPhase(), 0);
}

TEST_F(SystemPageTest, FormatFailures) {
    Refresh(*page);
    EmuSet("sdstatus", "out");
    page->OnFormatSd();
    EXPECT_EQ(FormatResult(), "SD card format failed!");

    // A camera that does not answer.
    presenter.Clear();
    EmuSet("sdstatus", "Ready");
    emulator->Stop();
    page->OnFormatSd();
    EXPECT_EQ(FormatResult(), "SD card format failed!");
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

// The camera answers slowly: a timer of the window fires meanwhile, with the
// button off.
TEST_F(SystemPageTest, UnplugStopsTheCardOffTheWindowThread) {
    Refresh(*page);
    EmuSet("emu.sd_delay_ms", "800");
    bool ticked = false;
    bool buttonOffWhileWaiting = false;
    QTimer::singleShot(200, page.get(), [&] {
        ticked = true;
        buttonOffWhileWaiting = !page->UnplugButton()->isEnabled();
    });
    page->OnUnplugSd();
    EXPECT_TRUE(WaitIdle(*page));
    EXPECT_TRUE(ticked && buttonOffWhileWaiting);
    EXPECT_TRUE(page->UnplugButton()->isEnabled());
    EXPECT_EQ(presenter.texts, QStringList{"SD card stopped successfully"});
    EXPECT_EQ(EmuGet("sdstatus"), "out");
    Refresh(*page);
    EXPECT_EQ(F(1092), "No card");

    presenter.Clear();
    emulator->Stop();
    page->OnUnplugSd();
    EXPECT_TRUE(WaitIdle(*page));
    EXPECT_EQ(presenter.texts, QStringList{"Failed to stop SD card"});
}

TEST_F(SystemPageTest, BrowseOpensTheSdBrowser) {
    QWidget* openedOver = nullptr;
    ky::pages::SetSdBrowserOpener([&](QWidget* parent) { openedOver = parent; });
    Refresh(*page);
    page->BrowseButton()->click();
    EXPECT_EQ(openedOver, page.get());
}

using LogPageTest = kytest::PageTest;

TEST_F(LogPageTest, ShowsTheLogAndClearsIt) {
    CP_LogDlg log;
    Refresh(log);
    EXPECT_TRUE(log.View()->toPlainText().contains("2024-01-15 08:00:00 system start"));
    EXPECT_TRUE(log.View()->toPlainText().contains("sd card ready"));
    // The address names the camera, never the credentials.
    EXPECT_EQ(log.Address(), QString("http://127.0.0.1:%1/log/syslog.txt").arg(emulator->HttpPort()));

    EmuSet("emu.syslog", "line one\nline two\n");
    log.OnRefresh();
    EXPECT_TRUE(WaitIdle(log));
    EXPECT_EQ(log.View()->toPlainText(), "line one\nline two\n");

    log.OnClearLog();
    EXPECT_TRUE(WaitIdle(log));
    EXPECT_EQ(EmuGet("emu.syslog"), "");
    EXPECT_TRUE(log.View()->toPlainText().isEmpty());
    EXPECT_TRUE(presenter.texts.isEmpty());
}

TEST_F(LogPageTest, WithoutCameraOrWithAWrongPasswordNothingIsShown) {
    CP_LogDlg log;
    Refresh(log);
    const QString before = log.View()->toPlainText();
    ASSERT_FALSE(before.isEmpty());
    camera.loggedIn = false;
    log.OnRefresh();
    EXPECT_TRUE(WaitIdle(log));
    log.OnClearLog();
    EXPECT_TRUE(WaitIdle(log));
    EXPECT_EQ(log.View()->toPlainText(), before);
    EXPECT_NE(EmuGet("emu.syslog"), "");

    CP_LogDlg other;
    camera.loggedIn = true;
    std::strcpy(camera.device.password, "wrong");
    Refresh(other);
    EXPECT_TRUE(other.View()->toPlainText().isEmpty());
}

}   // namespace

// With KY_PAGES_SHOTS set (under Xvfb), each page is saved as a PNG there
// after reading the emulated camera, for a look at the layout.
#include <QDir>

#include "gui/pages/media/P_VideoDlg.h"

namespace {

using PageShots = kytest::PageTest;

TEST_F(PageShots, SavePictures) {
    const QString dir = qEnvironmentVariable("KY_PAGES_SHOTS");
    if (dir.isEmpty()) GTEST_SKIP() << "KY_PAGES_SHOTS not set";
    QDir().mkpath(dir);
    CPVideoDlg video;
    CP_SystemDlg system;
    CP_LogDlg log;
    const std::pair<CCameraPage*, const char*> pages[] = {{&video, "video"}, {&system, "system"}, {&log, "log"}};
    for (auto [w, name] : pages) {
        Refresh(*w);
        w->resize(1400, 900);
        w->show();
        kytest::PumpEvents(50);
        EXPECT_TRUE(w->grab().save(dir + "/" + name + ".png"));
    }
}

}   // namespace
