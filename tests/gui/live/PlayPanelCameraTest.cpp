// The play panel against kycam-emulator: PTZ and preset commands as the
// camera receives them, snapshots and recordings on disk, talk frames at the
// camera, and listening without a sound device.
#include <gtest/gtest.h>

#include <QAudioDevice>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QMediaDevices>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <filesystem>

#include "core/services/Settings.h"
#include "gui/live/AudioOut.h"
#include "gui/live/LeftPlayDlg.h"
#include "gui/live/VideoDlg.h"
#include "gui/live/Talk.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/gui/live/PlayPanelSupport.h"
#include "tests/support/EmulatorProcess.h"

namespace fs = std::filesystem;
using kytest::EmuState;
using kytest::GuiAppDir;
using kytest::RecordingPresenter;
using kytest::SdkLiveView;
using kytest::WaitFor;

namespace {

std::vector<fs::path> FilesIn(const fs::path& dir) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

class PlayPanelCamera : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        emu_ = new ky::test::EmulatorProcess({"--rtsp-port", "0", "--no-discovery", "--quiet"});
        KY_SDK_Init();
    }
    static void TearDownTestSuite() {
        KY_SDK_Cleanup();
        delete emu_;
        emu_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(emu_->Ok()) << "emulator did not start: " << ky::test::EmulatorProcess::BinaryPath();
        panel = std::make_unique<CLeftPlayDlg>();
        panel->SetFrontRaiser([this] { ++fronts; });
        ASSERT_EQ(live.ConnectEmulator(emu_->HttpPort()), 0);
    }
    void TearDown() override {
        panel.reset();
        live.Disconnect();
    }
    EmuState Emu() const { return EmuState{emu_->HttpPort()}; }
    void Click(const char* name) {
        QPushButton* b = panel->Button(name);
        ASSERT_NE(b, nullptr) << name;
        b->click();
    }
    // Logs out behind the live view's back: it still counts as logged in,
    // but the camera refuses everything sent on that login.
    void BreakLogin() {
        const KY_HANDLE h = live.Handle();
        live.Disconnect();
        ASSERT_EQ(live.ConnectEmulator(emu_->HttpPort()), 0);
        live.staleHandle = h;
    }

    static ky::test::EmulatorProcess* emu_;
    GuiAppDir app;
    RecordingPresenter presenter;
    SdkLiveView live;
    std::unique_ptr<CLeftPlayDlg> panel;
    int fronts = 0;
};
ky::test::EmulatorProcess* PlayPanelCamera::emu_ = nullptr;

TEST_F(PlayPanelCamera, StepButtonsSendTheirCodesAtTheCameraSpeed) {
    const std::pair<const char*, int> steps[] = {
        {"ptzUp", 0x3001},  {"ptzDown", 0x3002}, {"ptzLeft", 0x3003}, {"ptzRight", 0x3004},
        {"zoomIn", 0x3005}, {"zoomOut", 0x3006}, {"focusIn", 0x3007}, {"focusOut", 0x3008},
    };
    EmuState emu = Emu();
    int count = emu.Int("sdk.ptz.count");
    for (const auto& [name, code] : steps) {
        Click(name);
        EXPECT_EQ(emu.Int("sdk.ptz.count"), ++count) << name << ": one command per click";
        EXPECT_EQ(emu.Int("sdk.ptz.last.cmd"), code) << name;
        EXPECT_EQ(emu.Key("sdk.ptz.last.func"), "ptzex") << name;
        EXPECT_EQ(emu.Key("sdk.ptz.last.speed"), "-1") << name;
    }
    EXPECT_EQ(fronts, 8);
    EXPECT_TRUE(presenter.texts.isEmpty());
}

TEST_F(PlayPanelCamera, HomeAndCruisesSendTheStoredSpeedIndex) {
    EmuState emu = Emu();
    Click("ptzRight");
    Click("ptzHome");
    EXPECT_EQ(emu.Int("sdk.ptz.last.cmd"), 0x3027);
    EXPECT_EQ(emu.Key("sdk.ptz.last.speed"), "5");
    EXPECT_EQ(emu.Key("sdk.ptz.pan"), "0");

    Click("cruiseHorizontal");   // stored speed missing: index 45
    EXPECT_EQ(emu.Int("sdk.ptz.last.cmd"), 0x3029);
    EXPECT_EQ(emu.Key("sdk.ptz.last.speed"), "45");
    EXPECT_EQ(emu.Key("sdk.ptz.cruise"), "horizontal");

    panel->SpeedList()->setCurrentIndex(9);   // the entry "10"
    EXPECT_EQ(GetPtzSpeed(), 9);
    Click("cruiseVertical");
    EXPECT_EQ(emu.Int("sdk.ptz.last.cmd"), 0x3028);
    EXPECT_EQ(emu.Key("sdk.ptz.last.speed"), "9");
    EXPECT_EQ(emu.Key("sdk.ptz.cruise"), "vertical");
    EXPECT_EQ(fronts, 4);
    EXPECT_TRUE(presenter.texts.isEmpty());

    BreakLogin();
    Click("cruiseHorizontal");
    Click("cruiseVertical");
    EXPECT_EQ(presenter.texts, (QStringList{"Horizontal cruise failed!", "Vertical cruise failed!"}));
}

TEST_F(PlayPanelCamera, PresetsUseTheNumberLessOne) {
    EmuState emu = Emu();
    QLineEdit* preset = panel->PresetEdit();
    Click("ptzRight");
    Click("presetSet");   // the field starts at 1
    EXPECT_EQ(emu.Key("sdk.preset.last"), "0");
    EXPECT_NE(emu.Key("sdk.preset.0"), "<error>");
    preset->setText(QStringLiteral("255"));
    Click("presetSet");
    EXPECT_EQ(emu.Key("sdk.preset.last"), "254");

    Click("ptzHome");
    preset->setText(QStringLiteral("1"));
    Click("presetCall");
    EXPECT_EQ(emu.Int("sdk.ptz.last.cmd"), 0x3015);
    EXPECT_NE(emu.Key("sdk.ptz.pan"), "0") << "the camera went back to the preset";
    Click("presetDelete");
    EXPECT_EQ(emu.Int("sdk.ptz.last.cmd"), 0x3017);
    EXPECT_EQ(emu.Key("sdk.preset.0"), "<error>");
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

    presenter.Clear();
    BreakLogin();
    preset->setText(QStringLiteral("3"));
    Click("presetSet");
    Click("presetCall");
    Click("presetDelete");
    EXPECT_EQ(presenter.texts, (QStringList{"Failed to set preset position!", "Failed to call preset position!",
                                            "Failed to delete preset position!"}));
}

TEST_F(PlayPanelCamera, SnapshotsAreJpegsOfThePictureSizeNamedByTimeAndCounter) {
    ASSERT_TRUE(WaitFor([&] { return live.frames > 0; })) << "no picture";
    int h = 0, w = 0;
    ASSERT_EQ(KY_SDK_GetPicInfo(live.Handle(), &h, &w), 0);
    panel->ResetSnapSequence();
    Click("capture");
    Click("capture");
    ASSERT_TRUE(WaitFor([&] { return panel->PendingSnapshots() == 0; }));
    EXPECT_TRUE(presenter.texts.isEmpty()) << presenter.Last().toStdString();

    const std::vector<fs::path> files = FilesIn(fs::path(GetSnapDir()) / "127.0.0.1");
    ASSERT_EQ(files.size(), 2u);
    const QRegularExpression pattern(QStringLiteral("^Snap_\\d{8}-\\d{6}_([01])\\.jpg$"));
    std::set<QString> counters;
    for (const fs::path& f : files) {
        const auto m = pattern.match(QString::fromStdString(f.filename().string()));
        ASSERT_TRUE(m.hasMatch()) << f;
        counters.insert(m.captured(1));
        QImage image;
        ASSERT_TRUE(image.load(QString::fromStdString(f.string()), "JPEG")) << f;
        EXPECT_EQ(image.width(), w);
        EXPECT_EQ(image.height(), h);
    }
    EXPECT_EQ(counters, (std::set<QString>{"0", "1"}));

    // A refused capture is reported once the worker is done.
    BreakLogin();
    Click("capture");
    ASSERT_TRUE(WaitFor([&] { return panel->PendingSnapshots() == 0; }));
    EXPECT_EQ(presenter.texts, QStringList{"Capture failed"});
    EXPECT_EQ(FilesIn(fs::path(GetSnapDir()) / "127.0.0.1").size(), 2u);
}

TEST_F(PlayPanelCamera, PanelClosingWhileSnapshotsRunLeavesNothingBehind) {
    ASSERT_TRUE(WaitFor([&] { return live.frames > 0; }));
    for (int i = 0; i < 3; ++i) Click("capture");
    panel.reset();   // waits for its workers; their late notices go nowhere
    QCoreApplication::processEvents();
    EXPECT_EQ(FilesIn(fs::path(GetSnapDir()) / "127.0.0.1").size(), 3u);
}

TEST_F(PlayPanelCamera, ShortRecordingIsAValidFile) {
    live.Disconnect();
    ASSERT_EQ(live.ConnectEmulator(emu_->HttpPort(), 1), 0);   // the small second stream
    ASSERT_TRUE(WaitFor([&] { return live.frames > 0; }));
    Click("startRecord");
    EXPECT_TRUE(presenter.texts.isEmpty()) << presenter.Last().toStdString();
    EXPECT_TRUE(live.IsRecording());
    EXPECT_FALSE(panel->StartRecordButton()->isEnabled());
    EXPECT_TRUE(panel->StopRecordButton()->isEnabled());
    // Recording begins at the next key frame (one a second): run for about three.
    const int start = live.frames;
    ASSERT_TRUE(WaitFor([&] { return live.frames > start + 75; }));
    Click("stopRecord");
    EXPECT_FALSE(live.IsRecording());
    EXPECT_TRUE(panel->StartRecordButton()->isEnabled());
    EXPECT_TRUE(panel->StopRecordButton()->isEnabled());

    const std::vector<fs::path> files = FilesIn(fs::path(GetRecDir()) / "127.0.0.1");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^RecFile_\\d{8}-\\d{6}\\.avi$"))
                    .match(QString::fromStdString(files[0].filename().string()))
                    .hasMatch())
        << files[0];
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), {"-v", "error", "-show_entries", "stream=codec_type:format=format_name",
                                            "-of", "default=nw=1", QString::fromStdString(files[0].string())});
    ASSERT_TRUE(probe.waitForFinished(30000));
    const QString out = QString::fromUtf8(probe.readAllStandardOutput());
    EXPECT_EQ(probe.exitCode(), 0) << probe.readAllStandardError().toStdString();
    EXPECT_TRUE(out.contains("codec_type=video")) << out.toStdString();
    EXPECT_TRUE(out.contains("format_name=avi")) << out.toStdString();

    BreakLogin();
    Click("startRecord");
    EXPECT_EQ(presenter.texts, QStringList{"Video recording failed!"});
    EXPECT_FALSE(live.IsRecording());
}

// The frames the camera got: 164 bytes each, header 00 01 50 00.
std::vector<std::string> TalkFrames(const std::string& received) {
    std::vector<std::string> frames;
    for (size_t at = 0; at + kTalkFrame <= received.size(); at += kTalkFrame)
        frames.push_back(received.substr(at, kTalkFrame));
    return frames;
}

TEST_F(PlayPanelCamera, TalkSendsTheSoundFileInOrderAndLoops) {
    // 400 bytes: two whole frames, then the file starts over.
    std::string sound(400, '\0');
    for (size_t i = 0; i < sound.size(); ++i) sound[i] = char(i * 7 + 1);
    kytest::WriteBytes(app.file("test.g711"), sound);
    panel->SetTalkFile(app.file("test.g711"));

    EmuState emu = Emu();
    Click("talk");
    EXPECT_TRUE(presenter.texts.isEmpty()) << presenter.Last().toStdString();
    EXPECT_EQ(panel->TalkButton()->text(), "Stop talk");
    EXPECT_TRUE(live.IsTalking());
    EXPECT_EQ(fronts, 1);
    ASSERT_TRUE(WaitFor([&] { return emu.Int("sdk.talk.frames") >= 6; }));
    Click("talk");
    EXPECT_EQ(panel->TalkButton()->text(), "Start talk");
    EXPECT_FALSE(live.IsTalking());
    EXPECT_EQ(emu.Key("sdk.talk.open"), "0");

    const std::string received = emu.Get("/sdk/talk-received");
    ASSERT_EQ(received.size() % kTalkFrame, 0u);
    const std::vector<std::string> frames = TalkFrames(received);
    ASSERT_GE(frames.size(), 6u);
    const std::string header("\x00\x01\x50\x00", 4);
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].substr(0, 4), header) << i;
        EXPECT_EQ(frames[i].substr(4), sound.substr((i % 2) * 160, 160)) << "frame " << i;
    }
}

TEST_F(PlayPanelCamera, TalkMakesItsTestSoundWhenNoneLiesBesideTheProgram) {
    const std::string music = app.file("music.g711");
    ASSERT_FALSE(fs::exists(music));
    EmuState emu = Emu();
    Click("talk");
    ASSERT_TRUE(fs::exists(music));
    const std::string sound = kytest::ReadBytes(music);
    ASSERT_GT(sound.size(), 0u);
    EXPECT_EQ(sound.size() % kTalkPayload, 0u);
    EXPECT_EQ(std::vector<uint8_t>(sound.begin(), sound.end()), MakeTestSound());
    ASSERT_TRUE(WaitFor([&] { return emu.Int("sdk.talk.frames") >= 3; }));
    Click("talk");
    const std::vector<std::string> frames = TalkFrames(emu.Get("/sdk/talk-received"));
    ASSERT_GE(frames.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(frames[i].substr(4), sound.substr(i * 160, 160)) << i;

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
    // The live view ends the connection and closes the channel itself.
    live.Disconnect();
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
    KY_SDK_SetAudioOutputFactory(nullptr);
}

// Sound output that works: the button follows the state both ways.
class FakeAudio : public KySdkAudioOutput {
public:
    bool Open(int, int) override { return true; }
    void Write(const int16_t*, int count) override { samples += count; }
    void Close() override {}
    static inline std::atomic<int> samples{0};
};

TEST_F(PlayPanelCamera, ListenAndMuteFollowTheSoundState) {
    KY_SDK_SetAudioOutputFactory([]() -> KySdkAudioOutput* { return new FakeAudio; });
    Click("listen");
    EXPECT_EQ(panel->ListenButton()->text(), "Mute");
    EXPECT_TRUE(live.IsListening());
    EXPECT_TRUE(WaitFor([] { return FakeAudio::samples > 0; })) << "camera sound reaches the output";
    Click("listen");
    EXPECT_EQ(panel->ListenButton()->text(), "Listen");
    EXPECT_FALSE(live.IsListening());
    EXPECT_EQ(fronts, 2);

    // A paused live view (settings shown) is left alone.
    live.playing = false;
    Click("listen");
    EXPECT_EQ(panel->ListenButton()->text(), "Listen");
    EXPECT_FALSE(live.IsListening());
    KY_SDK_SetAudioOutputFactory(nullptr);

    panel->OnListenState(true);
    EXPECT_EQ(panel->ListenButton()->text(), "Mute");
}

// With the live-video window itself as the current camera.
TEST_F(PlayPanelCamera, DrivesTheLiveVideoWindow) {
    live.Disconnect();
    CVideoDlg video;
    SetCurrentCamera(&video);
    panel = std::make_unique<CLeftPlayDlg>();
    panel->SetFrontRaiser([this] { ++fronts; });
    panel->OnListenState(true);
    DeviceRecord d{};
    std::strcpy(d.info.ip, "127.0.0.1");
    std::snprintf(d.info.httpPort, sizeof d.info.httpPort, "%d", emu_->HttpPort());
    std::strcpy(d.user, "admin");
    std::strcpy(d.password, "admin");
    d.stream = 1;
    ASSERT_EQ(video.Connect(d), 0);
    EXPECT_EQ(panel->ListenButton()->text(), "Listen") << "a login switches sound off";

    EmuState emu = Emu();
    Click("ptzLeft");
    EXPECT_EQ(emu.Int("sdk.ptz.last.cmd"), 0x3003);
    Click("talk");
    EXPECT_TRUE(video.IsTalking());
    EXPECT_EQ(panel->TalkButton()->text(), "Stop talk");
    ASSERT_TRUE(WaitFor([&] { return emu.Int("sdk.talk.frames") >= 1; }));
    Click("stop");
    EXPECT_FALSE(video.IsLoggedIn());
    EXPECT_EQ(panel->TalkButton()->text(), "Talk");
    EXPECT_EQ(emu.Key("sdk.talk.open"), "0");
    EXPECT_TRUE(presenter.texts.isEmpty()) << presenter.Last().toStdString();
    panel.reset();
    SetCurrentCamera(&live);
}

}   // namespace
