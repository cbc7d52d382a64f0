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

const std::string kRead = "cmd=getimageattr&cmd=getircutattr&cmd=getinfrared&cmd=getlampattrex";

class ImagePageTest : public kytest::PageFixture<CP_ImageDlg> {
protected:
    void SetUp() override {
        withRtsp = true;
        PageFixture::SetUp();
    }
    // A drag of slider i that ends at value.
    void Release(int i, int value) {
        page->Slider(i)->setSliderDown(true);
        page->Slider(i)->setValue(value);
        page->Slider(i)->setSliderDown(false);
    }
    std::string RtspClients() { return EmuControl("rtsp-clients"); }
    bool PreviewShowsVideo() {
        return PumpUntil([&] { return page->Preview()->FramesShown() > 0 && RtspClients() == "1"; });
    }
    bool PreviewEnded() {
        return !page->PreviewRunning() && PumpUntil([&] { return RtspClients() == "0"; });
    }
};

TEST_F(ImagePageTest, ShowsTheRecordWithTheCamerasRanges) {
    EmuSetAll("brightness=40 display_mode=0 flip=on lamp_mode=1 infraredstat=OPEN");
    // Capability fields 2..5: the slider ranges.
    for (auto [field, range] : {std::pair{2, "0-100"}, {3, "junk"}, {4, "10-90"}, {5, "0-255"}})
        std::strcpy(capability.field[field], range);
    Refresh(*page);
    EXPECT_EQ(page->SliderRange(0)->text() + " " + page->SliderRange(1)->text(), "0-100 0-255");
    EXPECT_EQ(page->Slider(0)->maximum(), 100);
    EXPECT_EQ(page->SliderValue(0)->text(), "40");
    EXPECT_EQ(page->ModeLabel()->text(), "Mode:BlackWhiteMode");
    EXPECT_TRUE(page->FlipBox()->isChecked());
    EXPECT_EQ(page->NightVisionList()->currentText() + "/" + page->IrLedList()->currentText(), "Full Color/On");
    EXPECT_TRUE(page->IrLedList()->isHidden());
    page->NightVisionList()->activated(0);   // "Normal" shows the IR LED row
    EXPECT_FALSE(page->IrLedLabel()->isHidden());

    Fault("no-200");   // a failed read empties the controls
    Refresh(*page);
    EXPECT_EQ(page->NightVisionList()->currentIndex(), -1);
    EXPECT_EQ(page->SliderValue(0)->text(), "0");
}

TEST_F(ImagePageTest, SliderReleasesWriteTheLatestValueOnce) {
    Refresh(*page);
    Sent();
    Release(0, 77);
    ASSERT_TRUE(WaitIdle(*page));
    EXPECT_EQ(Sent(), "cmd=setimageattr&-brightness=77");

    // Releases during a read wait for it; each slider sends only its last
    // value, and the read does not move it back.
    page->RefreshFromDevice();
    ASSERT_TRUE(page->Busy());
    for (int v : {10, 20, 30}) Release(0, v);
    Release(2, 5);
    ASSERT_TRUE(WaitIdle(*page));
    EXPECT_EQ(Sent(), kRead + "\ncmd=setimageattr&-brightness=30\ncmd=setimageattr&-contrast=5");
    EXPECT_EQ(page->SliderValue(0)->text(), "30");

    // Failures have a message each.
    Fault("no-200");
    for (int i = 0; i < CP_ImageDlg::kSliders; ++i) Release(i, 100 + i);
    ASSERT_TRUE(WaitIdle(*page));
    EXPECT_EQ(presenter.texts, (QStringList{"Failed to set brightness!", "Saturation setting failed!",
                                            "Failed to set contrast!", "Failed to set exposure!"}));
}

TEST_F(ImagePageTest, ApplyChecksIrCutThenWritesAndReadsBackAndDefaultRestores) {
    Refresh(*page);
    page->IrLedList()->setCurrentIndex(1);
    page->ImageModeList()->setCurrentIndex(1);
    page->MirrorBox()->setChecked(true);
    Sent();
    for (const char* value : {"0", "1025", "many"}) {
        page->IrCutEdit()->setText(value);
        EXPECT_EQ(ApplyMessage(), "IRCut value is not within the allowable range [1-1024]");
    }
    page->IrCutEdit()->setText("1024");
    EXPECT_EQ(ApplyMessage(), "Parameter setting succeeded!");
    EXPECT_EQ(Sent(),
              "cmd=setinfrared&-infraredstat=open&cmd=setlampattrex&-lamp_mode=0"
              "&cmd=setircutattr&-saradc_switch_value=1024&cmd=setimageattr&-brightness=50&-saturation=128"
              "&-contrast=50&-targety=128&-flip=off&-mirror=on&-imgmode=1&-image_type=0\n" +
                  kRead);
    EXPECT_TRUE(page->MirrorBox()->isChecked());

    // Full colour leaves the infrared out and sends image type 1.
    page->NightVisionList()->setCurrentIndex(1);
    Apply(*page);
    const std::string sent = Sent();
    EXPECT_EQ(sent.rfind("&cmd=setlampattrex&-lamp_mode=1&", 0), 0u) << sent;
    EXPECT_NE(sent.find("&-image_type=1\n"), std::string::npos) << sent;

    EmuSet("brightness", "3");
    presenter.Clear();
    page->OnDefault();
    ASSERT_TRUE(WaitIdle(*page));
    EXPECT_EQ(Sent(), "cmd=setimageattr&-default=on\n" + kRead);
    EXPECT_EQ(page->Slider(0)->value(), 50);
    EXPECT_TRUE(presenter.texts.isEmpty());
}

TEST_F(ImagePageTest, PreviewRunsFromTheReadUntilStoppedLeftOrGone) {
    Refresh(*page);
    ASSERT_TRUE(PreviewShowsVideo());
    page->StopPreview();
    EXPECT_TRUE(PreviewEnded());
    EXPECT_TRUE(page->Preview()->Picture().isNull());

    page->show();
    Refresh(*page);
    ASSERT_TRUE(PreviewShowsVideo());
    page->hide();   // the page is left
    EXPECT_TRUE(PreviewEnded());

    // Stopped before the login's answer is taken: nothing plays.
    auto stop = QObject::connect(page.get(), &CCameraPage::exchangeDone, page.get(), [this] {
        EXPECT_TRUE(page->PreviewRunning());
        page->StopPreview();
    });
    Refresh(*page);
    kytest::PumpEvents(800);
    EXPECT_TRUE(PreviewEnded());
    EXPECT_EQ(page->Preview()->FramesShown(), 0);
    QObject::disconnect(stop);

    Refresh(*page);
    ASSERT_TRUE(PreviewShowsVideo());
    page.reset();
    EXPECT_TRUE(PumpUntil([&] { return RtspClients() == "0"; }));
    EXPECT_TRUE(presenter.texts.isEmpty());
}

TEST_F(ImagePageTest, PreviewThatCannotLogInSaysSo) {
    EmuSet("rtspport", "0");
    Refresh(*page);
    EXPECT_TRUE(PumpUntil([&] { return !presenter.texts.isEmpty(); }));
    EXPECT_EQ(presenter.texts, QStringList{QString::fromUtf8("连接设备失败!")});
    EXPECT_FALSE(page->PreviewRunning());
}

}   // namespace
