// SD-card browsing and playback against the emulated camera.
#include <unistd.h>

#include <QListWidget>
#include <QUrl>
#include <string>

#include "gui/live/BrowserSDDlg.h"
#include "gui/live/CameraWebView.h"
#include "gui/live/ClipPlayer.h"
#include "gui/live/PlaybackDlg.h"
#include "tests/gui/live/LiveTestSupport.h"
#include "tests/support/ScriptedServer.h"

namespace {

const QRegularExpression kClipName(QStringLiteral("P\\d{8}_\\d{6}_\\d{6}\\.mp4"));

class RecordingBrowser : public CBrowserSDDlg {
public:
    using CBrowserSDDlg::CBrowserSDDlg;
    QStringList played;

protected:
    void RunPlayback(const QString& path) override { played << path; }
};

class SdPlayback : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(kytest::Emulator().Ok()) << "emulator did not start"; }
    static CameraAddress Address() {
        return CameraAddress{"127.0.0.1", uint16_t(kytest::Emulator().HttpPort()), "admin", kytest::kEmuPassword};
    }
    void LogIn(const std::string& password = kytest::kEmuPassword) {
        camera.device = kytest::EmulatorRecord(0, password);
        camera.loggedIn = true;
    }
    static bool Wait(const std::function<bool()>& cond) { return QTest::qWaitFor(cond, 30000); }
    static bool Loaded(CCameraWebView& view) {
        return Wait([&] { return !view.IsLoading(); });
    }
    // The first href of the page shown that matches pattern.
    static QString Href(CCameraWebView& view, const QString& pattern) {
        return QRegularExpression("href=\"(" + pattern + ")\"").match(view.toHtml()).captured(1);
    }
    std::string Messages() const { return presenter.texts.join('|').toStdString(); }

    kytest::RecordingPresenter presenter;
    kytest::FakeCamera camera;
};

TEST_F(SdPlayback, ViewerFollowsLinksOnlyInsideTheCameraAndReportsFailures) {
    CCameraWebView view;
    view.SetCamera(Address());
    view.OpenPath(QStringLiteral("/sd/"));
    ASSERT_TRUE(Loaded(view));
    EXPECT_TRUE(view.toPlainText().contains(QStringLiteral("Index of /sd/"))) << view.LastError().toStdString();
    const QString day = Href(view, QStringLiteral("/sd/\\d{8}/"));
    ASSERT_FALSE(day.isEmpty()) << view.toHtml().toStdString();
    // Into the day folder: the clip names are listed.
    view.FollowLink(QUrl(day));
    ASSERT_TRUE(Loaded(view));
    EXPECT_EQ(view.CurrentPath(), day);
    EXPECT_EQ(view.toPlainText().count(kClipName), 2) << view.toPlainText().toStdString();

    // A recording is handed to the owner, not loaded as a page; links off the
    // camera are not followed at all.
    QSignalSpy clicked(&view, &CCameraWebView::recordingClicked);
    const QString clip = Href(view, QStringLiteral("[^\"]*\\.mp4"));
    for (const QString& link : {clip, QString("http://192.0.2.1/sd/"), QString("javascript:alert(1)")}) {
        view.FollowLink(QUrl(link));
        EXPECT_FALSE(view.IsLoading()) << link.toStdString();
        EXPECT_EQ(view.CurrentPath(), day) << link.toStdString();
    }
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked.at(0).at(0).toString(), clip);
    // The relative parent link leads back to the top listing.
    view.FollowLink(QUrl(QStringLiteral("../")));
    ASSERT_TRUE(Loaded(view));
    EXPECT_EQ(view.CurrentPath(), QStringLiteral("/sd/"));
    // Other pages of the camera; a camera that is not there.
    view.OpenPath(QStringLiteral("/log/syslog.txt"));
    ASSERT_TRUE(Loaded(view));
    EXPECT_TRUE(view.toPlainText().contains(QStringLiteral("system start")));
    EXPECT_TRUE(presenter.texts.isEmpty()) << Messages();
    view.SetCamera(CameraAddress{"127.0.0.1", ky::test::ScriptedServer::ClosedPort(), "admin", "x"});
    view.OpenPath(QStringLiteral("/sd/"));
    ASSERT_TRUE(Loaded(view));
    EXPECT_EQ(presenter.texts, QStringList{"Failed to connect to the camera!"});
    EXPECT_EQ(presenter.kinds, "e");
}

TEST_F(SdPlayback, BrowserShowsTheCardAndOffersPlayback) {
    {
        RecordingBrowser empty;   // without a camera it stays empty
        empty.OnRefresh();
        EXPECT_TRUE(empty.WebView()->CurrentPath().isEmpty() && empty.WebView()->toPlainText().isEmpty());
        EXPECT_TRUE(presenter.texts.isEmpty());
    }
    LogIn();
    RecordingBrowser dlg;
    CCameraWebView* view = dlg.WebView();
    ASSERT_TRUE(Loaded(*view));
    EXPECT_TRUE(view->toPlainText().contains(QStringLiteral("Index of /sd/")));
    // Refresh goes back to the top listing.
    view->FollowLink(QUrl(Href(*view, QStringLiteral("/sd/\\d{8}/"))));
    ASSERT_TRUE(Loaded(*view));
    const QString clip = Href(*view, QStringLiteral("[^\"]*\\.mp4"));
    ASSERT_FALSE(clip.isEmpty());
    dlg.findChild<QPushButton*>(QStringLiteral("refresh"))->click();
    ASSERT_TRUE(Loaded(*view));
    EXPECT_EQ(view->CurrentPath(), QStringLiteral("/sd/"));
    // Played only when the user says yes.
    presenter.answers = {false, true};
    dlg.OnRecordingClicked(clip);
    dlg.OnRecordingClicked(clip);
    EXPECT_EQ(dlg.played, QStringList{clip});
    ASSERT_EQ(presenter.kinds, "qq");
    EXPECT_TRUE(presenter.Last().startsWith(QStringLiteral("Play this recording?")));
}

TEST_F(SdPlayback, PlaybackListsPlaysSeeksAndStops) {
    {
        CPlaybackDlg empty;   // without a camera it lists nothing
        empty.OnPlay();
        EXPECT_FALSE(empty.IsScanning() || empty.Player()->IsRunning() || empty.RecordingList()->count());
    }
    LogIn();
    std::string cached;
    {
        CPlaybackDlg dlg;
        CClipPlayer* player = dlg.Player();
        ASSERT_TRUE(Wait([&] { return !dlg.IsScanning(); }));
        ASSERT_EQ(dlg.RecordingList()->count(), 2) << Messages();
        dlg.RecordingList()->setCurrentRow(0);
        dlg.OnPlay();
        ASSERT_TRUE(Wait([&] { return player->FramesShown() >= 5 && !dlg.VideoWidget()->Image().isNull(); }))
            << Messages();
        cached = player->CachedFile();
        EXPECT_EQ(access(cached.c_str(), R_OK), 0);
        dlg.OnStop();   // returns with the worker ended
        EXPECT_FALSE(player->IsRunning());

        // Paused, a seek still shows the frame it lands on; going on plays
        // to the end without a message (signals taken queued on this thread,
        // as the dialog takes them).
        qint64 position = -1;
        QString ended = QStringLiteral("not yet");
        QObject::connect(
            player, &CClipPlayer::positionChanged, &dlg, [&](int, qint64 ms) { position = ms; }, Qt::QueuedConnection);
        QObject::connect(
            player, &CClipPlayer::finished, &dlg, [&](int, const QString& key) { ended = key; }, Qt::QueuedConnection);
        dlg.OnPlay();
        ASSERT_TRUE(Wait([&] { return player->FramesShown() >= 1; }));
        dlg.OnPause();
        player->Seek(1500);
        ASSERT_TRUE(Wait([&] { return position >= 1480; }));
        EXPECT_TRUE(player->IsPaused());
        dlg.OnPlay();
        ASSERT_TRUE(Wait([&] { return ended.isEmpty(); }));
        EXPECT_FALSE(player->IsRunning());
        EXPECT_TRUE(presenter.texts.isEmpty()) << Messages();
        dlg.OnPlay();   // closing while playing ends at once
        ASSERT_TRUE(player->IsRunning());
        dlg.reject();
        EXPECT_FALSE(player->IsRunning());
    }
    EXPECT_NE(access(cached.c_str(), F_OK), 0) << "the downloaded copy goes with the window";
}

TEST_F(SdPlayback, PlaybackReportsCameraErrors) {
    LogIn("wrong");
    {
        CPlaybackDlg dlg;
        ASSERT_TRUE(Wait([&] { return !dlg.IsScanning(); }));
        EXPECT_EQ(dlg.RecordingList()->count(), 0);
        EXPECT_EQ(presenter.Last(), QStringLiteral("The camera rejected the user name or password!"));
    }
    presenter.Clear();
    LogIn();
    CPlaybackDlg dlg;
    ASSERT_TRUE(Wait([&] { return !dlg.IsScanning(); }));
    dlg.PlayPath(QStringLiteral("/sd/19990101/P19990101_000000_000002.mp4"));
    ASSERT_TRUE(Wait([&] { return !presenter.texts.isEmpty(); }));
    EXPECT_FALSE(dlg.Player()->IsRunning());
    EXPECT_EQ(presenter.texts, QStringList{"The camera has no such page (is an SD card inserted?)"});
    EXPECT_EQ(presenter.kinds, "e");
    EXPECT_TRUE(dlg.Player()->CachedFile().empty());
}

}   // namespace
