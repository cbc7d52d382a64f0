// The play panel against kycam-emulator: PTZ and preset commands as the
// camera receives them, snapshots and recordings on disk, talk frames at the
// camera, and listening with and without a sound output.
#include <gtest/gtest.h>

#include <QAudioDevice>
#include <QComboBox>
#include <QLineEdit>
#include <QMediaDevices>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <filesystem>

#include "core/services/Settings.h"
#include "gui/live/AudioOut.h"
#include "gui/live/LeftPlayDlg.h"
#include "gui/live/Talk.h"
#include "gui/live/VideoDlg.h"
#include "tests/gui/live/LiveTestSupport.h"
#include "tests/support/GuiTestSupport.h"

namespace fs = std::filesystem;
using kytest::kWaitMs;

namespace {

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
        ASSERT_EQ(live.Connect(kytest::EmulatorRecord()), 0);
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
        ASSERT_EQ(live.Connect(kytest::EmulatorRecord()), 0);
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
    ASSERT_EQ(live.Connect(kytest::EmulatorRecord(1)), 0);   // the small second stream
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
    ASSERT_EQ(video.Connect(kytest::EmulatorRecord(1)), 0);
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
