// The shared page pattern, through the smallest page built on it: one
// record, one get, one set.

#include "core/cgi/rules/VideoRules.h"
#include "gui/pages/CameraPage.h"
#include "gui/pages/advanced/P_CloudDlg.h"
#include "gui/pages/advanced/P_Ptz485Dlg.h"
#include "gui/pages/advanced/P_RecordDlg.h"
#include "gui/pages/advanced/P_TMallDlg.h"
#include "gui/pages/alarm/P_TimeWarnDlg.h"
#include "gui/pages/media/P_AudioDlg.h"
#include "gui/pages/media/P_OSDDlg.h"
#include "gui/pages/media/P_VideoDlg.h"
#include "gui/pages/network/P_28181Dlg.h"
#include "gui/pages/network/P_NetDlg.h"
#include "gui/pages/network/P_ONVIFDlg.h"
#include "gui/pages/network/P_P2PDlg.h"
#include "gui/pages/network/P_RmsetDlg.h"
#include "gui/pages/network/P_WIFIDlg.h"
#include "gui/pages/system/P_LogDlg.h"
#include "gui/pages/system/P_NTPDlg.h"
#include "gui/pages/system/P_SystemDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

using namespace kytest;

// Shows and writes only the video profile.
class CProfilePage : public CRecordPage<VideoAttr> {
public:
    CProfilePage() : CRecordPage<VideoAttr>(nullptr, "CONFIG", &CCgiClient::GetVideoAttr, &CCgiClient::SetVideoAttr) {
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
    QLineEdit* edit = new QLineEdit(this);
    QPushButton* apply = new QPushButton(this);
    VideoAttr shown{};
    int clears = 0;
};

using CameraPageTest = PageTest;

TEST_F(CameraPageTest, TargetTakesTheCurrentDeviceRightBeforeUse) {
    const CameraTarget t = CCameraPage::Target();
    EXPECT_EQ(t.ip + "/" + t.user + "/" + t.password, "127.0.0.1/admin/pw");
    EXPECT_EQ(t.port, emulator->HttpPort());
    // The port text is read as atoi reads it; one that names no port gives 0.
    for (auto [text, port] : {std::pair{"81x", 81}, {"70000", 0}}) {
        std::strcpy(camera.device.info.httpPort, text);
        EXPECT_EQ(CCameraPage::Target().port, port) << text;
    }
    // A field that fills its whole width is not read past its end.
    std::memset(camera.device.info.ip, '1', sizeof camera.device.info.ip);
    EXPECT_EQ(CCameraPage::Target().ip.size(), sizeof camera.device.info.ip);
}

// Without a camera, or with one that does not answer, Refresh and Apply
// clear the page silently and send nothing; a write that is not answered
// fails.
TEST_F(CameraPageTest, RefreshShowsOrClearsAndApplyValidatesWritesAndReports) {
    CProfilePage page;
    Refresh(page);
    EXPECT_EQ(page.edit->text(), "1");
    for (auto [typed, message] : {std::pair{"9", "Bad profile!"}, {"2", kOk}}) {
        page.edit->setText(typed);
        EXPECT_EQ(ApplyMessage(page), message);
    }
    EXPECT_EQ(EmuAwait("profile", "2"), "2");
    camera.loggedIn = false;
    Refresh(page);
    EXPECT_TRUE(page.edit->text().isEmpty());
    page.edit->setText("3");
    EXPECT_EQ(ApplyMessage(page), "");
    EXPECT_EQ(EmuGet("profile"), "2");
    camera.loggedIn = true;
    emulator->Stop();
    Refresh(page);
    EXPECT_EQ(page.clears, 3);
    EXPECT_TRUE(presenter.texts.isEmpty());
    const QString at = QString("127.0.0.1:%1 failed at ").arg(emulator->HttpPort());
    EXPECT_TRUE(page.ErrorLine().startsWith("Reading the settings from " + at)) << page.ErrorLine().toStdString();
    // A failed write keeps what was typed.
    page.edit->setText("2");
    EXPECT_EQ(ApplyMessage(page), "Parameter setting failed!");
    EXPECT_EQ(page.edit->text(), "2");
    EXPECT_TRUE(page.ErrorLine().startsWith("Writing the settings to " + at)) << page.ErrorLine().toStdString();
}

// Each page's failed read leaves its line on the page, and the next
// exchange takes it away.
TEST_F(CameraPageTest, AFailedReadShowsTheLineOnEveryPage) {
    std::vector<std::unique_ptr<CCameraPage>> pages;
    [&]<class... P>(std::type_identity<P>...) { (pages.push_back(std::make_unique<P>()), ...); }(
        std::type_identity<CP_NetDlg>{}, std::type_identity<CP_RmsetDlg>{}, std::type_identity<CP_WIFIDlg>{},
        std::type_identity<CP_28181Dlg>{}, std::type_identity<CP_ONVIFDlg>{}, std::type_identity<CP_P2PDlg>{},
        std::type_identity<CP_OSDDlg>{}, std::type_identity<CP_AudioDlg>{}, std::type_identity<CPVideoDlg>{},
        std::type_identity<CP_Ptz485Dlg>{}, std::type_identity<CP_RecordDlg>{}, std::type_identity<CP_CloudDlg>{},
        std::type_identity<CP_TMallDlg>{}, std::type_identity<CP_TimeWarnDlg>{}, std::type_identity<CP_SystemDlg>{},
        std::type_identity<CP_LogDlg>{}, std::type_identity<CP_NTPDLG>{});
    const QRegularExpression line(
        QString("^Reading the settings from 127\\.0\\.0\\.1:%1 failed at \\d\\d:\\d\\d:\\d\\d\\.$")
            .arg(emulator->HttpPort()));
    std::strcpy(camera.device.password, "wrong");
    for (const auto& page : pages) {
        Refresh(*page);
        EXPECT_TRUE(line.match(page->ErrorLine()).hasMatch())
            << page->metaObject()->className() << ": " << page->ErrorLine().toStdString();
    }
    std::strcpy(camera.device.password, kPassword);
    Refresh(*pages.front());
    EXPECT_EQ(pages.front()->ErrorLine(), "");
}

// A camera that accepts the connection and never answers (or answers a byte
// a millisecond): the window keeps running its timers, the page shows it is
// busy and takes no second Apply, and the designed result comes at the end.
TEST_F(CameraPageTest, ExchangesRunOffTheWindowThread) {
    CProfilePage page;
    Refresh(page);
    for (const std::string fault : {"slow", "silent"}) {
        SCOPED_TRACE(fault);
        Fault("none");
        Fault(fault);
        TimerTicks ticks;
        presenter.Clear();
        page.clears = 0;
        page.RefreshFromDevice();
        EXPECT_TRUE(page.Busy() && !page.apply->isEnabled());
        EXPECT_EQ(page.cursor().shape(), Qt::BusyCursor);
        ASSERT_TRUE(WaitIdle(page));
        EXPECT_EQ(page.clears, fault == "silent");
        EXPECT_TRUE(page.apply->isEnabled());

        page.edit->setText("2");
        page.OnApply();
        page.OnApply();   // ignored while the first runs
        ASSERT_TRUE(WaitIdle(page));
        // A video write the camera takes without answering is taken.
        EXPECT_EQ(presenter.texts, QStringList{kOk});
        EXPECT_TRUE(ticks.OnSchedule());
    }
}

TEST_F(CameraPageTest, APageGoneMidExchangeIsNeverCalled) {
    Fault("silent");
    auto page = std::make_unique<CProfilePage>();
    page->RefreshFromDevice();
    auto applying = std::make_unique<CProfilePage>();
    applying->OnApply();
    page.reset();
    applying.reset();
    // Both exchanges time out and finish with no page to return to.
    PumpUntil([] { return false; }, 80);
    EXPECT_TRUE(presenter.texts.isEmpty());
}

}   // namespace
