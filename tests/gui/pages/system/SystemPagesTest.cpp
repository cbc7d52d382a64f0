// The system pages against the emulated camera: device information with
// the SD card, the system log, time, and maintenance with the upgrade.
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>

#include "core/discovery/DeviceFinder.h"
#include "gui/kit/AppEvents.h"
#include "gui/pages/system/P_LogDlg.h"
#include "gui/pages/system/P_NTPDlg.h"
#include "gui/pages/system/P_ResetDlg.h"
#include "gui/pages/system/P_SystemDlg.h"
#include "tests/gui/pages/PageTestSupport.h"
#include "tests/support/Netns.h"
#include "tests/support/TestFiles.h"

namespace {

using namespace kytest;

class SystemPageTest : public PageFixture<CP_SystemDlg> {
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
    // The messages of a format or unplug answered Yes, once it and the
    // read after it have ended.
    QString Run(void (CP_SystemDlg::*action)()) {
        presenter.Clear();
        presenter.answers = {true};
        (page.get()->*action)();
        EXPECT_TRUE(PumpUntil(
            [&] { return presenter.kinds.find('i') != std::string::npos && !page->FormatBusy() && !page->Busy(); }));
        QStringList said;
        for (qsizetype i = 0; i < presenter.texts.size(); ++i)
            if (presenter.kinds[size_t(i)] == 'i') said << presenter.texts[i];
        return said.join("|");
    }
};

TEST_F(SystemPageTest, ShowsDeviceInformation) {
    EmuSet("networktype", "wireless lan");
    EmuSetAll("stream_num=3 facddnsstatus=OFF th3ddnsstatus=");
    Refresh(*page);
    // Only the exact "off" reads Off; capitals and an empty value read On.
    EXPECT_EQ(
        Texts(*page, {1130, 1132, 1133, 1139, 1146, 1145, 1144, 1147}),
        (QStringList{"KY7200-EMU-000001", "Wireless Lan", "3", "127.0.0.1", "2024-01-15 08:00:00", "Off", "On", "On"}));
    const std::pair<int, const char*> fromCamera[] = {
        {1131, "devtype"}, {1138, "softVersion"}, {1135, "webVersion"}, {1137, "rs485Version"}, {1136, "macaddress"},
        {1140, "netmask"}, {1102, "gateway"},     {1106, "fdnsip"},     {1107, "sdnsip"}};
    for (const auto& [id, key] : fromCamera) EXPECT_EQ(F(id).toStdString(), EmuGet(key)) << key;
    // Exact lower-case names only; anything else reads 5G.
    for (auto [type, key] : {std::pair{"lan", "LAN"}, {"4g", "4G"}, {"5g", "5G"}, {"LAN", "5G"}, {"", "5G"}})
        EXPECT_STREQ(CP_SystemDlg::NetworkTypeKey(type), key) << type;
}

// Browse opens the SD browser over the page.
TEST_F(SystemPageTest, SdStatusTextAndBrowse) {
    for (auto [status, free, total, text] : {std::tuple{"READY", "1", "3", "Have card, free space:33%"},
                                             {"Readonly", "15000", "15000", "Readonly, free space:100%"},
                                             {"Ready", "500", "0", "Have card, free space:0%"},   // no total: guarded
                                             {"Ready", "-5", "100", "Have card, free space:0%"},
                                             {"Ready", "2000000000", "1", "Have card, free space:100%"},
                                             {"out", "1", "2", "No card"}}) {
        EmuSetAll(std::string("sdstatus=") + status + " sdfreespace=" + free + " sdtotalspace=" + total);
        Refresh(*page);
        EXPECT_EQ(F(1092), text) << status;
        EXPECT_EQ(SdButtonsOn(), 3) << status;
    }
    QWidget* openedOver = nullptr;
    ky::pages::SetSdBrowserOpener([&](QWidget* parent) { openedOver = parent; });
    page->BrowseButton()->click();
    EXPECT_EQ(openedOver, page.get());
}

// Format and unplug without a camera clear the page and say nothing.
TEST_F(SystemPageTest, LoggedOutOrCameraGoneEmptiesAndDisables) {
    const auto all = {1130, 1131, 1132, 1133, 1138, 1135, 1137, 1136, 1139,
                      1140, 1102, 1106, 1107, 1145, 1144, 1147, 1146, 1092};
    for (auto action : {&CP_SystemDlg::OnFormatSd, &CP_SystemDlg::OnUnplugSd}) {
        camera.loggedIn = true;
        Refresh(*page);
        camera.loggedIn = false;
        (page.get()->*action)();
        EXPECT_FALSE(page->FormatBusy() || page->Busy());
        EXPECT_EQ(Texts(*page, all).join(""), "");
        EXPECT_EQ(SdButtonsOn(), 0);
    }
    camera.loggedIn = true;
    Refresh(*page);
    emulator->Stop();
    Refresh(*page);
    EXPECT_EQ(Texts(*page, all).join(""), "Card reading failed");
    EXPECT_EQ(SdButtonsOn(), 0);
    EXPECT_TRUE(presenter.texts.isEmpty());
}

// Then its other results, and the unplug's.
TEST_F(SystemPageTest, FormatRunsOnAWorkerWithSpinnerAndRefusesASecondStart) {
    EmuSetAll("sdfreespace=10 emu.sd_delay_ms=1500");
    Refresh(*page);
    presenter.answers = {true};
    page->OnFormatSd();
    ASSERT_TRUE(page->FormatBusy());
    for (auto [mark, phase] : {std::pair{"--", 1}, {"\\", 2}, {"|", 3}, {"/", 0}, {"--", 1}}) {
        page->OnSpinnerTick();
        EXPECT_EQ(page->Spinner()->text(), QString("SD card is formatting ") + mark);
        EXPECT_EQ(page->SpinnerPhase(), phase);
        EXPECT_FALSE(page->Spinner()->isHidden());
    }
    EXPECT_EQ(Run(&CP_SystemDlg::OnFormatSd), "SD card is being formatted, please wait...|SD card format succeeded!");
    EXPECT_EQ(EmuGet("sdfreespace"), EmuGet("sdtotalspace"));
    // The card is read again.
    EXPECT_EQ(F(1092), "Have card, free space:100%");
    page->OnSpinnerTick();
    EXPECT_TRUE(page->Spinner()->isHidden());
    EXPECT_EQ(page->SpinnerPhase(), 0);

    EmuSet("sdstatus", "out");
    EXPECT_EQ(Run(&CP_SystemDlg::OnFormatSd), "SD card format failed!");
    EmuSet("sdstatus", "Ready");
    EXPECT_EQ(Run(&CP_SystemDlg::OnUnplugSd), "SD card stopped successfully");
    EXPECT_EQ(EmuGet("sdstatus"), "out");
    EXPECT_EQ(F(1092), "No card");
    // A camera that does not answer.
    emulator->Stop();
    EXPECT_EQ(Run(&CP_SystemDlg::OnFormatSd), "SD card format failed!");
    EXPECT_EQ(Run(&CP_SystemDlg::OnUnplugSd), "Failed to stop SD card");
}

// What erases or stops asks first, saying what is lost; No sends nothing.
TEST_F(SystemPageTest, ErasingAsksFirstAndNoSendsNothing) {
    CP_LogDlg log;
    kytest::TempDir dir;
    kytest::WriteBytes(dir.file("a.json"), R"({"pages": {"cloud": {"cloud_enable": 1}}})");
    CP_SystemDlg::SetConfigFileChooser([&](QWidget*, bool) { return QString::fromStdString(dir.file("a.json")); });
    Refresh(*page);
    Refresh(log);
    Sent();
    const std::pair<std::function<void()>, std::string> actions[] = {
        {[&] { page->OnFormatSd(); },
         "Formatting erases every recording and picture on the SD card. Format the SD card now?"},
        {[&] { page->OnUnplugSd(); },
         "Unplug the SD card? The camera stops recording to it until the card is inserted again."},
        {[&] { log.OnClearLog(); }, "Clear the camera's log? Every entry in it is lost."},
        {[&] { page->OnLoadConfig(); },
         "Write the configuration in " + dir.file("a.json") + " to the camera? Its current settings are replaced."},
    };
    for (const auto& [action, question] : actions) {
        presenter.Clear();
        action();
        PumpEvents(100);
        EXPECT_EQ(presenter.texts, QStringList{QString::fromStdString(question)});
        EXPECT_FALSE(page->FormatBusy() || page->Busy() || log.Busy());
    }
    EXPECT_EQ(Sent(), "");
}

// Save, a change at the camera, load: the camera is as saved. A document
// with anything the camera would refuse sends nothing.
TEST_F(SystemPageTest, ConfigurationSaveChangeLoadIsEqual) {
    kytest::TempDir dir;
    QString chosen;
    CP_SystemDlg::SetConfigFileChooser([&](QWidget*, bool) { return chosen; });
    auto run = [&](void (CP_SystemDlg::*action)(), const std::string& file, std::deque<bool> answers = {}) {
        chosen = QString::fromStdString(dir.file(file));
        presenter.Clear();
        presenter.answers = answers;
        (page.get()->*action)();
        EXPECT_FALSE(page->ConfigProgress()->isHidden() && page->Busy());
        EXPECT_TRUE(
            PumpUntil([&] { return !page->Busy() && presenter.kinds.find_first_of("ie") != std::string::npos; }));
        EXPECT_TRUE(page->ConfigProgress()->isHidden());
        return presenter.kinds + " " + presenter.texts.join("|").section('\n', 0, 1).toStdString();
    };
    // The camera's clock runs on between the saves: compare without it.
    auto settings = [&](const std::string& file) {
        auto doc = nlohmann::json::parse(kytest::ReadBytes(dir.file(file)));
        doc["pages"]["time"].erase("time");
        return doc.dump();
    };
    Refresh(*page);
    const std::string at = "127.0.0.1:" + std::to_string(emulator->HttpPort());
    EXPECT_EQ(run(&CP_SystemDlg::OnSaveConfig, "a.json"),
              "i The configuration of " + at + " is saved in " + dir.file("a.json") + ":\nserverinfo: Succeeded");
    EmuSetAll("profile=3 brightness=20");
    EXPECT_EQ(run(&CP_SystemDlg::OnLoadConfig, "a.json", {true}).substr(0, 2), "qi");
    ExpectEmu("profile=1 brightness=50");
    run(&CP_SystemDlg::OnSaveConfig, "b.json");
    EXPECT_EQ(settings("a.json"), settings("b.json"));

    kytest::WriteBytes(dir.file("bad.json"), R"({"pages": {"net": {"httpport": 80}, "cloud": {"nosuch": 1}}})");
    Sent();
    EXPECT_EQ(run(&CP_SystemDlg::OnLoadConfig, "bad.json"),
              "e The file " + dir.file("bad.json") + " cannot be loaded: cloud: page 'cloud' has no field 'nosuch'");
    EXPECT_EQ(Sent(), "");
}

TEST_F(SystemPageTest, PageGoingAwayDuringFormatIsSafe) {
    EmuSet("emu.sd_delay_ms", "300");
    Refresh(*page);
    presenter.answers = {true};
    page->OnFormatSd();
    presenter.Clear();
    page.reset();
    // The worker finishes on its own and posts to no one.
    const std::string total = EmuGet("sdtotalspace");
    EXPECT_EQ(EmuAwait("sdfreespace", total), total);
    PumpEvents(100);
    EXPECT_TRUE(presenter.texts.isEmpty());
    page = std::make_unique<CP_SystemDlg>();
}

using LogPageTest = PageTest;

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
    presenter.answers = {true};
    EXPECT_EQ(run(&CP_LogDlg::OnClearLog), "");
    EXPECT_EQ(EmuGet("emu.syslog"), "");
    EXPECT_EQ(presenter.kinds, "q");

    CP_LogDlg other;
    std::strcpy(camera.device.password, "wrong");
    Refresh(other);
    EXPECT_TRUE(other.View()->toPlainText().isEmpty());
}

// The PC's clock stands still at a chosen moment.
class FixedClockNtpDlg : public CP_NTPDLG {
public:
    std::time_t now = 0;
    std::time_t Now() const override { return now; }
};

using TimePageTest = PageTest;

TEST_F(TimePageTest, ShowsZoneTimeAndDaylightSaving) {
    appDir.WriteLang("lang_chn.dat", "[P_NTP_DLG]\nAsia/Hong_Kong=香港\n");
    FixedClockNtpDlg page;
    for (auto [zone, dst, time, shown, dstShown, deviceTime] :
         {std::tuple{"Asia/hong_kong", "off", "2024.02.30.10.00.00", "GMT+08:00 香港", "", "2024-02-30 10:00:00"},
          {"America/St_Johns", "on", "20211102195327", "GMT-03:30 America/St_Johns", "on", "2021-11-02 19:53:27"},
          {"Europe/Dublin", "off", "2024.01.01.00.00.00", "GMT 00:00 Europe/Dublin", "off", "2024-01-01 00:00:00"},
          {"Mars/Olympus", "off", "2024.01.01.00.00.00", "GMT+13:00 Pacific/Tongatapu", "", "2024-01-01 00:00:00"}}) {
        SCOPED_TRACE(zone);
        EmuSetAll(std::string("timeZone=") + zone + " dstmode=" + dst + " time=" + time);
        Refresh(page);
        EXPECT_EQ(page.ZoneList()->currentText(), QString::fromUtf8(shown));
        EXPECT_EQ(page.DstBox()->isHidden() ? "" : page.DstBox()->isChecked() ? "on" : "off", std::string(dstShown));
        EXPECT_EQ(page.DeviceTime()->text(), deviceTime);
    }
    // Picking a zone without daylight saving hides and clears the box.
    page.ZoneList()->setCurrentIndex(56);
    page.OnZoneChosen();
    EXPECT_TRUE(page.DstBox()->isHidden() && !page.DstBox()->isChecked());
}

// The NTP write goes first; the zone is written only when changed, and a
// failed zone write says nothing and puts the camera's zone back.
TEST_F(TimePageTest, ApplyWritesTheZoneOnlyWhenChangedAndRestoresItOnFailure) {
    FixedClockNtpDlg page;
    EmuSetAll("timeZone=Europe/Amsterdam dstmode=on");
    Refresh(page);
    EmuSet("emu.fail_cmd", "setservertime");
    page.IntervalList()->setCurrentIndex(5);
    EXPECT_EQ(ApplyMessage(page), kOk);
    EXPECT_EQ(EmuGet("ntpinterval"), "6");

    Set(page.ZoneList(), "#13", page.ServerBox(), "  time.nist.gov ");
    EXPECT_EQ(ApplyMessage(page), "");
    EXPECT_EQ(EmuGet("ntpserver") + " " + EmuGet("timeZone"), "time.nist.gov Europe/Amsterdam");
    EXPECT_EQ(States({page.ZoneList(), page.DstBox()}), (QStringList{"GMT+01:00 Europe/Amsterdam", "on"}));

    EmuSet("emu.fail_cmd", "");
    Set(page.ZoneList(), "#13", page.DstBox(), "off");
    EXPECT_EQ(ApplyMessage(page), kOk);
    EXPECT_EQ(EmuGet("timeZone") + " " + EmuGet("dstmode"), "America/New_York off");
    page.ServerBox()->setEditText("   ");
    EXPECT_EQ(ApplyMessage(page), "NTP server address cannot be empty!");
}

TEST_F(TimePageTest, SyncTakesThePcZoneWithDaylightSavingOrRefuses) {
    FixedClockNtpDlg page;
    constexpr std::time_t kSummer = 1719835200;   // 2024-07-01 12:00:00 UTC
    constexpr std::time_t kWinter = 1705320000;   // 2024-01-15 12:00:00 UTC
    const char* ok = "PC time synchronization succeeded!";
    const auto cases = {
        std::tuple{"Europe/Amsterdam", kSummer, "2024.07.01.14.00.00", "Europe/Amsterdam", "on", ok},
        {"Europe/Amsterdam", kWinter, "2024.01.15.13.00.00", "Europe/Amsterdam", "on", ok},
        {"Asia/Kolkata", kWinter, "2024.01.15.17.30.00", "Asia/Calcutta", "off", ok},
        // No row of the table has UTC+14: nothing is sent.
        {"Pacific/Kiritimati", kWinter, "2024.01.15.17.30.00", "Asia/Calcutta", "off",
         "The time zone of this PC is not in the camera's list!"},
    };
    EmuSet("time", "2020.01.01.00.00.00");   // a fixed clock shows exactly what was sent
    for (auto [tz, utc, time, zone, dst, message] : cases) {
        SCOPED_TRACE(tz);
        setenv("TZ", tz, 1);
        page.now = utc;
        presenter.Clear();
        page.OnSyncWithPc();
        EXPECT_TRUE(WaitIdle(page));
        EXPECT_EQ(presenter.texts, QStringList{message});
        EXPECT_EQ(EmuGet("time") + " " + EmuGet("timeZone") + " " + EmuGet("dstmode"),
                  std::string(time) + " " + zone + " " + dst);
        EXPECT_EQ(page.ZoneList()->currentText().section(' ', 1), zone);
    }
    unsetenv("TZ");   // the tests run with TZ unset
}

class ResetPage : public PageFixture<CP_ResetDlg> {
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

TEST_F(ResetPage, UpgradeChecksInOrderAndBrowseTakesOnlyPkg) {
    const std::pair<QString, const char*> cases[] = {
        {"/tmp/x.pkg", "No login device!"},   // logged out
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

// The lens type is shown, not chosen.
TEST_F(ResetPage, LensTypeAndProgressValuesDriveThePage) {
    for (auto [value, text] : {std::pair{"12", ""}, {"3", "2.7-13.5mm(5)"}}) {
        EmuSet("lenstype", value);
        Refresh(*page);
        EXPECT_EQ(page->LensType()->currentText(), text) << value;
    }
    EXPECT_FALSE(page->LensType()->isEnabled());
    page->Progress()->show();
    auto post = [&](int value) {
        QCoreApplication::postEvent(page.get(), new CPageResultEvent(ky::msg::kUpgradeProgress, value));
        PumpEvents(20);
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
// The parameter: the emulator's restart time, the closing message, and
// whether the camera was opened by address (no identifier to look for).
struct UpgradeCase {
    const char* restartMs;
    const char* message;
    bool byAddress;
};
class UpgradeNetns : public ResetPage, public ::testing::WithParamInterface<UpgradeCase> {
protected:
    void SetUp() override {
        if (!ky::test::OnlyLoopback()) GTEST_SKIP() << "needs a private network namespace";
        withDiscovery = true;
        emulatorArgs = {"--restart-ms", GetParam().restartMs};
        ResetPage::SetUp();
        CP_ResetDlg::SetUpgradeLimits({.passMs = 100, .firstLookPass = 5, .maxPasses = 100, .maxMs = 8000});
        if (GetParam().byAddress)
            EmuSet("ip", "127.0.0.1");   // where the page's camera was opened
        else
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
              (QStringList{"Are you sure you want to upgrade?", "An upgrade is already running!", GetParam().message}));
    EXPECT_EQ(page->Progress()->value(), 100);
    EXPECT_FALSE(Locked());
}

INSTANTIATE_TEST_SUITE_P(Upgrade, UpgradeNetns,
                         ::testing::Values(UpgradeCase{"500", "End of upgrade task!", false},
                                           UpgradeCase{"500", "End of upgrade task!", true},
                                           UpgradeCase{"600000",
                                                       "The firmware was sent, but the camera's return with "
                                                       "the new firmware was not confirmed!",
                                                       false}));

}   // namespace
