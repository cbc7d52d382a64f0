// The play panel: its form, folders and rules without a camera, then driving
// the live-video window against kycam-emulator.

#include <QAudioDevice>
#include <QComboBox>
#include <QMenu>
#include <QMediaDevices>
#include <cstring>

#include "core/services/IniFile.h"
#include "gui/live/AudioOut.h"
#include "gui/live/LiveStatus.h"
#include "gui/live/SnapThread.h"
#include "gui/live/Talk.h"
#include "gui/live/VideoEvents.h"
#include "gui/live/VideoWnd.h"
#include "tests/gui/live/LiveTestSupport.h"
#include "tests/support/Golden.h"

namespace fs = std::filesystem;
using kytest::kWaitMs;

namespace {

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
        panel->SetFolderOpener([this](const QString& f) { return opened << f, opens; });
    }
    std::string Setting(const std::string& key) { return CIniFile(SettingsFilePath()).GetString("Config", key, ""); }
    void Preview(const QString& ip, const QString& port) {
        panel->IpEdit()->setText(ip);
        panel->PortEdit()->setText(port);
        presenter.Clear();
        panel->Button("preview")->click();
    }
    bool RecordButtons(bool start, bool stop) const {
        return panel->StartRecordButton()->isEnabled() == start && panel->StopRecordButton()->isEnabled() == stop;
    }

    kytest::GuiAppDir app;
    kytest::RecordingPresenter presenter;
    ConnectRecorder camera;
    std::unique_ptr<CLeftPlayDlg> panel;
    int fronts = 0;
    QStringList opened;
    bool opens = true;   // whether a file manager opens the folder
};

TEST_F(PlayPanel, SpeedListShowsTheStoredIndexAndStoresTheChoice) {
    panel->SpeedList()->setCurrentIndex(9);
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

// Form, preset, folder and detection-box rules: golden/rules.txt.
TEST(LiveRules, Golden) {
    auto yes = [](bool ok) { return ok ? "ok" : "bad"; };
    const std::map<std::string, int> kinds{{"motion", ky::video::kMotionBoxes}, {"person", ky::video::kPersonBoxes}};
    DetectionDraw d;   // one for all rows: each call starts it afresh
    ky::test::ExpectGoldenResults(
        KY_LIVE_GOLDEN,
        {{"Ip", [&](const auto& a) { return yes(CLeftPlayDlg::IsValidIp(QString::fromStdString(a.at(0)))); }},
         {"Port", [&](const auto& a) { return yes(CLeftPlayDlg::IsValidPort(std::stol(a.at(0)))); }},
         {"Preset",
          [](const auto& a) {
              bool cut = false;
              QString t = CLeftPlayDlg::FilterNumberText(QString::fromStdString(a.at(0)), &cut), prev;
              while (t != prev) prev = t, t = CLeftPlayDlg::FilterNumberText(t);
              return t.toStdString() + (cut ? " cut" : "");
          }},
         {"Folder", [](const auto& a) { return CameraFolderName(a.at(0).c_str()); }},
         {"Pen",
          [&](const auto& a) {
              return std::to_string(
                  DetectionPenWidth(kinds.at(a.at(0)), std::stoi(a.at(1)), std::stoi(a.at(2)), std::stoi(a.at(3))));
          }},
         {"Draw", [&](const auto& a) {
              std::vector<int32_t> words;
              for (const QString& w : QString::fromStdString(a.at(2)).split(',')) words.push_back(w.toInt());
              MakeDetectionDraw(kinds.at(a.at(0)), words.data(), words.size(), std::stoi(a.at(1)), &d);
              QString out = QString("pen %1:").arg(d.penWidth);
              for (int i = 0; i < d.count; ++i) {
                  const KY_DRAW_ITEM& it = d.items[i];
                  const int colour = it.color == &d.colors[i] ? int(it.color->color) : -1;
                  out += QString::asprintf("%s%s %d,%d,%d,%d kind %d colour %d", i ? ";" : "", it.label, it.left,
                                           it.top, it.right, it.bottom, it.kind, colour);
              }
              return out.toStdString() + (d.count == 0 && d.items[0].color ? " stale" : "");
          }}});
}

TEST_F(PlayPanel, PreviewChecksTheFormAndOpensTheRecord) {
    Preview("1.2.3", "80");
    EXPECT_EQ(presenter.texts, QStringList{"Illegal IP address!"});
    // The IP text is taken before the port is checked.
    Preview("192.168.1.20", "443");
    EXPECT_EQ(Describe(panel->Device()), "192.168.1.20: / stream 0");
    Preview("192.168.1.20", "");
    EXPECT_EQ(presenter.texts, QStringList{"Illegal port"});
    EXPECT_TRUE(camera.opened.empty());

    // Long credentials are cut on character boundaries: 40 two-byte
    // characters (80 bytes) to 63 bytes, 31 whole characters.
    const std::string e31 = QString(31, QChar(0xE9)).toStdString();
    panel->UserEdit()->setText(QStringLiteral("operator"));
    panel->PasswordEdit()->setText(QString(40, QChar(0xE9)));
    panel->StreamList()->setCurrentIndex(1);
    panel->StopRecordButton()->setEnabled(true);
    Preview("192.168.1.20", "8080");
    EXPECT_TRUE(presenter.texts.isEmpty());
    ASSERT_EQ(camera.opened.size(), 1u);
    EXPECT_EQ(Describe(camera.opened[0]), "192.168.1.20:8080 operator/" + e31 + " stream 1");
    EXPECT_TRUE(RecordButtons(true, false));

    // A search record fills the form; opening it keeps what the search list
    // knew about the device; streams outside 0..1 land on the nearest entry.
    DeviceRecord d = kytest::EmulatorRecord(1, "secret", "192.168.7.9", 8081);
    std::strcpy(d.info.deviceId, "KY-0001");
    panel->FillConnectForm(d);
    EXPECT_EQ(panel->IpEdit()->text() + ":" + panel->PortEdit()->text() + " " + panel->PasswordEdit()->text(),
              "192.168.7.9:8081 secret");
    panel->Button("preview")->click();
    ASSERT_EQ(camera.opened.size(), 2u);
    EXPECT_EQ(std::memcmp(&camera.opened[1], &d, sizeof d), 0);
    for (auto [stream, index] : {std::pair{5, 1}, {-1, 0}}) {
        d.stream = stream;
        panel->FillConnectForm(d);
        EXPECT_EQ(panel->StreamList()->currentIndex(), index) << stream;
    }
    EXPECT_EQ(fronts, 2);

    // While logged in, Preview only brings the play view to the front.
    camera.Login("IPC");
    Preview("192.168.1.30", "80");
    EXPECT_EQ(camera.opened.size(), 2u);
    EXPECT_TRUE(presenter.texts.isEmpty());
    EXPECT_EQ(fronts, 3);

    // Enter in any field of the form is Preview.
    camera.loggedIn = false;
    for (QWidget* field :
         std::initializer_list<QWidget*>{panel->IpEdit(), panel->PasswordEdit(), panel->StreamList()}) {
        const size_t before = camera.opened.size();
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(camera.opened.size(), before + 1) << field->objectName().toStdString();
    }
}

TEST_F(PlayPanel, CameraButtonsWithoutALoginSendAndShowNothingAndThePresetFieldFiltersAsTyped) {
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
    // Stop record leaves only Start record enabled.
    panel->StartRecordButton()->setEnabled(false);
    panel->StopRecordButton()->setEnabled(true);
    panel->StopRecordButton()->click();
    EXPECT_TRUE(RecordButtons(true, false));

    QLineEdit* preset = panel->PresetEdit();   // a cut text is selected
    preset->clear();
    QTest::keyClicks(preset, QStringLiteral("0"));
    QTest::keyClicks(preset, QStringLiteral("4x"));
    EXPECT_EQ(preset->text(), "4");
    preset->setText(QStringLiteral("98765"));
    EXPECT_EQ(preset->selectedText(), "987");
    preset->setText(QStringLiteral("0a"));   // "0" after the letter goes, then cleared
    EXPECT_EQ(preset->text(), "");
}

TEST_F(PlayPanel, FolderButtons) {
    // The snapshot folder is named in settings.ini and made at once.
    EXPECT_EQ(Setting("SnapFiles"), app.file("SnapPic"));
    EXPECT_TRUE(fs::is_directory(app.file("SnapPic")));
    auto path = [&](const std::string& rel) { return QString::fromStdString(app.file(rel)); };
    // Not logged in: the base folders. Logged in: the camera's sub-folder,
    // made on the way; a search reply's IP text never leads out of the folder.
    panel->Button("snapOpen")->click();
    panel->Button("recOpen")->click();
    camera.Login("IPC");
    std::strcpy(camera.device.info.ip, "192.168.1.5");
    panel->Button("snapOpen")->click();
    std::strcpy(camera.device.info.ip, "../../x");
    panel->Button("recOpen")->click();
    EXPECT_EQ(opened,
              (QStringList{path("SnapPic"), path("RecFiles"), path("SnapPic/192.168.1.5"), path("RecFiles/.._.._x")}));
    EXPECT_TRUE(fs::is_directory(app.file("SnapPic/192.168.1.5")));

    // Choosing: a picked folder is made and stored; a cancel stores the current one again.
    const std::string chosen = app.file("pictures/new");
    QString title, answer = QString::fromStdString(chosen);
    panel->SetFolderChooser([&](QWidget*, const QString& t, const QString&) { return title = t, answer; });
    panel->Button("snapPath")->click();
    EXPECT_EQ(title, "Choose a folder");
    EXPECT_EQ(GetSnapDir(), chosen);
    EXPECT_TRUE(fs::is_directory(chosen));
    CIniFile(SettingsFilePath()).WriteString("Config", "RecFiles", "");
    answer.clear();
    panel->Button("recPath")->click();
    EXPECT_EQ(Setting("RecFiles"), app.file("RecFiles"));
    EXPECT_EQ(GetSnapDir(), chosen);

    // A folder that cannot be made, or no file manager: said, nothing stored.
    kytest::WriteBytes(app.file("afile"), "x");
    answer = QString::fromStdString(app.file("afile/sub"));
    panel->Button("snapPath")->click();
    opens = false;
    panel->Button("recOpen")->click();
    EXPECT_EQ(GetSnapDir(), chosen);
    ASSERT_EQ(presenter.texts.size(), 2);
    EXPECT_EQ(presenter.texts[0], "The folder cannot be created:\n" + answer);
    EXPECT_EQ(presenter.texts[1], "No file manager could open the folder:\n" + path("RecFiles/.._.._x"));
    EXPECT_EQ(presenter.kinds, "ee");
}

// Ten cameras are remembered after their logins, newest first, without
// their passwords; choosing one fills the form.
TEST_F(PlayPanel, RecentCamerasAreRememberedWithoutPasswords) {
    for (int n = 1; n <= 12; ++n) {
        camera.Login("IPC");
        camera.device = kytest::EmulatorRecord(n % 2, "secret-pw", "10.0.0." + std::to_string(n), 8000 + n);
        panel->OnConnectionChanged(true);
    }
    camera.device = kytest::EmulatorRecord(0, "secret-pw", "10.0.0.5", 8005);   // again: to the front
    panel->OnConnectionChanged(true);
    std::string listed;
    for (const RecentCamera& c : GetRecentCameras()) listed += c.ip.substr(7) + ":" + c.port + " ";
    EXPECT_EQ(listed, "5:8005 12:8012 11:8011 10:8010 9:8009 8:8008 7:8007 6:8006 4:8004 3:8003 ");
    EXPECT_EQ(kytest::ReadBytes(app.file("settings.ini")).find("secret-pw"), std::string::npos);
    MakePanel();   // a new panel reads them back
    ASSERT_EQ(panel->RecentMenu()->actions().size(), 10);
    EXPECT_EQ(panel->RecentMenu()->actions()[1]->text(), "10.0.0.12:8012  admin  First stream");
    panel->PasswordEdit()->setText("typed");
    panel->RecentMenu()->actions()[2]->trigger();
    EXPECT_EQ(panel->IpEdit()->text() + " " + panel->PortEdit()->text() + " " + panel->UserEdit()->text() + " " +
                  panel->PasswordEdit()->text() + " " + QString::number(panel->StreamList()->currentIndex()),
              "10.0.0.11 8011 admin typed 1");
}

TEST(SnapNames, TimeStamped) {
    std::tm t{};
    t.tm_year = 2024 - 1900, t.tm_mon = 2, t.tm_mday = 7, t.tm_hour = 9, t.tm_min = 5, t.tm_sec = 3;
    EXPECT_EQ(SnapFileName(t, 12), "Snap_20240307-090503_12.jpg");
    EXPECT_EQ(RecFileName(t), "RecFile_20240307-090503.avi");
}

QStringList FilesIn(const std::string& dir) {
    QStringList out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) out << QString::fromStdString(e.path().filename().string());
    out.sort();
    return out;
}

class FakeAudio : public KySdkAudioOutput {
public:
    bool Open(int, int) override { return true; }
    void Write(const int16_t*, int count) override { samples += count; }
    void Close() override {}
    static inline std::atomic<int> samples{0};
};

// The play panel driving the live-video window, logged in to the camera.
class PlayPanelCamera : public kytest::LiveWindowTest {
protected:
    void SetUp() override {
        LiveWindowTest::SetUp();
        SetCurrentCamera(&video);
        MakePanel();
        Connect();
    }
    void TearDown() override {
        panel.reset();
        LiveWindowTest::TearDown();
        SetCurrentCamera(nullptr);
        KY_SDK_SetAudioOutputFactory(nullptr);
    }
    void MakePanel() {
        panel = std::make_unique<CLeftPlayDlg>();
        panel->SetFrontRaiser([this] { ++fronts; });
        panel->SetFolderOpener([this](const QString& f) { return opened << f, true; });
        bar = std::make_unique<CLiveStatusBar>();
        panel->AttachStatusBar(bar.get());
    }
    void Click(const char* name) {
        ASSERT_NE(panel->Button(name), nullptr) << name;
        panel->Button(name)->click();
    }
    // Logs out behind the window's back: it still counts as logged in, but
    // the camera refuses everything sent on that login.
    void BreakLogin() {
        KY_SDK_Logout(video.Handle());
        presenter.Clear();
    }
    bool TalkFrames(int n) {
        return QTest::qWaitFor([&] { return emu.Int("sdk.talk.frames") >= n; }, kWaitMs);
    }
    std::string CameraDir(const std::string& base) { return base + "/127.0.0.1"; }

    std::unique_ptr<CLiveStatusBar> bar;
    std::unique_ptr<CLeftPlayDlg> panel;
    int fronts = 0;
    QStringList opened;
};

TEST_F(PlayPanelCamera, PtzAndPresetButtonsSendOneCommandEach) {
    // Steps at the camera's speed (-1); home at 5; cruises at the stored
    // speed index (missing: 45).
    int count = emu.Int("sdk.ptz.count");
    for (auto [name, code, speed] : {std::tuple{"ptzUp", 0x3001, -1},
                                     {"ptzDown", 0x3002, -1},
                                     {"ptzLeft", 0x3003, -1},
                                     {"ptzRight", 0x3004, -1},
                                     {"zoomIn", 0x3005, -1},
                                     {"zoomOut", 0x3006, -1},
                                     {"focusIn", 0x3007, -1},
                                     {"focusOut", 0x3008, -1},
                                     {"ptzHome", 0x3027, 5},
                                     {"cruiseHorizontal", 0x3029, 45}}) {
        Click(name);
        EXPECT_EQ(emu.Int("sdk.ptz.count"), ++count) << name;
        EXPECT_EQ(
            emu.Key("sdk.ptz.last.func") + " " + emu.Key("sdk.ptz.last.cmd") + " " + emu.Key("sdk.ptz.last.speed"),
            (code < 0x3027 ? "ptzex " : "ptz ") + std::to_string(code) + " " + std::to_string(speed))
            << name;
    }
    panel->SpeedList()->setCurrentIndex(9);   // the entry "10"
    Click("cruiseVertical");
    EXPECT_EQ(emu.Key("sdk.ptz.last.cmd") + " " + emu.Key("sdk.ptz.last.speed"), "12328 9");
    EXPECT_EQ(emu.Key("sdk.ptz.cruise"), "vertical");
    EXPECT_EQ(fronts, 11);
    EXPECT_TRUE(presenter.texts.isEmpty());

    // Presets use the number less one.
    auto press = [&](const char* number, const char* name) {
        panel->PresetEdit()->setText(QString::fromLatin1(number));
        Click(name);
    };
    Click("ptzRight");
    press("1", "presetSet");
    EXPECT_EQ(emu.Key("sdk.preset.last"), "0");
    press("255", "presetSet");
    EXPECT_EQ(emu.Key("sdk.preset.last"), "254");
    Click("ptzHome");
    press("1", "presetCall");
    EXPECT_NE(emu.Key("sdk.ptz.pan"), "0") << "the camera went back to the preset";
    press("1", "presetDelete");
    EXPECT_EQ(emu.Key("sdk.preset.0"), "<missing>");
    EXPECT_TRUE(presenter.texts.isEmpty());
    const int before = emu.Int("sdk.ptz.count");
    for (const char* number : {"256", "", "00"}) press(number, "presetSet");
    EXPECT_EQ(emu.Int("sdk.ptz.count"), before);
    press("1", "presetCall");   // deleted: the camera refuses
    EXPECT_EQ(presenter.texts, QStringList(3, "Preset position range 1 ~ 255!") << "Failed to call preset position!");

    BreakLogin();
    for (const char* name : {"cruiseHorizontal", "cruiseVertical", "presetSet", "presetDelete"}) Click(name);
    EXPECT_EQ(presenter.texts, (QStringList{"Horizontal cruise failed!", "Vertical cruise failed!",
                                            "Failed to set preset position!", "Failed to delete preset position!"}));
}

TEST_F(PlayPanelCamera, SnapshotsAndRecordingsGoToNamedFilesAndClosingWaitsForSnapshots) {
    Connect(1);   // the small second stream
    auto snaps = [&] { return FilesIn(CameraDir(GetSnapDir())); };
    auto done = [&] { return QTest::qWaitFor([&] { return panel->PendingSnapshots() == 0; }, kWaitMs); };
    auto buttons = [&] {
        return std::pair(panel->StartRecordButton()->isEnabled(), panel->StopRecordButton()->isEnabled());
    };
    panel->ResetSnapSequence();
    Click("capture");
    Click("capture");
    ASSERT_TRUE(done());
    ASSERT_EQ(snaps().size(), 2);
    // The status bar names the saved file; its button opens the folder.
    EXPECT_EQ(bar->SavedFile().section('/', 0, -2).toStdString(), CameraDir(GetSnapDir()));
    EXPECT_TRUE(snaps().contains(bar->SavedFile().section('/', -1)));
    bar->OpenFolderButton()->click();
    EXPECT_EQ(opened, QStringList{QString::fromStdString(CameraDir(GetSnapDir()))});
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(QRegularExpression(QString("^Snap_\\d{8}-\\d{6}_%1\\.jpg$").arg(i)).match(snaps()[i]).hasMatch())
            << snaps()[i].toStdString();
    Click("startRecord");
    EXPECT_TRUE(video.IsRecording());
    EXPECT_EQ(buttons(), std::pair(false, true));
    EXPECT_EQ(video.VideoWnd()->RecordText(), "REC 00:00");   // the red mark with its time
    // The time moves on; a busy machine may skip a second between two ticks.
    ASSERT_TRUE(QTest::qWaitFor([&] { return video.VideoWnd()->RecordText() != "REC 00:00"; }, kWaitMs));
    EXPECT_TRUE(QRegularExpression("^REC 00:0[1-9]$").match(video.VideoWnd()->RecordText()).hasMatch())
        << video.VideoWnd()->RecordText().toStdString();
    ASSERT_TRUE(Frames(video.PlayWnd()->FramesShown() + 30));   // past the next key frame
    Click("stopRecord");
    EXPECT_FALSE(video.IsRecording());
    EXPECT_EQ(buttons(), std::pair(true, false));
    EXPECT_EQ(video.VideoWnd()->RecordText(), "");
    const QStringList files = FilesIn(CameraDir(GetRecDir()));
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(bar->SavedFile().toStdString(), CameraDir(GetRecDir()) + "/" + files[0].toStdString());
    // A recording the connection's end finished resets the buttons too.
    Click("startRecord");
    Click("stop");
    EXPECT_EQ(buttons(), std::pair(true, false));
    Connect(1);
    EXPECT_TRUE(QRegularExpression("^RecFile_\\d{8}-\\d{6}\\.avi$").match(files[0]).hasMatch())
        << files[0].toStdString();
    EXPECT_GT(fs::file_size(CameraDir(GetRecDir()) + "/" + files[0].toStdString()), 0u);
    EXPECT_TRUE(presenter.texts.isEmpty()) << presenter.Last().toStdString();

    // The panel closing waits for its workers; their late notices go nowhere.
    for (int i = 0; i < 3; ++i) Click("capture");
    panel.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(snaps().size(), 5);

    // Refusals are reported, a capture's once its worker is done.
    MakePanel();
    BreakLogin();
    Click("capture");
    Click("startRecord");
    ASSERT_TRUE(done());
    EXPECT_EQ(presenter.texts, (QStringList{"Video recording failed!", "Capture failed"}));
    EXPECT_FALSE(video.IsRecording());
    EXPECT_EQ(snaps().size(), 5);
}

// Each test has its own application folder: the sound file "beside the
// program" is never shared with another test running at the same time.
TEST_F(PlayPanelCamera, TalkMakesItsTestSoundWhenNoneLiesBesideTheProgram) {
    const std::string music = app.file("music.g711");
    ASSERT_FALSE(fs::exists(music));
    Click("talk");
    EXPECT_EQ(panel->TalkButton()->text(), "Stop talk");
    EXPECT_TRUE(video.IsTalking());
    const std::string sound = kytest::ReadBytes(music);
    EXPECT_EQ(std::vector<uint8_t>(sound.begin(), sound.end()), MakeTestSound());
    ASSERT_TRUE(TalkFrames(3));
    Click("talk");
    EXPECT_EQ(panel->TalkButton()->text(), "Start talk");
    EXPECT_FALSE(video.IsTalking());
    EXPECT_EQ(emu.Key("sdk.talk.open"), "0");
    EXPECT_EQ(emu.Get("/sdk/talk-received").substr(0, kTalkFrame),
              std::string("\x00\x01\x50\x00", 4) + sound.substr(0, 160));
    // An existing file is left as it is.
    kytest::WriteBytes(music, "mine");
    EXPECT_TRUE(EnsureTestSound(music));
    EXPECT_EQ(kytest::ReadBytes(music), "mine");

    // The window's Stop ends the connection and the talk with it.
    Click("talk");
    ASSERT_TRUE(video.IsTalking());
    Click("stop");
    EXPECT_FALSE(video.IsLoggedIn());
    EXPECT_EQ(panel->TalkButton()->text(), "Talk");
    EXPECT_EQ(emu.Key("sdk.talk.open"), "0");
    EXPECT_TRUE(presenter.texts.isEmpty()) << presenter.Last().toStdString();

    Connect();
    BreakLogin();
    Click("talk");
    EXPECT_EQ(presenter.texts, QStringList{"Failed to start talk!"});
    EXPECT_EQ(panel->TalkButton()->text(), "Start talk");
    EXPECT_FALSE(video.IsTalking());
}

TEST(TalkSource, FramesTheFileAndStartsOverAfterAShortRead) {
    kytest::TempDir dir;
    std::string sound(400, '\0');   // two whole frames and a short rest
    for (size_t i = 0; i < sound.size(); ++i) sound[i] = char(i * 7 + 1);
    kytest::WriteBytes(dir.file("t.g711"), sound);
    CTalkSource source(dir.file("t.g711")), none(dir.file("none"));
    uint8_t frame[kTalkFrame];
    std::string sent;   // "-" for no frame
    for (int i = 0; i < 7; ++i) sent += source.NextFrame(frame) ? std::string((char*)frame, kTalkFrame) : "-";
    const std::string head("\x00\x01\x50\x00", 4), a = head + sound.substr(0, 160), b = head + sound.substr(160, 160);
    EXPECT_EQ(sent, a + b + "-" + a + b + "-" + a);
    EXPECT_FALSE(none.NextFrame(frame));
}

TEST(AudioOut, WithoutASoundDeviceNothingOpens) {
    if (!QMediaDevices::audioOutputs().isEmpty()) GTEST_SKIP() << "this machine has a sound output";
    std::unique_ptr<KySdkAudioOutput> out(CreateQtAudioOutput());
    EXPECT_FALSE(out->Open(8000, 1));
}

TEST_F(PlayPanelCamera, ListenAndMuteFollowTheSoundState) {
    KY_SDK_SetAudioOutputFactory([]() -> KySdkAudioOutput* { return nullptr; });
    Click("listen");   // no sound output: stays muted, and says so
    EXPECT_EQ(panel->ListenButton()->text(), "Listen");
    EXPECT_EQ(presenter.texts, QStringList{"No sound output device could be opened!"});
    EXPECT_FALSE(video.IsListening() || video.VideoWnd()->ListeningMark());
    KY_SDK_SetAudioOutputFactory([]() -> KySdkAudioOutput* { return new FakeAudio; });
    Click("listen");
    EXPECT_EQ(panel->ListenButton()->text(), "Mute");
    EXPECT_TRUE(video.IsListening());
    EXPECT_TRUE(QTest::qWaitFor([] { return FakeAudio::samples > 0; }, kWaitMs)) << "camera sound reaches the output";
    Click("listen");
    EXPECT_EQ(panel->ListenButton()->text(), "Listen");
    EXPECT_FALSE(video.IsListening());
    EXPECT_EQ(fronts, 3);
    video.PausePlay();   // a paused live view (settings shown) is left alone
    Click("listen");
    EXPECT_FALSE(video.IsListening());
    panel->OnListenState(true);
    Connect(1);
    EXPECT_EQ(panel->ListenButton()->text(), "Listen") << "a login switches sound off";
}

}   // namespace
