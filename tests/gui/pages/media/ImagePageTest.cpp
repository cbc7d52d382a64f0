// The image page against the emulated camera with RTSP on: what it shows,
// the slider writes, Apply and Default, and its own preview, whose RTSP
// connection the camera must see end.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <cstring>

#include "gui/live/PlayWnd.h"
#include "gui/pages/media/P_ImageDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

class ImagePageTest : public kytest::PageTest {
protected:
    void SetUp() override {
        withRtsp = true;
        kytest::PageTest::SetUp();
        page = std::make_unique<CP_ImageDlg>();
    }
    void TearDown() override {
        page.reset();
        kytest::PageTest::TearDown();
    }
    // Capability fields 2..5: the slider ranges.
    void SetRanges(std::initializer_list<const char*> ranges) {
        int field = 2;
        for (const char* r : ranges) {
            std::memset(capability.field[field], 0, CapabilityRecord::kFieldSize);
            std::memcpy(capability.field[field++], r, std::strlen(r));
        }
    }
    // A drag of slider i that ends at value.
    void Release(int i, int value) {
        page->Slider(i)->setSliderDown(true);
        page->Slider(i)->setValue(value);
        page->Slider(i)->setSliderDown(false);
    }
    QStringList ApplyMessages() {
        presenter.Clear();
        Apply(*page);
        return presenter.texts;
    }
    std::string Sent() { return EmuControl("requests?clear=1"); }
    std::string RtspClients() { return EmuControl("rtsp-clients"); }
    bool PreviewShowsVideo() {
        return PumpUntil([&] { return page->Preview()->FramesShown() > 0 && RtspClients() == "1"; });
    }

    std::unique_ptr<CP_ImageDlg> page;
};

TEST_F(ImagePageTest, ShowsTheRecordWithTheCamerasRanges) {
    EmuSet("brightness", "40");
    EmuSet("targety", "200");
    EmuSet("display_mode", "0");
    EmuSet("flip", "on");
    EmuSet("lamp_mode", "1");
    EmuSet("infraredstat", "OPEN");
    SetRanges({"0-100", "junk", "10-90", "0-255"});
    Refresh(*page);
    EXPECT_EQ(page->SliderRange(0)->text(), "0-100");
    EXPECT_EQ(page->Slider(0)->maximum(), 100);
    EXPECT_EQ(page->SliderRange(1)->text(), "0-255");
    EXPECT_EQ(page->Slider(2)->minimum(), 10);
    EXPECT_EQ(page->Slider(0)->value(), 40);
    EXPECT_EQ(page->SliderValue(3)->text(), "200");
    EXPECT_EQ(page->ModeLabel()->text(), "Mode:BlackWhiteMode");
    EXPECT_TRUE(page->FlipBox()->isChecked());
    EXPECT_FALSE(page->MirrorBox()->isChecked());
    EXPECT_EQ(page->NightVisionList()->currentText(), "Full Color");
    EXPECT_EQ(page->IrLedList()->currentText(), "On");
    EXPECT_TRUE(page->IrLedList()->isHidden());
    EXPECT_EQ(page->IrCutEdit()->text(), "512");
    // Picking "Normal" shows the IR LED row; nothing is sent.
    Sent();
    page->NightVisionList()->activated(0);
    EXPECT_FALSE(page->IrLedLabel()->isHidden());
    EXPECT_EQ(Sent(), "");

    // A failed read empties the controls; the sliders stay.
    Fault("no-200");
    Refresh(*page);
    EXPECT_EQ(page->NightVisionList()->currentIndex(), -1);
    EXPECT_EQ(page->SliderValue(0)->text(), "0");
    EXPECT_EQ(page->IrCutEdit()->text(), "0");
    EXPECT_FALSE(page->FlipBox()->isChecked());
    EXPECT_TRUE(presenter.texts.isEmpty());
}

TEST_F(ImagePageTest, SliderReleasesWriteTheLatestValueOnce) {
    Refresh(*page);
    Sent();
    Release(0, 77);
    ASSERT_TRUE(WaitIdle(*page));
    EXPECT_EQ(Sent(), "cmd=setimageattr&-brightness=77");
    EXPECT_EQ(EmuGet("brightness"), "77");

    // Releases during a read wait for it; each slider sends only its last value.
    page->RefreshFromDevice();
    ASSERT_TRUE(page->Busy());
    for (int v : {10, 20, 30}) Release(0, v);
    Release(2, 5);
    ASSERT_TRUE(WaitIdle(*page));
    EXPECT_EQ(Sent(),
              "cmd=getimageattr&cmd=getircutattr&cmd=getinfrared&cmd=getlampattrex\n"
              "cmd=setimageattr&-brightness=30\ncmd=setimageattr&-contrast=5");
    EXPECT_EQ(page->Slider(0)->value(), 30);   // the read did not move it back
    EXPECT_EQ(page->SliderValue(0)->text(), "30");

    // Failures have a message each; a value the command refuses is not sent.
    SetRanges({"0-300", "0-255", "0-255", "0-255"});
    Refresh(*page);
    Sent();
    Release(0, 300);
    ASSERT_TRUE(WaitIdle(*page));
    EXPECT_EQ(presenter.texts, QStringList{"Failed to set brightness!"});
    EXPECT_EQ(Sent(), "");
    Fault("no-200");
    presenter.Clear();
    for (int i = 0; i < CP_ImageDlg::kSliders; ++i) Release(i, 100 + i);
    ASSERT_TRUE(WaitIdle(*page));
    EXPECT_EQ(presenter.texts, (QStringList{"Failed to set brightness!", "Saturation setting failed!",
                                            "Failed to set contrast!", "Failed to set exposure!"}));
}

TEST_F(ImagePageTest, ApplyBuildsTheGroupedWriteAndReadsBack) {
    Refresh(*page);
    page->NightVisionList()->setCurrentIndex(0);
    page->IrLedList()->setCurrentIndex(1);
    page->ImageModeList()->setCurrentIndex(1);
    page->MirrorBox()->setChecked(true);
    page->IrCutEdit()->setText("1024");
    Sent();
    EXPECT_EQ(ApplyMessages(), QStringList{"Parameter setting succeeded!"});
    EXPECT_EQ(Sent(),
              "cmd=setinfrared&-infraredstat=open&cmd=setlampattrex&-lamp_mode=0"
              "&cmd=setircutattr&-saradc_switch_value=1024&cmd=setimageattr&-brightness=50&-saturation=128"
              "&-contrast=50&-targety=128&-flip=off&-mirror=on&-imgmode=1&-image_type=0\n"
              "cmd=getimageattr&cmd=getircutattr&cmd=getinfrared&cmd=getlampattrex");
    EXPECT_EQ(page->IrCutEdit()->text(), "1024");
    EXPECT_TRUE(page->MirrorBox()->isChecked());

    // Full colour leaves the infrared out and sends image type 1.
    page->NightVisionList()->setCurrentIndex(1);
    Apply(*page);
    const std::string sent = Sent();
    EXPECT_EQ(sent.rfind("&cmd=setlampattrex&-lamp_mode=1&", 0), 0u) << sent;
    EXPECT_NE(sent.find("&-image_type=1\n"), std::string::npos) << sent;

    Fault("no-200");
    EXPECT_TRUE(ApplyMessages().isEmpty());
    EXPECT_EQ(page->NightVisionList()->currentIndex(), -1);
}

TEST_F(ImagePageTest, IrCutOutOfRangeStopsApplyAndDefault) {
    Refresh(*page);
    Sent();
    for (const char* value : {"0", "1025", "-3", "many"}) {
        page->IrCutEdit()->setText(value);
        EXPECT_EQ(ApplyMessages(), QStringList{"IRCut value is not within the allowable range [1-1024]"}) << value;
        presenter.Clear();
        page->OnDefault();
        EXPECT_EQ(presenter.texts, QStringList{"IRCut value is not within the allowable range [1-1024]"}) << value;
    }
    EXPECT_EQ(Sent(), "");
    page->IrCutEdit()->setText("1");
    EXPECT_EQ(ApplyMessages(), QStringList{"Parameter setting succeeded!"});
    EXPECT_EQ(EmuGet("saradc_switch_value"), "1");
}

TEST_F(ImagePageTest, DefaultRestoresTheCamerasImageAndRereads) {
    EmuSet("brightness", "3");
    EmuSet("lamp_mode", "2");
    Refresh(*page);
    ASSERT_EQ(page->Slider(0)->value(), 3);
    Sent();
    presenter.Clear();
    page->OnDefault();
    ASSERT_TRUE(WaitIdle(*page));
    EXPECT_EQ(Sent(),
              "cmd=setimageattr&-default=on\n"
              "cmd=getimageattr&cmd=getircutattr&cmd=getinfrared&cmd=getlampattrex");
    EXPECT_EQ(page->Slider(0)->value(), 50);
    EXPECT_TRUE(presenter.texts.isEmpty());

    // No camera: cleared, nothing sent.
    camera.loggedIn = false;
    page->FlipBox()->setChecked(true);
    page->OnDefault();
    EXPECT_FALSE(page->FlipBox()->isChecked());
    EXPECT_EQ(Sent(), "");
}

TEST_F(ImagePageTest, PreviewRunsFromTheReadUntilStoppedOrLeft) {
    Refresh(*page);
    ASSERT_TRUE(PreviewShowsVideo());
    Refresh(*page);   // a second read keeps the one preview
    EXPECT_EQ(RtspClients(), "1");

    page->StopPreview();
    EXPECT_FALSE(page->PreviewRunning());
    EXPECT_TRUE(PumpUntil([&] { return RtspClients() == "0"; }));
    EXPECT_TRUE(page->Preview()->Picture().isNull());

    // Leaving the page (hidden) ends it too, and so does its end.
    page->show();
    Refresh(*page);
    ASSERT_TRUE(PreviewShowsVideo());
    page->hide();
    EXPECT_FALSE(page->PreviewRunning());
    EXPECT_TRUE(PumpUntil([&] { return RtspClients() == "0"; }));
    Refresh(*page);
    ASSERT_TRUE(PreviewShowsVideo());
    page.reset();
    EXPECT_TRUE(PumpUntil([&] { return RtspClients() == "0"; }));
    EXPECT_TRUE(presenter.texts.isEmpty());
}

TEST_F(ImagePageTest, StopWhileTheLoginRunsAndFailedLogins) {
    // Stopped right after the read, before the login's answer is taken:
    // the login is given up and nothing plays.
    bool wasOpening = false;
    QObject::connect(page.get(), &CCameraPage::exchangeDone, page.get(), [&] {
        wasOpening = page->PreviewRunning();
        page->StopPreview();
    });
    Refresh(*page);
    EXPECT_TRUE(wasOpening);
    kytest::PumpEvents(800);
    EXPECT_FALSE(page->PreviewRunning());
    EXPECT_EQ(RtspClients(), "0");
    EXPECT_EQ(page->Preview()->FramesShown(), 0);
    QObject::disconnect(page.get(), &CCameraPage::exchangeDone, page.get(), nullptr);

    // A camera whose SDK login fails.
    EmuSet("rtspport", "0");
    Refresh(*page);
    EXPECT_TRUE(PumpUntil([&] { return !presenter.texts.isEmpty(); }));
    EXPECT_EQ(presenter.texts, QStringList{QString::fromUtf8("连接设备失败!")});
    EXPECT_FALSE(page->PreviewRunning());
}

}   // namespace
