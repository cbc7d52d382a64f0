// SD-card browsing and playback against the emulated camera: the camera web
// viewer follows links only inside the camera, the SD browser shows the
// card's listing, and the playback window lists the recordings, decodes one
// into its video widget and stops at once.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <cstring>
#include <string>
#include <unistd.h>

#include "gui/live/BrowserSDDlg.h"
#include "gui/live/CameraWebView.h"
#include "gui/live/ClipPlayer.h"
#include "gui/live/PlaybackDlg.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/EmulatorProcess.h"

#include <QListWidget>
#include <QPushButton>

#include "tests/support/ScriptedServer.h"

using ky::test::EmulatorProcess;

namespace {

constexpr const char* kPassword = "p@ss:w0rd";   // the at sign and colon must survive
constexpr int kWaitMs = 30000;

const QRegularExpression kClipName(QStringLiteral("P\\d{8}_\\d{6}_\\d{6}\\.mp4"));

class SdPlayback : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_emu = new EmulatorProcess({"--no-rtsp", "--no-discovery", "--quiet", "--password", kPassword});
    }
    static void TearDownTestSuite() {
        delete s_emu;
        s_emu = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(s_emu->Ok()) << "emulator did not start"; }

    static CameraAddress Address(const std::string& password = kPassword) {
        return CameraAddress{"127.0.0.1", static_cast<uint16_t>(s_emu->HttpPort()), "admin", password};
    }
    void LogIn(const std::string& password = kPassword) {
        DeviceRecord& d = camera.device;
        d = DeviceRecord{};
        std::strncpy(d.info.ip, "127.0.0.1", sizeof d.info.ip - 1);
        std::strncpy(d.info.httpPort, std::to_string(s_emu->HttpPort()).c_str(), sizeof d.info.httpPort - 1);
        std::strncpy(d.user, "admin", sizeof d.user - 1);
        std::strncpy(d.password, password.c_str(), sizeof d.password - 1);
        camera.loggedIn = true;
    }
    static bool Loaded(CCameraWebView& view) {
        return QTest::qWaitFor([&] { return !view.IsLoading(); }, kWaitMs);
    }
    // The first href of the page shown that matches pattern.
    static QString Href(CCameraWebView& view, const QString& pattern) {
        auto m = QRegularExpression(QStringLiteral("href=\"(") + pattern + QStringLiteral(")\"")).match(view.toHtml());
        return m.hasMatch() ? m.captured(1) : QString();
    }

    static EmulatorProcess* s_emu;
    kytest::RecordingPresenter presenter;
    kytest::FakeCamera camera;
};

EmulatorProcess* SdPlayback::s_emu = nullptr;

class RecordingBrowser : public CBrowserSDDlg {
public:
    using CBrowserSDDlg::CBrowserSDDlg;
    QStringList played;

protected:
    void RunPlayback(const QString& path) override { played << path; }
};

}   // namespace

TEST_F(SdPlayback, ViewerFollowsLinksOnlyInsideTheCamera) {
    CCameraWebView view;
    view.SetCamera(Address());
    view.OpenPath(QStringLiteral("/sd/"));
    ASSERT_TRUE(Loaded(view));
    EXPECT_TRUE(view.LastError().isEmpty()) << view.LastError().toStdString();
    EXPECT_TRUE(view.toPlainText().contains(QStringLiteral("Index of /sd/")));
    const QString day = Href(view, QStringLiteral("/sd/\\d{8}/"));
    ASSERT_FALSE(day.isEmpty()) << view.toHtml().toStdString();

    // Into the day folder: the clip names are listed.
    view.FollowLink(QUrl(day));
    ASSERT_TRUE(Loaded(view));
    EXPECT_EQ(view.CurrentPath(), day);
    EXPECT_EQ(view.toPlainText().count(kClipName), 2) << view.toPlainText().toStdString();

    // A recording is handed to the owner, not loaded as a page.
    QSignalSpy clicked(&view, &CCameraWebView::recordingClicked);
    const QString clip = Href(view, QStringLiteral("[^\"]*\\.mp4"));
    view.FollowLink(QUrl(clip));
    EXPECT_FALSE(view.IsLoading());
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked.at(0).at(0).toString(), clip);
    EXPECT_EQ(view.CurrentPath(), day);

    // Links off the camera are not followed at all.
    for (const char* off :
         {"http://192.0.2.1/sd/", "https://127.0.0.1/sd/", "javascript:alert(1)", "file:///etc/passwd"}) {
        view.FollowLink(QUrl(QString::fromLatin1(off)));
        EXPECT_FALSE(view.IsLoading()) << off;
        EXPECT_EQ(view.CurrentPath(), day) << off;
    }

    // The relative parent link leads back to the top listing.
    view.FollowLink(QUrl(QStringLiteral("../")));
    ASSERT_TRUE(Loaded(view));
    EXPECT_EQ(view.CurrentPath(), QStringLiteral("/sd/"));
    EXPECT_TRUE(presenter.texts.isEmpty()) << presenter.texts.join('|').toStdString();
}

TEST_F(SdPlayback, ViewerShowsTheSystemLogAndReportsRejectedCredentials) {
    CCameraWebView view;
    view.SetCamera(Address());
    view.OpenPath(QStringLiteral("/log/syslog.txt"));
    ASSERT_TRUE(Loaded(view));
    EXPECT_TRUE(view.toPlainText().contains(QStringLiteral("system start")));

    CCameraWebView wrong;
    wrong.SetCamera(Address("admin"));
    wrong.OpenPath(QStringLiteral("/sd/"));
    ASSERT_TRUE(Loaded(wrong));
    EXPECT_TRUE(wrong.toPlainText().isEmpty());
    ASSERT_EQ(presenter.texts.size(), 1);
    EXPECT_EQ(presenter.Last(), QStringLiteral("The camera rejected the user name or password!"));
    EXPECT_EQ(presenter.kinds, "e");

    // A camera that is not there.
    CCameraWebView gone;
    gone.SetCamera(CameraAddress{"127.0.0.1", ky::test::ScriptedServer::ClosedPort(), "admin", "x"});
    gone.OpenPath(QStringLiteral("/sd/"));
    ASSERT_TRUE(Loaded(gone));
    EXPECT_EQ(presenter.Last(), QStringLiteral("Failed to connect to the camera!"));
}

TEST_F(SdPlayback, BrowserWithoutCameraStaysEmpty) {
    RecordingBrowser dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("SD Card"));
    EXPECT_TRUE(dlg.WebView()->CurrentPath().isEmpty());
    EXPECT_FALSE(dlg.WebView()->IsLoading());
    dlg.OnRefresh();
    EXPECT_TRUE(dlg.WebView()->toPlainText().isEmpty());
    EXPECT_TRUE(presenter.texts.isEmpty());
}

TEST_F(SdPlayback, BrowserShowsTheCardAndOffersPlayback) {
    LogIn();
    RecordingBrowser dlg;
    ASSERT_TRUE(Loaded(*dlg.WebView()));
    EXPECT_EQ(dlg.WebView()->CurrentPath(), QStringLiteral("/sd/"));
    EXPECT_TRUE(dlg.WebView()->toPlainText().contains(QStringLiteral("Index of /sd/")));

    // Refresh goes back to the top listing.
    dlg.WebView()->FollowLink(QUrl(Href(*dlg.WebView(), QStringLiteral("/sd/\\d{8}/"))));
    ASSERT_TRUE(Loaded(*dlg.WebView()));
    const QString clip = Href(*dlg.WebView(), QStringLiteral("[^\"]*\\.mp4"));
    ASSERT_FALSE(clip.isEmpty());
    dlg.findChild<QPushButton*>(QStringLiteral("refresh"))->click();
    ASSERT_TRUE(Loaded(*dlg.WebView()));
    EXPECT_EQ(dlg.WebView()->CurrentPath(), QStringLiteral("/sd/"));

    presenter.answers = {false, true};
    dlg.OnRecordingClicked(clip);
    EXPECT_TRUE(dlg.played.isEmpty());
    dlg.OnRecordingClicked(clip);
    ASSERT_EQ(dlg.played.size(), 1);
    EXPECT_EQ(dlg.played[0], clip);
    ASSERT_EQ(presenter.kinds, "qq");
    EXPECT_TRUE(presenter.Last().startsWith(QStringLiteral("Play this recording?")));
}

TEST_F(SdPlayback, PlaybackWithoutCameraListsNothing) {
    CPlaybackDlg dlg;
    EXPECT_EQ(dlg.IsLoggedIn(), 0);
    EXPECT_FALSE(dlg.IsScanning());
    EXPECT_EQ(dlg.RecordingList()->count(), 0);
    dlg.OnPlay();
    EXPECT_FALSE(dlg.Player()->IsRunning());
    EXPECT_TRUE(presenter.texts.isEmpty());
}

TEST_F(SdPlayback, PlaybackListsPlaysAndStops) {
    LogIn();
    std::string cached;
    {
        CPlaybackDlg dlg;
        EXPECT_EQ(dlg.IsLoggedIn(), 1);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.IsScanning(); }, kWaitMs));
        ASSERT_EQ(dlg.RecordingList()->count(), 2) << presenter.texts.join('|').toStdString();
        for (int i = 0; i < 2; ++i) EXPECT_TRUE(kClipName.match(dlg.RecordingList()->item(i)->text()).hasMatch());

        // Frames arrive in the video widget.
        dlg.RecordingList()->setCurrentRow(0);
        dlg.OnPlay();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return dlg.Player()->FramesShown() >= 5 && !dlg.VideoWidget()->Image().isNull(); }, kWaitMs))
            << presenter.texts.join('|').toStdString();
        EXPECT_EQ(dlg.VideoWidget()->Image().size(), QSize(320, 240));
        cached = dlg.Player()->CachedFile();
        EXPECT_EQ(access(cached.c_str(), R_OK), 0);

        // Stop returns with the worker ended.
        dlg.OnStop();
        EXPECT_FALSE(dlg.Player()->IsRunning());
        const int frames = dlg.Player()->FramesShown();
        QTest::qWait(100);
        EXPECT_EQ(dlg.Player()->FramesShown(), frames);

        // Paused, a seek still shows the frame it lands on.
        // (Signals are taken on this thread, queued like the dialog takes them.)
        qint64 lastPosition = -1;
        int ends = 0;
        QString endError = QStringLiteral("none");
        QObject::connect(
            dlg.Player(), &CClipPlayer::positionChanged, &dlg, [&](int, qint64 ms) { lastPosition = ms; },
            Qt::QueuedConnection);
        QObject::connect(
            dlg.Player(), &CClipPlayer::finished, &dlg,
            [&](int, const QString& key) {
                ++ends;
                endError = key;
            },
            Qt::QueuedConnection);
        dlg.OnPlay();
        ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.Player()->FramesShown() >= 1; }, kWaitMs));
        dlg.OnPause();
        EXPECT_TRUE(dlg.Player()->IsPaused());
        dlg.Player()->Seek(1500);
        ASSERT_TRUE(QTest::qWaitFor([&] { return lastPosition >= 1480; }, kWaitMs));
        EXPECT_TRUE(dlg.Player()->IsPaused());

        // Going on plays the clip to its end; no message.
        dlg.OnPlay();
        EXPECT_FALSE(dlg.Player()->IsPaused());
        ASSERT_TRUE(QTest::qWaitFor([&] { return ends == 1; }, kWaitMs));
        EXPECT_TRUE(endError.isEmpty());
        EXPECT_FALSE(dlg.Player()->IsRunning());
        EXPECT_TRUE(presenter.texts.isEmpty()) << presenter.texts.join('|').toStdString();

        // Closing while playing ends at once.
        dlg.OnPlay();
        ASSERT_TRUE(dlg.Player()->IsRunning());
        dlg.reject();
        EXPECT_FALSE(dlg.Player()->IsRunning());
    }
    // The downloaded copy goes with the window.
    EXPECT_NE(access(cached.c_str(), F_OK), 0);
}

TEST_F(SdPlayback, PlaybackReportsCameraErrors) {
    LogIn("wrong");
    {
        CPlaybackDlg dlg;
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.IsScanning(); }, kWaitMs));
        EXPECT_EQ(dlg.RecordingList()->count(), 0);
        EXPECT_EQ(presenter.Last(), QStringLiteral("The camera rejected the user name or password!"));
    }
    presenter.Clear();
    LogIn();
    CPlaybackDlg dlg;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.IsScanning(); }, kWaitMs));
    dlg.PlayPath(QStringLiteral("/sd/19990101/P19990101_000000_000002.mp4"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !presenter.texts.isEmpty(); }, kWaitMs));
    EXPECT_FALSE(dlg.Player()->IsRunning());
    ASSERT_EQ(presenter.texts.size(), 1);
    EXPECT_EQ(presenter.Last(), QStringLiteral("The camera has no such page (is an SD card inserted?)"));
    EXPECT_EQ(presenter.kinds, "e");
    EXPECT_TRUE(dlg.Player()->CachedFile().empty());
}
