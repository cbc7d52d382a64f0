// The live-video dialog against the emulated camera: login, live pictures,
// the state block, failures through the presenter, ending the connection,
// detection boxes painted into the picture, display mode, pause and resume,
// recording marks, full screen, and a lost stream in the title.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <memory>

#include "core/services/Settings.h"
#include "gui/live/PlayWnd.h"
#include "gui/live/ScreenPannel.h"
#include "gui/live/VideoDlg.h"
#include "gui/live/VideoWnd.h"
#include "core/sdk/ControlHttp.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/EmulatorProcess.h"

using ky::test::EmulatorProcess;

namespace {

constexpr int kWaitMs = 15000;   // failure time-out for things that should happen soon

std::unique_ptr<EmulatorProcess> StartEmulator() {
    return std::make_unique<EmulatorProcess>(std::vector<std::string>{"--rtsp-port", "0", "--no-discovery", "--quiet"});
}

std::string EmuGet(int port, const std::string& target, int* status = nullptr) {
    ky::sdk::ControlHttp http("127.0.0.1", uint16_t(port), "admin", "admin");
    ky::sdk::HttpReply reply;
    if (http.Exchange("GET", target, {}, 5000, &reply) != ky::sdk::HttpFail::None) reply.status = 0;
    if (status) *status = reply.status;
    return reply.body;
}

DeviceRecord Record(int httpPort, const char* password = "admin", int stream = 0, const char* ip = "127.0.0.1") {
    DeviceRecord r{};
    ky::search::SetText(r.info.ip, ip);
    ky::search::SetText(r.info.httpPort, std::to_string(httpPort));
    ky::search::SetText(r.user, "admin");
    ky::search::SetText(r.password, password);
    r.stream = stream;
    return r;
}

struct LoginCounter : IDeviceLoginObserver {
    LoginCounter() { SetDeviceLoginObserver(this); }
    ~LoginCounter() override { SetDeviceLoginObserver(nullptr); }
    void OnDeviceLogin() override { ++logins; }
    int logins = 0;
};

bool AllZero(const LiveState& s) {
    const auto* p = reinterpret_cast<const unsigned char*>(&s);
    return std::all_of(p, p + sizeof s, [](unsigned char c) { return c == 0; });
}

class VideoDlgTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { emu = StartEmulator().release(); }
    static void TearDownTestSuite() {
        delete emu;
        emu = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(emu && emu->Ok()) << "kycam-emulator did not start";
        dlg.resize(660, 420);
        dlg.show();
    }
    void TearDown() override { dlg.Disconnect(); }

    bool WaitFrames(qint64 n = 1) {
        return QTest::qWaitFor([&] { return dlg.PlayWnd()->FramesShown() >= n; }, kWaitMs);
    }
    // Pixel of the latest picture, as 0xAARRGGBB.
    QRgb At(int x, int y) const { return dlg.PlayWnd()->Picture().pixel(x, y); }

    static EmulatorProcess* emu;
    kytest::GuiAppDir app;
    kytest::RecordingPresenter presenter;
    LoginCounter observer;
    CVideoDlg dlg;
};

EmulatorProcess* VideoDlgTest::emu = nullptr;

TEST_F(VideoDlgTest, ConnectLogsInFillsTheStateBlockAndShowsPictures) {
    QSignalSpy listen(&dlg, &CVideoDlg::listenStateChanged);
    EXPECT_EQ(&CurrentCamera() == &dlg, false);   // the main window installs it, not the constructor
    ASSERT_EQ(dlg.Connect(Record(emu->HttpPort())), 0) << presenter.texts.join("|").toStdString();
    EXPECT_TRUE(presenter.texts.isEmpty());
    EXPECT_TRUE(dlg.IsLoggedIn());
    EXPECT_TRUE(dlg.IsPlaying());
    EXPECT_EQ(observer.logins, 1);

    const LiveState& s = dlg.GetLiveState();
    EXPECT_GT(s.handle, 0);
    EXPECT_EQ(dlg.Handle(), s.handle);
    EXPECT_STREQ(s.ip, "127.0.0.1");
    EXPECT_STREQ(s.user, "admin");
    EXPECT_STREQ(s.password, "admin");
    EXPECT_EQ(s.port, emu->HttpPort());
    EXPECT_EQ(s.streamIndex, 0);
    EXPECT_EQ(s.streamCode, 1);
    EXPECT_EQ(s.playing, 1);
    EXPECT_EQ(s.listening, 0);
    for (const auto& region : s.regions) EXPECT_EQ(*reinterpret_cast<const int32_t*>(region), 1);
    EXPECT_EQ(s.capabilityValid, 1);
    EXPECT_EQ(s.capability[0], 1);
    EXPECT_EQ(s.capability[1], 1);
    EXPECT_STREQ(s.capabilityRecord, "7");   // field 0 of the emulator's profile
    EXPECT_EQ(s.humanoid[1], 1);
    ASSERT_EQ(listen.count(), 1);
    EXPECT_FALSE(listen.at(0).at(0).toBool());

    // The device type comes from the camera.
    const std::string devtype = EmuGet(emu->HttpPort(), "/emu/get?key=devtype");
    EXPECT_FALSE(devtype.empty());
    EXPECT_EQ(std::string(dlg.GetDevice().info.deviceType), devtype.substr(0, 32));
    EXPECT_STREQ(dlg.GetDevice().info.ip, "127.0.0.1");

    EXPECT_EQ(dlg.VideoWnd()->Title(), "127.0.0.1");
    EXPECT_FALSE(dlg.VideoWnd()->RecordingMark() || dlg.VideoWnd()->TalkingMark() || dlg.VideoWnd()->ListeningMark());
    ASSERT_TRUE(WaitFrames());
    int height = 0, width = 0;
    ASSERT_EQ(KY_SDK_GetPicInfo(dlg.Handle(), &height, &width), 0);
    EXPECT_EQ(dlg.PlayWnd()->Picture().size(), QSize(width, height));
}

TEST_F(VideoDlgTest, WrongPasswordReportsLoginFailedAndStaysLoggedOut) {
    EXPECT_EQ(dlg.Connect(Record(emu->HttpPort(), "wrong")), -1);
    ASSERT_EQ(presenter.texts.size(), 1);
    EXPECT_EQ(presenter.Last(), "Login device failed!");
    EXPECT_FALSE(dlg.IsLoggedIn());
    EXPECT_TRUE(AllZero(dlg.GetLiveState()));
    EXPECT_TRUE(dlg.VideoWnd()->Title().isEmpty());
    EXPECT_EQ(observer.logins, 0);
}

TEST_F(VideoDlgTest, DisconnectAndEmptyAddressLeaveNoHandleBehind) {
    ASSERT_EQ(dlg.Connect(Record(emu->HttpPort())), 0);
    ASSERT_TRUE(WaitFrames());
    const KY_HANDLE handle = dlg.Handle();
    QSignalSpy changed(&dlg, &CVideoDlg::connectionChanged);
    dlg.Disconnect();
    EXPECT_FALSE(dlg.IsLoggedIn());
    EXPECT_EQ(dlg.Handle(), 0);
    EXPECT_TRUE(AllZero(dlg.GetLiveState()));
    EXPECT_TRUE(dlg.VideoWnd()->Title().isEmpty());
    EXPECT_EQ(dlg.PlayWnd()->FramesShown(), 0);
    EXPECT_TRUE(dlg.PlayWnd()->Picture().isNull());
    int sound = 0;
    EXPECT_NE(KY_SDK_GetMute(handle, 0, &sound), 0);   // the SDK no longer knows the login
    ASSERT_EQ(changed.count(), 1);
    EXPECT_FALSE(changed.at(0).at(0).toBool());

    // A connect without an address ends the connection and starts none.
    ASSERT_EQ(dlg.Connect(Record(emu->HttpPort())), 0);
    EXPECT_EQ(dlg.Connect(Record(emu->HttpPort(), "admin", 0, "")), -1);
    EXPECT_FALSE(dlg.IsLoggedIn());
    EXPECT_TRUE(presenter.texts.isEmpty());
    EXPECT_EQ(dlg.GetDevice().info.ip[0], '\0');
}

TEST_F(VideoDlgTest, StreamIndexOutOfRangePlaysTheSecondStream) {
    ASSERT_EQ(dlg.Connect(Record(emu->HttpPort(), "admin", 5)), 0);
    EXPECT_EQ(dlg.GetLiveState().streamIndex, 1);
    EXPECT_EQ(dlg.GetLiveState().streamCode, 2);
    ASSERT_TRUE(WaitFrames());
}

TEST_F(VideoDlgTest, DetectionBoxesArePaintedWithTheirPenWidthAndColour) {
    ASSERT_EQ(dlg.Connect(Record(emu->HttpPort())), 0);
    ASSERT_TRUE(WaitFrames());
    // Five motion boxes: the fifth (at x 500) is not drawn.
    int status = 0;
    EmuGet(emu->HttpPort(),
           "/sdk/emit-boxes?type=0&boxes=1,100,100,200,150;2,10,10,20,20;3,30,300,20,20;"
           "4,60,300,20,20;5,500,100,100,100",
           &status);
    ASSERT_EQ(status, 200);
    const QRgb red = 0xFFFF0000u, yellow = 0xFFFFFF00u;
    ASSERT_TRUE(QTest::qWaitFor([&] { return At(100, 175) == red && At(104, 175) == red; }, kWaitMs));
    EXPECT_NE(At(106, 175), red);                              // pen 5 up to 1920 x 1080
    EXPECT_TRUE(At(299, 175) == red && At(295, 175) == red);   // right edge at x + width
    EXPECT_NE(At(500, 150), red);

    // Person boxes: yellow, pen 5 on the first stream; they replace the motion boxes.
    EmuGet(emu->HttpPort(), "/sdk/emit-boxes?type=6&boxes=1,300,50,100,100", &status);
    ASSERT_EQ(status, 200);
    ASSERT_TRUE(QTest::qWaitFor([&] { return At(300, 100) == yellow && At(304, 100) == yellow; }, kWaitMs));
    EXPECT_NE(At(306, 100), yellow);
    EXPECT_NE(At(100, 175), red);

    // An empty list takes the boxes off the picture.
    EmuGet(emu->HttpPort(), "/sdk/emit-boxes?type=6&boxes=", &status);
    ASSERT_EQ(status, 200);
    ASSERT_TRUE(QTest::qWaitFor([&] { return At(300, 100) != yellow; }, kWaitMs));
}

TEST_F(VideoDlgTest, PersonBoxesNeedTheCameraToDrawThem) {
    EmuGet(emu->HttpPort(), "/emu/set?key=sdk.hd.boxes&value=0");
    const bool connected = dlg.Connect(Record(emu->HttpPort())) == 0;
    EmuGet(emu->HttpPort(), "/emu/set?key=sdk.hd.boxes&value=1");
    ASSERT_TRUE(connected);
    ASSERT_TRUE(WaitFrames());
    EXPECT_EQ(dlg.GetLiveState().humanoid[1], 0);
    EmuGet(emu->HttpPort(), "/sdk/emit-boxes?type=6&boxes=1,300,50,100,100");
    // A motion box afterwards proves the person box event was handled first.
    EmuGet(emu->HttpPort(), "/sdk/emit-boxes?type=0&boxes=1,100,100,200,150");
    ASSERT_TRUE(QTest::qWaitFor([&] { return At(100, 175) == 0xFFFF0000u; }, kWaitMs));
    EXPECT_NE(At(300, 100), 0xFFFFFF00u);
}

TEST_F(VideoDlgTest, DisplayModeMenuStoresTheChoiceAndAppliesItWhilePlaying) {
    // Not logged in: only stored.
    std::unique_ptr<QMenu> menu(dlg.CreateDisplayMenu(&dlg));
    ASSERT_EQ(menu->actions().size(), 2);
    QAction* d3d = menu->actions()[0];
    QAction* draw = menu->actions()[1];
    EXPECT_EQ(d3d->text(), "Direct D3D");
    EXPECT_EQ(d3d->data().toInt(), CVideoDlg::kDisplayD3D);
    EXPECT_EQ(draw->text(), "Direct Draw");
    EXPECT_EQ(draw->data().toInt(), CVideoDlg::kDisplayDraw);
    EXPECT_TRUE(d3d->isChecked());
    draw->trigger();
    EXPECT_EQ(GetDisplayMode(), 1);
    EXPECT_NE(kytest::ReadBytes(app.file("settings.ini")).find("DisplayMode=1"), std::string::npos);

    // The stored mode is used at login; the menu shows it.
    ASSERT_EQ(dlg.Connect(Record(emu->HttpPort())), 0);
    ASSERT_TRUE(WaitFrames());
    EXPECT_EQ(dlg.PlayWnd()->DisplayMode(), 1);
    EXPECT_FALSE(dlg.PlayWnd()->GpuActive());
    menu.reset(dlg.CreateDisplayMenu(&dlg));
    EXPECT_TRUE(menu->actions()[1]->isChecked());
    EXPECT_FALSE(menu->actions()[0]->isChecked());

    // Playing: applied at once.
    menu->actions()[0]->trigger();
    EXPECT_EQ(GetDisplayMode(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.PlayWnd()->DisplayMode() == 0; }, kWaitMs));
    EXPECT_EQ(dlg.PlayWnd()->GpuActive(), CPlayWnd::GpuAvailable());
}

TEST_F(VideoDlgTest, PauseKeepsTheLoginUnlessRecordingAndResumeLogsInAgain) {
    ASSERT_EQ(dlg.Connect(Record(emu->HttpPort())), 0);
    ASSERT_TRUE(WaitFrames());

    // Recording (and its mark) keeps the video running.
    const std::string path = app.file("rec.avi");
    ASSERT_EQ(dlg.StartRecord(path), 0);
    EXPECT_TRUE(dlg.IsRecording());
    EXPECT_TRUE(dlg.VideoWnd()->RecordingMark());
    dlg.PausePlay();
    EXPECT_TRUE(dlg.IsPlaying());
    dlg.StopRecord();
    EXPECT_FALSE(dlg.VideoWnd()->RecordingMark());
    EXPECT_GT(std::filesystem::file_size(path), 0u);

    dlg.PausePlay();
    EXPECT_TRUE(dlg.IsLoggedIn());
    EXPECT_FALSE(dlg.IsPlaying());
    EXPECT_EQ(observer.logins, 1);

    dlg.ResumePlay();
    EXPECT_TRUE(dlg.IsPlaying());
    EXPECT_EQ(observer.logins, 2);   // a new login
    const qint64 before = dlg.PlayWnd()->FramesShown();
    ASSERT_TRUE(WaitFrames(before + 1));

    // Marks set by the play panel; a recording still running ends with the connection.
    dlg.SetTalking(true);
    dlg.SetListening(true);
    EXPECT_TRUE(dlg.VideoWnd()->TalkingMark() && dlg.VideoWnd()->ListeningMark());
    dlg.SetTalking(false);   // the play panel closed its talk channel itself
    ASSERT_EQ(dlg.StartRecord(app.file("rec2.avi")), 0);
    dlg.Disconnect();
    EXPECT_FALSE(dlg.IsRecording());
    EXPECT_FALSE(dlg.VideoWnd()->RecordingMark() || dlg.VideoWnd()->ListeningMark());
    EXPECT_GT(std::filesystem::file_size(app.file("rec2.avi")), 0u);
    dlg.SetRecording(true);   // without a login nothing is kept
    EXPECT_FALSE(dlg.IsRecording());
    EXPECT_EQ(dlg.GetLiveState().recording, 0);
}

TEST_F(VideoDlgTest, SnapshotGoesToTheGivenFile) {
    EXPECT_LT(dlg.CaptureJpeg(app.file("none.jpg")), 0);
    ASSERT_EQ(dlg.Connect(Record(emu->HttpPort())), 0);
    ASSERT_TRUE(WaitFrames());
    int result = -1;
    std::thread worker([&] { result = dlg.CaptureJpeg(app.file("snap.jpg")); });   // as a snapshot worker
    worker.join();
    EXPECT_EQ(result, 0);
    EXPECT_GT(std::filesystem::file_size(app.file("snap.jpg")), 0u);
}

TEST_F(VideoDlgTest, FullScreenByDoubleClickAndBackByEscapeRestoresTheParent) {
    QWidget mainWindow;
    mainWindow.resize(900, 600);
    auto* video = new CVideoDlg(&mainWindow);
    video->setGeometry(100, 50, 700, 500);
    mainWindow.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&mainWindow));
    CScreenPannel* panel = video->Panel();
    const QRect inside = panel->geometry();
    EXPECT_EQ(inside, QRect(1, 1, 698, 498));

    CPlayWnd* surface = video->PlayWnd();
    QTest::mouseDClick(surface, Qt::LeftButton, {}, surface->rect().center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return video->IsFullScreen(); }, kWaitMs));
    EXPECT_EQ(panel->parentWidget(), nullptr);
    EXPECT_TRUE(panel->isWindow());
    EXPECT_TRUE(panel->isVisible());
    EXPECT_FALSE(mainWindow.isVisible());
    EXPECT_EQ(panel->geometry().size(), video->screen()->geometry().size());

    QTest::keyClick(panel, Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !video->IsFullScreen(); }, kWaitMs));
    EXPECT_EQ(panel->parentWidget(), video);
    EXPECT_FALSE(panel->isWindow());
    EXPECT_EQ(panel->geometry(), inside);
    EXPECT_TRUE(mainWindow.isVisible());
    EXPECT_TRUE(video->isVisible());

    // A double click in full screen leaves it too.
    video->ToggleFullScreen();
    ASSERT_TRUE(video->IsFullScreen());
    QTest::mouseDClick(surface, Qt::LeftButton, {}, surface->rect().center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !video->IsFullScreen(); }, kWaitMs));
    EXPECT_EQ(panel->parentWidget(), video);
    EXPECT_TRUE(mainWindow.isVisible());
}

TEST_F(VideoDlgTest, PlayingWindowScreenshot) {
    ASSERT_EQ(dlg.Connect(Record(emu->HttpPort())), 0);
    ASSERT_TRUE(WaitFrames());
    EmuGet(emu->HttpPort(), "/sdk/emit-boxes?type=0&boxes=12,120,80,200,150");
    ASSERT_TRUE(QTest::qWaitFor([&] { return At(120, 150) == 0xFFFF0000u; }, kWaitMs));
    dlg.SetRecording(true);
    dlg.SetListening(true);
    ASSERT_TRUE(WaitFrames(dlg.PlayWnd()->FramesShown() + 1));
    const QImage shot = dlg.grab().toImage();
    if (const QByteArray dir = qgetenv("KYCAM_SHOT_DIR"); !dir.isEmpty())
        shot.save(QString::fromLocal8Bit(dir) + "/live-video.png");

    const QRect wnd = dlg.VideoWnd()->geometry().translated(dlg.Panel()->pos());
    // Green title text in the strip; a picture that is not black below it.
    int green = 0, lit = 0;
    for (int y = wnd.top(); y < wnd.top() + CVideoWnd::kTitleHeight; ++y)
        for (int x = wnd.left(); x < wnd.left() + 200; ++x) {
            const QColor c = shot.pixelColor(x, y);
            if (c.green() > 200 && c.red() < 60 && c.blue() < 60) ++green;
        }
    for (int x = wnd.left(); x < wnd.right(); x += 7)
        if (shot.pixelColor(x, wnd.center().y()).value() > 60) ++lit;
    EXPECT_GT(green, 20);
    EXPECT_GT(lit, 20);
    // The active frame around window 0 and the panel background outside it.
    EXPECT_EQ(shot.pixelColor(wnd.left() - 1, wnd.center().y()), CScreenPannel::kActiveFrame);
    EXPECT_EQ(shot.pixelColor(0, 0), CScreenPannel::kBackground);
}

TEST(VideoDlgStream, LostStreamShowsReconnectingInTheTitle) {
    auto emu = StartEmulator();
    ASSERT_TRUE(emu->Ok());
    kytest::GuiAppDir app;
    kytest::RecordingPresenter presenter;
    CVideoDlg dlg;
    ASSERT_EQ(dlg.Connect(Record(emu->HttpPort())), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.PlayWnd()->FramesShown() > 0; }, kWaitMs));
    emu->Stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.VideoWnd()->Title() == "127.0.0.1 (reconnecting...)"; }, kWaitMs));
    EXPECT_TRUE(dlg.IsLoggedIn());
    dlg.Disconnect();
    EXPECT_TRUE(dlg.VideoWnd()->Title().isEmpty());
}

}   // namespace
