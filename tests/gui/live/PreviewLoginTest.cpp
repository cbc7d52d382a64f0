// Preview's login runs off the window thread. Against a camera that never
// answers and one that answers slowly: the window keeps handling events, the
// play panel is busy meanwhile, and logins that nobody wants any more (the
// view deleted, another device asked for) are logged out again.

#include <QThreadPool>

#include "tests/gui/live/LiveTestSupport.h"
#include "tests/support/ScriptedServer.h"

using kytest::EmulatorRecord;
using kytest::kWaitMs;

namespace {

class PreviewLogin : public kytest::LiveWindowTest {
protected:
    void SetUp() override {
        LiveWindowTest::SetUp();
        SetCurrentCamera(&video);
        panel = std::make_unique<CLeftPlayDlg>();
        video.resize(640, 400);
        video.show();
    }
    void TearDown() override {
        Fault("none");
        SetCurrentCamera(nullptr);
        LiveWindowTest::TearDown();
    }
    // Adds a fault mode to the camera ("none" clears them).
    static void Fault(const std::string& name) {
        int status = 0;
        kytest::Routes().Get("/emu/fault?name=" + name, &status);
        ASSERT_EQ(status, 200);
    }
    // The SDK numbers logins in turn: a login of our own, logged out at
    // once, tells how far the numbering has come.
    static KY_HANDLE LastHandle() {
        const KY_HANDLE h = KY_SDK_LoginExt("127.0.0.1", "admin", kytest::kEmuPassword,
                                            uint16_t(kytest::Emulator().HttpPort()), 5000, nullptr);
        KY_SDK_Logout(h);
        return h;
    }
    bool WaitLogin() {
        return QTest::qWaitFor([&] { return !video.IsConnecting(); }, kWaitMs);
    }
    bool Busy() const { return panel->cursor().shape() == Qt::BusyCursor && !panel->Button("preview")->isEnabled(); }

    std::unique_ptr<CLeftPlayDlg> panel;
};

TEST_F(PreviewLogin, SilentCameraLeavesTheWindowRunningAndEndsWithLoginFailed) {
    Fault("silent");
    kytest::TimerTicks timer;
    video.Connect(EmulatorRecord());
    EXPECT_LT(timer.clock.elapsed(), 1000) << "the login's time-out is 5 s";
    ASSERT_TRUE(video.IsConnecting());
    EXPECT_TRUE(Busy());
    // A second Preview while the login runs is ignored.
    panel->IpEdit()->setText(QStringLiteral("127.0.0.2"));
    panel->OnPreview();
    EXPECT_STREQ(video.GetDevice().info.ip, "127.0.0.1");

    QTest::qWait(1000);
    EXPECT_TRUE(timer.OnSchedule()) << timer.ticks << " ticks";
    EXPECT_TRUE(video.IsConnecting());
    ASSERT_TRUE(WaitLogin());
    EXPECT_EQ(
        presenter.texts,
        QStringList{
            QStringLiteral("Login device failed!\nNo answer from 127.0.0.1:%1.").arg(kytest::Emulator().HttpPort())});
    EXPECT_EQ(presenter.kinds, "e");
    EXPECT_FALSE(video.IsLoggedIn());
    EXPECT_FALSE(panel->cursor().shape() == Qt::BusyCursor || !panel->Button("preview")->isEnabled());
}

// The designed message, then the reason the camera gave.
TEST_F(PreviewLogin, FailedLoginsSayWhy) {
    using ky::test::ScriptedServer;
    const uint16_t closed = ScriptedServer::ClosedPort();
    ScriptedServer web(ScriptedServer::Mode::ReplyThenClose, ScriptedServer::HttpReply("hello", true));
    // A wrong password: VideoTest.
    for (const uint16_t port : {closed, web.Port()}) {
        presenter.Clear();
        video.Connect(EmulatorRecord(0, kytest::kEmuPassword, "127.0.0.1", port));
        ASSERT_TRUE(WaitLogin());
        const QString at = QStringLiteral("127.0.0.1:%1").arg(port);
        EXPECT_EQ(presenter.texts.join('|'),
                  "Login device failed!\n" +
                      (port == closed ? "No answer from " + at + "." : at + " is not a camera of this kind."));
    }
}

// A slow camera: the last login asked for plays once the camera has
// answered; a view deleted mid-login and a login superseded by another
// device are logged out again; entering the settings layout mid-login makes
// the login end paused.
TEST_F(PreviewLogin, SlowCameraPlaysTheLastLoginAndLogsOutTheOthers) {
    const KY_HANDLE first = LastHandle();
    ASSERT_GT(first, 0);
    QSignalSpy connected(&video, &CVideoDlg::connectionChanged);
    Fault("slow");
    auto gone = std::make_unique<CVideoDlg>();
    gone->Connect(EmulatorRecord());
    gone.reset();
    video.Connect(EmulatorRecord());
    EXPECT_FALSE(video.IsLoggedIn());
    video.Connect(EmulatorRecord(1));
    ASSERT_TRUE(WaitLogin());
    EXPECT_TRUE(presenter.texts.isEmpty()) << presenter.texts.join('|').toStdString();
    EXPECT_TRUE(video.IsPlaying());
    EXPECT_EQ(video.GetLiveState().streamIndex, 1);
    EXPECT_EQ(video.GetLiveState().capabilityValid, 1);   // the configuration reads came back with it
    EXPECT_EQ(connected.count(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return video.PlayWnd()->FramesShown() > 0; }, kWaitMs));

    video.PausePlay();
    video.ResumePlay();   // a new login
    video.PausePlay();
    ASSERT_TRUE(WaitLogin());
    EXPECT_TRUE(video.IsLoggedIn() && !video.IsPlaying());

    Fault("none");
    QThreadPool::globalInstance()->waitForDone();
    QTest::qWait(50);   // results queued to the view
    const KY_HANDLE last = LastHandle();
    EXPECT_GE(last, first + 5);
    for (KY_HANDLE h = first + 1; h < last; ++h)
        EXPECT_TRUE(h == video.Handle() || KY_SDK_Logout(h) != 0) << "login " << h << " left behind";
}

}   // namespace
