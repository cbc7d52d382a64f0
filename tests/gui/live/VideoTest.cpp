// The live video: the panel and its windows without a camera, then the
// live-video dialog against the emulated camera. Detection draw items and
// pens: golden/rules.txt.

#include <QAction>
#include <QMenu>
#include <thread>
#include <vector>

#include "gui/live/ScreenPannel.h"
#include "gui/live/VideoEvents.h"
#include "gui/live/VideoWnd.h"
#include "gui/live/LiveStatus.h"
#include "tests/gui/live/LiveTestSupport.h"

using kytest::EmulatorRecord;
using kytest::kWaitMs;

namespace {

constexpr QRgb kRed = 0xFFFF0000u, kYellow = 0xFFFFFF00u;

// Collects the messages the panel hands on: type and window.
class Recorder : public QObject {
public:
    std::vector<std::pair<int, int>> seen;
    bool Has(int type, int window = -2) const {
        return std::any_of(seen.begin(), seen.end(),
                           [&](auto& s) { return s.first == type && (window == -2 || s.second == window); });
    }

protected:
    bool event(QEvent* e) override {
        if (e->type() < QEvent::User) return QObject::event(e);
        auto* mouse = dynamic_cast<ky::video::CVideoMouseEvent*>(e);
        seen.push_back({int(e->type()), mouse ? mouse->window : -1});
        return true;
    }
};

TEST(VideoPanelLayout, WindowsOfEveryKindFitWithoutOverlapUpToTheCorner) {
    const QSize size(803, 605);
    const QRect inside(2, 2, size.width() - 4, size.height() - 4);
    for (auto [kind, count] : {std::pair{1, 1}, {2, 4}, {3, 9}, {4, 16}, {5, 25}, {6, 36}, {16, 6}, {18, 8}}) {
        ASSERT_EQ(CScreenPannel::WindowCount(kind), count);
        QRegion covered;
        for (int i = 0; i < count; ++i) {
            const QRect r = CScreenPannel::WindowRect(kind, i, size);
            EXPECT_TRUE(inside.contains(r) && !covered.intersects(r)) << kind << ": " << i;
            covered += r;
        }
        // The last window reaches the corner.
        EXPECT_EQ(CScreenPannel::WindowRect(kind, count - 1, size).bottomRight(), inside.bottomRight()) << kind;
        EXPECT_TRUE(CScreenPannel::WindowRect(kind, count, size).isNull());
    }
}

class VideoPanel : public ::testing::Test {
protected:
    void SetUp() override {
        panel.SetNotifyTarget(&target);
        panel.resize(402, 302);
        panel.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
        ASSERT_TRUE(panel.SetLayoutKind(2));
    }
    QWidget* Surface(int window) const { return panel.Window(window)->PlayWnd(); }
    QPoint Center(int window) const { return Surface(window)->rect().center(); }
    // Surface -> video window -> panel -> dialog: one posted hop each.
    void Settle() {
        for (int hop = 0; hop < 3; ++hop) QCoreApplication::sendPostedEvents();
    }
    QColor LeftOf(int window) {
        const QRect r = panel.Window(window)->geometry();
        return panel.grab().toImage().pixelColor(r.left() - 1, r.center().y());
    }

    Recorder target;
    CScreenPannel panel;
};

TEST_F(VideoPanel, LayoutShowsItsWindowsOnlyAndTheActiveOneHasAMagentaFrame) {
    for (int i = 0; i < CScreenPannel::kWindows; ++i) EXPECT_EQ(panel.Window(i)->isVisible(), i < 4) << i;
    EXPECT_FALSE(panel.SetLayoutKind(7));
    EXPECT_EQ(panel.LayoutKind(), 2);
    EXPECT_EQ(LeftOf(0), CScreenPannel::kActiveFrame);
    EXPECT_EQ(LeftOf(1), CScreenPannel::kBackground);
    panel.SetActiveWindow(1);
    EXPECT_EQ(LeftOf(0), CScreenPannel::kBackground);
    EXPECT_EQ(LeftOf(1), CScreenPannel::kActiveFrame);
}

TEST_F(VideoPanel, MouseActionsTravelFromSurfaceToPanelToTheDialog) {
    // Left button: the window becomes active; only the button-up goes on.
    QTest::mouseClick(Surface(3), Qt::LeftButton, {}, Center(3));
    Settle();
    EXPECT_EQ(panel.ActiveWindow(), 3);
    EXPECT_FALSE(target.Has(ky::video::kLeftDown));
    EXPECT_TRUE(target.Has(ky::video::kLeftUp));
    // Right button: active, and the dialog is asked for its menu; moves pass through.
    QTest::mousePress(Surface(2), Qt::RightButton, {}, Center(2));
    QTest::mouseMove(Surface(2), Center(2) + QPoint(3, 3));
    Settle();
    EXPECT_EQ(panel.ActiveWindow(), 2);
    EXPECT_TRUE(target.Has(ky::video::kContextMenu, 2));
    EXPECT_TRUE(target.Has(ky::video::kMouseMove));
    // Double click: the window is enlarged over the panel, and back.
    for (bool enlarged : {true, false}) {
        QTest::mouseDClick(Surface(1), Qt::LeftButton, {}, Center(1));
        Settle();
        EXPECT_EQ(panel.Enlarged(), enlarged);
        EXPECT_EQ(panel.Window(1)->geometry(),
                  CScreenPannel::WindowRect(enlarged ? 1 : 2, enlarged ? 0 : 1, panel.size()));
        EXPECT_NE(panel.Window(0)->isVisible(), enlarged);
    }
    EXPECT_TRUE(target.Has(ky::video::kDoubleClick));
}

TEST(VideoPanelKeys, EscapeAsksTheDialogOnlyWhileThePanelCoversTheScreen) {
    QWidget host;
    Recorder target;
    auto* panel = new CScreenPannel(&host);
    panel->SetNotifyTarget(&target);
    QTest::keyClick(panel, Qt::Key_Escape);
    QTest::keyClick(panel, Qt::Key_Return);
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(target.seen.empty());
    panel->setParent(nullptr, Qt::Window);   // as in full screen
    QTest::keyClick(panel, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(target.seen, (std::vector<std::pair<int, int>>{{ky::video::kFullScreenEscape, -1}}));
    delete panel;
}

TEST(VideoWindow, TitleIsGreenMarksAreDrawnAndUnchangedStateDoesNotRepaint) {
    CVideoWnd wnd(0);
    wnd.resize(320, 200);
    wnd.SetTitle("192.168.1.10");
    const int updates = wnd.TitleUpdates();
    wnd.SetTitle("192.168.1.10");
    wnd.SetMarks(false, false, false);
    EXPECT_EQ(wnd.TitleUpdates(), updates);
    // Pixels of the title strip near a colour: green text, red, yellow and cyan marks.
    auto count = [&](QRgb want) {
        const QImage shot = wnd.grab().toImage().copy(0, 0, 320, CVideoWnd::kTitleHeight);
        int n = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QRgb c = shot.pixel(x, y);
                n += std::abs(qRed(c) - qRed(want)) + std::abs(qGreen(c) - qGreen(want)) +
                         std::abs(qBlue(c) - qBlue(want)) <
                     100;
            }
        return n;
    };
    EXPECT_GT(count(qRgb(0, 255, 0)), 20);
    EXPECT_EQ(count(qRgb(255, 0, 0)), 0);
    wnd.SetMarks(true, true, true);
    EXPECT_EQ(wnd.TitleUpdates(), updates + 1);
    for (QRgb mark : {qRgb(255, 0, 0), qRgb(255, 200, 0), qRgb(0, 200, 255)}) EXPECT_GT(count(mark), 10) << mark;
    EXPECT_EQ(wnd.grab().toImage().pixelColor(160, 120), QColor(Qt::black));   // below the strip
}

TEST(PlaySurface, PicturesFromAnotherThreadAreCopiedAndLetterboxedAndClearDropsQueuedOnes) {
    CPlayWnd surface(0);
    surface.resize(64, 48);
    surface.show();
    QSignalSpy states(&surface, &CPlayWnd::streamStateChanged);
    std::vector<uint32_t> pixels(16 * 8, 0xFF112233u);
    const auto* data = reinterpret_cast<const uint8_t*>(pixels.data());
    // Queued before Clear: dropped; bad geometry from the SDK is ignored.
    surface.PresentFrame(data, 16, 8, 16 * 4, 1);
    surface.StreamState(true);
    surface.Clear();
    surface.PresentFrame(data, 16, 8, 8, 1);
    surface.PresentFrame(nullptr, 16, 8, 16 * 4, 1);
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(surface.FramesShown() == 0 && surface.Picture().isNull() && states.isEmpty());
    std::thread([&] {
        surface.PresentFrame(data, 16, 8, 16 * 4, 1);
        pixels.assign(pixels.size(), 0xFFFF0000u);   // the SDK reuses its buffer
        surface.StreamState(false);
    }).join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return surface.FramesShown() == 1 && states.count() == 1; }, kWaitMs));
    EXPECT_EQ(surface.Picture().pixel(3, 3), 0xFF112233u);
    EXPECT_EQ(std::pair(surface.DisplayMode(), surface.GpuActive()), std::pair(1, false));
    EXPECT_FALSE(states.at(0).at(0).toBool());
    // A 2:1 picture in a 4:3 surface: full width, black bars above and below,
    // and the SDK is told the picture's area for mapping mouse positions.
    const QImage shown = surface.grab().toImage();
    EXPECT_EQ(surface.PictureRect(), QRect(0, 8, 64, 32));
    EXPECT_EQ(std::tuple(shown.pixel(30, 3), shown.pixel(30, 20), shown.pixel(30, 44)),
              std::tuple(0xFF000000u, 0xFF112233u, 0xFF000000u));
    int vw = 0, vh = 0;
    ASSERT_TRUE(surface.ViewSize(&vw, &vh));
    EXPECT_EQ(QSize(vw, vh), QSize(64, 32));
}

struct LoginCounter : IDeviceLoginObserver {
    LoginCounter() { SetDeviceLoginObserver(this); }
    ~LoginCounter() override { SetDeviceLoginObserver(nullptr); }
    void OnDeviceLogin() override { ++logins; }
    int logins = 0;
};

class VideoDlgTest : public kytest::LiveWindowTest {
protected:
    void SetUp() override {
        LiveWindowTest::SetUp();
        video.resize(660, 420);
        video.show();
    }
    // Logged out with nothing left: no state, no title, no picture.
    bool Cleared() const {
        const auto* p = reinterpret_cast<const unsigned char*>(&video.GetLiveState());
        return std::all_of(p, p + sizeof(LiveState), [](unsigned char c) { return c == 0; }) && !video.IsLoggedIn() &&
               video.VideoWnd()->Title().isEmpty() && video.PlayWnd()->Picture().isNull();
    }
    QRgb At(int x, int y) const { return video.PlayWnd()->Picture().pixel(x, y); }
    bool Shows(int x, int y, QRgb colour) {
        return QTest::qWaitFor([&] { return At(x, y) == colour; }, kWaitMs);
    }

    LoginCounter observer;
};

TEST_F(VideoDlgTest, ConnectLogsInFillsTheStateBlockShowsPicturesAndLeavesNothingBehind) {
    QSignalSpy listen(&video, &CVideoDlg::listenStateChanged);
    Connect();
    EXPECT_TRUE(presenter.texts.isEmpty());
    EXPECT_TRUE(video.IsPlaying());
    EXPECT_EQ(observer.logins, 1);
    ASSERT_EQ(listen.count(), 1);
    EXPECT_FALSE(listen.at(0).at(0).toBool());

    const LiveState& s = video.GetLiveState();
    EXPECT_GT(s.handle, 0);
    EXPECT_EQ(
        std::string(s.ip) + " " + s.user + " " + s.password + " " + std::to_string(s.port),
        std::string("127.0.0.1 admin ") + kytest::kEmuPassword + " " + std::to_string(kytest::Emulator().HttpPort()));
    EXPECT_EQ(std::tuple(s.streamIndex, s.streamCode, s.playing, s.listening), std::tuple(0, 1, 1, 0));
    EXPECT_EQ(std::tuple(s.capabilityValid, s.capability[0], s.capability[1], s.humanoid[1]), std::tuple(1, 1, 1, 1));
    EXPECT_STREQ(s.capabilityRecord, "7");   // field 0 of the emulator's profile
    // The device type comes from the camera.
    EXPECT_EQ(std::string(video.GetDevice().info.deviceType), emu.Key("devtype").substr(0, 32));
    EXPECT_EQ(video.VideoWnd()->Title(), "127.0.0.1");
    int height = 0, width = 0;
    ASSERT_EQ(KY_SDK_GetPicInfo(video.Handle(), &height, &width), 0);
    EXPECT_EQ(video.PlayWnd()->Picture().size(), QSize(width, height));

    // A stream index out of range plays the second stream.
    Connect(5);
    EXPECT_EQ(std::tuple(video.GetLiveState().streamIndex, video.GetLiveState().streamCode), std::tuple(1, 2));

    // Disconnect, a wrong password and an empty address leave nothing behind.
    const KY_HANDLE handle = video.Handle();
    QSignalSpy changed(&video, &CVideoDlg::connectionChanged);
    video.Disconnect();
    EXPECT_TRUE(Cleared());
    EXPECT_EQ(video.PlayWnd()->FramesShown(), 0);
    int sound = 0;
    EXPECT_NE(KY_SDK_GetMute(handle, 0, &sound), 0);   // the SDK no longer knows the login
    ASSERT_EQ(changed.count(), 1);
    EXPECT_FALSE(changed.at(0).at(0).toBool());
    EXPECT_EQ(kytest::ConnectAndWait(video, EmulatorRecord(0, "wrong")), -1);
    EXPECT_EQ(presenter.texts, QStringList{"Login device failed!\nWrong user name or password."});
    EXPECT_TRUE(Cleared());
    EXPECT_EQ(observer.logins, 2);
    presenter.Clear();

    // A connect without an address ends the connection and starts none.
    Connect();
    EXPECT_EQ(kytest::ConnectAndWait(video, EmulatorRecord(0, kytest::kEmuPassword, "")), -1);
    EXPECT_TRUE(Cleared());
    EXPECT_TRUE(presenter.texts.isEmpty());
    EXPECT_EQ(video.GetDevice().info.ip[0], '\0');
}

TEST_F(VideoDlgTest, DetectionBoxesArePaintedWithTheirPenWidthAndColour) {
    Connect();
    // Five motion boxes: the fifth (at x 500) is not drawn.
    ASSERT_TRUE(emu.EmitBoxes(0, "1,100,100,200,150;2,10,10,20,20;3,30,300,20,20;4,60,300,20,20;5,500,100,100,100"));
    ASSERT_TRUE(Shows(100, 175, kRed) && Shows(104, 175, kRed));
    EXPECT_NE(At(106, 175), kRed);   // pen 5 up to 1920 x 1080
    EXPECT_NE(At(500, 150), kRed);
    // Person boxes: yellow; they replace the motion boxes.
    ASSERT_TRUE(emu.EmitBoxes(6, "1,300,50,100,100"));
    ASSERT_TRUE(Shows(300, 100, kYellow) && Shows(304, 100, kYellow));
    EXPECT_NE(At(100, 175), kRed);
    // An empty list takes the boxes off the picture.
    ASSERT_TRUE(emu.EmitBoxes(6, ""));
    ASSERT_TRUE(QTest::qWaitFor([&] { return At(300, 100) != kYellow; }, kWaitMs));

    // Person boxes need the camera to draw them (read at login).
    emu.Set("sdk.hd.boxes", "0");
    const bool connected = kytest::ConnectAndWait(video, EmulatorRecord()) == 0;
    emu.Set("sdk.hd.boxes", "1");
    ASSERT_TRUE(connected && Frames());
    EXPECT_EQ(video.GetLiveState().humanoid[1], 0);
    emu.EmitBoxes(6, "1,300,50,100,100");
    emu.EmitBoxes(0, "1,100,100,200,150");   // proves the person box event was handled first
    ASSERT_TRUE(Shows(100, 175, kRed));
    EXPECT_NE(At(300, 100), kYellow);
}

TEST_F(VideoDlgTest, DisplayModeMenuStoresTheChoiceAndAppliesItWhilePlaying) {
    std::unique_ptr<QMenu> menu(video.CreateDisplayMenu(&video));
    auto checked = [&] { return std::pair(menu->actions()[0]->isChecked(), menu->actions()[1]->isChecked()); };
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[0]->text() + "|" + menu->actions()[1]->text(), "OpenGL|Software");
    EXPECT_EQ(checked(), std::pair(true, false));
    menu->actions()[1]->trigger();   // not logged in: only stored
    EXPECT_NE(kytest::ReadBytes(app.file("settings.ini")).find("DisplayMode=1"), std::string::npos);

    // The stored mode is used at login; the menu shows it.
    Connect();
    EXPECT_EQ(video.PlayWnd()->DisplayMode(), 1);
    menu.reset(video.CreateDisplayMenu(&video));
    EXPECT_EQ(checked(), std::pair(false, true));
    menu->actions()[0]->trigger();   // playing: applied at once, on the GPU where there is one
    EXPECT_EQ(GetDisplayMode(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return video.PlayWnd()->DisplayMode() == 0; }, kWaitMs));
    EXPECT_EQ(video.PlayWnd()->GpuActive(), CPlayWnd::GpuAvailable());
}

TEST_F(VideoDlgTest, PauseKeepsTheLoginUnlessRecordingAndResumeLogsInAgain) {
    Connect();
    // The status bar's view: live with the picture's size and measured rates.
    ASSERT_TRUE(QTest::qWaitFor([&] { return video.Status().fps > 0 && video.Status().kbps > 0; }, kWaitMs));
    LiveStatus live = video.Status();
    EXPECT_EQ(live.state, LiveStatus::State::Live);
    EXPECT_EQ(live.camera, QString("127.0.0.1:%1").arg(kytest::Emulator().HttpPort()));
    EXPECT_EQ(QSize(live.width, live.height), video.PlayWnd()->Picture().size());
    EXPECT_LT(live.fps, 100);
    // Recording (and its mark) keeps the video running.
    ASSERT_EQ(video.StartRecord(app.file("rec.avi")), 0);
    EXPECT_TRUE(video.VideoWnd()->RecordingMark());
    video.PausePlay();
    EXPECT_TRUE(video.IsPlaying());
    video.StopRecord();
    EXPECT_FALSE(video.VideoWnd()->RecordingMark());
    EXPECT_GT(std::filesystem::file_size(app.file("rec.avi")), 0u);

    video.PausePlay();
    EXPECT_TRUE(video.IsLoggedIn() && !video.IsPlaying());
    EXPECT_EQ(video.Status().state, LiveStatus::State::Paused);
    video.ResumePlay();
    EXPECT_EQ(video.Status().state, LiveStatus::State::Connecting);
    ASSERT_TRUE(QTest::qWaitFor([&] { return video.IsPlaying(); }, kWaitMs));
    EXPECT_EQ(observer.logins, 2);   // a new login
    ASSERT_TRUE(Frames(video.PlayWnd()->FramesShown() + 1));

    // Marks set by the play panel; a recording still running ends with the connection.
    video.SetTalking(true);
    video.SetListening(true);
    EXPECT_TRUE(video.VideoWnd()->TalkingMark() && video.VideoWnd()->ListeningMark());
    video.SetTalking(false);   // the play panel closed its talk channel itself
    ASSERT_EQ(video.StartRecord(app.file("rec2.avi")), 0);
    video.Disconnect();
    EXPECT_FALSE(video.IsRecording());
    EXPECT_FALSE(video.VideoWnd()->RecordingMark() || video.VideoWnd()->ListeningMark());
    EXPECT_GT(std::filesystem::file_size(app.file("rec2.avi")), 0u);
    video.SetRecording(true);   // without a login nothing is kept
    EXPECT_EQ(video.GetLiveState().recording, 0);
    EXPECT_EQ(video.Status().state, LiveStatus::State::None);
}

TEST(LiveStatusText, SaysWhatIsKnown) {
    using S = LiveStatus::State;
    const std::pair<LiveStatus, QString> rows[] = {
        {{S::None, "1.2.3.4:80", 0, 1920, 1080, 25, 900}, "No camera connected"},
        {{S::Connecting, "1.2.3.4:80", 1}, "1.2.3.4:80 · Second stream · Connecting..."},
        {{S::Paused, "1.2.3.4:80", 0, 640, 360, 25, 900}, "1.2.3.4:80 · First stream · Paused"},
        {{S::Reconnecting, "[::1]:8080", 0}, "[::1]:8080 · First stream · Reconnecting..."},
        {{S::Live, "1.2.3.4:80", 0}, "1.2.3.4:80 · First stream · Live"},   // nothing measured yet
        {{S::Live, "1.2.3.4:80", 0, 1920, 1080, 24.6, 2047.5},
         "1.2.3.4:80 · First stream · Live · 1920×1080 · 25 fps · 2048 kbit/s"},
    };
    for (const auto& [status, text] : rows) EXPECT_EQ(LiveStatusText(status), text);
    for (auto [seconds, text] :
         {std::pair{-5, "00:00"}, {59, "00:59"}, {61, "01:01"}, {3600, "1:00:00"}, {36125, "10:02:05"}})
        EXPECT_EQ(ElapsedText(seconds), text) << seconds;
}

TEST_F(VideoDlgTest, FullScreenByDoubleClickAndBackByEscapeOrDoubleClickRestoresTheParent) {
    QWidget mainWindow;
    mainWindow.resize(900, 600);
    auto* dlg = new CVideoDlg(&mainWindow);
    dlg->setGeometry(100, 50, 700, 500);
    mainWindow.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&mainWindow));
    CScreenPannel* panel = dlg->Panel();
    const QRect inside = panel->geometry();
    auto doubleClick = [&] { QTest::mouseDClick(dlg->PlayWnd(), Qt::LeftButton, {}, dlg->PlayWnd()->rect().center()); };
    for (bool byEscape : {true, false}) {
        doubleClick();
        ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->IsFullScreen(); }, kWaitMs));
        EXPECT_TRUE(panel->isWindow() && panel->isVisible() && !mainWindow.isVisible());
        EXPECT_EQ(panel->geometry().size(), dlg->screen()->geometry().size());
        const QRect picture(dlg->PlayWnd()->mapTo(panel, QPoint(0, 0)), dlg->PlayWnd()->size());
        EXPECT_LE((picture.center() - panel->rect().center()).manhattanLength(), 1) << picture.y();
        byEscape ? QTest::keyClick(panel, Qt::Key_Escape) : doubleClick();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg->IsFullScreen(); }, kWaitMs));
        EXPECT_EQ(panel->parentWidget(), dlg);
        EXPECT_EQ(panel->geometry(), inside);
        EXPECT_TRUE(mainWindow.isVisible() && dlg->isVisible());
    }
}

TEST(VideoDlgStream, LostStreamShowsReconnectingInTheTitle) {
    ky::test::EmulatorProcess emu({"--rtsp-port", "0", "--no-discovery", "--quiet"});
    ASSERT_TRUE(emu.Ok());
    kytest::GuiAppDir app;
    kytest::RecordingPresenter presenter;
    CVideoDlg dlg;
    ASSERT_EQ(kytest::ConnectAndWait(dlg, EmulatorRecord(0, "admin", "127.0.0.1", emu.HttpPort())), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.PlayWnd()->FramesShown() > 0; }, kWaitMs));
    emu.Stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.VideoWnd()->Title() == "127.0.0.1 (reconnecting...)"; }, kWaitMs));
    EXPECT_TRUE(dlg.IsLoggedIn());
    EXPECT_EQ(dlg.Status().state, LiveStatus::State::Reconnecting);
    dlg.Disconnect();
    EXPECT_TRUE(dlg.VideoWnd()->Title().isEmpty());
}

}   // namespace
