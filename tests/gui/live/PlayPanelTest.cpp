// The play panel: without a camera (the connection form and its checks, the
// preset number filter, the PTZ speed setting, the folders, the camera
// buttons while nothing is logged in), then against kycam-emulator (PTZ and
// preset commands as the camera receives them, snapshots and recordings on
// disk, talk frames at the camera, listening with and without a sound output).
#include <gtest/gtest.h>

#include <QAudioDevice>
#include <QComboBox>
#include <QLineEdit>
#include <QMediaDevices>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <cstring>
#include <filesystem>

#include "core/services/IniFile.h"
#include "core/services/Settings.h"
#include "gui/live/AudioOut.h"
#include "gui/live/LeftPlayDlg.h"
#include "gui/live/SnapThread.h"
#include "gui/live/Talk.h"
#include "gui/live/VideoDlg.h"
#include "tests/gui/live/LiveTestSupport.h"
#include "tests/support/GuiTestSupport.h"

namespace fs = std::filesystem;
using kytest::kWaitMs;

namespace {

// A camera that only notes the records it is asked to open.
class ConnectRecorder : public kytest::FakeCamera {
public:
    void Connect(const DeviceRecord& d) override { opened.push_back(d); }
    std::vector<DeviceRecord> opened;
};

std::string Describe(const DeviceRecord& d) {
    return std::string(ky::FieldText(d.info.ip)) + ":" + std::string(ky::FieldText(d.info.httpPort)) + " " +
           std::string(ky::FieldText(d.user)) + "/" + std::string(ky::FieldText(d.password)) + " stream " +
           std::to_string(d.stream);
}

class PlayPanel : public ::testing::Test {
protected:
    void SetUp() override { MakePanel(); }
    void MakePanel() {
        panel = std::make_unique<CLeftPlayDlg>();
        panel->SetFrontRaiser([this] { ++fronts; });
        panel->SetFolderOpener([this](const QString& f) { opened << f; });
    }
    std::string Setting(const std::string& key) { return CIniFile(SettingsFilePath()).GetString("Config", key, ""); }
    // Fills the form and presses Preview.
    void Preview(const QString& ip, const QString& port) {
        panel->IpEdit()->setText(ip);
        panel->PortEdit()->setText(port);
        presenter.Clear();
        panel->Button("preview")->click();
    }

    kytest::GuiAppDir app;
    kytest::RecordingPresenter presenter;
    ConnectRecorder camera;
    std::unique_ptr<CLeftPlayDlg> panel;
    int fronts = 0;
    QStringList opened;
};

TEST_F(PlayPanel, StartsWithTheFormDefaultsAndTheSnapshotFolder) {
    const QStringList form = {
        panel->UserEdit()->text(),   panel->PasswordEdit()->text(),      panel->IpEdit()->text(),
        panel->PortEdit()->text(),   panel->StreamList()->currentText(), panel->PresetEdit()->text(),
        panel->TalkButton()->text(), panel->ListenButton()->text()};
    EXPECT_EQ(form, (QStringList{"admin", "tovel", "", "80", "First stream", "1", "Start talk", "Listen"}));
    EXPECT_EQ(panel->PasswordEdit()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(panel->StreamList()->count(), 2);
    EXPECT_TRUE(panel->StartRecordButton()->isEnabled());
    EXPECT_FALSE(panel->StopRecordButton()->isEnabled());
    // The snapshot folder is named in settings.ini and made at once.
    EXPECT_EQ(Setting("SnapFiles"), app.file("SnapPic"));
    EXPECT_TRUE(fs::is_directory(app.file("SnapPic")));
}

TEST_F(PlayPanel, SpeedListShowsTheStoredIndexAndStoresTheChoice) {
    QComboBox* speed = panel->SpeedList();
    ASSERT_EQ(speed->count(), 63);
    EXPECT_EQ(speed->itemText(0) + speed->itemText(62), "163");
    speed->setCurrentIndex(9);
    EXPECT_EQ(Setting("PTZSpeed"), "9");
    EXPECT_EQ(panel->PtzSpeed(), 9);
    // Stored text -> entry shown and index used; nothing stored: index 45, the
    // entry "46"; outside the list: kept inside it rather than selecting nothing.
    for (auto [stored, shown, index] :
         {std::tuple{"9", "10", 9}, {"0", "1", 0}, {"", "46", 45}, {"200", "63", 62}, {"-4", "1", 0}}) {
        CIniFile(SettingsFilePath()).WriteString("Config", "PTZSpeed", stored);
        MakePanel();
        EXPECT_EQ(panel->SpeedList()->currentText(), shown) << stored;
        EXPECT_EQ(panel->PtzSpeed(), index) << stored;
    }
}

TEST(PlayPanelRules, IpAddressAndPort) {
    for (const char* ok : {"192.168.1.0", "1.2.3.4", "255.255.255.255", "127.0.0.1", "10.0.0.001"})
        EXPECT_TRUE(CLeftPlayDlg::IsValidIp(QString::fromLatin1(ok))) << ok;
    for (const char* bad :
         {"0.1.2.3", "1.2.3", "1.2.3.4a", "256.1.1.1", "1.2.3.256", "1.2.3.4.", "1..2.3", ".1.2.3", "1.2.3.-4",
          " 1.2.3.4", "1.2.3.4 ", "", "a.b.c.d", "1.2.3.4.5", "1.2.3.99999999999", "0001.0002.0003.4"})
        EXPECT_FALSE(CLeftPlayDlg::IsValidIp(QString::fromLatin1(bad))) << bad;
    for (long ok : {80L, 1024L, 8080L, 49151L}) EXPECT_TRUE(CLeftPlayDlg::IsValidPort(ok)) << ok;
    for (long bad : {0L, 79L, 81L, 443L, 1023L, 49152L, 65535L, -80L})
        EXPECT_FALSE(CLeftPlayDlg::IsValidPort(bad)) << bad;
}

TEST_F(PlayPanel, PreviewChecksTheFormAndOpensTheRecord) {
    Preview("1.2.3", "80");
    EXPECT_EQ(presenter.texts, QStringList{"Illegal IP address!"});
    // The IP text is taken before the port is checked.
    Preview("192.168.1.20", "443");
    EXPECT_EQ(presenter.texts, QStringList{"Illegal port"});
    EXPECT_EQ(Describe(panel->Device()), "192.168.1.20: / stream 0");
    Preview("192.168.1.20", "");
    EXPECT_EQ(presenter.texts, QStringList{"Illegal port"});
    EXPECT_TRUE(camera.opened.empty());

    panel->UserEdit()->setText(QStringLiteral("operator"));
    panel->PasswordEdit()->setText(QStringLiteral("pässwörd"));
    panel->StreamList()->setCurrentIndex(1);
    panel->Button("startRecord")->setEnabled(false);
    panel->Button("stopRecord")->setEnabled(true);
    Preview("192.168.1.20", "8080");
    EXPECT_TRUE(presenter.texts.isEmpty());
    ASSERT_EQ(camera.opened.size(), 1u);
    EXPECT_EQ(Describe(camera.opened[0]), "192.168.1.20:8080 operator/pässwörd stream 1");
    EXPECT_EQ(fronts, 1);
    EXPECT_TRUE(panel->StartRecordButton()->isEnabled());
    EXPECT_FALSE(panel->StopRecordButton()->isEnabled());

    // Long credentials are cut on character boundaries: 40 two-byte characters
    // (80 bytes) to 63 bytes, 31 whole characters.
    panel->UserEdit()->setText(QString(40, QChar(0x00E9)));
    panel->PasswordEdit()->setText(QString(40, QChar(0x00E9)));
    Preview("10.1.1.1", "80");
    ASSERT_EQ(camera.opened.size(), 2u);
    EXPECT_EQ(QString::fromUtf8(camera.opened[1].user), QString(31, QChar(0x00E9)));
    EXPECT_EQ(QString::fromUtf8(camera.opened[1].password), QString(31, QChar(0x00E9)));

    // While logged in, Preview only brings the play view to the front.
    camera.Login("IPC");
    Preview("192.168.1.30", "80");
    EXPECT_EQ(camera.opened.size(), 2u);
    EXPECT_TRUE(presenter.texts.isEmpty());
    EXPECT_EQ(fronts, 3);
}

TEST_F(PlayPanel, FillConnectFormCopiesTheSearchRecord) {
    DeviceRecord d{};
    std::strcpy(d.info.deviceId, "KY-0001");
    std::strcpy(d.info.deviceName, "Gate");
    std::strcpy(d.info.ip, "192.168.7.9");
    std::strcpy(d.info.httpPort, "8081");
    std::strcpy(d.user, "guest");
    std::strcpy(d.password, "secret");
    d.stream = 1;
    panel->FillConnectForm(d);
    EXPECT_EQ((QStringList{panel->IpEdit()->text(), panel->PortEdit()->text(), panel->UserEdit()->text(),
                           panel->PasswordEdit()->text()}),
              (QStringList{"192.168.7.9", "8081", "guest", "secret"}));
    EXPECT_EQ(panel->StreamList()->currentIndex(), 1);
    EXPECT_EQ(std::memcmp(&panel->Device(), &d, sizeof d), 0);
    EXPECT_TRUE(camera.opened.empty());
    // Opening it keeps what the search list knew about the device.
    panel->Button("preview")->click();
    ASSERT_EQ(camera.opened.size(), 1u);
    EXPECT_EQ(std::memcmp(&camera.opened[0], &d, sizeof d), 0);
    // Stream values outside 0..1 land on the nearest entry.
    for (auto [stream, index] : {std::pair{5, 1}, {-1, 0}}) {
        d.stream = stream;
        panel->FillConnectForm(d);
        EXPECT_EQ(panel->StreamList()->currentIndex(), index) << stream;
    }
}

TEST_F(PlayPanel, PresetNumberFilter) {
    for (auto [in, out] : {std::pair{"0", ""},
                           {"1234", "123"},
                           {"12a", "12"},
                           {"a12", "12"},
                           {"1a2b", "12"},
                           {"00", "00"},
                           {"255", "255"},
                           {"12ab5", "12"},
                           {"", ""}}) {
        // The filter runs again on its own result, as the field does.
        QString t = QString::fromLatin1(in), prev;
        do {
            prev = t;
            t = CLeftPlayDlg::FilterNumberText(t);
        } while (t != prev);
        EXPECT_EQ(t, QString::fromLatin1(out)) << in;
    }
    bool cut = false;
    EXPECT_EQ(CLeftPlayDlg::FilterNumberText(QStringLiteral("1234"), &cut), "123");
    EXPECT_TRUE(cut);

    // In the field itself, as typed; a cut text is selected.
    QLineEdit* preset = panel->PresetEdit();
    preset->clear();
    QTest::keyClicks(preset, QStringLiteral("0"));
    QTest::keyClicks(preset, QStringLiteral("4x"));
    EXPECT_EQ(preset->text(), "4");
    preset->setText(QStringLiteral("98765"));
    EXPECT_EQ(preset->selectedText(), "987");
    preset->setText(QStringLiteral("0a"));   // "0" after the letter goes, then cleared
    EXPECT_EQ(preset->text(), "");
}

TEST_F(PlayPanel, CameraButtonsWithoutALoginSendAndShowNothing) {
    for (const char* name :
         {"ptzUp", "ptzDown", "ptzLeft", "ptzRight", "zoomIn", "zoomOut", "focusIn", "focusOut", "ptzHome",
          "cruiseHorizontal", "cruiseVertical", "presetSet", "presetCall", "presetDelete", "capture", "startRecord"}) {
        ASSERT_NE(panel->Button(name), nullptr) << name;
        panel->Button(name)->click();
    }
    EXPECT_TRUE(presenter.texts.isEmpty());
    EXPECT_EQ(fronts, 0);
    EXPECT_EQ(panel->PendingSnapshots(), 0u);
    EXPECT_FALSE(fs::exists(app.file("RecFiles")));
    panel->Button("talk")->click();
    panel->Button("listen")->click();
    EXPECT_EQ(presenter.texts, (QStringList{"Not connected!", "Not connected!"}));
    EXPECT_EQ(panel->TalkButton()->text() + panel->ListenButton()->text(), "Start talkListen");

    // Stop record enables both record buttons.
    panel->StartRecordButton()->setEnabled(false);
    panel->StopRecordButton()->setEnabled(true);
    panel->StopRecordButton()->click();
    EXPECT_TRUE(panel->StartRecordButton()->isEnabled() && panel->StopRecordButton()->isEnabled());
}

TEST_F(PlayPanel, FolderButtons) {
    auto path = [&](const std::string& rel) { return QString::fromStdString(app.file(rel)); };
    // Not logged in: the base folders.
    panel->Button("snapOpen")->click();
    panel->Button("recOpen")->click();
    EXPECT_EQ(opened, (QStringList{path("SnapPic"), path("RecFiles")}));
    EXPECT_TRUE(fs::is_directory(app.file("RecFiles")));
    // Logged in: the camera's sub-folder, made on the way; a search reply's IP
    // text never leads out of the folder.
    camera.Login("IPC");
    std::strcpy(camera.device.info.ip, "192.168.1.5");
    panel->Button("snapOpen")->click();
    EXPECT_TRUE(fs::is_directory(app.file("SnapPic/192.168.1.5")));
    std::strcpy(camera.device.info.ip, "../../x");
    panel->Button("recOpen")->click();
    EXPECT_EQ(opened.mid(2), (QStringList{path("SnapPic/192.168.1.5"), path("RecFiles/.._.._x")}));

    // Choosing: a picked folder is made and stored; a cancel stores the current one again.
    QString title;
    const std::string chosen = app.file("pictures/new");
    panel->SetFolderChooser([&](QWidget*, const QString& t, const QString&) {
        title = t;
        return QString::fromStdString(chosen);
    });
    panel->Button("snapPath")->click();
    EXPECT_EQ(title, QString::fromUtf8("选择路径"));
    EXPECT_EQ(GetSnapDir(), chosen);
    EXPECT_TRUE(fs::is_directory(chosen));
    CIniFile(SettingsFilePath()).WriteString("Config", "RecFiles", "");
    panel->SetFolderChooser([](QWidget*, const QString&, const QString&) { return QString(); });
    panel->Button("recPath")->click();
    EXPECT_EQ(Setting("RecFiles"), app.file("RecFiles"));
    EXPECT_EQ(GetSnapDir(), chosen);
}

TEST(SnapNames, PatternsAndCounter) {
    std::tm t{};
    t.tm_year = 2024 - 1900, t.tm_mon = 2, t.tm_mday = 7, t.tm_hour = 9, t.tm_min = 5, t.tm_sec = 3;
    EXPECT_EQ(SnapFileName(t, 12), "Snap_20240307-090503_12.jpg");
    EXPECT_EQ(RecFileName(t), "RecFile_20240307-090503.avi");
    ResetSnapCounter();
    EXPECT_EQ(NextSnapCounter(), 0);
    EXPECT_EQ(NextSnapCounter(), 1);
    ResetSnapCounter();
    EXPECT_EQ(NextSnapCounter(), 0);
    for (auto [ip, folder] : {std::pair{"10.0.0.2", "10.0.0.2"}, {"..", "_"}, {"", "_"}, {"a/b\\c", "a_b_c"}})
        EXPECT_EQ(CameraFolderName(ip), folder) << ip;
}

// ---- against the emulated camera ----------------------------------------------------

// File names in a folder, sorted.
QStringList FilesIn(const std::string& dir) {
    QStringList out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) out << QString::fromStdString(e.path().filename().string());
    out.sort();
    return out;
}

// Sound output that works and counts what it is given.
class FakeAudio : public KySdkAudioOutput {
public:
    bool Open(int, int) override { return true; }
    void Write(const int16_t*, int count) override { samples += count; }
    void Close() override {}
    static inline std::atomic<int> samples{0};
};

class PlayPanelCamera : public ::testing::Test {
protected:
    static void SetUpTestSuite() { KY_SDK_Init(); }
    static void TearDownTestSuite() { KY_SDK_Cleanup(); }
    void SetUp() override {
        ASSERT_TRUE(kytest::Emulator().Ok()) << "emulator did not start: " << ky::test::EmulatorProcess::BinaryPath();
        MakePanel();
        ASSERT_EQ(kytest::ConnectAndWait(live, kytest::EmulatorRecord()), 0);
    }
    void TearDown() override {
        panel.reset();
        live.Disconnect();
        KY_SDK_SetAudioOutputFactory(nullptr);
    }
    void MakePanel() {
        panel = std::make_unique<CLeftPlayDlg>();
        panel->SetFrontRaiser([this] { ++fronts; });
    }
    void Click(const char* name) {
        ASSERT_NE(panel->Button(name), nullptr) << name;
        panel->Button(name)->click();
    }
    // Logs out behind the live view's back: it still counts as logged in,
    // but the camera refuses everything sent on that login.
    void BreakLogin() {
        const KY_HANDLE h = live.Handle();
        live.Disconnect();
        ASSERT_EQ(kytest::ConnectAndWait(live, kytest::EmulatorRecord()), 0);
        live.staleHandle = h;
        presenter.Clear();
    }
    bool Frames(int n) {
        const int target = live.frames + n;
        return QTest::qWaitFor([&] { return live.frames >= target; }, kWaitMs);
    }
    std::string CameraDir(const std::string& base) { return base + "/127.0.0.1"; }

    kytest::GuiAppDir app;
    kytest::RecordingPresenter presenter;
    kytest::EmuRoutes emu = kytest::Routes();
    kytest::SdkLiveView live;
    std::unique_ptr<CLeftPlayDlg> panel;
    int fronts = 0;
};

TEST_F(PlayPanelCamera, StepButtonsSendTheirCodesAtTheCameraSpeed) {
    int count = emu.Int("sdk.ptz.count");
    for (auto [name, code] : {std::pair{"ptzUp", 0x3001},
                              {"ptzDown", 0x3002},
                              {"ptzLeft", 0x3003},
                              {"ptzRight", 0x3004},
                              {"zoomIn", 0x3005},
                              {"zoomOut", 0x3006},
                              {"focusIn", 0x3007},
                              {"focusOut", 0x3008}}) {
        Click(name);
        EXPECT_EQ(emu.Int("sdk.ptz.count"), ++count) << name << ": one command per click";
        EXPECT_EQ(
            emu.Key("sdk.ptz.last.func") + " " + emu.Key("sdk.ptz.last.cmd") + " " + emu.Key("sdk.ptz.last.speed"),
            "ptzex " + std::to_string(code) + " -1")
            << name;
    }
    EXPECT_EQ(fronts, 8);
    EXPECT_TRUE(presenter.texts.isEmpty());
}

TEST_F(PlayPanelCamera, HomeAndCruisesSendTheStoredSpeedIndex) {
    auto last = [&] { return emu.Key("sdk.ptz.last.cmd") + " " + emu.Key("sdk.ptz.last.speed"); };
    Click("ptzRight");
    Click("ptzHome");
    EXPECT_EQ(last(), "12327 5");   // 0x3027 at speed 5
    Click("cruiseHorizontal");      // stored speed missing: index 45
    EXPECT_EQ(last(), "12329 45");
    panel->SpeedList()->setCurrentIndex(9);   // the entry "10"
    Click("cruiseVertical");
    EXPECT_EQ(last(), "12328 9");
    EXPECT_EQ(emu.Key("sdk.ptz.cruise"), "vertical");
    EXPECT_TRUE(presenter.texts.isEmpty());

    BreakLogin();
    Click("cruiseHorizontal");
    Click("cruiseVertical");
    EXPECT_EQ(presenter.texts, (QStringList{"Horizontal cruise failed!", "Vertical cruise failed!"}));
}

TEST_F(PlayPanelCamera, PresetsUseTheNumberLessOne) {
    QLineEdit* preset = panel->PresetEdit();
    Click("ptzRight");
    Click("presetSet");   // the field starts at 1
    EXPECT_EQ(emu.Key("sdk.preset.last"), "0");
    preset->setText(QStringLiteral("255"));
    Click("presetSet");
    EXPECT_EQ(emu.Key("sdk.preset.last"), "254");
    Click("ptzHome");
    preset->setText(QStringLiteral("1"));
    Click("presetCall");
    EXPECT_NE(emu.Key("sdk.ptz.pan"), "0") << "the camera went back to the preset";
    Click("presetDelete");
    EXPECT_EQ(emu.Key("sdk.preset.0"), "<missing>");
    EXPECT_TRUE(presenter.texts.isEmpty());
    Click("presetCall");   // deleted: the camera refuses
    EXPECT_EQ(presenter.texts, QStringList{"Failed to call preset position!"});

    presenter.Clear();
    const int before = emu.Int("sdk.ptz.count");
    for (const char* text : {"256", "", "00"}) {
        preset->setText(QString::fromLatin1(text));
        Click("presetSet");
    }
    EXPECT_EQ(presenter.texts, QStringList(3, QStringLiteral("Preset position range 1 ~ 255!")));
    EXPECT_EQ(emu.Int("sdk.ptz.count"), before);

    BreakLogin();
    preset->setText(QStringLiteral("3"));
    for (const char* name : {"presetSet", "presetDelete"}) Click(name);
    EXPECT_EQ(presenter.texts, (QStringList{"Failed to set preset position!", "Failed to delete preset position!"}));
}

TEST_F(PlayPanelCamera, SnapshotsAreNamedByTimeAndCounterAndClosingWaitsForThem) {
    ASSERT_TRUE(Frames(1)) << "no picture";
    panel->ResetSnapSequence();
    Click("capture");
    Click("capture");
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->PendingSnapshots() == 0; }, kWaitMs));
    EXPECT_TRUE(presenter.texts.isEmpty()) << presenter.Last().toStdString();
    const QStringList files = FilesIn(CameraDir(GetSnapDir()));
    ASSERT_EQ(files.size(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(QRegularExpression(QString("^Snap_\\d{8}-\\d{6}_%1\\.jpg$").arg(i)).match(files[i]).hasMatch())
            << files[i].toStdString();

    // The panel closing waits for its workers; their late notices go nowhere.
    for (int i = 0; i < 3; ++i) Click("capture");
    panel.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(FilesIn(CameraDir(GetSnapDir())).size(), 5);

    // A refused capture is reported once the worker is done.
    MakePanel();
    BreakLogin();
    Click("capture");
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->PendingSnapshots() == 0; }, kWaitMs));
    EXPECT_EQ(presenter.texts, QStringList{"Capture failed"});
    EXPECT_EQ(FilesIn(CameraDir(GetSnapDir())).size(), 5);
}

TEST_F(PlayPanelCamera, RecordingGoesToANamedFileAndTheButtonsFollow) {
    ASSERT_EQ(kytest::ConnectAndWait(live, kytest::EmulatorRecord(1)), 0);   // the small second stream
    ASSERT_TRUE(Frames(1));
    Click("startRecord");
    EXPECT_TRUE(presenter.texts.isEmpty()) << presenter.Last().toStdString();
    EXPECT_TRUE(live.IsRecording());
    EXPECT_FALSE(panel->StartRecordButton()->isEnabled());
    EXPECT_TRUE(panel->StopRecordButton()->isEnabled());
    ASSERT_TRUE(Frames(30));   // past the next key frame
    Click("stopRecord");
    EXPECT_FALSE(live.IsRecording());
    EXPECT_TRUE(panel->StartRecordButton()->isEnabled() && panel->StopRecordButton()->isEnabled());
    const QStringList files = FilesIn(CameraDir(GetRecDir()));
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(QRegularExpression("^RecFile_\\d{8}-\\d{6}\\.avi$").match(files[0]).hasMatch())
        << files[0].toStdString();
    EXPECT_GT(fs::file_size(CameraDir(GetRecDir()) + "/" + files[0].toStdString()), 0u);

    BreakLogin();
    Click("startRecord");
    EXPECT_EQ(presenter.texts, QStringList{"Video recording failed!"});
    EXPECT_FALSE(live.IsRecording());
}

TEST_F(PlayPanelCamera, TalkSendsTheSoundFileInOrderAndLoops) {
    // 400 bytes: two whole frames, then the file starts over.
    std::string sound(400, '\0');
    for (size_t i = 0; i < sound.size(); ++i) sound[i] = char(i * 7 + 1);
    kytest::WriteBytes(app.file("test.g711"), sound);
    panel->SetTalkFile(app.file("test.g711"));
    Click("talk");
    EXPECT_EQ(panel->TalkButton()->text(), "Stop talk");
    EXPECT_TRUE(live.IsTalking());
    ASSERT_TRUE(QTest::qWaitFor([&] { return emu.Int("sdk.talk.frames") >= 6; }, kWaitMs));
    Click("talk");
    EXPECT_EQ(panel->TalkButton()->text(), "Start talk");
    EXPECT_FALSE(live.IsTalking());
    EXPECT_EQ(emu.Key("sdk.talk.open"), "0");

    // The frames the camera got: 164 bytes each, header 00 01 50 00.
    const std::string received = emu.Get("/sdk/talk-received");
    ASSERT_EQ(received.size() % kTalkFrame, 0u);
    ASSERT_GE(received.size(), 6u * kTalkFrame);
    for (size_t i = 0; i * kTalkFrame < received.size(); ++i)
        EXPECT_EQ(received.substr(i * kTalkFrame, kTalkFrame),
                  std::string("\x00\x01\x50\x00", 4) + sound.substr((i % 2) * 160, 160))
            << "frame " << i;
}

TEST_F(PlayPanelCamera, TalkMakesItsTestSoundWhenNoneLiesBesideTheProgram) {
    const std::string music = app.file("music.g711");
    ASSERT_FALSE(fs::exists(music));
    Click("talk");
    const std::string sound = kytest::ReadBytes(music);
    EXPECT_EQ(std::vector<uint8_t>(sound.begin(), sound.end()), MakeTestSound());
    ASSERT_TRUE(QTest::qWaitFor([&] { return emu.Int("sdk.talk.frames") >= 3; }, kWaitMs));
    Click("talk");
    EXPECT_EQ(emu.Get("/sdk/talk-received").substr(4, 160), sound.substr(0, 160));
    // An existing file is left as it is.
    kytest::WriteBytes(music, "mine");
    EXPECT_TRUE(EnsureTestSound(music));
    EXPECT_EQ(kytest::ReadBytes(music), "mine");
}

TEST_F(PlayPanelCamera, TalkThatCannotStartSaysSoAndTheEndOfTheConnectionResetsTheButton) {
    BreakLogin();
    Click("talk");
    EXPECT_EQ(presenter.texts, QStringList{"Failed to start talk!"});
    EXPECT_EQ(panel->TalkButton()->text(), "Start talk");
    EXPECT_FALSE(live.IsTalking());

    live.staleHandle = 0;
    presenter.Clear();
    Click("talk");
    ASSERT_TRUE(live.IsTalking());
    live.Disconnect();   // the live view ends the connection and closes the channel itself
    panel->OnTalkEnded();
    EXPECT_EQ(panel->TalkButton()->text(), "Talk");
    EXPECT_TRUE(presenter.texts.isEmpty());
}

TEST_F(PlayPanelCamera, ListenWithoutASoundDeviceStaysMuted) {
    if (!QMediaDevices::audioOutputs().isEmpty()) GTEST_SKIP() << "this machine has a sound output";
    KY_SDK_SetAudioOutputFactory(&CreateQtAudioOutput);
    Click("listen");
    EXPECT_EQ(panel->ListenButton()->text(), "Listen");
    EXPECT_FALSE(live.IsListening());
    EXPECT_GT(live.markChanges, 0) << "the title's marks are refreshed";
    int on = -1;
    ASSERT_EQ(KY_SDK_GetMute(live.Handle(), 0, &on), 0);
    EXPECT_EQ(on, 0);
    EXPECT_TRUE(presenter.texts.isEmpty());
}

TEST_F(PlayPanelCamera, ListenAndMuteFollowTheSoundState) {
    KY_SDK_SetAudioOutputFactory([]() -> KySdkAudioOutput* { return new FakeAudio; });
    Click("listen");
    EXPECT_EQ(panel->ListenButton()->text(), "Mute");
    EXPECT_TRUE(live.IsListening());
    EXPECT_TRUE(QTest::qWaitFor([] { return FakeAudio::samples > 0; }, kWaitMs)) << "camera sound reaches the output";
    Click("listen");
    EXPECT_EQ(panel->ListenButton()->text(), "Listen");
    EXPECT_FALSE(live.IsListening());
    EXPECT_EQ(fronts, 2);
    // A paused live view (settings shown) is left alone.
    live.playing = false;
    Click("listen");
    EXPECT_EQ(panel->ListenButton()->text(), "Listen");
    EXPECT_FALSE(live.IsListening());
    panel->OnListenState(true);
    EXPECT_EQ(panel->ListenButton()->text(), "Mute");
}

// With the live-video window itself as the current camera.
TEST_F(PlayPanelCamera, DrivesTheLiveVideoWindow) {
    live.Disconnect();
    CVideoDlg video;
    SetCurrentCamera(&video);
    MakePanel();
    panel->OnListenState(true);
    ASSERT_EQ(kytest::ConnectAndWait(video, kytest::EmulatorRecord(1)), 0);
    EXPECT_EQ(panel->ListenButton()->text(), "Listen") << "a login switches sound off";
    Click("ptzLeft");
    EXPECT_EQ(emu.Int("sdk.ptz.last.cmd"), 0x3003);
    Click("talk");
    EXPECT_TRUE(video.IsTalking());
    EXPECT_EQ(panel->TalkButton()->text(), "Stop talk");
    ASSERT_TRUE(QTest::qWaitFor([&] { return emu.Int("sdk.talk.frames") >= 1; }, kWaitMs));
    Click("stop");
    EXPECT_FALSE(video.IsLoggedIn());
    EXPECT_EQ(panel->TalkButton()->text(), "Talk");
    EXPECT_EQ(emu.Key("sdk.talk.open"), "0");
    EXPECT_TRUE(presenter.texts.isEmpty()) << presenter.Last().toStdString();
    panel.reset();
    SetCurrentCamera(&live);
}

}   // namespace
