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
#include "tests/gui/live/LiveTestSupport.h"
#include "tests/support/GuiTestSupport.h"

using kytest::EmulatorRecord;
using kytest::kWaitMs;

namespace {

constexpr QRgb kRed = 0xFFFF0000u, kYellow = 0xFFFFFF00u;

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
    void SetUp() override {
        ASSERT_TRUE(kytest::Emulator().Ok()) << "kycam-emulator did not start";
        dlg.resize(660, 420);
        dlg.show();
    }
    void TearDown() override { dlg.Disconnect(); }
    bool Frames(qint64 n = 1) {
        return QTest::qWaitFor([&] { return dlg.PlayWnd()->FramesShown() >= n; }, kWaitMs);
    }
    void Connect(int stream = 0) {
        ASSERT_EQ(dlg.Connect(EmulatorRecord(stream)), 0) << presenter.texts.join("|").toStdString();
        ASSERT_TRUE(Frames());
    }
    // Pixel of the latest picture, as 0xAARRGGBB.
    QRgb At(int x, int y) const { return dlg.PlayWnd()->Picture().pixel(x, y); }
    bool Shows(int x, int y, QRgb colour) {
        return QTest::qWaitFor([&] { return At(x, y) == colour; }, kWaitMs);
    }

    kytest::GuiAppDir app;
    kytest::RecordingPresenter presenter;
    kytest::EmuRoutes emu = kytest::Routes();
    LoginCounter observer;
    CVideoDlg dlg;
};

TEST_F(VideoDlgTest, ConnectLogsInFillsTheStateBlockAndShowsPictures) {
    EXPECT_LT(dlg.CaptureJpeg(app.file("none.jpg")), 0);
    QSignalSpy listen(&dlg, &CVideoDlg::listenStateChanged);
    EXPECT_NE(&CurrentCamera(), &dlg);   // the main window installs it, not the constructor
    Connect();
    EXPECT_TRUE(presenter.texts.isEmpty());
    EXPECT_TRUE(dlg.IsPlaying());
    EXPECT_EQ(observer.logins, 1);
    ASSERT_EQ(listen.count(), 1);
    EXPECT_FALSE(listen.at(0).at(0).toBool());

    const LiveState& s = dlg.GetLiveState();
    EXPECT_GT(s.handle, 0);
    EXPECT_EQ(dlg.Handle(), s.handle);
    EXPECT_EQ(std::string(s.ip) + " " + s.user + " " + s.password,
              std::string("127.0.0.1 admin ") + kytest::kEmuPassword);
    EXPECT_EQ(s.port, kytest::Emulator().HttpPort());
    EXPECT_EQ(std::tuple(s.streamIndex, s.streamCode, s.playing, s.listening), std::tuple(0, 1, 1, 0));
    for (const auto& region : s.regions) EXPECT_EQ(*reinterpret_cast<const int32_t*>(region), 1);
    EXPECT_EQ(std::tuple(s.capabilityValid, s.capability[0], s.capability[1], s.humanoid[1]), std::tuple(1, 1, 1, 1));
    EXPECT_STREQ(s.capabilityRecord, "7");   // field 0 of the emulator's profile
    // The device type comes from the camera.
    EXPECT_EQ(std::string(dlg.GetDevice().info.deviceType), emu.Key("devtype").substr(0, 32));
    EXPECT_EQ(dlg.VideoWnd()->Title(), "127.0.0.1");
    EXPECT_FALSE(dlg.VideoWnd()->RecordingMark() || dlg.VideoWnd()->TalkingMark() || dlg.VideoWnd()->ListeningMark());
    int height = 0, width = 0;
    ASSERT_EQ(KY_SDK_GetPicInfo(dlg.Handle(), &height, &width), 0);
    EXPECT_EQ(dlg.PlayWnd()->Picture().size(), QSize(width, height));

    // A snapshot worker captures into the given file.
    int result = -1;
    std::thread([&] { result = dlg.CaptureJpeg(app.file("snap.jpg")); }).join();
    EXPECT_EQ(result, 0);
    EXPECT_GT(std::filesystem::file_size(app.file("snap.jpg")), 0u);

    // A stream index out of range plays the second stream.
    Connect(5);
    EXPECT_EQ(std::tuple(dlg.GetLiveState().streamIndex, dlg.GetLiveState().streamCode), std::tuple(1, 2));
}

TEST_F(VideoDlgTest, WrongPasswordReportsLoginFailedAndStaysLoggedOut) {
    EXPECT_EQ(dlg.Connect(EmulatorRecord(0, "wrong")), -1);
    EXPECT_EQ(presenter.texts, QStringList{"Login device failed!"});
    EXPECT_FALSE(dlg.IsLoggedIn());
    EXPECT_TRUE(AllZero(dlg.GetLiveState()));
    EXPECT_TRUE(dlg.VideoWnd()->Title().isEmpty());
    EXPECT_EQ(observer.logins, 0);
}

TEST_F(VideoDlgTest, DisconnectAndEmptyAddressLeaveNoHandleBehind) {
    Connect();
    const KY_HANDLE handle = dlg.Handle();
    QSignalSpy changed(&dlg, &CVideoDlg::connectionChanged);
    dlg.Disconnect();
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
    Connect();
    EXPECT_EQ(dlg.Connect(EmulatorRecord(0, kytest::kEmuPassword, "")), -1);
    EXPECT_FALSE(dlg.IsLoggedIn());
    EXPECT_TRUE(presenter.texts.isEmpty());
    EXPECT_EQ(dlg.GetDevice().info.ip[0], '\0');
}

TEST_F(VideoDlgTest, DetectionBoxesArePaintedWithTheirPenWidthAndColour) {
    Connect();
    // Five motion boxes: the fifth (at x 500) is not drawn.
    ASSERT_TRUE(emu.EmitBoxes(0, "1,100,100,200,150;2,10,10,20,20;3,30,300,20,20;4,60,300,20,20;5,500,100,100,100"));
    ASSERT_TRUE(Shows(100, 175, kRed) && Shows(104, 175, kRed));
    EXPECT_NE(At(106, 175), kRed);                               // pen 5 up to 1920 x 1080
    EXPECT_TRUE(At(299, 175) == kRed && At(295, 175) == kRed);   // right edge at x + width
    EXPECT_NE(At(500, 150), kRed);
    // Person boxes: yellow, pen 5 on the first stream; they replace the motion boxes.
    ASSERT_TRUE(emu.EmitBoxes(6, "1,300,50,100,100"));
    ASSERT_TRUE(Shows(300, 100, kYellow) && Shows(304, 100, kYellow));
    EXPECT_NE(At(306, 100), kYellow);
    EXPECT_NE(At(100, 175), kRed);
    // An empty list takes the boxes off the picture.
    ASSERT_TRUE(emu.EmitBoxes(6, ""));
    ASSERT_TRUE(QTest::qWaitFor([&] { return At(300, 100) != kYellow; }, kWaitMs));
}

TEST_F(VideoDlgTest, PersonBoxesNeedTheCameraToDrawThem) {
    emu.Set("sdk.hd.boxes", "0");
    const bool connected = dlg.Connect(EmulatorRecord()) == 0;
    emu.Set("sdk.hd.boxes", "1");
    ASSERT_TRUE(connected && Frames());
    EXPECT_EQ(dlg.GetLiveState().humanoid[1], 0);
    emu.EmitBoxes(6, "1,300,50,100,100");
    emu.EmitBoxes(0, "1,100,100,200,150");   // proves the person box event was handled first
    ASSERT_TRUE(Shows(100, 175, kRed));
    EXPECT_NE(At(300, 100), kYellow);
}

TEST_F(VideoDlgTest, DisplayModeMenuStoresTheChoiceAndAppliesItWhilePlaying) {
    std::unique_ptr<QMenu> menu(dlg.CreateDisplayMenu(&dlg));
    ASSERT_EQ(menu->actions().size(), 2);
    QAction *d3d = menu->actions()[0], *draw = menu->actions()[1];
    EXPECT_EQ(d3d->text() + "=" + d3d->data().toString(), "Direct D3D=" + QString::number(CVideoDlg::kDisplayD3D));
    EXPECT_EQ(draw->text() + "=" + draw->data().toString(), "Direct Draw=" + QString::number(CVideoDlg::kDisplayDraw));
    EXPECT_TRUE(d3d->isChecked());
    draw->trigger();   // not logged in: only stored
    EXPECT_EQ(GetDisplayMode(), 1);
    EXPECT_NE(kytest::ReadBytes(app.file("settings.ini")).find("DisplayMode=1"), std::string::npos);

    // The stored mode is used at login; the menu shows it.
    Connect();
    EXPECT_EQ(dlg.PlayWnd()->DisplayMode(), 1);
    EXPECT_FALSE(dlg.PlayWnd()->GpuActive());
    menu.reset(dlg.CreateDisplayMenu(&dlg));
    EXPECT_TRUE(menu->actions()[1]->isChecked() && !menu->actions()[0]->isChecked());
    menu->actions()[0]->trigger();   // playing: applied at once
    EXPECT_EQ(GetDisplayMode(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.PlayWnd()->DisplayMode() == 0; }, kWaitMs));
    EXPECT_EQ(dlg.PlayWnd()->GpuActive(), CPlayWnd::GpuAvailable());
}

TEST_F(VideoDlgTest, PauseKeepsTheLoginUnlessRecordingAndResumeLogsInAgain) {
    Connect();
    // Recording (and its mark) keeps the video running.
    ASSERT_EQ(dlg.StartRecord(app.file("rec.avi")), 0);
    EXPECT_TRUE(dlg.VideoWnd()->RecordingMark());
    dlg.PausePlay();
    EXPECT_TRUE(dlg.IsPlaying());
    dlg.StopRecord();
    EXPECT_FALSE(dlg.VideoWnd()->RecordingMark());
    EXPECT_GT(std::filesystem::file_size(app.file("rec.avi")), 0u);

    dlg.PausePlay();
    EXPECT_TRUE(dlg.IsLoggedIn());
    EXPECT_FALSE(dlg.IsPlaying());
    dlg.ResumePlay();
    EXPECT_TRUE(dlg.IsPlaying());
    EXPECT_EQ(observer.logins, 2);   // a new login
    ASSERT_TRUE(Frames(dlg.PlayWnd()->FramesShown() + 1));

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
    EXPECT_EQ(dlg.GetLiveState().recording, 0);
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
    auto doubleClick = [&] {
        QTest::mouseDClick(video->PlayWnd(), Qt::LeftButton, {}, video->PlayWnd()->rect().center());
    };
    auto fullScreen = [&](bool on) { return QTest::qWaitFor([&] { return video->IsFullScreen() == on; }, kWaitMs); };

    doubleClick();
    ASSERT_TRUE(fullScreen(true));
    EXPECT_TRUE(panel->isWindow() && panel->isVisible());
    EXPECT_FALSE(mainWindow.isVisible());
    EXPECT_EQ(panel->geometry().size(), video->screen()->geometry().size());
    QTest::keyClick(panel, Qt::Key_Escape);
    ASSERT_TRUE(fullScreen(false));
    EXPECT_EQ(panel->parentWidget(), video);
    EXPECT_EQ(panel->geometry(), inside);
    EXPECT_TRUE(mainWindow.isVisible() && video->isVisible());
    // A double click in full screen leaves it too.
    video->ToggleFullScreen();
    ASSERT_TRUE(video->IsFullScreen());
    doubleClick();
    ASSERT_TRUE(fullScreen(false));
    EXPECT_EQ(panel->parentWidget(), video);
    EXPECT_TRUE(mainWindow.isVisible());
}

TEST(VideoDlgStream, LostStreamShowsReconnectingInTheTitle) {
    ky::test::EmulatorProcess emu({"--rtsp-port", "0", "--no-discovery", "--quiet"});
    ASSERT_TRUE(emu.Ok());
    kytest::GuiAppDir app;
    kytest::RecordingPresenter presenter;
    CVideoDlg dlg;
    ASSERT_EQ(dlg.Connect(EmulatorRecord(0, "admin", "127.0.0.1", emu.HttpPort())), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.PlayWnd()->FramesShown() > 0; }, kWaitMs));
    emu.Stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.VideoWnd()->Title() == "127.0.0.1 (reconnecting...)"; }, kWaitMs));
    EXPECT_TRUE(dlg.IsLoggedIn());
    dlg.Disconnect();
    EXPECT_TRUE(dlg.VideoWnd()->Title().isEmpty());
}

}   // namespace
