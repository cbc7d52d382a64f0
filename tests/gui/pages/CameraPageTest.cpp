// The shared page pattern, through the smallest page built on it: one
// record, one get, one set.
#include <QLineEdit>

#include "core/cgi/rules/VideoRules.h"
#include "gui/pages/CameraPage.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

// Shows and writes only the video profile.
class CProfilePage : public CRecordPage<VideoAttr> {
public:
    CProfilePage() : CRecordPage<VideoAttr>(nullptr, "CONFIG", &CCgiClient::GetVideoAttr, &CCgiClient::SetVideoAttr) {
        edit = new QLineEdit(this);
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
    page.RefreshFromDevice();
    EXPECT_EQ(page.edit->text(), "1");
    EXPECT_EQ(page.clears, 0);

    camera.loggedIn = false;
    page.RefreshFromDevice();
    EXPECT_EQ(page.clears, 1);
    EXPECT_TRUE(page.edit->text().isEmpty());

    // A camera that does not answer clears the page too, silently.
    camera.loggedIn = true;
    page.edit->setText("x");
    emulator->Stop();
    page.RefreshFromDevice();
    EXPECT_EQ(page.clears, 2);
    EXPECT_TRUE(presenter.texts.isEmpty());
}

TEST_F(CameraPageTest, ApplyValidatesWritesAndReports) {
    CProfilePage page;
    page.RefreshFromDevice();

    page.edit->setText("9");
    page.OnApply();
    EXPECT_EQ(presenter.texts, QStringList{"Bad profile!"});
    EXPECT_EQ(EmuGet("profile"), "1");

    presenter.Clear();
    page.edit->setText("2");
    page.OnApply();
    EXPECT_EQ(presenter.texts, QStringList{"Parameter setting succeeded!"});
    EXPECT_EQ(EmuAwait("profile", "2"), "2");

    presenter.Clear();
    emulator->Stop();
    page.OnApply();
    EXPECT_EQ(presenter.texts, QStringList{"Parameter setting failed!"});
}

TEST_F(CameraPageTest, ApplyWithoutCameraClearsSilently) {
    CProfilePage page;
    page.RefreshFromDevice();
    camera.loggedIn = false;
    page.OnApply();
    EXPECT_EQ(page.clears, 1);
    EXPECT_TRUE(presenter.texts.isEmpty());
    EXPECT_EQ(EmuGet("profile"), "1");
}

}   // namespace
