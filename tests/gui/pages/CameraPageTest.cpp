// The shared page pattern, through the smallest page built on it: one
// record, one get, one set.
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "core/cgi/rules/VideoRules.h"
#include "gui/pages/CameraPage.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

// Shows and writes only the video profile.
class CProfilePage : public CRecordPage<VideoAttr> {
public:
    CProfilePage() : CRecordPage<VideoAttr>(nullptr, "CONFIG", &CCgiClient::GetVideoAttr, &CCgiClient::SetVideoAttr) {
        edit = new QLineEdit(this);
        apply = new QPushButton(this);
        AddApplyButton(apply);
    }
    void ShowRecord(const VideoAttr& rec) override {
        shown = rec;
        edit->setText(QString::number(rec.profile));
    }
    const char* ReadControls(VideoAttr& rec) override {
        rec = shown;
        rec.profile = edit->text().toInt();
        return ky::cgi::ProfileName(rec.profile) ? nullptr : "Bad profile!";
    }
    void ClearControls() override {
        ++clears;
        edit->clear();
    }
    QLineEdit* edit;
    QPushButton* apply;
    VideoAttr shown{};
    int clears = 0;
};

using CameraPageTest = kytest::PageTest;

TEST_F(CameraPageTest, TargetTakesTheCurrentDeviceRightBeforeUse) {
    CameraTarget t = CCameraPage::Target();
    EXPECT_EQ(t.ip, "127.0.0.1");
    EXPECT_EQ(t.port, emulator->HttpPort());
    EXPECT_EQ(t.user, "admin");
    EXPECT_EQ(t.password, kPassword);

    // The port text is read as atoi reads it; one that names no port gives 0.
    std::strcpy(camera.device.info.httpPort, "81x");
    EXPECT_EQ(CCameraPage::Target().port, 81);
    std::strcpy(camera.device.info.httpPort, "70000");
    EXPECT_EQ(CCameraPage::Target().port, 0);
    // A field that fills its whole width is not read past its end.
    std::memset(camera.device.info.ip, '1', sizeof camera.device.info.ip);
    EXPECT_EQ(CCameraPage::Target().ip.size(), sizeof camera.device.info.ip);
}

TEST_F(CameraPageTest, RefreshShowsTheRecordOrClears) {
    CProfilePage page;
    Refresh(page);
    EXPECT_EQ(page.edit->text(), "1");
    EXPECT_EQ(page.clears, 0);

    // Without a camera both Refresh and Apply clear, silently, sending nothing.
    camera.loggedIn = false;
    Refresh(page);
    EXPECT_EQ(page.clears, 1);
    EXPECT_TRUE(page.edit->text().isEmpty());
    page.edit->setText("2");
    Apply(page);
    EXPECT_EQ(page.clears, 2);
    EXPECT_EQ(EmuGet("profile"), "1");

    // A camera that does not answer clears the page too, silently.
    camera.loggedIn = true;
    emulator->Stop();
    Refresh(page);
    EXPECT_EQ(page.clears, 3);
    EXPECT_TRUE(presenter.texts.isEmpty());
}

TEST_F(CameraPageTest, ApplyValidatesWritesAndReports) {
    CProfilePage page;
    Refresh(page);

    page.edit->setText("9");
    Apply(page);
    EXPECT_EQ(presenter.texts, QStringList{"Bad profile!"});
    EXPECT_EQ(EmuGet("profile"), "1");

    presenter.Clear();
    page.edit->setText("2");
    Apply(page);
    EXPECT_EQ(presenter.texts, QStringList{"Parameter setting succeeded!"});
    EXPECT_EQ(EmuAwait("profile", "2"), "2");

    presenter.Clear();
    emulator->Stop();
    Apply(page);
    EXPECT_EQ(presenter.texts, QStringList{"Parameter setting failed!"});
}

// A camera that accepts the connection and never answers (or answers a byte
// a millisecond): the window keeps running its timers, the page shows it is
// busy and takes no second Apply, and the designed result comes at the end.
TEST_F(CameraPageTest, ExchangesRunOffTheWindowThread) {
    CProfilePage page;
    Refresh(page);
    for (const char* fault : {"slow", "silent"}) {
        SCOPED_TRACE(fault);
        Fault("none");
        Fault(fault);
        const bool silent = std::string(fault) == "silent";
        int ticks = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(50);
        QElapsedTimer clock;
        clock.start();

        presenter.Clear();
        page.clears = 0;
        page.RefreshFromDevice();
        EXPECT_TRUE(page.Busy());
        EXPECT_EQ(page.cursor().shape(), Qt::BusyCursor);
        EXPECT_FALSE(page.apply->isEnabled());
        ASSERT_TRUE(WaitIdle(page));
        EXPECT_EQ(page.clears, silent ? 1 : 0);
        EXPECT_TRUE(page.apply->isEnabled());

        page.edit->setText("2");
        page.OnApply();
        EXPECT_TRUE(page.Busy());
        page.OnApply();   // ignored while the first runs
        ASSERT_TRUE(WaitIdle(page));
        // The video write is send-only: a camera that takes it and never
        // answers has taken it.
        EXPECT_EQ(presenter.texts, QStringList{"Parameter setting succeeded!"});
        // Timers kept firing on schedule the whole time (allowing for a busy machine).
        EXPECT_GE(ticks, clock.elapsed() / 50 / 2);
    }
}

TEST_F(CameraPageTest, APageGoneMidExchangeIsNeverCalled) {
    Fault("silent");
    auto* page = new CProfilePage;
    page->RefreshFromDevice();
    auto* applying = new CProfilePage;
    applying->OnApply();
    delete page;
    delete applying;
    // Both exchanges time out and finish with no page to return to.
    PumpUntil([] { return false; }, 80);
    EXPECT_TRUE(presenter.texts.isEmpty());
}

}   // namespace
